// kirvano-cli telemetry, run as a program on files made by the block writer: the whole
// document compared with one written independently, the null rules and the exit codes.
#include "TelemetryTestData.h"
#include "cli/Json.h"
#include "container/BoxBuilder.h"
#include "support/CliRunner.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <optional>

namespace kirvano {
namespace {

using testing::AsString;
using testing::TempDir;

using testing::CliRun;

CliRun Telemetry(const TempDir& dir, std::vector<std::string> args) {
    args.insert(args.begin(), "telemetry");
    return testing::RunCli(args, dir);
}

// Three records with values that decode exactly: 35.5 N / 139.75 E, 0.5 S / 0.25 W.
std::vector<std::uint8_t> ThreeRecords(char rate = 'N') {
    std::vector<TelemetryRecordFields> f(3);
    for (auto& r : f) {
        r.latitude = 35.5;
        r.longitude = 139.75;
        r.year = 2022;
        r.month = 8;
        r.day = 18;
        r.hour = 23;
        r.minute = 59;
        r.second = 59;
    }
    f[0].speed_kmh = 42.5;
    f[0].gx = -1.25;
    f[0].time_correction_s = 2;
    f[1].gps_valid = false;
    f[1].latitude = -0.5;
    f[1].longitude = -0.25;
    f[1].gy = 2.5;
    f[1].mark_b = 'D';
    f[1].axis = 'X';
    f[2].gz = 0.75;
    f[2].event_letter = 'A';
    f[2].mark_d = 'D';
    f[2].status = 9;
    TelemetryHeaderFields h;
    h.values = {1.5f, 0.25f, 2.0f, 0.0f};
    h.major = 1;
    h.minor = 2;
    h.patch = 3;
    h.rate = rate;
    return testing::Block(f, h);
}

struct Expect {
    std::string path;
    bool header = true;
    std::vector<int> frames;   // per record
    std::vector<int> pos_link; // telemetry link of each position, -1 none
    std::vector<int> tel_link; // position link of each sample, -1 none
    double peak_g = 0;
    std::optional<std::vector<int>> table;
};

void Link(JsonWriter& json, int i) {
    if (i < 0)
        json.null();
    else
        json.value(i);
}

std::string Document(const Expect& e) {
    JsonWriter json;
    json.beginObject();
    json.key("path").value(e.path);
    json.key("header");
    const std::size_t n = e.header ? 3 : 0;
    if (e.header) {
        json.beginObject();
        json.key("values").beginArray().value(1.5f).value(0.25f).value(2.0f).value(0.0f).endArray();
        json.key("kind").value("M");
        json.key("version").value("010203");
        json.key("quality").value("H");
        json.key("rate").value("N");
        json.key("record_interval_ms").value(100.0f);
        json.endObject();
    } else {
        json.null();
    }
    json.key("record_count").value(static_cast<int>(n));
    json.key("peak_g").value(e.peak_g);
    const double lat[] = {35.5, -0.5, 35.5}, lon[] = {139.75, -0.25, 139.75};
    const char* times[] = {"2022-08-19T00:00:01", "2022-08-18T23:59:59", "2022-08-18T23:59:59"};
    json.key("positions").beginArray();
    for (std::size_t i = 0; i < n; ++i) {
        json.beginObject();
        json.key("index").value(static_cast<int>(i));
        json.key("frame").value(e.frames[i]);
        json.key("valid").value(i != 1);
        json.key("lat").value(lat[i]);
        json.key("lon").value(lon[i]);
        json.key("speed").value(i == 0 ? 42.5 : 0.0);
        json.key("time").value(times[i]);
        json.key("telemetry");
        Link(json, e.pos_link[i]);
        json.endObject();
    }
    json.endArray();
    const int events[] = {-1, 6, 12}, extras[] = {0, 0, 8}, axes[] = {0, 1, 0},
              status[] = {0, 0, 9};
    const double x[] = {-1.25, 0, 0}, y[] = {0, 2.5, 0}, z[] = {0, 0, 0.75};
    json.key("samples").beginArray();
    for (std::size_t i = 0; i < n; ++i) {
        json.beginObject();
        json.key("index").value(static_cast<int>(i));
        json.key("event").value(events[i]);
        json.key("extra").value(extras[i]);
        json.key("axis").value(axes[i]);
        json.key("frame").value(e.frames[i]);
        json.key("status").value(status[i]);
        json.key("x").value(x[i]);
        json.key("y").value(y[i]);
        json.key("z").value(z[i]);
        json.key("position");
        Link(json, e.tel_link[i]);
        json.endObject();
    }
    json.endArray();
    json.key("frame_table");
    if (e.table) {
        json.beginArray();
        for (int i : *e.table)
            Link(json, i);
        json.endArray();
    } else {
        json.null();
    }
    json.endObject();
    return json.text();
}

const Expect kUnindexed{"", true, {0, 100, 200}, {-1, -1, -1}, {-1, -1, -1}, 0, std::nullopt};

std::string Names(const TempDir& dir, const char* sub) {
    return dir.file(std::string("Normal/") + sub + "/AGS-220818-235959-000001" +
                    (sub[0] == 'F' ? "F.MOV" : "D.ADA"));
}

class TelemetryCommand : public ::testing::Test {
protected:
    void SetUp() override {
        std::filesystem::create_directories(dir.file("Normal/Front"));
        std::filesystem::create_directories(dir.file("Normal/Data"));
        data = Names(dir, "Data");
        movie = Names(dir, "Front");
        testing::WriteAll(data, AsString(ThreeRecords()));
        testing::WriteAll(movie, AsString(testing::Movie()));
        udat_movie = dir.file("udat.MOV");
        testing::WriteAll(
            udat_movie,
            AsString(testing::Cat({testing::Movie(), testing::Box("udat", ThreeRecords())})));
    }
    void ExpectDocument(const std::vector<std::string>& args, Expect e, int status = 0) {
        const CliRun run = Telemetry(dir, args);
        EXPECT_EQ(run.status, status) << run.err;
        if (e.path.empty())
            e.path = args[0];
        EXPECT_EQ(run.out, Document(e));
    }
    TempDir dir;
    std::string data, movie, udat_movie;
};

TEST_F(TelemetryCommand, DataFileWithoutFrameIndex) {
    ExpectDocument({data}, kUnindexed);
}

TEST_F(TelemetryCommand, DataFileWithFrameIndex) {
    // 30 frames a second: records at frames 0, 3 and 6, each shown one frame later.
    Expect e = kUnindexed;
    e.frames = {0, 3, 6};
    e.pos_link = {0, 1, 2};
    e.tel_link = {0, 0, 0};
    e.peak_g = 2.5;
    e.table = std::vector<int>{0, 0, 0, 0, 1, 1, 1, 2, 2};
    ExpectDocument({data, "--frames", "9", "--frame-duration", "33.333332"}, e);
    e.table = std::vector<int>{};
    e.frames = {0, 100, 200};
    e.pos_link = e.tel_link = {-1, -1, -1};
    e.peak_g = 0;
    ExpectDocument({data, "--frames", "0", "--frame-duration", "33.3"}, e);
}

TEST_F(TelemetryCommand, MovieUsesItsDataFileAndItsFrameDuration) {
    Expect e = kUnindexed;
    e.path = data;
    ExpectDocument({movie}, e);
    e.frames = {0, 3, 6};
    e.pos_link = {0, 1, 2};
    e.tel_link = {0, 0, 0};
    e.peak_g = 2.5;
    e.table = std::vector<int>{0, 0, 0, 0, 1};
    ExpectDocument({movie, "--frames", "5"}, e);
}

TEST_F(TelemetryCommand, MovieOwnBlock) {
    ExpectDocument({udat_movie, "--udat"}, kUnindexed);
    Expect none{"", false, {}, {}, {}, 0, std::nullopt};
    ExpectDocument({movie, "--udat"}, none);
}

TEST_F(TelemetryCommand, NoBlockIsAnAnswer) {
    std::filesystem::remove(data);
    Expect none{data, false, {}, {}, {}, 0, std::vector<int>{-1, -1}};
    ExpectDocument({movie, "--frames", "2"}, none);
    testing::WriteAll(dir.file("junk.ADA"), "CSMDAX and the rest");
    none.path = dir.file("junk.ADA");
    none.table.reset();
    ExpectDocument({dir.file("junk.ADA")}, none);
    testing::WriteAll(dir.file("cut.ADA"), "CSMDAT1000");
    none.path = dir.file("cut.ADA");
    ExpectDocument({dir.file("cut.ADA")}, none);
}

TEST_F(TelemetryCommand, MovieWithoutTimingCannotIndex) {
    testing::WriteAll(movie, AsString(testing::Cat(
                                 {testing::Ftyp(), testing::Box("free", testing::Zeros(300))})));
    Expect e = kUnindexed;
    e.path = data;
    e.table = std::vector<int>{-1, -1, -1};
    ExpectDocument({movie, "--frames", "3"}, e, 1);
    EXPECT_NE(Telemetry(dir, {movie, "--frames", "3"}).err.find("kirvano-cli: " + movie + ": "),
              std::string::npos);
}

TEST_F(TelemetryCommand, InputsThatCannotBeHandledStillGiveADocument) {
    // A file that cannot be opened: an empty document for it.
    const std::string missing = dir.file("missing.ADA");
    Expect none{missing, false, {}, {}, {}, 0, std::vector<int>{-1, -1}};
    ExpectDocument({missing, "--frames", "2", "--frame-duration", "33"}, none, 1);
    // A damaged movie: an input problem, not a usage error; its data file is still read.
    testing::WriteAll(movie, "not a movie at all");
    Expect e = kUnindexed;
    e.path = data;
    ExpectDocument({movie}, e, 1);
    e.table = std::vector<int>{-1, -1, -1};
    ExpectDocument({movie, "--frames", "3"}, e, 1);
    EXPECT_EQ(Telemetry(dir, {movie, "--frames", "3"}).err,
              "kirvano-cli: " + movie + ": not a readable movie\n");
}

TEST_F(TelemetryCommand, ExitCodes) {
    const struct {
        std::vector<std::string> args;
        int status;
        bool json;
    } cases[] = {
        {{}, 2, false},
        {{data, data}, 2, false},
        {{data, "--frames"}, 2, false},
        {{data, "--frames", "-1", "--frame-duration", "33"}, 2, false},
        {{data, "--frames", "12x", "--frame-duration", "33"}, 2, false},
        {{data, "--frames", "999999999999", "--frame-duration", "33"}, 2, false},
        {{data, "--frames", "3"}, 2, false},
        {{data, "--frames", "3", "--frame-duration", "fast"}, 2, false},
        {{data, "--bogus"}, 2, false},
        {{dir.file("missing.ADA")}, 1, true},
        {{dir.path()}, 1, true},
        {{data, "--frames", "3", "--frame-duration", "0"}, 0, true},
        {{data, "--frames", "3", "--frame-duration", "nan"}, 0, true},
    };
    for (const auto& c : cases) {
        const CliRun run = Telemetry(dir, c.args);
        const std::string shown = c.args.empty() ? "" : c.args.back();
        EXPECT_EQ(run.status, c.status) << shown << run.err;
        EXPECT_EQ(!run.out.empty(), c.json) << shown;
        EXPECT_EQ(run.err.empty(), c.status == 0) << shown << run.err;
    }
    const CliRun missing = Telemetry(dir, {dir.file("missing.ADA")});
    EXPECT_EQ(missing.err,
              "kirvano-cli: " + dir.file("missing.ADA") + ": No such file or directory\n");
}

} // namespace
} // namespace kirvano
