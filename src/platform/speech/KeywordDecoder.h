#pragma once

#include "platform/speech/SpeechEngine.h"

#include <QStringList>

#include <cstdint>
#include <memory>
#include <span>

// Finds the command keywords in one continuous stream of 16 kHz mono audio.
// Two listeners run on the same audio: the keyword spotter, and the streaming
// recognizer (toned pinyin of everything said). A keyword counts when the
// recognizer's syllables, tones dropped, hold all of it, or when the spotter
// hears one of the long phrases and the recognizer hears all of its syllables
// too, within a moment.
class KeywordDecoder {
public:
    enum Method { Spotter = 1, Syllables = 2, Both = 3 };

    explicit KeywordDecoder(std::shared_ptr<SpeechEngine> engine, Method method = Both);
    ~KeywordDecoder();
    KeywordDecoder(const KeywordDecoder &) = delete;
    KeywordDecoder &operator=(const KeywordDecoder &) = delete;

    // Labels of the keywords newly heard in these samples, in order.
    QStringList accept(std::span<const float> samples);
    // Flushes the engine at the end of the audio.
    QStringList finish();

    // Audio seconds consumed so far.
    double consumedSeconds() const;

    // Where each keyword the last accept() or finish() returned began, in
    // audio seconds from the stream's start, by the recognizer's syllable
    // times; NaN where it gave none.
    QList<double> keywordStartSeconds() const { return m_starts; }

    // Everything the recognizer has heard so far, as toned pinyin, segments
    // separated by a space. The part of the current segment may still change.
    QString heardText() const { return m_heardDone + m_heardSegment; }

private:
    QStringList decode();
    void decodeSpotter(QStringList &found);
    void decodeSyllables(QStringList &found);
    void confirmPending(QStringList &found);
    // False when it repeats the keyword just reported.
    bool report(const QString &label, double startSeconds, QStringList &found);

    std::shared_ptr<SpeechEngine> m_engine;
    Method m_method;
    const sherpa::OnlineStream *m_spotterStream = nullptr;
    const sherpa::OnlineStream *m_recognizerStream = nullptr;
    QStringList m_segmentTokens; // the recognizer's syllables of this segment, toneless
    QList<double> m_segmentTimes; // when each of them was said, stream seconds
    QStringList m_previousTokens; // the unused end of the segment before
    QList<double> m_previousTimes;
    QList<double> m_starts;
    int m_matchedTokens = 0; // tokens of this segment already used by a match
    QString m_pendingLabel; // heard by the spotter, waiting for the recognizer
    double m_pendingUntilSeconds = 0.0;
    int64_t m_samples = 0;
    double m_lastKeywordEndSeconds = -1000.0;
    QString m_heardDone; // finished segments
    QString m_heardSegment; // the current one
};
