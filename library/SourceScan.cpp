// The scans of a source. Only the container check opens files; every other decision
// comes from the names.
#include "library/SourceScan.h"

#include "library/FolderListing.h"
#include "library/RecordingName.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <map>
#include <sys/stat.h>

namespace kirvano {
namespace {

bool ExistsAsFolder(const std::string& path);

void Report(std::vector<ScanProblem>* problems, const std::string& path, int error) {
    if (problems)
        problems->push_back({path, std::strerror(error)});
}

// Whether a failed listing means something is wrong with a real folder (as opposed to a
// path that does not exist, such as a group item's).
bool WorthReporting(int error) {
    return error != ENOENT && error != ENOTDIR && error != 0;
}

std::int64_t NowLocalSeconds() {
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    return LocalSeconds(local.tm_year + 1900, local.tm_mon + 1, local.tm_mday, local.tm_hour,
                        local.tm_min, local.tm_sec);
}

std::string CameraFolderOf(const std::string& folder) {
    const std::string front = JoinPath(folder, "Front");
    return ExistsAsFolder(front) ? front : folder;
}

bool ExistsAsFolder(const std::string& path) {
    struct stat info {};
    return ::stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

bool DeepScanCounting(const std::string& folder, int depth, std::vector<RecordingInfo>& result,
                      std::vector<ScanProblem>* problems, std::size_t& files) {
    const auto shared = ListFolderOrdered(folder, EntryOrder::AsListed);
    const FolderListing& listing = *shared;
    if (!listing.ok) {
        if (listing.error != 0)
            Report(problems, folder, listing.error);
        return false;
    }
    // Folders first, then files, each by name; only what can add records needs the order
    // (a camera's rear and data files are only counted), and the listing is not copied.
    std::vector<const FolderEntry*> ordered;
    for (const FolderEntry& entry : listing.entries) {
        if (entry.isDirectory) {
            if (depth < kMaxFolderDepth)
                ordered.push_back(&entry);
            continue;
        }
        ++files;
        if (entry.isRegular && HasMovExtension(entry.name) && IsFrontRecordingName(entry.name))
            ordered.push_back(&entry);
    }
    std::sort(ordered.begin(), ordered.end(), [](const FolderEntry* a, const FolderEntry* b) {
        if (a->isDirectory != b->isDirectory)
            return a->isDirectory;
        return a->name < b->name;
    });
    auto it = ordered.begin();
    for (; it != ordered.end() && (*it)->isDirectory; ++it) {
        std::vector<RecordingInfo> part;
        std::size_t ownFiles = 0;
        if (!DeepScanCounting(JoinPath(folder, (*it)->name), depth + 1, part, problems, ownFiles))
            return false;
        if (ownFiles != 0)
            SortRecordings(part);
        if (result.empty()) {
            result = std::move(part);
            continue;
        }
        result.reserve(result.size() + part.size());
        for (RecordingInfo& record : part)
            result.push_back(std::move(record));
    }
    result.reserve(result.size() + static_cast<std::size_t>(ordered.end() - it));
    for (; it != ordered.end(); ++it) {
        const std::string path = JoinPath(folder, (*it)->name);
        std::string whyNot;
        const std::int64_t size = CheckedMovieSize(path, &whyNot);
        if (size < 0) {
            if (!whyNot.empty() && problems)
                problems->push_back({path, whyNot});
            continue;
        }
        MakeRecordOfMovie(path, size, result);
    }
    return true;
}

} // namespace

std::int64_t LocalSeconds(int year, int month, int day, int hour, int minute, int second) {
    // Days from the civil date (proleptic Gregorian), after H. Hinnant's algorithm.
    year -= month <= 2;
    const std::int64_t era = (year >= 0 ? year : year - 399) / 400;
    const std::int64_t yoe = year - era * 400;
    const std::int64_t doy = (153 * (month + (month > 2 ? -3 : 9)) + 2) / 5 + day - 1;
    const std::int64_t doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    const std::int64_t days = era * 146097 + doe - 719468;
    return days * 86400 + hour * 3600 + minute * 60 + second;
}

std::string GroupLabel(std::string_view date, int counter) {
    char digits[16];
    std::snprintf(digits, sizeof digits, "_%04d", counter);
    return std::string(date) + digits;
}

bool IsGroupLabel(std::string_view text) {
    // "[0-9]{6,6}_[0-9]{4,4}" searched in the text.
    auto digit = [](char c) { return c >= '0' && c <= '9'; };
    for (std::size_t at = 0; at + 11 <= text.size(); ++at) {
        bool hit = text[at + 6] == '_';
        for (std::size_t i = 0; hit && i < 11; ++i)
            hit = i == 6 || digit(text[at + i]);
        if (hit)
            return true;
    }
    return false;
}

FolderKind ClassifyFolder(const std::string& folder, std::vector<ScanProblem>* problems) {
    const auto shared = ListFolderOrdered(folder, EntryOrder::AsListed);
    const FolderListing& listing = *shared;
    if (!listing.ok) {
        if (WorthReporting(listing.error))
            Report(problems, folder, listing.error);
        return FolderKind::Unlistable;
    }
    for (const FolderEntry& entry : listing.entries) {
        if (entry.isDirectory && entry.name == "Front")
            return FolderKind::Camera;
        if (IsFrontRecordingName(entry.name))
            return FolderKind::Camera;
    }
    return FolderKind::Plain;
}

std::uint32_t FolderMask(const std::string& folder) {
    const auto shared = ListFolderOrdered(folder, EntryOrder::AsListed);
    const FolderListing& listing = *shared;
    std::uint32_t mask = 0;
    for (const FolderEntry& entry : listing.entries) {
        if (IsUsableRecordingFile(folder, entry))
            mask |= EventTypeMaskOf(entry.name);
    }
    return mask;
}

void Scanner::report(const std::string& path, int error) {
    Report(problems_, path, error);
}

bool Scanner::ScanFolder(const std::string& folder, TreeItem item, std::vector<RecordingInfo>& list,
                         std::vector<RecordingInfo>* treeIndex, bool collectMasks, int depth) {
    switch (ClassifyFolder(folder, problems_)) {
    case FolderKind::Camera:
        return GroupScan(CameraFolderOf(folder), item, list, treeIndex, collectMasks, true, {});
    case FolderKind::Unlistable: {
        // A group item's path: its last component is the label of the run to list.
        const std::string wanted(FileNameOf(folder));
        return GroupScan(CameraFolderOf(ParentOf(folder)), item, list, nullptr, collectMasks, false,
                         wanted);
    }
    case FolderKind::Plain:
        break;
    }
    return PlainScan(folder, item, list, treeIndex, collectMasks, depth);
}

bool Scanner::GroupScan(const std::string& folder, TreeItem item, std::vector<RecordingInfo>& list,
                        std::vector<RecordingInfo>* treeIndex, bool collectMasks, bool buildTree,
                        const std::string& wanted) {
    const auto ordered = ListFolderOrdered(folder, EntryOrder::SchemeThenSequence);
    const FolderListing& listing = *ordered;
    if (!listing.ok) {
        if (WorthReporting(listing.error))
            report(folder, listing.error);
        return false;
    }

    std::int64_t previousTime = NowLocalSeconds();
    std::string previousLabel;
    std::map<std::string, int, std::less<>> dateCounters;
    int filesInGroup = 0;
    std::uint32_t mask = 0;
    std::optional<TreeItem> groupItem;

    for (const FolderEntry& entry : listing.entries) {
        std::string whyNot;
        if (!IsUsableRecordingFile(folder, entry, &whyNot)) {
            if (!whyNot.empty() && problems_)
                problems_->push_back({JoinPath(folder, entry.name), whyNot});
            continue;
        }
        const std::string& name = entry.name;
        const RecordingTime t = RecordingTimeOf(name);
        const std::int64_t time = LocalSeconds(t.year, t.month, t.day, t.hour, t.minute, t.second);
        const std::int64_t gap = time - previousTime;
        previousTime = time;
        const bool timeLapse = name[0] == 'T';
        const std::int64_t low = timeLapse ? 892 : 52;
        const std::int64_t high = timeLapse ? 908 : 68;
        const bool newGroup =
            filesInGroup >= kMaxFilesPerGroup || name[2] == 'S' || gap < low || gap > high;

        std::string label;
        if (newGroup) {
            filesInGroup = 0;
            const std::string date = name.substr(4, 6);
            const int counter = ++dateCounters[date];
            label = GroupLabel(date, counter);
        } else {
            label = previousLabel;
        }
        ++filesInGroup;

        if (buildTree) {
            if (!tree_.full()) {
                if (label != previousLabel) {
                    if (collectMasks && groupItem) {
                        tree_.setValue(*groupItem, mask);
                        mask = 0;
                    }
                    groupItem = tree_.insert(item, label);
                    if (treeIndex)
                        MakePlaceholder(JoinPath(folder, name), *treeIndex);
                }
                if (collectMasks)
                    mask |= EventTypeMaskOf(name);
            }
        } else if (label == wanted) {
            ++counted_;
            if (list.size() < kMaxListedRecords) {
                const std::string path = JoinPath(folder, name);
                MakeRecordOfMovie(path, CheckedMovieSize(path), list);
            }
        }
        previousLabel = std::move(label);
    }
    if (buildTree && collectMasks && groupItem)
        tree_.setValue(*groupItem, mask);
    return true;
}

bool Scanner::PlainScan(const std::string& folder, TreeItem item, std::vector<RecordingInfo>& list,
                        std::vector<RecordingInfo>* treeIndex, bool collectMasks, int depth) {
    const auto ordered = ListFolderOrdered(folder, EntryOrder::ByName);
    const FolderListing& listing = *ordered;
    if (!listing.ok) {
        if (WorthReporting(listing.error))
            report(folder, listing.error);
        return false;
    }
    for (const FolderEntry& entry : listing.entries) {
        const std::string path = JoinPath(folder, entry.name);
        if (entry.isDirectory) {
            if (depth >= kMaxFolderDepth || tree_.full())
                continue;
            const std::optional<TreeItem> child = tree_.insert(item, entry.name);
            if (!child || !collectMasks || !treeIndex)
                continue;
            if (!ScanFolder(path, *child, list, treeIndex, collectMasks, depth + 1))
                return false;
            const std::string resolved = CameraFolderOf(path);
            MakePlaceholder(resolved, *treeIndex);
            tree_.setValue(*child, FolderMask(resolved));
        } else if (IsUsableRecordingFile(folder, entry)) {
            ++counted_;
            if (list.size() < kMaxListedRecords)
                MakeRecordOfMovie(path, CheckedMovieSize(path), list);
        }
    }
    return true;
}

bool DeepScan(const std::string& folder, int depth, std::vector<RecordingInfo>& result,
              std::vector<ScanProblem>* problems) {
    std::size_t files = 0;
    return DeepScanCounting(folder, depth, result, problems, files);
}

} // namespace kirvano
