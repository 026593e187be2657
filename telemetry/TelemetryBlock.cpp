// The telemetry block decoder: header chain, count, records, positions and time stamps.
#include "telemetry/TelemetryBlock.h"

#include "telemetry/NumberField.h"
#include "telemetry/TelemetryWriter.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>

namespace kirvano {
namespace {

// Offsets relative to the header, i.e. the byte after "CSMDAT".
constexpr std::size_t kCountOffset = 26;
constexpr std::size_t kFirstRecord = kFirstTelemetryRecord;
constexpr std::size_t kChainMark = 30;
constexpr std::size_t kChainStep = 34;

std::span<const std::uint8_t> Field(const std::uint8_t* record, std::size_t offset,
                                    std::size_t length) {
    return {record + offset, length};
}

long long FloorDiv(long long a, long long b) {
    return a / b - ((a % b != 0) && ((a < 0) != (b < 0)));
}

// Days since 1970-01-01 of a proleptic Gregorian date (month 1..12).
long long DaysFromCivil(long long y, long long m, long long d) {
    y -= m <= 2;
    const long long era = FloorDiv(y, 400);
    const long long yoe = y - era * 400;
    const long long doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
    const long long doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + doe - 719468;
}

CivilTime CivilFromSeconds(long long seconds) {
    const long long days = FloorDiv(seconds, 86400);
    const long long rest = seconds - days * 86400;
    const long long z = days + 719468;
    const long long era = FloorDiv(z, 146097);
    const long long doe = z - era * 146097;
    const long long yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const long long doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const long long mp = (5 * doy + 2) / 153;
    const long long d = doy - (153 * mp + 2) / 5 + 1;
    const long long m = mp < 10 ? mp + 3 : mp - 9;
    const long long y = yoe + era * 400 + (m <= 2);
    CivilTime t;
    t.year = static_cast<std::uint16_t>(y);
    t.month = static_cast<std::uint16_t>(m);
    t.day = static_cast<std::uint16_t>(d);
    t.day_of_week = static_cast<std::uint16_t>((days + 4) - FloorDiv(days + 4, 7) *
                                                                7); // 1970-01-01 was a Thursday
    t.hour = static_cast<std::uint16_t>(rest / 3600);
    t.minute = static_cast<std::uint16_t>(rest / 60 % 60);
    t.second = static_cast<std::uint16_t>(rest % 60);
    return t;
}

// ddmm.mmmm: whole degrees are the hundreds of the integer part, the rest is minutes.
double Coordinate(std::span<const std::uint8_t> field, std::uint8_t sign_byte) {
    const double v = RealField(field);
    const double degrees = std::trunc(std::trunc(v) / 100.0);
    // Below 2^52 the hundreds are exact and v less them is the exact remainder fmod gives
    // (a zero keeps its sign through fmod).
    const double minutes =
        std::fabs(v) < 4503599627370496.0 && v != 0.0 ? v - degrees * 100.0 : std::fmod(v, 100.0);
    return (degrees + minutes / 60.0) * (sign_byte != 0 ? 1.0 : -1.0);
}

std::int32_t OffsetMs(std::int32_t index, float interval) {
    const float offset = static_cast<float>(index) * interval;
    if (!(offset < 2147483520.0f)) // the largest float below 2^31
        return std::numeric_limits<std::int32_t>::max();
    return static_cast<std::int32_t>(offset);
}

std::int32_t EventKind(const std::uint8_t* r) {
    if (r[75] == 'D')
        return 6;
    if (r[72] == 'D')
        return 5;
    if (r[76] == 'D')
        return 7;
    switch (r[74]) {
    case 'A':
        return 12;
    case 'B':
        return 13;
    case 'H':
        return 11;
    default:
        return -1;
    }
}

std::int32_t Axis(std::uint8_t c) {
    switch (c) {
    case 'X':
        return 1;
    case 'Y':
        return 2;
    case 'Z':
        return 3;
    default:
        return 0;
    }
}

int TwoDigits(const std::uint8_t* r, std::size_t offset) {
    return static_cast<int>(IntegerField(Field(r, offset, 2)));
}

void DecodeRecord(const std::uint8_t* r, std::int32_t index, float interval, PositionSample& p,
                  TelemetrySample& s) {
    const std::int32_t offset = OffsetMs(index, interval);
    p.index = index;
    p.frame = offset;
    p.offset_ms = offset;
    p.gps_valid = r[5] == 'A';
    p.latitude = Coordinate(Field(r, 6, 9), r[15]);
    p.longitude = Coordinate(Field(r, 16, 10), r[26]);
    p.speed = RealField(Field(r, 27, 4));
    const long long correction = r[44] == '*' ? 0 : IntegerField(Field(r, 44, 3));
    p.time = RecordTime(2000 + TwoDigits(r, 31), TwoDigits(r, 33), TwoDigits(r, 35),
                        TwoDigits(r, 37), TwoDigits(r, 39), TwoDigits(r, 41), correction);

    s.index = index;
    s.event_kind = EventKind(r);
    s.extra_flag = r[77] == 'D' ? 8 : 0;
    s.axis = Axis(r[73]);
    s.frame = offset;
    s.offset_ms = offset;
    s.status = r[122];
    s.x = static_cast<float>(RealField(Field(r, 57, 5))) / 1000.0;
    s.y = static_cast<float>(RealField(Field(r, 62, 5))) / 1000.0;
    s.z = static_cast<float>(RealField(Field(r, 67, 5))) / 1000.0;
}

void DecodeOneHeader(const std::uint8_t* h, TelemetryHeader& header) {
    header.kind = static_cast<char>(h[16]);
    const bool numbers = header.kind == 'M' || header.kind == 'D';
    for (std::size_t i = 0; i < 4; ++i)
        header.values[i] =
            numbers ? static_cast<float>(RealField(Field(h, 4 * i, 4)) / 1000.0) : -1.0f;
    std::memcpy(header.version.data(), h + 17, 6);
    header.quality = static_cast<char>(h[23]);
    header.byte24 = static_cast<char>(h[24]);
    header.rate = static_cast<char>(h[25]);
}

} // namespace

CivilTime RecordTime(int year, int month, int day, int hour, int minute, int second,
                     long long correction_s) {
    // Records come ten a second from one day: keep the day's arithmetic of the last call.
    thread_local struct {
        int year = 0, month = 0;
        long long month_days = 0;
        long long out_day = std::numeric_limits<long long>::min();
        CivilTime out_date;
    } cache;
    if (year != cache.year || month != cache.month ||
        cache.out_day == std::numeric_limits<long long>::min()) {
        const long long months = static_cast<long long>(year) * 12 + (month - 1);
        const long long y = FloorDiv(months, 12);
        const long long m = months - y * 12 + 1;
        cache.year = year;
        cache.month = month;
        cache.month_days = DaysFromCivil(y, m, 1);
    }
    const long long seconds = (cache.month_days + (day - 1)) * 86400 + hour * 3600LL +
                              minute * 60LL + second + correction_s;
    const long long days = FloorDiv(seconds, 86400);
    if (days != cache.out_day) {
        cache.out_date = CivilFromSeconds(days * 86400);
        cache.out_day = days;
    }
    const long long rest = seconds - days * 86400;
    CivilTime t = cache.out_date;
    t.hour = static_cast<std::uint16_t>(rest / 3600);
    t.minute = static_cast<std::uint16_t>(rest / 60 % 60);
    t.second = static_cast<std::uint16_t>(rest % 60);
    return t;
}

bool DecodeTelemetryHeader(ByteRange bytes, TelemetryHeader& header, float& record_interval_ms) {
    if (!bytes.has(0, kTelemetryHeaderSize))
        return false;
    std::size_t at = 0;
    for (;;) {
        DecodeOneHeader(bytes.data() + at, header);
        const std::size_t mark = at + kChainMark;
        if (!bytes.has(mark, 4) || !bytes.has(at + kChainStep, kTelemetryHeaderSize))
            break;
        const std::uint8_t* m = bytes.data() + mark;
        if (!(m[0] == '@' && m[1] == 'C' && m[2] == 'S' && m[3] >= 'A' && m[3] <= 'Z'))
            break;
        at += kChainStep;
    }
    record_interval_ms = header.rate == 'T' ? kFastRecordIntervalMs : kNormalRecordIntervalMs;
    return true;
}

namespace {

// The records at the start of piece that belong to the block: whole ones, at most limit,
// and none from an end marker on (ended tells whether one was met).
std::size_t RecordRun(ByteRange piece, std::size_t limit, bool& ended) {
    ended = false;
    std::size_t n = 0;
    for (std::size_t at = 0; n < limit && piece.has(at, kTelemetryRecordSize);
         at += kTelemetryRecordSize, ++n) {
        if (std::memcmp(piece.data() + at, "CSMEND", 6) == 0) {
            ended = true;
            break;
        }
    }
    return n;
}

struct BlockStart {
    TelemetryRecordSpan span;  // header and interval; count still 0
    std::uint16_t count_field; // as stored
    std::size_t limit;         // records the count and the window allow
};

std::optional<BlockStart> ReadBlockStart(ByteRange head, std::uint64_t window_size) {
    const auto count = head.be16(kCountOffset);
    BlockStart start{};
    if (!count || !DecodeTelemetryHeader(head, start.span.header, start.span.record_interval_ms))
        return std::nullopt;
    start.count_field = *count;
    // Only records that lie whole inside the window are read, whatever the count says.
    const std::uint64_t room =
        window_size > kFirstRecord ? (window_size - kFirstRecord) / kTelemetryRecordSize : 0;
    const std::uint64_t limit =
        *count == kTelemetryOpenCount ? room : std::min<std::uint64_t>(*count, room);
    if (limit > static_cast<std::uint64_t>(std::numeric_limits<std::int32_t>::max()))
        return std::nullopt;
    start.limit = static_cast<std::size_t>(limit);
    return start;
}

// Decodes n records from r on behind the block's samples.
void DecodeRecords(const std::uint8_t* r, std::size_t n, TelemetryBlock& block) {
    const std::size_t first = block.samples.size();
    block.positions.resize(first + n);
    block.samples.resize(first + n);
    for (std::size_t i = 0; i < n; ++i, r += kTelemetryRecordSize)
        DecodeRecord(r, static_cast<std::int32_t>(first + i), block.record_interval_ms,
                     block.positions[first + i], block.samples[first + i]);
}

} // namespace

std::optional<TelemetryRecordSpan> LocateTelemetryRecords(ByteRange bytes, BlockReading reading) {
    auto start = ReadBlockStart(bytes, bytes.size());
    if (!start)
        return std::nullopt;
    bool ended = false;
    start->span.count = RecordRun(bytes.sub(kFirstRecord), start->limit, ended);
    if (reading == BlockReading::Strict && start->count_field != kTelemetryOpenCount &&
        start->span.count < start->count_field && !ended)
        return std::nullopt;
    return start->span;
}

std::optional<std::size_t> StartTelemetryBlock(ByteRange head, std::uint64_t window_size,
                                               TelemetryBlock& block) {
    block = TelemetryBlock{};
    const auto start = ReadBlockStart(head, window_size);
    if (!start)
        return std::nullopt;
    block.header = start->span.header;
    block.record_interval_ms = start->span.record_interval_ms;
    // Sized from bytes that are really there, so a hostile count allocates nothing.
    block.positions.reserve(start->limit);
    block.samples.reserve(start->limit);
    return start->limit;
}

bool AppendTelemetryRecords(ByteRange records, std::size_t limit, TelemetryBlock& block) {
    if (block.samples.size() >= limit)
        return false;
    bool ended = false;
    const std::size_t n = RecordRun(records, limit - block.samples.size(), ended);
    DecodeRecords(records.data(), n, block);
    return !ended && block.samples.size() < limit;
}

bool ParseTelemetryBlock(ByteRange bytes, TelemetryBlock& block,
                         const std::function<bool()>& stop) {
    block = TelemetryBlock{};
    const auto span = LocateTelemetryRecords(bytes, BlockReading::Tolerant);
    if (!span)
        return false;
    block.header = span->header;
    block.record_interval_ms = span->record_interval_ms;
    block.positions.reserve(span->count);
    block.samples.reserve(span->count);
    constexpr std::size_t kStep = 1024;
    for (std::size_t i = 0; i < span->count; i += kStep) {
        if (stop && stop()) {
            block = TelemetryBlock{};
            return false;
        }
        DecodeRecords(bytes.data() + kFirstRecord + i * kTelemetryRecordSize,
                      std::min(kStep, span->count - i), block);
    }
    return true;
}

} // namespace kirvano
