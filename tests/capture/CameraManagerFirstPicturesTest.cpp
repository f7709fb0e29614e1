#include "CameraManagerTestSupport.h"
#include "PictureProbe.h"

#include "library/DatabaseManager.h"
#include "platform/Log.h"
#include "platform/desktop/AppPaths.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <mutex>

using namespace CameraManagerTest;

namespace {

// Keeps a copy of each recorded file before post-processing replaces it with
// its crop: the report is logged on the capture service's thread, before the
// crop starts there.
class OriginalKeeper {
public:
    OriginalKeeper()
    {
        Log::setObserver([this](const QString &line) {
            const QString finished = QStringLiteral("✅ 录制完成: ");
            if (line.startsWith(finished)) {
                const QString path = line.mid(finished.size());
                QFile::copy(path, originalOf(path));
            }
            std::lock_guard lock(m_mutex);
            m_lines << line;
        });
    }
    ~OriginalKeeper() { Log::setObserver({}); }

    static QString originalOf(const QString &path) { return path + QStringLiteral(".original"); }

    bool waitFor(const QString &prefix, int count = 1, int timeoutMs = 15000) const
    {
        return MainLoop::waitUntil(
            [&] {
                std::lock_guard lock(m_mutex);
                return m_lines.filter(prefix).size() >= count;
            },
            timeoutMs);
    }

private:
    mutable std::mutex m_mutex;
    QStringList m_lines;
};

// The middle `share` of the picture's width: what a crop to a narrower ratio keeps.
QRectF middle(double share)
{
    return {(1 - share) / 2, 0, share, 1};
}

} // namespace

// Ten takes as the recording screen makes them (a new resolution, the
// microphone put back, the recording linked) from a camera whose pictures
// arrive late, each cropped to 9:16: every original begins with a key frame
// and the camera picture, and so do the crop and the thumbnail.
TEST(CameraManagerFirstPictures, TenTakesInARowShowTheCameraFromTheirFirstFrame)
{
    // Every take restarts the camera at another size: ten such starts are enough
    // to catch a take that begins without its key frame.
    constexpr int takes = 10;
    QTemporaryDir dir;
    OriginalKeeper keeper;
    CameraManager manager(TestDevices::provider({TestDevices::lateCamera()}), TestDevices::permissions());
    ASSERT_TRUE(keeper.waitFor(QStringLiteral("音频连接已启用")));
    auto *preview = new PreviewSink(manager.captureSession(), &manager);
    manager.setPreviewLayer(preview);
    ASSERT_TRUE(MainLoop::waitUntil([&] { return !preview->latestFrame().isNull(); }, 15000));
    manager.setSaveFolder(dir.path());

    const qsizetype rowsBefore = DatabaseManager::shared().videos().size();
    for (int take = 0; take < takes; ++take) {
        SCOPED_TRACE(take);
        // Alternate sizes, so each take starts with the camera restarting.
        const bool vga = take % 2 == 0;
        const QSize size = vga ? QSize(640, 480) : QSize(1280, 720);
        MainLoop::spin(300); // the listener's pause before a voice-started take
        const QString path = recordTake(
            manager, vga ? VideoResolution::p480 : VideoResolution::p720, VideoAspectRatio::ratio9x16, 500);
        ASSERT_FALSE(path.isEmpty());
        ASSERT_TRUE(MainLoop::waitUntil(
            [&] { return DatabaseManager::shared().videos().size() >= rowsBefore + take + 1; }, 60000));

        // The preview shows the camera's picture; its colours reach the files
        // through other conversions, so it is compared with a wider margin.
        const QImage camera = preview->latestFrame();
        const double keptShare = size.height() * 9.0 / 16 / size.width();
        const double acrossConversions = 0.5;

        const PictureProbe original = PictureProbe::read(OriginalKeeper::originalOf(path), 5);
        EXPECT_TRUE(original.startsCleanly()) << original.describe().toStdString();
        EXPECT_TRUE(original.firstPicturesHaveDetail(PictureProbe::spreadOf(camera), acrossConversions))
            << original.describe().toStdString();
        const PictureProbe cropped = PictureProbe::read(path, 5);
        const double croppedDetail = PictureProbe::spreadOf(original.firstPicture, middle(keptShare));
        EXPECT_TRUE(cropped.firstPicturesHaveDetail(croppedDetail))
            << cropped.describe().toStdString() << " original " << croppedDetail;
        const QImage thumbnail(
            QDir(AppPaths::thumbnailsFolder()).filePath(QFileInfo(path).completeBaseName() + ".png"));
        EXPECT_GE(
            PictureProbe::spreadOf(thumbnail), acrossConversions * PictureProbe::spreadOf(camera, middle(keptShare)))
            << "thumbnail " << thumbnail.width() << "x" << thumbnail.height();
        QFile::remove(OriginalKeeper::originalOf(path));
    }
}
