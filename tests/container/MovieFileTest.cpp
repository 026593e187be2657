// The box tree of movies built in memory: structure, per-type lists, the accessors, and
// the sizes the parse must refuse.
#include "container/MovieFile.h"

#include "container/BoxBuilder.h"
#include "container/KnownBoxTable.h"

#include <cmath>
#include <gtest/gtest.h>

namespace kirvano {
namespace {

using testing::Be32;
using testing::Box;
using testing::BoxWithSize;
using testing::Bytes;
using testing::Cat;
using testing::Text;
using testing::Zeros;

Result<MovieFile> Parse(const Bytes& bytes, bool load = true) {
    auto reader = std::make_unique<MappedFile>();
    EXPECT_TRUE(reader->OpenMemory(bytes, "memory.mov"));
    return ParseMovie(std::move(reader), load);
}

std::vector<std::string> TypesOf(const AtomNode& node) {
    std::vector<std::string> types;
    for (const AtomNode& child : node.children)
        types.push_back(child.type);
    return types;
}

TEST(KnownBoxTable, HoldsTheMembersInOrder) {
    const auto& table = KnownBoxTable();
    EXPECT_EQ(table.size(), 168u);
    EXPECT_EQ(table.front(), "ainf");
    EXPECT_EQ(table[53], "jP  ");
    EXPECT_EQ(table[164], "xml ");
    EXPECT_EQ(table[165], "xml ");
    EXPECT_EQ(table[166], "udat");
    EXPECT_EQ(table.back(), "ICAT");
    for (std::string_view type : table)
        EXPECT_TRUE(IsKnownBox(type)) << type;
}

TEST(KnownBoxTable, LookupIsExactAndCaseSensitive) {
    const struct {
        std::string_view type;
        bool known;
    } cases[] = {{"moov", true}, {"MOOV", false}, {"mdat", true},  {"udat", true},
                 {"ID32", true}, {"id32", false}, {"res ", true},  {"res", false},
                 {"url ", true}, {"wide", false}, {"avc1", false}, {"moovx", false},
                 {"", false},    {"UITS", true},  {"stts", true},  {"ilst", false}};
    for (const auto& c : cases)
        EXPECT_EQ(IsKnownBox(c.type), c.known) << c.type;
}

TEST(ParseMovie, BuildsTheTreeAndTheLists) {
    const Bytes bytes = testing::Movie();
    auto movie = Parse(bytes);
    ASSERT_TRUE(movie) << movie.error();
    const AtomNode& root = movie->root;
    EXPECT_EQ(root.depth, 0u);
    EXPECT_TRUE(root.type.empty());
    EXPECT_EQ(root.size, bytes.size());
    EXPECT_EQ(TypesOf(root), (std::vector<std::string>{"ftyp", "mdat", "moov"}));

    const AtomNode& ftyp = root.children[0];
    EXPECT_EQ(ftyp.depth, 1u);
    EXPECT_EQ(ftyp.offset, 8u);
    EXPECT_EQ(ftyp.size, 12u);
    EXPECT_TRUE(ftyp.is_leaf);
    ASSERT_TRUE(ftyp.payload);
    EXPECT_EQ(ftyp.loaded_size, 12u);
    EXPECT_EQ(ftyp.source, "memory.mov");

    const AtomNode& mdat = root.children[1];
    EXPECT_TRUE(mdat.is_leaf);
    EXPECT_FALSE(mdat.payload);
    EXPECT_EQ(mdat.offset, 28u);
    EXPECT_EQ(mdat.source_offset, 28u);
    EXPECT_EQ(mdat.source_size, 400u);

    const AtomNode& moov = root.children[2];
    EXPECT_FALSE(moov.is_leaf);
    EXPECT_FALSE(moov.payload);
    EXPECT_EQ(TypesOf(moov), (std::vector<std::string>{"mvhd", "trak"}));
    const AtomNode& stbl = moov.children[1].children[1].children[1].children[1];
    EXPECT_EQ(stbl.type, "stbl");
    EXPECT_EQ(stbl.depth, 5u);
    EXPECT_EQ(TypesOf(stbl), (std::vector<std::string>{"stsd", "stts", "stsz", "stco"}));
    // The sample description starts with a count, not a box: a leaf with its payload.
    EXPECT_TRUE(stbl.children[0].is_leaf);
    EXPECT_TRUE(stbl.children[0].payload);

    for (const char* type : {"mdat", "stsz", "stco", "mdhd", "stts", "mvhd", "tkhd", "stsd"}) {
        const auto* list = movie->ListOf(type);
        ASSERT_NE(list, nullptr) << type;
        ASSERT_EQ(list->size(), 1u) << type;
        EXPECT_EQ(list->front()->type, type);
    }
    EXPECT_TRUE(movie->stss.empty());
    EXPECT_TRUE(movie->elst.empty());
    EXPECT_EQ(movie->ListOf("moov"), nullptr);
}

TEST(ParseMovie, ListsAreInDepthFirstOrderAcrossTracks) {
    const Bytes moov =
        Box("moov", Cat({testing::Mvhd(1000, 2000), testing::Track(48000, 94, 1024, 2, 0),
                         testing::Track(12800, 50, 512, 160, 120)}));
    auto movie = Parse(Cat({testing::Ftyp(), moov, Box("mdat", Zeros(8))}));
    ASSERT_TRUE(movie) << movie.error();
    ASSERT_EQ(movie->stts.size(), 2u);
    ASSERT_EQ(movie->mdhd.size(), 2u);
    EXPECT_LT(movie->stts[0]->offset, movie->stts[1]->offset);
    // The accessors read the first track, here the sound track.
    EXPECT_EQ(FrameCount(movie.value()), 94);
    EXPECT_FLOAT_EQ(FrameRate(movie.value()), 48000.0f / 1024.0f);
    EXPECT_EQ(VideoSize(movie.value()).width, 2);
}

TEST(ParseMovie, PointersSurviveAMove) {
    auto parsed = Parse(testing::Movie());
    ASSERT_TRUE(parsed);
    MovieFile movie = std::move(parsed.value());
    const AtomNode* stts = movie.stts.front();
    const AtomNode& moov = movie.root.children[2];
    EXPECT_EQ(stts, &moov.children[1].children[1].children[1].children[1].children[1]);
    EXPECT_EQ(FrameCount(movie), 60);
    FreeMovie(movie);
    EXPECT_TRUE(movie.root.children.empty());
    EXPECT_TRUE(movie.stts.empty());
    EXPECT_EQ(movie.file, nullptr);
    EXPECT_EQ(FrameCount(movie), -1);
}

struct AccessorCase {
    const char* name;
    testing::MovieShape shape;
    bool load;
    int width, height;
    std::int64_t count;
    float rate;
};

class AccessorTest : public ::testing::TestWithParam<AccessorCase> {};

TEST_P(AccessorTest, ReadTheFirstTrack) {
    const AccessorCase& c = GetParam();
    auto movie = Parse(testing::Movie(c.shape), c.load);
    ASSERT_TRUE(movie) << movie.error();
    EXPECT_EQ(VideoSize(movie.value()).width, c.width);
    EXPECT_EQ(VideoSize(movie.value()).height, c.height);
    EXPECT_EQ(FrameCount(movie.value()), c.count);
    EXPECT_FLOAT_EQ(FrameRate(movie.value()), c.rate);
}

testing::MovieShape Shaped(std::uint32_t timescale, std::uint32_t count, std::uint32_t delta,
                           std::uint16_t width, std::uint16_t height, bool moov_first) {
    testing::MovieShape s;
    s.timescale = timescale;
    s.duration = count * delta;
    s.count = count;
    s.delta = delta;
    s.width = width;
    s.height = height;
    s.moov_first = moov_first;
    return s;
}

INSTANTIATE_TEST_SUITE_P(
    Cases, AccessorTest,
    ::testing::Values(AccessorCase{"full_hd_30", Shaped(600, 60, 20, 1920, 1080, false), true, 1920,
                                   1080, 60, 30.0f},
                      AccessorCase{"moov_first", Shaped(600, 60, 20, 1920, 1080, true), true, 1920,
                                   1080, 60, 30.0f},
                      AccessorCase{"ntsc", Shaped(30000, 1798, 1001, 1280, 720, false), true, 1280,
                                   720, 1798, 30000.0f / 1001.0f},
                      AccessorCase{"wide_values", Shaped(90000, 70000, 3000, 65535, 1, false), true,
                                   65535, 1, 70000, 30.0f},
                      AccessorCase{"zero_delta", Shaped(600, 60, 0, 640, 480, false), true, 640,
                                   480, 60, INFINITY},
                      AccessorCase{"payloads_not_loaded", Shaped(600, 60, 20, 1920, 1080, false),
                                   false, -1, -1, -1, -1.0f}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(ParseMovie, AccessorsWithoutTheirBoxesAreMinusOne) {
    auto movie = Parse(Cat({testing::Ftyp(), Box("moov", testing::Mvhd(600, 1200))}));
    ASSERT_TRUE(movie);
    EXPECT_EQ(VideoSize(movie.value()).width, -1);
    EXPECT_EQ(VideoSize(movie.value()).height, -1);
    EXPECT_EQ(FrameCount(movie.value()), -1);
    EXPECT_EQ(FrameRate(movie.value()), -1.0f);
}

TEST(ParseMovie, ShortPayloadsGiveMinusOne) {
    const Bytes stbl = Box("stbl", Cat({Box("stsd", Cat({Zeros(4), Be32(1), Zeros(20)})),
                                        Box("stts", Cat({Zeros(4), Be32(1), Be32(5)}))}));
    const Bytes moov =
        Box("moov", Cat({testing::Mvhd(600, 1200), Box("trak", Box("mdia", Box("minf", stbl)))}));
    auto movie = Parse(Cat({testing::Ftyp(), moov}));
    ASSERT_TRUE(movie) << movie.error();
    EXPECT_EQ(VideoSize(movie.value()).width, -1);
    EXPECT_EQ(FrameCount(movie.value()), 5);
    EXPECT_EQ(FrameRate(movie.value()), -1.0f);
}

struct RefusedCase {
    const char* name;
    Bytes bytes;
};

class RefusedTreeTest : public ::testing::TestWithParam<RefusedCase> {};

TEST_P(RefusedTreeTest, ParseFails) {
    auto movie = Parse(GetParam().bytes);
    EXPECT_FALSE(movie);
}

Bytes Nested(int levels) {
    Bytes box = Box("free", Zeros(8));
    for (int i = 0; i < levels; ++i)
        box = Box("moov", box);
    return box;
}

INSTANTIATE_TEST_SUITE_P(
    Cases, RefusedTreeTest,
    ::testing::Values(
        RefusedCase{"top_size_zero", Cat({testing::Ftyp(), BoxWithSize(0, "moov", Zeros(8))})},
        RefusedCase{"top_size_below_header",
                    Cat({testing::Ftyp(), BoxWithSize(7, "free", Zeros(8))})},
        RefusedCase{"top_past_end", Cat({testing::Ftyp(), BoxWithSize(100, "mdat", Zeros(8))})},
        RefusedCase{"child_size_zero",
                    Box("moov", Cat({Box("mvhd", Zeros(8)), BoxWithSize(0, "trak", Zeros(8))}))},
        RefusedCase{"child_past_parent", Cat({Box("moov", Cat({Box("mvhd", Zeros(8)),
                                                               BoxWithSize(40, "trak", Zeros(8))})),
                                              Box("free", Zeros(40))})},
        RefusedCase{"child_size_one_means_64_bit",
                    Box("moov", Cat({Box("mvhd", Zeros(8)), BoxWithSize(1, "trak", Zeros(16))}))},
        RefusedCase{"nesting_bomb", Nested(200)}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(ParseMovie, AllowsReasonableNesting) {
    EXPECT_TRUE(Parse(Nested(20)));
}

TEST(ParseMovie, UnknownChildStopsItsParentOnly) {
    const Bytes udta =
        Box("udta", Cat({Box("free", Zeros(4)), Box("\xA9too", Text("x")), Box("free", Zeros(4))}));
    const Bytes moov =
        Box("moov", Cat({testing::Mvhd(600, 1200), udta, testing::Track(600, 60, 20, 8, 8)}));
    auto movie = Parse(Cat({testing::Ftyp(), moov}));
    ASSERT_TRUE(movie) << movie.error();
    const AtomNode& parsed_moov = movie->root.children[1];
    ASSERT_EQ(TypesOf(parsed_moov), (std::vector<std::string>{"mvhd", "udta", "trak"}));
    const AtomNode& parsed_udta = parsed_moov.children[1];
    EXPECT_TRUE(parsed_udta.is_leaf);
    EXPECT_TRUE(parsed_udta.children_incomplete);
    EXPECT_FALSE(parsed_udta.payload);
    EXPECT_EQ(TypesOf(parsed_udta), (std::vector<std::string>{"free"}));
    EXPECT_EQ(parsed_udta.source_size, udta.size() - 8);
    // The parse goes on after the stopped box.
    EXPECT_EQ(FrameCount(movie.value()), 60);
}

TEST(ParseMovie, ShortTailOfAContainerIsKeptVerbatim) {
    // User-data lists may end with a 32-bit zero.
    const Bytes udta = Box("udta", Cat({Box("free", Zeros(4)), Zeros(4)}));
    auto movie = Parse(Cat({testing::Ftyp(), Box("moov", Cat({testing::Mvhd(1, 1), udta}))}));
    ASSERT_TRUE(movie) << movie.error();
    const AtomNode& parsed = movie->root.children[1].children[1];
    EXPECT_TRUE(parsed.children_incomplete);
    EXPECT_EQ(parsed.children.size(), 1u);
}

TEST(ParseMovie, UnknownTopLevelBoxesAreKept) {
    // Other tools put e.g. "wide" in front of the media data.
    const Bytes bytes = Cat({testing::Ftyp(), Box("wide", {}), Box("mdat", Zeros(8)),
                             Box("junk", Text("abcdefgh")), testing::Moov({})});
    auto movie = Parse(bytes);
    ASSERT_TRUE(movie) << movie.error();
    EXPECT_EQ(TypesOf(movie->root),
              (std::vector<std::string>{"ftyp", "wide", "mdat", "junk", "moov"}));
    const AtomNode& junk = movie->root.children[3];
    EXPECT_TRUE(junk.unknown_type);
    EXPECT_TRUE(junk.is_leaf);
    EXPECT_FALSE(junk.payload);
    EXPECT_EQ(junk.source_size, 8u);
    EXPECT_FALSE(movie->root.children_incomplete);
    EXPECT_EQ(FrameCount(movie.value()), 60);
}

TEST(ParseMovie, UnknownTopLevelBytesEndTheRoot) {
    // Not a box: a tail that cannot be walked ends the top level without failing.
    const Bytes bytes = Cat({testing::Ftyp(), testing::Moov({}), Text("garbage!!")});
    auto movie = Parse(bytes);
    ASSERT_TRUE(movie) << movie.error();
    EXPECT_TRUE(movie->root.children_incomplete);
    EXPECT_EQ(TypesOf(movie->root), (std::vector<std::string>{"ftyp", "moov"}));
}

TEST(ParseMovie, MdatIsNeverReadOrEntered) {
    // Media data that happens to start like a box list stays one leaf.
    const Bytes mdat = Box("mdat", Cat({Box("free", Zeros(4)), Box("moov", Zeros(8))}));
    auto movie = Parse(Cat({testing::Ftyp(), mdat}));
    ASSERT_TRUE(movie);
    const AtomNode& node = movie->root.children[1];
    EXPECT_TRUE(node.is_leaf);
    EXPECT_TRUE(node.children.empty());
    EXPECT_FALSE(node.payload);
    EXPECT_EQ(movie->mdat.size(), 1u);
}

TEST(ParseMovie, MissingFileFailsWithTheSystemText) {
    auto movie = ParseMovie("/nonexistent/x.mov", true);
    ASSERT_FALSE(movie);
    EXPECT_EQ(movie.error(), "No such file or directory");
}

} // namespace
} // namespace kirvano
