// Records, placeholders, the serial counter and the recording-list order.
#include "library/RecordingInfo.h"

#include "library/FolderListing.h"
#include "library/RecordingName.h"

#include <algorithm>
#include <atomic>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <unordered_set>

namespace kirvano {
namespace {

std::atomic<std::int32_t> gSerial{0};

// The size of a regular file opened for reading; -1 when it cannot be opened. O_NONBLOCK
// keeps a FIFO with a movie's name from blocking the scan.
std::int64_t OpenedFileSize(const std::string& path) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
    if (fd < 0)
        return -1;
    struct stat info {};
    const bool ok = ::fstat(fd, &info) == 0 && S_ISREG(info.st_mode);
    ::close(fd);
    return ok ? static_cast<std::int64_t>(info.st_size) : -1;
}

} // namespace

void ResetSerial() {
    gSerial.store(0);
}

std::int32_t TakeSerial() {
    return gSerial.fetch_add(1);
}

bool HasMovExtension(std::string_view name) {
    const auto dot = name.rfind('.');
    if (dot == std::string_view::npos || name.size() - dot != 4)
        return false;
    static constexpr char kMov[] = ".mov";
    for (std::size_t i = 0; i < 4; ++i) {
        if (AsciiLower(name[dot + i]) != kMov[i])
            return false;
    }
    return true;
}

std::string_view SequenceKeyOf(std::string_view name) {
    if (name.size() <= 18)
        return {};
    return name.substr(18, 6);
}

bool MakeRecord(const std::string& path, std::vector<RecordingInfo>& list) {
    const std::string_view name = FileNameOf(path);
    if (!HasMovExtension(name))
        return false;
    const std::int64_t front = OpenedFileSize(path);
    if (front < 0)
        return false;
    MakeRecordOfMovie(path, front, list);
    return true;
}

void MakeRecordOfMovie(const std::string& path, std::int64_t frontSize,
                       std::vector<RecordingInfo>& list) {
    RecordingInfo record;
    record.path = path;
    record.name = std::string(FileNameOf(path));
    record.frontSize = frontSize;
    record.rearSize = CompanionFileSize(RearPathOf(path));
    record.dataSize = CompanionFileSize(DataPathOf(path));
    record.serial = TakeSerial();
    record.typeLetter = static_cast<unsigned char>(TypeLetterOf(record.name));
    record.marked = 0;
    list.push_back(std::move(record));
}

void MakePlaceholder(const std::string& path, std::vector<RecordingInfo>& list) {
    RecordingInfo record;
    record.path = path;
    record.name = std::string(FileNameOf(path));
    record.serial = -1;
    record.typeLetter = 0;
    record.frontSize = record.rearSize = record.dataSize = -1;
    list.push_back(std::move(record));
}

void RemoveByName(std::vector<RecordingInfo>& list, const std::vector<RecordingInfo>& removed) {
    std::unordered_set<std::string_view> names;
    for (const RecordingInfo& record : removed)
        names.insert(record.name);
    std::erase_if(list, [&](const RecordingInfo& r) { return names.contains(r.name); });
}

ListOrderKey ListOrderKeyOf(std::string_view name) {
    return {IsRecordingName(name), SequenceKeyOf(name), name};
}

bool ListsBefore(const ListOrderKey& a, const ListOrderKey& b) {
    if (a.scheme != b.scheme)
        return a.scheme;
    if (a.sequence != b.sequence)
        return a.sequence < b.sequence;
    return a.name < b.name;
}

void SortRecordings(std::vector<RecordingInfo>& list) {
    struct Key {
        ListOrderKey order;
        std::size_t index;
    };
    std::vector<Key> keys;
    keys.reserve(list.size());
    for (std::size_t i = 0; i < list.size(); ++i)
        keys.push_back({ListOrderKeyOf(list[i].name), i});
    std::sort(keys.begin(), keys.end(),
              [](const Key& a, const Key& b) { return ListsBefore(a.order, b.order); });
    // The records move into their places along the permutation's cycles, in place.
    std::vector<bool> placed(list.size(), false);
    for (std::size_t start = 0; start < list.size(); ++start) {
        if (placed[start])
            continue;
        RecordingInfo held = std::move(list[start]);
        std::size_t at = start;
        for (;;) {
            placed[at] = true;
            const std::size_t from = keys[at].index;
            if (from == start)
                break;
            list[at] = std::move(list[from]);
            at = from;
        }
        list[at] = std::move(held);
    }
}

} // namespace kirvano
