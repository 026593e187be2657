#include "container/JoinDataFile.h"

#include "telemetry/TelemetryBlock.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace kirvano {

Result<DataFile> TakeTelemetryRecords(ByteRange block) {
    if (!block.has(0, 6) || std::memcmp(block.data(), "CSMDAT", 6) != 0)
        return Failure("no telemetry block (the CSMDAT signature is missing)");
    const ByteRange body = block.sub(6);
    const auto span = LocateTelemetryRecords(body, BlockReading::Strict);
    if (!span)
        return Failure(
            "the telemetry block is cut off (its header, count or counted records are missing)");
    DataFile file;
    std::memcpy(file.header.data(), body.data(), kTelemetryHeaderSize);
    file.count = static_cast<std::uint32_t>(span->count);
    const std::uint8_t* records = body.data() + kFirstTelemetryRecord;
    file.records.assign(records, records + span->count * kTelemetryRecordSize);
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
    auto file = TakeTelemetryRecords(ByteRange(bytes.data(), bytes.size()));
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
