#pragma once

#include <QString>

#include <optional>

// A take stopped by a spoken stop phrase ends where the phrase began, less a
// margin, so the file does not close on the speaker saying the command. The
// cut is decided at the stop and kept in the take journal until processing
// makes it. Times are seconds of the steady clock.
class VoiceCommandTrim {
public:
    static constexpr double marginSeconds = 0.2;
    // A take this short after the cut is not cut at all.
    static constexpr double shortestKeptSeconds = 0.5;
    // A phrase reported as older than this is not trusted: a stop phrase with
    // the recognizer's delay takes far less.
    static constexpr double longestPhraseSeconds = 8.0;

    // The option "裁掉结尾的语音指令", on unless the user turned it off.
    static bool isEnabled();

    struct Stop {
        std::optional<double> phraseStartTime; // none: the listener could not tell
        double stopTime = 0; // when the stop came
    };

    // How much of the take to keep; none, with `why` set, when it stays whole.
    static std::optional<double> keptDuration(const Stop &stop, std::optional<double> firstPictureTime, QString *why);

    // Decides the cut of the take at `path` and notes it in the journal, or
    // logs why it stays whole. Any thread.
    static void noteCut(const Stop &stop, std::optional<double> firstPictureTime, const QString &path);
};
