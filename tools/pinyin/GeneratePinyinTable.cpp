// Build-time generator of the Hanzi reading table used by voice following.
//
// Input: pinyin_dict.go of Debian's golang-github-mozillazg-go-pinyin-dev
// (go-pinyin 0.19.0, MIT licence, Copyright 2016 mozillazg; its data comes
// from the pinyin-data project, also MIT). One line per code point:
//     0x884C: "xíng,háng,héng,xìng,hàng",
// Output: a C++ source with every reading made toneless and deduplicated per
// character, sorted by code point, and the sorted list of toneless syllables.
//
// Plain standard C++ so that it builds in a moment before the core library.
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <fstream>
#include <map>
#include <set>
#include <sstream>
#include <string>
#include <vector>

namespace {

// Next code point of a UTF-8 string, or 0xFFFD for a broken sequence.
char32_t nextCodePoint(const std::string &text, size_t &i)
{
    const auto byte = [&](size_t k) { return static_cast<unsigned char>(text[k]); };
    const unsigned char lead = byte(i);
    int length = lead < 0x80 ? 1 : (lead >> 5) == 0x6 ? 2 : (lead >> 4) == 0xE ? 3 : (lead >> 3) == 0x1E ? 4 : 0;
    if (length == 0 || i + length > text.size()) {
        ++i;
        return 0xFFFD;
    }
    char32_t c = length == 1 ? lead : lead & (0x7F >> length);
    for (int k = 1; k < length; ++k) {
        c = (c << 6) | (byte(i + k) & 0x3F);
    }
    i += length;
    return c;
}

// Base letters of one reading: tone marks dropped, ü kept as "v" for now.
std::string toneless(const std::string &reading)
{
    static const std::map<char32_t, char> bases
        = {{U'ā', 'a'}, {U'á', 'a'}, {U'ǎ', 'a'}, {U'à', 'a'}, {U'ē', 'e'}, {U'é', 'e'}, {U'ě', 'e'}, {U'è', 'e'},
            {U'ê', 'e'}, {U'ế', 'e'}, {U'ề', 'e'}, {U'ī', 'i'}, {U'í', 'i'}, {U'ǐ', 'i'}, {U'ì', 'i'}, {U'ō', 'o'},
            {U'ó', 'o'}, {U'ǒ', 'o'}, {U'ò', 'o'}, {U'ū', 'u'}, {U'ú', 'u'}, {U'ǔ', 'u'}, {U'ù', 'u'}, {U'ü', 'v'},
            {U'ǖ', 'v'}, {U'ǘ', 'v'}, {U'ǚ', 'v'}, {U'ǜ', 'v'}, {U'ń', 'n'}, {U'ň', 'n'}, {U'ǹ', 'n'}, {U'ḿ', 'm'}};
    std::string plain;
    for (size_t i = 0; i < reading.size();) {
        const char32_t c = nextCodePoint(reading, i);
        if (c >= 0x0300 && c <= 0x036F) {
            continue; // a combining tone mark
        }
        if (c >= 'a' && c <= 'z') {
            plain += char(c);
        } else if (const auto it = bases.find(c); it != bases.end()) {
            plain += it->second;
        } else {
            return {};
        }
    }
    return plain;
}

// The toneless spelling as the program writes it: "ü" in UTF-8.
std::string spelled(const std::string &plain)
{
    std::string out;
    for (const char c : plain) {
        out += c == 'v' ? std::string("\xC3\xBC") : std::string(1, c);
    }
    return out;
}

} // namespace

int main(int argc, char **argv)
{
    if (argc != 3) {
        std::fprintf(stderr, "usage: %s pinyin_dict.go output.cpp\n", argv[0]);
        return 2;
    }
    std::ifstream in(argv[1]);
    if (!in) {
        std::fprintf(stderr, "cannot read %s\n", argv[1]);
        return 1;
    }

    std::map<uint32_t, std::vector<std::string>> entries;
    std::set<std::string> syllables;
    std::string line;
    while (std::getline(in, line)) {
        const size_t hex = line.find("0x");
        const size_t colon = line.find(':', hex == std::string::npos ? 0 : hex);
        const size_t open = line.find('"', colon == std::string::npos ? 0 : colon);
        const size_t close = open == std::string::npos ? open : line.find('"', open + 1);
        if (hex == std::string::npos || colon == std::string::npos || close == std::string::npos) {
            continue;
        }
        const uint32_t codePoint = uint32_t(std::stoul(line.substr(hex + 2, colon - hex - 2), nullptr, 16));
        std::vector<std::string> readings;
        std::stringstream list(line.substr(open + 1, close - open - 1));
        for (std::string reading; std::getline(list, reading, ',');) {
            const std::string plain = toneless(reading);
            if (!plain.empty() && std::find(readings.begin(), readings.end(), plain) == readings.end()) {
                readings.push_back(plain);
                syllables.insert(plain);
            }
        }
        if (!readings.empty()) {
            entries[codePoint] = readings;
        }
    }
    if (entries.size() < 20000) {
        std::fprintf(stderr, "%s holds only %zu readings: not the pinyin table\n", argv[1], entries.size());
        return 1;
    }

    const std::vector<std::string> inventory(syllables.begin(), syllables.end());
    std::map<std::string, int> ids;
    for (size_t i = 0; i < inventory.size(); ++i) {
        ids[inventory[i]] = int(i);
    }

    std::ostringstream out;
    out << "// Generated at build time from " << argv[1] << " (go-pinyin, MIT). Do not edit.\n"
        << "#include \"voice/PinyinTableData.h\"\n\nnamespace PinyinTableData {\n\n"
        << "const int syllableCount = " << inventory.size() << ";\n"
        << "const char *const syllables[] = {\n";
    for (const std::string &syllable : inventory) {
        out << "    \"" << spelled(syllable) << "\",\n";
    }
    out << "};\n\nconst int entryCount = " << entries.size() << ";\nconst uint32_t codePoints[] = {";
    int column = 0;
    const auto wrap = [&] { out << (column++ % 12 == 0 ? "\n    " : " "); };
    for (const auto &[codePoint, readings] : entries) {
        wrap();
        out << "0x" << std::hex << codePoint << std::dec << ",";
    }
    out << "\n};\n// Readings of entry i: readings[readingStart[i]] up to readings[readingStart[i + 1]].\n"
        << "const uint32_t readingStart[] = {";
    column = 0;
    uint32_t start = 0;
    for (const auto &[codePoint, readings] : entries) {
        wrap();
        out << start << ",";
        start += uint32_t(readings.size());
    }
    wrap();
    out << start << ",\n};\nconst uint16_t readings[] = {";
    column = 0;
    for (const auto &[codePoint, readings] : entries) {
        for (const std::string &reading : readings) {
            wrap();
            out << ids[reading] << ",";
        }
    }
    out << "\n};\n\n} // namespace PinyinTableData\n";

    // Written only when different, so an unchanged table does not rebuild the core.
    const std::string text = out.str();
    std::ifstream previous(argv[2], std::ios::binary);
    const std::string old((std::istreambuf_iterator<char>(previous)), std::istreambuf_iterator<char>());
    if (old != text) {
        std::ofstream file(argv[2], std::ios::binary | std::ios::trunc);
        file << text;
        if (!file) {
            std::fprintf(stderr, "cannot write %s\n", argv[2]);
            return 1;
        }
    }
    return 0;
}
