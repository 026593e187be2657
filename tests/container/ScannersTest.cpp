// The byte search, the box-path walk, the top-level walk and the movie timing on box files
// built in memory.
#include "container/Scanners.h"

#include "container/BoxBuilder.h"

#include <cmath>
#include <gtest/gtest.h>
#include <optional>

namespace kirvano {
namespace {

using testing::Be32;
using testing::Box;
using testing::BoxWithSize;
using testing::Bytes;
using testing::Cat;
using testing::Text;
using testing::Zeros;

struct Found {
    bool result = false;
    std::uint32_t hits = 0;
    std::optional<Bytes> first; // the first bytes the handler saw
};

enum class Scan { Marker, AtomPath, TopLevel };

Found RunScan(Scan scan, const Bytes& bytes, std::string_view marker, bool handler_ok = true,
              std::size_t keep = 8) {
    MappedFile reader;
    EXPECT_TRUE(reader.OpenMemory(bytes, "memory"));
    Found found;
    MarkerSpec spec;
    spec.bytes = marker;
    spec.handler = [&](MappedFile&, ByteRange range) {
        found.first = Bytes(range.data(), range.data() + std::min(keep, range.size()));
        return handler_ok;
    };
    switch (scan) {
    case Scan::Marker:
        found.result = FindMarker(reader, spec);
        break;
    case Scan::AtomPath:
        found.result = FindAtomPath(reader, spec);
        break;
    case Scan::TopLevel:
        found.result = WalkTopLevel(reader, spec);
        break;
    }
    found.hits = reader.hits();
    return found;
}

struct MarkerCase {
    const char* name;
    Bytes bytes;
    std::string_view marker;
    bool result;
    std::optional<Bytes> handed; // nullopt: the handler is not called
};

class FindMarkerTest : public ::testing::TestWithParam<MarkerCase> {};

TEST_P(FindMarkerTest, FindsWhatTheSearchRulesFind) {
    const MarkerCase& c = GetParam();
    const Found found = RunScan(Scan::Marker, c.bytes, c.marker, true, 4);
    EXPECT_EQ(found.result, c.result);
    EXPECT_EQ(found.first, c.handed);
    EXPECT_EQ(found.hits, c.handed && c.result ? 1u : 0u);
}

const Bytes kAfter = Text("ABCD");

INSTANTIATE_TEST_SUITE_P(
    Cases, FindMarkerTest,
    ::testing::Values(
        MarkerCase{"plain", Cat({Text("xxmvhd"), kAfter}), "mvhd", true, kAfter},
        MarkerCase{"absent", Text("xxmvhxmvh"), "mvhd", true, std::nullopt},
        MarkerCase{"empty_file", Bytes{}, "mvhd", true, std::nullopt},
        MarkerCase{"repeated_first_byte", Cat({Text("mmvhd"), kAfter}), "mvhd", true, kAfter},
        MarkerCase{"restart_on_first_byte", Cat({Text("mvhmvhd"), kAfter}), "mvhd", true, kAfter},
        // No further back-tracking: "abac" inside "ababac" is missed.
        MarkerCase{"no_back_tracking", Text("ababacxx"), "abac", true, std::nullopt},
        MarkerCase{"marker_at_end", Text("xxmvhd"), "mvhd", true, Bytes{}},
        MarkerCase{
            "mdat_payload_skipped",
            Cat({Box("mdat", Cat({Text("mvhd"), Text("WXYZ")})), Be32(12), Text("mvhd"), kAfter}),
            "mvhd", true, kAfter},
        MarkerCase{"only_inside_mdat", Cat({Box("mdat", Text("mvhdWXYZ")), Zeros(8)}), "mvhd", true,
                   std::nullopt},
        MarkerCase{"two_mdat_in_a_row",
                   Cat({Box("mdat", Text("mvhd1234")), Box("mdat", Text("mvhd5678")), Be32(12),
                        Text("mvhd"), kAfter}),
                   "mvhd", true, kAfter},
        MarkerCase{"mdat_size_zero", Cat({BoxWithSize(0, "mdat", Text("mvhdWXYZ"))}), "mvhd", false,
                   std::nullopt},
        MarkerCase{"mdat_size_below_header", Cat({BoxWithSize(4, "mdat", Text("mvhdWXYZ"))}),
                   "mvhd", false, std::nullopt},
        MarkerCase{"mdat_size_whole_file", Cat({BoxWithSize(16, "mdat", Text("mvhdWXYZ"))}), "mvhd",
                   false, std::nullopt},
        // A jump past the end is the end of the search.
        MarkerCase{"mdat_size_past_end", Cat({Zeros(16), BoxWithSize(20, "mdat", Zeros(4))}),
                   "mvhd", true, std::nullopt},
        // "mdat" in the first four bytes has no size in front of it.
        MarkerCase{"mdat_at_start", Cat({Text("mdat"), Text("mvhd"), kAfter}), "mvhd", true,
                   kAfter}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(FindMarker, HandlerFailureAndMissingHandlerFail) {
    const Bytes bytes = Cat({Text("xxmvhd"), kAfter});
    const Found failed = RunScan(Scan::Marker, bytes, "mvhd", false);
    EXPECT_FALSE(failed.result);
    EXPECT_EQ(failed.hits, 0u);

    MappedFile reader;
    ASSERT_TRUE(reader.OpenMemory(bytes, "memory"));
    MarkerSpec spec;
    spec.bytes = "mvhd";
    EXPECT_FALSE(FindMarker(reader, spec));
}

TEST(FindMarker, AbortStopsTheScanAndIsCleared) {
    MappedFile reader;
    ASSERT_TRUE(reader.OpenMemory(Cat({Text("xxmvhd"), kAfter}), "memory"));
    bool called = false;
    MarkerSpec spec;
    spec.bytes = "mvhd";
    spec.handler = [&](MappedFile&, ByteRange) { return called = true; };
    reader.RequestAbort();
    EXPECT_FALSE(FindMarker(reader, spec));
    EXPECT_FALSE(called);
    EXPECT_FALSE(reader.AbortRequested());
    EXPECT_TRUE(FindMarker(reader, spec));
    EXPECT_TRUE(called);
}

// Windows are 32 MiB apart; the search must see across their edges.
struct WindowEdgeCase {
    const char* name;
    std::uint64_t marker_at;
};

class WindowEdgeTest : public ::testing::TestWithParam<WindowEdgeCase> {};

TEST_P(WindowEdgeTest, MarkerAcrossWindowsIsFound) {
    Bytes bytes(kSearchWindow + 64, 0x20);
    const Bytes tail = Cat({Text("mvhd"), kAfter});
    std::copy(tail.begin(), tail.end(), bytes.begin() + GetParam().marker_at);
    const Found found = RunScan(Scan::Marker, bytes, "mvhd", true, 4);
    EXPECT_TRUE(found.result);
    EXPECT_EQ(found.first, kAfter);
}

INSTANTIATE_TEST_SUITE_P(Edges, WindowEdgeTest,
                         ::testing::Values(WindowEdgeCase{"straddling", kSearchWindow - 2},
                                           WindowEdgeCase{"last_byte_in_first", kSearchWindow - 4},
                                           WindowEdgeCase{"first_in_second", kSearchWindow}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(FindMarker, MdatWhoseSizeLiesInThePreviousWindowIsJumped) {
    // The type "mdat" starts the second window; its size is the last 4 bytes of the first.
    Bytes bytes(kSearchWindow + 64, 0x20);
    const Bytes mdat = Cat({Be32(16), Text("mdat"), Text("mvhd"), Text("XXXX")});
    std::copy(mdat.begin(), mdat.end(), bytes.begin() + kSearchWindow - 4);
    const Bytes tail = Cat({Be32(12), Text("mvhd"), kAfter});
    std::copy(tail.begin(), tail.end(), bytes.begin() + kSearchWindow + 12);
    const Found found = RunScan(Scan::Marker, bytes, "mvhd", true, 4);
    EXPECT_TRUE(found.result);
    EXPECT_EQ(found.first, kAfter);
}

TEST(FindMarker, MdatLongerThanAWindowIsJumpedInOneStep) {
    // A fake marker deep inside the media data would be found if the payload were read.
    const std::size_t media = kSearchWindow + kSearchWindow / 2;
    Bytes bytes = Cat({Be32(static_cast<std::uint32_t>(media + 8)), Text("mdat")});
    bytes.resize(8 + media, 0x30);
    const Bytes fake = Text("mvhdFAKE");
    std::copy(fake.begin(), fake.end(), bytes.begin() + kSearchWindow + 100);
    const Bytes tail = Cat({Be32(12), Text("mvhd"), kAfter});
    bytes.insert(bytes.end(), tail.begin(), tail.end());
    const Found found = RunScan(Scan::Marker, bytes, "mvhd", true, 4);
    EXPECT_TRUE(found.result);
    EXPECT_EQ(found.first, kAfter);
}

struct PathCase {
    const char* name;
    Bytes bytes;
    bool result;
    std::optional<Bytes> handed;
};

class FindAtomPathTest : public ::testing::TestWithParam<PathCase> {};

TEST_P(FindAtomPathTest, WalksToTheFirstTracksTable) {
    const PathCase& c = GetParam();
    const Found found = RunScan(Scan::AtomPath, c.bytes, "stts", true, 16);
    EXPECT_EQ(found.result, c.result);
    EXPECT_EQ(found.first, c.handed);
}

Bytes TrackChain(const Bytes& stts) {
    return Box("trak", Box("mdia", Box("minf", Box("stbl", Cat({Box("stsd", Zeros(8)), stts})))));
}
Bytes Chain(const Bytes& stts) {
    return Box("moov", TrackChain(stts));
}
Bytes Table(std::uint32_t count) {
    return testing::Stts({{count, 20}});
}
Bytes TablePayload(std::uint32_t count) {
    return Cat({Zeros(4), Be32(1), Be32(count), Be32(20)});
}

INSTANTIATE_TEST_SUITE_P(
    Cases, FindAtomPathTest,
    ::testing::Values(
        PathCase{"nested", Cat({testing::Ftyp(), Chain(Table(7))}), true, TablePayload(7)},
        PathCase{"after_mdat",
                 Cat({testing::Ftyp(), Box("mdat", Text("moovtrakstts")), Chain(Table(9))}), true,
                 TablePayload(9)},
        PathCase{"first_track_in_file_order",
                 Box("moov", Cat({Box("mvhd", Zeros(100)),
                                  Box("trak", Box("mdia", Box("minf", Box("stbl", Table(3))))),
                                  Box("trak", Box("mdia", Box("minf", Box("stbl", Table(4)))))})),
                 true, TablePayload(3)},
        PathCase{"absent", Cat({testing::Ftyp(), Box("moov", Box("mvhd", Zeros(100)))}), true,
                 std::nullopt},
        PathCase{"size_zero", Cat({testing::Ftyp(), BoxWithSize(0, "free", Zeros(8))}), false,
                 std::nullopt},
        PathCase{"size_below_header", Cat({testing::Ftyp(), BoxWithSize(3, "free", Zeros(8))}),
                 false, std::nullopt},
        PathCase{"truncated_header", Cat({testing::Ftyp(), Zeros(5)}), true, std::nullopt},
        // The handler sees the table only up to the end of its box.
        PathCase{
            "cut_at_box_end",
            Cat({Box("moov",
                     Box("trak", Box("mdia", Box("minf", Box("stbl", Box("stts", Zeros(4))))))),
                 Text("TAIL")}),
            true, Zeros(4)}),
    [](const auto& info) { return std::string(info.param.name); });

struct TopCase {
    const char* name;
    Bytes bytes;
    bool result;
    std::optional<Bytes> handed;
};

class WalkTopLevelTest : public ::testing::TestWithParam<TopCase> {};

TEST_P(WalkTopLevelTest, FindsABlockOnABoxBoundary) {
    const TopCase& c = GetParam();
    const Found found = RunScan(Scan::TopLevel, c.bytes, "CSMDAT", true, 8);
    EXPECT_EQ(found.result, c.result);
    EXPECT_EQ(found.first, c.handed);
    EXPECT_EQ(found.hits, c.handed ? 1u : 0u);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, WalkTopLevelTest,
    ::testing::Values(
        TopCase{"at_start", Text("CSMDAT@CS header"), true, Text("@CS head")},
        TopCase{"after_boxes", Cat({Box("free", Zeros(4)), Text("CSMDAT12345678")}), true,
                Text("12345678")},
        TopCase{"short_block", Text("CSMDAT12"), true, Text("12")},
        TopCase{"marker_only", Text("CSMDAT"), true, Bytes{}},
        TopCase{"not_on_a_boundary", Box("free", Text("CSMDAT..")), true, std::nullopt},
        TopCase{"size_zero", Cat({BoxWithSize(0, "free", Zeros(8))}), false, std::nullopt},
        TopCase{"empty", Bytes{}, true, std::nullopt}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(WalkTopLevel, BlockRangeEndsAtTheEndOfTheFile) {
    MappedFile reader;
    ASSERT_TRUE(
        reader.OpenMemory(Cat({Box("free", Zeros(8)), Text("CSMDAT"), Zeros(1000)}), "memory"));
    std::size_t seen = 0;
    MarkerSpec spec;
    spec.bytes = "CSMDAT";
    spec.handler = [&](MappedFile&, ByteRange range) {
        seen = range.size();
        return true;
    };
    EXPECT_TRUE(WalkTopLevel(reader, spec));
    EXPECT_EQ(seen, 1000u);
}

// The timing of a movie built in memory.
struct TimingCase {
    const char* name;
    Bytes bytes;
    bool ok;
    float duration_s;
    float frame_ms;
};

class MovieTimingTest : public ::testing::TestWithParam<TimingCase> {};

bool SameFloat(float a, float b) {
    return (std::isnan(a) && std::isnan(b)) || a == b;
}

TEST_P(MovieTimingTest, TimingFromHeaderAndFirstTable) {
    const TimingCase& c = GetParam();
    MappedFile reader;
    ASSERT_TRUE(reader.OpenMemory(c.bytes, "memory"));
    const auto timing = ReadOpenMovieTiming(reader);
    ASSERT_EQ(timing.ok(), c.ok) << (timing ? "" : timing.error());
    if (!c.ok)
        return;
    EXPECT_TRUE(SameFloat(timing->duration_s, c.duration_s)) << timing->duration_s;
    EXPECT_TRUE(SameFloat(timing->frame_duration_ms, c.frame_ms)) << timing->frame_duration_ms;
    EXPECT_TRUE(SameFloat(timing->frame_duration_working_ms, c.frame_ms));
}

testing::MovieShape Shape(std::uint32_t timescale, std::uint32_t duration, std::uint32_t count,
                          bool moov_first = false) {
    testing::MovieShape s;
    s.timescale = timescale;
    s.duration = duration;
    s.count = count;
    s.moov_first = moov_first;
    return s;
}

const float kInf = INFINITY;
const float kNaN = NAN;

Bytes WithoutTables() {
    return Cat({testing::Ftyp(), Box("free", Zeros(300)), Box("moov", testing::Mvhd(600, 1200))});
}
Bytes WithHeaderVersion1() {
    return Cat({testing::Ftyp(), Box("free", Zeros(300)),
                Box("moov", Cat({testing::Mvhd(600, 1200, 1), testing::Track(600, 6, 1, 2, 2)}))});
}
Bytes WithEmptyTable() {
    const Bytes stts = Box("stts", Cat({Zeros(4), Be32(0), Be32(60), Be32(20)}));
    return Cat({testing::Ftyp(), Box("free", Zeros(300)),
                Box("moov", Cat({testing::Mvhd(600, 1200), TrackChain(stts)}))});
}

INSTANTIATE_TEST_SUITE_P(
    Cases, MovieTimingTest,
    ::testing::Values(
        TimingCase{"mdat_first", testing::Movie(Shape(600, 1200, 60)), true, 2.0f,
                   1000.0f / (60.0f / 2.0f)},
        TimingCase{"moov_first", testing::Movie(Shape(600, 1200, 60, true)), true, 2.0f,
                   1000.0f / (60.0f / 2.0f)},
        TimingCase{"float_arithmetic", testing::Movie(Shape(90000, 5405400, 1800)), true,
                   5405400.0f / 90000.0f, 1000.0f / (1800.0f / (5405400.0f / 90000.0f))},
        TimingCase{"timescale_zero", testing::Movie(Shape(0, 1200, 60)), true, kInf, kInf},
        TimingCase{"timescale_and_duration_zero", testing::Movie(Shape(0, 0, 60)), true, kNaN,
                   kNaN},
        TimingCase{"count_zero", testing::Movie(Shape(600, 1200, 0)), true, 2.0f, kInf},
        TimingCase{"too_short", Cat({testing::Ftyp(), Box("moov", testing::Mvhd(600, 1200))}),
                   false, 0, 0},
        TimingCase{"not_ftyp", Cat({Box("free", Zeros(300)), testing::Moov(Shape(6, 1, 1))}), false,
                   0, 0},
        TimingCase{"no_header", Cat({testing::Ftyp(), Box("free", Zeros(300))}), false, 0, 0},
        TimingCase{"no_table", WithoutTables(), false, 0, 0},
        TimingCase{"header_version_1", WithHeaderVersion1(), false, 0, 0},
        TimingCase{"table_without_entries", WithEmptyTable(), false, 0, 0}),
    [](const auto& info) { return std::string(info.param.name); });

} // namespace
} // namespace kirvano
