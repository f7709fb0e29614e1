#include "platform/desktop/SleepInhibitor.h"

#include "support/FakeInhibitPortal.h"
#include "support/FakeScreenSaver.h"
#include "support/LogCapture.h"
#include "support/MainLoop.h"
#include "support/PrivateSessionBus.h"

#include <gtest/gtest.h>

#include <QCoreApplication>

#include <memory>

namespace {
const QString reason = QStringLiteral("正在录制视频");
const QString failurePrefix = QStringLiteral("⚠️ 无法阻止系统休眠: ");

// A private bus with a connection for the fake services and one for the
// inhibitor under test.
class SleepInhibitorTest : public testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_FALSE(bus.address().isEmpty()) << "dbus-daemon did not start";
        ASSERT_TRUE(services.isConnected());
        ASSERT_TRUE(client.isConnected());
    }

    PrivateSessionBus bus;
    QDBusConnection services = bus.connect(QStringLiteral("services"));
    QDBusConnection client = bus.connect(QStringLiteral("client"));
    LogCapture log;
};
} // namespace

TEST_F(SleepInhibitorTest, ScreenSaverIsInhibitedWithAppNameAndReasonAndUnInhibitedWithItsCookie)
{
    FakeScreenSaver screenSaver;
    ASSERT_TRUE(screenSaver.registerOn(services));
    auto inhibitor = std::make_unique<SleepInhibitor>(client);

    inhibitor->inhibit(reason);
    inhibitor->inhibit(reason);
    ASSERT_TRUE(MainLoop::waitUntil([&] { return inhibitor->isHeld(); }, 20000));
    ASSERT_EQ(screenSaver.inhibitions.size(), 1) << "a second inhibit while held asks nothing";
    EXPECT_EQ(screenSaver.inhibitions[0].applicationName, QCoreApplication::applicationName());
    EXPECT_EQ(screenSaver.inhibitions[0].applicationName, "Veltroscope");
    EXPECT_EQ(screenSaver.inhibitions[0].reason, reason);

    inhibitor->release();
    EXPECT_FALSE(inhibitor->isHeld());
    ASSERT_TRUE(MainLoop::waitUntil([&] { return !screenSaver.released.isEmpty(); }, 20000));
    EXPECT_EQ(screenSaver.released, QList<uint>{screenSaver.inhibitions[0].cookie});

    // The next take asks again; quitting while it is held lets it go.
    inhibitor->inhibit(reason);
    ASSERT_TRUE(MainLoop::waitUntil([&] { return inhibitor->isHeld(); }, 20000));
    ASSERT_EQ(screenSaver.inhibitions.size(), 2);
    inhibitor.reset();
    ASSERT_TRUE(MainLoop::waitUntil([&] { return screenSaver.released.size() == 2; }, 20000));
    EXPECT_TRUE(screenSaver.active().isEmpty());
    EXPECT_TRUE(log.linesStartingWith(failurePrefix).isEmpty());
}

TEST_F(SleepInhibitorTest, PortalIsPreferredForSuspendAndIdleAndClosedThroughItsHandle)
{
    FakeInhibitPortal portal;
    FakeScreenSaver screenSaver;
    ASSERT_TRUE(portal.registerOn(services));
    ASSERT_TRUE(screenSaver.registerOn(services));
    SleepInhibitor inhibitor(client);

    inhibitor.inhibit(reason);
    ASSERT_TRUE(MainLoop::waitUntil([&] { return inhibitor.isHeld(); }, 20000));
    ASSERT_EQ(portal.inhibitions.size(), 1);
    const FakeInhibitPortal::Inhibition &inhibition = portal.inhibitions[0];
    EXPECT_EQ(inhibition.flags, 12u) << "suspend (4) and idle (8)";
    EXPECT_EQ(inhibition.options.value(QStringLiteral("reason")).toString(), reason);
    EXPECT_FALSE(inhibition.options.value(QStringLiteral("handle_token")).toString().isEmpty());
    EXPECT_TRUE(screenSaver.inhibitions.isEmpty()) << "only one of the two is asked";

    inhibitor.release();
    ASSERT_TRUE(MainLoop::waitUntil([&] { return !portal.closed.isEmpty(); }, 20000));
    EXPECT_EQ(portal.closed, QList<QString>{inhibition.handle});
    EXPECT_TRUE(screenSaver.released.isEmpty());
}

