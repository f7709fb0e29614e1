#pragma once

#include "platform/speech/SherpaOnnxApi.h"

#include <QString>
#include <QStringList>

#include <memory>
#include <mutex>
#include <optional>

// Where the engine library and the keyword model are found.
struct SpeechEngineLocation {
    QString libraryPath;
    QString modelDir;

    // Where the dynamic linker would find the engine for this program (an
    // installed copy's run path leads to it), else the set-up's folder of the
    // source tree.
    static SpeechEngineLocation standard();
    // The first of `folders` that holds the engine with the model beside it.
    static std::optional<SpeechEngineLocation> firstIn(const QStringList &folders);
    // The folders the dynamic linker searches, in order, for a library this
    // program opens by name: LD_LIBRARY_PATH, the program's run path with
    // $ORIGIN resolved, the system's folders.
    static QStringList librarySearchPath();
};

// The loaded engine with the keyword model: a keyword spotter and, on the
// same model, a streaming recognizer. Shared by every recognition task.
class SpeechEngine {
public:
    // Null (with `error` set) when the library or the model cannot be loaded.
    // `keywordLines` replaces the command keywords (spotter format).
    static std::shared_ptr<SpeechEngine> load(
        const SpeechEngineLocation &location, QString *error, const QByteArray &keywordLines = {});
    // The engine at the standard location, loaded once per process.
    static std::shared_ptr<SpeechEngine> shared(QString *error);

    ~SpeechEngine();
    SpeechEngine(const SpeechEngine &) = delete;
    SpeechEngine &operator=(const SpeechEngine &) = delete;

    const sherpa::Api &api() const { return *m_api; }
    const sherpa::KeywordSpotter *spotter() const { return m_spotter; }
    const sherpa::OnlineRecognizer *recognizer() const { return m_recognizer; }

    // Decoding from two tasks' threads at once is not something the library
    // promises to support; a task holds this while it calls into the engine.
    std::mutex &decodeMutex() { return m_decodeMutex; }

    static constexpr int sampleRate = 16000;

private:
    SpeechEngine() = default;

    std::shared_ptr<const sherpa::Api> m_api;
    const sherpa::KeywordSpotter *m_spotter = nullptr;
    const sherpa::OnlineRecognizer *m_recognizer = nullptr;
    std::mutex m_decodeMutex;
};
