#pragma once

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QList>
#include <QPair>
#include <QProcess>
#include <QString>

// Spoken test clips, generated once per build tree by tests/generate-voice-clips.sh
// (espeak-ng's pinyin voice + sox) and shared by the speech test binaries.
namespace VoiceClips {

inline QString directory()
{
    static const QString dir = [] {
        const QString script = QStringLiteral(VELTROSCOPE_SOURCE_DIR "/tests/generate-voice-clips.sh");
        const QString out = QCoreApplication::applicationDirPath() + QStringLiteral("/voice-clips");
        QProcess::execute(QStringLiteral("bash"), {script, out});
        return out;
    }();
    return dir;
}

inline QString path(const QString &name)
{
    return directory() + QLatin1Char('/') + name;
}

// (file, expected keyword label or empty) for every generated clip.
inline QList<QPair<QString, QString>> manifest()
{
    QList<QPair<QString, QString>> entries;
    QFile file(path(QStringLiteral("manifest.tsv")));
    if (file.open(QIODevice::ReadOnly)) {
        for (const QByteArray &line : file.readAll().split('\n')) {
            const QList<QByteArray> fields = line.split('\t');
            if (fields.size() >= 2) {
                entries.append({path(QString::fromUtf8(fields[0])), QString::fromUtf8(fields[1])});
            }
        }
    }
    return entries;
}

// The keyword model's own recordings of real speech.
inline QString realSpeech(const QString &name)
{
    return QStringLiteral(VELTROSCOPE_DEPS_DIR "/models/kws-zh-wenetspeech-3.3M/test_wavs/") + name;
}

} // namespace VoiceClips
