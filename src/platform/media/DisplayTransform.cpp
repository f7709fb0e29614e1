#include "platform/media/DisplayTransform.h"

#include <array>
#include <utility>

namespace {
constexpr std::array<std::pair<DisplayTransform::Case, const char *>, 8> tags{{
    {DisplayTransform::identity, "rotate-0"},
    {DisplayTransform::rotate90, "rotate-90"},
    {DisplayTransform::rotate180, "rotate-180"},
    {DisplayTransform::rotate270, "rotate-270"},
    {DisplayTransform::flipRotate0, "flip-rotate-0"},
    {DisplayTransform::flipRotate90, "flip-rotate-90"},
    {DisplayTransform::flipRotate180, "flip-rotate-180"},
    {DisplayTransform::flipRotate270, "flip-rotate-270"},
}};
} // namespace

DisplayTransform DisplayTransform::fromOrientationTag(const QString &tag)
{
    for (const auto &[value, text] : tags) {
        if (tag == QLatin1String(text)) {
            return value;
        }
    }
    return identity;
}

bool DisplayTransform::swapsWidthAndHeight() const
{
    switch (m_case) {
    case rotate90:
    case rotate270:
    case flipRotate90:
    case flipRotate270:
        return true;
    default:
        return false;
    }
}

QSizeF DisplayTransform::apply(QSizeF naturalSize) const
{
    return swapsWidthAndHeight() ? naturalSize.transposed() : naturalSize;
}
