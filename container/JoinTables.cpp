#include "container/JoinTables.h"

#include <limits>
#include <string>

namespace kirvano {
namespace {

constexpr std::uint64_t kMax32 = std::numeric_limits<std::uint32_t>::max();

// The entry count at payload byte 4 and a check that count entries of entrySize bytes
// follow from payload byte 8.
Result<std::uint32_t> EntryCount(ByteRange payload, std::size_t entrySize, const char* box) {
    const auto count = payload.be32(4);
    if (!count)
        return Failure(std::string(box) + " box is too short");
    if (!payload.has(8, static_cast<std::uint64_t>(*count) * entrySize))
        return Failure(std::string(box) + " box holds fewer entries than it counts");
    return *count;
}

void Put32(std::vector<std::uint8_t>& out, std::uint32_t v) {
    std::uint8_t b[4];
    PutBe32(b, v);
    out.insert(out.end(), b, b + 4);
}

void Put64(std::vector<std::uint8_t>& out, std::uint64_t v) {
    std::uint8_t b[8];
    PutBe64(b, v);
    out.insert(out.end(), b, b + 8);
}

// Appends runs, joining the seam when the last run of into equals the first of from in
// everything but its count.
template <class Entry, class Same>
void AppendRuns(std::vector<Entry>& into, const std::vector<Entry>& from, Same same) {
    std::size_t i = 0;
    if (!into.empty() && !from.empty() && same(into.back(), from.front()) &&
        static_cast<std::uint64_t>(into.back().count) + from.front().count <= kMax32) {
        into.back().count += from.front().count;
        i = 1;
    }
    into.insert(into.end(), from.begin() + static_cast<std::ptrdiff_t>(i), from.end());
}

} // namespace

std::uint64_t SampleTables::mediaDuration() const {
    std::uint64_t sum = 0;
    for (const auto& e : timeToSample)
        sum += static_cast<std::uint64_t>(e.count) * e.delta;
    return sum;
}

Result<std::vector<TimeToSampleEntry>> ParseTimeToSample(ByteRange payload) {
    auto count = EntryCount(payload, 8, "stts");
    if (!count)
        return Error{count.error()};
    std::vector<TimeToSampleEntry> out(count.value());
    for (std::size_t i = 0; i < out.size(); ++i)
        out[i] = {*payload.be32(8 + 8 * i), *payload.be32(12 + 8 * i)};
    return out;
}

Result<std::vector<CompositionEntry>> ParseComposition(ByteRange payload, std::uint8_t* version) {
    auto count = EntryCount(payload, 8, "ctts");
    if (!count)
        return Error{count.error()};
    *version = *payload.u8(0);
    if (*version > 1)
        return Failure("ctts box of an unknown version");
    std::vector<CompositionEntry> out(count.value());
    for (std::size_t i = 0; i < out.size(); ++i)
        out[i] = {*payload.be32(8 + 8 * i), *payload.be32(12 + 8 * i)};
    return out;
}

Result<std::vector<SampleToChunkEntry>> ParseSampleToChunk(ByteRange payload) {
    auto count = EntryCount(payload, 12, "stsc");
    if (!count)
        return Error{count.error()};
    std::vector<SampleToChunkEntry> out(count.value());
    for (std::size_t i = 0; i < out.size(); ++i)
        out[i] = {*payload.be32(8 + 12 * i), *payload.be32(12 + 12 * i),
                  *payload.be32(16 + 12 * i)};
    return out;
}

Status ParseSampleSizes(ByteRange payload, SampleTables& tables) {
    const auto size = payload.be32(4);
    const auto count = payload.be32(8);
    if (!size || !count)
        return Failure("stsz box is too short");
    tables.constantSampleSize = *size;
    tables.sampleCount = *count;
    tables.sampleSizes.clear();
    if (*size != 0)
        return Success();
    if (!payload.has(12, static_cast<std::uint64_t>(*count) * 4))
        return Failure("stsz box holds fewer entries than it counts");
    tables.sampleSizes.resize(*count);
    for (std::size_t i = 0; i < *count; ++i)
        tables.sampleSizes[i] = *payload.be32(12 + 4 * i);
    return Success();
}

Result<std::vector<std::uint32_t>> ParseSyncSamples(ByteRange payload) {
    auto count = EntryCount(payload, 4, "stss");
    if (!count)
        return Error{count.error()};
    std::vector<std::uint32_t> out(count.value());
    for (std::size_t i = 0; i < out.size(); ++i)
        out[i] = *payload.be32(8 + 4 * i);
    return out;
}

Result<std::vector<std::uint64_t>> ParseChunkOffsets(ByteRange payload, bool is64) {
    auto count = EntryCount(payload, is64 ? 8 : 4, is64 ? "co64" : "stco");
    if (!count)
        return Error{count.error()};
    std::vector<std::uint64_t> out(count.value());
    for (std::size_t i = 0; i < out.size(); ++i)
        out[i] = is64 ? *payload.be64(8 + 8 * i) : *payload.be32(8 + 4 * i);
    return out;
}

Result<SampleGroups> ParseSampleGroups(ByteRange payload) {
    const auto version = payload.u8(0);
    if (!version || *version > 1)
        return Failure("sbgp box of an unknown version");
    const std::size_t countAt = *version == 1 ? 12 : 8;
    const auto count = payload.be32(countAt);
    if (!count)
        return Failure("sbgp box is too short");
    if (!payload.has(countAt + 4, static_cast<std::uint64_t>(*count) * 8))
        return Failure("sbgp box holds fewer entries than it counts");
    SampleGroups groups;
    groups.header.assign(payload.data(), payload.data() + countAt);
    groups.entries.resize(*count);
    for (std::size_t i = 0; i < groups.entries.size(); ++i)
        groups.entries[i] = {*payload.be32(countAt + 4 + 8 * i),
                             *payload.be32(countAt + 8 + 8 * i)};
    return groups;
}

Result<std::vector<std::uint64_t>> ChunkLengths(const SampleTables& t) {
    std::uint64_t timed = 0;
    for (const auto& e : t.timeToSample)
        timed += e.count;
    if (timed != t.sampleCount)
        return Failure("the time table and the size table count different samples");
    if (t.compositionVersion) {
        std::uint64_t composed = 0;
        for (const auto& e : t.composition)
            composed += e.count;
        if (composed != t.sampleCount)
            return Failure("the composition table and the size table count different samples");
    }
    if (t.dependencies && t.dependencies->size() != t.sampleCount)
        return Failure("the dependency table and the size table count different samples");
    if (t.syncSamples) {
        std::uint32_t previous = 0;
        for (std::uint32_t s : *t.syncSamples) {
            if (s <= previous || s > t.sampleCount)
                return Failure("a sync sample number is out of order or out of range");
            previous = s;
        }
    }
    if (t.groups) {
        std::uint64_t grouped = 0;
        for (const auto& e : t.groups->entries)
            grouped += e.count;
        if (grouped > t.sampleCount)
            return Failure("the sample group table counts more samples than the size table");
    }
    const std::uint64_t chunks = t.chunkOffsets.size();
    std::vector<std::uint64_t> lengths(chunks, 0);
    std::uint64_t sample = 0;
    for (std::size_t e = 0; e < t.sampleToChunk.size(); ++e) {
        const auto& entry = t.sampleToChunk[e];
        const std::uint64_t first = entry.firstChunk;
        const std::uint64_t end =
            e + 1 < t.sampleToChunk.size() ? t.sampleToChunk[e + 1].firstChunk : chunks + 1;
        if (first < 1 || (e == 0 && first != 1) || end <= first || end > chunks + 1)
            return Failure("the chunk table's chunk numbers are out of order or out of range");
        if (entry.descriptionIndex != 1)
            return Failure("a chunk uses a sample description other than the first");
        for (std::uint64_t c = first; c < end; ++c) {
            if (sample + entry.samplesPerChunk > t.sampleCount)
                return Failure("the chunk table holds more samples than the size table");
            std::uint64_t bytes = 0;
            if (t.constantSampleSize != 0) {
                bytes = static_cast<std::uint64_t>(t.constantSampleSize) * entry.samplesPerChunk;
            } else {
                for (std::uint32_t k = 0; k < entry.samplesPerChunk; ++k)
                    bytes += t.sampleSizes[sample + k];
            }
            lengths[c - 1] = bytes;
            sample += entry.samplesPerChunk;
        }
    }
    if (chunks != 0 && t.sampleToChunk.empty())
        return Failure("the track has chunks but no chunk table");
    if (sample != t.sampleCount)
        return Failure("the chunk table holds fewer samples than the size table");
    return lengths;
}

Status AppendTables(SampleTables& a, const SampleTables& b) {
    if (a.compositionVersion.has_value() != b.compositionVersion.has_value())
        return Failure("one recording has composition offsets (B-frames) and another has none");
    if (a.compositionVersion && *a.compositionVersion != *b.compositionVersion)
        return Failure("the recordings' composition tables have different versions");
    if (a.groups.has_value() != b.groups.has_value() ||
        (a.groups && a.groups->header != b.groups->header))
        return Failure("the recordings' sample groups differ");
    if (static_cast<std::uint64_t>(a.sampleCount) + b.sampleCount > kMax32 ||
        static_cast<std::uint64_t>(a.chunkCount()) + b.chunkCount() > kMax32)
        return Failure("the joined track would hold more than 2^32 samples or chunks");

    const std::uint32_t samplesBefore = a.sampleCount;
    const std::uint32_t chunksBefore = a.chunkCount();

    AppendRuns(
        a.timeToSample, b.timeToSample,
        [](const TimeToSampleEntry& x, const TimeToSampleEntry& y) { return x.delta == y.delta; });
    if (a.compositionVersion)
        AppendRuns(a.composition, b.composition,
                   [](const CompositionEntry& x, const CompositionEntry& y) {
                       return x.offset == y.offset;
                   });

    std::size_t first = 0;
    if (!a.sampleToChunk.empty() && !b.sampleToChunk.empty() && chunksBefore != 0 &&
        a.sampleToChunk.back().samplesPerChunk == b.sampleToChunk.front().samplesPerChunk &&
        a.sampleToChunk.back().descriptionIndex == b.sampleToChunk.front().descriptionIndex)
        first = 1; // the run simply goes on over the seam
    for (std::size_t i = first; i < b.sampleToChunk.size(); ++i) {
        SampleToChunkEntry e = b.sampleToChunk[i];
        e.firstChunk += chunksBefore;
        a.sampleToChunk.push_back(e);
    }

    if (a.constantSampleSize != 0 && a.constantSampleSize == b.constantSampleSize) {
        // both constant and equal: stays constant
    } else {
        if (a.constantSampleSize != 0)
            a.sampleSizes.assign(a.sampleCount, a.constantSampleSize);
        a.constantSampleSize = 0;
        if (b.constantSampleSize != 0)
            a.sampleSizes.insert(a.sampleSizes.end(), b.sampleCount, b.constantSampleSize);
        else
            a.sampleSizes.insert(a.sampleSizes.end(), b.sampleSizes.begin(), b.sampleSizes.end());
    }
    a.sampleCount = samplesBefore + b.sampleCount;

    if (a.syncSamples || b.syncSamples) {
        if (!a.syncSamples) {
            a.syncSamples.emplace();
            for (std::uint32_t s = 1; s <= samplesBefore; ++s)
                a.syncSamples->push_back(s);
        }
        if (b.syncSamples) {
            for (std::uint32_t s : *b.syncSamples)
                a.syncSamples->push_back(s + samplesBefore);
        } else {
            for (std::uint32_t s = 1; s <= b.sampleCount; ++s)
                a.syncSamples->push_back(s + samplesBefore);
        }
    }

    if (a.groups) {
        // Samples of a that no run covers belong to no group; say so before b's runs.
        std::uint64_t grouped = 0;
        for (const auto& e : a.groups->entries)
            grouped += e.count;
        if (grouped < samplesBefore)
            a.groups->entries.push_back({static_cast<std::uint32_t>(samplesBefore - grouped), 0});
        AppendRuns(a.groups->entries, b.groups->entries,
                   [](const SampleGroupEntry& x, const SampleGroupEntry& y) {
                       return x.groupIndex == y.groupIndex;
                   });
    }

    if (a.dependencies && b.dependencies)
        a.dependencies->insert(a.dependencies->end(), b.dependencies->begin(),
                               b.dependencies->end());
    else
        a.dependencies.reset(); // the table is advisory; half of one would mislead

    a.chunkOffsets.insert(a.chunkOffsets.end(), b.chunkOffsets.begin(), b.chunkOffsets.end());
    a.chunks.insert(a.chunks.end(), b.chunks.begin(), b.chunks.end());
    return Success();
}

std::vector<std::uint8_t> TimeToSamplePayload(const SampleTables& t) {
    std::vector<std::uint8_t> out;
    Put32(out, 0);
    Put32(out, static_cast<std::uint32_t>(t.timeToSample.size()));
    for (const auto& e : t.timeToSample) {
        Put32(out, e.count);
        Put32(out, e.delta);
    }
    return out;
}

std::vector<std::uint8_t> CompositionPayload(const SampleTables& t) {
    std::vector<std::uint8_t> out;
    Put32(out, static_cast<std::uint32_t>(t.compositionVersion.value_or(0)) << 24);
    Put32(out, static_cast<std::uint32_t>(t.composition.size()));
    for (const auto& e : t.composition) {
        Put32(out, e.count);
        Put32(out, e.offset);
    }
    return out;
}

std::vector<std::uint8_t> SampleToChunkPayload(const SampleTables& t) {
    std::vector<std::uint8_t> out;
    Put32(out, 0);
    Put32(out, static_cast<std::uint32_t>(t.sampleToChunk.size()));
    for (const auto& e : t.sampleToChunk) {
        Put32(out, e.firstChunk);
        Put32(out, e.samplesPerChunk);
        Put32(out, e.descriptionIndex);
    }
    return out;
}

std::vector<std::uint8_t> SampleSizePayload(const SampleTables& t) {
    std::vector<std::uint8_t> out;
    Put32(out, 0);
    Put32(out, t.constantSampleSize);
    Put32(out, t.sampleCount);
    if (t.constantSampleSize == 0)
        for (std::uint32_t s : t.sampleSizes)
            Put32(out, s);
    return out;
}

std::vector<std::uint8_t> SyncSamplePayload(const SampleTables& t) {
    std::vector<std::uint8_t> out;
    Put32(out, 0);
    const auto& list = t.syncSamples ? *t.syncSamples : std::vector<std::uint32_t>{};
    Put32(out, static_cast<std::uint32_t>(list.size()));
    for (std::uint32_t s : list)
        Put32(out, s);
    return out;
}

std::vector<std::uint8_t> DependencyPayload(const SampleTables& t) {
    std::vector<std::uint8_t> out;
    Put32(out, 0);
    if (t.dependencies)
        out.insert(out.end(), t.dependencies->begin(), t.dependencies->end());
    return out;
}

std::vector<std::uint8_t> SampleGroupPayload(const SampleTables& t) {
    std::vector<std::uint8_t> out;
    if (!t.groups)
        return out;
    out = t.groups->header;
    Put32(out, static_cast<std::uint32_t>(t.groups->entries.size()));
    for (const auto& e : t.groups->entries) {
        Put32(out, e.count);
        Put32(out, e.groupIndex);
    }
    return out;
}

std::vector<std::uint8_t> ChunkOffsetPayload(const std::vector<std::uint64_t>& offsets,
                                             bool* is64) {
    bool wide = false;
    for (std::uint64_t o : offsets)
        wide = wide || o > kMax32;
    *is64 = wide;
    std::vector<std::uint8_t> out;
    out.reserve(8 + offsets.size() * (wide ? 8 : 4));
    Put32(out, 0);
    Put32(out, static_cast<std::uint32_t>(offsets.size()));
    for (std::uint64_t o : offsets) {
        if (wide)
            Put64(out, o);
        else
            Put32(out, static_cast<std::uint32_t>(o));
    }
    return out;
}

} // namespace kirvano
