#pragma once

#include <QString>

#include <array>
#include <cstdint>
#include <vector>

// One thing the speaker says while reading the script: a syllable of a Hanzi
// (with every reading it has), a letter of an acronym, a syllable of a
// number, or a wildcard for what cannot be known in advance (a Latin word, a
// character the table lacks).
struct ScriptUnit {
    enum Kind : uint8_t { Syllable, Wildcard };
    static constexpr int maxAlternatives = 6;

    int position = 0; // index into the text it was made from
    Kind kind = Wildcard;
    uint8_t alternativeCount = 0;
    std::array<uint16_t, maxAlternatives> alternatives{};

    bool accepts(int id) const;
};

// The script as a list of units, in reading order. Punctuation, spaces and
// symbols are nothing to say and have no unit.
class ScriptSyllables {
public:
    static std::vector<ScriptUnit> fromText(const QString &text);
};
