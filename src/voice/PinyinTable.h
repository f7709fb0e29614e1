#pragma once

#include <QString>
#include <QStringView>

#include <cstdint>
#include <span>

// Toneless Mandarin syllables and spoken Latin letters as small integer ids,
// and the readings of Hanzi, from a table generated at build time. A
// character with several readings (行: xing, hang, heng) has all of them.
class PinyinTable {
public:
    // Pinyin syllables are ids [0, syllableCount()); the 26 letters follow.
    static int syllableCount();
    static int letterId(QChar letter);
    static bool isLetter(int id);
    static bool isValid(int id);

    // The toneless spelling ("zhong", "lü") or the capital letter ("A").
    static QString spelling(int id);
    // The id of a toneless syllable, or -1.
    static int syllableId(QStringView toneless);

    // Toneless readings of one character; empty for one the table lacks.
    static std::span<const uint16_t> readings(char32_t character);
};
