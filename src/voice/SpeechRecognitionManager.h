#pragma once

#include <QObject>

// Placeholder until the voice command listener lands.
class SpeechRecognitionManager : public QObject {
    Q_OBJECT

public:
    explicit SpeechRecognitionManager(QObject *parent = nullptr) : QObject(parent) {}
};
