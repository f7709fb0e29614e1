#pragma once

#include "voice/CommandSyllableFilter.h"
#include "voice/ScriptAligner.h"
#include "voice/TranscriptSyllables.h"

#include <QString>

#include <vector>

// Follows a reading of a script through the listener's running transcript:
// the new syllables of each transcript, less any command phrase, go to the
// aligner. Knows nothing of the screen; positions are indexes into the text
// given to setScript().
class ReadingTracker {
public:
    // How long a syllable that may begin a command phrase waits for the next.
    static constexpr double holdSeconds = 0.6;

    ReadingTracker();
    explicit ReadingTracker(ScriptAligner::Tuning tuning);

    void setScript(const QString &text);
    const std::vector<ScriptUnit> &units() const { return m_aligner.units(); }

    // The speaker goes on from the unit at or after `textPosition`.
    void restartAt(int textPosition);
    // The listener's transcript at `now` seconds; true when the position moved.
    bool takeTranscript(const QString &text, double now);
    // Heard while not following: taken as said, nothing moves.
    void skipTranscript(const QString &text);
    // Lets held syllables go once nothing has come for holdSeconds.
    bool flushHeld(double now);
    bool isHolding() const { return m_filter.isHolding(); }

    // Units read so far; the next one to read.
    int unitsRead() const { return m_aligner.position(); }
    // Units read since the last restart.
    int unitsReadSinceRestart() const { return m_aligner.position() - m_restartIndex; }
    // Syllables heard, and taken by the aligner, since the script was set.
    int syllablesHeard() const { return m_heard; }

private:
    bool hear(const std::vector<int> &ids);

    ScriptAligner m_aligner;
    TranscriptSyllables m_transcript;
    CommandSyllableFilter m_filter;
    int m_restartIndex = 0;
    double m_lastSyllableTime = 0;
    int m_heard = 0;
};
