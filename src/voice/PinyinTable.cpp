#include "voice/PinyinTable.h"

#include "voice/PinyinTableData.h"

#include <QHash>

#include <algorithm>

namespace {
constexpr int letters = 26;

const QHash<QString, int> &syllableIds()
{
    static const QHash<QString, int> ids = [] {
        QHash<QString, int> map;
        for (int i = 0; i < PinyinTableData::syllableCount; ++i) {
            map.insert(QString::fromUtf8(PinyinTableData::syllables[i]), i);
        }
        return map;
    }();
    return ids;
}
} // namespace

int PinyinTable::syllableCount()
{
    return PinyinTableData::syllableCount;
}

int PinyinTable::letterId(QChar letter)
{
    const char16_t c = letter.toUpper().unicode();
    return c >= u'A' && c <= u'Z' ? syllableCount() + (c - u'A') : -1;
}

bool PinyinTable::isLetter(int id)
{
    return id >= syllableCount() && id < syllableCount() + letters;
}

bool PinyinTable::isValid(int id)
{
    return id >= 0 && id < syllableCount() + letters;
}

QString PinyinTable::spelling(int id)
{
    if (id >= 0 && id < syllableCount()) {
        return QString::fromUtf8(PinyinTableData::syllables[id]);
    }
    if (isLetter(id)) {
        return QString(QChar(u'A' + (id - syllableCount())));
    }
    return {};
}

int PinyinTable::syllableId(QStringView toneless)
{
    return syllableIds().value(toneless.toString(), -1);
}

std::span<const uint16_t> PinyinTable::readings(char32_t character)
{
    const uint32_t *begin = PinyinTableData::codePoints;
    const uint32_t *end = begin + PinyinTableData::entryCount;
    const uint32_t *it = std::lower_bound(begin, end, uint32_t(character));
    if (it == end || *it != character) {
        return {};
    }
    const auto entry = it - begin;
    const uint32_t first = PinyinTableData::readingStart[entry];
    const uint32_t last = PinyinTableData::readingStart[entry + 1];
    return {PinyinTableData::readings + first, last - first};
}
