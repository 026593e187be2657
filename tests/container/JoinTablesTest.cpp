// The sample-table append on plain tables, the table readers' refusals, and the box
// sizes of the writer (32-bit limit, 64-bit media boxes, containers refused).
#include "container/JoinTables.h"
#include "container/JoinBoxWriter.h"

#include <gtest/gtest.h>

namespace kirvano {
namespace {

// count samples of sizes 10, 11, 12, ... in chunks of perChunk, offsets at base + 1000*c.
SampleTables Tables(std::uint32_t count, std::uint32_t perChunk, std::uint32_t delta,
                    std::optional<std::vector<std::uint32_t>> sync = std::nullopt) {
    SampleTables t;
    t.timeToSample = {{count, delta}};
    t.sampleCount = count;
    for (std::uint32_t i = 0; i < count; ++i)
        t.sampleSizes.push_back(10 + i);
    const std::uint32_t chunks = (count + perChunk - 1) / perChunk;
    t.sampleToChunk = {{1, perChunk, 1}};
    if (count % perChunk)
        t.sampleToChunk.push_back({chunks, count % perChunk, 1});
    for (std::uint32_t c = 0; c < chunks; ++c)
        t.chunkOffsets.push_back(1000 * c);
    t.syncSamples = std::move(sync);
    return t;
}

TEST(AppendTables, ShiftsSampleAndChunkNumbersAndJoinsRuns) {
    SampleTables a = Tables(10, 4, 20, std::vector<std::uint32_t>{1, 5});
    const SampleTables b = Tables(8, 4, 20, std::vector<std::uint32_t>{1, 3});
    ASSERT_TRUE(AppendTables(a, b));
    EXPECT_EQ(a.sampleCount, 18u);
    EXPECT_EQ(a.timeToSample, (std::vector<TimeToSampleEntry>{{18, 20}}));
    // a: chunks 1-2 of 4, chunk 3 of 2; b: chunks 4-5 of 4.
    EXPECT_EQ(a.sampleToChunk, (std::vector<SampleToChunkEntry>{{1, 4, 1}, {3, 2, 1}, {4, 4, 1}}));
    EXPECT_EQ(*a.syncSamples, (std::vector<std::uint32_t>{1, 5, 11, 13}));
    EXPECT_EQ(a.chunkCount(), 5u);
    auto lengths = ChunkLengths(a);
    ASSERT_TRUE(lengths) << lengths.error();
    EXPECT_EQ(lengths.value()[3], 10u + 11 + 12 + 13);
}

TEST(AppendTables, RunThatContinuesOverTheSeamIsOneEntry) {
    SampleTables a = Tables(8, 4, 20);
    ASSERT_TRUE(AppendTables(a, Tables(8, 4, 20)));
    EXPECT_EQ(a.sampleToChunk, (std::vector<SampleToChunkEntry>{{1, 4, 1}}));
    ASSERT_TRUE(ChunkLengths(a));
}

struct TimeCase {
    const char* name;
    std::vector<TimeToSampleEntry> a, b, joined;
};

class TimeToSampleAppend : public ::testing::TestWithParam<TimeCase> {};

TEST_P(TimeToSampleAppend, EntriesAreAppendedNotJustCounted) {
    const auto& c = GetParam();
    SampleTables a = Tables(0, 1, 1), b = Tables(0, 1, 1);
    a.timeToSample = c.a;
    b.timeToSample = c.b;
    ASSERT_TRUE(AppendTables(a, b));
    EXPECT_EQ(a.timeToSample, c.joined);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, TimeToSampleAppend,
    ::testing::Values(
        TimeCase{"SameRate", {{30, 20}}, {{30, 20}}, {{60, 20}}},
        TimeCase{"LastFrameLonger", {{29, 20}, {1, 40}}, {{30, 20}}, {{29, 20}, {1, 40}, {30, 20}}},
        TimeCase{"DifferentRates", {{30, 20}}, {{30, 25}}, {{30, 20}, {30, 25}}},
        TimeCase{"CountOverflowKeepsTwoEntries",
                 {{0xFFFFFFF0u, 1}},
                 {{0x20, 1}},
                 {{0xFFFFFFF0u, 1}, {0x20, 1}}}),
    [](const auto& info) { return std::string(info.param.name); });

struct SyncCase {
    const char* name;
    std::optional<std::vector<std::uint32_t>> a, b, joined;
};

class SyncAppend : public ::testing::TestWithParam<SyncCase> {};

TEST_P(SyncAppend, MissingTableMeansEverySampleIsASyncSample) {
    const auto& c = GetParam();
    SampleTables a = Tables(3, 3, 1, c.a);
    ASSERT_TRUE(AppendTables(a, Tables(2, 2, 1, c.b)));
    EXPECT_EQ(a.syncSamples, c.joined);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, SyncAppend,
    ::testing::Values(SyncCase{"Neither", std::nullopt, std::nullopt, std::nullopt},
                      SyncCase{"Both", std::vector<std::uint32_t>{1}, std::vector<std::uint32_t>{2},
                               std::vector<std::uint32_t>{1, 5}},
                      SyncCase{"FirstOnly", std::vector<std::uint32_t>{1}, std::nullopt,
                               std::vector<std::uint32_t>{1, 4, 5}},
                      SyncCase{"SecondOnly", std::nullopt, std::vector<std::uint32_t>{1},
                               std::vector<std::uint32_t>{1, 2, 3, 4}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(AppendTables, SampleSizesConstantOrExpanded) {
    SampleTables a = Tables(2, 2, 1), b = Tables(3, 3, 1);
    a.constantSampleSize = 7;
    a.sampleSizes.clear();
    b.constantSampleSize = 7;
    b.sampleSizes.clear();
    SampleTables same = a;
    ASSERT_TRUE(AppendTables(same, b));
    EXPECT_EQ(same.constantSampleSize, 7u);
    EXPECT_EQ(same.sampleCount, 5u);
    EXPECT_TRUE(same.sampleSizes.empty());

    b.constantSampleSize = 9;
    ASSERT_TRUE(AppendTables(a, b));
    EXPECT_EQ(a.constantSampleSize, 0u);
    EXPECT_EQ(a.sampleSizes, (std::vector<std::uint32_t>{7, 7, 9, 9, 9}));
}

TEST(AppendTables, CompositionOffsetsAppendedOrRefused) {
    SampleTables a = Tables(2, 2, 1), b = Tables(2, 2, 1);
    a.compositionVersion = 0;
    a.composition = {{1, 2}, {1, 0}};
    SampleTables lone = a;
    EXPECT_FALSE(AppendTables(lone, b));
    EXPECT_EQ(lone.sampleCount, 2u) << "a refused append changes nothing";
    b.compositionVersion = 0;
    b.composition = {{1, 0}, {1, 2}};
    ASSERT_TRUE(AppendTables(a, b));
    EXPECT_EQ(a.composition, (std::vector<CompositionEntry>{{1, 2}, {2, 0}, {1, 2}}));
}

TEST(AppendTables, SampleGroupsPadTheUngroupedTail) {
    SampleTables a = Tables(5, 5, 1), b = Tables(4, 4, 1);
    a.groups = SampleGroups{{0, 0, 0, 0, 'r', 'o', 'l', 'l'}, {{3, 1}}};
    b.groups = SampleGroups{{0, 0, 0, 0, 'r', 'o', 'l', 'l'}, {{4, 1}}};
    ASSERT_TRUE(AppendTables(a, b));
    EXPECT_EQ(a.groups->entries, (std::vector<SampleGroupEntry>{{3, 1}, {2, 0}, {4, 1}}));
}

struct BadTable {
    const char* name;
    void (*change)(SampleTables&);
};

class ChunkLengthRefusal : public ::testing::TestWithParam<BadTable> {};

TEST_P(ChunkLengthRefusal, InconsistentTablesAreRefused) {
    SampleTables t = Tables(10, 4, 20, std::vector<std::uint32_t>{1, 5});
    ASSERT_TRUE(ChunkLengths(t));
    GetParam().change(t);
    EXPECT_FALSE(ChunkLengths(t));
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ChunkLengthRefusal,
    ::testing::Values(
        BadTable{"TimeCountDiffers", [](SampleTables& t) { t.timeToSample[0].count = 9; }},
        BadTable{"FirstChunkNotOne", [](SampleTables& t) { t.sampleToChunk[0].firstChunk = 2; }},
        BadTable{"ChunkPastTheEnd", [](SampleTables& t) { t.sampleToChunk[1].firstChunk = 9; }},
        BadTable{"TooManySamplesPerChunk",
                 [](SampleTables& t) { t.sampleToChunk[0].samplesPerChunk = 9; }},
        BadTable{"TooFewChunks", [](SampleTables& t) { t.chunkOffsets.pop_back(); }},
        BadTable{"SecondDescription",
                 [](SampleTables& t) { t.sampleToChunk[1].descriptionIndex = 2; }},
        BadTable{"SyncOutOfRange", [](SampleTables& t) { t.syncSamples->push_back(11); }},
        BadTable{"SyncOutOfOrder", [](SampleTables& t) { (*t.syncSamples)[1] = 1; }}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(TableReaders, CountsLargerThanThePayloadAreRefused) {
    // version/flags, count 3, only two entries.
    std::vector<std::uint8_t> p(8 + 16, 0);
    PutBe32(p.data() + 4, 3);
    EXPECT_FALSE(ParseTimeToSample(ByteRange(p.data(), p.size())));
    PutBe32(p.data() + 4, 2);
    EXPECT_TRUE(ParseTimeToSample(ByteRange(p.data(), p.size())));
    PutBe32(p.data() + 4, 0xFFFFFFFF);
    EXPECT_FALSE(ParseChunkOffsets(ByteRange(p.data(), p.size()), true));
    EXPECT_FALSE(ParseSampleToChunk(ByteRange(p.data(), p.size())));
    EXPECT_FALSE(ParseSyncSamples(ByteRange(p.data(), 3)));
}

TEST(TableWriters, RoundTripThroughTheReaders) {
    SampleTables t = Tables(9, 4, 20, std::vector<std::uint32_t>{1, 5});
    const auto stts = TimeToSamplePayload(t);
    EXPECT_EQ(ParseTimeToSample(ByteRange(stts.data(), stts.size())).value(), t.timeToSample);
    const auto stsc = SampleToChunkPayload(t);
    EXPECT_EQ(ParseSampleToChunk(ByteRange(stsc.data(), stsc.size())).value(), t.sampleToChunk);
    const auto stss = SyncSamplePayload(t);
    EXPECT_EQ(ParseSyncSamples(ByteRange(stss.data(), stss.size())).value(), *t.syncSamples);
    SampleTables back;
    const auto stsz = SampleSizePayload(t);
    ASSERT_TRUE(ParseSampleSizes(ByteRange(stsz.data(), stsz.size()), back));
    EXPECT_EQ(back.sampleSizes, t.sampleSizes);
}

TEST(TableWriters, ChunkOffsetsPast4GiBNeedTheWideTable) {
    bool is64 = true;
    auto narrow = ChunkOffsetPayload({8, 0xFFFFFFFFu}, &is64);
    EXPECT_FALSE(is64);
    EXPECT_EQ(narrow.size(), 16u);
    auto wide = ChunkOffsetPayload({8, 0x100000000ull}, &is64);
    EXPECT_TRUE(is64);
    EXPECT_EQ(ParseChunkOffsets(ByteRange(wide.data(), wide.size()), true).value(),
              (std::vector<std::uint64_t>{8, 0x100000000ull}));
}

struct SizeCase {
    const char* name;
    std::uint64_t media;
    std::uint64_t header;
};

class MediaBoxSize : public ::testing::TestWithParam<SizeCase> {};

TEST_P(MediaBoxSize, SixtyFourBitSizeOnlyWhenThirtyTwoBitsCannotHoldIt) {
    const OutBox box = OutBox::Media("mdat", {{0, 0, GetParam().media}});
    EXPECT_EQ(HeaderSize(box), GetParam().header);
    EXPECT_EQ(BoxSize(box), GetParam().media + GetParam().header);
    const auto h = BoxHeader("mdat", GetParam().media);
    ASSERT_EQ(h.size(), GetParam().header);
    const ByteRange r(h.data(), h.size());
    if (GetParam().header == 8) {
        EXPECT_EQ(*r.be32(0), GetParam().media + 8);
    } else {
        EXPECT_EQ(*r.be32(0), 1u);
        EXPECT_EQ(*r.be64(8), GetParam().media + 16);
    }
    EXPECT_EQ(*r.fourcc(4), "mdat");
}

INSTANTIATE_TEST_SUITE_P(Cases, MediaBoxSize,
                         ::testing::Values(SizeCase{"Small", 100, 8},
                                           SizeCase{"LargestNarrow", 0xFFFFFFFFull - 8, 8},
                                           SizeCase{"SmallestWide", 0xFFFFFFFFull - 7, 16},
                                           SizeCase{"SixGiB", 6ull << 30, 16}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(BoxLayout, MediaOffsetsFollowTheBoxesBeforeThem) {
    std::vector<OutBox> top;
    top.push_back(OutBox::Bytes("ftyp", std::vector<std::uint8_t>(12)));
    top.push_back(OutBox::Media("mdat", {{0, 0, 5ull << 30}}));
    top.push_back(
        OutBox::Container("moov", {OutBox::Bytes("mvhd", std::vector<std::uint8_t>(100))}));
    top.push_back(OutBox::Media("mdat", {{0, 0, 10}, {1, 0, 20}}));
    const auto offsets = MediaPayloadOffsets(top);
    ASSERT_EQ(offsets.size(), 2u);
    EXPECT_EQ(offsets[0], 20u + 16);
    EXPECT_EQ(offsets[1], 20u + 16 + (5ull << 30) + 116 + 8);
    EXPECT_EQ(FileSize(top), offsets[1] + 30);
    EXPECT_TRUE(CheckSizes(top));

    std::vector<OutBox> huge;
    huge.push_back(OutBox::Container("moov", {OutBox::Media("mdat", {{0, 0, 5ull << 30}})}));
    EXPECT_FALSE(CheckSizes(huge)) << "a container cannot take a 64-bit size";
}

} // namespace
} // namespace kirvano
