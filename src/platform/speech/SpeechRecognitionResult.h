#pragma once

#include <QString>

#include <optional>

// What a recognition task reports: the whole transcript since it began.
struct SpeechRecognitionResult {
    QString formattedString;
    bool isFinal = false;
    // When the last stop phrase heard so far began, in seconds of the steady
    // clock; none when none was heard or the audio's time is unknown.
    std::optional<double> stopPhraseStartTime;
};

// Why recognition failed.
struct SpeechRecognitionError {
    QString localizedDescription;
};
