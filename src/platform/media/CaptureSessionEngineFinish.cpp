#include "platform/media/CaptureSessionEngine.h"
#include "platform/media/CaptureTimeline.h"

#include "platform/Log.h"

namespace {

constexpr auto firstFrameWait = std::chrono::milliseconds(20);
constexpr int firstFrameWaits = 250; // 5 s for a camera that is still starting
// The finish waits for the end of stream however much is still queued; it
// gives up only when nothing has reached the file for this long.
constexpr auto finishCheckInterval = std::chrono::seconds(1);
constexpr int quietChecksAllowed = 20;

} // namespace

void CaptureSessionEngine::stopRecording(MovieFileOutput *output)
{
    std::lock_guard lock(m_pipelineMutex);
    if (m_recording && m_recording->output == output) {
        endRecording(m_recording, true);
    }
}

void CaptureSessionEngine::endRecording(std::shared_ptr<Recording> recording, bool afterFirstFrame)
{
    if (m_recording == recording) {
        m_recording.reset();
    }
    m_finishing.push_back(recording);
    std::weak_ptr<Recording> weak = recording;
    m_service->postAfter(finishCheckInterval, [this, weak] { watchFinish(weak, -1, 0); });
    if (afterFirstFrame) {
        closeWhenFramed(weak, firstFrameWaits);
    } else {
        closeBranch(recording);
    }
}

void CaptureSessionEngine::closeWhenFramed(const std::weak_ptr<Recording> &weak, int waitsLeft)
{
    // A stop right after the start would leave a file without a single picture,
    // which players and the crop step choke on: wait for the first one while
    // the camera still delivers.
    auto recording = weak.lock();
    if (!recording) {
        return;
    }
    std::lock_guard lock(m_pipelineMutex);
    const bool cameraDead = !m_video || m_video->failed;
    if (recording->videoFrames > 0 || waitsLeft <= 0 || cameraDead || recording->closed) {
        closeBranch(recording);
        return;
    }
    m_service->postAfter(firstFrameWait, [this, weak, waitsLeft] { closeWhenFramed(weak, waitsLeft - 1); });
}

void CaptureSessionEngine::closeBranch(const std::shared_ptr<Recording> &recording)
{
    // Cut the branch off the tees and close it with EOS; the muxer writes its
    // last fragment and the file sink's EOS hands the file over. The pads'
    // stream locks keep a buffer from slipping in behind the EOS.
    if (recording->closed || recording->finished) {
        return;
    }
    recording->closed = true;
    recording->timeline->release(); // sound held for a picture that never came
    for (auto &link : recording->links) {
        if (link.teePad) {
            gst_pad_unlink(link.teePad.get(), link.sinkPad.get());
            gst_element_release_request_pad(link.tee.get(), link.teePad.get());
        }
        gst_pad_send_event(link.sinkPad.get(), gst_event_new_eos());
    }
}

void CaptureSessionEngine::watchFinish(const std::weak_ptr<Recording> &weak, qint64 lastWritten, int quietChecks)
{
    auto recording = weak.lock();
    if (!recording || recording->finished) {
        return;
    }
    const qint64 written = recording->writtenBuffers;
    quietChecks = written == lastWritten ? quietChecks + 1 : 0;
    if (quietChecks > quietChecksAllowed) {
        finishRecording(recording, QStringLiteral("录制未能正常结束，文件可能不完整"));
        return;
    }
    m_service->postAfter(
        finishCheckInterval, [this, weak, written, quietChecks] { watchFinish(weak, written, quietChecks); });
}

void CaptureSessionEngine::endRecordingFedBy(const Branch &branch, const QString &reason)
{
    // Called with the pipeline lock held. What was written up to here is kept
    // and handed on like any finished file, with the reason.
    if (!m_recording) {
        return;
    }
    const bool feeds = &branch == m_video.get() || (&branch == m_audio.get() && m_recording->hasAudio);
    if (feeds) {
        m_recording->error = reason;
        endRecording(m_recording);
    }
}

void CaptureSessionEngine::finishRecording(const std::shared_ptr<Recording> &recording, std::optional<QString> error)
{
    {
        std::lock_guard lock(m_pipelineMutex);
        if (recording->finished) {
            return;
        }
        recording->finished = true;
        if (!recording->closed) {
            recording->closed = true;
            for (auto &link : recording->links) {
                if (link.teePad) {
                    gst_pad_unlink(link.teePad.get(), link.sinkPad.get());
                    gst_element_release_request_pad(link.tee.get(), link.teePad.get());
                }
            }
        }
        recording->timeline->release();
        gst_element_set_state(recording->bin.get(), GST_STATE_NULL);
        gst_bin_remove(GST_BIN(m_pipeline.get()), recording->bin.get());
        std::erase(m_finishing, recording);
        if (m_recording == recording) {
            m_recording.reset();
        }
        if (!error && recording->videoFrames == 0) {
            error = QStringLiteral("录制中没有画面");
        }
        if (recording->output && recording->output->m_engine.load() == this) {
            recording->output->m_lastRecordingVideoFrames = recording->videoFrames.load();
            ++recording->output->m_finishedRecordings;
        }
    }
    // A size change held back while the file was written applies now.
    applyConfiguration();
    if (recording->delegate) {
        recording->delegate(recording->path, error);
    }
}
