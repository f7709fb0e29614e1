#pragma once

#include <QString>
#include <QStringView>

#include <vector>

// The recognizer's running transcript as toneless syllable ids. The
// transcript is toned pinyin run together ("duìwǒzuòle jièshàome"), capital
// letters for spoken letters, and the Hanzi labels of commands heard; the
// labels and anything else that is not pinyin are passed over.
class TranscriptSyllables {
public:
    // Syllables of a whole text. An initial at the very end ("…zh") is not a
    // syllable yet: its final is still to come.
    static std::vector<int> parse(QStringView text);

    // What `text` adds to the transcript taken before. A text that does not
    // continue the one before comes from a new recognition task, which starts
    // empty: all of it is new.
    std::vector<int> take(const QString &text);
    // Takes `text` as already heard, reporting nothing.
    void skip(const QString &text);
    void clear();

private:
    QString m_text;
    // The run of pinyin at the end of m_text may still grow and be split
    // differently; it is parsed again with what follows.
    int m_openRunStart = 0;
    std::vector<int> m_openRunIds;
};
