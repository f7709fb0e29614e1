#include "capture/VoiceCommandTrim.h"

#include "capture/TakeJournal.h"
#include "library/RecordingOptions.h"
#include "platform/Log.h"

bool VoiceCommandTrim::isEnabled()
{
    return RecordingOptions().isTrimmingVoiceCommand();
}

std::optional<double> VoiceCommandTrim::keptDuration(
    const Stop &stop, std::optional<double> firstPictureTime, QString *why)
{
    // Never more than the phrase: whatever is unsure leaves the take whole.
    if (!stop.phraseStartTime) {
        *why = QStringLiteral("语音指令的开始时间未知");
        return std::nullopt;
    }
    if (!firstPictureTime) {
        *why = QStringLiteral("录制的开始时间未知");
        return std::nullopt;
    }
    const double phrase = *stop.phraseStartTime;
    if (phrase < *firstPictureTime || phrase > stop.stopTime || stop.stopTime - phrase > longestPhraseSeconds) {
        *why = QStringLiteral("语音指令的时间与录制对不上");
        return std::nullopt;
    }
    const double kept = phrase - marginSeconds - *firstPictureTime;
    if (kept < shortestKeptSeconds) {
        *why = QStringLiteral("裁掉后不足 %1 秒").arg(shortestKeptSeconds);
        return std::nullopt;
    }
    return kept;
}

void VoiceCommandTrim::noteCut(const Stop &stop, std::optional<double> firstPictureTime, const QString &path)
{
    QString why;
    if (const std::optional<double> kept = keptDuration(stop, firstPictureTime, &why)) {
        TakeJournal::shared().noteKeptDuration(path, *kept);
    } else {
        Log::line(QStringLiteral("⚠️ 未裁掉结尾的语音指令: ") + why);
    }
}
