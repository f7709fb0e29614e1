#pragma once

#include <QObject>
#include <QPointer>

class CameraManager;
class PictureArea;
class RecordingControlPanel;
class RecordingCountdown;
class RecordingOptions;
class RecordingOptionsButton;
class RecordingShortcuts;
class RecordingTimer;
class RecordingViewState;
class SpeechRecognitionManager;
class VoiceCommandWiring;

// What the recording screen offers beyond its three rows, and owns: the
// options menu at the end of row 1 with the options it sets, the mirrors of
// picture and text, the countdown before a start (with its overlay and the
// record button's look during the count), the elapsed time in the indicator,
// the keys, and the reading follower of the teleprompter. Each of those lives
// in a class of its own; this connects them to the parts of the screen, which
// it only points at: any of them may go first.
class RecordingAids : public QObject {
    Q_OBJECT

public:
    // `screen` is the widget the keys work in and the parent of this.
    RecordingAids(QWidget *screen, CameraManager *cameraManager, RecordingViewState *viewState,
        PictureArea *pictureArea, RecordingControlPanel *controlPanel, SpeechRecognitionManager *speechManager);

    RecordingOptions *options() const;
    RecordingOptionsButton *optionsButton() const;
    RecordingCountdown *countdown() const;
    RecordingTimer *recordingTimer() const;
    RecordingShortcuts *shortcuts() const;

    // A spoken stop during the count before a start cancels the count. Wraps
    // the stop action `voiceCommands` has installed, so it is called again
    // each time the wiring installs its own.
    void letVoiceStopCancelTheCountdown(VoiceCommandWiring *voiceCommands);

private:
    void applyMirrors();
    void addCountdown();
    void addTimer();

    QPointer<CameraManager> m_cameraManager;
    QPointer<RecordingViewState> m_viewState;
    QPointer<PictureArea> m_pictureArea;
    QPointer<RecordingControlPanel> m_controlPanel;
    QPointer<SpeechRecognitionManager> m_speechManager;

    QPointer<RecordingOptions> m_options;
    QPointer<RecordingOptionsButton> m_optionsButton;
    QPointer<RecordingCountdown> m_countdown;
    QPointer<RecordingTimer> m_recordingTimer;
    QPointer<RecordingShortcuts> m_shortcuts;
};
