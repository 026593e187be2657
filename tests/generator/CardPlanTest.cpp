// The planned card: names by the recorder's scheme with the gaps the grouping expects,
// events where the names say, and telemetry that follows the route.
#include "generator/CardPlan.h"
#include "generator/CardTelemetry.h"
#include "generator/Route.h"
#include "library/RecordingName.h"

#include <gtest/gtest.h>

#include <cmath>
#include <map>
#include <set>

namespace kirvano {
namespace {

CardOptions Small(int recordings, int parking, int seconds = 60) {
    CardOptions o;
    o.recordings = recordings;
    o.parking = parking;
    o.seconds = seconds;
    return o;
}

TEST(CardPlan, NamesFollowTheSchemeAndGroupAsIntended) {
    for (const CardOptions& options : {Small(6, 3), Small(1, 0), Small(2, 1), Small(25, 5, 10)}) {
        const auto plan = PlanCard(options);
        ASSERT_TRUE(plan) << plan.error();
        const auto& recordings = plan->recordings;
        ASSERT_EQ(recordings.size(),
                  static_cast<std::size_t>(options.recordings +
                                           (options.parking ? options.parking + 1 : 0)));
        std::map<std::string, const PlannedRecording*> previousInFolder;
        std::set<std::string> dates;
        int lastSequence = -1;
        for (const PlannedRecording& r : recordings) {
            const std::string name = r.stem + "F.MOV";
            EXPECT_TRUE(IsFrontRecordingName(name)) << name;
            EXPECT_EQ(name.size(), 29u);
            EXPECT_GT(r.sequence, lastSequence) << "sequence numbers follow the time";
            lastSequence = r.sequence;
            dates.insert(name.substr(4, 6));
            const auto time = RecordingTimeOf(name);
            EXPECT_EQ(time.hour, r.start.hour);
            const auto previous = previousInFolder.find(r.folder);
            if (previous != previousInFolder.end()) {
                const long long gap = SecondsBetween(previous->second->start, r.start);
                const bool timelapse = name[0] == 'T';
                const bool inWindow =
                    timelapse ? (gap >= 892 && gap <= 908) : (gap >= 52 && gap <= 68);
                const bool sameGroup = previous->second->group == r.group;
                // Within a group: no S flag and the gap in its window; a new group starts
                // with S or a gap outside it.
                EXPECT_EQ(sameGroup, inWindow && name[2] != 'S') << name << " gap " << gap;
            } else {
                EXPECT_EQ(name[2], 'S') << name;
            }
            previousInFolder[r.folder] = &r;
        }
        if (options.recordings >= 2) {
            EXPECT_EQ(dates.size(), 2u);
        }
    }
}

struct EventCase {
    int recordings;
    int parking;
    std::vector<std::pair<char, RecordingEvent>> expected; // first letters in order
};

TEST(CardPlan, EventsSitWhereTheNamesSayAndFolders) {
    const auto plan = PlanCard(Small(6, 2));
    ASSERT_TRUE(plan);
    std::string letters;
    for (const PlannedRecording& r : plan->recordings) {
        letters += r.stem.substr(0, 3) + " ";
        switch (r.event) {
        case RecordingEvent::Impact:
            EXPECT_EQ(r.stem[0], 'G');
            EXPECT_EQ(r.folder, "Normal");
            break;
        case RecordingEvent::Manual:
            EXPECT_EQ(r.stem[0], 'M');
            EXPECT_EQ(r.folder, "Normal");
            break;
        case RecordingEvent::ParkingImpact:
            EXPECT_EQ(r.stem[1], 'G');
            EXPECT_EQ(r.folder, "Parking");
            break;
        case RecordingEvent::None:
            EXPECT_TRUE(r.stem[0] == 'A' || r.stem[0] == 'T') << r.stem;
            EXPECT_EQ(r.folder, r.stem[0] == 'T' ? "Parking" : "Normal");
            break;
        }
    }
    EXPECT_EQ(letters, "A_S G__ A__ T_S T__ PG_ A_S M__ A__ ");
}

TEST(CardPlan, TheSameSeedGivesTheSameCardAndAnotherSeedAnother) {
    CardOptions a = Small(6, 3);
    const auto first = PlanCard(a);
    const auto again = PlanCard(a);
    a.seed = 77;
    const auto other = PlanCard(a);
    ASSERT_TRUE(first && again && other);
    ASSERT_EQ(first->recordings.size(), again->recordings.size());
    for (std::size_t i = 0; i < first->recordings.size(); ++i) {
        EXPECT_EQ(first->recordings[i].stem, again->recordings[i].stem);
        EXPECT_EQ(TelemetryOf(first.value(), first->recordings[i]).block,
                  TelemetryOf(again.value(), again->recordings[i]).block);
    }
    EXPECT_NE(first->recordings[0].stem, other->recordings[0].stem);
}

struct BadOptions {
    const char* what;
    CardOptions options;
};

TEST(CardPlan, RefusesOptionsOutsideTheirRange) {
    auto with = [](auto change) {
        CardOptions o;
        change(o);
        return o;
    };
    const BadOptions cases[] = {
        {"no seconds", with([](CardOptions& o) { o.seconds = 0; })},
        {"longer than the gap", with([](CardOptions& o) { o.seconds = 61; })},
        {"negative count", with([](CardOptions& o) { o.recordings = -1; })},
        {"odd width", with([](CardOptions& o) { o.front.width = 321; })},
        {"tiny", with([](CardOptions& o) { o.rear.height = 10; })},
        {"no rate", with([](CardOptions& o) { o.rear.rateNumerator = 0; })},
        {"time-lapse rate", with([](CardOptions& o) { o.timelapseRate = 12; })},
    };
    for (const BadOptions& c : cases) {
        EXPECT_FALSE(PlanCard(c.options)) << c.what;
    }
}

struct FormatCase {
    const char* text;
    bool ok;
    int width, height, numerator, denominator;
};

TEST(CardPlan, ParsesCameraFormats) {
    const FormatCase cases[] = {
        {"1920x1080@27.5", true, 1920, 1080, 55, 2},
        {"160x120@30", true, 160, 120, 30, 1},
        {"1280x720@29.97", true, 1280, 720, 2997, 100},
        {"640x480@30000/1001", true, 640, 480, 30000, 1001},
        {"640x480", false, 0, 0, 0, 0},
        {"640x480@", false, 0, 0, 0, 0},
        {"x480@30", false, 0, 0, 0, 0},
        {"640x480@27.55555", false, 0, 0, 0, 0},
        {"641x480@30", false, 0, 0, 0, 0},
        {"640x480@-5", false, 0, 0, 0, 0},
    };
    for (const FormatCase& c : cases) {
        const auto f = ParseCameraFormat(c.text);
        ASSERT_EQ(static_cast<bool>(f), c.ok) << c.text;
        if (c.ok) {
            EXPECT_EQ(f->width, c.width);
            EXPECT_EQ(f->height, c.height);
            EXPECT_EQ(f->rateNumerator, c.numerator) << c.text;
            EXPECT_EQ(f->rateDenominator, c.denominator) << c.text;
        }
    }
    EXPECT_TRUE(ParseFirmwareVersion("1.4.2"));
    EXPECT_FALSE(ParseFirmwareVersion("1.4"));
    EXPECT_FALSE(ParseFirmwareVersion("1.400.2"));
}

TEST(PlanTime, AddsAcrossMonthsYearsAndLeapDays) {
    struct Case {
        PlanTime from;
        long long seconds;
        PlanTime to;
    };
    const Case cases[] = {
        {{2024, 2, 28, 23, 59, 30}, 60, {2024, 2, 29, 0, 0, 30}},
        {{2023, 12, 31, 23, 0, 0}, 3600, {2024, 1, 1, 0, 0, 0}},
        {{2024, 3, 1, 0, 0, 0}, -1, {2024, 2, 29, 23, 59, 59}},
    };
    for (const Case& c : cases) {
        const PlanTime t = AddSeconds(c.from, c.seconds);
        EXPECT_EQ(std::tie(t.year, t.month, t.day, t.hour, t.minute, t.second),
                  std::tie(c.to.year, c.to.month, c.to.day, c.to.hour, c.to.minute, c.to.second));
        EXPECT_EQ(SecondsBetween(c.from, t), c.seconds);
    }
}

TEST(CardTelemetry, FollowsTheRouteAtSpeedsThatMatchTheFixes) {
    const auto plan = PlanCard(Small(6, 2));
    ASSERT_TRUE(plan);
    const RouteBounds box = Route::Default().bounds();
    int noFix = 0;
    double fastest = 0;
    for (const PlannedRecording& r : plan->recordings) {
        const RecordingTelemetry t = TelemetryOf(plan.value(), r);
        ASSERT_EQ(t.records.size(), static_cast<std::size_t>(60 * r.recordsPerSecond)) << r.stem;
        const double dt = 1.0 / r.recordsPerSecond;
        for (std::size_t i = 0; i < t.records.size(); ++i) {
            const TelemetryRecordFields& f = t.records[i];
            if (!f.gps_valid) {
                ++noFix;
                continue;
            }
            EXPECT_GE(f.latitude, box.minLatitude - 1e-6);
            EXPECT_LE(f.latitude, box.maxLatitude + 1e-6);
            EXPECT_GE(f.longitude, box.minLongitude - 1e-6);
            EXPECT_LE(f.longitude, box.maxLongitude + 1e-6);
            EXPECT_LE(f.speed_kmh, 70.0);
            fastest = std::max(fastest, f.speed_kmh);
            if (i > 0 && t.records[i - 1].gps_valid) {
                const TelemetryRecordFields& p = t.records[i - 1];
                const double metres =
                    DistanceMetres({p.latitude, p.longitude}, {f.latitude, f.longitude});
                // The car covers speed x interval between fixes (within a corner's cut).
                EXPECT_NEAR(metres, f.speed_kmh / 3.6 * dt, 0.6) << r.stem << " record " << i;
            }
            if (r.parked) {
                EXPECT_EQ(f.speed_kmh, 0.0);
            }
        }
        const auto second = t.records.size() / 60;
        EXPECT_EQ(t.records[0].second, r.start.second);
        EXPECT_EQ(t.records[second].second, (r.start.second + 1) % 60);
    }
    EXPECT_GT(fastest, 35.0);
    EXPECT_GE(noFix, 10);
}

TEST(CardTelemetry, MarksTheEventsOfImpactManualAndParkingImpact) {
    const auto plan = PlanCard(Small(6, 2));
    ASSERT_TRUE(plan);
    std::map<RecordingEvent, int> seen;
    for (const PlannedRecording& r : plan->recordings) {
        const RecordingTelemetry t = TelemetryOf(plan.value(), r);
        int axisX = 0, axisZ = 0, manual = 0, parking = 0;
        double peak = 0;
        for (const TelemetryRecordFields& f : t.records) {
            axisX += f.axis == 'X';
            axisZ += f.axis == 'Z';
            manual += f.mark_a == 'D';
            parking += f.mark_c == 'D';
            peak = std::max({peak, std::fabs(f.gx), std::fabs(f.gy), std::fabs(f.gz - 1.0)});
        }
        seen[r.event]++;
        switch (r.event) {
        case RecordingEvent::Impact:
            EXPECT_GT(axisX, 0);
            EXPECT_GT(peak, 2.0);
            break;
        case RecordingEvent::Manual:
            EXPECT_EQ(manual, r.recordsPerSecond);
            break;
        case RecordingEvent::ParkingImpact:
            EXPECT_GT(axisZ, 0);
            EXPECT_GT(parking, 0);
            EXPECT_GT(peak, 1.5);
            break;
        case RecordingEvent::None:
            EXPECT_EQ(axisX + axisZ + manual + parking, 0) << r.stem;
            EXPECT_LT(peak, 0.9) << r.stem;
            break;
        }
    }
    EXPECT_EQ(seen[RecordingEvent::Impact], 1);
    EXPECT_EQ(seen[RecordingEvent::Manual], 1);
    EXPECT_EQ(seen[RecordingEvent::ParkingImpact], 1);
}

TEST(CardTelemetry, FastTimelapseFilesHaveFifteenRecordsASecond) {
    CardOptions o = Small(1, 2, 4);
    o.timelapseRate = 15;
    const auto plan = PlanCard(o);
    ASSERT_TRUE(plan);
    for (const PlannedRecording& r : plan->recordings) {
        const RecordingTelemetry t = TelemetryOf(plan.value(), r);
        EXPECT_EQ(t.records.size(), static_cast<std::size_t>(4 * (r.timelapse ? 15 : 10)));
        // The rate letter of the header: offset 6 + 25.
        ASSERT_GT(t.block.size(), 32u);
        EXPECT_EQ(t.block[6 + 25], r.timelapse ? 'T' : 'N') << r.stem;
    }
}

} // namespace
} // namespace kirvano
