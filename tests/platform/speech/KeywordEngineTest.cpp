// The keyword engine on real audio: the model's recordings of real speech and
// phrases of the real speaker's words, heard after the gain stage as the
// listener hears them. bench/voice_bench.cpp measures the whole set.
#include "platform/speech/AutomaticGain.h"
#include "platform/speech/KeywordDecoder.h"
#include "platform/speech/SpeechEngine.h"
#include "platform/speech/SpeechKeywords.h"
#include "platform/speech/WavFile.h"

#include "support/RealSpeech.h"
#include "voice/VoiceClips.h"

#include <QFile>
#include <QMap>
#include <QSet>

#include <gtest/gtest.h>

#include <random>

namespace {
QStringList heardIn(const std::shared_ptr<SpeechEngine> &engine, std::vector<float> samples,
    KeywordDecoder::Method method = KeywordDecoder::Both)
{
    AutomaticGain gain;
    KeywordDecoder decoder(engine, method);
    QStringList heard;
    for (size_t i = 0; i < samples.size(); i += 1024) {
        const size_t n = std::min<size_t>(1024, samples.size() - i);
        gain.process(samples.data() + i, n);
        heard += decoder.accept({samples.data() + i, n});
    }
    return heard + decoder.finish();
}

QStringList heardIn(const std::shared_ptr<SpeechEngine> &engine, const QString &wav,
    KeywordDecoder::Method method = KeywordDecoder::Both)
{
    std::vector<float> samples;
    QString error;
    EXPECT_TRUE(WavFile::read(wav, &samples, &error)) << error.toStdString();
    return heardIn(engine, std::move(samples), method);
}

std::shared_ptr<SpeechEngine> commandEngine()
{
    QString error;
    auto engine = SpeechEngine::load(SpeechEngineLocation::standard(), &error);
    EXPECT_NE(engine, nullptr) << error.toStdString();
    return engine;
}

// What the engine hears in the real speaker's phrase, in a condition.
QStringList heardSaying(const std::shared_ptr<SpeechEngine> &engine, const QString &text,
    const QString &condition = QStringLiteral("clean"))
{
    const QString wav = RealSpeech::clip(text, condition);
    EXPECT_FALSE(wav.isEmpty()) << "not made: " << text.toStdString() << " " << condition.toStdString();
    return wav.isEmpty() ? QStringList{} : heardIn(engine, wav);
}

// Heard once, as the keyword's command: a shorter phrase of the same command counts.
void expectHeardAs(const QString &keyword, const QStringList &heard, const QString &what)
{
    ASSERT_EQ(heard.size(), 1) << what.toStdString() << " heard [" << heard.join(u',').toStdString() << "]";
    EXPECT_EQ(SpeechKeywords::isStop(heard.first()), SpeechKeywords::isStop(keyword))
        << what.toStdString() << " heard as " << heard.first().toStdString();
    EXPECT_TRUE(keyword.startsWith(heard.first())) << what.toStdString() << " heard as " << heard.first().toStdString();
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

TEST(KeywordEngine, KeywordListMatchesTheModelTokens)
{
    QFile file(VoiceClips::modelFile(QStringLiteral("tokens.txt")));
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    QSet<QString> modelTokens;
    for (const QByteArray &line : file.readAll().split('\n')) {
        if (!line.trimmed().isEmpty()) {
            modelTokens.insert(QString::fromUtf8(line.split(' ').first()));
        }
    }
    ASSERT_GT(modelTokens.size(), 100);

    // Every keyword is spelled in the model's tokens.
    QStringList spotted;
    for (const SpeechKeyword &keyword : SpeechKeywords::all()) {
        for (const QString &token : keyword.tokens.split(QLatin1Char(' '))) {
            EXPECT_TRUE(modelTokens.contains(token)) << token.toStdString() << " in " << keyword.label.toStdString();
        }
        if (keyword.spotted) {
            spotted << keyword.label;
        }
    }
    // Every line the spotter gets: known tokens, then a boost, a threshold and the label.
    QStringList labels;
    for (const QByteArray &line : SpeechKeywords::spotterLines().split('\n')) {
        if (line.isEmpty()) {
            continue;
        }
        const QStringList fields = QString::fromUtf8(line).split(QLatin1Char(' '), Qt::SkipEmptyParts);
        ASSERT_GE(fields.size(), 4) << line.toStdString();
        for (const QString &token : fields.mid(0, fields.size() - 3)) {
            EXPECT_TRUE(modelTokens.contains(token)) << token.toStdString() << " in " << line.toStdString();
        }
        EXPECT_TRUE(fields[fields.size() - 3].startsWith(u':'));
        EXPECT_TRUE(fields[fields.size() - 2].startsWith(u'#'));
        labels << fields.last().mid(1);
    }
    EXPECT_EQ(labels, spotted);
    EXPECT_EQ(SpeechKeywords::all().size(), 9);

    // The recognizer's tokens compare without tones; ü stays apart from u.
    EXPECT_EQ(SpeechKeywords::toneless(QStringLiteral("iàng")), QStringLiteral("iang"));
    EXPECT_EQ(SpeechKeywords::toneless(QStringLiteral("ǚ")), QStringLiteral("ü"));
    EXPECT_TRUE(modelTokens.contains(QStringLiteral("ǚ")));
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

TEST(KeywordEngine, EachKeywordSaidAloneIsHeardAsItsCommand)
{
    const auto engine = commandEngine();
    ASSERT_NE(engine, nullptr);
    for (const SpeechKeyword &keyword : SpeechKeywords::all()) {
        expectHeardAs(keyword.label, heardSaying(engine, VoiceClips::spoken(keyword.label)), keyword.label);
    }
}

TEST(KeywordEngine, KeywordsAtTheStartMiddleOrEndOfASentenceAreHeardAsTheirCommand)
{
    const auto engine = commandEngine();
    ASSERT_NE(engine, nullptr);
    const QStringList carriers = VoiceClips::carriers();
    int k = 0;
    for (const SpeechKeyword &keyword : SpeechKeywords::all()) {
        const QString text = VoiceClips::inSentence(keyword.label, carriers[k++ % carriers.size()]);
        expectHeardAs(keyword.label, heardSaying(engine, text), text);
    }
}

TEST(KeywordEngine, SentencesThatShareSyllablesWithAKeywordAreHeardAsNothing)
{
    const auto engine = commandEngine();
    ASSERT_NE(engine, nullptr);
    for (const QString &text : VoiceClips::nearMisses()) {
        const QStringList heard = heardSaying(engine, text);
        EXPECT_TRUE(heard.isEmpty()) << text.toStdString() << " heard [" << heard.join(u',').toStdString() << "]";
    }
}

TEST(KeywordEngine, QuietKeywordIsHeardAfterTheGainStage)
{
    // Twenty decibels down, over the faint hiss of a microphone input.
    const auto engine = commandEngine();
    ASSERT_NE(engine, nullptr);
    for (const SpeechKeyword &keyword : SpeechKeywords::all()) {
        expectHeardAs(keyword.label, heardSaying(engine, VoiceClips::spoken(keyword.label), QStringLiteral("quiet")),
            keyword.label + QStringLiteral(" (quiet)"));
    }
}

TEST(KeywordEngine, RecognizerOverrulesASpotterFooledByOneSyllable)
{
    // One syllable from a long phrase: the spotter alone takes them for it;
    // the recognizer, which must hear every syllable, hears what was said.
    const auto engine = commandEngine();
    ASSERT_NE(engine, nullptr);
    int fooled = 0;
    for (const QString &text : VoiceClips::spotterNearMisses()) {
        const QString wav = RealSpeech::clip(text);
        ASSERT_FALSE(wav.isEmpty()) << text.toStdString();
        fooled += heardIn(engine, wav, KeywordDecoder::Spotter).isEmpty() ? 0 : 1;
        EXPECT_TRUE(heardIn(engine, wav).isEmpty()) << text.toStdString();
    }
    EXPECT_GE(fooled, 3) << "the near misses no longer fool the spotter: pick others";
}
