#include "ui/recording/RecordingViewState.h"

#include "ui/recording/TeleprompterScroller.h"

namespace {
template <typename T, typename Signal> void assign(RecordingViewState *state, T &field, const T &value, Signal changed)
{
    if (field == value) {
        return;
    }
    field = value;
    Q_EMIT(state->*changed)();
}
} // namespace

RecordingViewState::RecordingViewState(QObject *parent) : QObject(parent)
{
    m_scroller = new TeleprompterScroller(this);
}

void RecordingViewState::setSelectedAspectRatio(VideoAspectRatio value)
{
    assign(this, m_selectedAspectRatio, value, &RecordingViewState::selectedAspectRatioChanged);
}

void RecordingViewState::setSelectedResolution(VideoResolution value)
{
    assign(this, m_selectedResolution, value, &RecordingViewState::selectedResolutionChanged);
}

void RecordingViewState::setTeleprompterText(const QString &value)
{
    assign(this, m_teleprompterText, value, &RecordingViewState::teleprompterTextChanged);
}

void RecordingViewState::setIsTeleprompterVisible(bool value)
{
    assign(this, m_isTeleprompterVisible, value, &RecordingViewState::isTeleprompterVisibleChanged);
}

void RecordingViewState::setScrollSpeed(double value)
{
    assign(this, m_scrollSpeed, value, &RecordingViewState::scrollSpeedChanged);
}

void RecordingViewState::setIsTeleprompterDarkMode(bool value)
{
    assign(this, m_isTeleprompterDarkMode, value, &RecordingViewState::isTeleprompterDarkModeChanged);
}

void RecordingViewState::setTeleprompterFontSize(double value)
{
    assign(this, m_teleprompterFontSize, value, &RecordingViewState::teleprompterFontSizeChanged);
}

void RecordingViewState::setLineSpacing(double value)
{
    assign(this, m_lineSpacing, value, &RecordingViewState::lineSpacingChanged);
}

void RecordingViewState::setSelectedFont(TeleprompterFont value)
{
    assign(this, m_selectedFont, value, &RecordingViewState::selectedFontChanged);
}

void RecordingViewState::setIsScrolling(bool value)
{
    assign(this, m_isScrolling, value, &RecordingViewState::isScrollingChanged);
}

void RecordingViewState::setScrollOffset(double value)
{
    assign(this, m_scrollOffset, value, &RecordingViewState::scrollOffsetChanged);
}

void RecordingViewState::setIsVoiceFollowing(bool value)
{
    assign(this, m_isVoiceFollowing, value, &RecordingViewState::isVoiceFollowingChanged);
}
