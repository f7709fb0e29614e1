#pragma once

#include "voice/ScriptSyllables.h"

#include <vector>

// Where in the script the speaker is, from the syllables the recognizer hears.
// An online alignment over a window around the current position: each heard
// syllable either reads the next unit (scored by how well it matches),
// skips some units first (cheap for a few, a flat price for a sentence or
// more), goes back to an earlier unit (a repeat), or is not in the script at
// all (noise, an aside). The position only moves forward, and only when the best alignment
// ends ahead of it by a clear margin.
class ScriptAligner {
public:
    struct Tuning {
        double exact = 1.0;
        double similar = 0.5; // 在/再 heard as zai is exact; zhi for zi, qing for qin are similar
        double sameFinal = 0.2;
        // A syllable misheard while reading on costs less than one that is
        // not in the script at all: the recognizer mishears about half of
        // what it is given, and the speaker is more likely reading on.
        double mismatch = -0.3;
        double wildcard = 0.35;
        double insertion = -0.45;
        double deletion = -0.4;
        double wildcardDeletion = -0.15;
        double jump = -3.0; // skipping more than a few units
        double jumpPerUnit = -0.01;
        // Going back to read something again. The position itself never goes
        // back, but this is what keeps a repeat from reading as going on.
        double back = -2.0;
        double margin = 1.0;
        int behind = 40;
        int ahead = 150;
    };

    ScriptAligner();
    explicit ScriptAligner(Tuning tuning);

    void setUnits(std::vector<ScriptUnit> units);
    const std::vector<ScriptUnit> &units() const { return m_units; }

    // The speaker goes on from unit `index` (0: the top).
    void restart(int index);
    // One heard syllable; returns the position.
    int hear(int id);
    // How many units have been read: the next one to read.
    int position() const { return m_position; }

    // How well a heard syllable matches a unit.
    double matchScore(int id, const ScriptUnit &unit) const;

private:
    double skipScore(int from, int to) const;

    Tuning m_tuning;
    std::vector<ScriptUnit> m_units;
    std::vector<double> m_deletionPrefix; // sum of deletion scores of units [0, i)
    int m_position = 0;
    int m_windowStart = 0; // state of m_scores[0]
    std::vector<double> m_scores;
};
