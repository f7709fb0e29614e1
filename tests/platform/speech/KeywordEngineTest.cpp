// The keyword engine on real audio: the model's recordings of real speech and
// generated Mandarin command clips.
#include "platform/speech/KeywordDecoder.h"
#include "platform/speech/SpeechEngine.h"
#include "platform/speech/SpeechKeywords.h"
#include "platform/speech/WavFile.h"

#include "voice/VoiceClips.h"

#include <gtest/gtest.h>

namespace {
QStringList heardIn(const std::shared_ptr<SpeechEngine> &engine, const QString &wav,
    KeywordDecoder::Method method = KeywordDecoder::Both)
{
    std::vector<float> samples;
    QString error;
    EXPECT_TRUE(WavFile::read(wav, &samples, &error)) << error.toStdString();
    KeywordDecoder decoder(engine, method);
    QStringList heard;
    for (size_t i = 0; i < samples.size(); i += 1024) {
        heard += decoder.accept({samples.data() + i, std::min<size_t>(1024, samples.size() - i)});
    }
    return heard + decoder.finish();
}

} // namespace

TEST(KeywordEngine, MissingLibraryOrModelFailsWithAReason)
{
    QString error;
    EXPECT_EQ(SpeechEngine::load({QStringLiteral("/nonexistent/libsherpa.so"), QStringLiteral("/nonexistent")}, &error),
        nullptr);
    EXPECT_TRUE(error.contains(QStringLiteral("/nonexistent")));

    error.clear();
    EXPECT_EQ(sherpa::Api::load(QStringLiteral("/nonexistent/libsherpa.so"), &error), nullptr);
    EXPECT_FALSE(error.isEmpty());
    // A library that is not the engine: loads, but the functions are missing.
    error.clear();
    EXPECT_EQ(sherpa::Api::load(QStringLiteral("libm.so.6"), &error), nullptr);
    EXPECT_TRUE(error.contains(QStringLiteral("SherpaOnnx")));
}

TEST(KeywordEngine, FindsWordsOfRealSpeech)
{
    // Words taken from the recordings themselves.
    const QByteArray keywords = "q uán q iú @全球\ny ǎn y uán @演员\nn ǚ ér @女儿\n";
    QString error;
    const auto engine = SpeechEngine::load(SpeechEngineLocation::standard(), &error, keywords);
    ASSERT_NE(engine, nullptr) << error.toStdString();
    const auto spot
        = [&](const QString &name) { return heardIn(engine, VoiceClips::realSpeech(name), KeywordDecoder::Spotter); };
    EXPECT_TRUE(spot(QStringLiteral("1.wav")).contains(QStringLiteral("全球")));
    EXPECT_TRUE(spot(QStringLiteral("2.wav")).contains(QStringLiteral("全球")));
    EXPECT_TRUE(spot(QStringLiteral("3.wav")).contains(QStringLiteral("演员")));
    EXPECT_TRUE(spot(QStringLiteral("4.wav")).contains(QStringLiteral("女儿")));
    EXPECT_TRUE(spot(QStringLiteral("0.wav")).isEmpty());
    EXPECT_TRUE(spot(QStringLiteral("6.wav")).isEmpty());
}

TEST(KeywordEngine, NoCommandInRealSpeechOrEverydaySentences)
{
    QString error;
    const auto engine = SpeechEngine::load(SpeechEngineLocation::standard(), &error);
    ASSERT_NE(engine, nullptr) << error.toStdString();
    for (int i = 0; i <= 6; ++i) {
        const QString wav = VoiceClips::realSpeech(QStringLiteral("%1.wav").arg(i));
        EXPECT_TRUE(heardIn(engine, wav).isEmpty()) << wav.toStdString();
    }
    for (const auto &[wav, label] : VoiceClips::manifest()) {
        if (label.isEmpty()) {
            EXPECT_TRUE(heardIn(engine, wav).isEmpty()) << wav.toStdString();
        }
    }
}

TEST(KeywordEngine, HearsCommandClipsAndNeverTheWrongCommand)
{
    QString error;
    const auto engine = SpeechEngine::load(SpeechEngineLocation::standard(), &error);
    ASSERT_NE(engine, nullptr) << error.toStdString();
    int startHits = 0, startClips = 0, stopHits = 0, stopClips = 0;
    for (const auto &[wav, label] : VoiceClips::manifest()) {
        if (label.isEmpty()) {
            continue;
        }
        const QStringList heard = heardIn(engine, wav);
        for (const QString &word : heard) {
            EXPECT_EQ(SpeechKeywords::isStop(word), SpeechKeywords::isStop(label))
                << wav.toStdString() << " heard as " << word.toStdString();
        }
        const bool hit = !heard.isEmpty();
        (SpeechKeywords::isStop(label) ? stopHits : startHits) += hit ? 1 : 0;
        (SpeechKeywords::isStop(label) ? stopClips : startClips) += 1;
    }
    ASSERT_EQ(startClips, 18);
    ASSERT_EQ(stopClips, 36);
    EXPECT_EQ(startHits, startClips);
    // The synthetic voice says "ting" badly; this floor guards against losing
    // what the engine does hear (see bench/voice_bench.cpp for the figures).
    EXPECT_GE(stopHits, 27);
}

TEST(KeywordEngine, KeywordListMatchesTheModelTokens)
{
    const QByteArray lines = SpeechKeywords::spotterLines();
    // Nine phrases and the last three syllables of the four long stop phrases.
    EXPECT_EQ(lines.count('\n'), 13);
    EXPECT_TRUE(lines.contains("sh ù l ù x iàng :3 #0.05 @结束录像\n"));
    EXPECT_TRUE(lines.contains("k āi sh ǐ l ù :1 #0.25 @开始录\n"));
    EXPECT_TRUE(lines.contains("t íng zh ǐ l ù zh ì :3 #0.05 @停止录制\n"));
    EXPECT_EQ(SpeechKeywords::toneless(QStringLiteral("iàng")), QStringLiteral("iang"));
    EXPECT_EQ(SpeechKeywords::toneless(QStringLiteral("ǚ")), QStringLiteral("ü"));
    EXPECT_EQ(SpeechKeywords::tonelessTokens(QStringLiteral("k āi sh ǐ")),
        (QStringList{QStringLiteral("k"), QStringLiteral("ai"), QStringLiteral("sh"), QStringLiteral("i")}));
}
