#include "app/VeltroscopeApp.h"

#include "app/MainWindow.h"
#include "app/RecordingSleepGuard.h"
#include "capture/CameraManager.h"
#include "library/DatabaseManager.h"

#include <QCoreApplication>

VeltroscopeApp::VeltroscopeApp(QObject *parent) : VeltroscopeApp(std::make_unique<CameraManager>(), parent)
{
}

VeltroscopeApp::VeltroscopeApp(std::unique_ptr<CameraManager> cameraManager, QObject *parent)
    : QObject(parent), m_cameraManager(std::move(cameraManager)),
      m_sleepGuard(std::make_unique<RecordingSleepGuard>(m_cameraManager.get())),
      m_dbManager(&DatabaseManager::shared())
{
    m_cameraManager->processUnfinishedTakes();
    if (QCoreApplication *application = QCoreApplication::instance()) {
        connect(application, &QCoreApplication::aboutToQuit, this, &VeltroscopeApp::prepareToQuit);
    }
}

VeltroscopeApp::~VeltroscopeApp()
{
    prepareToQuit();
    // Screens hold plain pointers to the managers: the window goes first.
    m_window.reset();
}

void VeltroscopeApp::prepareToQuit()
{
    if (m_hasPreparedToQuit) {
        return;
    }
    m_hasPreparedToQuit = true;
    // TODO(capture): replace the stop below with the capture side's finish for
    // a quit (end of stream, bounded wait), so that the take's file is complete.
    if (m_cameraManager->isRecording()) {
        m_cameraManager->stopRecording();
    }
    // A crop under way is cancelled; its take stays in the journal.
    m_cameraManager->cancelPostProcessing();
}

void VeltroscopeApp::setSelectedTab(qint64 tab)
{
    m_selectedTab = tab;
    Q_EMIT selectedTabChanged();
}

void VeltroscopeApp::onRecordWithScript(const Script &script)
{
    m_scriptToRecord = script;
    Q_EMIT scriptToRecordChanged();
    setSelectedTab(recordingTab);
}

MainWindow *VeltroscopeApp::window()
{
    if (!m_window) {
        m_window = std::make_unique<MainWindow>(*this);
    }
    return m_window.get();
}
