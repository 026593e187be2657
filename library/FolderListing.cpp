// Folder listings for the scans. The FAT hidden attribute is only asked for on volumes
// that have one (vfat, exfat): elsewhere the query would open every entry for nothing.
#include "library/FolderListing.h"

#include "config/FileAttributes.h"
#include "container/MappedFile.h"
#include "library/RecordingInfo.h"
#include "library/RecordingName.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/vfs.h>
#include <unistd.h>
#include <unordered_map>

namespace kirvano {
namespace {

constexpr long kMsdosMagic = 0x4d44;
constexpr long kExfatMagic = 0x2011BAB0;

struct Counters {
    std::atomic<std::uint64_t> folders{0};
    std::atomic<std::uint64_t> entries{0};
    std::atomic<std::uint64_t> attributeQueries{0};
    std::atomic<std::uint64_t> containerChecks{0};
};
Counters gCounters;
std::atomic<bool> gEveryVolumeFat{false};

bool VolumeHasHiddenAttribute(int dirFd) {
    if (gEveryVolumeFat.load(std::memory_order_relaxed))
        return true;
    struct statfs info {};
    if (::fstatfs(dirFd, &info) != 0)
        return false;
    return info.f_type == kMsdosMagic || info.f_type == kExfatMagic;
}

} // namespace

struct ScanSession::State {
    std::unordered_map<std::string, FolderListing> listings;
    std::unordered_map<std::string, std::int64_t> movieSizes;
    std::unordered_map<std::string, std::uint8_t> names; // bit 0 any camera, bit 1 front
};

namespace {

thread_local ScanSession::State* tSession = nullptr;

FolderListing ListFolderUncached(const std::string& folder);

std::uint8_t NameFlags(const std::string& name) {
    auto compute = [&] {
        return static_cast<std::uint8_t>((IsRecordingName(name) ? 1 : 0) |
                                         (IsFrontRecordingName(name) ? 2 : 0));
    };
    if (!tSession)
        return compute();
    const auto [at, added] = tSession->names.try_emplace(name, 0);
    if (added)
        at->second = compute();
    return at->second;
}

} // namespace

ScanSession::ScanSession() : state_(std::make_unique<State>()) {}

ScanSession::~ScanSession() = default;

ScanSessionScope::ScanSessionScope(ScanSession* session)
    : previous_(tSession), active_(session != nullptr) {
    if (active_)
        tSession = session->state_.get();
}

ScanSessionScope::~ScanSessionScope() {
    if (active_)
        tSession = previous_;
}

bool IsRecordingNameCached(const std::string& name) {
    if (name.size() > 3 && name[3] != '-')
        return false;
    return (NameFlags(name) & 1) != 0;
}

bool IsFrontRecordingNameCached(const std::string& name) {
    if (name.size() > 3 && name[3] != '-')
        return false;
    return (NameFlags(name) & 2) != 0;
}

std::string JoinPath(std::string_view folder, std::string_view name) {
    std::string path(folder);
    if (path.empty() || path.back() != '/')
        path += '/';
    path += name;
    return path;
}

std::string ParentOf(std::string_view path) {
    while (path.size() > 1 && path.back() == '/')
        path.remove_suffix(1);
    const auto slash = path.rfind('/');
    if (slash == std::string_view::npos)
        return ".";
    if (slash == 0)
        return "/";
    return std::string(path.substr(0, slash));
}

FolderListing ListFolder(const std::string& folder) {
    if (!tSession)
        return ListFolderUncached(folder);
    const auto hit = tSession->listings.find(folder);
    if (hit != tSession->listings.end())
        return hit->second;
    FolderListing listing = ListFolderUncached(folder);
    tSession->listings.emplace(folder, listing);
    return listing;
}

namespace {

FolderListing ListFolderUncached(const std::string& folder) {
    FolderListing listing;
    const int dirFd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dirFd < 0) {
        listing.error = errno;
        return listing;
    }
    DIR* dir = ::fdopendir(dirFd);
    if (!dir) {
        listing.error = errno;
        ::close(dirFd);
        return listing;
    }
    gCounters.folders.fetch_add(1, std::memory_order_relaxed);
    const bool fatVolume = VolumeHasHiddenAttribute(dirFd);
    for (;;) {
        errno = 0;
        const dirent* entry = ::readdir(dir);
        if (!entry) {
            if (errno != 0) {
                // A card pulled mid-listing: what was read is kept, the listing failed.
                listing.error = errno;
                ::closedir(dir);
                return listing;
            }
            break;
        }
        if (entry->d_name[0] == '.')
            continue;
        gCounters.entries.fetch_add(1, std::memory_order_relaxed);
        FolderEntry item;
        item.name = entry->d_name;
        unsigned char type = entry->d_type;
        if (type == DT_UNKNOWN || type == DT_LNK) {
            struct stat info {};
            if (::fstatat(dirFd, entry->d_name, &info, 0) == 0)
                type = S_ISDIR(info.st_mode) ? DT_DIR : S_ISREG(info.st_mode) ? DT_REG : DT_UNKNOWN;
            else
                type = DT_UNKNOWN; // a dangling link: neither folder nor file
        }
        item.isDirectory = type == DT_DIR;
        item.isRegular = type == DT_REG;
        if (fatVolume) {
            gCounters.attributeQueries.fetch_add(1, std::memory_order_relaxed);
            if (HasHiddenAttribute(JoinPath(folder, item.name)))
                continue;
        }
        listing.entries.push_back(std::move(item));
    }
    ::closedir(dir);
    listing.ok = true;
    return listing;
}

} // namespace

