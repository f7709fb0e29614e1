#include "voice/CommandSyllableFilter.h"

#include "platform/speech/SpeechKeywords.h"
#include "voice/TranscriptSyllables.h"

#include <algorithm>

namespace {
bool startsWith(const std::vector<int> &phrase, const std::vector<int> &held, size_t from)
{
    const size_t length = held.size() - from;
    return length <= phrase.size() && std::equal(held.begin() + long(from), held.end(), phrase.begin());
}
} // namespace

CommandSyllableFilter::CommandSyllableFilter()
{
    for (const SpeechKeyword &keyword : SpeechKeywords::all()) {
        QString tokens = keyword.tokens;
        tokens.remove(QLatin1Char(' '));
        const std::vector<int> phrase = TranscriptSyllables::parse(tokens);
        m_phrases.push_back(phrase);
        // The first syllable of a long stop phrase is the one most often
        // misheard: its last three are a phrase of their own.
        if (SpeechKeywords::isStop(keyword.label) && phrase.size() >= 4) {
            m_phrases.emplace_back(phrase.begin() + 1, phrase.end());
        }
    }
}

std::vector<int> CommandSyllableFilter::push(int id)
{
    m_held.push_back(id);
    for (const std::vector<int> &phrase : m_phrases) {
        if (m_held.size() >= phrase.size() && std::equal(phrase.begin(), phrase.end(), m_held.end() - long(phrase.size()))) {
            std::vector<int> released(m_held.begin(), m_held.end() - long(phrase.size()));
            m_held.clear();
            return released;
        }
    }
    // Keep the longest tail that some phrase still begins with.
    size_t from = 0;
    while (from < m_held.size()
        && std::none_of(m_phrases.begin(), m_phrases.end(),
            [&](const std::vector<int> &phrase) { return startsWith(phrase, m_held, from); })) {
        ++from;
    }
    std::vector<int> released(m_held.begin(), m_held.begin() + long(from));
    m_held.erase(m_held.begin(), m_held.begin() + long(from));
    return released;
}

std::vector<int> CommandSyllableFilter::flush()
{
    std::vector<int> released;
    released.swap(m_held);
    return released;
}
