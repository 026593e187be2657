// The sample tables of one track as plain values, read from and written back to box
// payloads, and the append that puts a second movie's track behind the first: sample
// numbers and chunk numbers of the appended part are shifted, its chunks point into the
// joined media data.
#pragma once

#include "base/ByteRange.h"
#include "base/Result.h"

#include <cstdint>
#include <optional>
#include <vector>

namespace kirvano {

struct TimeToSampleEntry {
    std::uint32_t count = 0;
    std::uint32_t delta = 0;
    bool operator==(const TimeToSampleEntry&) const = default;
};

// The offset is kept as the raw 32 bits: unsigned in version 0, signed in version 1.
struct CompositionEntry {
    std::uint32_t count = 0;
    std::uint32_t offset = 0;
    bool operator==(const CompositionEntry&) const = default;
};

struct SampleToChunkEntry {
    std::uint32_t firstChunk = 0;
    std::uint32_t samplesPerChunk = 0;
    std::uint32_t descriptionIndex = 0;
    bool operator==(const SampleToChunkEntry&) const = default;
};

// Where a chunk's bytes land in the output: which media-data box (in file order) and
// the offset inside its payload.
struct ChunkPlace {
    std::uint32_t mdat = 0;
    std::uint64_t offset = 0;
    bool operator==(const ChunkPlace&) const = default;
};

// sbgp: runs of samples and the sample group description each belongs to (0: none).
struct SampleGroupEntry {
    std::uint32_t count = 0;
    std::uint32_t groupIndex = 0;
    bool operator==(const SampleGroupEntry&) const = default;
};

struct SampleGroups {
    std::vector<std::uint8_t> header; // version, flags, grouping type (and its parameter)
    std::vector<SampleGroupEntry> entries;
};

struct SampleTables {
    std::vector<TimeToSampleEntry> timeToSample;
    std::optional<std::uint8_t> compositionVersion; // set when the track has a ctts
    std::vector<CompositionEntry> composition;
    std::vector<SampleToChunkEntry> sampleToChunk;
    std::uint32_t constantSampleSize = 0; // 0: sizes are in sampleSizes
    std::uint32_t sampleCount = 0;
    std::vector<std::uint32_t> sampleSizes;
    std::optional<std::vector<std::uint32_t>> syncSamples; // none: every sample is a sync sample
    std::optional<std::vector<std::uint8_t>> dependencies; // sdtp, one byte per sample
    std::optional<SampleGroups> groups;                    // sbgp
    std::vector<std::uint64_t> chunkOffsets;               // as read from stco / co64
    std::vector<ChunkPlace> chunks;                        // filled by the caller

    std::uint32_t chunkCount() const { return static_cast<std::uint32_t>(chunkOffsets.size()); }
    std::uint64_t mediaDuration() const; // sum of the time-to-sample deltas
};

// Readers of the box payloads (after the 8-byte header). Each refuses a count that the
// payload cannot hold.
Result<std::vector<TimeToSampleEntry>> ParseTimeToSample(ByteRange payload);
Result<std::vector<CompositionEntry>> ParseComposition(ByteRange payload, std::uint8_t* version);
Result<std::vector<SampleToChunkEntry>> ParseSampleToChunk(ByteRange payload);
Status ParseSampleSizes(ByteRange payload, SampleTables& tables);
Result<std::vector<std::uint32_t>> ParseSyncSamples(ByteRange payload);
Result<std::vector<std::uint64_t>> ParseChunkOffsets(ByteRange payload, bool is64);
Result<SampleGroups> ParseSampleGroups(ByteRange payload);

// Checks that the tables agree with each other (sample counts, chunk numbering) and
// gives the byte length of every chunk.
Result<std::vector<std::uint64_t>> ChunkLengths(const SampleTables& tables);

// Appends b behind a: b's sync sample numbers grow by a's sample count, its first chunk
// numbers by a's chunk count; runs that continue across the seam are merged. Fails
// without changing a when the two cannot be appended (composition offsets in one only,
// counts past 32 bits).
Status AppendTables(SampleTables& a, const SampleTables& b);

// Payloads (without the box header) of the rewritten boxes.
std::vector<std::uint8_t> TimeToSamplePayload(const SampleTables& t);
std::vector<std::uint8_t> CompositionPayload(const SampleTables& t);
std::vector<std::uint8_t> SampleToChunkPayload(const SampleTables& t);
std::vector<std::uint8_t> SampleSizePayload(const SampleTables& t);
std::vector<std::uint8_t> SyncSamplePayload(const SampleTables& t);
std::vector<std::uint8_t> DependencyPayload(const SampleTables& t);
std::vector<std::uint8_t> SampleGroupPayload(const SampleTables& t);
// stco when every offset fits in 32 bits, else co64 (*is64 tells which).
std::vector<std::uint8_t> ChunkOffsetPayload(const std::vector<std::uint64_t>& offsets, bool* is64);

} // namespace kirvano
