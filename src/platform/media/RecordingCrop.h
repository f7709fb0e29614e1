#pragma once

#include <QRect>
#include <QSize>

#include <gst/gst.h>

#include <optional>

// Cuts a take's pictures to its ratio on their way to the encoder, so the file
// is written at its final size from the first frame. The preview never passes
// through it.
class RecordingCrop {
public:
    // The part of a `source` picture a take at `ratio` keeps, with even sizes;
    // none when the picture has the ratio already (no crop element at all).
    static std::optional<QRect> rectFor(QSize source, double ratio);

    // A videocrop cutting `rect` out of pictures of `source` size. Should the
    // camera deliver another size after all, the crop follows it, recomputed
    // for `ratio`, before the first picture of that size goes through.
    static GstElement *makeElement(QSize source, const QRect &rect, double ratio);

private:
    static void apply(GstElement *crop, QSize source, const QRect &rect);
};
