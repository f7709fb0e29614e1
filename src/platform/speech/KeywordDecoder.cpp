#include "platform/speech/KeywordDecoder.h"

#include "platform/speech/SpeechKeywords.h"

namespace {
// Both listeners usually hear the same utterance; a second report this soon
// after the first is the same one.
constexpr double duplicateWindowSeconds = 1.0;

// How the recognizer's syllables must look for a keyword. "*" stands for any token.
struct SyllablePattern {
    QStringList tokens;
    int allowedMisses = 0;
};

// Only stop phrases get slack: an accidental stop is cheap, an accidental
// start ("还是录制" is one token away from "开始录制") is not. The first
// syllable of a phrase is the one most often misheard ("tíng" as "tiān"), so a
// four-syllable stop phrase matches on its last three; a three-syllable one may
// have one token wrong.
QList<SyllablePattern> keywordPatterns()
{
    QList<SyllablePattern> result;
    for (const SpeechKeyword &keyword : SpeechKeywords::all()) {
        SyllablePattern pattern{SpeechKeywords::tonelessTokens(keyword.tokens), 0};
        if (SpeechKeywords::isStop(keyword.label)) {
            if (pattern.tokens.size() >= 8) {
                pattern.tokens[0] = pattern.tokens[1] = QStringLiteral("*");
            } else {
                pattern.allowedMisses = 1;
            }
        }
        result << pattern;
    }
    return result;
}

// Index just past the first occurrence of `pattern` in `tokens` at or after `from`, or -1.
int findSequence(const QStringList &tokens, int from, const SyllablePattern &pattern)
{
    const QStringList &needle = pattern.tokens;
    for (int start = from; start + needle.size() <= tokens.size(); ++start) {
        int misses = 0;
        for (int i = 0; i < needle.size() && misses <= pattern.allowedMisses; ++i) {
            const bool same = needle[i] == QStringLiteral("*") || tokens[start + i] == needle[i];
            misses += same ? 0 : 1;
        }
        if (misses <= pattern.allowedMisses) {
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
    static const QList<SyllablePattern> patterns = keywordPatterns();
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
        for (int k = 0; k < patterns.size(); ++k) {
            const int end = findSequence(tokens, m_matchedTokens, patterns[k]);
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
