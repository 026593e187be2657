#include "SkinTestSupport.h"

#include "ui/CSkinProgressBarCtrl.h"

#include <gtest/gtest.h>

namespace kirvano {
namespace {

using testing::RenderOwn;

bool IsBlue(const QColor& c) {
    return c.red() < 40 && c.green() < 40 && c.blue() > 215;
}
bool IsWhite(const QColor& c) {
    return c.red() > 215 && c.green() > 215 && c.blue() > 215;
}

TEST(SkinProgressTest, FillAndTextFollowThePosition) {
    const struct {
        int minimum;
        int maximum;
        int position;
        int filled; // at 300 pixels
        const char* text;
    } cases[] = {
        {0, 100, 0, 0, "0 %"},       {0, 100, 50, 150, "50 %"},    {0, 100, 100, 300, "100 %"},
        {0, 100, 33, 99, "33 %"},    {0, 100, 150, 300, "100 %"},  {0, 100, -4, 0, "0 %"},
        {0, 200, 100, 150, "100 %"}, {50, 150, 100, 150, "100 %"}, {7, 7, 7, 0, "0 %"},
        {0, 0, 0, 0, "0 %"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(::testing::Message() << c.minimum << ".." << c.maximum << " @" << c.position);
        CSkinProgressBarCtrl bar;
        bar.resize(300, CSkinProgressBarCtrl::kHeight);
        bar.SetRange(c.minimum, c.maximum);
        bar.SetPos(c.position);
        EXPECT_EQ(bar.FilledWidth(), c.filled);
        EXPECT_EQ(bar.Text().toStdString(), c.text);
        const QImage image = RenderOwn(bar);
        // Sample the top row, clear of the text.
        if (c.filled > 0) {
            EXPECT_TRUE(IsBlue(image.pixelColor(0, 1)));
            EXPECT_TRUE(IsBlue(image.pixelColor(c.filled - 1, 1)));
        }
        if (c.filled < 300) {
            EXPECT_TRUE(IsWhite(image.pixelColor(c.filled, 1)));
            EXPECT_TRUE(IsWhite(image.pixelColor(299, 1)));
        }
    }
}

// The text is white where it lies over the fill and blue where it lies over the rest.
TEST(SkinProgressTest, TextIsWhiteOverTheFillAndBlueOverTheRest) {
    const struct {
        int position;
        bool whiteText; // text pixels on the fill
        bool blueText;  // text pixels on the empty part
    } cases[] = {{0, false, true}, {30, false, true}, {70, true, false}, {100, true, false}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.position);
        CSkinProgressBarCtrl bar;
        bar.resize(300, CSkinProgressBarCtrl::kHeight);
        bar.SetRange(0, 100);
        bar.SetPos(c.position);
        const QImage image = RenderOwn(bar);
        const int filled = bar.FilledWidth();
        int white = 0;
        int blue = 0;
        for (int y = 0; y < image.height(); ++y) {
            for (int x = 100; x < 200; ++x) {
                const QColor colour = image.pixelColor(x, y);
                white += x < filled && IsWhite(colour) ? 1 : 0;
                blue += x >= filled && IsBlue(colour) ? 1 : 0;
            }
        }
        EXPECT_EQ(white > 5, c.whiteText);
        EXPECT_EQ(blue > 5, c.blueText);
    }
    EXPECT_EQ(CSkinProgressBarCtrl::kFill, QColor(0, 0, 255));
}

TEST(SkinProgressTest, EmptyRangeShowsAnEmptyBar) {
    CSkinProgressBarCtrl bar;
    bar.resize(200, CSkinProgressBarCtrl::kHeight);
    bar.SetRange(20, 20);
    bar.SetPos(20);
    const QImage image = RenderOwn(bar);
    int blue = 0;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            blue += IsBlue(image.pixelColor(x, y)) ? 1 : 0;
        }
    }
    // Only the text "0 %" is blue; the bar itself is white.
    EXPECT_LT(blue, 200);
    EXPECT_TRUE(IsWhite(image.pixelColor(2, 1)));
    EXPECT_EQ(bar.Text(), QStringLiteral("0 %"));
}

} // namespace
} // namespace kirvano
