#pragma once

#include "../../voice/FollowReading.h"
#include "ui/recording/RecordingViewState.h"
#include "ui/recording/TeleprompterLayout.h"
#include "ui/recording/TeleprompterView.h"
#include "ui/recording/VoiceFollower.h"

#include <QSize>

#include <memory>
#include <vector>

// The recording screen's teleprompter following a generated reading on a
// clock of its own: the transcripts arrive at their audio times and the
// follower's timer ticks every 30 ms in between, as fast as the machine
// goes. Samples the offset at every tick.
class FollowSimulation {
public:
    struct Sample {
        double time = 0;
        double offset = 0;
    };

    explicit FollowSimulation(const QString &script, QSize boxSize = {560, 300})
    {
        m_state.setTeleprompterText(script);
        m_state.setIsTeleprompterVisible(true);
        m_view = std::make_unique<TeleprompterView>(&m_state);
        m_view->resize(boxSize);
        m_follower = std::make_unique<VoiceFollower>(&m_state, m_view.get(), [this] { return m_now; });
        m_follower->setListening(true);
        m_state.setIsVoiceFollowing(true);
        m_state.setIsScrolling(true);
    }

    RecordingViewState &state() { return m_state; }
    TeleprompterView &view() { return *m_view; }
    VoiceFollower &follower() { return *m_follower; }
    const std::vector<Sample> &samples() const { return m_samples; }
    double now() const { return m_now; }

    void advanceTo(double time)
    {
        while (m_now + tick <= time) {
            m_now += tick;
            if (m_follower->isMoving()) {
                m_follower->tick();
            }
            m_samples.push_back({m_now, m_state.scrollOffset()});
        }
        m_now = std::max(m_now, time);
    }

    // Feeds the transcripts published before `until`, starting at `from`;
    // returns the index of the first one not fed.
    size_t play(const std::vector<FollowReading::Transcript> &transcripts, size_t from, double until)
    {
        size_t i = from;
        for (; i < transcripts.size() && transcripts[i].time <= until; ++i) {
            advanceTo(transcripts[i].time);
            m_follower->setTranscript(transcripts[i].text);
        }
        advanceTo(until);
        return i;
    }

    // Offset at a time, from the samples (the last one at or before it).
    double offsetAt(double time) const
    {
        double offset = 0;
        for (const Sample &sample : m_samples) {
            if (sample.time > time) {
                break;
            }
            offset = sample.offset;
        }
        return offset;
    }

    const TeleprompterLayout &layout() { return m_view->textLayout(); }

    // What the box shows at `offset`: the line at the reading line.
    int lineAtReadingLine(double offset)
    {
        const double position = std::clamp(offset, 0.0, m_view->maximumOffset());
        return layout().lineIndexAt(position + m_follower->readingLineY());
    }

    // The line of a character of the script.
    int lineOfScriptPosition(int position)
    {
        return layout().lineIndexForTextPosition(position + TeleprompterLayout::leadingBreaks);
    }

    static constexpr double tick = VoiceFollower::tickIntervalMs / 1000.0;

private:
    RecordingViewState m_state;
    std::unique_ptr<TeleprompterView> m_view;
    std::unique_ptr<VoiceFollower> m_follower;
    double m_now = 0;
    std::vector<Sample> m_samples;
};
