// Scanning a source into the folder tree and recording lists: the folder kinds, the
// grouping of a camera folder into runs recorded back to back, the plain and deep scans
// and their limits.
#pragma once

#include "library/FolderTree.h"
#include "library/RecordingInfo.h"

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace kirvano {

inline constexpr std::size_t kMaxListedRecords = 1000;
inline constexpr int kMaxFolderDepth = 3;
inline constexpr int kMaxFilesPerGroup = 200;

// Something a scan skipped: a folder it could not list, a file it could not open.
struct ScanProblem {
    std::string path;
    std::string reason;
};

enum class FolderKind : int { Plain = 0, Camera = 1, Unlistable = 2 };

// Camera when the folder has a sub-folder named "Front" or directly holds a front
// recording name; Unlistable when it cannot be listed (a group item's path).
FolderKind ClassifyFolder(const std::string& folder, std::vector<ScanProblem>* problems = nullptr);

// OR of the event-type masks of the usable recording files directly in the folder.
std::uint32_t FolderMask(const std::string& folder);

// The group label: the six date digits and the date's counter, "220801_0001".
std::string GroupLabel(std::string_view date, int counter);
bool IsGroupLabel(std::string_view text);

// The scans that fill one tree and one list. Counts are of usable recording files seen,
// including those beyond the list limit.
class Scanner {
public:
    Scanner(FolderTree& tree, std::vector<ScanProblem>* problems = nullptr)
        : tree_(tree), problems_(problems) {}

    bool ScanFolder(const std::string& folder, TreeItem item, std::vector<RecordingInfo>& list,
                    std::vector<RecordingInfo>* treeIndex, bool collectMasks, int depth);
    // Groups the files of a camera folder into runs. With buildTree a group item is
    // inserted under item per run; without it the files of the run labelled wanted are
    // listed.
    bool GroupScan(const std::string& folder, TreeItem item, std::vector<RecordingInfo>& list,
                   std::vector<RecordingInfo>* treeIndex, bool collectMasks, bool buildTree,
                   const std::string& wanted);
    bool PlainScan(const std::string& folder, TreeItem item, std::vector<RecordingInfo>& list,
                   std::vector<RecordingInfo>* treeIndex, bool collectMasks, int depth);

    std::uint64_t counted() const { return counted_; }

private:
    void report(const std::string& path, int error);

    FolderTree& tree_;
    std::vector<ScanProblem>* problems_;
    std::uint64_t counted_ = 0;
};

// Every usable recording below folder, without limits; sub-folders first (at most three
// levels down), each sub-folder holding files sorted as the recording list.
bool DeepScan(const std::string& folder, int depth, std::vector<RecordingInfo>& result,
              std::vector<ScanProblem>* problems = nullptr);

// Seconds between two local date-times read as clock readings (no time-zone rules).
std::int64_t LocalSeconds(int year, int month, int day, int hour, int minute, int second);

} // namespace kirvano
