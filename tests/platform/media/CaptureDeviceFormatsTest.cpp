#include "platform/media/CaptureDeviceFormats.h"

#include <gtest/gtest.h>

namespace {

GstCapsPtr caps(const char *description)
{
    return GstCapsPtr(gst_caps_from_string(description));
}

// A USB 2.0 webcam: raw frames are slow at the large sizes, JPEG is not.
const char *usbWebcam = "video/x-raw,format=YUY2,width=1920,height=1080,framerate={5/1};"
                        "video/x-raw,format=YUY2,width=1280,height=720,framerate={10/1,5/1};"
                        "video/x-raw,format=YUY2,width=640,height=480,framerate=[5/1,30/1];"
                        "image/jpeg,width=1920,height=1080,framerate={30/1,15/1};"
                        "image/jpeg,width=1280,height=720,framerate={30/1,15/1};"
                        "image/jpeg,width=640,height=480,framerate={30/1}";

} // namespace

TEST(CaptureDeviceFormats, EachSizeComesInTheFormatThatKeeps30Fps)
{
    const GstCapsPtr webcam = caps(usbWebcam);
    const CaptureMode fullHd = *CaptureDeviceFormats::modeFor(webcam.get(), {1920, 1080});
    EXPECT_EQ(fullHd.encoding, CaptureEncoding::jpeg);
    EXPECT_DOUBLE_EQ(fullHd.framesPerSecond, 30);
    EXPECT_EQ(CaptureDeviceFormats::modeFor(webcam.get(), {1280, 720})->encoding, CaptureEncoding::jpeg);
    const CaptureMode vga = *CaptureDeviceFormats::modeFor(webcam.get(), {640, 480});
    EXPECT_EQ(vga.encoding, CaptureEncoding::raw) << "raw wherever it reaches 30 fps";
    EXPECT_DOUBLE_EQ(vga.framesPerSecond, 30);
    EXPECT_FALSE(CaptureDeviceFormats::modeFor(webcam.get(), {3840, 2160}).has_value());

    // Only slow formats: the faster one, never below what another gives.
    const GstCapsPtr slow = caps("video/x-raw,format=NV12,width=1920,height=1080,framerate=10/1;"
                                 "image/jpeg,width=1920,height=1080,framerate=15/1");
    const CaptureMode best = *CaptureDeviceFormats::modeFor(slow.get(), {1920, 1080});
    EXPECT_EQ(best.encoding, CaptureEncoding::jpeg);
    EXPECT_DOUBLE_EQ(best.framesPerSecond, 15);

    // 29.97 fps is 30 fps; a camera that names no rate is taken at its word.
    const GstCapsPtr ntsc = caps("video/x-raw,format=YUY2,width=1280,height=720,framerate=30000/1001");
    EXPECT_EQ(CaptureDeviceFormats::modeFor(ntsc.get(), {1280, 720})->encoding, CaptureEncoding::raw);
    EXPECT_EQ(CaptureDeviceFormats::modeFor(nullptr, {1280, 720})->encoding, CaptureEncoding::raw);
}

