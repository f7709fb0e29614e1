#pragma once

#include "support/TestPaths.h"

#include <QCoreApplication>
#include <QFile>
#include <QList>
#include <QProcess>
#include <QString>
#include <QStringList>

// Spoken test clips, generated once per build tree by tests/generate-voice-clips.sh
// (espeak-ng's pinyin voice + sox) and shared by the speech test binaries: the
// part of the evaluation set the unit tests use (bench/voice_bench runs all of it).
namespace VoiceClips {

struct Clip {
    QString path;
    QString label; // the keyword, or empty for a sentence that holds no command
    QString voice;
    QString condition; // clean, reverb, noise, quiet
    QString kind; // alone, sentence, negative
    QString text;
};

inline QString directory()
{
    static const QString dir = [] {
        const QString script = TestPaths::sourceDir() + QStringLiteral("/tests/generate-voice-clips.sh");
        const QString out = QCoreApplication::applicationDirPath() + QStringLiteral("/voice-clips");
        QProcess::execute(QStringLiteral("bash"), {script, out, QStringLiteral("tests")});
        return out;
    }();
    return dir;
}

inline QString path(const QString &name)
{
    return directory() + QLatin1Char('/') + name;
}

// Every generated clip, in the manifest's order.
inline QList<Clip> manifest()
{
    QList<Clip> clips;
    QFile file(path(QStringLiteral("manifest.tsv")));
    if (file.open(QIODevice::ReadOnly)) {
        for (const QByteArray &line : file.readAll().split('\n')) {
            const QStringList f = QString::fromUtf8(line).split(QLatin1Char('\t'));
            if (f.size() >= 6) {
                clips.append({path(f[0]), f[1], f[2], f[3], f[4], f[5]});
            }
        }
    }
    return clips;
}

// The keyword model's own recordings of real speech.
inline QString realSpeech(const QString &name)
{
    return TestPaths::depsDir() + QStringLiteral("/models/kws-zh-wenetspeech-3.3M/test_wavs/") + name;
}

inline QString modelFile(const QString &name)
{
    return TestPaths::depsDir() + QStringLiteral("/models/kws-zh-wenetspeech-3.3M/") + name;
}

} // namespace VoiceClips
