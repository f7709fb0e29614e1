#include "voice/ScriptSyllables.h"

#include "voice/PinyinTable.h"

#include <algorithm>

namespace {
// 零 一 二 三 四 五 六 七 八 九, with the other ways a digit is said.
const char *const digitReadings[10][2] = {{"ling", nullptr}, {"yi", "yao"}, {"er", "liang"}, {"san", nullptr},
    {"si", nullptr}, {"wu", nullptr}, {"liu", nullptr}, {"qi", nullptr}, {"ba", nullptr}, {"jiu", nullptr}};

ScriptUnit syllableUnit(int position, std::initializer_list<int> ids)
{
    ScriptUnit unit;
    unit.position = position;
    unit.kind = ScriptUnit::Syllable;
    for (const int id : ids) {
        if (id >= 0 && unit.alternativeCount < ScriptUnit::maxAlternatives) {
            unit.alternatives[unit.alternativeCount++] = uint16_t(id);
        }
    }
    if (unit.alternativeCount == 0) {
        unit.kind = ScriptUnit::Wildcard;
    }
    return unit;
}

ScriptUnit wildcardUnit(int position)
{
    ScriptUnit unit;
    unit.position = position;
    return unit;
}

int id(const char *toneless)
{
    return toneless ? PinyinTable::syllableId(QString::fromLatin1(toneless)) : -1;
}

void addDigit(std::vector<ScriptUnit> &units, int position, int digit)
{
    units.push_back(syllableUnit(position, {id(digitReadings[digit][0]), id(digitReadings[digit][1])}));
}

// One or two digits are said as a number (12: shi er, 40: si shi); longer
// runs, such as years and phone numbers, digit by digit.
void addNumber(std::vector<ScriptUnit> &units, const QString &text, int start, int end)
{
    const auto digit = [&](int i) { return text.at(i).unicode() - u'0'; };
    if (end - start == 2 && digit(start) != 0) {
        if (digit(start) > 1) {
            addDigit(units, start, digit(start));
        }
        units.push_back(syllableUnit(start, {id("shi")}));
        if (digit(start + 1) != 0) {
            addDigit(units, start + 1, digit(start + 1));
        }
        return;
    }
    for (int i = start; i < end; ++i) {
        addDigit(units, i, digit(i));
    }
}

// A Han character the table lacks is still said: a wildcard holds its place.
ScriptUnit hanUnit(int position, char32_t code)
{
    ScriptUnit unit = wildcardUnit(position);
    for (const uint16_t reading : PinyinTable::readings(code)) {
        if (unit.alternativeCount < ScriptUnit::maxAlternatives) {
            unit.kind = ScriptUnit::Syllable;
            unit.alternatives[unit.alternativeCount++] = reading;
        }
    }
    return unit;
}

bool isAsciiLetter(QChar c)
{
    return (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z');
}

// A short all-capital word is spelled out (AI, USB). Any other word is said
// as a word, in a number of syllables nobody can predict: one wildcard holds
// its place. The recognizer hears about one syllable per English word.
void addWord(std::vector<ScriptUnit> &units, const QString &text, int start, int end)
{
    const QStringView word = QStringView(text).mid(start, end - start);
    const bool acronym = word.size() <= 5 && std::all_of(word.begin(), word.end(), [](QChar c) { return c.isUpper(); });
    if (!acronym) {
        units.push_back(wildcardUnit(start));
        return;
    }
    for (int i = start; i < end; ++i) {
        units.push_back(syllableUnit(i, {PinyinTable::letterId(text.at(i))}));
    }
}
} // namespace

bool ScriptUnit::accepts(int id) const
{
    if (kind == Wildcard) {
        return true;
    }
    return std::find(alternatives.begin(), alternatives.begin() + alternativeCount, id)
        != alternatives.begin() + alternativeCount;
}

std::vector<ScriptUnit> ScriptSyllables::fromText(const QString &script)
{
    // Fullwidth digits and letters (２０２４, ＡＩ) read like their ASCII twins;
    // the mapping keeps every position.
    QString text = script;
    for (QChar &c : text) {
        if (c.unicode() >= 0xFF01 && c.unicode() <= 0xFF5E) {
            c = QChar(c.unicode() - 0xFEE0);
        }
    }
    std::vector<ScriptUnit> units;
    units.reserve(text.size());
    int i = 0;
    while (i < text.size()) {
        const QChar c = text.at(i);
        const bool pair = c.isHighSurrogate() && i + 1 < text.size() && text.at(i + 1).isLowSurrogate();
        const char32_t code = pair ? QChar::surrogateToUcs4(c, text.at(i + 1)) : c.unicode();
        if (QChar::script(code) == QChar::Script_Han) {
            units.push_back(hanUnit(i, code));
            i += pair ? 2 : 1;
            continue;
        }
        if (c >= u'0' && c <= u'9') {
            int end = i;
            while (end < text.size() && text.at(end) >= u'0' && text.at(end) <= u'9') {
                ++end;
            }
            addNumber(units, text, i, end);
            i = end;
            continue;
        }
        if (isAsciiLetter(c)) {
            int end = i;
            while (end < text.size() && isAsciiLetter(text.at(end))) {
                ++end;
            }
            addWord(units, text, i, end);
            i = end;
            continue;
        }
        ++i;
    }
    return units;
}