TEST(CaptureDeviceFormats, PresetsAskForTheBestModeTheCameraHas)
{
    const GstCapsPtr webcam = caps(usbWebcam);
    const CaptureMode high = CaptureDeviceFormats::modeForPreset(webcam.get(), SessionPreset::high);
    EXPECT_EQ(high.size, QSize(1920, 1080)) << "the default 1080p take needs no camera restart";
    EXPECT_EQ(high.encoding, CaptureEncoding::jpeg);
    // 4K is missing: the best below it.
    EXPECT_EQ(CaptureDeviceFormats::modeForPreset(webcam.get(), SessionPreset::p3840x2160).size, QSize(1920, 1080));

    // Only 1080p at 5 fps besides 720p at 30: high keeps 30 fps.
    const GstCapsPtr rawOnly = caps("video/x-raw,format=YUY2,width=1920,height=1080,framerate=5/1;"
                                    "video/x-raw,format=YUY2,width=1280,height=720,framerate=30/1");
    EXPECT_EQ(CaptureDeviceFormats::modeForPreset(rawOnly.get(), SessionPreset::high).size, QSize(1280, 720));
    EXPECT_EQ(CaptureDeviceFormats::modeForPreset(rawOnly.get(), SessionPreset::p1920x1080).size, QSize(1920, 1080))
        << "an explicit size is kept even when slow";

    // A camera with 1080p only: asked for less, it gives what it has.
    const GstCapsPtr fullHdOnly = caps("image/jpeg,width=1920,height=1080,framerate=30/1");
    const CaptureMode small = CaptureDeviceFormats::modeForPreset(fullHdOnly.get(), SessionPreset::p640x480);
    EXPECT_EQ(small.size, QSize(1920, 1080));
    EXPECT_EQ(small.encoding, CaptureEncoding::jpeg);
    // Nothing of the usual sizes: its own size, in its own encoding.
    const GstCapsPtr odd = caps("image/jpeg,width=800,height=600,framerate=30/1");
    const CaptureMode oddMode = CaptureDeviceFormats::modeForPreset(odd.get(), SessionPreset::high);
    EXPECT_TRUE(oddMode.size.isEmpty());
    EXPECT_EQ(oddMode.encoding, CaptureEncoding::jpeg);
}

TEST(CaptureDeviceFormats, SourceCapsAskForTheSizeAt30FpsFirst)
{
    const GstCapsPtr jpeg = CaptureDeviceFormats::sourceCaps({QSize(1920, 1080), CaptureEncoding::jpeg, 30});
    ASSERT_EQ(gst_caps_get_size(jpeg.get()), 2u);
    const GstCapsPtr wanted = caps("image/jpeg,width=1920,height=1080,framerate=30/1");
    EXPECT_TRUE(gst_caps_is_subset(wanted.get(), jpeg.get()));
    const GstCapsPtr slow = caps("image/jpeg,width=1920,height=1080,framerate=15/1");
    EXPECT_TRUE(gst_caps_can_intersect(slow.get(), jpeg.get())) << "a slower camera still starts";
    const GstCapsPtr other = caps("image/jpeg,width=1280,height=720,framerate=30/1");
    EXPECT_FALSE(gst_caps_can_intersect(other.get(), jpeg.get())) << "the size is never left free";
    const GstCapsPtr raw = CaptureDeviceFormats::sourceCaps({QSize(640, 480), CaptureEncoding::raw, 30});
    EXPECT_STREQ(gst_structure_get_name(gst_caps_get_structure(raw.get(), 0)), "video/x-raw");
}

TEST(CaptureDeviceFormats, GreyOnlyCamerasOfferNoColour)
{
    const GstCapsPtr infrared = caps("video/x-raw,format=GRAY8,width=640,height=360,framerate=15/1;"
                                     "video/x-raw,format={GRAY16_LE},width=640,height=360,framerate=15/1");
    EXPECT_FALSE(CaptureDeviceFormats::offersColour(infrared.get()));
    EXPECT_FALSE(CaptureDeviceFormats::modeFor(infrared.get(), {640, 360}).has_value())
        << "grey frames never count as a size the camera gives";
    const GstCapsPtr mixed = caps("video/x-raw,format={GRAY8,YUY2},width=640,height=480,framerate=30/1");
    EXPECT_TRUE(CaptureDeviceFormats::offersColour(mixed.get()));
    EXPECT_TRUE(CaptureDeviceFormats::offersColour(caps(usbWebcam).get()));
    EXPECT_TRUE(CaptureDeviceFormats::offersColour(caps("image/jpeg,width=640,height=480").get()));
    EXPECT_TRUE(CaptureDeviceFormats::offersColour(nullptr));
}
