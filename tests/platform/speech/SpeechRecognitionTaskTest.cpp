// The recognition task on the real engine: results on the main thread, the
// final result at the end of the audio, silence after cancel.
#include "platform/speech/AutomaticGain.h"
#include "platform/speech/SpeechRecognizer.h"
#include "platform/speech/WavFile.h"

#include "support/MainLoop.h"
#include "voice/VoiceClips.h"

#include <QThread>

#include <gtest/gtest.h>

#include <QRegularExpression>

namespace {
struct Reports {
    QStringList transcripts;
    int finals = 0;
    QStringList errors;
    bool offMainThread = false;

    SpeechRecognitionTask::ResultHandler handler()
    {
        return [this](const std::optional<SpeechRecognitionResult> &result,
                   const std::optional<SpeechRecognitionError> &error) {
            offMainThread |= QThread::currentThread() != QCoreApplication::instance()->thread();
            if (result) {
                transcripts << result->formattedString;
                finals += result->isFinal ? 1 : 0;
            }
            if (error) {
                errors << error->localizedDescription;
            }
        };
    }
};

void feed(SpeechAudioBufferRecognitionRequest &request, const QString &wav)
{
    std::vector<float> samples;
    QString error;
    ASSERT_TRUE(WavFile::read(wav, &samples, &error)) << error.toStdString();
    // Levelled as the audio engine hands it over.
    AutomaticGain gain;
    for (size_t i = 0; i < samples.size(); i += 1024) {
        const size_t n = std::min<size_t>(1024, samples.size() - i);
        gain.process(samples.data() + i, n);
        request.appendAudioPCMBuffer({std::vector<float>(samples.begin() + i, samples.begin() + i + n), 16000});
    }
}
} // namespace

TEST(SpeechRecognitionTask, TranscriptGrowsWithEachKeywordAndEndsFinal)
{
    auto recognizer = SpeechRecognizer::create(QStringLiteral("zh-CN"));
    ASSERT_TRUE(recognizer->isAvailable());
    auto request = std::make_shared<SpeechAudioBufferRecognitionRequest>();
    Reports reports;
    auto task = recognizer->recognitionTask(request, reports.handler());
    feed(*request, VoiceClips::stopThenStart());
    request->endAudio();
    ASSERT_TRUE(MainLoop::waitUntil([&] { return reports.finals > 0; }, 15000));
    EXPECT_FALSE(reports.offMainThread);
    EXPECT_TRUE(reports.errors.isEmpty());
    ASSERT_GE(reports.transcripts.size(), 2);
    // Every report holds all earlier ones: the whole transcript since the start.
    for (int i = 1; i < reports.transcripts.size(); ++i) {
        EXPECT_TRUE(reports.transcripts[i].startsWith(reports.transcripts[i - 1]));
    }
    // The commands in the order spoken, among the pinyin of what was heard.
    const QString last = reports.transcripts.last();
    const qsizetype stop = last.indexOf(QStringLiteral("结束录"));
    const qsizetype start = last.indexOf(QStringLiteral("开始录"));
    EXPECT_GE(stop, 0) << reports.transcripts.join(u'/').toStdString();
    EXPECT_GT(start, stop) << last.toStdString();
    EXPECT_TRUE(last.contains(QRegularExpression(QStringLiteral("[a-zāáǎàēéěèīíǐìōóǒòūúǔùǖǘǚǜü]{2,}"))))
        << "the recognizer's pinyin: " << last.toStdString();
    EXPECT_EQ(reports.finals, 1);
}

TEST(SpeechRecognitionTask, CancelledTaskReportsNothingEvenWhatWasAlreadyPosted)
{
    auto recognizer = SpeechRecognizer::create(QStringLiteral("zh-CN"));
    ASSERT_TRUE(recognizer->isAvailable());
    auto request = std::make_shared<SpeechAudioBufferRecognitionRequest>();
    Reports reports;
    auto task = recognizer->recognitionTask(request, reports.handler());
    feed(*request, VoiceClips::command(QStringLiteral("开始录制")));
    request->endAudio();
    // Let the worker post all its results without letting them run.
    while (!task->isFinished()) {
        QThread::msleep(10);
    }
    task->cancel();
    MainLoop::spin(200);
    EXPECT_TRUE(reports.transcripts.isEmpty());
    EXPECT_EQ(reports.finals, 0);
}

TEST(SpeechRecognitionTask, MissingEngineBecomesAnError)
{
    SpeechRecognizer recognizer(nullptr);
    EXPECT_FALSE(recognizer.isAvailable());
    Reports reports;
    auto task = recognizer.recognitionTask(std::make_shared<SpeechAudioBufferRecognitionRequest>(), reports.handler());
    ASSERT_TRUE(MainLoop::waitUntil([&] { return !reports.errors.isEmpty(); }));
    EXPECT_TRUE(reports.transcripts.isEmpty());
}

TEST(SpeechRecognitionTask, WrongSampleRateBecomesAnError)
{
    auto recognizer = SpeechRecognizer::create(QStringLiteral("zh-CN"));
    ASSERT_TRUE(recognizer->isAvailable());
    auto request = std::make_shared<SpeechAudioBufferRecognitionRequest>();
    Reports reports;
    auto task = recognizer->recognitionTask(request, reports.handler());
    request->appendAudioPCMBuffer({std::vector<float>(441, 0.0f), 44100});
    ASSERT_TRUE(MainLoop::waitUntil([&] { return !reports.errors.isEmpty(); }));
    EXPECT_TRUE(reports.errors.first().contains(QStringLiteral("44100")));
}
