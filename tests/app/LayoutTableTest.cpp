// The three layouts of the main window against the numbers written out by hand, the click
// zoom's three-click cycle with the offsets it derives, and the sub camera's offsets
// between its floating window and its docked strip.
#include "app/rules/LayoutTable.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace kirvano {
namespace {

using Kind = ToolButtonPlace::Kind;

struct Expected {
    LayoutRect video, slider, info;
    bool graph;
    bool map;
    bool list;
    int listForm;
    LayoutRect listRect;
    int strip;
    int refW, refH;
    LayoutPoint centre;
    int buttonTop;
    std::string buttons; // per tool button: P placed, h hidden, k kept
    std::vector<int> placedLefts;
    LayoutRect volume;
};

TEST(LayoutTable, EveryChildInEachLayout) {
    const std::vector<int> row15 = {20,  67,  114, 161, 208, 255, 302, 349,
                                    396, 473, 520, 567, 614, 661, 708};
    const std::vector<Expected> table = {
        {{6, 24, 656, 369},
         {6, 393, 656, 10},
         {6, 403, 656, 85},
         true,
         true,
         true,
         0,
         {662, 392, 452, 265},
         98,
         452,
         368,
         {328, 184},
         662,
         "PPPPPPPPPPPPPPP",
         row15,
         {860, 667, 100, 20}},
        {{6, 24, 868, 489},
         {6, 513, 868, 10},
         {6, 523, 868, 124},
         false,
         false,
         true,
         1,
         {874, 24, 240, 633},
         138,
         598,
         487,
         {434, 244},
         661,
         "PPPPPPPPPPPPPPk",
         {row15.begin(), row15.end() - 1},
         {813, 667, 100, 20}},
        {{6, 24, 1108, 624},
         {6, 648, 1108, 10},
         {4, 658, 1112, 1},
         false,
         false,
         false,
         0,
         {},
         0,
         0,
         0,
         {554, 312},
         661,
         "PPPPPPhhPhhhhPh",
         {20, 67, 114, 161, 208, 255, 302, 349},
         {501, 667, 100, 20}},
    };
    for (int mode = 0; mode < kLayoutCount; ++mode) {
        SCOPED_TRACE("layout " + std::to_string(mode));
        const Expected& e = table[static_cast<std::size_t>(mode)];
        const MainLayout l = LayoutFor(mode);
        EXPECT_EQ(l.mainVideo, e.video);
        EXPECT_EQ(l.seekSlider, e.slider);
        EXPECT_EQ(l.progressBar, (LayoutRect{6, e.video.bottom() - 22, e.video.width, 22}));
        EXPECT_EQ(l.infoPanel, e.info);
        EXPECT_EQ(l.graphShown, e.graph);
        EXPECT_EQ(l.graph, (LayoutRect{6, 488, 656, 74})) << "the graph keeps layout 0's place";
        EXPECT_EQ(l.mapShown, e.map);
        EXPECT_EQ(l.mapPlace, (LayoutRect{662, 24, 452, 368}));
        EXPECT_EQ(l.listShown, e.list);
        if (e.list) {
            EXPECT_EQ(l.listForm, e.listForm);
            EXPECT_EQ(l.list, e.listRect);
        }
        EXPECT_EQ(l.dockedStripWidth, e.strip);
        EXPECT_EQ(l.referenceWidth, e.refW);
        EXPECT_EQ(l.referenceHeight, e.refH);
        EXPECT_EQ(l.mainZoomCentre, e.centre);
        EXPECT_EQ(l.volumeSlider, e.volume);
        EXPECT_EQ(l.closeButton, (LayoutRect{1064, 0, 46, 18}));
        EXPECT_EQ(l.layoutButton, (LayoutRect{1038, 0, 26, 18}));
        EXPECT_EQ(l.minimiseButton, (LayoutRect{1012, 0, 26, 18}));

        std::string kinds;
        std::vector<int> lefts;
        for (const ToolButtonPlace& place : l.toolButtons) {
            kinds += place.kind == Kind::Placed ? 'P' : place.kind == Kind::Hidden ? 'h' : 'k';
            if (place.kind == Kind::Placed) {
                lefts.push_back(place.rect.x);
                EXPECT_EQ(place.rect.y, e.buttonTop);
                EXPECT_EQ(place.rect.width, 32);
                EXPECT_EQ(place.rect.height, 32);
            }
        }
        EXPECT_EQ(kinds, e.buttons);
        EXPECT_EQ(lefts, e.placedLefts);
        // The gap: 30 more than the pitch between the ninth and tenth button of a full
        // row; none in the row of eight.
        for (std::size_t i = 1; i < lefts.size(); ++i)
            EXPECT_EQ(lefts[i] - lefts[i - 1], lefts.size() > 9 && i == 9 ? 77 : 47) << i;
    }
    EXPECT_EQ(NextLayout(0), 1);
    EXPECT_EQ(NextLayout(1), 2);
    EXPECT_EQ(NextLayout(2), 0);
    EXPECT_EQ(NextLayout(7), 0);
    EXPECT_EQ(LayoutFor(-1).mainVideo, LayoutFor(0).mainVideo);
}

TEST(LayoutTable, ThreeClicksZoomInOnceAndReturn) {
    ZoomRecord r;
    r.enabled = true;
    ResetZoom(r, {328, 184});
    ASSERT_EQ(r.next, 1.0f);
    // An unzoomed 656-wide window: its view reaches the right edge, top 0.
    ZoomClick(r, 100, 50, 656, 0, 656, 0);
    EXPECT_EQ(r.current, 1.0f);
    EXPECT_EQ(r.next, 2.0f);
    EXPECT_EQ(r.derivedX, 100);
    EXPECT_EQ(r.derivedY, 50);
    EXPECT_EQ(ViewOfZoom(r), (ZoomView{1.0f, 328, 184, 0, 0}))
        << "the first click keeps the picture";

    // u = 656 + 100 - trunc((100 + 656) / 2) = 378, v = 50 - trunc(50 / 2) = 25.
    ZoomClick(r, 100, 50, 656, 0, 656, 0);
    EXPECT_EQ(r.current, 2.0f);
    EXPECT_EQ(r.next, 3.0f);
    EXPECT_EQ(r.derivedX, 378);
    EXPECT_EQ(r.derivedY, 25);
    EXPECT_EQ(r.offsetX, -278);
    EXPECT_EQ(r.offsetY, 25);
    EXPECT_EQ(ViewOfZoom(r), (ZoomView{2.0f, 328, 184, 278, -25}));

    // Negative intermediate values truncate towards zero.
    ZoomRecord odd = r;
    odd.next = 2.0f;
    ZoomClick(odd, 3, 1, 10, 0, -8, -4);
    EXPECT_EQ(odd.derivedX, 10 + 3 - (-2)); // trunc(-5 / 2) = -2
    EXPECT_EQ(odd.derivedY, 1 - (-1));      // trunc(-3 / 2) = -1

    ZoomClick(r, 400, 300, 656, 0, 700, -20);
    EXPECT_EQ(r.current, 1.0f);
    EXPECT_EQ(r.next, 1.0f);
    EXPECT_EQ(r.offsetX, 0);
    EXPECT_EQ(r.offsetY, 0);
    EXPECT_EQ(r.clickX, 400) << "the click is still remembered";
    EXPECT_TRUE(r.enabled);
    EXPECT_EQ(ViewOfZoom(r), (ZoomView{1.0f, 328, 184, 0, 0}));
}

TEST(LayoutTable, SubOffsetsScaleBetweenFloatingAndDocked) {
    ZoomRecord r;
    r.clickX = 100;
    r.clickY = 50;
    r.offsetX = -278;
    r.offsetY = 25;
    ZoomRecord docked = r;
    // Layout 0: strip 98 x 85 against 452 x 368.
    ScaleSubOffsets(docked, true, LayoutFor(0), 98, 85);
    EXPECT_EQ(docked.offsetX, -60); // -278 x 98 / 452 = -60.3
    EXPECT_EQ(docked.offsetY, 5);   // 25 x 85 / 368 = 5.8
    EXPECT_EQ(docked.derivedX, 160);
    EXPECT_EQ(docked.derivedY, 45);
    ZoomRecord floating = docked;
    ScaleSubOffsets(floating, false, LayoutFor(0), 98, 85);
    EXPECT_EQ(floating.offsetX, -276); // -60 x 452 / 98 = -276.7
    EXPECT_EQ(floating.offsetY, 21);   // 5 x 368 / 85 = 21.6
    // Layout 1: strip 138 x 124 against 598 x 487.
    ZoomRecord wide = r;
    ScaleSubOffsets(wide, true, LayoutFor(1), 138, 124);
    EXPECT_EQ(wide.offsetX, -64); // -278 x 138 / 598 = -64.2
    EXPECT_EQ(wide.offsetY, 6);   // 25 x 124 / 487 = 6.4
    // Layout 2 has no reference size and an empty strip: nothing changes.
    ZoomRecord none = r;
    ScaleSubOffsets(none, true, LayoutFor(2), 0, 1);
    EXPECT_EQ(none, r);
}

} // namespace
} // namespace kirvano
