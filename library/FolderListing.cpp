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
#include <map>
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
    std::unordered_map<std::string, std::int64_t> movieSizes;
    std::map<std::pair<std::string, EntryOrder>, std::shared_ptr<const FolderListing>> ordered;
    // Descriptors of the folders whose files were opened or looked at, so that the kernel
    // resolves only the last component of each path. They are closed when the last scope
    // of the session ends: an idle session must not keep a card's file system busy.
    struct TextHash {
        using is_transparent = void;
        std::size_t operator()(std::string_view text) const {
            return std::hash<std::string_view>{}(text);
        }
    };
    std::unordered_map<std::string, int, TextHash, std::equal_to<>> folders;
    int activeScopes = 0;

    void closeFolders() {
        for (const auto& [path, fd] : folders)
            if (fd >= 0)
                ::close(fd);
        folders.clear();
    }
};

namespace {

thread_local ScanSession::State* tSession = nullptr;

FolderListing ListFolderUncached(const std::string& folder);

} // namespace

ScanSession::ScanSession() : state_(std::make_unique<State>()) {}

ScanSession::~ScanSession() = default;

ScanSessionScope::ScanSessionScope(ScanSession* session)
    : previous_(tSession), active_(session != nullptr) {
    if (active_) {
        tSession = session->state_.get();
        ++tSession->activeScopes;
    }
}

ScanSessionScope::~ScanSessionScope() {
    if (!active_)
        return;
    if (--tSession->activeScopes == 0)
        tSession->closeFolders();
    tSession = previous_;
}

namespace {

// Where a path's file is found: a folder descriptor held by the active session and the
// name in it, or the whole path from the working folder.
struct PathAt {
    int folder = AT_FDCWD;
    const char* name = nullptr;
};

PathAt Locate(const std::string& path) {
    const auto slash = path.rfind('/');
    if (!tSession || slash == std::string::npos || slash == 0 || slash + 1 == path.size())
        return {AT_FDCWD, path.c_str()};
    const std::string_view folder(path.data(), slash);
    auto at = tSession->folders.find(folder);
    if (at == tSession->folders.end()) {
        const std::string name(folder);
        at = tSession->folders.emplace(name, ::open(name.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC))
                 .first;
    }
    if (at->second < 0)
        return {AT_FDCWD, path.c_str()};
    return {at->second, path.c_str() + slash + 1};
}

} // namespace

std::int64_t CompanionFileSize(const std::string& path) {
    const PathAt file = Locate(path);
    struct stat info {};
    if (::fstatat(file.folder, file.name, &info, 0) != 0 || !S_ISREG(info.st_mode))
        return 0;
    return static_cast<std::int64_t>(info.st_size);
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
    return *ListFolderOrdered(folder, EntryOrder::AsListed);
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

std::shared_ptr<const FolderListing> ListFolderOrdered(const std::string& folder,
                                                       EntryOrder order) {
    if (!tSession) {
        FolderListing listing = ListFolderUncached(folder);
        OrderEntries(listing.entries, order);
        return std::make_shared<const FolderListing>(std::move(listing));
    }
    auto& slot = tSession->ordered[{folder, order}];
    if (slot)
        return slot;
    if (order == EntryOrder::AsListed) {
        slot = std::make_shared<const FolderListing>(ListFolderUncached(folder));
    } else {
        FolderListing listing = *ListFolderOrdered(folder, EntryOrder::AsListed);
        OrderEntries(listing.entries, order);
        slot = std::make_shared<const FolderListing>(std::move(listing));
    }
    return slot;
}

void OrderEntries(std::vector<FolderEntry>& entries, EntryOrder order) {
    switch (order) {
    case EntryOrder::AsListed:
        return;
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
            keys.push_back({IsRecordingName(entries[i].name), i});
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
    // O_NONBLOCK keeps a FIFO with a movie's name from blocking the scan; the size comes
    // from the end offset, which is no size at all (an error) for anything but a file.
    std::int64_t size = -1;
    const PathAt file = Locate(path);
    const int fd = ::openat(file.folder, file.name, O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
    if (fd < 0) {
        if (whyNot)
            *whyNot = std::strerror(errno);
    } else {
        std::uint8_t head[260];
        const off_t end = ::lseek(fd, 0, SEEK_END);
        if (end >= static_cast<off_t>(sizeof head) &&
            ::pread(fd, head, sizeof head, 0) == static_cast<ssize_t>(sizeof head) &&
            IsMovieStart(ByteRange(head, sizeof head)))
            size = static_cast<std::int64_t>(end);
        ::close(fd);
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
    if (!HasMovExtension(entry.name) || !IsFrontRecordingName(entry.name))
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
