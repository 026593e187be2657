// The current source and what it was scanned into: the folder tree, the recording list of
// the selected item, the tree index of placeholders, the collection of all recordings and
// the recorder's firmware version. Widget-free: the list panel shows it.
#pragma once

#include "library/FolderListing.h"
#include "library/FolderTree.h"
#include "library/RecordingInfo.h"
#include "library/RemovableVolumes.h"
#include "library/SourceScan.h"

#include <chrono>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace kirvano {

// The firmware version "%d.%d.%d" from a recording's telemetry data file, empty when the
// file holds no telemetry block.
using FirmwareVersionReader = std::function<std::string(const std::string& dataPath)>;

class RecordingSource {
public:
    RecordingSource();

    // At start-up: the newest mounted removable volume, else the configured folder, else
    // the configured recording file; then the initial selection. False when none is there.
    bool OpenInitialSource(const RemovableVolumes& volumes);
    // Replaces tree, list and tree index with the scan of path as kind.
    void LoadSource(std::string path, SourceKind kind);
    // The list of the item, as when the user selects it; returns the number of records.
    int ExpandTreeItem(TreeItem item, bool quiet = true);
    // The item the list panel selects after a load (a run of Normal or Parking when the
    // first top-level item is one of those), remembered as the selection.
    std::optional<TreeItem> SelectInitialItem();
    // Every recording of the source, without limits (for export and the selection dialogs).
    const std::vector<RecordingInfo>& CollectAllRecordings();
    // The recorder's firmware version from the newest recording of the card's camera folder.
    std::string RecorderFirmwareVersion();

    const FolderTree& tree() const { return tree_; }
    std::vector<RecordingInfo>& recordingList() { return list_; }
    const std::vector<RecordingInfo>& recordingList() const { return list_; }
    const std::vector<RecordingInfo>& treeIndex() const { return treeIndex_; }
    const std::vector<RecordingInfo>& collected() const { return collected_; }
    std::vector<RecordingInfo>& collected() { return collected_; }
    const std::string& sourcePath() const { return sourcePath_; }
    SourceKind sourceKind() const { return kind_; }
    bool hasSource() const { return !sourcePath_.empty(); }
    const std::string& firmwareVersion() const { return firmware_; }
    std::optional<TreeItem> selectedItem() const { return selected_; }
    // The path box's text: the selected item's path (the folder of a single file).
    const std::string& shownPath() const { return shownPath_; }

    // What the scans skipped since the last call.
    std::vector<ScanProblem> takeProblems() { return std::exchange(problems_, {}); }
    // Whether the last scan ran to its end.
    bool lastScanComplete() const { return lastScanComplete_; }

    // Told the watched path on every load (the card's mount point, the folder or the file).
    void setWatchHook(std::function<void(const std::string&)> hook) { watch_ = std::move(hook); }
    void setFirmwareVersionReader(FirmwareVersionReader reader) {
        firmwareReader_ = std::move(reader);
    }

private:
    // The load's session, kept for the operation that follows the load at once (the
    // initial selection's expansion, or the collection for an export).
    std::unique_ptr<ScanSession> takeLoadSession();
    std::unique_ptr<ScanSession> loadSession_;
    std::chrono::steady_clock::time_point loadEnded_;
    FolderTree tree_;
    std::vector<RecordingInfo> list_;
    std::vector<RecordingInfo> treeIndex_;
    std::vector<RecordingInfo> collected_;
    std::string sourcePath_;
    SourceKind kind_ = SourceKind::Folder;
    std::string firmware_;
    std::string shownPath_;
    std::optional<TreeItem> selected_;
    std::vector<ScanProblem> problems_;
    bool lastScanComplete_ = true;
    std::function<void(const std::string&)> watch_;
    FirmwareVersionReader firmwareReader_;
};

// The default reader: the telemetry header's version fields of the data file.
std::string FirmwareVersionOfDataFile(const std::string& dataPath);

} // namespace kirvano
