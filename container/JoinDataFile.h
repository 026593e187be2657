// The camera's telemetry block read whole for a join (a data file, or the payload of a
// movie's udat box), and the block written back with the records of all joined
// recordings: "CSMDAT", the 26 header bytes, the 16-bit count (0xFFFF from 65535 records
// on, the true count then follows "CSMEND" as 32 bits), the records and "CSMEND".
#pragma once

#include "base/ByteRange.h"
#include "base/Result.h"
#include "telemetry/TelemetryWriter.h"

#include <array>
#include <cstdint>
#include <string>
#include <vector>

namespace kirvano {

// Larger data files are refused rather than read into memory.
inline constexpr std::uint64_t kMaxDataFileSize = 256u << 20;

struct DataFile {
    std::string path;
    std::array<std::uint8_t, kTelemetryHeaderSize> header{};
    std::uint32_t count = 0;           // records held
    std::vector<std::uint8_t> records; // count × 124 bytes
};

// The raw records of a block that starts with "CSMDAT", read strictly by the telemetry
// block reader: a count that promises more records than the bytes hold is refused (a
// cut-off file), and neither the end marker nor anything behind it is taken as a record.
Result<DataFile> TakeTelemetryRecords(ByteRange block);
// Reads the data file at path (it must start with "CSMDAT").
Result<DataFile> ReadDataFile(const std::string& path);

// Appends next's records behind data's.
void AppendRecords(DataFile& data, const DataFile& next);

// The whole block for header and records, through the telemetry writer.
std::vector<std::uint8_t> EncodeJoinedBlock(const std::array<std::uint8_t, 26>& header,
                                            std::uint32_t count,
                                            const std::vector<std::uint8_t>& records);

} // namespace kirvano
