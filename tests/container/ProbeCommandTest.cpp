// kirvano-cli probe, run as a program: the fields, null and −1 for what is absent, the
// top-level walk, and the exit codes.
#include "cli/Json.h"
#include "container/BoxBuilder.h"
#include "support/CliRunner.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>
#include <optional>

namespace kirvano {
namespace {

using testing::Be32;
using testing::Box;
using testing::BoxWithSize;
using testing::Bytes;
using testing::Cat;
using testing::TempDir;
using testing::Text;
using testing::Zeros;

using testing::CliRun;

CliRun Probe(const TempDir& dir, std::vector<std::string> paths) {
    paths.insert(paths.begin(), "probe");
    return testing::RunCli(paths, dir);
}

struct Box3 {
    const char* type;
    std::uint64_t offset, size;
};

struct Expected {
    bool movie;
    std::optional<float> duration_s, frame_duration_ms;
    std::int64_t frame_count;
    float frame_rate;
    int width, height;
    std::vector<Box3> top_level;
};

void WriteEntry(JsonWriter& json, const std::string& path, const Expected& e) {
    json.beginObject();
    json.key("path").value(path);
    json.key("movie").value(e.movie);
    json.key("duration_s").value(e.duration_s);
    json.key("frame_duration_ms").value(e.frame_duration_ms);
    json.key("frame_count").value(e.frame_count);
    json.key("frame_rate").value(e.frame_rate);
    json.key("width").value(e.width);
    json.key("height").value(e.height);
    json.key("top_level").beginArray();
    for (const Box3& b : e.top_level) {
        json.beginObject();
        json.key("type").value(b.type);
        json.key("offset").value(b.offset);
        json.key("size").value(b.size);
        json.endObject();
    }
    json.endArray();
    json.endObject();
}

struct ProbeCase {
    const char* name;
    Bytes bytes;
    Expected expected;
};

class ProbeCommandTest : public ::testing::TestWithParam<ProbeCase> {};

TEST_P(ProbeCommandTest, PrintsTheContractFields) {
    const ProbeCase& c = GetParam();
    TempDir dir;
    const std::string path = dir.file("input.mov");
    testing::WriteAll(path, std::string(c.bytes.begin(), c.bytes.end()));
    const CliRun run = Probe(dir, {path});
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.err, "");
    JsonWriter json;
    json.beginArray();
    WriteEntry(json, path, c.expected);
    json.endArray();
    EXPECT_EQ(run.out, json.text());
}

const Bytes kMovie = testing::Movie();
const std::uint64_t kMoovSize = kMovie.size() - 428;
const std::vector<Box3> kMovieBoxes = {
    {"ftyp", 0, 20}, {"mdat", 20, 408}, {"moov", 428, kMoovSize}};

testing::MovieShape ZeroTimescale() {
    testing::MovieShape s;
    s.timescale = 0;
    return s;
}

Bytes Truncated() {
    Bytes b = kMovie;
    b.resize(b.size() - 40);
    return b;
}

Bytes TextFile() {
    return Text(std::string(300, 'x'));
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ProbeCommandTest,
    ::testing::Values(
        ProbeCase{"movie", kMovie,
                  Expected{true, 2.0f, 1000.0f / 30.0f, 60, 30.0f, 1920, 1080, kMovieBoxes}},
        // Timescale 0: the timing is not finite and is printed as null.
        ProbeCase{"zero_timescale", testing::Movie(ZeroTimescale()),
                  Expected{true, std::nullopt, std::nullopt, 60, 0.0f, 1920, 1080, kMovieBoxes}},
        ProbeCase{"not_a_movie", TextFile(),
                  Expected{false, std::nullopt, std::nullopt, -1, -1.0f, -1, -1, {}}},
        ProbeCase{"empty", Bytes{},
                  Expected{false, std::nullopt, std::nullopt, -1, -1.0f, -1, -1, {}}},
        // The movie box runs past the end: timing still found, the tree refused.
        ProbeCase{"truncated", Truncated(),
                  Expected{true,
                           2.0f,
                           1000.0f / 30.0f,
                           -1,
                           -1.0f,
                           -1,
                           -1,
                           {{"ftyp", 0, 20}, {"mdat", 20, 408}}}},
        // The walk stops at a size below 8 and at a box past the end of the file.
        ProbeCase{
            "walk_stops_at_small_size",
            Cat({Box("free", Zeros(300)), BoxWithSize(4, "free", Zeros(8)), Box("free", Zeros(8))}),
            Expected{false, std::nullopt, std::nullopt, -1, -1.0f, -1, -1, {{"free", 0, 308}}}},
        ProbeCase{
            "walk_stops_past_end",
            Cat({Box("free", Zeros(300)), Box("skip", {}), BoxWithSize(17, "mdat", Zeros(8))}),
            Expected{false,
                     std::nullopt,
                     std::nullopt,
                     -1,
                     -1.0f,
                     -1,
                     -1,
                     {{"free", 0, 308}, {"skip", 308, 8}}}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(ProbeCommand, AFileThatCannotBeOpenedIsReportedAndLeftOut) {
    TempDir dir;
    const std::string good = dir.file("good.mov");
    testing::WriteAll(good, std::string(kMovie.begin(), kMovie.end()));
    const std::string missing = dir.file("missing.mov");
    const CliRun run = Probe(dir, {missing, good, dir.path()});
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.err, "kirvano-cli: " + missing + ": No such file or directory\n" +
                           "kirvano-cli: " + dir.path() + ": Is a directory\n");
    JsonWriter json;
    json.beginArray();
    WriteEntry(json, good,
               Expected{true, 2.0f, 1000.0f / 30.0f, 60, 30.0f, 1920, 1080, kMovieBoxes});
    json.endArray();
    EXPECT_EQ(run.out, json.text());
}

TEST(ProbeCommand, NoArgumentIsAUsageError) {
    TempDir dir;
    const CliRun run = Probe(dir, {});
    EXPECT_EQ(run.status, 2);
    EXPECT_NE(run.err.find("kirvano-cli probe MOVIE..."), std::string::npos);
}

} // namespace
} // namespace kirvano
