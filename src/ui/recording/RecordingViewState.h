#pragma once

#include "library/TeleprompterFont.h"
#include "library/VideoAspectRatio.h"
#include "library/VideoResolution.h"

#include <QObject>
#include <QString>

class TeleprompterScroller;

// The recording screen's own choices, kept for the screen's whole life. Every
// part of the screen (picture area, control rows, teleprompter) reads and
// writes them here and redraws from the change signals. Setters emit only
// when the value changes.
class RecordingViewState : public QObject {
    Q_OBJECT
    Q_PROPERTY(QString teleprompterText READ teleprompterText WRITE setTeleprompterText NOTIFY teleprompterTextChanged)
    Q_PROPERTY(bool isTeleprompterVisible READ isTeleprompterVisible WRITE setIsTeleprompterVisible NOTIFY
            isTeleprompterVisibleChanged)
    Q_PROPERTY(double scrollSpeed READ scrollSpeed WRITE setScrollSpeed NOTIFY scrollSpeedChanged)
    Q_PROPERTY(bool isTeleprompterDarkMode READ isTeleprompterDarkMode WRITE setIsTeleprompterDarkMode NOTIFY
            isTeleprompterDarkModeChanged)
    Q_PROPERTY(double teleprompterFontSize READ teleprompterFontSize WRITE setTeleprompterFontSize NOTIFY
            teleprompterFontSizeChanged)
    Q_PROPERTY(double lineSpacing READ lineSpacing WRITE setLineSpacing NOTIFY lineSpacingChanged)
    Q_PROPERTY(bool isScrolling READ isScrolling WRITE setIsScrolling NOTIFY isScrollingChanged)
    Q_PROPERTY(double scrollOffset READ scrollOffset WRITE setScrollOffset NOTIFY scrollOffsetChanged)
    Q_PROPERTY(bool isVoiceFollowing READ isVoiceFollowing WRITE setIsVoiceFollowing NOTIFY isVoiceFollowingChanged)

public:
    explicit RecordingViewState(QObject *parent = nullptr);

    VideoAspectRatio selectedAspectRatio() const { return m_selectedAspectRatio; }
    void setSelectedAspectRatio(VideoAspectRatio value);
    VideoResolution selectedResolution() const { return m_selectedResolution; }
    void setSelectedResolution(VideoResolution value);

    QString teleprompterText() const { return m_teleprompterText; }
    void setTeleprompterText(const QString &value);
    bool isTeleprompterVisible() const { return m_isTeleprompterVisible; }
    void setIsTeleprompterVisible(bool value);
    double scrollSpeed() const { return m_scrollSpeed; }
    void setScrollSpeed(double value);
    bool isTeleprompterDarkMode() const { return m_isTeleprompterDarkMode; }
    void setIsTeleprompterDarkMode(bool value);
    double teleprompterFontSize() const { return m_teleprompterFontSize; }
    void setTeleprompterFontSize(double value);
    double lineSpacing() const { return m_lineSpacing; }
    void setLineSpacing(double value);
    TeleprompterFont selectedFont() const { return m_selectedFont; }
    void setSelectedFont(TeleprompterFont value);
    bool isScrolling() const { return m_isScrolling; }
    void setIsScrolling(bool value);
    double scrollOffset() const { return m_scrollOffset; }
    void setScrollOffset(double value);
    // "跟读滚动": the offset follows the speaker's voice instead of the timer;
    // start/pause and reset then pause, resume and restart the following.
    bool isVoiceFollowing() const { return m_isVoiceFollowing; }
    void setIsVoiceFollowing(bool value);

    // Holds the scroll timer; lives as long as this state.
    TeleprompterScroller *scroller() const { return m_scroller; }

Q_SIGNALS:
    void selectedAspectRatioChanged();
    void selectedResolutionChanged();
    void teleprompterTextChanged();
    void isTeleprompterVisibleChanged();
    void scrollSpeedChanged();
    void isTeleprompterDarkModeChanged();
    void teleprompterFontSizeChanged();
    void lineSpacingChanged();
    void selectedFontChanged();
    void isScrollingChanged();
    void scrollOffsetChanged();
    void isVoiceFollowingChanged();

private:
    VideoAspectRatio m_selectedAspectRatio = VideoAspectRatio::ratio16x9;
    VideoResolution m_selectedResolution = VideoResolution::p1080;
    QString m_teleprompterText;
    bool m_isTeleprompterVisible = false;
    double m_scrollSpeed = 1.0;
    bool m_isTeleprompterDarkMode = true;
    double m_teleprompterFontSize = 28;
    double m_lineSpacing = 12;
    TeleprompterFont m_selectedFont = TeleprompterFont::system;
    bool m_isScrolling = false;
    double m_scrollOffset = 0;
    bool m_isVoiceFollowing = false;
    TeleprompterScroller *m_scroller = nullptr;
};
