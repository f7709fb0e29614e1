#include "platform/speech/KeywordDecoder.h"

#include "platform/speech/SpeechKeywords.h"

#include <QJsonDocument>
#include <QJsonObject>

#include <algorithm>
#include <cmath>
#include <limits>

namespace {
// Both listeners usually hear the same utterance; a second report this soon
// after the first is the same one.
constexpr double duplicateWindowSeconds = 1.0;
// How long a keyword the spotter heard waits for the recognizer's syllables.
constexpr double confirmationSeconds = 0.6;

// The recognizer's syllables of each keyword, tones dropped. They must all be
// there in a row: a phrase with one syllable wrong is as often another phrase
// ("节目录制" for "结束录制", "一直录制" for "…止录制") as a misheard command.
QList<QStringList> keywordSyllables()
{
    QList<QStringList> result;
    for (const SpeechKeyword &keyword : SpeechKeywords::all()) {
        result << SpeechKeywords::tonelessTokens(keyword.tokens);
    }
    return result;
}

constexpr double unknownTime = std::numeric_limits<double>::quiet_NaN();
// The recognizer times a syllable when it emits it, about this far into the
// syllable (measured on the keyword clips); the phrase began that much earlier.
constexpr double syllableLagSeconds = 0.1;

// When each token of a result was said, in stream seconds: the recognizer
// times them from the start of the segment, which its JSON gives.
QList<double> tokenTimes(const sherpa::OnlineRecognizerResult &result)
{
    QList<double> times(result.count, unknownTime);
    if (!result.timestamps || !result.json) {
        return times;
    }
    const QJsonValue start
        = QJsonDocument::fromJson(QByteArray(result.json)).object().value(QLatin1String("start_time"));
    if (!start.isDouble()) {
        return times;
    }
    for (int i = 0; i < result.count; ++i) {
        times[i] = std::max(0.0, start.toDouble() + double(result.timestamps[i]) - syllableLagSeconds);
    }
    return times;
}

double timeAt(const QList<double> &times, qsizetype index)
{
    return index >= 0 && index < times.size() ? times[index] : unknownTime;
}

// Index just past the first occurrence of `needle` in `tokens` at or after `from`, or -1.
int findSequence(const QStringList &tokens, int from, const QStringList &needle)
{
    for (int start = from; start + needle.size() <= tokens.size(); ++start) {
        if (std::equal(needle.begin(), needle.end(), tokens.begin() + start)) {
            return start + int(needle.size());
        }
    }
    return -1;
}
} // namespace

KeywordDecoder::KeywordDecoder(std::shared_ptr<SpeechEngine> engine, Method method)
    : m_engine(std::move(engine)), m_method(method)
{
    std::lock_guard lock(m_engine->decodeMutex());
    m_spotterStream = m_engine->api().createKeywordStream(m_engine->spotter());
    m_recognizerStream = m_engine->api().createOnlineStream(m_engine->recognizer());
}

KeywordDecoder::~KeywordDecoder()
{
    std::lock_guard lock(m_engine->decodeMutex());
    if (m_spotterStream) {
        m_engine->api().destroyOnlineStream(m_spotterStream);
    }
    if (m_recognizerStream) {
        m_engine->api().destroyOnlineStream(m_recognizerStream);
    }
}

double KeywordDecoder::consumedSeconds() const
{
    return double(m_samples) / SpeechEngine::sampleRate;
}

QStringList KeywordDecoder::accept(std::span<const float> samples)
{
    m_starts.clear();
    if (samples.empty()) {
        return {};
    }
    std::lock_guard lock(m_engine->decodeMutex());
    const auto &api = m_engine->api();
    const int32_t count = int32_t(samples.size());
    if (m_method & Spotter) {
        api.acceptWaveform(m_spotterStream, SpeechEngine::sampleRate, samples.data(), count);
    }
    if (m_method & Syllables) {
        api.acceptWaveform(m_recognizerStream, SpeechEngine::sampleRate, samples.data(), count);
    }
    m_samples += count;
    return decode();
}

QStringList KeywordDecoder::finish()
{
    // Trailing quiet lets the last chunk through the model before the end.
    const std::vector<float> tail(SpeechEngine::sampleRate / 2, 0.0f);
    QStringList found = accept(tail);
    std::lock_guard lock(m_engine->decodeMutex());
    m_engine->api().inputFinished(m_spotterStream);
    m_engine->api().inputFinished(m_recognizerStream);
    found += decode();
    return found;
}

QStringList KeywordDecoder::decode()
{
    QStringList found;
    if (m_method & Syllables) {
        decodeSyllables(found);
    }
    if (m_method & Spotter) {
        decodeSpotter(found);
    }
    if (!m_pendingLabel.isEmpty()) {
        confirmPending(found);
    }
    return found;
}

