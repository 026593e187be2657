#include "container/JoinDataFile.h"

#include "base/ByteRange.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace kirvano {
namespace {

constexpr char kBegin[] = "CSMDAT";
constexpr char kEnd[] = "CSMEND";
constexpr std::size_t kRecordsAt = 34;

} // namespace

Result<DataFile> ParseTelemetryBlock(const std::uint8_t* data, std::size_t size) {
    const ByteRange block(data, size);
    if (size < kRecordsAt || std::memcmp(data, kBegin, 6) != 0)
        return Failure("no telemetry block (the CSMDAT signature is missing)");
    DataFile file;
    std::memcpy(file.header.data(), data + 6, kTelemetryHeaderSize);
    const std::uint16_t field = *block.be16(32);
    std::uint64_t count = 0;
    if (field != 0xFFFF) {
        count = field;
        if (!block.has(kRecordsAt, count * kTelemetryRecordSize))
            return Failure("the telemetry block is cut off: it counts " + std::to_string(count) +
                           " records");
    } else {
        // Records up to the end marker (or the last whole record before the end).
        std::size_t at = kRecordsAt;
        while (block.has(at, kTelemetryRecordSize) && std::memcmp(data + at, kEnd, 6) != 0) {
            at += kTelemetryRecordSize;
            ++count;
        }
    }
    file.count = static_cast<std::uint32_t>(count);
    file.records.assign(data + kRecordsAt, data + kRecordsAt + count * kTelemetryRecordSize);
    return file;
}

Result<DataFile> ReadDataFile(const std::string& path) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return Failure(std::strerror(errno));
    struct stat st;
    if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(fd);
        return Failure("not a regular file");
    }
    if (static_cast<std::uint64_t>(st.st_size) > kMaxDataFileSize) {
        ::close(fd);
        return Failure("the data file is too large");
    }
    std::vector<std::uint8_t> bytes(static_cast<std::size_t>(st.st_size));
    std::size_t got = 0;
    while (got < bytes.size()) {
        const ssize_t n =
            ::pread(fd, bytes.data() + got, bytes.size() - got, static_cast<off_t>(got));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            break;
        got += static_cast<std::size_t>(n);
    }
    ::close(fd);
    if (got != bytes.size())
        return Failure("cannot read the data file");
    auto file = ParseTelemetryBlock(bytes.data(), bytes.size());
    if (file)
        file->path = path;
    return file;
}

void AppendRecords(DataFile& data, const DataFile& next) {
    data.records.insert(data.records.end(), next.records.begin(), next.records.end());
    data.count += next.count;
}

std::vector<std::uint8_t> EncodeJoinedBlock(const std::array<std::uint8_t, 26>& header,
                                            std::uint32_t count,
                                            const std::vector<std::uint8_t>& records) {
    (void)count; // the writer counts the whole records itself
    return EncodeTelemetryBlock(header, records);
}

} // namespace kirvano
