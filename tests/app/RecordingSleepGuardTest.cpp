#include "app/RecordingSleepGuard.h"
#include "app/VeltroscopeApp.h"
#include "capture/CameraManager.h"
#include "capture/CameraManagerTestSupport.h"
#include "platform/media/MovieFileOutput.h"

#include "support/FakeScreenSaver.h"
#include "support/LogCapture.h"
#include "support/MainLoop.h"
#include "support/PrivateSessionBus.h"

#include <gtest/gtest.h>

#include <QTemporaryDir>

#include <memory>

TEST(RecordingSleepGuard, TheShellKeepsTheMachineAwakeForEachTakeAndLetsGoWhenItQuits)
{
    PrivateSessionBus bus;
    ASSERT_FALSE(bus.address().isEmpty()) << "dbus-daemon did not start";
    // The shell's inhibitor connects to the session bus on first use: this one.
    qputenv("DBUS_SESSION_BUS_ADDRESS", bus.address().toUtf8());
    FakeScreenSaver screenSaver;
    ASSERT_TRUE(screenSaver.registerOn(bus.connect(QStringLiteral("services"))));

    QTemporaryDir saveFolder;
    LogCapture log;
    auto app = std::make_unique<VeltroscopeApp>(std::make_unique<CameraManager>(
        TestDevices::provider({TestDevices::camera(QStringLiteral("Pattern"), QStringLiteral("test:pattern"))}),
        TestDevices::permissions()));
    CameraManager &manager = *app->cameraManager();
    ASSERT_TRUE(CameraManagerTest::waitForSetup(log));
    manager.setSaveFolder(saveFolder.path());
    MainLoop::spin(300);
    EXPECT_TRUE(screenSaver.inhibitions.isEmpty()) << "nothing is held before a take";

    manager.startRecording();
    ASSERT_TRUE(MainLoop::waitUntil([&] { return screenSaver.inhibitions.size() == 1; }, 20000));
    EXPECT_EQ(screenSaver.inhibitions[0].applicationName, "Veltroscope");
    EXPECT_EQ(screenSaver.inhibitions[0].reason, RecordingSleepGuard::reason);
    MainLoop::spin(300);
    EXPECT_TRUE(screenSaver.released.isEmpty()) << "held for the whole take";

    manager.stopRecording();
    ASSERT_TRUE(MainLoop::waitUntil([&] { return !screenSaver.released.isEmpty(); }, 20000));
    EXPECT_EQ(screenSaver.released, QList<uint>{screenSaver.inhibitions[0].cookie});
    ASSERT_TRUE(MainLoop::waitUntil(
        [&] {
            const auto outputs = manager.captureSession()->outputs();
            return !outputs.isEmpty() && outputs.first()->finishedRecordings() >= 1;
        },
        20000));

    // Quitting in the middle of the next take lets go of it too.
    manager.startRecording();
    ASSERT_TRUE(MainLoop::waitUntil([&] { return screenSaver.inhibitions.size() == 2; }, 20000));
    app.reset();
    ASSERT_TRUE(MainLoop::waitUntil([&] { return screenSaver.released.size() == 2; }, 20000));
    EXPECT_TRUE(screenSaver.active().isEmpty());
}
