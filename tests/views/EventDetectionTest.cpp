#include "telemetry/EventDetection.h"

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <tuple>
#include <vector>

namespace kirvano {
namespace {

// Samples with the given fields and a frame table mapping frame i onto sample map[i]
// (-1: a pointer outside the samples).
struct Recording {
    std::vector<TelemetrySample> samples;
    std::vector<const TelemetrySample*> frames;
    TelemetrySample outside;

    void MapFrames(const std::vector<int>& map) {
        frames.clear();
        for (int index : map) {
            frames.push_back(index < 0 ? &outside : &samples[static_cast<std::size_t>(index)]);
        }
    }
    // One sample a frame.
    void OneToOne() {
        std::vector<int> map;
        for (std::size_t i = 0; i < samples.size(); ++i) {
            map.push_back(static_cast<int>(i));
        }
        MapFrames(map);
    }
    FrameSamples View() const { return FrameSamples{frames, samples}; }
};

Recording WithAxes(const std::vector<int>& axes) {
    Recording r;
    for (std::size_t i = 0; i < axes.size(); ++i) {
        TelemetrySample s;
        s.index = static_cast<std::int32_t>(i);
        s.axis = axes[i];
        r.samples.push_back(s);
    }
    r.OneToOne();
    return r;
}

EventDetector Only(std::initializer_list<int> slots) {
    EventDetector d;
    for (int j = 0; j < kDetectorSlots; ++j) {
        d.SetDisplayFlag(j, false);
        d.SetGraphFlag(j, false);
    }
    for (int j : slots) {
        d.SetDisplayFlag(j, true);
        d.SetGraphFlag(j, true);
    }
    return d;
}

using Found = std::vector<std::tuple<std::int64_t, int, int>>; // frame, kind, slot

Found Summary(const std::vector<MapEvent>& events) {
    Found found;
    for (const MapEvent& e : events) {
        found.emplace_back(e.frame, e.kind, e.slot);
        EXPECT_EQ(e.reserved, 0);
        EXPECT_EQ(e.sample->index, e.sampleIndex);
    }
    return found;
}

TEST(EventDetection, AnEventStartsEveryRunOfEqualResults) {
    Recording r = WithAxes({0, 0, 1, 1, 1, 0, 2, 2, 0, 0});
    EXPECT_EQ(Summary(Only({0, 1}).BuildEventList(r.View())),
              (Found{{2, kEventSteering, 0}, {6, kEventBraking, 1}}));
    // Slot 2 off: the Z axis finds nothing; slot 1 off: no braking mark.
    EXPECT_EQ(Summary(Only({0}).BuildEventList(r.View())), (Found{{2, kEventSteering, 0}}));
    // Several frames on one sample: the event shows at the first of them only.
    r.MapFrames({0, 0, 1, 2, 2, 2, 3, 5, 6, 6, 7});
    EXPECT_EQ(Summary(Only({0, 1}).BuildEventList(r.View())),
              (Found{{3, kEventSteering, 0}, {8, kEventBraking, 1}}));
}

TEST(EventDetection, DetectorTable) {
    const struct {
        int slot;
        bool driving;
        TelemetrySample sample;
        int kind;
    } cases[] = {
        {0, true, {.axis = 1}, 0},
        {0, false, {.axis = 1}, -1},
        {1, true, {.axis = 2}, 2},
        {1, true, {.axis = 1}, -1},
        {2, true, {.axis = 3}, 3},
        {3, false, {.event_kind = 5}, 5},
        {4, false, {.event_kind = 6}, 6},
        {5, true, {.event_kind = 7}, 7},
        {5, false, {.event_kind = 7}, -1},
        {6, false, {.extra_flag = 8}, 8},
        {6, true, {.extra_flag = 7}, -1},
        {7, true, {.warning_code = 10, .warning_detail = 9}, 9},
        {7, false, {.warning_code = 10, .warning_detail = 9}, -1},
        {8, true, {.warning_code = 8, .warning_detail = 8}, 10},
        {8, true, {.warning_code = 9, .warning_detail = 8}, 10},
        {8, true, {.warning_code = 10, .warning_detail = 8}, -1},
        {9, false, {.event_kind = 11}, 11},
        {9, false, {.event_kind = 13}, 13},
        {9, false, {.event_kind = 14}, -1},
        {10, true, {.axis = 1}, -1},
        {-1, true, {.axis = 1}, -1},
    };
    for (const auto& c : cases) {
        EventDetector d;
        d.SetDrivingRecording(c.driving);
        EXPECT_EQ(d.Detect(c.slot, c.sample), c.kind) << "slot " << c.slot;
    }
}

TEST(EventDetection, OverSpeedComesFirstAndBesideAnotherEvent) {
    Recording r = WithAxes({1});
    r.samples[0].extra_flag = 8;
    EXPECT_EQ(Summary(Only({0, 6}).BuildEventList(r.View())),
              (Found{{0, kEventOverSpeed, 6}, {0, kEventSteering, 0}}));
    // Only one event per frame from the other slots: the first in slot order.
    r.samples[0].event_kind = kEventManual;
    EXPECT_EQ(Summary(Only({0, 3}).BuildEventList(r.View())), (Found{{0, kEventSteering, 0}}));
}

TEST(EventDetection, ParkingNamesAndTheirImpacts) {
    const struct {
        const char* name;
        bool driving;
    } cases[] = {
        {"P_20220818_120000_F.MOV", false},
        {"T_20220818_120000_F.MOV", false},
        {"PG20220818_120000_F.MOV", true},
        {"TG20220818_120000_F.MOV", true},
        {"N_20220818_120000_F.MOV", true},
        {"G_20220818_120000_F.MOV", true},
        {"A_20220818_120000_F.MOV", true},
        {"P", false},
        {"", true},
    };
    Recording r = WithAxes({0, 1, 1});
    for (const auto& c : cases) {
        EventDetector d = Only({0});
        d.SetRecordingName(c.name);
        EXPECT_EQ(d.DrivingRecording(), c.driving) << c.name;
        EXPECT_EQ(d.BuildEventList(r.View()).size(), c.driving ? 1u : 0u) << c.name;
    }
}

TEST(EventDetection, DisplayFlagsOfTheKindsDecide) {
    // Frame 0 emergency stop, frame 1 parking mark, frame 2 assistance, frame 3 over speed.
    Recording r = WithAxes({0, 0, 0, 0});
    r.samples[0].event_kind = kEventEmergencyStop;
    r.samples[1].event_kind = kEventParking;
    r.samples[2].event_kind = kEventAssistBraking;
    r.samples[3].extra_flag = 8;
    EventDetector d;
    EXPECT_EQ(Summary(d.BuildEventList(r.View())),
              (Found{{0, 6, 4}, {1, 7, 5}, {2, 13, 9}, {3, 8, 6}}));
    const struct {
        int item;
        int slot;
        Found left;
    } cases[] = {
        {0, 9, {{0, 6, 4}, {1, 7, 5}, {3, 8, 6}}},
        {1, 4, {{1, 7, 5}, {2, 13, 9}, {3, 8, 6}}},
        {2, 5, {{0, 6, 4}, {2, 13, 9}, {3, 8, 6}}},
        {3, 6, {{0, 6, 4}, {1, 7, 5}, {2, 13, 9}}},
    };
    for (const auto& c : cases) {
        EventDetector off;
        off.ApplySetting(c.item, false);
        EXPECT_EQ(EventDetector::SlotOfSetting(c.item), c.slot);
        EXPECT_FALSE(off.DisplayFlag(c.slot));
        EXPECT_TRUE(off.GraphFlag(c.slot));
        EXPECT_EQ(Summary(off.BuildEventList(r.View())), c.left) << c.item;
    }
    // A slot that finds a kind whose display slot is off stops the frame's search.
    Recording both = WithAxes({0});
    both.samples[0].event_kind = kEventEmergencyStop;
    EventDetector stop;
    stop.SetDisplayFlag(4, false);
    std::vector<MapEvent> none;
    EXPECT_EQ(stop.Test(both.View(), 0, 4, none), EventDetector::Outcome::kStop);
    EXPECT_TRUE(none.empty());
    EXPECT_TRUE(stop.BuildEventList(both.View()).empty());
    d.ApplySetting(4, false); // not an item: ignored
    d.SetAxisShown(1, false);
    EXPECT_FALSE(d.GraphFlag(1));
    EXPECT_FALSE(d.DisplayFlag(1));
    EXPECT_EQ(d.BuildEventList(r.View()).size(), 4u);
}

TEST(EventDetection, OutOfRangeFramesAndEventsAtTheOrigin) {
    Recording r = WithAxes({1, 0, 1, 0, 2});
    PositionSample origin; // latitude and longitude 0
    r.samples[2].position = &origin;
    r.MapFrames({0, -1, 2, 1, 4});
    // Frame 1 points outside the samples: skipped, and frame 2 starts a new run.
    EXPECT_EQ(Summary(Only({0, 1}).BuildEventList(r.View())),
              (Found{{0, 0, 0}, {2, 0, 0}, {4, 2, 1}}));
    // A frame table longer than the samples, and no samples at all.
    FrameSamples view = r.View();
    EXPECT_EQ(view.At(5), nullptr);
    EXPECT_EQ(view.At(-1), nullptr);
    EXPECT_TRUE(Only({0}).BuildEventList(FrameSamples{r.frames, {}}).empty());
}

TEST(EventDetection, JumpSearchAndTheGuardedList) {
    Recording r = WithAxes({0, 1, 0, 0, 2, 2, 0, 3, 0});
    EventList list;
    EventDetector d;
    list.Rebuild(d, r.View());
    ASSERT_EQ(list.Size(), 3u); // frames 1, 4, 7
    const struct {
        std::int64_t cursor;
        std::optional<std::int64_t> next, previous;
    } cases[] = {
        {-1, 1, std::nullopt}, {0, 1, std::nullopt},   {1, 4, std::nullopt}, {2, 4, 1}, {4, 7, 1},
        {7, std::nullopt, 4},  {100, std::nullopt, 7},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(list.NextFrame(c.cursor), c.next) << c.cursor;
        EXPECT_EQ(list.PreviousFrame(c.cursor), c.previous) << c.cursor;
    }
    list.Rebuild(d, static_cast<const TelemetryReader*>(nullptr));
    EXPECT_EQ(list.Size(), 0u);
    EXPECT_EQ(list.NextFrame(0), std::nullopt);
}

TEST(EventDetection, TheWholeListEqualsTestingEveryFrame) {
    // Random samples, frames repeating samples and pointing outside them, random flags:
    // the list built for a recording is what testing every frame in turn finds.
    std::mt19937 random(7);
    for (int round = 0; round < 20; ++round) {
        Recording r;
        for (int k = 0; k < 300; ++k) {
            TelemetrySample s;
            s.index = k;
            s.axis = static_cast<int>(random() % 6) - 1;
            s.event_kind = std::array{-1, -1, -1, 5, 6, 7, 11, 12, 13, 4}[random() % 10];
            s.extra_flag = random() % 4 == 0 ? 8 : 0;
            s.warning_code = static_cast<int>(random() % 12);
            s.warning_detail = 8 + static_cast<int>(random() % 2);
            r.samples.push_back(s);
        }
        std::vector<int> map;
        for (int k = 0; k < 900; ++k) {
            map.push_back(random() % 50 == 0 ? -1 : k / 3 - static_cast<int>(random() % 2));
        }
        map[0] = 0;
        r.MapFrames(map);
        EventDetector d;
        d.SetDrivingRecording(random() % 3 != 0);
        for (int j = 0; j < kDetectorSlots; ++j) {
            d.SetDisplayFlag(j, random() % 4 != 0);
        }
        std::vector<MapEvent> expected;
        for (std::int64_t i = 0; i < r.View().FrameCount(); ++i) {
            d.EventsAtFrame(r.View(), i, EventDetector::Flags::kDisplay, expected);
        }
        EXPECT_FALSE(expected.empty());
        EXPECT_EQ(d.BuildEventList(r.View()), expected) << "round " << round;
    }
}

TEST(EventDetection, LevelsFromTheHeader) {
    EventDetector d;
    TelemetryHeader h;
    h.values = {0.35f, -1.0f, 0.0f, 0.9f};
    d.SetLevelsFromHeader(h);
    EXPECT_FLOAT_EQ(static_cast<float>(d.Level(0)), 0.35f);
    EXPECT_DOUBLE_EQ(d.Level(1), kDefaultLevel);
    EXPECT_DOUBLE_EQ(d.Level(2), kDefaultLevel);
    EXPECT_DOUBLE_EQ(d.Level(3), kDefaultLevel);
}

} // namespace
} // namespace kirvano
