#pragma once

#include <QList>
#include <QString>

#include <optional>

// Framing and crop ratio of a recording; the raw value is also the picker label.
class VideoAspectRatio {
public:
    enum Case { ratio1x1, ratio4x3, ratio16x9, ratio9x16 };

    constexpr VideoAspectRatio(Case value) : m_case(value) { }

    static std::optional<VideoAspectRatio> fromRawValue(const QString &rawValue);
    static QList<VideoAspectRatio> allCases();

    QString rawValue() const;
    QString id() const { return rawValue(); }
    double ratio() const; // width / height
    constexpr Case value() const { return m_case; }

    friend constexpr bool operator==(VideoAspectRatio, VideoAspectRatio) = default;

private:
    Case m_case;
};

size_t qHash(VideoAspectRatio option, size_t seed = 0);
