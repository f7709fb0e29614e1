#include "voice/TranscriptSyllables.h"

#include "voice/PinyinTable.h"

#include <algorithm>
#include <cstdint>
#include <limits>
#include <unordered_map>

namespace {
constexpr int longestSyllable = 6; // zhuang

// A pinyin letter as its base letter ('v' for ü) and whether it carries a tone mark.
struct Letter {
    char base = 0;
    bool toned = false;
};

Letter pinyinLetter(QChar c)
{
    const char16_t u = c.unicode();
    if (u >= u'a' && u <= u'z') {
        return {char(u), false};
    }
    static const std::unordered_map<char16_t, char> toned = {{u'ā', 'a'}, {u'á', 'a'}, {u'ǎ', 'a'}, {u'à', 'a'},
        {u'ē', 'e'}, {u'é', 'e'}, {u'ě', 'e'}, {u'è', 'e'}, {u'ī', 'i'}, {u'í', 'i'}, {u'ǐ', 'i'}, {u'ì', 'i'},
        {u'ō', 'o'}, {u'ó', 'o'}, {u'ǒ', 'o'}, {u'ò', 'o'}, {u'ū', 'u'}, {u'ú', 'u'}, {u'ǔ', 'u'}, {u'ù', 'u'},
        {u'ǖ', 'v'}, {u'ǘ', 'v'}, {u'ǚ', 'v'}, {u'ǜ', 'v'}, {u'ń', 'n'}, {u'ň', 'n'}, {u'ǹ', 'n'}, {u'ḿ', 'm'}};
    if (u == u'ü') {
        return {'v', false};
    }
    const auto it = toned.find(u);
    return it == toned.end() ? Letter{} : Letter{it->second, true};
}

bool isCombiningMark(QChar c)
{
    return c.unicode() >= 0x0300 && c.unicode() <= 0x036F;
}

// Up to six base letters packed five bits each: a key without allocation.
uint32_t key(const Letter *letters, int count)
{
    uint32_t k = 0;
    for (int i = 0; i < count; ++i) {
        k = (k << 5) | uint32_t(letters[i].base - 'a' + 1);
    }
    return k;
}

const std::unordered_map<uint32_t, int> &syllableKeys()
{
    static const std::unordered_map<uint32_t, int> keys = [] {
        std::unordered_map<uint32_t, int> map;
        for (int id = 0; id < PinyinTable::syllableCount(); ++id) {
            std::vector<Letter> letters;
            for (const QChar c : PinyinTable::spelling(id)) {
                letters.push_back(pinyinLetter(c));
            }
            if (!letters.empty() && int(letters.size()) <= longestSyllable) {
                map.emplace(key(letters.data(), int(letters.size())), id);
            }
        }
        return map;
    }();
    return keys;
}

bool hasVowel(const Letter *letters, int count)
{
    return std::any_of(letters, letters + count,
        [](const Letter &l) { return std::string_view("aeiouv").find(l.base) != std::string_view::npos; });
}

// Splits one run of pinyin letters into syllables with the fewest pieces.
// Each piece is a syllable of the table with at most one tone mark; one that
// begins with a vowel inside the run costs a little more, since "dānǐ" is
// dā nǐ and not dān ǐ. Letters that fit no syllable are passed over, and
// trailing ones are left for the text that follows.
std::vector<int> parseRun(const std::vector<Letter> &run)
{
    const int n = int(run.size());
    constexpr double skipCost = 3.0;
    std::vector<double> cost(n + 1, std::numeric_limits<double>::infinity());
    std::vector<int> from(n + 1, -1);
    std::vector<int> piece(n + 1, -1);
    cost[0] = 0;
    const auto &keys = syllableKeys();
    for (int i = 0; i < n; ++i) {
        if (cost[i] == std::numeric_limits<double>::infinity()) {
            continue;
        }
        if (cost[i] + skipCost < cost[i + 1]) {
            cost[i + 1] = cost[i] + skipCost;
            from[i + 1] = i;
            piece[i + 1] = -1;
        }
        int tones = 0;
        for (int length = 1; length <= longestSyllable && i + length <= n; ++length) {
            tones += run[i + length - 1].toned ? 1 : 0;
            if (tones > 1) {
                break;
            }
            const auto it = keys.find(key(run.data() + i, length));
            if (it == keys.end()) {
                continue;
            }
            // m, n, ng said alone carry a tone in the recognizer's output; a
            // bare one is an initial waiting for its final.
            if (tones == 0 && !hasVowel(run.data() + i, length)) {
                continue;
            }
            const bool vowelStart = std::string_view("aeo").find(run[i].base) != std::string_view::npos;
            const double c = cost[i] + 1.0 + (i > 0 && vowelStart ? 0.1 : 0.0);
            if (c < cost[i + length]) {
                cost[i + length] = c;
                from[i + length] = i;
                piece[i + length] = it->second;
            }
        }
    }
    std::vector<int> ids;
    int end = n;
    while (end > 0 && piece[end] < 0) {
        end = from[end];
    }
    for (int i = end; i > 0; i = from[i]) {
        if (piece[i] >= 0) {
            ids.push_back(piece[i]);
        }
    }
    std::reverse(ids.begin(), ids.end());
    return ids;
}

// Walks `text` from `start`, handing each letter id and each finished run's
// syllables to `emit`; returns where the unfinished run at the end begins
// (text.size() when the text does not end inside a run) and its syllables.
template <typename Emit> int walk(QStringView text, int start, std::vector<int> *openRunIds, Emit emit)
{
    std::vector<Letter> run;
    int runStart = start;
    for (int i = start; i < text.size(); ++i) {
        const QChar c = text.at(i);
        if (isCombiningMark(c)) {
            if (!run.empty()) {
                run.back().toned = true;
            }
            continue;
        }
        const Letter letter = pinyinLetter(c);
        if (letter.base) {
            if (run.empty()) {
                runStart = i;
            }
            run.push_back(letter);
            continue;
        }
        if (!run.empty()) {
            for (const int id : parseRun(run)) {
                emit(id);
            }
            run.clear();
        }
        if (const int letterId = PinyinTable::letterId(c); letterId >= 0 && c.isUpper()) {
            emit(letterId);
        }
    }
    openRunIds->clear();
    if (run.empty()) {
        return int(text.size());
    }
    *openRunIds = parseRun(run);
    return runStart;
}
} // namespace

std::vector<int> TranscriptSyllables::parse(QStringView text)
{
    std::vector<int> ids;
    std::vector<int> open;
    walk(text, 0, &open, [&](int id) { ids.push_back(id); });
    ids.insert(ids.end(), open.begin(), open.end());
    return ids;
}

std::vector<int> TranscriptSyllables::take(const QString &text)
{
    if (!text.startsWith(m_text)) {
        clear();
    }
    // Everything from the old open run on is parsed again; what it had
    // already reported is not reported twice.
    std::vector<int> ids;
    std::vector<int> open;
    const int openStart = walk(text, m_openRunStart, &open, [&](int id) { ids.push_back(id); });
    ids.insert(ids.end(), open.begin(), open.end());
    const auto mismatch = std::mismatch(ids.begin(), ids.end(), m_openRunIds.begin(), m_openRunIds.end());
    std::vector<int> added(mismatch.first, ids.end());

    m_text = text;
    m_openRunStart = openStart;
    m_openRunIds = open;
    return added;
}

void TranscriptSyllables::skip(const QString &text)
{
    take(text);
}

void TranscriptSyllables::clear()
{
    m_text.clear();
    m_openRunStart = 0;
    m_openRunIds.clear();
}
