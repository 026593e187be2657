// Writes the recorder's telemetry block: "CSMDAT", a 26-byte header, the record count, the
// 124-byte ASCII records and "CSMEND". Used by the card generator and the join writer.
// Bytes that the reader does not decode are written as blanks.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <vector>

namespace kirvano {

inline constexpr std::size_t kTelemetryHeaderSize = 26;
inline constexpr std::size_t kTelemetryRecordSize = 124;
// "CSMDAT" + header + 16-bit count: the records start here.
inline constexpr std::size_t kTelemetryRecordsOffset = 34;
// Counts from this value on are written as 0xFFFF, with the true count behind "CSMEND".
inline constexpr std::uint32_t kTelemetryOpenCount = 0xFFFF;

struct TelemetryRecordFields {
    bool gps_valid = true;              // 'A' at byte 5, else 'V'
    double latitude = 0, longitude = 0; // signed degrees; ddmm.mmmm / dddmm.mmmm + sign byte
    double speed_kmh = 0;
    int year = 2024, month = 1, day = 1, hour = 0, minute = 0, second = 0; // local time
    std::optional<int> time_correction_s;                                  // none writes "*"
    double gx = 0, gy = 0, gz = 0; // G, written as value x 1000 in 5 characters
    char mark_a = 'N', axis = 'N', event_letter = 'N', mark_b = 'N', mark_c = 'N', mark_d = 'N';
    std::uint8_t status = 0;
};

struct TelemetryHeaderFields {
    std::array<float, 4> values{}; // written as four 4-character numbers x 1000
    char kind = 'M';
    int major = 1, minor = 0, patch = 0; // version "%02d%02d%02d"
    char quality = 'H', byte24 = 'N', rate = 'N';
};

// Values that do not fit their field are clamped to the field's range: latitude to
// +-90 degrees, longitude to +-180, speed to 0..9999, the year to 2000..2099, the other
// time fields and G values to what their characters can hold.
std::array<std::uint8_t, kTelemetryRecordSize> EncodeTelemetryRecord(const TelemetryRecordFields&);
std::array<std::uint8_t, kTelemetryHeaderSize> EncodeTelemetryHeader(const TelemetryHeaderFields&);

// The complete block for records (124 x N bytes; a trailing partial record is dropped).
std::vector<std::uint8_t>
EncodeTelemetryBlock(std::span<const std::uint8_t, kTelemetryHeaderSize> header,
                     std::span<const std::uint8_t> records);

// The streaming form for big joins: the 34 bytes before the records of a block that will
// hold count records, and the bytes after them (6, or 10 when the count is open).
std::array<std::uint8_t, kTelemetryRecordsOffset>
EncodeTelemetryBlockStart(std::span<const std::uint8_t, kTelemetryHeaderSize> header,
                          std::uint32_t count);
std::vector<std::uint8_t> EncodeTelemetryBlockEnd(std::uint32_t count);

} // namespace kirvano
