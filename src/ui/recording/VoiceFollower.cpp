#include "ui/recording/VoiceFollower.h"

#include "platform/SteadyClock.h"
#include "ui/recording/RecordingViewState.h"
#include "ui/recording/TeleprompterLayout.h"
#include "ui/recording/TeleprompterView.h"
#include "voice/SpeechRecognitionManager.h"

#include <QEvent>

#include <algorithm>
#include <cmath>

namespace {

// Closer than this, the motion is there.
constexpr double arrivedPoints = 0.5;
} // namespace

VoiceFollower *VoiceFollower::attach(
    RecordingViewState *state, TeleprompterView *view, SpeechRecognitionManager *listener)
{
    auto *follower = new VoiceFollower(state, view, {}, view);
    follower->setListening(listener->isListening());
    follower->setTranscript(listener->lastRecognizedText());
    connect(listener, &SpeechRecognitionManager::lastRecognizedTextChanged, follower,
        [follower, listener] { follower->setTranscript(listener->lastRecognizedText()); });
    connect(listener, &SpeechRecognitionManager::isListeningChanged, follower,
        [follower, listener] { follower->setListening(listener->isListening()); });
    return follower;
}

VoiceFollower::VoiceFollower(RecordingViewState *state, TeleprompterView *view, Clock clock, QObject *parent)
    : QObject(parent), m_state(state), m_view(view), m_clock(clock ? std::move(clock) : Clock(SteadyClock::now))
{
    m_timer.setTimerType(Qt::PreciseTimer);
    m_timer.setInterval(tickIntervalMs);
    connect(&m_timer, &QTimer::timeout, this, &VoiceFollower::tick);

    connect(m_state, &RecordingViewState::isVoiceFollowingChanged, this, &VoiceFollower::updateActivity);
    connect(m_state, &RecordingViewState::isScrollingChanged, this, &VoiceFollower::updateActivity);
    connect(m_state, &RecordingViewState::isTeleprompterVisibleChanged, this, &VoiceFollower::updateActivity);
    connect(m_state, &RecordingViewState::teleprompterTextChanged, this, &VoiceFollower::onTextChanged);
    connect(m_state, &RecordingViewState::scrollOffsetChanged, this, &VoiceFollower::onOffsetChanged);
    connect(m_state, &RecordingViewState::teleprompterFontSizeChanged, this, &VoiceFollower::onLayoutInputsChanged);
    connect(m_state, &RecordingViewState::selectedFontChanged, this, &VoiceFollower::onLayoutInputsChanged);
    connect(m_state, &RecordingViewState::lineSpacingChanged, this, &VoiceFollower::onLayoutInputsChanged);
    m_view->installEventFilter(this);

    m_tracker.setScript(TeleprompterLayout::displayedText(m_state->teleprompterText()));
    updateActivity();
}

void VoiceFollower::setTranscript(const QString &text)
{
    if (!m_active || !m_state) {
        m_tracker.skipTranscript(text);
        return;
    }
    if (m_tracker.takeTranscript(text, m_clock())) {
        retarget(false);
    }
    if (m_tracker.isHolding()) {
        ensureTicking();
    }
}

void VoiceFollower::setListening(bool isListening)
{
    m_isListening = isListening;
    updateActivity();
}

void VoiceFollower::updateActivity()
{
    const bool active = m_view && m_state && m_state->isVoiceFollowing() && m_state->isScrolling()
        && m_state->isTeleprompterVisible() && !m_state->teleprompterText().isEmpty() && m_isListening;
    if (active == m_active) {
        return;
    }
    m_active = active;
    if (!m_active) {
        m_timer.stop();
        return;
    }
    // The listener turns isListening off and on again at each restart: a
    // motion under way goes on where it was.
    m_position = m_state->scrollOffset();
    m_target = std::max(m_target, m_position);
    if (m_anchorPending) {
        anchor();
    }
    if (m_position < m_target) {
        ensureTicking();
    }
}

void VoiceFollower::onTextChanged()
{
    m_tracker.setScript(TeleprompterLayout::displayedText(m_state->teleprompterText()));
    m_anchorPending = true;
    updateActivity();
    if (m_active) {
        anchor();
    }
}

void VoiceFollower::onOffsetChanged()
{
    if (m_writing) {
        return;
    }
    // Reset, or whoever else moved the text: go on from what is in view now.
    m_anchorPending = true;
    if (m_active) {
        anchor();
    }
}

