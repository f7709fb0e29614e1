// Reading WAV files for the file-played microphone: bad input is refused with a reason.
#include "platform/speech/WavFile.h"
#include "platform/speech/WavFileInput.h"

#include "support/MainLoop.h"

#include <QFile>
#include <QTemporaryDir>
#include <QtEndian>

#include <gtest/gtest.h>

#include <atomic>

namespace {
QByteArray wav(int rate, int channels, const QList<qint16> &samples)
{
    QByteArray data;
    for (qint16 s : samples) {
        data.append(reinterpret_cast<const char *>(&s), 2);
    }
    QByteArray header("RIFF");
    auto u32 = [&](quint32 v) { header.append(reinterpret_cast<const char *>(&v), 4); };
    auto u16 = [&](quint16 v) { header.append(reinterpret_cast<const char *>(&v), 2); };
    u32(quint32(36 + data.size()));
    header.append("WAVEfmt ");
    u32(16);
    u16(1);
    u16(quint16(channels));
    u32(quint32(rate));
    u32(quint32(rate * channels * 2));
    u16(quint16(channels * 2));
    u16(16);
    header.append("data");
    u32(quint32(data.size()));
    return header + data;
}

QString write(const QTemporaryDir &dir, const QString &name, const QByteArray &bytes)
{
    QFile file(dir.filePath(name));
    EXPECT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(bytes);
    return file.fileName();
}
} // namespace

TEST(WavFile, ReadsMonoAndMixesStereoDown)
{
    QTemporaryDir dir;
    std::vector<float> samples;
    QString error;
    ASSERT_TRUE(
        WavFile::read(write(dir, QStringLiteral("mono.wav"), wav(16000, 1, {16384, -32768})), &samples, &error));
    EXPECT_EQ(samples, (std::vector<float>{0.5f, -1.0f}));
    ASSERT_TRUE(WavFile::read(
        write(dir, QStringLiteral("stereo.wav"), wav(16000, 2, {16384, 0, 0, -16384})), &samples, &error));
    EXPECT_EQ(samples, (std::vector<float>{0.25f, -0.25f}));
}

TEST(WavFile, RefusesWhatItCannotPlay)
{
    QTemporaryDir dir;
    std::vector<float> samples;
    QString error;
    EXPECT_FALSE(WavFile::read(dir.filePath(QStringLiteral("absent.wav")), &samples, &error));
    EXPECT_TRUE(error.contains(QStringLiteral("absent.wav")));
    EXPECT_FALSE(WavFile::read(write(dir, QStringLiteral("text.wav"), "hello, not audio"), &samples, &error));
    EXPECT_FALSE(WavFile::read(write(dir, QStringLiteral("cd.wav"), wav(44100, 1, {1, 2})), &samples, &error));
    EXPECT_TRUE(error.contains(QStringLiteral("44100")));
    // A header that claims more data than there is: what is there is read.
    QByteArray truncated = wav(16000, 1, {100, 200, 300});
    truncated.chop(2);
    EXPECT_TRUE(WavFile::read(write(dir, QStringLiteral("short.wav"), truncated), &samples, &error));
    EXPECT_EQ(samples.size(), 2u);
    // A chunk size running past the end of the file must not be followed.
    QByteArray broken = wav(16000, 1, {1});
    qToLittleEndian<quint32>(0x7fffffff, broken.data() + 16);
    EXPECT_FALSE(WavFile::read(write(dir, QStringLiteral("broken.wav"), broken), &samples, &error));
}

TEST(WavFileInput, GoesOnWhereItStoppedAndIsQuietAfterTheEnd)
{
    QTemporaryDir dir;
    QList<qint16> tone(4096, 1000);
    WavFileInput input(write(dir, QStringLiteral("tone.wav"), wav(16000, 1, tone)), 16.0);
    std::atomic<size_t> loud{0}, quiet{0};
    const auto sink = [&](const float *samples, size_t count) {
        for (size_t i = 0; i < count; ++i) {
            (samples[i] != 0.0f ? loud : quiet) += 1;
        }
    };
    QString error;
    ASSERT_TRUE(input.start(sink, {}, &error));
    ASSERT_TRUE(MainLoop::waitUntil([&] { return loud > 0; }));
    input.stop();
    // Started again, it neither replays what was heard nor skips the rest.
    ASSERT_TRUE(input.start(sink, {}, &error));
    ASSERT_TRUE(MainLoop::waitUntil([&] { return quiet > 0; }));
    input.stop();
    EXPECT_EQ(loud.load(), 4096u);
}
