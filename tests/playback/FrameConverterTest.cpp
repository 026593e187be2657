// Decoded frames converted into pictures for the screen: every format and size keeps each
// block of a frame in its colour and place, and pictures are reused only once nobody
// holds them.
#include "playback/platform/FramePresenter.h"
#include "playback/platform/PlanarToScreen.h"
#include "playback/platform/SampleFrame.h"

#include <QImage>
#include <QPainter>
#include <gst/gst.h>
#include <gst/video/video.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdlib>
#include <memory>
#include <random>
#include <set>

namespace kirvano {
namespace {

// A 4 x 2 grid of flat blocks, each its own colour (Y, U, V).
constexpr int kColumns = 4;
constexpr int kRows = 2;
constexpr std::array<std::array<int, 3>, kColumns * kRows> kBlocks{{
    {235, 128, 128}, // white
    {16, 128, 128},  // black
    {63, 102, 240},  // red
    {173, 42, 26},   // green
    {32, 240, 118},  // blue
    {128, 90, 180},
    {200, 150, 60},
    {90, 60, 80},
}};

int BlockAt(int x, int y, int width, int height) {
    return (y * kRows / height) * kColumns + x * kColumns / width;
}

// A frame of the blocks in a YUV format; the chroma of a 4:2:0 sample is its top-left
// luma pixel's block.
std::shared_ptr<const DecodedFrame> BlockFrame(GstVideoFormat format, int width, int height) {
    GstVideoInfo info;
    gst_video_info_set_format(&info, format, static_cast<guint>(width), static_cast<guint>(height));
    info.colorimetry.range = GST_VIDEO_COLOR_RANGE_16_235;
    info.colorimetry.matrix = GST_VIDEO_COLOR_MATRIX_BT709;
    GstBuffer* buffer = gst_buffer_new_allocate(nullptr, GST_VIDEO_INFO_SIZE(&info), nullptr);
    GstVideoFrame frame;
    EXPECT_TRUE(gst_video_frame_map(&frame, &info, buffer, GST_MAP_WRITE));
    const bool semiPlanar = format == GST_VIDEO_FORMAT_NV12;
    for (int y = 0; y < height; ++y) {
        auto* luma = static_cast<guint8*>(GST_VIDEO_FRAME_COMP_DATA(&frame, 0)) +
                     y * GST_VIDEO_FRAME_COMP_STRIDE(&frame, 0);
        for (int x = 0; x < width; ++x)
            luma[x] = static_cast<guint8>(kBlocks[BlockAt(x, y, width, height)][0]);
    }
    for (int y = 0; y < (height + 1) / 2; ++y) {
        for (int x = 0; x < (width + 1) / 2; ++x) {
            const auto& block = kBlocks[BlockAt(2 * x, 2 * y, width, height)];
            for (int c = 1; c <= 2; ++c) {
                auto* line = static_cast<guint8*>(GST_VIDEO_FRAME_COMP_DATA(&frame, c)) +
                             y * GST_VIDEO_FRAME_COMP_STRIDE(&frame, c);
                line[x * (semiPlanar ? 2 : 1)] = static_cast<guint8>(block[c]);
            }
        }
    }
    gst_video_frame_unmap(&frame);
    auto decoded = DecodedFrame::FromBuffer(buffer, info);
    gst_buffer_unref(buffer);
    return decoded;
}

// A block's colour by the BT.709 formulas for video levels, the frames' colours.
QRgb Expected(int block) {
    const double y = (kBlocks[block][0] - 16) * 255.0 / 219.0;
    const double u = (kBlocks[block][1] - 128) * 255.0 / 224.0;
    const double v = (kBlocks[block][2] - 128) * 255.0 / 224.0;
    auto level = [](double value) {
        return static_cast<int>(std::lround(std::clamp(value, 0.0, 255.0)));
    };
    return qRgb(level(y + 1.5748 * v), level(y - 0.1873 * u - 0.4681 * v), level(y + 1.8556 * u));
}

bool Near(QRgb a, QRgb b, int tolerance) {
    return std::abs(qRed(a) - qRed(b)) <= tolerance &&
           std::abs(qGreen(a) - qGreen(b)) <= tolerance &&
           std::abs(qBlue(a) - qBlue(b)) <= tolerance;
}

struct ConversionCase {
    GstVideoFormat format;
    int width, height;       // the frame
    int outWidth, outHeight; // the picture
    int tolerance;           // GStreamer's own converter works to a few levels
};

// Frames of one stream share caps, so their reading is kept; any other caps are read anew,
// also when they come back after others.
TEST(FrameConverter, EachCapsReadsAsItsOwnFormat) {
    gst_init(nullptr, nullptr);
    GstCaps* small = gst_caps_from_string("video/x-raw,format=I420,width=320,height=240");
    GstCaps* large = gst_caps_from_string("video/x-raw,format=NV12,width=1920,height=1080");
    GstCaps* sound = gst_caps_from_string("audio/x-raw,format=S16LE,rate=48000,channels=2");
    const struct {
        GstCaps* caps;
        bool video;
        int width;
        GstVideoFormat format;
    } reads[] = {
        {small, true, 320, GST_VIDEO_FORMAT_I420},  {small, true, 320, GST_VIDEO_FORMAT_I420},
        {large, true, 1920, GST_VIDEO_FORMAT_NV12}, {sound, false, 0, GST_VIDEO_FORMAT_UNKNOWN},
        {small, true, 320, GST_VIDEO_FORMAT_I420},  {nullptr, false, 0, GST_VIDEO_FORMAT_UNKNOWN},
        {large, true, 1920, GST_VIDEO_FORMAT_NV12},
    };
    int n = 0;
    for (const auto& r : reads) {
        SCOPED_TRACE(n++);
        GstVideoInfo info;
        gst_video_info_init(&info);
        ASSERT_EQ(VideoInfoOfCaps(r.caps, info), r.video);
        if (r.video) {
            EXPECT_EQ(GST_VIDEO_INFO_WIDTH(&info), r.width);
            EXPECT_EQ(GST_VIDEO_INFO_FORMAT(&info), r.format);
        }
    }
    for (GstCaps* caps : {small, large, sound})
        gst_caps_unref(caps);
}

TEST(FrameConverter, PicturesKeepEveryBlockInItsColourAndPlace) {
    gst_init(nullptr, nullptr);
    const ConversionCase cases[] = {
        {GST_VIDEO_FORMAT_I420, 1920, 1080, 656, 369, 2}, // the main video of the first layout
        {GST_VIDEO_FORMAT_I420, 1280, 720, 98, 55, 2},    // the docked rear strip
        {GST_VIDEO_FORMAT_I420, 1280, 720, 451, 253, 2},  // odd width and height
        {GST_VIDEO_FORMAT_YV12, 640, 360, 320, 181, 2},   // chroma planes the other way round
        {GST_VIDEO_FORMAT_NV12, 640, 360, 320, 180, 6},   // GStreamer's converter
        {GST_VIDEO_FORMAT_I420, 640, 360, 640, 360, 6},   // native size (a snapshot)
        {GST_VIDEO_FORMAT_I420, 320, 180, 400, 180, 6},   // wider than the frame
    };
    for (const ConversionCase& c : cases) {
        SCOPED_TRACE(std::string(gst_video_format_to_string(c.format)) + " " +
                     std::to_string(c.outWidth) + "x" + std::to_string(c.outHeight));
        const auto frame = BlockFrame(c.format, c.width, c.height);
        ASSERT_NE(frame, nullptr);
        FrameConverter converter;
        // Twice, so that a kept converter is used again.
        for (int round = 0; round < 2; ++round) {
            const QImage picture = converter.Convert(*frame, {c.outWidth, c.outHeight});
            ASSERT_EQ(picture.size(), QSize(c.outWidth, c.outHeight));
            int wrong = 0;
            for (int y = 0; y < c.outHeight; ++y) {
                for (int x = 0; x < c.outWidth; ++x) {
                    // Pixels beside a block's edge may take the neighbour's colour.
                    const int block = BlockAt(x, y, c.outWidth, c.outHeight);
                    if (BlockAt(x + 2, y + 2, c.outWidth, c.outHeight) != block ||
                        BlockAt(x - 2 < 0 ? 0 : x - 2, y - 2 < 0 ? 0 : y - 2, c.outWidth,
                                c.outHeight) != block)
                        continue;
                    wrong += Near(picture.pixel(x, y), Expected(block), c.tolerance) ? 0 : 1;
                }
            }
            EXPECT_EQ(wrong, 0);
        }
    }
}

TEST(FrameConverter, EveryPixelOfARowTakesItsOwnSamples) {
    // Random samples, so that a pixel taking its neighbour's samples shows; widths past
    // and between whole groups of sixteen.
    GstVideoInfo info;
    gst_video_info_set_format(&info, GST_VIDEO_FORMAT_I420, 64, 64);
    info.colorimetry.range = GST_VIDEO_COLOR_RANGE_16_235;
    info.colorimetry.matrix = GST_VIDEO_COLOR_MATRIX_BT709;
    YuvFactors factors;
    ASSERT_TRUE(YuvFactorsOf(info, factors));
    std::mt19937 random(7);
    for (int width : {1, 15, 16, 17, 33, 48}) {
        std::vector<std::uint8_t> y(static_cast<std::size_t>(width) + 16);
        std::vector<std::uint8_t> u(y.size() / 2 + 16);
        std::vector<std::uint8_t> v(u.size());
        for (auto* row : {&y, &u, &v})
            for (auto& sample : *row)
                sample = static_cast<std::uint8_t>(random() % 256);
        std::vector<std::uint32_t> out(static_cast<std::size_t>(width));
        YuvRowToRgb32(y.data(), u.data(), v.data(), out.data(), width, factors);
        for (int x = 0; x < width; ++x) {
            const double luma = (y[x] - 16) * 255.0 / 219.0;
            const double cu = (u[x / 2] - 128) * 255.0 / 224.0;
            const double cv = (v[x / 2] - 128) * 255.0 / 224.0;
            auto level = [](double value) {
                return static_cast<int>(std::lround(std::clamp(value, 0.0, 255.0)));
            };
            const QRgb expected =
                qRgb(level(luma + 1.5748 * cv), level(luma - 0.1873 * cu - 0.4681 * cv),
                     level(luma + 1.8556 * cu));
            EXPECT_TRUE(Near(out[x], expected, 2))
                << "width " << width << " pixel " << x << std::hex << " got " << out[x]
                << " expected " << expected;
            EXPECT_EQ(qAlpha(out[x]), 255);
        }
    }
}

// The nearest of `from` samples to place i of `to`, at the places' centres.
int Nearest(int i, int from, int to) {
    return static_cast<int>(((2LL * i + 1) * from) / (2LL * to));
}

TEST(PlanarToScreen, EveryPixelTakesItsNearestSamples) {
    gst_init(nullptr, nullptr);
    // Noise in every plane, so that a sample taken from a neighbouring column or line
    // shows; sizes whose samples lie one to four 16-byte loads apart, and farther.
    struct Size {
        int width, height, outWidth, outHeight;
    };
    const Size sizes[] = {{1920, 1080, 656, 369}, {1280, 720, 656, 369},    {1280, 720, 427, 240},
                          {1920, 1080, 540, 304}, {1920, 1080, 1919, 1079}, {1280, 720, 98, 55},
                          {33, 17, 16, 9}};
    std::mt19937 random(11);
    for (const Size& size : sizes) {
        SCOPED_TRACE(std::to_string(size.width) + " to " + std::to_string(size.outWidth));
        GstVideoInfo info;
        gst_video_info_set_format(&info, GST_VIDEO_FORMAT_I420, static_cast<guint>(size.width),
                                  static_cast<guint>(size.height));
        info.colorimetry.range = GST_VIDEO_COLOR_RANGE_16_235;
        info.colorimetry.matrix = GST_VIDEO_COLOR_MATRIX_BT709;
        GstBuffer* buffer = gst_buffer_new_allocate(nullptr, GST_VIDEO_INFO_SIZE(&info), nullptr);
        GstVideoFrame frame;
        ASSERT_TRUE(gst_video_frame_map(&frame, &info, buffer, GST_MAP_READWRITE));
        auto sample = [&](int plane, int x, int y) -> guint8& {
            return static_cast<guint8*>(GST_VIDEO_FRAME_COMP_DATA(
                &frame, plane))[y * GST_VIDEO_FRAME_COMP_STRIDE(&frame, plane) + x];
        };
        for (int plane = 0; plane < 3; ++plane)
            for (int y = 0; y < GST_VIDEO_FRAME_COMP_HEIGHT(&frame, plane); ++y)
                for (int x = 0; x < GST_VIDEO_FRAME_COMP_WIDTH(&frame, plane); ++x)
                    sample(plane, x, y) = static_cast<guint8>(random() % 256);
        QImage picture(size.outWidth, size.outHeight, QImage::Format_RGB32);
        PlanarToScreen converter;
        ASSERT_TRUE(converter.Convert(frame, picture));
        const int chromaWidth = (size.width + 1) / 2;
        const int chromaHeight = (size.height + 1) / 2;
        int wrong = 0;
        for (int y = 0; y < size.outHeight; ++y) {
            for (int x = 0; x < size.outWidth; ++x) {
                // Two picture columns and lines share a chroma sample.
                const int cx = Nearest(x / 2, chromaWidth, (size.outWidth + 1) / 2);
                const int cy = Nearest(y / 2, chromaHeight, (size.outHeight + 1) / 2);
                const double luma = (sample(0, Nearest(x, size.width, size.outWidth),
                                            Nearest(y, size.height, size.outHeight)) -
                                     16) *
                                    255.0 / 219.0;
                const double cu = (sample(1, cx, cy) - 128) * 255.0 / 224.0;
                const double cv = (sample(2, cx, cy) - 128) * 255.0 / 224.0;
                auto level = [](double value) {
                    return static_cast<int>(std::lround(std::clamp(value, 0.0, 255.0)));
                };
                const QRgb expected =
                    qRgb(level(luma + 1.5748 * cv), level(luma - 0.1873 * cu - 0.4681 * cv),
                         level(luma + 1.8556 * cu));
                wrong += Near(picture.pixel(x, y), expected, 2) ? 0 : 1;
            }
        }
        EXPECT_EQ(wrong, 0);
        gst_video_frame_unmap(&frame);
        gst_buffer_unref(buffer);
    }
}

// A flat grey 64 x 36 I420 frame of luma `y` at `pts`, written into `buffer` when given.
GstBuffer* GreyFrame(int y, GstClockTime pts, GstBuffer* buffer = nullptr) {
    GstVideoInfo info;
    gst_video_info_set_format(&info, GST_VIDEO_FORMAT_I420, 64, 36);
    if (buffer == nullptr)
        buffer = gst_buffer_new_allocate(nullptr, GST_VIDEO_INFO_SIZE(&info), nullptr);
    GstMapInfo map;
    EXPECT_TRUE(gst_buffer_map(buffer, &map, GST_MAP_WRITE));
    std::fill(map.data, map.data + GST_VIDEO_INFO_COMP_OFFSET(&info, 1), static_cast<guint8>(y));
    std::fill(map.data + GST_VIDEO_INFO_COMP_OFFSET(&info, 1), map.data + map.size, 128);
    gst_buffer_unmap(buffer, &map);
    GST_BUFFER_PTS(buffer) = pts;
    return buffer;
}

TEST(FramePresenter, PicturesMadeAsFramesLeaveTheDecoderShowTheirOwnFrame) {
    // The decoder runs ahead of the sink; frames are dropped on the way, and a buffer
    // comes back from the pool with another frame in it. Whatever was converted early, the
    // window shows the frame the sink handed over.
    gst_init(nullptr, nullptr);
    GstVideoInfo info;
    gst_video_info_set_format(&info, GST_VIDEO_FORMAT_I420, 64, 36);
    info.colorimetry.range = GST_VIDEO_COLOR_RANGE_16_235;
    info.colorimetry.matrix = GST_VIDEO_COLOR_MATRIX_BT709;
    FramePresenter presenter;
    presenter.SetDestination(ViewRect{0, 0, 32, 18}, false);
    auto shownGrey = [&](GstBuffer* buffer) {
        presenter.Prepare(buffer, info);
        presenter.SetFrame(DecodedFrame::FromBuffer(buffer, info), 0);
        QImage screen(32, 18, QImage::Format_RGB32);
        QPainter painter(&screen);
        presenter.Paint(painter, screen.rect());
        painter.end();
        return qRed(screen.pixel(16, 9));
    };
    auto grey = [](int y) { return static_cast<int>(std::lround((y - 16) * 255.0 / 219.0)); };
    constexpr GstClockTime kFrame = 33 * GST_MSECOND;
    const int lumas[] = {40, 80, 120, 160, 200};
    std::vector<GstBuffer*> buffers;
    for (int n = 0; n < 5; ++n) {
        buffers.push_back(GreyFrame(lumas[n], n * kFrame));
        presenter.PrepareDecoded(buffers.back(), info);
    }
    EXPECT_NEAR(shownGrey(buffers[0]), grey(40), 2); // no longer kept: converted again
    EXPECT_NEAR(shownGrey(buffers[1]), grey(80), 2);
    EXPECT_NEAR(shownGrey(buffers[3]), grey(160), 2); // the frame before it was dropped
    // Frame 2's buffer comes back with a later frame that was not converted early: the
    // picture kept for the old frame in that buffer must not be shown.
    presenter.PrepareDecoded(GreyFrame(60, 9 * kFrame, buffers[2]), info);
    GreyFrame(220, 10 * kFrame, buffers[2]);
    EXPECT_NEAR(shownGrey(buffers[4]), grey(200), 2);
    EXPECT_NEAR(shownGrey(buffers[2]), grey(220), 2);
    presenter.ClearFrame();
    for (GstBuffer* buffer : buffers)
        gst_buffer_unref(buffer);
}

TEST(PictureRing, APictureSomebodyHoldsIsNeverWrittenAgain) {
    PictureRing ring;
    const QSize size(64, 36);
    std::set<const uchar*> held;
    std::array<QImage, 3> holders;
    for (QImage& holder : holders) {
        QImage& picture = ring.Free(size);
        EXPECT_TRUE(picture.isDetached());
        EXPECT_EQ(held.count(picture.constBits()), 0u);
        picture.fill(Qt::red);
        holder = picture;
        held.insert(holder.constBits());
    }
    // Every picture of the ring is held: the next one is a new picture.
    QImage& extra = ring.Free(size);
    EXPECT_EQ(held.count(extra.constBits()), 0u);
    extra.fill(Qt::blue);
    const QImage heldExtra = extra;
    for (const QImage& holder : holders)
        EXPECT_EQ(holder.pixel(0, 0), qRgb(255, 0, 0));
    // Once let go of, a picture is used again, and another size gets its own.
    const uchar* released = holders[1].constBits();
    holders[1] = QImage();
    EXPECT_EQ(ring.Free(size).constBits(), released);
    EXPECT_EQ(ring.Free({32, 18}).size(), QSize(32, 18));
}

} // namespace
} // namespace kirvano
