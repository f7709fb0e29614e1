#include "library/VideoAspectRatio.h"

#include "library/OptionSet.h"

#include <QHashFunctions>

std::optional<VideoAspectRatio> VideoAspectRatio::fromRawValue(const QString &rawValue)
{
    return optionFromRawValue<VideoAspectRatio>(rawValue);
}

QList<VideoAspectRatio> VideoAspectRatio::allCases()
{
    return {ratio1x1, ratio4x3, ratio16x9, ratio9x16};
}

QString VideoAspectRatio::rawValue() const
{
    switch (m_case) {
    case ratio1x1:
        return QStringLiteral("1:1");
    case ratio4x3:
        return QStringLiteral("4:3");
    case ratio16x9:
        return QStringLiteral("16:9");
    case ratio9x16:
        return QStringLiteral("9:16");
    }
    return {};
}

double VideoAspectRatio::ratio() const
{
    switch (m_case) {
    case ratio1x1:
        return 1.0;
    case ratio4x3:
        return 4.0 / 3.0;
    case ratio16x9:
        return 16.0 / 9.0;
    case ratio9x16:
        return 9.0 / 16.0;
    }
    return 1.0;
}

size_t qHash(VideoAspectRatio option, size_t seed)
{
    return qHash(option.rawValue(), seed);
}
