#include "library/TeleprompterFont.h"

#include "library/OptionSet.h"

#include <QHashFunctions>

std::optional<TeleprompterFont> TeleprompterFont::fromRawValue(const QString &rawValue)
{
    return optionFromRawValue<TeleprompterFont>(rawValue);
}

QList<TeleprompterFont> TeleprompterFont::allCases()
{
    return {system, pingFang, heiti, songti, kaiti, helvetica, menlo};
}

QString TeleprompterFont::rawValue() const
{
    switch (m_case) {
    case system:
        return QStringLiteral("系统默认");
    case pingFang:
        return QStringLiteral("苹方");
    case heiti:
        return QStringLiteral("黑体");
    case songti:
        return QStringLiteral("宋体");
    case kaiti:
        return QStringLiteral("楷体");
    case helvetica:
        return QStringLiteral("Helvetica");
    case menlo:
        return QStringLiteral("Menlo");
    }
    return {};
}

std::optional<QString> TeleprompterFont::fontName() const
{
    switch (m_case) {
    case system:
        return std::nullopt;
    case pingFang:
        return QStringLiteral("PingFangSC-Medium");
    case heiti:
        return QStringLiteral("STHeitiSC-Medium");
    case songti:
        return QStringLiteral("STSongti-SC-Regular");
    case kaiti:
        return QStringLiteral("STKaitiSC-Regular");
    case helvetica:
        return QStringLiteral("Helvetica");
    case menlo:
        return QStringLiteral("Menlo-Regular");
    }
    return std::nullopt;
}

size_t qHash(TeleprompterFont option, size_t seed)
{
    return qHash(option.rawValue(), seed);
}
