#include "voice/CommandSyllableFilter.h"

#include "platform/speech/SpeechKeywords.h"
#include "voice/TranscriptSyllables.h"

#include <algorithm>

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

bool CommandSyllableFilter::begins(size_t from, bool whole) const
{
    const size_t length = m_held.size() - from;
    return std::any_of(m_phrases.begin(), m_phrases.end(), [&](const std::vector<int> &phrase) {
        if (whole ? phrase.size() != length : phrase.size() <= length) {
            return false;
        }
        // The keyword decoder accepts a long phrase with one syllable misheard
        // ("jiě fū lù zhì" for 结束录制), so the same slip is kept out here;
        // never the first syllable, or every syllable would be held.
        const int allowed = phrase.size() >= 4 ? 1 : 0;
        int mismatches = 0;
        for (size_t i = 0; i < length; ++i) {
            if (m_held[from + i] != phrase[i] && (i == 0 || ++mismatches > allowed)) {
                return false;
            }
        }
        return true;
    });
}

std::vector<int> CommandSyllableFilter::push(int id)
{
    // A phrase that a longer one might have continued ("停止录" of "停止录制")
    // is over when the next syllable does not continue it.
    if (!m_held.empty() && begins(0, true)) {
        m_held.push_back(id);
        if (!begins(0, false) && !begins(0, true)) {
            m_held.assign(1, id);
        }
    } else {
        m_held.push_back(id);
    }
    // Keep the longest tail that a phrase begins with, or is.
    size_t from = 0;
    while (from < m_held.size() && !begins(from, false) && !begins(from, true)) {
        ++from;
    }
    std::vector<int> released(m_held.begin(), m_held.begin() + long(from));
    m_held.erase(m_held.begin(), m_held.begin() + long(from));
    if (!m_held.empty() && begins(0, true) && !begins(0, false)) {
        m_held.clear();
    }
    return released;
}

std::vector<int> CommandSyllableFilter::flush()
{
    std::vector<int> released;
    if (!begins(0, true)) {
        released.swap(m_held);
    }
    m_held.clear();
    return released;
}
