// Decoding one telemetry block from bytes in memory (a mapped window, a test buffer or
// fuzzer input). Every read is bounded by the range given.
#pragma once

#include "base/ByteRange.h"
#include "base/HugePages.h"
#include "telemetry/TelemetryTypes.h"

#include <cstddef>
#include <functional>
#include <optional>
#include <vector>

namespace kirvano {

struct TelemetryBlock {
    TelemetryHeader header;
    float record_interval_ms = kNormalRecordIntervalMs;
    LargeArray<PositionSample> positions;
    LargeArray<TelemetrySample> samples;
};

// The header at the start of bytes, followed along any chained "@CS" headers; the record
// interval comes from the last one. False when fewer than 26 bytes are there.
bool DecodeTelemetryHeader(ByteRange bytes, TelemetryHeader& header, float& record_interval_ms);

// How a block is read. Tolerant, as the viewer shows a recording: whatever whole records
// the bytes hold, up to the count. Strict, for copying the records into a new block: a
// counted block must hold its count of records or end earlier at its end marker; one cut
// off before either is refused. In both an end marker ("CSMEND") ends the records, whatever
// the count says (a record's first five bytes are unused, so no record starts with it), and
// an open count (0xFFFF) reads up to the marker or the last whole record; the 32-bit true
// count behind the marker is not needed for that and is not read.
enum class BlockReading { Tolerant, Strict };

// Where the records of a block lie, found without decoding them: count records of 124 bytes
// from kFirstTelemetryRecord on, relative to the header.
inline constexpr std::size_t kFirstTelemetryRecord = 28;
struct TelemetryRecordSpan {
    TelemetryHeader header;
    float record_interval_ms = kNormalRecordIntervalMs;
    std::size_t count = 0;
};

// The records of the block whose bytes begin right after "CSMDAT" (at the header) and run
// to the end of the readable window. Nothing when the header and count do not fit, or when
// a strict reading finds the block cut off.
std::optional<TelemetryRecordSpan> LocateTelemetryRecords(ByteRange bytes, BlockReading reading);

// Locates (tolerantly) and decodes the block. Fails when the header and count do not fit,
// or when stop() turns true while the records are decoded (it is asked every 1024 records;
// the block is then left empty).
bool ParseTelemetryBlock(ByteRange bytes, TelemetryBlock& block,
                         const std::function<bool()>& stop = {});

// The same in steps, for blocks read piece by piece. StartTelemetryBlock decodes the header
// and count from the first bytes of the window (window_size bytes in all, from the header
// on) and returns how many records may follow; AppendTelemetryRecords decodes the whole
// records of the next piece (which starts on a record boundary, the first at 28) and
// returns false once no more records are to come.
std::optional<std::size_t> StartTelemetryBlock(ByteRange head, std::uint64_t window_size,
                                               TelemetryBlock& block);
bool AppendTelemetryRecords(ByteRange records, std::size_t limit, TelemetryBlock& block);

// Local civil time of a record's time fields plus its correction. The recorder's clock
// runs on local time without daylight saving, so the fields are normalised as calendar
// arithmetic (a month 0 is December of the year before, a second 60 the next minute) and
// come out the same in every time zone.
CivilTime RecordTime(int year, int month, int day, int hour, int minute, int second,
                     long long correction_s);

} // namespace kirvano
