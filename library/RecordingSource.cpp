// Loading a source, expanding tree items, collecting all recordings and the firmware
// version of a card.
#include "library/RecordingSource.h"

#include "config/Settings.h"
#include "library/FolderListing.h"
#include "library/RecordingName.h"
#include "telemetry/TelemetryFiles.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <sys/stat.h>

namespace kirvano {
namespace {

int TwoDigits(const char* digits) {
    int value = 0;
    for (int i = 0; i < 2 && digits[i] >= '0' && digits[i] <= '9'; ++i)
        value = value * 10 + (digits[i] - '0');
    return value;
}

bool IsFolder(const std::string& path) {
    struct stat info {};
    return ::stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

bool IsFile(const std::string& path) {
    struct stat info {};
    return ::stat(path.c_str(), &info) == 0 && !S_ISDIR(info.st_mode);
}

bool ContainsNormalOrParking(std::string_view text) {
    return text.find("Normal") != std::string_view::npos ||
           text.find("Parking") != std::string_view::npos;
}

std::string WithoutTrailingSlash(std::string path) {
    while (path.size() > 1 && path.back() == '/')
        path.pop_back();
    return path;
}

} // namespace

std::string FirmwareVersionOfDataFile(const std::string& dataPath) {
    TelemetryHeader header;
    if (!IsTelemetryFile(dataPath) || !ReadHeaderOnly(dataPath, header))
        return {};
    char text[32];
    std::snprintf(text, sizeof text, "%d.%d.%d", TwoDigits(&header.version[0]),
                  TwoDigits(&header.version[2]), TwoDigits(&header.version[4]));
    return text;
}

RecordingSource::RecordingSource() : firmwareReader_(FirmwareVersionOfDataFile) {}

bool RecordingSource::OpenInitialSource(const RemovableVolumes& volumes) {
    tree_.clear();
    std::optional<std::pair<std::string, SourceKind>> source;
    for (const std::string& mountPoint : volumes.candidates()) {
        if (IsFolder(mountPoint)) {
            source.emplace(WithoutTrailingSlash(mountPoint), SourceKind::Card);
            break;
        }
    }
    if (!source) {
        const std::string folder = ReadSetting("SOURCE", "FOLDER");
        if (!folder.empty() && IsFolder(folder))
            source.emplace(folder, SourceKind::Folder);
    }
    if (!source) {
        const std::string file = ReadSetting("SOURCE", "FILE");
        if (!file.empty() && IsFile(file) && IsRecordingName(FileNameOf(file)))
            source.emplace(file, SourceKind::File);
    }
    if (!source)
        return false;
    LoadSource(source->first, source->second);
    SelectInitialItem();
    return true;
}

void RecordingSource::LoadSource(std::string path, SourceKind kind) {
    list_.clear();
    treeIndex_.clear();
    tree_.clear();
    selected_.reset();
    firmware_.clear();
    shownPath_.clear();
    ResetSerial();
    if (kind == SourceKind::Folder && path.size() > 1 && path.back() == '/')
        path.pop_back();
    if (kind == SourceKind::Card)
        path = WithoutTrailingSlash(std::move(path));
    sourcePath_ = path;
    kind_ = kind;
    if (watch_)
        watch_(sourcePath_);

    loadSession_ = std::make_unique<ScanSession>();
    const ScanSessionScope scope(loadSession_.get());
    Scanner scanner(tree_, &problems_);
    switch (kind) {
    case SourceKind::Card: {
        tree_.setRootPath(path);
        const bool collectMasks =
            IsFolder(JoinPath(path, "Normal")) || IsFolder(JoinPath(path, "Parking"));
        lastScanComplete_ =
            scanner.ScanFolder(path, kTreeRoot, list_, &treeIndex_, collectMasks, 0);
        if (auto first = tree_.firstChild(kTreeRoot))
            selected_ = *first;
        firmware_ = RecorderFirmwareVersion();
        break;
    }
    case SourceKind::Folder: {
        tree_.setRootPath(ParentOf(path));
        const std::optional<TreeItem> top = tree_.insert(kTreeRoot, std::string(FileNameOf(path)));
        lastScanComplete_ = top && scanner.ScanFolder(path, *top, list_, nullptr, false, 0);
        SortRecordings(list_);
        selected_ = top;
        break;
    }
    case SourceKind::File: {
        lastScanComplete_ = true;
        if (PassesContainerCheck(path)) {
            if (!MakeRecord(path, list_))
                problems_.push_back({path, "cannot be opened"});
            tree_.setRootPath(ParentOf(path));
            shownPath_ = tree_.rootPath();
        } else {
            problems_.push_back({path, IsFile(path) ? "not a movie" : "no such file"});
            lastScanComplete_ = false;
        }
        break;
    }
    }
    if (selected_)
        shownPath_ = tree_.path(*selected_);
    loadEnded_ = std::chrono::steady_clock::now();
}

std::unique_ptr<ScanSession> RecordingSource::takeLoadSession() {
    std::unique_ptr<ScanSession> session = std::move(loadSession_);
    // Only what follows the load at once may take its word for the card's contents.
    if (session && std::chrono::steady_clock::now() - loadEnded_ > std::chrono::seconds(1))
        session.reset();
    return session ? std::move(session) : std::make_unique<ScanSession>();
}

int RecordingSource::ExpandTreeItem(TreeItem item, bool /*quiet*/) {
    if (!tree_.contains(item) || item == kTreeRoot)
        return 0;
    // Right after a load the initial selection's runs were just examined by the load.
    std::unique_ptr<ScanSession> session =
        selected_ == item ? takeLoadSession() : std::make_unique<ScanSession>();
    loadSession_.reset();
    const ScanSessionScope scope(session.get());
    selected_ = item;
    shownPath_ = tree_.path(item);
    list_.clear();
    ResetSerial();
    tree_.deleteChildren(item);
    const int depth = tree_.depth(item);
    Scanner scanner(tree_, &problems_);
    lastScanComplete_ =
        scanner.ScanFolder(shownPath_, item, list_, nullptr, kind_ == SourceKind::Card, depth);
    SortRecordings(list_);
    return static_cast<int>(list_.size());
}

std::optional<TreeItem> RecordingSource::SelectInitialItem() {
    const std::optional<TreeItem> top = tree_.firstChild(kTreeRoot);
    if (!top)
        return std::nullopt;
    std::optional<TreeItem> chosen = top;
    if (ContainsNormalOrParking(tree_.text(*top))) {
        const std::optional<TreeItem> child = tree_.firstChild(*top);
        if (child && IsGroupLabel(tree_.text(*child)))
            chosen = child;
    }
    selected_ = chosen;
    shownPath_ = tree_.path(*chosen);
    return chosen;
}

const std::vector<RecordingInfo>& RecordingSource::CollectAllRecordings() {
    const std::unique_ptr<ScanSession> session = takeLoadSession();
    const ScanSessionScope scope(session.get());
    collected_.clear();
    ResetSerial();
    switch (kind_) {
    case SourceKind::Card:
        lastScanComplete_ = DeepScan(tree_.rootPath(), 0, collected_, &problems_);
        break;
    case SourceKind::File:
        lastScanComplete_ = MakeRecord(sourcePath_, collected_);
        if (!lastScanComplete_)
            problems_.push_back({sourcePath_, !IsFile(sourcePath_) ? "no such file"
                                              : !HasMovExtension(FileNameOf(sourcePath_))
                                                  ? "not a movie"
                                                  : "cannot be opened"});
        break;
    case SourceKind::Folder:
        if (const auto top = tree_.firstChild(kTreeRoot))
            lastScanComplete_ = DeepScan(tree_.path(*top), 0, collected_, &problems_);
        break;
    }
    return collected_;
}

std::string RecordingSource::RecorderFirmwareVersion() {
    std::vector<const RecordingInfo*> index;
    for (const RecordingInfo& entry : treeIndex_)
        index.push_back(&entry);
    std::sort(index.begin(), index.end(), [](const RecordingInfo* a, const RecordingInfo* b) {
        if (a->name != b->name)
            return a->name < b->name;
        return a->path < b->path;
    });
    std::vector<ListOrderKey> names;
    std::string newest;
    for (const RecordingInfo* entry : index) {
        if (entry->name != "Front" || !IsFolder(entry->path))
            continue;
        if (entry->path.find("Normal/Front") == std::string::npos &&
            entry->path.find("Parking/Front") == std::string::npos)
            continue;
        const auto listing = ListFolderOrdered(entry->path, EntryOrder::AsListed);
        for (const FolderEntry& file : listing->entries) {
            if (file.isDirectory || !HasMovExtension(file.name))
                continue;
            const char first = file.name[0];
            const bool wanted = first == 'A' || first == 'G' || first == 'M' || first == 'P' ||
                                first == 'T' || (file.name.size() > 1 && file.name[1] == 'G');
            if (wanted)
                names.push_back(ListOrderKeyOf(file.name));
        }
        // The newest recording is the last in list order that can be opened.
        std::sort(names.begin(), names.end(), ListsBefore);
        for (auto it = names.rbegin(); it != names.rend(); ++it) {
            std::vector<RecordingInfo> made;
            if (MakeRecord(JoinPath(entry->path, it->name), made)) {
                newest = made.front().path;
                break;
            }
        }
        names.clear();
        if (!newest.empty())
            break;
    }
    if (newest.empty() || !firmwareReader_)
        return {};
    return firmwareReader_(DataPathOf(newest));
}

} // namespace kirvano
