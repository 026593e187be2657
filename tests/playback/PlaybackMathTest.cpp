// Conversions, rate tables, the rear engine's factor and the display rectangle.
#include "playback/PlaybackMath.h"

#include <gtest/gtest.h>

namespace kirvano {
namespace {

TEST(PlaybackMath, FramesAndMediaTime) {
    struct Case {
        float frameMs;
        std::int64_t frame;
        std::int64_t mediaTime;
    } cases[] = {
        {33.366665f, 0, 0},
        {33.366665f, 1, 333666},
        {40.0f, 25, 10000000},
        {66.666664f, 3, 2000000},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(FrameToMediaTime(c.frameMs, c.frame), c.mediaTime) << c.frame;
    }
    // The middle of a frame converts back to the frame, its start may fall one below.
    for (float ms : {33.366665f, 40.0f, 36.363636f, 66.666664f}) {
        for (std::int64_t n : {0, 1, 7, 29, 30, 899, 1799, 107999}) {
            const std::int64_t middle =
                FrameToMediaTime(ms, n) + static_cast<std::int64_t>(ms * 5000);
            EXPECT_EQ(MediaTimeToFrame(ms, middle), n) << ms << " " << n;
        }
    }
    EXPECT_EQ(MediaTimeToFrame(0.0f, 1000000), 0);
    EXPECT_EQ(MediaTimeToFrame(40.0f, 10000000 * 60), 1500);
}

TEST(PlaybackMath, FrameDurationFallback) {
    EXPECT_FLOAT_EQ(FrameDurationFromRate(30.0, 0), 33.333332f);
    EXPECT_FLOAT_EQ(FrameDurationFromRate(0.0, 400000), 40.0f);
    EXPECT_FLOAT_EQ(FrameDurationFromRate(-1.0, 333667), 33.3667f);
    EXPECT_EQ(FrameDurationFromRate(0.0, 0), 0.0f);
}

TEST(PlaybackMath, EngineScale) {
    struct Case {
        int index;
        float front;
        float rear;
        float factor;
        double base;
    } cases[] = {
        {0, 33.3667f, 66.7334f, 1.0f, 1.0},
        {1, 33.3667f, 33.3667f, 1.0f, 0.93333334f},
        {1, 33.3667f, 66.7334f, 0.5f, 1.0},     // rear at 15 fps
        {1, 33.3667f, 0.0f, 1.0f, 0.93333334f}, // rear duration missing: taken as front
        {1, 0.0f, 33.3f, 1.0f, 1.0},            // no front duration
        {1, 40.0f, 34.482758f, 40.0f / 34.482758f, 1.0},
        {1, 40.0f, 34.4f, 34.4f / 40.0f, 0.93333334f},
    };
    for (const auto& c : cases) {
        const EngineScale s = ScaleForEngine(c.index, c.front, c.rear);
        EXPECT_FLOAT_EQ(s.factor, c.factor) << c.index << " " << c.front << " " << c.rear;
        EXPECT_FLOAT_EQ(static_cast<float>(s.baseRate), static_cast<float>(c.base));
    }
    EXPECT_EQ(ScaledPosition(901, 0.5f), 450);
    EXPECT_EQ(ScaledPosition(900, 1.0f), 900);
    EXPECT_EQ(ScaledPosition(1000, 0.86f), 860);
}

TEST(PlaybackMath, RateCodes) {
    struct Case {
        int requested;
        int current;
        double base;
        bool reverse;
        int code;
        double rate;
        bool muted;
        bool thinning;
    } cases[] = {
        {1, 1, 1.0, false, 1, 1.0, false, false},
        {2, 1, 1.0, false, 2, 2.0, true, false},
        {4, 1, 1.0, false, 4, 4.0, true, true},
        {4, 1, 0.93333334, false, 4, 3.73333336, true, true},
        {-2, 1, 1.0, false, -2, 0.5, true, false},
        {-2, 1, 1.0, true, -2, -2.0, true, false},
        {-4, 1, 1.0, false, -4, 0.25, true, false},
        {-4, 1, 1.0, true, -4, -4.0, true, false},
        {-1, 1, 1.0, true, -1, -1.0, true, false},
        {-1, 1, 1.0, false, -2, 0.5357142857142857, true, false},
        {-1, -2, 1.0, false, 1, 1.0, false, false},
        {-1, 1, 0.93333334, false, -2, 0.5, true, false},
        {-1, 4, 1.0, false, -1, 1.0, true, false},
        {-1, -1, 1.0, false, -1, 1.0, true, false},
    };
    for (const auto& c : cases) {
        const RateChoice r = ChooseRate(c.requested, c.current, c.base, c.reverse);
        SCOPED_TRACE(::testing::Message() << c.requested << " from " << c.current);
        EXPECT_EQ(r.code, c.code);
        EXPECT_DOUBLE_EQ(r.rate, c.rate);
        EXPECT_EQ(r.muted, c.muted);
        EXPECT_EQ(r.thinning, c.thinning);
    }
}

TEST(PlaybackMath, Volume) {
    EXPECT_DOUBLE_EQ(AppliedVolume(65535, 1), 1.0);
    EXPECT_DOUBLE_EQ(AppliedVolume(0, 1), 0.0);
    EXPECT_NEAR(AppliedVolume(32768, 1), 0.5, 1e-4);
    for (int code : {2, 4, -1, -2, -4})
        EXPECT_EQ(AppliedVolume(65535, code), 0.0) << code;
    EXPECT_DOUBLE_EQ(AppliedVolume(70000, 1), 1.0);
}

TEST(PlaybackMath, DisplayRectangle) {
    const ViewRect client{0, 0, 640, 360};
    struct Case {
        const char* what;
        ViewParameters view;
        VideoSize video;
        bool refused;
        ViewRect rect;
    } cases[] = {
        {"stretch", {1.0f, 0, 0, 0, 0, false, false}, {1920, 1080}, false, {0, 0, 640, 360}},
        {"16:9 in 16:9 grows 2 px",
         {1.0f, 0, 0, 0, 0, true, false},
         {1920, 1080},
         false,
         {0, 0, 642, 362}},
        {"4:3 in a wide window",
         {1.0f, 0, 0, 0, 0, true, false},
         {640, 480},
         false,
         {80, 0, 562, 362}},
        {"wide video in a tall window",
         {1.0f, 0, 0, 0, 0, true, false},
         {1280, 360},
         false,
         {0, 90, 642, 272}},
        {"zoom 2 around the middle",
         {2.0f, 320, 180, 0, 0, false, false},
         {1920, 1080},
         false,
         {-320, -180, 960, 540}},
        {"zoom 2 around the top left",
         {2.0f, 0, 0, 0, 0, false, false},
         {1920, 1080},
         false,
         {0, 0, 1280, 720}},
        {"zoom 2 with pan",
         {2.0f, 320, 180, 10, -20, false, false},
         {1920, 1080},
         false,
         {-310, -200, 970, 520}},
        {"mirror swaps left and right",
         {1.0f, 0, 0, 0, 0, false, true},
         {1920, 1080},
         false,
         {640, 0, 0, 360}},
        {"zoom 0 refused", {0.0f, 0, 0, 0, 0, false, false}, {1920, 1080}, true, {}},
        {"inside out refused", {-1.0f, 320, 180, 0, 0, false, false}, {1920, 1080}, true, {}},
        {"zoom below 1 shrinks",
         {0.5f, 320, 180, 0, 0, false, false},
         {1920, 1080},
         false,
         {160, 90, 480, 270}},
        {"no video size keeps the rectangle",
         {1.0f, 0, 0, 0, 0, true, false},
         {0, 0},
         false,
         {0, 0, 640, 360}},
    };
    for (const auto& c : cases) {
        const auto r = ComputeDisplayRect(client, c.view, c.video);
        SCOPED_TRACE(c.what);
        ASSERT_EQ(!r.has_value(), c.refused);
        if (r) {
            EXPECT_EQ(r->left, c.rect.left);
            EXPECT_EQ(r->top, c.rect.top);
            EXPECT_EQ(r->right, c.rect.right);
            EXPECT_EQ(r->bottom, c.rect.bottom);
        }
    }
}

} // namespace
} // namespace kirvano
