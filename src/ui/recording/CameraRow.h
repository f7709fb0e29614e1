#pragma once

#include <QPointer>
#include <QWidget>

class CameraManager;
class CameraMenuButton;
class ElidedLabel;
class QPushButton;
class RecordingViewState;
class SegmentedControl;

// Row 1 of the control panel: the camera menu, the ratio and resolution
// choices and the save folder. When the row is narrow the camera title and the
// folder path give way first, then the two segmented controls.
class CameraRow : public QWidget {
    Q_OBJECT

public:
    static constexpr int cameraTitleMaxWidth = 180;
    static constexpr int ratioControlWidth = 240;
    static constexpr int resolutionControlWidth = 200;
    static constexpr int saveFolderMaxWidth = 150;

    CameraRow(CameraManager *cameraManager, RecordingViewState *state, QWidget *parent = nullptr);

    CameraMenuButton *cameraMenu() const { return m_cameraMenu; }
    SegmentedControl *ratioControl() const { return m_ratio; }
    SegmentedControl *resolutionControl() const { return m_resolution; }
    ElidedLabel *saveFolderLabel() const { return m_saveFolder; }
    QPushButton *changeFolderButton() const { return m_changeFolder; }

    // Puts `item` at the end of the row, after the save folder (and owns it).
    void addTrailingItem(QWidget *item);

private:
    QWidget *group(const QString &symbolName, const QString &symbolLabel, QList<QWidget *> items);
    QWidget *divider();
    void rebuildCameraMenu();
    void refreshCameraTitle();
    void refreshSaveFolder();
    void refreshChoices();
    void refreshTakeLock();

    QPointer<CameraManager> m_cameraManager;
    RecordingViewState *m_state;
    CameraMenuButton *m_cameraMenu;
    SegmentedControl *m_ratio;
    SegmentedControl *m_resolution;
    ElidedLabel *m_saveFolder;
    QPushButton *m_changeFolder;
};
