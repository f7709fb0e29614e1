#include "platform/speech/SpeechKeywords.h"

const QList<SpeechKeyword> &SpeechKeywords::all()
{
    // Stop phrases first, as command detection tests them. The stop phrases
    // get a lower bar than the start phrases: a missed stop is repeated by the
    // speaker, an accidental start records something nobody wanted. Measured
    // with bench/voice_bench.cpp.
    static const QList<SpeechKeyword> keywords = {
        {QStringLiteral("停止录制"), QStringLiteral("t íng zh ǐ l ù zh ì"), 3.0, 0.05},
        {QStringLiteral("结束录制"), QStringLiteral("j ié sh ù l ù zh ì"), 3.0, 0.05},
        {QStringLiteral("停止录像"), QStringLiteral("t íng zh ǐ l ù x iàng"), 3.0, 0.05},
        {QStringLiteral("结束录像"), QStringLiteral("j ié sh ù l ù x iàng"), 3.0, 0.05},
        {QStringLiteral("停止录"), QStringLiteral("t íng zh ǐ l ù"), 3.0, 0.05},
        {QStringLiteral("结束录"), QStringLiteral("j ié sh ù l ù"), 3.0, 0.05},
        {QStringLiteral("开始录制"), QStringLiteral("k āi sh ǐ l ù zh ì"), 1.0, 0.25},
        {QStringLiteral("开始录像"), QStringLiteral("k āi sh ǐ l ù x iàng"), 1.0, 0.25},
        {QStringLiteral("开始录"), QStringLiteral("k āi sh ǐ l ù"), 1.0, 0.25},
    };
    return keywords;
}

QByteArray SpeechKeywords::spotterLines()
{
    // The four-syllable stop phrases are also spotted by their last three
    // syllables: the first is the one most often misheard, and "止录制" or
    // "束录像" hardly occur in other speech.
    static const QList<SpeechKeyword> stopTails = {
        {QStringLiteral("停止录制"), QStringLiteral("zh ǐ l ù zh ì"), 3.0, 0.05},
        {QStringLiteral("结束录制"), QStringLiteral("sh ù l ù zh ì"), 3.0, 0.05},
        {QStringLiteral("停止录像"), QStringLiteral("zh ǐ l ù x iàng"), 3.0, 0.05},
        {QStringLiteral("结束录像"), QStringLiteral("sh ù l ù x iàng"), 3.0, 0.05},
    };
    QString text;
    for (const SpeechKeyword &keyword : all() + stopTails) {
        text += QStringLiteral("%1 :%2 #%3 @%4\n")
                    .arg(keyword.tokens)
                    .arg(keyword.boostScore)
                    .arg(keyword.threshold)
                    .arg(keyword.label);
    }
    return text.toUtf8();
}

bool SpeechKeywords::isStop(const QString &label)
{
    return label.startsWith(QStringLiteral("停止")) || label.startsWith(QStringLiteral("结束"));
}

QString SpeechKeywords::toneless(const QString &token)
{
    // Canonical decomposition splits "ǐ" into "i" + combining caron; the marks
    // are then dropped. "ü" keeps its diaeresis: lü and lu differ.
    const QString decomposed = token.normalized(QString::NormalizationForm_D);
    QString plain;
    for (const QChar c : decomposed) {
        const ushort code = c.unicode();
        const bool toneMark = code == 0x0300 || code == 0x0301 || code == 0x0304 || code == 0x030C;
        if (!toneMark) {
            plain += c;
        }
    }
    return plain.normalized(QString::NormalizationForm_C);
}

QStringList SpeechKeywords::tonelessTokens(const QString &tokens)
{
    QStringList result;
    for (const QString &token : tokens.split(QLatin1Char(' '), Qt::SkipEmptyParts)) {
        result << toneless(token);
    }
    return result;
}
