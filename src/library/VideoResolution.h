#pragma once

#include <QList>
#include <QString>

#include <optional>

// Capture quality of a recording; the raw value is also the picker label.
class VideoResolution {
public:
    enum Case { p480, p720, p1080, p2K };

    constexpr VideoResolution(Case value) : m_case(value) { }

    static std::optional<VideoResolution> fromRawValue(const QString &rawValue);
    static QList<VideoResolution> allCases();

    QString rawValue() const;
    QString id() const { return rawValue(); }
    constexpr Case value() const { return m_case; }

    friend constexpr bool operator==(VideoResolution, VideoResolution) = default;

private:
    Case m_case;
};

size_t qHash(VideoResolution option, size_t seed = 0);
