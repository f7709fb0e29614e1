#pragma once

#include "library/Script.h"

#include <QObject>

#include <memory>
#include <optional>

class CameraManager;
class DatabaseManager;
class MainWindow;
class RecordingSleepGuard;

// Application state: the two long-lived managers, the selected tab and the
// script last handed to the recording tab. The window is built from it.
class VeltroscopeApp : public QObject {
    Q_OBJECT
    Q_PROPERTY(qint64 selectedTab READ selectedTab WRITE setSelectedTab NOTIFY selectedTabChanged)

public:
    enum Tab : qint64 { recordingTab = 0, scriptsTab = 1, videosTab = 2, helpTab = 3 };

    // Makes the camera manager, opens the shared library store and finishes
    // the takes the last run left unfinished.
    explicit VeltroscopeApp(QObject *parent = nullptr);
    // Takes a ready camera manager (tests pass one without real devices).
    explicit VeltroscopeApp(std::unique_ptr<CameraManager> cameraManager, QObject *parent = nullptr);
    ~VeltroscopeApp() override; // prepareToQuit()

    // Ends a take under way and stops the processing still running; what is
    // left over is finished at the next start. Runs once, when the
    // application is about to quit or at the latest when it is destroyed.
    void prepareToQuit();

    CameraManager *cameraManager() const { return m_cameraManager.get(); }
    DatabaseManager *dbManager() const { return m_dbManager; }

    qint64 selectedTab() const { return m_selectedTab; }
    void setSelectedTab(qint64 tab);

    const std::optional<Script> &scriptToRecord() const { return m_scriptToRecord; }

    // The script library's hand-over: remember the script, then show the recording tab.
    void onRecordWithScript(const Script &script);

    // The one window; built on first use.
    MainWindow *window();

Q_SIGNALS:
    void selectedTabChanged();
    void scriptToRecordChanged();

private:
    std::unique_ptr<CameraManager> m_cameraManager;
    std::unique_ptr<RecordingSleepGuard> m_sleepGuard;
    DatabaseManager *m_dbManager;
    qint64 m_selectedTab = recordingTab;
    std::optional<Script> m_scriptToRecord;
    std::unique_ptr<MainWindow> m_window;
    bool m_hasPreparedToQuit = false;
};
