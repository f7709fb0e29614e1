// 50 takes in a row through the recording screen's record button, with the
// machine's devices (run inside tests/with-virtual-devices.sh): each take is
// started, recorded for a moment and stopped as a user would, alternately at
// 16:9 (no crop) and 1:1 (a crop). Afterwards every take must be in the
// library with a thumbnail that reads back. Prints resident memory, open file
// descriptors and threads after take 5 and after take 50, and their ratios.
#include "capture/CameraManager.h"
#include "library/DatabaseManager.h"
#include "platform/media/CaptureSession.h"
#include "platform/media/MediaAsset.h"
#include "platform/media/MediaRuntime.h"
#include "platform/media/SystemCapturePermissions.h"
#include "platform/media/SystemDeviceProvider.h"
#include "ui/recording/CameraRow.h"
#include "ui/recording/RecordButton.h"
#include "ui/recording/RecordingControlPanel.h"
#include "ui/recording/RecordingView.h"
#include "ui/recording/RecordingViewState.h"
#include "ui/recording/VoiceFeedbackRow.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QTemporaryDir>
#include <QTimer>

#include <cstdio>
#include <cstdlib>
#include <functional>

namespace {

// VELTROSCOPE_SOAK_TAKES and VELTROSCOPE_SOAK_SAME_RATIO (16:9 only, no crop)
// narrow down where a growth comes from.
const int takes = qEnvironmentVariableIntValue("VELTROSCOPE_SOAK_TAKES") > 5
    ? qEnvironmentVariableIntValue("VELTROSCOPE_SOAK_TAKES")
    : 50;
constexpr int baselineTake = 5;
constexpr int takeMs = 1200;
// VELTROSCOPE_SOAK_CAMERA names another camera of the session.
const QString defaultCameraName = QStringLiteral("Veltroscope Test Camera");

// The system's devices without change reports: with VELTROSCOPE_SOAK_FIXED_DEVICES
// set, the manager never follows a device coming or going, and with
// VELTROSCOPE_SOAK_WITHOUT_MICROPHONE it records picture only, to tell a fault
// of those apart from one of the takes themselves.
class FixedSystemDevices : public CaptureDeviceProvider {
public:
    explicit FixedSystemDevices(bool withMicrophone) : m_withMicrophone(withMicrophone) { }
    QList<CaptureDevice> videoDevices() override { return m_system->videoDevices(); }
    std::optional<CaptureDevice> defaultAudioDevice() override
    {
        return m_withMicrophone ? m_system->defaultAudioDevice() : std::nullopt;
    }

private:
    bool m_withMicrophone;
    std::shared_ptr<SystemDeviceProvider> m_system = SystemDeviceProvider::shared();
};

struct Resources {
    double residentMiB = 0;
    int fileDescriptors = 0;
    int threads = 0;
};

Resources measure()
{
    Resources resources;
    QFile status(QStringLiteral("/proc/self/status"));
    if (status.open(QIODevice::ReadOnly)) {
        for (const QByteArray &line : status.readAll().split('\n')) {
            if (line.startsWith("VmRSS:")) {
                resources.residentMiB = line.mid(6).trimmed().split(' ').first().toDouble() / 1024;
            } else if (line.startsWith("Threads:")) {
                resources.threads = line.mid(8).trimmed().toInt();
            }
        }
    }
    resources.fileDescriptors = int(QDir(QStringLiteral("/proc/self/fd")).entryList(QDir::Files | QDir::System).size());
    return resources;
}

bool spinUntil(const std::function<bool()> &condition, int timeoutMs)
{
    QElapsedTimer timer;
    timer.start();
    while (!condition()) {
        if (timer.elapsed() > timeoutMs) {
            return false;
        }
        QEventLoop loop;
        QTimer::singleShot(10, &loop, &QEventLoop::quit);
        loop.exec();
    }
    return true;
}

void spin(int ms)
{
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
}

[[noreturn]] void fail(const char *what)
{
    std::fprintf(stderr, "take_soak_bench: %s\n", what);
    std::exit(1);
}

} // namespace

