#pragma once

#include <cstdint>

// The reading table generated at build time (cmake/PinyinTable.cmake). Read
// it through PinyinTable.
namespace PinyinTableData {
extern const int syllableCount;
extern const char *const syllables[]; // toneless, sorted
extern const int entryCount;
extern const uint32_t codePoints[]; // sorted
extern const uint32_t readingStart[]; // entryCount + 1 items
extern const uint16_t readings[]; // indexes into syllables
} // namespace PinyinTableData
