#include "library/RecordingOptions.h"

#include <QSettings>
#include <QVariant>

const QString RecordingOptions::mirrorPreviewKey = QStringLiteral("VeltroscopeMirrorPreview");
const QString RecordingOptions::mirrorTextKey = QStringLiteral("VeltroscopeMirrorText");
const QString RecordingOptions::countdownKey = QStringLiteral("VeltroscopeCountdown");
const QString RecordingOptions::trimVoiceCommandKey = QStringLiteral("VeltroscopeTrimVoiceCommand");
const QString RecordingOptions::voiceFollowingKey = QStringLiteral("VeltroscopeVoiceFollowing");

namespace {
// A value edited by hand into something that is no Boolean keeps the
// default; QVariant would read any other text as true.
bool stored(const QSettings &settings, const QString &key, bool fallback)
{
    const QVariant value = settings.value(key);
    if (value.typeId() == QMetaType::Bool) {
        return value.toBool();
    }
    const QString text = value.toString().trimmed().toLower();
    if (text == QLatin1String("true") || text == QLatin1String("1")) {
        return true;
    }
    if (text == QLatin1String("false") || text == QLatin1String("0")) {
        return false;
    }
    return fallback;
}
} // namespace

RecordingOptions::RecordingOptions(QObject *parent) : QObject(parent)
{
    const QSettings settings;
    m_isMirroringPreview = stored(settings, mirrorPreviewKey, false);
    m_isMirroringText = stored(settings, mirrorTextKey, false);
    m_isCountdownEnabled = stored(settings, countdownKey, false);
    m_isTrimmingVoiceCommand = stored(settings, trimVoiceCommandKey, true);
    m_isVoiceFollowing = stored(settings, voiceFollowingKey, false);
}

void RecordingOptions::assign(bool &field, bool value, const QString &key, void (RecordingOptions::*changed)())
{
    if (field == value) {
        return;
    }
    field = value;
    QSettings().setValue(key, value);
    Q_EMIT(this->*changed)();
}

void RecordingOptions::setIsMirroringPreview(bool value)
{
    assign(m_isMirroringPreview, value, mirrorPreviewKey, &RecordingOptions::isMirroringPreviewChanged);
}

void RecordingOptions::setIsMirroringText(bool value)
{
    assign(m_isMirroringText, value, mirrorTextKey, &RecordingOptions::isMirroringTextChanged);
}

void RecordingOptions::setIsCountdownEnabled(bool value)
{
    assign(m_isCountdownEnabled, value, countdownKey, &RecordingOptions::isCountdownEnabledChanged);
}

void RecordingOptions::setIsTrimmingVoiceCommand(bool value)
{
    assign(m_isTrimmingVoiceCommand, value, trimVoiceCommandKey, &RecordingOptions::isTrimmingVoiceCommandChanged);
}

void RecordingOptions::setIsVoiceFollowing(bool value)
{
    assign(m_isVoiceFollowing, value, voiceFollowingKey, &RecordingOptions::isVoiceFollowingChanged);
}
