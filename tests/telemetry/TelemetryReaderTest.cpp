// The reader: frame indexing and links, moving, loading from files and movies, the
// collected positions and the prefetch cache.
#include "telemetry/TelemetryReader.h"
#include "TelemetryTestData.h"
#include "base/ByteRange.h"
#include "support/TempDir.h"
#include "telemetry/TelemetryFiles.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <sys/stat.h>
#include <thread>

namespace kirvano {
namespace {

using testing::AsString;
using testing::Block;
using testing::Sequence;
using testing::TempDir;
using testing::WriteAll;

constexpr float k30Fps = 1000.0f / 30.0f;

void LoadMemory(TelemetryReader& reader, const std::vector<std::uint8_t>& block) {
    ASSERT_TRUE(reader.LoadBlock(ByteRange(block.data() + 6, block.size() - 6), "memory"));
}

TelemetryHeaderFields Rate(char rate) {
    TelemetryHeaderFields h;
    h.rate = rate;
    return h;
}

struct TableCase {
    const char* name;
    char rate;
    float frame_duration;
    std::size_t records;
    std::int64_t frames;
    std::vector<std::pair<std::int64_t, std::int64_t>> entries; // frame -> sample index
};

class FrameTable : public ::testing::TestWithParam<TableCase> {};

TEST_P(FrameTable, Entries) {
    const auto& c = GetParam();
    TelemetryReader r;
    LoadMemory(r, Block(Sequence(c.records), Rate(c.rate)));
    r.set_frame_duration_ms(c.frame_duration);
    ASSERT_TRUE(r.BuildFrameIndex(c.frames));
    ASSERT_EQ(r.frame_table().size(), static_cast<std::size_t>(c.frames));
    for (auto [frame, sample] : c.entries)
        EXPECT_EQ(r.IndexOf(r.SampleAtFrame(frame)), sample) << c.name << " frame " << frame;
}

INSTANTIATE_TEST_SUITE_P(
    Index, FrameTable,
    ::testing::Values(
        // Record 1 (100 ms) is frame 3 and is shown from frame 4 on.
        TableCase{"30 fps, 10 Hz",
                  'N',
                  k30Fps,
                  20,
                  60,
                  {{0, 0}, {3, 0}, {4, 1}, {6, 1}, {7, 2}, {59, 19}}},
        TableCase{
            "past the samples", 'N', k30Fps, 2, 10, {{0, 0}, {4, 1}, {9, 1}, {10, -1}, {-1, -1}}},
        // 15 records a second on 10 frames a second: the cursor moves one sample per frame.
        TableCase{"cursor lags", 'T', 100.0f, 30, 20, {{0, 0}, {1, 1}, {2, 2}, {10, 10}, {19, 19}}},
        TableCase{"one sample", 'N', k30Fps, 1, 5, {{0, 0}, {4, 0}}}));

TEST(TelemetryReaderIndex, LinksBetweenPositionsAndSamples) {
    TelemetryReader r;
    LoadMemory(r, Block(Sequence(20)));
    r.set_frame_duration_ms(k30Fps);
    ASSERT_TRUE(r.BuildFrameIndex(60));
    // Five positions behind the cursor, which has moved one past the sample's own record.
    EXPECT_EQ(r.IndexOf(r.samples()[10].position), 6);
    EXPECT_EQ(r.IndexOf(r.samples()[19].position), 14);
    for (int j = 0; j < 4; ++j)
        EXPECT_EQ(r.IndexOf(r.samples()[j].position), 0) << j;
    EXPECT_EQ(r.IndexOf(r.samples()[4].position), 0);
    EXPECT_EQ(r.IndexOf(r.samples()[5].position), 1);
    for (int t = 0; t < 20; ++t)
        EXPECT_EQ(r.IndexOf(r.positions()[t].telemetry), t) << t;
    EXPECT_EQ(r.positions()[1].frame, 3);
    EXPECT_EQ(r.samples()[10].frame, 30);
}

TEST(TelemetryReaderIndex, PeakGIsTheLargestAbsoluteValue) {
    auto fields = Sequence(5);
    fields[2].gy = -3.5;
    fields[4].gz = 2.0;
    TelemetryReader r;
    LoadMemory(r, Block(fields));
    EXPECT_EQ(r.peak_g(), 0.0) << "only after indexing";
    r.set_frame_duration_ms(k30Fps);
    ASSERT_TRUE(r.BuildFrameIndex(10));
    EXPECT_DOUBLE_EQ(r.peak_g(), 3.5);
}

TEST(TelemetryReaderIndex, IndexingTwiceGivesTheSameFrames) {
    TelemetryReader r;
    LoadMemory(r, Block(Sequence(20)));
    r.set_frame_duration_ms(k30Fps);
    ASSERT_TRUE(r.BuildFrameIndex(60));
    ASSERT_TRUE(r.BuildFrameIndex(60));
    EXPECT_EQ(r.samples()[10].frame, 30);
    EXPECT_EQ(r.IndexOf(r.SampleAtFrame(4)), 1);
}

struct RefusedCase {
    const char* name;
    bool loaded;
    float duration;
    std::int64_t frames;
};

class RefusedIndex : public ::testing::TestWithParam<RefusedCase> {};

TEST_P(RefusedIndex, ChangesNothing) {
    const auto& c = GetParam();
    TelemetryReader r;
    if (c.loaded)
        LoadMemory(r, Block(Sequence(3)));
    r.set_frame_duration_ms(c.duration);
    EXPECT_FALSE(r.BuildFrameIndex(c.frames)) << c.name;
    EXPECT_TRUE(r.frame_table().empty()) << c.name;
    if (c.loaded) {
        EXPECT_EQ(r.samples()[1].frame, 100) << c.name;
    }
}

INSTANTIATE_TEST_SUITE_P(Index, RefusedIndex,
                         ::testing::Values(RefusedCase{"no frames", true, k30Fps, 0},
                                           RefusedCase{"negative frames", true, k30Fps, -5},
                                           RefusedCase{"zero duration", true, 0.0f, 10},
                                           RefusedCase{"negative duration", true, -33.0f, 10},
                                           RefusedCase{"not a number", true,
                                                       std::numeric_limits<float>::quiet_NaN(), 10},
                                           RefusedCase{"infinite", true,
                                                       std::numeric_limits<float>::infinity(), 10},
                                           RefusedCase{"nothing loaded", false, k30Fps, 10}));

TEST(TelemetryReaderIndex, TinyFrameDurationKeepsFramesInRange) {
    TelemetryReader r;
    LoadMemory(r, Block(Sequence(3)));
    r.set_frame_duration_ms(1e-30f);
    ASSERT_TRUE(r.BuildFrameIndex(3));
    EXPECT_EQ(r.samples()[2].frame, std::numeric_limits<std::int32_t>::max());
    EXPECT_EQ(r.IndexOf(r.SampleAtFrame(2)), 0);
}

TEST(TelemetryReaderIndex, EmptyBlockIndexesToEmptyEntries) {
    TelemetryReader r;
    LoadMemory(r, Block({}));
    EXPECT_TRUE(r.loaded());
    EXPECT_EQ(r.record_count(), 0u);
    r.set_frame_duration_ms(k30Fps);
    ASSERT_TRUE(r.BuildFrameIndex(4));
    EXPECT_EQ(std::vector<const TelemetrySample*>(r.frame_table()),
              std::vector<const TelemetrySample*>(4, nullptr));
    EXPECT_EQ(r.peak_g(), 0.0);
}

TEST(TelemetryReaderMove, KeepsLinksValidAndEmptiesTheSource) {
    TelemetryReader a, b;
    LoadMemory(a, Block(Sequence(20)));
    LoadMemory(b, Block(Sequence(3)));
    a.set_frame_duration_ms(k30Fps);
    ASSERT_TRUE(a.BuildFrameIndex(60));
    const TelemetrySample* at_frame_7 = a.SampleAtFrame(7);
    const double peak = a.peak_g();
    a.set_cache_key("movie");
    EXPECT_TRUE(a.MoveTo(b));
    EXPECT_EQ(b.SampleAtFrame(7), at_frame_7) << "elements did not move";
    EXPECT_EQ(b.IndexOf(b.samples()[10].position), 6);
    EXPECT_EQ(b.record_count(), 20u);
    EXPECT_EQ(b.peak_g(), peak);
    EXPECT_EQ(b.path(), "memory");
    EXPECT_TRUE(b.loaded());
    EXPECT_TRUE(a.samples().empty());
    EXPECT_TRUE(a.positions().empty());
    EXPECT_TRUE(a.frame_table().empty());
    EXPECT_FALSE(a.loaded()) << "an emptied cache must not be taken again";
    EXPECT_EQ(a.record_count(), 0u);
    EXPECT_EQ(a.cache_key(), "movie");
    TelemetryReader c;
    EXPECT_FALSE(a.MoveTo(c));
    EXPECT_TRUE(c.samples().empty());
}

TEST(TelemetryReaderMove, ClearReleasesEverything) {
    TelemetryReader r;
    LoadMemory(r, Block(Sequence(3), Rate('T')));
    r.Clear();
    EXPECT_FALSE(r.loaded());
    EXPECT_FALSE(r.has_block());
    EXPECT_EQ(r.header().kind, 0);
    EXPECT_EQ(r.record_interval_ms(), 100.0f);
    r.set_frame_duration_ms(k30Fps);
    EXPECT_FALSE(r.BuildFrameIndex(3));
}

// --- files -----------------------------------------------------------------------------

// A movie: ftyp, the udat box with the block, then a box whose bytes look like records.
std::string Movie(const std::vector<std::uint8_t>& block, std::size_t udat_payload) {
    auto box = [](const char* type, const std::string& payload) {
        std::string out(4, '\0');
        const std::uint32_t size = static_cast<std::uint32_t>(payload.size() + 8);
        PutBe32(reinterpret_cast<std::uint8_t*>(out.data()), size);
        return out + type + payload;
    };
    std::string movie = box("ftyp", "qt  " + std::string(300, '\0'));
    movie += box("udat", AsString(block).substr(0, udat_payload));
    movie += box("free", std::string(10 * kTelemetryRecordSize, ' '));
    return movie;
}

TEST(TelemetryFiles, IsTelemetryFile) {
    TempDir dir;
    WriteAll(dir.file("good.ADA"), AsString(Block(Sequence(1))));
    WriteAll(dir.file("short.ADA"), "CSMDA");
    WriteAll(dir.file("other.ADA"), "CSMEND and more");
    WriteAll(dir.file("empty.ADA"), "");
    ASSERT_EQ(mkfifo(dir.file("fifo.ADA").c_str(), 0600), 0);
    const struct {
        std::string path;
        bool expected;
    } cases[] = {{dir.file("good.ADA"), true},     {dir.file("short.ADA"), false},
                 {dir.file("other.ADA"), false},   {dir.file("empty.ADA"), false},
                 {dir.file("missing.ADA"), false}, {dir.path(), false},
                 {dir.file("fifo.ADA"), false}};
    for (const auto& c : cases)
        EXPECT_EQ(IsTelemetryFile(c.path), c.expected) << c.path;
}

TEST(TelemetryFiles, LoadFromFile) {
    TempDir dir;
    const auto block = Block(Sequence(12), Rate('T'));
    WriteAll(dir.file("a.ADA"), AsString(block));
    TelemetryReader r;
    ASSERT_TRUE(r.Load(dir.file("a.ADA")));
    EXPECT_TRUE(r.loaded());
    EXPECT_EQ(r.record_count(), 12u);
    EXPECT_EQ(r.path(), dir.file("a.ADA"));
    EXPECT_FLOAT_EQ(r.record_interval_ms(), kFastRecordIntervalMs);
    EXPECT_FALSE(r.file().IsOpen()) << "the file is not kept open";

    // Cut mid-record: the whole records before the cut are kept.
    WriteAll(dir.file("cut.ADA"), AsString(block).substr(0, 34 + 5 * 124 + 70));
    ASSERT_TRUE(r.Load(dir.file("cut.ADA")));
    EXPECT_EQ(r.record_count(), 5u);

    for (const char* bad : {"missing.ADA", "short.ADA", "nothing.ADA"}) {
        WriteAll(dir.file("short.ADA"), "CSMDAT12");
        WriteAll(dir.file("nothing.ADA"), std::string(40, '\0'));
        EXPECT_FALSE(r.Load(dir.file(bad))) << bad;
        EXPECT_FALSE(r.loaded()) << bad;
        EXPECT_TRUE(r.samples().empty()) << bad;
    }
}

TEST(TelemetryFiles, FileReadInPiecesMatchesTheBlockInMemory) {
    TempDir dir;
    const auto block = Block(Sequence(20000));
    WriteAll(dir.file("big.ADA"), AsString(block).substr(0, block.size() - 6 - 50));
    TelemetryReader from_file, from_memory;
    ASSERT_TRUE(from_file.Load(dir.file("big.ADA")));
    LoadMemory(from_memory, block);
    ASSERT_EQ(from_file.record_count(), 19999u) << "the last record is cut";
    for (std::size_t i : {0u, 8191u, 8192u, 8193u, 16383u, 16384u, 19998u}) {
        EXPECT_EQ(from_file.positions()[i].index, static_cast<std::int32_t>(i));
        EXPECT_EQ(from_file.positions()[i].latitude, from_memory.positions()[i].latitude) << i;
        EXPECT_EQ(from_file.samples()[i].y, from_memory.samples()[i].y) << i;
        EXPECT_EQ(from_file.samples()[i].frame, from_memory.samples()[i].frame) << i;
    }
}

TEST(TelemetryFiles, OneBlockHoldsAtMost270600Records) {
    TempDir dir;
    // An open count and no end marker: only the 32 MiB window from the block start is read.
    std::vector<std::uint8_t> records(270605 * kTelemetryRecordSize, ' ');
    auto block = EncodeTelemetryBlock(EncodeTelemetryHeader({}), records);
    block[32] = block[33] = 0xFF;
    block.resize(block.size() - 10);
    WriteAll(dir.file("full.ADA"), AsString(block));
    TelemetryReader r;
    ASSERT_TRUE(r.Load(dir.file("full.ADA")));
    EXPECT_EQ(r.record_count(), 270600u);
    EXPECT_EQ(r.samples().back().index, 270599);
}

TEST(TelemetryFiles, AbortedLoadFailsOnceAndClearsTheRequest) {
    TempDir dir;
    WriteAll(dir.file("a.ADA"), AsString(Block(Sequence(3))));
    TelemetryReader r;
    r.RequestAbort();
    EXPECT_FALSE(r.Load(dir.file("a.ADA")));
    EXPECT_FALSE(r.AbortRequested());
    EXPECT_TRUE(r.Load(dir.file("a.ADA")));
}

TEST(TelemetryFiles, MovieBlockStopsAtTheUdatBox) {
    TempDir dir;
    auto block = Block(Sequence(6));
    block[33] = 40; // claims 40 records; the box holds 6, the box behind it looks like more
    std::string movie = Movie(block, block.size());
    WriteAll(dir.file("m.MOV"), movie);
    TelemetryReader r;
    ASSERT_TRUE(LoadMovieBlock(r, dir.file("m.MOV")));
    EXPECT_EQ(r.record_count(), 6u);
    EXPECT_EQ(r.path(), dir.file("m.MOV"));

    WriteAll(dir.file("cut.MOV"), Movie(block, 34 + 2 * 124 + 10));
    ASSERT_TRUE(LoadMovieBlock(r, dir.file("cut.MOV")));
    EXPECT_EQ(r.record_count(), 2u);

    WriteAll(dir.file("none.MOV"), Movie({'x', 'y'}, 2));
    EXPECT_FALSE(LoadMovieBlock(r, dir.file("none.MOV")));
    EXPECT_FALSE(r.loaded());
}

TEST(TelemetryFiles, ReadHeaderOnly) {
    TempDir dir;
    std::filesystem::create_directories(dir.file("Normal/Front"));
    std::filesystem::create_directories(dir.file("Normal/Data"));
    TelemetryHeaderFields h;
    h.quality = 'L';
    h.major = 3;
    const std::string movie = dir.file("Normal/Front/AGS-220801-123456-000123F.MOV");
    const std::string data = dir.file("Normal/Data/AGS-220801-123456-000123D.ADA");
    WriteAll(data, AsString(Block(Sequence(2), h)));
    TelemetryHeader header;
    ASSERT_TRUE(ReadHeaderOnly(movie, header));
    EXPECT_EQ(header.quality, 'L');
    EXPECT_EQ(std::string(header.version.data(), 2), "03");
    ASSERT_TRUE(ReadHeaderOnly(data, header));

    h.quality = 'Q';
    WriteAll(dir.file("clip.MOV"), Movie(Block(Sequence(1), h), 200));
    ASSERT_TRUE(ReadHeaderOnly(dir.file("clip.MOV"), header)) << "the movie's own block";
    EXPECT_EQ(header.quality, 'Q');
    EXPECT_FALSE(ReadHeaderOnly(dir.file("nothing.MOV"), header));
}

TEST(TelemetryFiles, CollectPositionsRestartsIndicesPerFile) {
    TempDir dir;
    const std::vector<std::string> movies = {dir.file("a.MOV"), dir.file("b.MOV"),
                                             dir.file("c.MOV")};
    WriteAll(dir.file("a.ADA"), AsString(Block(Sequence(3))));
    WriteAll(dir.file("b.ADA"), AsString(Block(Sequence(2), Rate('T'))));
    ASSERT_TRUE(CollectPositions(std::span(movies).first(2)));
    const auto all = CollectedPositions();
    ASSERT_EQ(all.size(), 5u);
    const std::int32_t indices[] = {0, 1, 2, 0, 1};
    const std::int32_t frames[] = {0, 100, 200, 0, 66};
    for (std::size_t i = 0; i < all.size(); ++i) {
        EXPECT_EQ(all[i].index, indices[i]) << i;
        EXPECT_EQ(all[i].frame, frames[i]) << i;
        EXPECT_EQ(all[i].telemetry, nullptr);
    }
    // The missing third file stops the walk; what came before stays, nothing doubles.
    EXPECT_FALSE(CollectPositions(movies));
    EXPECT_EQ(CollectedPositions().size(), 5u);
}

TEST(TelemetryPrefetch, CachedSamplesAreTakenOnlyForTheirMovie) {
    TempDir dir;
    WriteAll(dir.file("a.ADA"), AsString(Block(Sequence(8))));
    std::recursive_mutex cache_lock, file_lock;
    TelemetryReader cache, loading;
    ASSERT_TRUE(PrefetchTelemetry(cache, cache_lock, dir.file("a.MOV")));
    EXPECT_TRUE(cache.loaded());
    EXPECT_FALSE(cache.prefetch_running());
    EXPECT_EQ(cache.cache_key(), dir.file("a.MOV"));
    EXPECT_FALSE(TakeCachedTelemetry(cache, loading, dir.file("b.MOV")));
    EXPECT_TRUE(cache.samples().empty()) << "a cache for another movie is dropped";

    ASSERT_TRUE(PrefetchTelemetry(cache, cache_lock, dir.file("a.MOV")));
    const TelemetrySample* first = &cache.samples()[0];
    loading.set_frame_duration_ms(k30Fps);
    ASSERT_TRUE(
        LoadTelemetryForPlayback(cache, cache_lock, file_lock, loading, dir.file("a.MOV"), 30));
    EXPECT_EQ(&loading.samples()[0], first) << "moved, not reloaded";
    EXPECT_EQ(loading.IndexOf(loading.SampleAtFrame(4)), 1);
    EXPECT_FALSE(cache.loaded());

    // Nothing cached: the data file is loaded directly.
    ASSERT_TRUE(
        LoadTelemetryForPlayback(cache, cache_lock, file_lock, loading, dir.file("a.MOV"), 30));
    EXPECT_EQ(loading.record_count(), 8u);
    EXPECT_FALSE(
        LoadTelemetryForPlayback(cache, cache_lock, file_lock, loading, dir.file("none.MOV"), 30));
    EXPECT_TRUE(loading.samples().empty());

    EXPECT_FALSE(PrefetchTelemetry(cache, cache_lock, dir.file("none.MOV")));
    EXPECT_TRUE(PrefetchTelemetry(cache, cache_lock, ""));
    EXPECT_TRUE(cache.cache_key().empty());
    EXPECT_FALSE(cache.loaded());
}

TEST(TelemetryPrefetch, AbortOtherPrefetchWaitsForTheLock) {
    TelemetryReader cache;
    std::recursive_mutex cache_lock;
    cache.set_cache_key("other.MOV");
    cache.set_prefetch_running(true);
    std::atomic<bool> released{false};
    std::atomic<bool> locked{false};
    std::thread prefetch([&] {
        std::lock_guard lock(cache_lock);
        locked = true;
        while (!cache.AbortRequested())
            std::this_thread::yield();
        released = true;
    });
    while (!locked)
        std::this_thread::yield();
    AbortOtherPrefetch(cache, cache_lock, "this.MOV");
    EXPECT_TRUE(released.load());
    EXPECT_FALSE(cache.AbortRequested()) << "the request is withdrawn afterwards";
    prefetch.join();

    cache.set_cache_key("this.MOV");
    AbortOtherPrefetch(cache, cache_lock, "this.MOV");
    EXPECT_FALSE(cache.AbortRequested()) << "a prefetch of the same movie goes on";
}

} // namespace
} // namespace kirvano
