#pragma once

#include <QSize>

// Sizes of the video list, in logical pixels; its colours are UiStyle's.
class VideoListStyle {
public:
    static constexpr QSize thumbnailSize{120, 68};
    static constexpr double thumbnailCornerRadius = 6.0;
    static constexpr int placeholderIconSize = 24;
    static constexpr int itemSpacing = 12;
    static constexpr int rowExtraVerticalSpace = 4;
    static constexpr int rowPadding = 6; // the list's own inset around each row
    static constexpr int rowInset = 16; // left and right, inset list look
    static constexpr int lineSpacing = 4;
    static constexpr int buttonSpacing = 8;
    static constexpr int buttonSize = 28;
    static constexpr int buttonIconSize = 16;

    static constexpr int rowHeight() { return thumbnailSize.height() + 2 * rowExtraVerticalSpace + 2 * rowPadding; }
};
