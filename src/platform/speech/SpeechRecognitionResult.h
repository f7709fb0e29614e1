#pragma once

#include <QString>

// What a recognition task reports: the whole transcript since it began.
struct SpeechRecognitionResult {
    QString formattedString;
    bool isFinal = false;
};

// Why recognition failed.
struct SpeechRecognitionError {
    QString localizedDescription;
};
