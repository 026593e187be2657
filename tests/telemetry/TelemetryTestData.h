// Building telemetry blocks for tests: records from fields, blocks from records.
#pragma once

#include "telemetry/TelemetryWriter.h"

#include <cstdint>
#include <string>
#include <vector>

namespace kirvano::testing {

inline std::vector<std::uint8_t> Records(const std::vector<TelemetryRecordFields>& fields) {
    std::vector<std::uint8_t> out;
    for (const auto& f : fields) {
        const auto r = EncodeTelemetryRecord(f);
        out.insert(out.end(), r.begin(), r.end());
    }
    return out;
}

inline std::vector<TelemetryRecordFields> Sequence(std::size_t n) {
    std::vector<TelemetryRecordFields> out(n);
    for (std::size_t i = 0; i < n; ++i) {
        out[i].latitude = 35.0 + static_cast<double>(i) * 0.0001;
        out[i].longitude = 139.0 + static_cast<double>(i) * 0.0001;
        out[i].speed_kmh = static_cast<double>(i % 100);
        out[i].year = 2022;
        out[i].month = 8;
        out[i].day = 18;
        out[i].hour = 12;
        out[i].second = static_cast<int>(i / 10 % 60);
        out[i].gx = static_cast<double>(i % 7) * 0.01;
        out[i].gy = -static_cast<double>(i % 5) * 0.02;
        out[i].gz = 1.0;
    }
    return out;
}

inline std::vector<std::uint8_t> Block(const std::vector<TelemetryRecordFields>& fields,
                                       const TelemetryHeaderFields& header = {}) {
    return EncodeTelemetryBlock(EncodeTelemetryHeader(header), Records(fields));
}

inline std::string AsString(const std::vector<std::uint8_t>& bytes) {
    return std::string(bytes.begin(), bytes.end());
}

} // namespace kirvano::testing