int main(int argc, char **argv)
{
    QTemporaryDir home;
    qputenv("XDG_DATA_HOME", QFile::encodeName(home.filePath(QStringLiteral("share"))));
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(home.filePath(QStringLiteral("config"))));
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    MediaRuntime::initialise(&argc, &argv);
    QApplication application(argc, argv);
    const QString saveFolder = home.filePath(QStringLiteral("takes"));
    QDir().mkpath(saveFolder);

    const bool withoutMicrophone = qEnvironmentVariableIsSet("VELTROSCOPE_SOAK_WITHOUT_MICROPHONE");
    std::shared_ptr<CaptureDeviceProvider> devices = SystemDeviceProvider::shared();
    if (withoutMicrophone || qEnvironmentVariableIsSet("VELTROSCOPE_SOAK_FIXED_DEVICES")) {
        devices = std::make_shared<FixedSystemDevices>(!withoutMicrophone);
    }
    CameraManager camera(devices, std::make_shared<SystemCapturePermissions>(SystemDeviceProvider::shared()));
    camera.setSaveFolder(saveFolder);
    if (!spinUntil([&] { return camera.selectedDevice().has_value(); }, 20000)) {
        fail("no camera: run inside tests/with-virtual-devices.sh");
    }
    const QString cameraName = qEnvironmentVariable("VELTROSCOPE_SOAK_CAMERA", defaultCameraName);
    for (const CaptureDevice &device : camera.availableDevices()) {
        if (device.localizedName() == cameraName && !(camera.selectedDevice() == device)) {
            camera.selectDevice(device);
        }
    }
    RecordingView view(&camera, &DatabaseManager::shared(), nullptr, std::nullopt);
    view.resize(1100, 780);
    view.show();
    RecordButton *button = view.controlPanel()->voiceFeedbackRow()->recordButton();
    spin(2000); // the camera settles

    QElapsedTimer wall;
    wall.start();
    Resources baseline;
    Resources last;
    double baselineSeconds = 0;
    const bool sameRatio = qEnvironmentVariableIsSet("VELTROSCOPE_SOAK_SAME_RATIO");
    int noPictureTakes = 0;
    for (int take = 1; take <= takes; ++take) {
        const qint64 previewBefore = camera.captureSession()->previewFrameCount();
        view.viewState()->setSelectedResolution(VideoResolution::p720);
        view.viewState()->setSelectedAspectRatio(sameRatio || take % 2 ? VideoAspectRatio::ratio16x9 : VideoAspectRatio::ratio1x1);
        button->click();
        if (!spinUntil([&] { return camera.isRecording(); }, 20000)) {
            fail("a take did not start");
        }
        spin(takeMs);
        button->click();
        if (!spinUntil([&] { return !camera.isTakeUnderWay() && !camera.isRecording(); }, 20000)) {
            fail("a take did not stop");
        }
        const qsizetype expected = take;
        if (!spinUntil([&] { return DatabaseManager::shared().videos().size() >= expected; }, 120000)) {
            fail("a take did not reach the library");
        }
        spin(200); // the streaming threads of the take wind down
        if (take == 1 && qEnvironmentVariableIsSet("VELTROSCOPE_SOAK_READS")) {
            // The reads each take's processing makes of its file, alone.
            const QString path = DatabaseManager::shared().videos().first().filePath;
            const double before = measure().residentMiB;
            for (int read = 0; read < 20; ++read) {
                (void)MediaAsset(path).tracks(MediaType::video);
            }
            const double afterAssets = measure().residentMiB;
            for (int read = 0; read < 20; ++read) {
                (void)CameraManager::generateThumbnail(path);
            }
            std::printf("20 asset reads: %+.1f MiB, 20 thumbnails: %+.1f MiB\n", afterAssets - before,
                measure().residentMiB - afterAssets);
        }
        if (take == baselineTake) {
            baseline = measure();
            baselineSeconds = wall.elapsed() / 1000.0;
        } else if (take == takes) {
            last = measure();
        }
        // Pictures the preview got meanwhile: zero means the camera itself stalled.
        const qint64 preview = camera.captureSession()->previewFrameCount() - previewBefore;
        const QList<VideoRecord> filed = DatabaseManager::shared().videos();
        const bool hasPicture
            = !filed.isEmpty() && filed.first().thumbnailPath && !QImage(*filed.first().thumbnailPath).isNull();
        noPictureTakes += hasPicture ? 0 : 1;
        std::printf("take %2d done at %.1f s, preview pictures during it: %lld%s\n", take, wall.elapsed() / 1000.0,
            static_cast<long long>(preview), hasPicture ? "" : ", NO PICTURE");
        std::fflush(stdout);
    }

    int withThumbnail = 0;
    const QList<VideoRecord> videos = DatabaseManager::shared().videos();
    for (const VideoRecord &video : videos) {
        if (QFileInfo(video.filePath).isFile() && video.thumbnailPath && !QImage(*video.thumbnailPath).isNull()) {
            ++withThumbnail;
        }
    }
    const double seconds = wall.elapsed() / 1000.0;
    auto ratio = [](double after, double before) { return before > 0 ? after / before : 0.0; };
    std::printf("\ntakes: %d, in the library: %lld, with a file and a readable thumbnail: %d\n", takes,
        static_cast<long long>(videos.size()), withThumbnail);
    std::printf("wall time: %.1f s (%.1f s per take after take %d)\n", seconds,
        (seconds - baselineSeconds) / (takes - baselineTake), baselineTake);
    std::printf("%-22s %12s %12s %8s\n", "", "after take 5", "after the last", "ratio");
    std::printf("%-22s %12.1f %12.1f %8.3f\n", "resident memory (MiB)", baseline.residentMiB, last.residentMiB,
        ratio(last.residentMiB, baseline.residentMiB));
    std::printf("%-22s %12d %12d %8.3f\n", "open file descriptors", baseline.fileDescriptors, last.fileDescriptors,
        ratio(last.fileDescriptors, baseline.fileDescriptors));
    std::printf(
        "%-22s %12d %12d %8.3f\n", "threads", baseline.threads, last.threads, ratio(last.threads, baseline.threads));
    const bool within = ratio(last.residentMiB, baseline.residentMiB) <= 1.05
        && ratio(last.fileDescriptors, baseline.fileDescriptors) <= 1.05
        && ratio(last.threads, baseline.threads) <= 1.05;
    std::printf("takes without a picture: %d\n", noPictureTakes);
    std::printf(
        "all takes filed: %s; growth within 5 %%: %s\n", withThumbnail == takes ? "yes" : "no", within ? "yes" : "no");
    return withThumbnail == takes && within ? 0 : 1;
}
