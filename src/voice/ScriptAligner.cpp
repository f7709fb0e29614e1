#include "voice/ScriptAligner.h"

#include "voice/PinyinTable.h"

#include <QStringList>

#include <algorithm>
#include <cmath>
#include <limits>

namespace {
constexpr double unreachable = -std::numeric_limits<double>::infinity();

// Initial and final of a toneless syllable, for the scores of near misses.
struct Parts {
    QString initial;
    QString final;
};

Parts parts(int id)
{
    static const QStringList initials = {QStringLiteral("zh"), QStringLiteral("ch"), QStringLiteral("sh"),
        QStringLiteral("b"), QStringLiteral("p"), QStringLiteral("m"), QStringLiteral("f"), QStringLiteral("d"),
        QStringLiteral("t"), QStringLiteral("n"), QStringLiteral("l"), QStringLiteral("g"), QStringLiteral("k"),
        QStringLiteral("h"), QStringLiteral("j"), QStringLiteral("q"), QStringLiteral("x"), QStringLiteral("r"),
        QStringLiteral("z"), QStringLiteral("c"), QStringLiteral("s"), QStringLiteral("y"), QStringLiteral("w")};
    const QString spelling = PinyinTable::spelling(id);
    for (const QString &initial : initials) {
        if (spelling.startsWith(initial) && spelling.size() > initial.size()) {
            return {initial, spelling.mid(initial.size())};
        }
    }
    return {QString(), spelling};
}

const std::vector<Parts> &allParts()
{
    static const std::vector<Parts> table = [] {
        std::vector<Parts> list;
        for (int id = 0; id < PinyinTable::syllableCount(); ++id) {
            list.push_back(parts(id));
        }
        return list;
    }();
    return table;
}

// Pairs that the recognizer (and many speakers) mix up.
bool similarInitials(const QString &a, const QString &b)
{
    static const QStringList pairs = {QStringLiteral("z zh"), QStringLiteral("c ch"), QStringLiteral("s sh"),
        QStringLiteral("n l"), QStringLiteral("l r"), QStringLiteral("f h"), QStringLiteral("b p"),
        QStringLiteral("d t"), QStringLiteral("g k"), QStringLiteral("j q"), QStringLiteral("q x"),
        QStringLiteral("j x"), QStringLiteral("j zh"), QStringLiteral("q ch"), QStringLiteral("x sh")};
    return pairs.contains(a + QLatin1Char(' ') + b) || pairs.contains(b + QLatin1Char(' ') + a);
}

bool similarFinals(const QString &a, const QString &b)
{
    const auto nasal = [](const QString &x, const QString &y) { return x + QLatin1Char('g') == y; };
    static const QStringList pairs = {QStringLiteral("o uo"), QStringLiteral("e o"), QStringLiteral("i ü"),
        QStringLiteral("u ü"), QStringLiteral("ie üe"), QStringLiteral("ei ui"), QStringLiteral("ou iu"),
        QStringLiteral("e en"), QStringLiteral("a an"), QStringLiteral("i in")};
    return nasal(a, b) || nasal(b, a) || pairs.contains(a + QLatin1Char(' ') + b)
        || pairs.contains(b + QLatin1Char(' ') + a);
}
} // namespace

ScriptAligner::ScriptAligner() : ScriptAligner(Tuning())
{
}

ScriptAligner::ScriptAligner(Tuning tuning) : m_tuning(tuning)
{
}

void ScriptAligner::setUnits(std::vector<ScriptUnit> units)
{
    m_units = std::move(units);
    m_deletionPrefix.assign(m_units.size() + 1, 0.0);
    for (size_t i = 0; i < m_units.size(); ++i) {
        const bool wild = m_units[i].kind == ScriptUnit::Wildcard;
        m_deletionPrefix[i + 1] = m_deletionPrefix[i] + (wild ? m_tuning.wildcardDeletion : m_tuning.deletion);
    }
    restart(0);
}