TEST_F(SleepInhibitorTest, PortalWithoutInhibitFallsBackToScreenSaver)
{
    // A portal that has no inhibit backend exports no such interface.
    ASSERT_TRUE(services.registerService(QStringLiteral("org.freedesktop.portal.Desktop")));
    FakeScreenSaver screenSaver;
    ASSERT_TRUE(screenSaver.registerOn(services));
    SleepInhibitor inhibitor(client);

    inhibitor.inhibit(reason);
    ASSERT_TRUE(MainLoop::waitUntil([&] { return inhibitor.isHeld(); }, 20000));
    ASSERT_EQ(screenSaver.inhibitions.size(), 1);
    inhibitor.release();
    ASSERT_TRUE(MainLoop::waitUntil([&] { return !screenSaver.released.isEmpty(); }, 20000));
    EXPECT_TRUE(screenSaver.active().isEmpty());

    // Let go before the portal said no: the screensaver is not asked at all.
    inhibitor.inhibit(reason);
    inhibitor.release();
    MainLoop::spin(500);
    EXPECT_EQ(screenSaver.inhibitions.size(), 1);
    EXPECT_FALSE(inhibitor.isHeld());
    EXPECT_TRUE(log.linesStartingWith(failurePrefix).isEmpty());
}

TEST_F(SleepInhibitorTest, ReleaseBeforeTheAnswerLetsGoOnceGrantedAndRepeatsNothing)
{
    FakeInhibitPortal portal;
    FakeScreenSaver screenSaver;
    ASSERT_TRUE(portal.registerOn(services));
    ASSERT_TRUE(screenSaver.registerOn(services));
    SleepInhibitor inhibitor(client);

    // A take shorter than the round trip.
    inhibitor.inhibit(reason);
    inhibitor.release();
    ASSERT_TRUE(MainLoop::waitUntil([&] { return !portal.closed.isEmpty(); }, 20000));
    EXPECT_EQ(portal.inhibitions.size(), 1);
    EXPECT_TRUE(portal.active().isEmpty());
    EXPECT_FALSE(inhibitor.isHeld());

    // Stopped and started again before the answer: the one request stays.
    inhibitor.inhibit(reason);
    inhibitor.release();
    inhibitor.inhibit(reason);
    ASSERT_TRUE(MainLoop::waitUntil([&] { return inhibitor.isHeld(); }, 20000));
    MainLoop::spin(200);
    EXPECT_EQ(portal.inhibitions.size(), 2);
    EXPECT_EQ(portal.active().size(), 1);
    EXPECT_TRUE(screenSaver.inhibitions.isEmpty());
}

TEST_F(SleepInhibitorTest, DestroyedWhileAskingItStillLetsGoOfTheGrant)
{
    FakeInhibitPortal portal;
    FakeScreenSaver screenSaver;
    ASSERT_TRUE(portal.registerOn(services));
    ASSERT_TRUE(screenSaver.registerOn(services));
    {
        SleepInhibitor inhibitor(client);
        inhibitor.inhibit(reason);
    }
    ASSERT_TRUE(MainLoop::waitUntil([&] { return !portal.closed.isEmpty(); }, 20000));
    EXPECT_EQ(portal.inhibitions.size(), 1);
    EXPECT_TRUE(portal.active().isEmpty());
    MainLoop::spin(200);
    EXPECT_TRUE(screenSaver.inhibitions.isEmpty()) << "no fallback for a request nobody wants";
}

TEST_F(SleepInhibitorTest, WithoutAnyServiceOrBusItLogsOnceAndHoldsNothing)
{
    {
        SleepInhibitor inhibitor(client);
        inhibitor.inhibit(reason);
        ASSERT_TRUE(MainLoop::waitUntil([&] { return !log.linesStartingWith(failurePrefix).isEmpty(); }, 20000));
        MainLoop::spin(200);
        EXPECT_EQ(log.linesStartingWith(failurePrefix).size(), 1);
        EXPECT_FALSE(inhibitor.isHeld());
        inhibitor.release();

        // The next take tries again.
        inhibitor.inhibit(reason);
        ASSERT_TRUE(MainLoop::waitUntil([&] { return log.linesStartingWith(failurePrefix).size() == 2; }, 20000));
        EXPECT_FALSE(inhibitor.isHeld());
    }

    QDBusConnection nowhere = QDBusConnection::connectToBus(
        QStringLiteral("unix:path=") + QCoreApplication::applicationDirPath() + QStringLiteral("/no-such-bus"),
        QStringLiteral("nowhere"));
    ASSERT_FALSE(nowhere.isConnected());
    {
        SleepInhibitor inhibitor(nowhere);
        inhibitor.inhibit(reason);
        ASSERT_TRUE(MainLoop::waitUntil([&] { return log.linesStartingWith(failurePrefix).size() == 3; }, 20000));
        EXPECT_FALSE(inhibitor.isHeld());
    }
    QDBusConnection::disconnectFromBus(QStringLiteral("nowhere"));
}
