#pragma once

#include <QMainWindow>

class HelpView;
class QTabWidget;
class RecordingView;
class ScriptsListView;
class VeltroscopeApp;
class VideosListView;

// The only window: four tabs over the application's shared state.
class MainWindow : public QMainWindow {
    Q_OBJECT

public:
    static constexpr int defaultWidth = 1100;
    static constexpr int defaultHeight = 780;
    static constexpr int minimumContentWidth = 960;
    static constexpr int minimumContentHeight = 680;

    explicit MainWindow(VeltroscopeApp &app, QWidget *parent = nullptr);

    QTabWidget *tabs() const { return m_tabs; }
    RecordingView *recordingView() const { return m_recordingView; }
    ScriptsListView *scriptsListView() const { return m_scriptsListView; }
    VideosListView *videosListView() const { return m_videosListView; }
    HelpView *helpView() const { return m_helpView; }

private:
    VeltroscopeApp &m_app;
    QTabWidget *m_tabs = nullptr;
    RecordingView *m_recordingView = nullptr;
    ScriptsListView *m_scriptsListView = nullptr;
    VideosListView *m_videosListView = nullptr;
    HelpView *m_helpView = nullptr;
};
