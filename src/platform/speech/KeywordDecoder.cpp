#include "platform/speech/KeywordDecoder.h"

#include "platform/speech/SpeechKeywords.h"

namespace {
// Both listeners usually hear the same utterance; a second report this soon
// after the first is the same one.
constexpr double duplicateWindowSeconds = 1.0;

QList<QStringList> keywordSyllables()
{
    QList<QStringList> result;
    for (const SpeechKeyword &keyword : SpeechKeywords::all()) {
        result << SpeechKeywords::tonelessTokens(keyword.tokens);
    }
    return result;
}

// Index just past the first occurrence of `needle` in `tokens` at or after
// `from`, or -1. A four-syllable phrase may have one token misheard (the
// synthetic and flat voices turn "ting" into "tian"); shorter ones must match.
int findSequence(const QStringList &tokens, int from, const QStringList &needle)
{
    const int allowedMisses = needle.size() >= 8 ? 1 : 0;
    for (int start = from; start + needle.size() <= tokens.size(); ++start) {
        int misses = 0;
        for (int i = 0; i < needle.size() && misses <= allowedMisses; ++i) {
            misses += tokens[start + i] == needle[i] ? 0 : 1;
        }
        if (misses <= allowedMisses) {
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
    if (m_method & Spotter) {
        decodeSpotter(found);
    }
    if (m_method & Syllables) {
        decodeSyllables(found);
    }
    return found;
}

void KeywordDecoder::decodeSpotter(QStringList &found)
{
    const auto &api = m_engine->api();
    while (api.isKeywordStreamReady(m_engine->spotter(), m_spotterStream)) {
        api.decodeKeywordStream(m_engine->spotter(), m_spotterStream);
        const sherpa::KeywordResult *result = api.getKeywordResult(m_engine->spotter(), m_spotterStream);
        if (result && result->keyword && result->keyword[0] != '\0') {
            report(QString::fromUtf8(result->keyword), found);
            api.resetKeywordStream(m_engine->spotter(), m_spotterStream);
        }
        if (result) {
            api.destroyKeywordResult(result);
        }
    }
}

void KeywordDecoder::decodeSyllables(QStringList &found)
{
    static const QList<QStringList> syllables = keywordSyllables();
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
        QStringList tokens;
        for (int i = 0; i < result->count; ++i) {
            tokens << SpeechKeywords::toneless(QString::fromUtf8(result->tokensArr[i]));
        }
        // Stop phrases come first in the list, and a longer phrase before its
        // own prefix, so the first match is the one to report.
        for (int k = 0; k < syllables.size(); ++k) {
            const int end = findSequence(tokens, m_matchedTokens, syllables[k]);
            if (end >= 0) {
                m_matchedTokens = end;
                report(SpeechKeywords::all()[k].label, found);
                break;
            }
        }
        api.destroyOnlineRecognizerResult(result);
    }
    if (api.isEndpoint(recognizer, m_recognizerStream)) {
        api.resetOnlineStream(recognizer, m_recognizerStream);
        m_matchedTokens = 0;
    }
}

void KeywordDecoder::report(const QString &label, QStringList &found)
{
    const double now = consumedSeconds();
    if (now - m_lastKeywordEndSeconds < duplicateWindowSeconds) {
        return;
    }
    m_lastKeywordEndSeconds = now;
    found << label;
}