void OrderEntries(std::vector<FolderEntry>& entries, EntryOrder order) {
    switch (order) {
    case EntryOrder::ByName:
        std::sort(entries.begin(), entries.end(),
                  [](const FolderEntry& a, const FolderEntry& b) { return a.name < b.name; });
        return;
    case EntryOrder::FoldersThenNames:
        std::sort(entries.begin(), entries.end(), [](const FolderEntry& a, const FolderEntry& b) {
            if (a.isDirectory != b.isDirectory)
                return a.isDirectory;
            return a.name < b.name;
        });
        return;
    case EntryOrder::SchemeThenSequence: {
        struct Key {
            bool scheme;
            std::size_t index;
        };
        std::vector<Key> keys;
        keys.reserve(entries.size());
        for (std::size_t i = 0; i < entries.size(); ++i)
            keys.push_back({IsRecordingNameCached(entries[i].name), i});
        std::sort(keys.begin(), keys.end(), [&entries](const Key& a, const Key& b) {
            if (a.scheme != b.scheme)
                return a.scheme;
            const std::string_view sa = SequenceKeyOf(entries[a.index].name);
            const std::string_view sb = SequenceKeyOf(entries[b.index].name);
            if (sa != sb)
                return sa < sb;
            return entries[a.index].name < entries[b.index].name;
        });
        std::vector<FolderEntry> sorted;
        sorted.reserve(entries.size());
        for (const Key& key : keys)
            sorted.push_back(std::move(entries[key.index]));
        entries = std::move(sorted);
        return;
    }
    }
}

std::int64_t CheckedMovieSize(const std::string& path, std::string* whyNot) {
    if (tSession) {
        const auto hit = tSession->movieSizes.find(path);
        if (hit != tSession->movieSizes.end())
            return hit->second;
    }
    gCounters.containerChecks.fetch_add(1, std::memory_order_relaxed);
    std::int64_t size = -1;
    MappedFile file;
    std::uint8_t head[260];
    if (const Status opened = file.Open(path); !opened) {
        if (whyNot)
            *whyNot = opened.error();
    } else if (file.size() >= sizeof head && file.ReadAt(0, head) &&
               IsMovieStart(ByteRange(head, sizeof head))) {
        size = static_cast<std::int64_t>(file.size());
    }
    if (tSession)
        tSession->movieSizes.emplace(path, size);
    return size;
}

bool PassesContainerCheck(const std::string& path) {
    return CheckedMovieSize(path) >= 0;
}

bool IsUsableRecordingFile(const std::string& folder, const FolderEntry& entry,
                           std::string* whyNot) {
    if (entry.isDirectory || !entry.isRegular)
        return false;
    if (!HasMovExtension(entry.name) || !IsFrontRecordingNameCached(entry.name))
        return false;
    return CheckedMovieSize(JoinPath(folder, entry.name), whyNot) >= 0;
}

ListingCounters ListingCountersSnapshot() {
    return {gCounters.folders.load(), gCounters.entries.load(), gCounters.attributeQueries.load(),
            gCounters.containerChecks.load()};
}

void TreatEveryVolumeAsFatForTests(bool on) {
    gEveryVolumeFat.store(on);
}

void ResetListingCounters() {
    gCounters.folders = 0;
    gCounters.entries = 0;
    gCounters.attributeQueries = 0;
    gCounters.containerChecks = 0;
}

} // namespace kirvano
