// The main window's decision rules as tables: the near-the-end test, seek clamping, the
// speed steps, the playback tick's seek window, the advance, the button states and the
// video windows' menu.
#include "app/rules/PlaybackRules.h"
#include "app/rules/VideoMenu.h"

#include <gtest/gtest.h>

namespace kirvano {
namespace {

constexpr EngineState kClosed = EngineState::Closed;
constexpr EngineState kStopped = EngineState::Stopped;
constexpr EngineState kPlaying = EngineState::Playing;
constexpr EngineState kPaused = EngineState::Paused;

TEST(PlaybackRules, NearTheEnd) {
    struct Case {
        bool ready;
        EngineState state;
        std::int64_t position, duration;
        int rate;
        bool ignored;
    } cases[] = {
        {false, kPaused, 0, 1650, kRateNormal, true},    // not ready: always ignored
        {true, kPaused, 1649, 1650, kRateNormal, false}, // paused at the end: allowed
        {true, kStopped, 1649, 1650, kRateNormal, false},
        {true, kPlaying, 1629, 1650, kRateNormal, false},
        {true, kPlaying, 1630, 1650, kRateNormal, true}, // 20 frames before the end
        {true, kPlaying, 1609, 1650, kRateDouble, false},
        {true, kPlaying, 1610, 1650, kRateDouble, true}, // 40 at double speed
        {true, kPlaying, 1569, 1650, kRateFourfold, false},
        {true, kPlaying, 1570, 1650, kRateFourfold, true}, // 80 at fourfold
        {true, kPlaying, 1630, 1650, kRateSlowHalf, true}, // 20 for the slow codes
        {true, kPlaying, 5000, 0, kRateNormal, false},     // no duration known
        {true, kClosed, 1640, 1650, kRateNormal, true},
    };
    for (const Case& c : cases)
        EXPECT_EQ(NearTheEnd(c.ready, c.state, c.position, c.duration, c.rate), c.ignored)
            << c.position << "/" << c.duration << " rate " << c.rate;
}

TEST(PlaybackRules, SeekKeepsThePlayersShortOfTheEndAndShowsTheFrameAskedFor) {
    struct Case {
        std::int64_t requested;
        int rate;
        SeekPlan plan;
    } cases[] = {
        {1650, kRateNormal, {1630, 1649}},                              // the very end
        {1650, kRateDouble, {1610, 1649}},                              // 40 at double speed
        {1650, kRateFourfold, {1570, 1649}},                            // 80 at fourfold
        {9999, kRateNormal, {1630, 1649}},                              // beyond the end
        {800, kRateNormal, {800, 800}},                                 // the middle: exactly there
        {1635, kRateNormal, {1630, 1635}},   {-5, kRateNormal, {0, 0}}, // before the start
    };
    for (const Case& c : cases)
        EXPECT_EQ(PlanSeek(c.requested, 0, 1650, c.rate), c.plan) << c.requested;
    EXPECT_EQ(PlanSeek(10, 0, 8, kRateNormal), (SeekPlan{0, 7}))
        << "a recording shorter than the margin";
    EXPECT_EQ(ShownPosition(5, 0, 0), 0) << "an empty range shows its minimum";
}

TEST(PlaybackRules, SpeedSteps) {
    // Current code, then faster and slower with the player's reverse flags set and clear.
    struct Case {
        int current, fasterF, fasterNoF, slowerS, slowerNoS;
    } cases[] = {
        {1, 2, 2, -1, -1},  {2, 4, 4, 1, 1},     {4, 4, 4, 2, 2},
        {-1, 1, 1, -2, -2}, {-2, -1, 1, -2, -4}, {-4, -2, -2, 1, -4},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.current);
        EXPECT_EQ(NextRateMode(c.current, true, true, true, true), c.fasterF);
        EXPECT_EQ(NextRateMode(c.current, true, true, false, false), c.fasterNoF);
        EXPECT_EQ(NextRateMode(c.current, false, true, true, true), c.slowerS);
        EXPECT_EQ(NextRateMode(c.current, false, true, false, false), c.slowerNoS);
        // Not playing: always back to normal.
        EXPECT_EQ(NextRateMode(c.current, true, false, true, true), kRateNormal);
        EXPECT_EQ(NextRateMode(c.current, false, false, false, false), kRateNormal);
    }
    EXPECT_EQ(NextRateMode(3, true, true, true, true), kRateNormal) << "an unknown code";
}

TEST(PlaybackRules, TickShowsPositionsNearThePendingSeek) {
    // Window: duration / 1000 + 30 frames either side of the target, ends excluded.
    struct Case {
        std::int64_t pending, position, duration;
        bool shown;
    } cases[] = {
        {-1, 12, 1650, true},       {500, 500, 1650, true},  {500, 469, 1650, false},
        {500, 470, 1650, true},     {500, 531, 1650, false}, {500, 530, 1650, true},
        {500, 20, 1650, false},     {0, 31, 1650, false},    {5000, 5039, 10000, true},
        {5000, 5040, 10000, false},
    };
    for (const Case& c : cases)
        EXPECT_EQ(TickShowsPosition(c.pending, c.position, c.duration), c.shown)
            << c.pending << " " << c.position;
}

TEST(PlaybackRules, Advance) {
    struct Case {
        int index, count;
        bool following;
        AdvanceStep step;
    } cases[] = {
        {0, 3, false, AdvanceStep::OpenNext},
        {1, 3, true, AdvanceStep::OpenNext},
        {2, 3, true, AdvanceStep::NextFolder},
        {2, 3, false, AdvanceStep::ReopenStopped}, // last recording, no further folder
        {0, 1, false, AdvanceStep::ReopenStopped},
        {-1, 3, true, AdvanceStep::Nothing},
        {3, 3, true, AdvanceStep::Nothing},
        {0, 0, true, AdvanceStep::Nothing},
    };
    for (const Case& c : cases)
        EXPECT_EQ(DecideAdvance(c.index, c.count, c.following), c.step)
            << c.index << "/" << c.count;
}

// The enabled buttons as a string, one letter per button 38000..38014 ('-' disabled).
std::string Enabled(const ButtonInputs& in) {
    const char* letters = "sbpwfnxjzolecvm";
    std::string out;
    const auto looks = ToolButtonLooks(in);
    for (int i = 0; i < kToolButtonCount; ++i)
        out += looks[i].enabled ? letters[i] : '-';
    return out;
}

TEST(PlaybackRules, ButtonStates) {
    // s start, b back, p play, w slower, f faster, n next, x snapshot, j join, z zoom,
    // o source, l delete, e settings, c CSV, v swap, m map.
    ButtonInputs base;
    base.listEmpty = false;
    base.rows = 3;
    base.index = 1;
    base.picture = true;
    base.sourceKind = 1;
    base.csvDisabled = false;
    struct Case {
        const char* what;
        ButtonInputs in;
        const char* enabled;
    };
    std::vector<Case> cases;
    auto with = [&](const char* what, auto change, const char* enabled) {
        ButtonInputs in = base;
        change(in);
        cases.push_back({what, in, enabled});
    };
    with(
        "empty list",
        [](ButtonInputs& in) {
            in.listEmpty = true;
            in.rows = 0;
            in.csvDisabled = true;
        },
        "---------o-----");
    with(
        "empty card list keeps CSV by its flag",
        [](ButtonInputs& in) {
            in.listEmpty = true;
            in.rows = 0;
        },
        "---------o--c--");
    with(
        "stopped", [](ButtonInputs& in) { in.state = kStopped; }, "-bp--nxjzolecvm");
    with(
        "paused", [](ButtonInputs& in) { in.state = kPaused; }, "sbp--nxjzolecvm");
    with(
        "playing", [](ButtonInputs& in) { in.state = kPlaying; }, "sbpwfnxjzolecvm");
    with(
        "playing at 4x",
        [](ButtonInputs& in) {
            in.state = kPlaying;
            in.rateMode = 4;
        },
        "sbpw-nxjzolecvm");
    with(
        "playing at -2",
        [](ButtonInputs& in) {
            in.state = kPlaying;
            in.rateMode = -2;
        },
        "sbp-fnxjzolecvm");
    with(
        "closed, no picture", [](ButtonInputs& in) { in.picture = false; }, "-b---n-j-olecvm");
    with(
        "first row",
        [](ButtonInputs& in) {
            in.state = kPaused;
            in.index = 0;
        },
        "s-p--nxjzolecvm");
    with(
        "last row",
        [](ButtonInputs& in) {
            in.state = kPaused;
            in.index = 2;
        },
        "sbp---xjzolecvm");
    with(
        "single row",
        [](ButtonInputs& in) {
            in.state = kPaused;
            in.rows = 1;
            in.index = 0;
        },
        "s-p---xjzolecvm");
    with(
        "folder source",
        [](ButtonInputs& in) {
            in.state = kPaused;
            in.sourceKind = 2;
            in.csvDisabled = true;
        },
        "sbp--nx-zole-vm");
    with(
        "file source",
        [](ButtonInputs& in) {
            in.state = kPaused;
            in.sourceKind = 3;
            in.csvDisabled = true;
        },
        "sbp--nx-zo-e-vm");
    for (const Case& c : cases)
        EXPECT_EQ(Enabled(c.in), c.enabled) << c.what;

    ButtonInputs layout2 = base;
    layout2.layout = 2;
    const auto looks = ToolButtonLooks(layout2);
    std::string hidden;
    for (const ButtonLook& look : looks)
        hidden += look.hidden ? 'h' : '.';
    EXPECT_EQ(hidden, "......hh.hhhh.h") << "layout 2 keeps 38000..38005, zoom and swap";
    for (const ButtonLook& look : ToolButtonLooks(base))
        EXPECT_FALSE(look.hidden);
    // Full screen shows the picture alone, in every layout.
    for (int layout : {0, 1, 2}) {
        ButtonInputs full = base;
        full.layout = layout;
        full.fullScreen = true;
        for (const ButtonLook& look : ToolButtonLooks(full))
            EXPECT_TRUE(look.hidden) << layout;
    }
}

// The menu as (command, text entry, enabled) rows; a separator is 0.
TEST(PlaybackRules, VideoMenuItems) {
    using Items = std::vector<VideoMenuItem>;
    const VideoMenuItem sep{};
    const Items paused{{38002, 86}, {38000, 90}, sep, {38013, 153}, sep,
                       {38006, 89}, {38011, 87}, sep, {38009, 84}};
    EXPECT_EQ(VideoMenuItems({kPaused}), paused);
    // Playing: the pause text and the rate items, off while a speed change settles.
    EXPECT_EQ(VideoMenuItems({kPlaying, false, true, true, true}), (Items{{38002, 85},
                                                                          {38000, 90},
                                                                          {38003, 88, false},
                                                                          {38004, 82, false},
                                                                          sep,
                                                                          {38013, 153},
                                                                          sep,
                                                                          {38006, 89},
                                                                          {38011, 87}}))
        << "the second camera's menu has no source item";
    EXPECT_EQ(VideoMenuItems({kStopped}),
              (Items{{38013, 153}, sep, {38006, 89}, {38011, 87}, sep, {38009, 84}}));
    EXPECT_EQ(VideoMenuItems({kClosed}).at(2), (VideoMenuItem{38006, 89, false}));
    // Full screen: the aspect item names what a click switches to.
    EXPECT_EQ(VideoMenuItems({kPaused, true, false, true}).back(), (VideoMenuItem{38200, 92}));
    EXPECT_EQ(VideoMenuItems({kPaused, true, false, false}).back(), (VideoMenuItem{38200, 91}));
    EXPECT_EQ(VideoMenuItems({kPaused, true}).size(), 5u);
}

} // namespace
} // namespace kirvano
