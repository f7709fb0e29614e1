#pragma once

#include <QSizeF>
#include <QString>

// How a video track is meant to be shown: the turn and mirror that a player
// applies to the stored picture. Read from the track's "image-orientation" tag.
class DisplayTransform {
public:
    enum Case { identity, rotate90, rotate180, rotate270, flipRotate0, flipRotate90, flipRotate180, flipRotate270 };

    constexpr DisplayTransform(Case value = identity) : m_case(value) { }

    // "rotate-90", "flip-rotate-0", ...; anything unknown counts as identity.
    static DisplayTransform fromOrientationTag(const QString &tag);

    bool swapsWidthAndHeight() const;
    // The stored size as it appears on screen.
    QSizeF apply(QSizeF naturalSize) const;
    constexpr Case value() const { return m_case; }

    friend constexpr bool operator==(DisplayTransform, DisplayTransform) = default;

private:
    Case m_case;
};