void VoiceFollower::onLayoutInputsChanged()
{
    if (m_active) {
        ensureTicking();
    }
}

bool VoiceFollower::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == m_view && event->type() == QEvent::Resize && m_active) {
        ensureTicking();
    }
    return QObject::eventFilter(watched, event);
}

void VoiceFollower::anchor()
{
    m_anchorPending = false;
    const double offset = m_state->scrollOffset();
    m_position = offset;
    m_target = offset;
    int textPosition = 0;
    if (offset > 0 && m_view) {
        const TeleprompterLayout &layout = m_view->textLayout();
        m_layoutCount = layout.layoutCount();
        const int index = layout.lineIndexAt(m_view->scrollPosition() + readingLineY());
        const int textLine = index >= 0 ? layout.lines()[size_t(index)].textLine : -1;
        if (textLine >= 0) {
            textPosition = layout.textLayout().lineAt(textLine).textStart();
        }
    }
    m_tracker.restartAt(textPosition);
}

double VoiceFollower::readingLineY() const
{
    return m_view ? m_view->height() * readingLineShare : 0;
}

bool VoiceFollower::computeTarget(double *target)
{
    if (!m_view || m_view->height() <= 0 || m_tracker.unitsReadSinceRestart() <= 0) {
        return false;
    }
    const TeleprompterLayout &layout = m_view->textLayout();
    m_layoutCount = layout.layoutCount();
    const std::vector<ScriptUnit> &units = m_tracker.units();
    // The recognizer reports a syllable some 0.4 s after it is said: by then
    // the speaker is a syllable or two further on.
    const int last = std::min(m_tracker.unitsRead() + leadUnits, int(units.size())) - 1;
    const int index = layout.lineIndexForTextPosition(units[size_t(last)].position);
    if (index < 0) {
        return false;
    }
    const TeleprompterLayout::Line &line = layout.lines()[size_t(index)];
    const QTextLine textLine = layout.textLayout().lineAt(line.textLine);
    const auto byPosition = [](const ScriptUnit &unit, int position) { return unit.position < position; };
    const auto first = std::lower_bound(units.begin(), units.end(), textLine.textStart(), byPosition);
    const auto end
        = std::lower_bound(units.begin(), units.end(), textLine.textStart() + textLine.textLength(), byPosition);
    // The reading line sweeps down the line as its units are read, and
    // reaches the next line as the last one is.
    const double share = double(last - (first - units.begin()) + 1) / double(std::max<long>(end - first, 1));
    const double y = line.top + std::clamp(share, 0.0, 1.0) * (line.height + line.paragraphSpacing);
    *target = std::clamp(y - readingLineY(), 0.0, m_view->maximumOffset());
    return true;
}

void VoiceFollower::retarget(bool allowBack)
{
    double target = 0;
    if (!computeTarget(&target)) {
        return;
    }
    m_target = allowBack ? target : std::max(m_target, target);
    ensureTicking();
}

void VoiceFollower::ensureTicking()
{
    if (m_active && !m_timer.isActive()) {
        m_lastTick = m_clock();
        m_timer.start();
    }
}

void VoiceFollower::tick()
{
    if (!m_active || !m_view || !m_state) {
        m_timer.stop();
        return;
    }
    const double now = m_clock();
    const double dt = std::clamp(now - m_lastTick, 0.0, 0.2);
    m_lastTick = now;

    if (m_tracker.flushHeld(now)) {
        retarget(false);
    }
    // Laid out anew (size, font, spacing, width): the same unit goes back to
    // the reading line at once, wherever that now puts the text.
    if (m_view->textLayout().layoutCount() != m_layoutCount) {
        double target = 0;
        if (computeTarget(&target)) {
            m_target = target;
            m_position = target;
            writeOffset(m_position);
        }
        m_layoutCount = m_view->textLayout().layoutCount();
    }

    if (m_position < m_target) {
        m_position += (m_target - m_position) * (1.0 - std::exp(-dt / easingSeconds));
        if (m_target - m_position < arrivedPoints) {
            m_position = m_target;
        }
        writeOffset(m_position);
    }
    if (m_position >= m_target && !m_tracker.isHolding()) {
        m_timer.stop();
    }
}

void VoiceFollower::writeOffset(double offset)
{
    m_writing = true;
    m_state->setScrollOffset(offset);
    m_writing = false;
}
