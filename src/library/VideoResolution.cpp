#include "library/VideoResolution.h"

#include "library/OptionSet.h"

#include <QHashFunctions>

std::optional<VideoResolution> VideoResolution::fromRawValue(const QString &rawValue)
{
    return optionFromRawValue<VideoResolution>(rawValue);
}

QList<VideoResolution> VideoResolution::allCases()
{
    return {p480, p720, p1080, p2K};
}

QString VideoResolution::rawValue() const
{
    switch (m_case) {
    case p480:
        return QStringLiteral("480p");
    case p720:
        return QStringLiteral("720p");
    case p1080:
        return QStringLiteral("1080p");
    case p2K:
        return QStringLiteral("2K");
    }
    return {};
}

size_t qHash(VideoResolution option, size_t seed)
{
    return qHash(option.rawValue(), seed);
}
