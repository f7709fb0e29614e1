#include "platform/speech/WavFile.h"

#include <QFile>
#include <QtEndian>

#include <cstring>

namespace {
constexpr int requiredRate = 16000;

bool fail(QString *error, const QString &text)
{
    if (error) {
        *error = text;
    }
    return false;
}
} // namespace

bool WavFile::read(const QString &path, std::vector<float> *samples, QString *error)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        return fail(error, QStringLiteral("cannot open %1: %2").arg(path, file.errorString()));
    }
    const QByteArray data = file.readAll();
    if (data.size() < 12 || !data.startsWith("RIFF") || data.mid(8, 4) != "WAVE") {
        return fail(error, QStringLiteral("not a WAV file: %1").arg(path));
    }

    int format = 0, channels = 0, rate = 0, bits = 0;
    qsizetype pos = 12;
    while (pos + 8 <= data.size()) {
        const QByteArray id = data.mid(pos, 4);
        const qsizetype size = qFromLittleEndian<quint32>(data.constData() + pos + 4);
        const qsizetype body = pos + 8;
        if (size > data.size() - body && id != "data") {
            break;
        }
        if (id == "fmt " && size >= 16) {
            format = qFromLittleEndian<quint16>(data.constData() + body);
            channels = qFromLittleEndian<quint16>(data.constData() + body + 2);
            rate = int(qFromLittleEndian<quint32>(data.constData() + body + 4));
            bits = qFromLittleEndian<quint16>(data.constData() + body + 14);
        } else if (id == "data") {
            const bool pcm16 = format == 1 && bits == 16;
            const bool float32 = format == 3 && bits == 32;
            if (!(pcm16 || float32) || channels < 1) {
                return fail(error, QStringLiteral("unsupported WAV encoding in %1").arg(path));
            }
            if (rate != requiredRate) {
                return fail(error, QStringLiteral("WAV file is %1 Hz, not 16000 Hz: %2").arg(rate).arg(path));
            }
            // A streamed file may leave the size open; take what is there.
            const qsizetype bytes = std::min(size, data.size() - body);
            const int frameBytes = channels * bits / 8;
            const qsizetype frames = bytes / frameBytes;
            samples->assign(size_t(frames), 0.0f);
            const char *in = data.constData() + body;
            for (qsizetype f = 0; f < frames; ++f) {
                float sum = 0.0f;
                for (int c = 0; c < channels; ++c) {
                    const char *at = in + f * frameBytes + c * bits / 8;
                    if (pcm16) {
                        sum += float(qFromLittleEndian<qint16>(at)) / 32768.0f;
                    } else {
                        float value;
                        std::memcpy(&value, at, sizeof value);
                        sum += value;
                    }
                }
                (*samples)[size_t(f)] = sum / float(channels);
            }
            return true;
        }
        pos = body + size + (size & 1);
    }
    return fail(error, QStringLiteral("WAV file has no audio data: %1").arg(path));
}
