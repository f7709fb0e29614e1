#include "app/MainWindow.h"

#include "app/HelpView.h"
#include "app/VeltroscopeApp.h"
#include "ui/common/SymbolIcon.h"
#include "ui/recording/RecordingView.h"
#include "ui/scripts/ScriptsListView.h"
#include "ui/videos/VideosListView.h"

#include <QTabWidget>

MainWindow::MainWindow(VeltroscopeApp &app, QWidget *parent) : QMainWindow(parent), m_app(app)
{
    setWindowTitle(QStringLiteral("Veltroscope"));

    m_tabs = new QTabWidget(this);
    m_tabs->setMinimumSize(minimumContentWidth, minimumContentHeight);
    m_tabs->setDocumentMode(true);

    m_recordingView = new RecordingView(app.cameraManager(), app.dbManager(), nullptr, app.scriptToRecord());
    m_scriptsListView
        = new ScriptsListView(app.dbManager(), [&app](const Script &script) { app.onRecordWithScript(script); });
    m_videosListView = new VideosListView(app.dbManager());
    m_helpView = new HelpView();

    // Tab index is the tab's tag.
    m_tabs->addTab(m_recordingView, SymbolIcon::icon(QStringLiteral("video.circle.fill")), QStringLiteral("录制"));
    m_tabs->addTab(m_scriptsListView, SymbolIcon::icon(QStringLiteral("doc.text.fill")), QStringLiteral("提示词"));
    m_tabs->addTab(m_videosListView, SymbolIcon::icon(QStringLiteral("film.stack")), QStringLiteral("视频记录"));
    m_tabs->addTab(
        m_helpView, SymbolIcon::icon(QStringLiteral("questionmark.circle.fill")), QStringLiteral("帮助说明"));
    m_tabs->setCurrentIndex(int(app.selectedTab()));
    setCentralWidget(m_tabs);

    connect(m_tabs, &QTabWidget::currentChanged, &app, [&app](int index) {
        if (app.selectedTab() != index) {
            app.setSelectedTab(index);
        }
    });
    connect(
        &app, &VeltroscopeApp::selectedTabChanged, this, [this] { m_tabs->setCurrentIndex(int(m_app.selectedTab())); });
    // The recording screen keeps its own state; only its input changes.
    connect(&app, &VeltroscopeApp::scriptToRecordChanged, this,
        [this] { m_recordingView->setInitialScript(m_app.scriptToRecord()); });

    resize(defaultWidth, defaultHeight);
}
