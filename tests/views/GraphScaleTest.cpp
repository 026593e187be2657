#include "views/GraphScale.h"

#include <gtest/gtest.h>

namespace kirvano {
namespace {

TEST(GraphScale, ModeAndPixelsPerGFromThePeak) {
    const struct {
        double peak;
        int mode;
        int unitAt74; // the layout's 74-pixel graph
    } cases[] = {
        {0.0, 0, 68},  {0.49, 0, 68}, {0.5, 1, 34}, {0.99, 1, 34}, {1.0, 2, 22},
        {1.49, 2, 22}, {1.5, 3, 17},  {2.7, 3, 17}, {-1.0, 0, 68},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(ScaleModeOf(c.peak), c.mode) << c.peak;
        EXPECT_EQ(PixelsPerG(c.mode, 74), c.unitAt74) << c.peak;
    }
}

TEST(GraphScale, LevelsAreHeldAtTwoGAndInsideTheEdges) {
    const struct {
        double g;
        int unit, centre, level;
    } cases[] = {
        {2.7, 10, 37, 20},    {-3.1, 10, 37, -20}, {2.0, 10, 37, 20},   {0.129, 10, 37, 1},
        {-0.129, 10, 37, -1}, {2.7, 17, 37, 32},   {-3.1, 17, 37, -32}, {0.5, 68, 37, 32},
        {0.25, 68, 37, 17},   {1e300, 68, 37, 32}, {0.0, 17, 2, 0},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(CurveLevel(c.g, c.unit, c.centre), c.level) << c.g << " u " << c.unit;
    }
}

TEST(GraphScale, FramesSpreadOrSlideWithTheCursor) {
    const struct {
        int width;
        std::int64_t frames, current;
        double p, s;
        std::int64_t count;
        std::int64_t lastFrame; // recording frame of the window's last frame
    } cases[] = {
        // Fewer frames than the 605 columns: spread, the window never moves.
        {656, 300, 0, 605.0 / 300, 0.0, 300, 300},
        {656, 300, 299, 605.0 / 300, 0.0, 300, 300},
        // More: one pixel a frame, the window reaches the last frames at the end.
        {656, 3000, 0, 1.0, 0.0, 605, 605},
        {656, 3000, 2999, 1.0, (1.0 - 605.0 / 3000) * 2999, 605, 2999},
        {1100, 100000, 99999, 1.0, (1.0 - 1049.0 / 100000) * 99999, 1049, 99999},
        {656, 605, 300, 1.0, 0.0, 605, 605},
    };
    for (const auto& c : cases) {
        const GraphWindow w = WindowOf(c.width, c.frames, c.current);
        EXPECT_DOUBLE_EQ(w.pixelsPerFrame, c.p) << c.frames;
        EXPECT_NEAR(w.firstFrame, c.s, 1e-9) << c.frames;
        EXPECT_EQ(w.count, c.count) << c.frames;
        EXPECT_EQ(w.FrameAt(w.count), c.lastFrame) << c.frames;
        EXPECT_EQ(w.ColumnAt(0), kGraphLeftMargin);
        EXPECT_LE(w.ColumnAt(w.count), c.width - 1);
    }
    EXPECT_EQ(WindowOf(40, 100, 0).count, 0);
    EXPECT_EQ(WindowOf(656, 0, 0).count, 0);
}

TEST(GraphScale, CursorColumn) {
    const struct {
        int width;
        std::int64_t frames, current;
        int column;
    } cases[] = {
        {656, 300, 0, 50}, {656, 300, 150, 353},       {656, 300, 299, 653},
        {656, 0, 120, 50}, {1100, 100000, 50000, 575},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(CursorColumn(c.width, c.frames, c.current), c.column) << c.current;
    }
}

} // namespace
} // namespace kirvano
