#include "platform/desktop/DesktopWorkspace.h"

#include "FakeFileManager.h"
#include "support/MainLoop.h"
#include "support/PrivateSessionBus.h"

#include <gtest/gtest.h>

namespace {
const QString videoPath = QStringLiteral("/home/user/视频 文件夹/20250303_140509.mp4");

struct Reveal {
    QList<QUrl> opened;
    QList<bool> finishedByFileManager;
};

// Watches one workspace: what it hands to the desktop, how each reveal ends.
Reveal *watch(DesktopWorkspace &workspace)
{
    auto *reveal = new Reveal;
    workspace.setUrlOpener([reveal](const QUrl &url) {
        reveal->opened << url;
        return true;
    });
    QObject::connect(&workspace, &DesktopWorkspace::fileViewerFinished, &workspace,
        [reveal](const QList<QUrl> &, bool byFileManager) { reveal->finishedByFileManager << byFileManager; });
    return reveal;
}

bool registerFileManager(QDBusConnection &bus, FakeFileManager *fileManager)
{
    return bus.registerObject(
               QStringLiteral("/org/freedesktop/FileManager1"), fileManager, QDBusConnection::ExportAllSlots)
        && bus.registerService(QStringLiteral("org.freedesktop.FileManager1"));
}
} // namespace

TEST(DesktopWorkspace, RevealAsksTheFileManagerToSelectTheFileAndOpensNothingElse)
{
    PrivateSessionBus bus;
    ASSERT_FALSE(bus.address().isEmpty()) << "dbus-daemon did not start";
    QDBusConnection service = bus.connect(QStringLiteral("file-manager"));
    FakeFileManager fileManager(true);
    ASSERT_TRUE(registerFileManager(service, &fileManager));

    DesktopWorkspace workspace;
    std::unique_ptr<Reveal> reveal(watch(workspace));
    workspace.setFileManagerBus(bus.connect(QStringLiteral("program")));
    workspace.activateFileViewerSelectingUrls({QUrl::fromLocalFile(videoPath)});

    ASSERT_TRUE(MainLoop::waitUntil([&] { return !reveal->finishedByFileManager.isEmpty(); }, 20000));
    EXPECT_EQ(reveal->finishedByFileManager, QList<bool>{true});
    ASSERT_EQ(fileManager.shownItems.size(), 1);
    // One URI per file, percent-encoded the way file managers expect.
    EXPECT_EQ(fileManager.shownItems.first(),
        QStringList{"file:///home/user/%E8%A7%86%E9%A2%91%20%E6%96%87%E4%BB%B6%E5%A4%B9/20250303_140509.mp4"});
    EXPECT_EQ(fileManager.startupIds, QStringList{QString()});
    EXPECT_TRUE(reveal->opened.isEmpty());
}

TEST(DesktopWorkspace, RevealOpensTheFolderWhenNoFileManagerAnswers)
{
    PrivateSessionBus bus;
    ASSERT_FALSE(bus.address().isEmpty()) << "dbus-daemon did not start";
    const QList<QUrl> folder{QUrl::fromLocalFile(QStringLiteral("/home/user/视频 文件夹"))};

    // Nobody owns the name: the bus itself answers with an error.
    {
        DesktopWorkspace workspace;
        std::unique_ptr<Reveal> reveal(watch(workspace));
        workspace.setFileManagerBus(bus.connect(QStringLiteral("nobody-there")));
        workspace.activateFileViewerSelectingUrls({QUrl::fromLocalFile(videoPath)});
        ASSERT_TRUE(MainLoop::waitUntil([&] { return !reveal->finishedByFileManager.isEmpty(); }, 20000));
        EXPECT_EQ(reveal->finishedByFileManager, QList<bool>{false});
        EXPECT_EQ(reveal->opened, folder);
    }

    // A file manager that takes the call and never answers: the folder opens
    // once the timeout has passed, and the call never held up the caller.
    {
        QDBusConnection service = bus.connect(QStringLiteral("hung-file-manager"));
        FakeFileManager fileManager(false);
        ASSERT_TRUE(registerFileManager(service, &fileManager));
        DesktopWorkspace workspace;
        std::unique_ptr<Reveal> reveal(watch(workspace));
        workspace.setFileManagerBus(bus.connect(QStringLiteral("waiting-program")));
        workspace.setFileManagerTimeoutMs(300);
        workspace.activateFileViewerSelectingUrls({QUrl::fromLocalFile(videoPath)});
        EXPECT_TRUE(reveal->finishedByFileManager.isEmpty());
        EXPECT_TRUE(reveal->opened.isEmpty());
        ASSERT_TRUE(MainLoop::waitUntil([&] { return !reveal->finishedByFileManager.isEmpty(); }, 20000));
        EXPECT_EQ(fileManager.shownItems.size(), 1);
        EXPECT_EQ(reveal->finishedByFileManager, QList<bool>{false});
        EXPECT_EQ(reveal->opened, folder);
    }

    // No bus at all.
    {
        DesktopWorkspace workspace;
        std::unique_ptr<Reveal> reveal(watch(workspace));
        workspace.setFileManagerBus(QDBusConnection(QStringLiteral("never-connected")));
        workspace.activateFileViewerSelectingUrls({QUrl::fromLocalFile(videoPath)});
        EXPECT_EQ(reveal->opened, folder);
        EXPECT_EQ(reveal->finishedByFileManager, QList<bool>{false});
    }
}