void KeywordDecoder::confirmPending(QStringList &found)
{
    static const QList<QStringList> patterns = keywordSyllables();
    const qsizetype k = SpeechKeywords::indexOf(m_pendingLabel);
    if (k < 0) {
        m_pendingLabel.clear(); // a word of another keyword list (tests)
        return;
    }
    // Every syllable, also of a long phrase: with one allowed to differ, the
    // real speaker's "接受录像" and "开设录制" were taken for "结束录像" and
    // "开始录制", and no keyword needed the allowance to be heard.
    const QStringList &needle = patterns[k];
    const int end = findSequence(m_previousTokens + m_segmentTokens.mid(m_matchedTokens), 0, needle);
    const qsizetype at = end < 0 ? -1 : end - needle.size();
    if (at >= 0) {
        const double start = timeAt(m_previousTimes + m_segmentTimes.mid(m_matchedTokens), at);
        m_matchedTokens = int(m_segmentTokens.size());
        m_previousTokens.clear();
        m_previousTimes.clear();
        report(m_pendingLabel, start, found);
        m_pendingLabel.clear();
    } else if (consumedSeconds() > m_pendingUntilSeconds) {
        m_pendingLabel.clear();
    }
}

void KeywordDecoder::decodeSpotter(QStringList &found)
{
    const auto &api = m_engine->api();
    while (api.isKeywordStreamReady(m_engine->spotter(), m_spotterStream)) {
        api.decodeKeywordStream(m_engine->spotter(), m_spotterStream);
        const sherpa::KeywordResult *result = api.getKeywordResult(m_engine->spotter(), m_spotterStream);
        if (result && result->keyword && result->keyword[0] != '\0') {
            const QString label = QString::fromUtf8(result->keyword);
            if (m_method & Syllables) {
                // The recognizer must hear the same syllables: the spotter
                // alone takes a phrase with one syllable changed for a keyword.
                m_pendingLabel = label;
                m_pendingUntilSeconds = consumedSeconds() + confirmationSeconds;
            } else {
                report(label, unknownTime, found);
            }
            // Without a reset the spotter goes on from inside the phrase it just
            // reported and may find a shorter keyword in its tail.
            api.resetKeywordStream(m_engine->spotter(), m_spotterStream);
        }
        if (result) {
            api.destroyKeywordResult(result);
        }
    }
}

void KeywordDecoder::decodeSyllables(QStringList &found)
{
    static const QList<QStringList> patterns = keywordSyllables();
    const auto &api = m_engine->api();
    const sherpa::OnlineRecognizer *recognizer = m_engine->recognizer();
    bool decoded = false;
    while (api.isOnlineStreamReady(recognizer, m_recognizerStream)) {
        api.decodeOnlineStream(recognizer, m_recognizerStream);
        decoded = true;
    }
    if (!decoded) {
        return;
    }
    const sherpa::OnlineRecognizerResult *result = api.getOnlineStreamResult(recognizer, m_recognizerStream);
    if (result) {
        m_heardSegment = QString::fromUtf8(result->text ? result->text : "");
        QStringList &tokens = m_segmentTokens;
        tokens.clear();
        for (int i = 0; i < result->count; ++i) {
            tokens << SpeechKeywords::toneless(QString::fromUtf8(result->tokensArr[i]));
        }
        m_segmentTimes = tokenTimes(*result);
        // Stop phrases come first in the list, and a longer phrase before its
        // own prefix, so the first match is the one to report.
        for (int k = 0; k < patterns.size(); ++k) {
            const int end = findSequence(tokens, m_matchedTokens, patterns[k]);
            if (end >= 0) {
                m_matchedTokens = end;
                const double start = timeAt(m_segmentTimes, end - patterns[k].size());
                if (report(SpeechKeywords::all()[k].label, start, found)) {
                    // The spotter heard the same words, or missed them: either way it starts afresh.
                    api.resetKeywordStream(m_engine->spotter(), m_spotterStream);
                }
                break;
            }
        }
        api.destroyOnlineRecognizerResult(result);
    }
    if (api.isEndpoint(recognizer, m_recognizerStream)) {
        api.resetOnlineStream(recognizer, m_recognizerStream);
        if (!m_heardSegment.isEmpty()) {
            m_heardDone += m_heardSegment + QLatin1Char(' ');
            m_heardSegment.clear();
        }
        // A phrase the spotter is still waiting on may end the old segment.
        m_previousTokens = m_segmentTokens.mid(m_matchedTokens);
        m_previousTimes = m_segmentTimes.mid(m_matchedTokens);
        m_segmentTokens.clear();
        m_segmentTimes.clear();
        m_matchedTokens = 0;
    }
}

bool KeywordDecoder::report(const QString &label, double startSeconds, QStringList &found)
{
    const double now = consumedSeconds();
    if (now - m_lastKeywordEndSeconds < duplicateWindowSeconds) {
        return false;
    }
    m_lastKeywordEndSeconds = now;
    found << label;
    m_starts << startSeconds;
    return true;
}
