#pragma once

#include "library/Script.h"

#include <QWidget>

#include <optional>

class CameraManager;
class DatabaseManager;
class SpeechRecognitionManager;
class QLabel;
class QPlainTextEdit;

// The recording tab. For now: the picture area and the teleprompter text that
// a script handed over from the library loads into.
class RecordingView : public QWidget {
    Q_OBJECT

public:
    // `speechManager` may be null: the screen then makes and owns its own listener.
    RecordingView(CameraManager *cameraManager, DatabaseManager *dbManager, SpeechRecognitionManager *speechManager,
        std::optional<Script> initialScript, QWidget *parent = nullptr);

    void setInitialScript(const std::optional<Script> &script);
    const std::optional<Script> &initialScript() const { return m_initialScript; }

    QString teleprompterText() const { return m_teleprompterText; }
    bool isTeleprompterVisible() const { return m_isTeleprompterVisible; }
    SpeechRecognitionManager *speechManager() const { return m_speechManager; }

protected:
    void showEvent(QShowEvent *event) override;

private:
    void onAppear();
    void updateTeleprompter();

    CameraManager *m_cameraManager;
    DatabaseManager *m_dbManager;
    SpeechRecognitionManager *m_speechManager;
    std::optional<Script> m_initialScript;

    QString m_teleprompterText;
    bool m_isTeleprompterVisible = false;

    QLabel *m_picture = nullptr;
    QPlainTextEdit *m_teleprompter = nullptr;
};
