#pragma once

#include <QString>
#include <QStringList>

#include <vector>

// Speech of a real speaker for the voice tests and benchmarks: the shared
// recordings of single Mandarin words (one mp3 per word), decoded to 16 kHz
// mono and joined into phrases as a speaker says them.
//
// A phrase's text is Hanzi with spaces between words. A space is a short gap,
// "，" "、" a pause, "。" "？" "！" a longer one, "+" joins two words with no
// gap. A word the recordings lack is made of the longest recorded words it
// starts with, joined with no gap ("录制" is 录+制), as one word is said.
namespace RealSpeech {

constexpr int sampleRate = 16000;

QString wordsDir();
bool available();
// Every recorded word, in the folder's order.
QStringList vocabulary();
bool hasWord(const QString &word);

// A recorded word's voice, its quiet before and after cut off, peaks at a
// common level; empty for a word not recorded or not decoded.
std::vector<float> word(const QString &word);

// The recorded words `text` is made of, in order; a character no recorded word
// holds is kept alone, and `missing` says which.
QStringList wordsOf(const QString &text, QString *missing = nullptr);

struct Spoken {
    std::vector<float> samples;
    // Where each word's voice begins and ends in `samples`, in seconds, and its Han characters.
    std::vector<double> wordStarts;
    std::vector<double> wordEnds;
    QStringList words;
    QString missing; // characters the recordings lack; nothing was said for them
};

// The phrase said with `leadSeconds` of quiet before and `tailSeconds` after.
Spoken say(const QString &text, double leadSeconds = 0.5, double tailSeconds = 1.0);

// The conditions of the evaluation: the clean clip, a quarter faster and
// slower, three semitones higher and lower, a reverberant room, pink noise
// 15 dB below the speech, and 20 dB quieter over a faint hiss.
QStringList conditions();
// `samples` in that condition; `variant` varies the noise. Empty when sox
// fails on a condition that needs it.
std::vector<float> inCondition(const std::vector<float> &samples, const QString &condition, int variant = 0);

// A clip of the phrase in the condition as a 16-bit WAV file, made once per
// build tree and found again by later runs; empty when it cannot be made.
QString clip(const QString &text, const QString &condition = QStringLiteral("clean"));

bool writeWav(const QString &path, const std::vector<float> &samples);

} // namespace RealSpeech
