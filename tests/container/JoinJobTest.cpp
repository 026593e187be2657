// The join job on small generated movies: merged tables and durations, the samples of
// the output equal to the inputs' in order, the companion outputs, and every refusal and
// failure leaving no output behind.
#include "container/JoinJob.h"
#include "JoinMovieBuilder.h"
#include "config/FileAttributes.h"
#include "container/JoinBoxWriter.h"
#include "container/JoinInput.h"
#include "container/JoinMovie.h"
#include "support/TempDir.h"

#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>

namespace kirvano {
namespace {

using testing::Bytes;
using testing::MovieSpec;
using testing::ReadAll;
using testing::TempDir;

std::string Name(int i, char camera) {
    return "AGS-220801-12000" + std::to_string(i) + "-00012" + std::to_string(i) + camera;
}

void WriteBytes(const std::string& path, const Bytes& b) {
    testing::WriteAll(path, std::string(b.begin(), b.end()));
}

// Writes recording i (front, rear unless told not to, data file) into folder.
std::string MakeRecording(const std::string& folder, int i, MovieSpec spec, bool rear = true,
                          bool data = true) {
    spec.fill = static_cast<std::uint8_t>(i * 40);
    const std::string front = folder + "/" + Name(i, 'F') + ".MOV";
    WriteBytes(front, testing::BuildMovie(spec));
    if (rear) {
        MovieSpec r = spec;
        r.width = 160;
        r.height = 120;
        r.fill = static_cast<std::uint8_t>(i * 40 + 7);
        WriteBytes(folder + "/" + Name(i, 'R') + ".MOV", testing::BuildMovie(r));
    }
    if (data)
        WriteBytes(folder + "/" + Name(i, 'D') + ".ADA",
                   testing::TelemetryBlock(spec.records, static_cast<std::uint8_t>(i)));
    return front;
}

// The samples of the first track, read through the movie's own tables.
std::vector<Bytes> SamplesOf(const std::string& path) {
    auto input = ReadJoinInput(path);
    EXPECT_TRUE(input) << (input ? "" : input.error());
    if (!input)
        return {};
    auto facts = AnalyseMovie(input.value());
    EXPECT_TRUE(facts) << (facts ? "" : facts.error());
    if (!facts)
        return {};
    const std::string bytes = ReadAll(path);
    const SampleTables& t = facts->tracks[0].tables;
    std::vector<Bytes> samples;
    std::size_t sample = 0;
    for (std::size_t e = 0; e < t.sampleToChunk.size(); ++e) {
        const std::uint32_t end =
            e + 1 < t.sampleToChunk.size() ? t.sampleToChunk[e + 1].firstChunk : t.chunkCount() + 1;
        for (std::uint32_t c = t.sampleToChunk[e].firstChunk; c < end; ++c) {
            std::uint64_t at = t.chunkOffsets[c - 1];
            for (std::uint32_t k = 0; k < t.sampleToChunk[e].samplesPerChunk; ++k, ++sample) {
                const std::uint32_t size =
                    t.constantSampleSize ? t.constantSampleSize : t.sampleSizes[sample];
                samples.emplace_back(bytes.begin() + static_cast<std::ptrdiff_t>(at),
                                     bytes.begin() + static_cast<std::ptrdiff_t>(at + size));
                at += size;
            }
        }
    }
    return samples;
}

MovieFacts FactsOf(const std::string& path) {
    auto input = ReadJoinInput(path);
    EXPECT_TRUE(input) << (input ? "" : input.error());
    auto facts = AnalyseMovie(input.value());
    EXPECT_TRUE(facts) << (facts ? "" : facts.error());
    return facts.value();
}

struct Layout {
    const char* name;
    bool moovFirst;
    int recordings;
    std::uint32_t samples;
    std::uint32_t perChunk;
};

class JoinLayoutTest : public ::testing::TestWithParam<Layout> {};

TEST_P(JoinLayoutTest, OutputHoldsTheInputsSamplesInOrderWithSummedTables) {
    const Layout& layout = GetParam();
    TempDir in, out;
    MovieSpec spec;
    spec.moovFirst = layout.moovFirst;
    spec.samples = layout.samples;
    spec.samplesPerChunk = layout.perChunk;
    std::vector<std::string> fronts;
    for (int i = 1; i <= layout.recordings; ++i)
        fronts.push_back(MakeRecording(in.path(), i, spec));
    std::vector<std::string> before;
    for (const auto& f : fronts)
        before.push_back(ReadAll(f));

    JoinJob job;
    ASSERT_TRUE(Begin(job, fronts[0])) << job.error;
    for (std::size_t i = 1; i < fronts.size(); ++i)
        ASSERT_TRUE(Append(job, fronts[i])) << job.error;
    std::vector<int> progress;
    JoinOptions options;
    options.progress = [&](int done, int total) {
        EXPECT_EQ(total, 100);
        progress.push_back(done);
    };
    const std::string output = out.file(Name(1, 'F') + ".MOV");
    ASSERT_TRUE(Write(job, output, options)) << job.error;
    EXPECT_EQ(progress, (std::vector<int>{0, 33, 66, 99}));

    std::vector<Bytes> expected;
    for (const auto& f : fronts)
        for (auto& s : SamplesOf(f))
            expected.push_back(std::move(s));
    EXPECT_EQ(SamplesOf(output), expected);

    const MovieFacts joined = FactsOf(output);
    const std::uint32_t n = layout.samples * static_cast<std::uint32_t>(layout.recordings);
    const TrackFacts& track = joined.tracks[0];
    EXPECT_EQ(joined.movieDuration, n * spec.delta);
    EXPECT_EQ(track.trackDuration, n * spec.delta);
    EXPECT_EQ(track.mediaDuration, n * spec.delta);
    ASSERT_TRUE(track.edit);
    EXPECT_EQ(track.edit->duration, n * spec.delta);
    ASSERT_EQ(track.tables.timeToSample.size(), 1u);
    EXPECT_EQ(track.tables.timeToSample[0].count, n);
    EXPECT_EQ(track.tables.sampleCount, n);
    EXPECT_EQ(track.tables.sampleSizes.size(), n);

    // The second recording's key frames are renumbered by the first's frame count.
    ASSERT_TRUE(track.tables.syncSamples);
    const auto& sync = *track.tables.syncSamples;
    const std::size_t perRecording = (layout.samples + spec.keyEvery - 1) / spec.keyEvery;
    ASSERT_EQ(sync.size(), perRecording * static_cast<std::size_t>(layout.recordings));
    EXPECT_EQ(sync[perRecording], layout.samples + 1);

    // With the media data first, the second half's offsets move by the first's media size.
    const MovieFacts first = FactsOf(fronts[0]);
    const auto& firstOffsets = first.tracks[0].tables.chunkOffsets;
    const auto& offsets = track.tables.chunkOffsets;
    ASSERT_EQ(offsets.size(), firstOffsets.size() * static_cast<std::size_t>(layout.recordings));
    if (!layout.moovFirst) {
        EXPECT_EQ(offsets[firstOffsets.size()], firstOffsets[0] + first.media[0].payloadSize);
    }

    // The joined movie's telemetry box carries every recording's records.
    ASSERT_TRUE(joined.telemetry);
    EXPECT_EQ(joined.telemetry->count,
              spec.records * static_cast<std::uint32_t>(layout.recordings));

    EXPECT_EQ(job.rearOutput, out.file(Name(1, 'R') + ".MOV"));
    EXPECT_EQ(FactsOf(job.rearOutput).tracks[0].width, 160u << 16);
    EXPECT_EQ(job.dataOutput, out.file(Name(1, 'D') + ".ADA"));
    auto data = ReadDataFile(job.dataOutput);
    ASSERT_TRUE(data);
    EXPECT_EQ(data->count, spec.records * static_cast<std::uint32_t>(layout.recordings));
    for (std::size_t i = 0; i < fronts.size(); ++i)
        EXPECT_EQ(ReadAll(fronts[i]), before[i]) << "input changed";
}

INSTANTIATE_TEST_SUITE_P(Layouts, JoinLayoutTest,
                         ::testing::Values(Layout{"MediaFirstTwo", false, 2, 30, 5},
                                           Layout{"MediaFirstThreeUnevenChunks", false, 3, 33, 4},
                                           Layout{"MovieBoxFirst", true, 3, 30, 5},
                                           Layout{"OneSamplePerChunk", false, 2, 12, 1}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(JoinJob, MissingRearGivesFrontAndDataOnly) {
    TempDir in, out;
    const std::string a = MakeRecording(in.path(), 1, {});
    const std::string b = MakeRecording(in.path(), 2, {}, /*rear=*/false);
    JoinJob job;
    ASSERT_TRUE(Begin(job, a));
    ASSERT_TRUE(Append(job, b));
    EXPECT_FALSE(job.withRear);
    ASSERT_TRUE(Write(job, out.file(Name(1, 'F') + ".MOV"))) << job.error;
    EXPECT_TRUE(job.rearOutput.empty());
    EXPECT_FALSE(job.dataOutput.empty());
    EXPECT_EQ(testing::EntryCount(out.path()), 2u);
}

TEST(JoinJob, MissingDataFileLeavesTheDataOutputOut) {
    TempDir in, out;
    const std::string a = MakeRecording(in.path(), 1, {});
    const std::string b = MakeRecording(in.path(), 2, {}, true, /*data=*/false);
    JoinJob job;
    ASSERT_TRUE(Begin(job, a));
    ASSERT_TRUE(Append(job, b));
    ASSERT_TRUE(Write(job, out.file(Name(1, 'F') + ".MOV"))) << job.error;
    EXPECT_TRUE(job.dataOutput.empty());
    EXPECT_EQ(testing::EntryCount(out.path()), 2u);
}

struct Refusal {
    const char* name;
    MovieSpec second;
    const char* reason;
};

class JoinRefusalTest : public ::testing::TestWithParam<Refusal> {};

TEST_P(JoinRefusalTest, UnjoinableInputsAreRefusedBeforeWriting) {
    TempDir in;
    const std::string a = MakeRecording(in.path(), 1, {});
    const std::string b = MakeRecording(in.path(), 2, GetParam().second);
    JoinJob job;
    ASSERT_TRUE(Begin(job, a));
    EXPECT_FALSE(Append(job, b));
    EXPECT_NE(job.error.find(GetParam().reason), std::string::npos) << job.error;
}

MovieSpec With(void (*change)(MovieSpec&)) {
    MovieSpec s;
    change(s);
    return s;
}

INSTANTIATE_TEST_SUITE_P(
    Refusals, JoinRefusalTest,
    ::testing::Values(
        Refusal{"PictureSize", With([](MovieSpec& s) { s.width = 640; }), "codec parameters"},
        Refusal{"FrameRate", With([](MovieSpec& s) { s.delta = 24; }), "frame rates"},
        Refusal{"CompositionInOneOnly", With([](MovieSpec& s) { s.composition = true; }),
                "composition"},
        Refusal{"TelemetryBoxInOneOnly", With([](MovieSpec& s) { s.withTelemetry = false; }),
                "telemetry box"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(JoinJob, TruncatedInputIsRefused) {
    TempDir in;
    const std::string a = MakeRecording(in.path(), 1, {});
    const std::string b = MakeRecording(in.path(), 2, {});
    std::filesystem::resize_file(b, std::filesystem::file_size(b) / 2);
    JoinJob job;
    ASSERT_TRUE(Begin(job, a));
    EXPECT_FALSE(Append(job, b));
    EXPECT_NE(job.error.find(b), std::string::npos);
    JoinJob cut;
    EXPECT_FALSE(Begin(cut, b));
}

enum class Failing { Exists, OverInput, NoSpace, DiskFullMidway, Cancelled, NoFolder };

struct FailureCase {
    const char* name;
    Failing how;
    const char* reason;
};

class JoinFailureTest : public ::testing::TestWithParam<FailureCase> {};

TEST_P(JoinFailureTest, NothingIsLeftUnderAFinalName) {
    TempDir in, out;
    const std::string a = MakeRecording(in.path(), 1, {});
    const std::string b = MakeRecording(in.path(), 2, {});
    const std::string inputBytes = ReadAll(a);
    JoinJob job;
    ASSERT_TRUE(Begin(job, a));
    ASSERT_TRUE(Append(job, b));
    JoinOptions options;
    std::atomic<bool> cancel{true};
    std::string target = out.file(Name(1, 'F') + ".MOV");
    switch (GetParam().how) {
    case Failing::Exists:
        testing::WriteAll(out.file(Name(1, 'D') + ".ADA"), "old");
        break;
    case Failing::OverInput:
        target = a;
        options.replace = true;
        break;
    case Failing::NoSpace:
        options.freeSpaceForTests = 1000;
        break;
    case Failing::DiskFullMidway:
        options.failAfterBytesForTests = 1000;
        break;
    case Failing::Cancelled:
        options.cancel = &cancel;
        break;
    case Failing::NoFolder:
        target = out.file("missing/" + Name(1, 'F') + ".MOV");
        break;
    }
    const std::size_t entriesBefore = testing::EntryCount(out.path());
    EXPECT_FALSE(Write(job, target, options));
    EXPECT_NE(job.error.find(GetParam().reason), std::string::npos) << job.error;
    EXPECT_EQ(testing::EntryCount(out.path()), entriesBefore);
    EXPECT_EQ(ReadAll(a), inputBytes);
    EXPECT_TRUE(job.frontOutput.empty());
}

INSTANTIATE_TEST_SUITE_P(
    Failures, JoinFailureTest,
    ::testing::Values(FailureCase{"OutputExists", Failing::Exists, "exists"},
                      FailureCase{"OutputIsAnInput", Failing::OverInput, "overwrite an input"},
                      FailureCase{"NotEnoughSpace", Failing::NoSpace, "free space"},
                      FailureCase{"DiskFullMidway", Failing::DiskFullMidway, "No space"},
                      FailureCase{"Cancelled", Failing::Cancelled, "cancelled"},
                      FailureCase{"NoFolder", Failing::NoFolder, "does not exist"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(JoinJob, ReplaceWritesOverAnExistingOutput) {
    TempDir in, out;
    const std::string a = MakeRecording(in.path(), 1, {});
    const std::string data = out.file(Name(1, 'D') + ".ADA");
    testing::WriteAll(data, "old");
    JoinJob job;
    ASSERT_TRUE(Begin(job, a));
    JoinOptions options;
    options.replace = true;
    ASSERT_TRUE(Write(job, out.file(Name(1, 'F') + ".MOV"), options)) << job.error;
    EXPECT_NE(ReadAll(data), "old");
    // A second write over the outputs works too.
    EXPECT_TRUE(Write(job, out.file(Name(1, 'F') + ".MOV"), options)) << job.error;
}

unsigned gAttributes = 0;

TEST(JoinJob, DataFileIsMarkedHidden) {
    static const FatAttributeCalls calls = {[](int, unsigned* a) {
                                                *a = gAttributes;
                                                return 0;
                                            },
                                            [](int, unsigned a) {
                                                gAttributes = a;
                                                return 0;
                                            }};
    TempDir in, out;
    const std::string a = MakeRecording(in.path(), 1, {});
    JoinJob job;
    ASSERT_TRUE(Begin(job, a));
    gAttributes = 0x20;
    SetFatAttributeCallsForTests(&calls);
    const bool written = Write(job, out.file(Name(1, 'F') + ".MOV"));
    SetFatAttributeCallsForTests(nullptr);
    ASSERT_TRUE(written) << job.error;
    EXPECT_EQ(gAttributes, 0x20u | kFatHidden);
}

} // namespace
} // namespace kirvano

namespace kirvano {
namespace {

// A movie whose media box holds `padding` unwritten (sparse) bytes behind its samples.
void WriteSparseMovie(const std::string& path, const MovieSpec& spec, std::uint64_t padding) {
    const Bytes ftyp =
        testing::MakeBox("ftyp", testing::Join({testing::Str("qt  "), testing::U32(0x200)}));
    const Bytes media = testing::MediaBytes(spec);
    const std::uint64_t mdatSize = 8 + media.size() + padding;
    ASSERT_LE(mdatSize, 0xFFFFFFFFull);
    Bytes head = ftyp;
    testing::Add(head, testing::U32(static_cast<std::uint32_t>(mdatSize)));
    testing::Add(head, testing::Str("mdat"));
    testing::Add(head, media);
    const Bytes moov = testing::BuildMoov(spec, static_cast<std::uint32_t>(ftyp.size() + 8));
    std::ofstream out(path, std::ios::binary);
    out.write(reinterpret_cast<const char*>(head.data()),
              static_cast<std::streamsize>(head.size()));
    out.seekp(static_cast<std::streamoff>(ftyp.size() + mdatSize));
    out.write(reinterpret_cast<const char*>(moov.data()),
              static_cast<std::streamsize>(moov.size()));
}

TEST(JoinLayout, PastFourGiBTheMediaBoxGetsAWideSizeAndOffsetsGoWide) {
    TempDir in;
    MovieSpec spec;
    spec.withTelemetry = false;
    const std::uint64_t padding = 2600ull << 20; // the third one starts past 4 GiB
    WriteSparseMovie(in.file("a.MOV"), spec, padding);
    spec.fill = 99;
    WriteSparseMovie(in.file("b.MOV"), spec, padding);
    spec.fill = 177;
    WriteSparseMovie(in.file("c.MOV"), spec, padding);
    auto a = ReadJoinInput(in.file("a.MOV"));
    auto b = ReadJoinInput(in.file("b.MOV"));
    auto c = ReadJoinInput(in.file("c.MOV"));
    ASSERT_TRUE(a && b && c) << (a ? b.error() : a.error());
    const std::uint64_t mediaSize = a->boxes[1].payloadSize;
    auto movie = JoinedMovie::Start(std::move(a.value()));
    ASSERT_TRUE(movie) << movie.error();
    ASSERT_TRUE(movie->Append(std::move(b.value())));
    ASSERT_TRUE(movie->Append(std::move(c.value())));
    auto boxes = movie->Build();
    ASSERT_TRUE(boxes) << boxes.error();
    const OutBox& mdat = boxes.value()[1];
    ASSERT_EQ(mdat.type, "mdat");
    EXPECT_EQ(HeaderSize(mdat), 16u);
    EXPECT_EQ(PayloadSize(mdat), 3 * mediaSize);
    // The moov box comes after; its chunk table must be co64 with the second half's
    // offsets past 4 GiB, each pointing at the same bytes in the joined media box.
    const OutBox& moov = boxes.value()[2];
    const OutBox* table = nullptr;
    std::vector<const OutBox*> stack{&moov};
    while (!stack.empty()) {
        const OutBox* box = stack.back();
        stack.pop_back();
        if (box->type == "co64" || box->type == "stco")
            table = box;
        for (const auto& c : box->children)
            stack.push_back(&c);
    }
    ASSERT_NE(table, nullptr);
    EXPECT_EQ(table->type, "co64");
    auto offsets = ParseChunkOffsets(ByteRange(table->payload.data(), table->payload.size()), true);
    ASSERT_TRUE(offsets);
    const std::size_t third = offsets.value().size() / 3;
    const std::uint64_t payloadAt = 16 + 16; // behind ftyp and the wide header
    EXPECT_EQ(offsets.value()[0], payloadAt);
    EXPECT_EQ(offsets.value()[third], payloadAt + mediaSize);
    EXPECT_EQ(offsets.value()[2 * third], payloadAt + 2 * mediaSize);
    EXPECT_GT(offsets.value()[2 * third], 0xFFFFFFFFull);
}

} // namespace
} // namespace kirvano
