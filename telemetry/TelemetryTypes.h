// The decoded telemetry of one recording: the block header and, per record, one position
// sample and one telemetry sample with the same index.
#pragma once

#include <array>
#include <cstdint>

namespace kirvano {

// Record interval for the rate letter "T" (15 records a second) and for any other letter.
inline constexpr float kFastRecordIntervalMs = 1000.0f / 15.0f; // 66.666664
inline constexpr float kNormalRecordIntervalMs = 100.0f;

struct TelemetryHeader {
    std::array<float, 4> values{}; // the four numbers / 1000, or -1 each unless kind is M or D
    char kind = 0;
    std::array<char, 6> version{};
    char quality = 0;
    char byte24 = 0;
    char rate = 0;
};

// A local civil date and time; day_of_week 0 is Sunday.
struct CivilTime {
    std::uint16_t year = 0, month = 0, day_of_week = 0, day = 0;
    std::uint16_t hour = 0, minute = 0, second = 0, milliseconds = 0;
};

struct TelemetrySample;

struct PositionSample {
    std::int32_t index = 0;
    // Time offset in ms until the frame index is built, then the video frame number.
    std::int32_t frame = 0;
    std::int32_t gps_valid = 0;
    // Set by frame indexing: the first telemetry sample whose frame is not before this one.
    const TelemetrySample* telemetry = nullptr;
    double latitude = 0.0;
    double longitude = 0.0;
    double speed = 0.0;
    double heading = 0.0; // no record field holds it
    CivilTime time;
    // The time offset in ms, kept so that indexing again starts from it.
    std::int32_t offset_ms = 0;
};

struct TelemetrySample {
    std::int32_t index = 0;
    std::int32_t event_kind = -1; // 5, 6, 7 from the "D" marks; 11, 12, 13 from the letter
    std::int32_t extra_flag = 0;  // 8 when record byte 77 is "D"
    std::int32_t axis = 0;        // 0 none, 1 X, 2 Y, 3 Z
    std::int32_t frame = 0;       // as in PositionSample
    std::int32_t status = 0;      // record byte 122
    // Set by frame indexing: five positions behind the position cursor.
    const PositionSample* position = nullptr;
    double x = 0.0, y = 0.0, z = 0.0;                  // G
    std::int32_t warning_code = 0, warning_detail = 0; // filled by the map's event list
    std::int32_t offset_ms = 0;
};

} // namespace kirvano
