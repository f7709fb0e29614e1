#pragma once

#include <cstddef>
#include <vector>

// Keeps the spoken command phrases (停止录制, 开始录…) out of the syllables
// that move the text. A syllable that may begin a phrase is held until the
// next one shows whether it does; a whole phrase is dropped.
class CommandSyllableFilter {
public:
    CommandSyllableFilter();

    // The syllables that are certainly not part of a phrase, `id` included
    // once that is known.
    std::vector<int> push(int id);
    // Lets the held syllables go: nothing followed them.
    std::vector<int> flush();
    bool isHolding() const { return !m_held.empty(); }
    void clear() { m_held.clear(); }

private:
    // Whether the held syllables from `from` on are a whole phrase (`whole`),
    // or the beginning of a longer one.
    bool begins(size_t from, bool whole) const;

    std::vector<std::vector<int>> m_phrases;
    std::vector<int> m_held;
};