void ScriptAligner::restart(int index)
{
    const int count = int(m_units.size());
    m_position = std::clamp(index, 0, count);
    m_windowStart = std::max(0, m_position - m_tuning.behind);
    const int windowEnd = std::min(count, m_position + m_tuning.ahead);
    m_scores.assign(size_t(windowEnd - m_windowStart + 1), unreachable);
    // The speaker may be a little behind where the text says; ahead of it is
    // reached by skipping.
    for (int s = m_windowStart; s <= m_position; ++s) {
        m_scores[size_t(s - m_windowStart)] = m_tuning.deletion * (m_position - s);
    }
}

double ScriptAligner::matchScore(int id, const ScriptUnit &unit) const
{
    if (unit.kind == ScriptUnit::Wildcard) {
        return m_tuning.wildcard;
    }
    if (unit.accepts(id)) {
        return m_tuning.exact;
    }
    if (id < 0 || id >= PinyinTable::syllableCount()) {
        return m_tuning.mismatch;
    }
    const std::vector<Parts> &table = allParts();
    const Parts &heard = table[size_t(id)];
    double best = m_tuning.mismatch;
    for (int i = 0; i < unit.alternativeCount; ++i) {
        const int alternative = unit.alternatives[size_t(i)];
        if (alternative >= PinyinTable::syllableCount()) {
            continue;
        }
        const Parts &expected = table[size_t(alternative)];
        const bool sameInitial = heard.initial == expected.initial;
        const bool sameFinal = heard.final == expected.final;
        if ((sameFinal && similarInitials(heard.initial, expected.initial))
            || (sameInitial && similarFinals(heard.final, expected.final))) {
            best = std::max(best, m_tuning.similar);
        } else if (sameFinal) {
            best = std::max(best, m_tuning.sameFinal);
        }
    }
    return best;
}

double ScriptAligner::skipScore(int from, int to) const
{
    // Units [from, to) go unsaid.
    if (to <= from) {
        return 0;
    }
    const double oneByOne = m_deletionPrefix[size_t(to)] - m_deletionPrefix[size_t(from)];
    return std::max(oneByOne, m_tuning.jump + m_tuning.jumpPerUnit * (to - from));
}

int ScriptAligner::hear(int id)
{
    const int count = int(m_units.size());
    if (count == 0) {
        return m_position;
    }
    const int start = std::max(0, m_position - m_tuning.behind);
    const int end = std::min(count, m_position + m_tuning.ahead);
    const auto previous = [&](int s) {
        const int i = s - m_windowStart;
        return i >= 0 && i < int(m_scores.size()) ? m_scores[size_t(i)] : unreachable;
    };

    // Best earlier score at or after each state: where a repeat comes from.
    std::vector<double> later(size_t(end - start + 2), unreachable);
    for (int s = end; s >= start; --s) {
        later[size_t(s - start)] = std::max(later[size_t(s - start + 1)], previous(s));
    }

    std::vector<double> scores(size_t(end - start + 1), unreachable);
    for (int to = start; to <= end; ++to) {
        double best = previous(to) + m_tuning.insertion;
        if (to > start) {
            const double match = matchScore(id, m_units[size_t(to - 1)]);
            for (int from = start; from < to; ++from) {
                const double before = previous(from);
                if (before != unreachable) {
                    best = std::max(best, before + skipScore(from, to - 1) + match);
                }
            }
            best = std::max(best, later[size_t(to - start)] + m_tuning.back + match);
        }
        scores[size_t(to - start)] = best;
    }

    // Scores only matter relative to each other.
    const double top = *std::max_element(scores.begin(), scores.end());
    if (std::isfinite(top)) {
        for (double &score : scores) {
            score -= top;
        }
    }
    m_scores = std::move(scores);
    m_windowStart = start;

    int bestState = start;
    double behindBest = unreachable;
    for (int s = start; s <= end; ++s) {
        const double score = m_scores[size_t(s - start)];
        if (score > m_scores[size_t(bestState - start)]) {
            bestState = s;
        }
        if (s <= m_position) {
            behindBest = std::max(behindBest, score);
        }
    }
    if (bestState > m_position && m_scores[size_t(bestState - start)] - behindBest >= m_tuning.margin) {
        m_position = bestState;
    }
    return m_position;
}
