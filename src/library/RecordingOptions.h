#pragma once

#include <QObject>
#include <QString>

// The recording screen's options menu, kept in the settings store beside the
// save folder. Each instance reads the store when made and writes every change
// at once, so one made later (on any thread) sees the current choices.
class RecordingOptions : public QObject {
    Q_OBJECT
    Q_PROPERTY(
        bool isMirroringPreview READ isMirroringPreview WRITE setIsMirroringPreview NOTIFY isMirroringPreviewChanged)
    Q_PROPERTY(bool isMirroringText READ isMirroringText WRITE setIsMirroringText NOTIFY isMirroringTextChanged)
    Q_PROPERTY(
        bool isCountdownEnabled READ isCountdownEnabled WRITE setIsCountdownEnabled NOTIFY isCountdownEnabledChanged)
    Q_PROPERTY(bool isTrimmingVoiceCommand READ isTrimmingVoiceCommand WRITE setIsTrimmingVoiceCommand NOTIFY
            isTrimmingVoiceCommandChanged)
    Q_PROPERTY(bool isVoiceFollowing READ isVoiceFollowing WRITE setIsVoiceFollowing NOTIFY isVoiceFollowingChanged)

public:
    static const QString mirrorPreviewKey;
    static const QString mirrorTextKey;
    static const QString countdownKey;
    static const QString trimVoiceCommandKey;
    static const QString voiceFollowingKey;

    explicit RecordingOptions(QObject *parent = nullptr);

    // "镜像预览": the preview drawn mirrored; the recording never is.
    bool isMirroringPreview() const { return m_isMirroringPreview; }
    void setIsMirroringPreview(bool value);
    // "镜像文字": the teleprompter text mirrored for beam-splitter glass.
    bool isMirroringText() const { return m_isMirroringText; }
    void setIsMirroringText(bool value);
    // "录制前倒计时": a 3-2-1 count before a start by button or key.
    bool isCountdownEnabled() const { return m_isCountdownEnabled; }
    void setIsCountdownEnabled(bool value);
    // "裁掉结尾的语音指令": a take stopped by voice loses the stop phrase at its end.
    bool isTrimmingVoiceCommand() const { return m_isTrimmingVoiceCommand; }
    void setIsTrimmingVoiceCommand(bool value);
    // "跟读滚动": the teleprompter follows the speaker's voice.
    bool isVoiceFollowing() const { return m_isVoiceFollowing; }
    void setIsVoiceFollowing(bool value);

Q_SIGNALS:
    void isMirroringPreviewChanged();
    void isMirroringTextChanged();
    void isCountdownEnabledChanged();
    void isTrimmingVoiceCommandChanged();
    void isVoiceFollowingChanged();

private:
    void assign(bool &field, bool value, const QString &key, void (RecordingOptions::*changed)());

    bool m_isMirroringPreview;
    bool m_isMirroringText;
    bool m_isCountdownEnabled;
    bool m_isTrimmingVoiceCommand;
    bool m_isVoiceFollowing;
};
