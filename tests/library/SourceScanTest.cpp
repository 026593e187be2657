#include "library/CardBuilder.h"

#include "config/FileAttributes.h"
#include "config/Settings.h"
#include "library/FolderListing.h"
#include "library/RecordingName.h"
#include "library/RecordingSource.h"
#include "library/SourceScan.h"
#include "telemetry/TelemetryWriter.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace kirvano {
namespace {

using testing::AddMovie;
using testing::AddRecording;
using testing::NameAt;
using testing::TempDir;
namespace fs = std::filesystem;

struct File {
    const char* prefix;
    long offset;
    int day = 1;
};

// The group items under the card's Normal folder with the number of files each lists.
std::vector<std::pair<std::string, int>> GroupsOf(RecordingSource& source) {
    std::vector<std::pair<std::string, int>> groups;
    const auto top = source.tree().firstChild(kTreeRoot);
    if (!top)
        return groups;
    std::vector<TreeItem> items = source.tree().children(*top);
    std::vector<std::string> labels;
    for (TreeItem item : items)
        labels.push_back(source.tree().text(item));
    for (const std::string& label : labels) {
        const auto item = source.tree().find(source.tree().rootPath() + "/Normal/" + label);
        groups.emplace_back(label, item ? source.ExpandTreeItem(*item) : -1);
    }
    return groups;
}

std::string MakeCard(const TempDir& dir, const std::vector<File>& files) {
    const std::string root = dir.file("card");
    fs::create_directories(root + "/Parking");
    int sequence = 1;
    for (const File& f : files)
        AddRecording(root, "Normal", NameAt(f.prefix, f.offset, sequence++, 'F', 2022, 8, f.day));
    return root;
}

TEST(GroupScan, RunsAndLabels) {
    struct Case {
        const char* what;
        std::vector<File> files;
        std::vector<std::pair<std::string, int>> groups;
    };
    const Case cases[] = {
        {"60 s apart is one run", {{"A__", 0}, {"A__", 60}, {"A__", 120}}, {{"220801_0001", 3}}},
        {"70 s after opens a run",
         {{"A__", 0}, {"A__", 60}, {"A__", 130}},
         {{"220801_0001", 2}, {"220801_0002", 1}}},
        {"52 and 68 s stay", {{"A__", 0}, {"A__", 52}, {"A__", 120}}, {{"220801_0001", 3}}},
        {"51 s opens", {{"A__", 0}, {"A__", 51}}, {{"220801_0001", 1}, {"220801_0002", 1}}},
        {"69 s opens", {{"A__", 0}, {"A__", 69}}, {{"220801_0001", 1}, {"220801_0002", 1}}},
        {"backwards in time opens",
         {{"A__", 60}, {"A__", 0}},
         {{"220801_0001", 1}, {"220801_0002", 1}}},
        {"time-lapse 900 s stays", {{"T__", 0}, {"T__", 900}, {"T__", 1808}}, {{"220801_0001", 3}}},
        {"time-lapse 60 s opens",
         {{"T__", 0}, {"T__", 60}},
         {{"220801_0001", 1}, {"220801_0002", 1}}},
        {"time-lapse 909 s opens",
         {{"T__", 0}, {"T__", 909}},
         {{"220801_0001", 1}, {"220801_0002", 1}}},
        {"S starts a run even 60 s after",
         {{"A__", 0}, {"A_S", 60}, {"A__", 120}},
         {{"220801_0001", 1}, {"220801_0002", 2}}},
        {"counters per date in order of appearance",
         {{"A__", 0}, {"A__", 60}, {"A__", 0, 2}, {"A__", 60, 2}, {"A__", 7200}, {"A__", 7260}},
         {{"220801_0001", 2}, {"220802_0001", 2}, {"220801_0002", 2}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        TempDir dir;
        RecordingSource source;
        source.LoadSource(MakeCard(dir, c.files), SourceKind::Card);
        EXPECT_EQ(GroupsOf(source), c.groups);
    }
}

TEST(GroupScan, TwoHundredFilesAGroup) {
    TempDir dir;
    std::vector<File> files;
    for (int i = 0; i < 201; ++i)
        files.push_back({"A__", 60L * i});
    RecordingSource source;
    source.LoadSource(MakeCard(dir, files), SourceKind::Card);
    const std::vector<std::pair<std::string, int>> expected{{"220801_0001", 200},
                                                            {"220801_0002", 1}};
    EXPECT_EQ(GroupsOf(source), expected);
}

TEST(GroupScan, InitialSelectionListsTheFirstRunInSequenceOrder) {
    TempDir dir;
    const std::string root = MakeCard(dir, {{"A__", 0}, {"G__", 60}, {"M__", 120}, {"A__", 400}});
    RecordingSource source;
    source.LoadSource(root, SourceKind::Card);
    const auto item = source.SelectInitialItem();
    ASSERT_TRUE(item);
    EXPECT_EQ(source.tree().text(*item), "220801_0001");
    EXPECT_EQ(source.ExpandTreeItem(*item), 3);
    const auto& list = source.recordingList();
    ASSERT_EQ(list.size(), 3u);
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(list[i].serial, i);
        EXPECT_EQ(SequenceKeyOf(list[i].name), "00000" + std::to_string(i + 1));
        EXPECT_EQ(list[i].frontSize, 260);
        EXPECT_EQ(list[i].rearSize, 300);
        EXPECT_EQ(list[i].dataSize, 100);
    }
    EXPECT_EQ(list[1].typeLetter, 'G');
}

TEST(GroupScan, MasksOfGroupsAndFolders) {
    TempDir dir;
    const std::string root =
        MakeCard(dir, {{"A__", 0}, {"G__", 60}, {"M_S", 120}, {"AG_", 180}, {"A_S", 240}});
    AddRecording(root, "Parking", NameAt("P_S", 0, 50));
    RecordingSource source;
    source.LoadSource(root, SourceKind::Card);
    const FolderTree& tree = source.tree();
    const auto normal = tree.find(root + "/Normal");
    const auto parking = tree.find(root + "/Parking");
    ASSERT_TRUE(normal && parking);
    EXPECT_EQ(tree.value(*normal), 0x01u | 0x04 | 0x02 | 0x10);
    EXPECT_EQ(tree.value(*parking), 0x08u);
    const auto& groups = tree.children(*normal);
    ASSERT_EQ(groups.size(), 3u);
    EXPECT_EQ(tree.value(groups[0]), 0x05u);
    EXPECT_EQ(tree.value(groups[1]), 0x12u);
    EXPECT_EQ(tree.value(groups[2]), 0x01u);
    // The tree index holds each run's first file and each resolved camera folder.
    std::vector<std::string> names;
    for (const RecordingInfo& p : source.treeIndex()) {
        EXPECT_TRUE(p.isPlaceholder());
        names.push_back(p.name);
    }
    EXPECT_EQ(names.size(), 3u + 1 + 1 + 1);
}

TEST(GroupScan, SelectingACameraFolderListsNothingAndRebuildsItsRuns) {
    TempDir dir;
    const std::string root = MakeCard(dir, {{"A__", 0}, {"A__", 200}});
    RecordingSource source;
    source.LoadSource(root, SourceKind::Card);
    const auto normal = source.tree().find(root + "/Normal");
    ASSERT_TRUE(normal);
    EXPECT_EQ(source.ExpandTreeItem(*normal), 0);
    ASSERT_EQ(source.tree().children(*normal).size(), 2u);
    EXPECT_EQ(source.tree().value(source.tree().children(*normal)[0]), 0x01u);
    EXPECT_TRUE(source.recordingList().empty());
}

TEST(SourceScan, UsableRecordingFiles) {
    struct Case {
        const char* what;
        std::string name;
        std::size_t size;
        bool listed;
    };
    const Case cases[] = {
        {"a front movie", NameAt("A__", 0, 1), 260, true},
        {"a short file", NameAt("A__", 60, 2), 259, false},
        {"a rear movie", NameAt("A__", 120, 3, 'R'), 260, false},
        {"a wrong extension", NameAt("A__", 180, 4).substr(0, 26) + "MP4", 260, false},
        {"a hidden name", "." + NameAt("A__", 240, 5), 260, false},
        {"no trigger letter", NameAt("___", 300, 6), 260, false},
        {"a big front movie", NameAt("A__", 360, 7), 100000, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        TempDir dir;
        const std::string folder = dir.file("clips");
        AddMovie(folder, c.name, c.size);
        // Every file of the folder is one run's candidate: the folder itself is the source.
        AddMovie(folder, NameAt("A__", 100000, 99), 260);
        RecordingSource source;
        source.LoadSource(folder, SourceKind::Folder);
        const auto& all = source.CollectAllRecordings();
        bool found = false;
        for (const RecordingInfo& r : all)
            found = found || r.name == c.name;
        EXPECT_EQ(found, c.listed);
    }
}

TEST(SourceScan, ContainerCheckReadsBytesFourToSeven) {
    TempDir dir;
    const std::string good = dir.file("good.MOV");
    testing::WriteAll(good, testing::MovieBytes());
    std::string bad = testing::MovieBytes();
    bad[5] = 'X';
    testing::WriteAll(dir.file("bad.MOV"), bad);
    EXPECT_TRUE(PassesContainerCheck(good));
    EXPECT_FALSE(PassesContainerCheck(dir.file("bad.MOV")));
    EXPECT_FALSE(PassesContainerCheck(dir.file("missing.MOV")));
    ASSERT_EQ(::mkfifo(dir.file("fifo.MOV").c_str(), 0600), 0);
    EXPECT_FALSE(PassesContainerCheck(dir.file("fifo.MOV"))); // and does not block
}

TEST(SourceScan, OddEntriesNeitherCrashNorHang) {
    TempDir dir;
    const std::string front = dir.file("card/Normal/Front");
    fs::create_directories(dir.file("card/Parking"));
    AddMovie(front, NameAt("A__", 0, 1));
    fs::create_directories(front + "/" + NameAt("A__", 60, 2)); // a folder with a movie's name
    ASSERT_EQ(::mkfifo((front + "/" + NameAt("A__", 120, 3)).c_str(), 0600), 0);
    fs::create_symlink(front + "/" + NameAt("A__", 0, 1), front + "/" + NameAt("A__", 60, 4));
    fs::create_symlink(front + "/missing", front + "/" + NameAt("A__", 240, 5));
    fs::create_symlink("..", dir.file("card/loop"));
    AddMovie(front, "A__-220801-12\xff\xfe"
                    "00-000006F.MOV"); // not UTF-8, not the scheme
    RecordingSource source;
    source.LoadSource(dir.file("card"), SourceKind::Card);
    const auto item = source.SelectInitialItem();
    ASSERT_TRUE(item);
    source.ExpandTreeItem(*item);
    std::vector<std::string> names;
    for (const RecordingInfo& r : source.recordingList())
        names.push_back(r.name);
    const std::vector<std::string> expected{NameAt("A__", 0, 1), NameAt("A__", 60, 4)};
    EXPECT_EQ(names, expected);
    // The loop leads back to the card, whose camera folders then lie beyond the depth limit.
    const auto& all = source.CollectAllRecordings();
    EXPECT_EQ(all.size(), 2u);
}

TEST(SourceScan, FolderSourceShowsSubFoldersThreeLevelsDown) {
    TempDir dir;
    const std::string top = dir.file("top");
    fs::create_directories(top + "/a/b/c/d/e");
    fs::create_directories(top + "/z");
    fs::create_directories(top + "/.hidden");
    RecordingSource source;
    source.LoadSource(top + "/", SourceKind::Folder);
    EXPECT_EQ(source.tree().rootPath(), dir.path());
    EXPECT_TRUE(source.recordingList().empty());
    const FolderTree& tree = source.tree();
    auto item = tree.find(top);
    ASSERT_TRUE(item);
    ASSERT_EQ(tree.children(*item).size(), 2u);
    EXPECT_EQ(tree.text(tree.children(*item)[0]), "a");
    std::string path = top;
    int levels = 0;
    for (const char* part : {"a", "b", "c", "d"}) {
        path += std::string("/") + part;
        const auto next = tree.find(path);
        if (!next)
            break;
        ++levels;
        source.ExpandTreeItem(*next);
    }
    EXPECT_EQ(levels, 3);
}

TEST(SourceScan, TreeStopsAtFifteenHundredItems) {
    TempDir dir;
    const std::string top = dir.file("many");
    for (int i = 0; i < 1600; ++i)
        fs::create_directories(top + "/" + std::to_string(10000 + i));
    RecordingSource source;
    source.LoadSource(top, SourceKind::Folder);
    EXPECT_EQ(source.tree().size(), FolderTree::kMaxItems);
}

TEST(SourceScan, SizesAreSixtyFourBit) {
    TempDir dir;
    const std::string folder = dir.file("clips");
    const std::string front = AddMovie(folder, NameAt("A__", 0, 1));
    ASSERT_EQ(::truncate(front.c_str(), 5LL << 30), 0); // sparse: 5 GiB
    std::vector<RecordingInfo> list;
    ASSERT_TRUE(MakeRecord(front, list));
    EXPECT_EQ(list[0].frontSize, 5LL << 30);
    EXPECT_EQ(list[0].rearSize, 0);
    EXPECT_EQ(list[0].dataSize, 0);
}

TEST(SourceScan, DeepScanOrderOnACard) {
    TempDir dir;
    const std::string root = dir.file("card");
    AddRecording(root, "Parking", NameAt("P__", 0, 30));
    AddRecording(root, "Normal", NameAt("M__", 0, 20));
    AddRecording(root, "Normal", NameAt("A__", 0, 10));
    AddRecording(root, "Normal", NameAt("G__", 0, 15));
    RecordingSource source;
    source.LoadSource(root, SourceKind::Card);
    const auto& all = source.CollectAllRecordings();
    std::vector<std::string> names;
    for (const RecordingInfo& r : all) {
        EXPECT_EQ(r.serial, static_cast<int>(names.size()));
        names.push_back(r.name);
    }
    const std::vector<std::string> expected{NameAt("A__", 0, 10), NameAt("G__", 0, 15),
                                            NameAt("M__", 0, 20), NameAt("P__", 0, 30)};
    EXPECT_EQ(names, expected);
}

// The scans open the card's folders once and its files relative to them; nothing stays
// open after a load, a selection or a collection (an idle viewer must not keep a card's
// file system busy), and every size still comes from the right file.
TEST(SourceScan, LeavesNoDescriptorsOpenAndSizesEveryCompanion) {
    const auto openDescriptors = [] {
        return std::distance(fs::directory_iterator("/proc/self/fd"), fs::directory_iterator());
    };
    TempDir dir;
    const std::string root = dir.file("card");
    AddRecording(root, "Normal", NameAt("A__", 0, 1));
    AddRecording(root, "Normal", NameAt("A__", 60, 2), 260, 1000, 77);
    AddRecording(root, "Parking", NameAt("P__", 0, 3), 400, 300, 0);
    const auto before = openDescriptors();
    RecordingSource source;
    source.LoadSource(root, SourceKind::Card);
    EXPECT_EQ(openDescriptors(), before);
    const auto item = source.SelectInitialItem();
    ASSERT_TRUE(item);
    EXPECT_EQ(source.ExpandTreeItem(*item), 2);
    EXPECT_EQ(openDescriptors(), before);
    const auto& all = source.CollectAllRecordings();
    EXPECT_EQ(openDescriptors(), before);
    ASSERT_EQ(all.size(), 3u);
    EXPECT_EQ(all[0].frontSize, 260);
    EXPECT_EQ(all[0].rearSize, 300);
    EXPECT_EQ(all[0].dataSize, 100);
    EXPECT_EQ(all[1].rearSize, 1000);
    EXPECT_EQ(all[1].dataSize, 77);
    EXPECT_EQ(all[2].frontSize, 400);
    EXPECT_EQ(all[2].dataSize, 0);
}

TEST(SourceScan, FirmwareFromTheNewestRecording) {
    TempDir dir;
    const std::string root = dir.file("card");
    AddRecording(root, "Normal", NameAt("A__", 0, 10));
    AddRecording(root, "Normal", NameAt("G__", 0, 12));
    AddRecording(root, "Normal", NameAt("_G_", 0, 13));
    AddRecording(root, "Normal", NameAt("A__", 0, 11));
    fs::create_directories(root + "/Parking");
    RecordingSource source;
    std::string asked;
    source.setFirmwareVersionReader([&](const std::string& data) {
        asked = data;
        return std::string("1.2.3");
    });
    source.LoadSource(root, SourceKind::Card);
    EXPECT_EQ(source.firmwareVersion(), "1.2.3");
    EXPECT_EQ(asked, DataPathOf(root + "/Normal/Front/" + NameAt("_G_", 0, 13)));
}

TEST(SourceScan, SingleFileSource) {
    TempDir dir;
    const std::string rear = AddMovie(dir.file("clips"), NameAt("A__", 0, 1, 'R'));
    RecordingSource source;
    source.LoadSource(rear, SourceKind::File);
    ASSERT_EQ(source.recordingList().size(), 1u);
    EXPECT_EQ(source.tree().rootPath(), dir.file("clips"));
    EXPECT_EQ(source.tree().size(), 0u);
    EXPECT_FALSE(source.SelectInitialItem());

    const std::string text = dir.file("clips/" + NameAt("A__", 60, 2));
    testing::WriteAll(text, std::string(300, 'x'));
    source.LoadSource(text, SourceKind::File);
    EXPECT_TRUE(source.recordingList().empty());
}

TEST(Records, SortAndRemoveByName) {
    std::vector<RecordingInfo> list;
    for (const std::string& name :
         {std::string("notes.MOV"), NameAt("A__", 0, 3), NameAt("G__", 0, 1), std::string("zz"),
          NameAt("A__", 0, 2, 'R')}) {
        RecordingInfo r;
        r.name = name;
        list.push_back(r);
    }
    SortRecordings(list);
    std::vector<std::string> names;
    for (const auto& r : list)
        names.push_back(r.name);
    const std::vector<std::string> sorted{NameAt("G__", 0, 1), NameAt("A__", 0, 2, 'R'),
                                          NameAt("A__", 0, 3), "notes.MOV", "zz"};
    EXPECT_EQ(names, sorted);

    std::vector<RecordingInfo> removed(2);
    removed[0].name = "zz";
    removed[1].name = NameAt("G__", 0, 1);
    removed[1].path = "/elsewhere"; // only names count
    RemoveByName(list, removed);
    names.clear();
    for (const auto& r : list)
        names.push_back(r.name);
    const std::vector<std::string> rest{NameAt("A__", 0, 2, 'R'), NameAt("A__", 0, 3), "notes.MOV"};
    EXPECT_EQ(names, rest);
}

TEST(Records, LabelsAndLocalSeconds) {
    EXPECT_EQ(GroupLabel("220801", 2), "220801_0002");
    EXPECT_TRUE(IsGroupLabel("220801_0002"));
    EXPECT_TRUE(IsGroupLabel("x220801_00021"));
    EXPECT_FALSE(IsGroupLabel("22080_0002"));
    EXPECT_FALSE(IsGroupLabel("220801-0002"));
    EXPECT_EQ(LocalSeconds(2022, 3, 1, 0, 0, 0) - LocalSeconds(2022, 2, 28, 23, 59, 0), 60);
    EXPECT_EQ(LocalSeconds(2024, 3, 1, 0, 0, 0) - LocalSeconds(2024, 2, 28, 0, 0, 0), 2 * 86400);
    EXPECT_EQ(LocalSeconds(1970, 1, 1, 0, 0, 1), 1);
}

} // namespace
} // namespace kirvano

namespace kirvano {
namespace {

std::string DataFileBytes(int major, int minor, int patch, char quality = 'H') {
    TelemetryHeaderFields fields;
    fields.major = major;
    fields.minor = minor;
    fields.patch = patch;
    fields.quality = quality;
    const auto header = EncodeTelemetryHeader(fields);
    const auto record = EncodeTelemetryRecord(TelemetryRecordFields{});
    const auto block = EncodeTelemetryBlock(header, record);
    return std::string(block.begin(), block.end());
}

TEST(SourceScan, FirmwareVersionFromTheDataFile) {
    struct Case {
        std::string bytes;
        std::string version;
    };
    const Case cases[] = {
        {DataFileBytes(3, 12, 5), "3.12.5"},
        {DataFileBytes(0, 0, 1), "0.0.1"},
        {"not telemetry", ""},
        {"", ""},
    };
    for (const Case& c : cases) {
        TempDir dir;
        const std::string root = dir.file("card");
        fs::create_directories(root + "/Parking");
        const std::string front = AddRecording(root, "Normal", NameAt("A__", 0, 1), 260, 0, 0);
        fs::create_directories(root + "/Normal/Data");
        testing::WriteAll(DataPathOf(front), c.bytes);
        RecordingSource source;
        source.LoadSource(root, SourceKind::Card);
        EXPECT_EQ(source.firmwareVersion(), c.version);
    }
    EXPECT_EQ(FirmwareVersionOfDataFile("/nonexistent/x.ADA"), "");
}

} // namespace
} // namespace kirvano

namespace kirvano {
namespace {

// A FAT volume simulated: a file is hidden when its name contains "HIDE".
int FakeGet(int fd, unsigned* attributes) {
    char link[4096];
    const std::string proc = "/proc/self/fd/" + std::to_string(fd);
    const ssize_t n = ::readlink(proc.c_str(), link, sizeof link - 1);
    if (n < 0)
        return EBADF;
    link[n] = 0;
    *attributes = std::string(link).find("HIDE") != std::string::npos ? kFatHidden : 0x20;
    return 0;
}
int FakeSet(int, unsigned) {
    return 0;
}

TEST(SourceScan, FatHiddenEntriesAreLeftOut) {
    TempDir dir;
    const std::string folder = dir.file("clips");
    AddMovie(folder, NameAt("A__", 0, 1));
    AddMovie(folder, NameAt("A__", 60, 2));
    fs::create_directories(folder + "/HIDE-folder");
    testing::WriteAll(folder + "/notes-HIDE.txt", "x");
    const std::string retired = NameAt("A__", 120, 3);
    AddMovie(folder, retired);
    fs::rename(folder + "/" + retired, folder + "/HIDE" + retired);

    const FatAttributeCalls fake{FakeGet, FakeSet};
    SetFatAttributeCallsForTests(&fake);
    TreatEveryVolumeAsFatForTests(true);
    ResetListingCounters();
    const FolderListing listing = ListFolder(folder);
    const ListingCounters counters = ListingCountersSnapshot();
    TreatEveryVolumeAsFatForTests(false);
    SetFatAttributeCallsForTests(nullptr);

    ASSERT_TRUE(listing.ok);
    std::vector<std::string> names;
    for (const FolderEntry& e : listing.entries)
        names.push_back(e.name);
    std::sort(names.begin(), names.end());
    const std::vector<std::string> expected{NameAt("A__", 0, 1), NameAt("A__", 60, 2)};
    EXPECT_EQ(names, expected);
    EXPECT_EQ(counters.attributeQueries, 5u);
    // Not a FAT volume: nothing is asked.
    ResetListingCounters();
    EXPECT_EQ(ListFolder(folder).entries.size(), 5u);
    EXPECT_EQ(ListingCountersSnapshot().attributeQueries, 0u);
}

} // namespace
} // namespace kirvano

namespace kirvano {
namespace {

TEST(SourceScan, FilesThatVanishAfterTheListingAreReported) {
    TempDir dir;
    const std::string front = dir.file("Front");
    AddMovie(front, NameAt("A__", 0, 1));
    FolderEntry gone{NameAt("A__", 60, 2), false, true};
    std::string whyNot;
    EXPECT_FALSE(IsUsableRecordingFile(front, gone, &whyNot));
    EXPECT_EQ(whyNot, "No such file or directory");
    whyNot.clear();
    testing::WriteAll(front + "/" + NameAt("A__", 120, 3), "not a movie at all");
    EXPECT_FALSE(IsUsableRecordingFile(front, {NameAt("A__", 120, 3), false, true}, &whyNot));
    EXPECT_EQ(whyNot, ""); // not a movie is no problem to report
    FolderEntry present{NameAt("A__", 0, 1), false, true};
    EXPECT_TRUE(IsUsableRecordingFile(front, present, &whyNot));
}

} // namespace
} // namespace kirvano

namespace kirvano {
namespace {

TEST(SourceScan, InitialSourceOrder) {
    TempDir dir;
    const std::string card = dir.file("card");
    AddRecording(card, "Normal", NameAt("A__", 0, 1));
    fs::create_directories(card + "/Parking");
    const std::string folder = dir.file("folder");
    fs::create_directories(folder);
    const std::string rear = AddMovie(dir.file("files"), NameAt("A__", 0, 9, 'R'));
    const std::string other = AddMovie(dir.file("files"), "clip.MOV");
    setenv("KIRVANO_CONFIG_DIR", dir.file("config").c_str(), 1);
    ResetConfigDirectoryForTests();
    struct Case {
        const char* what;
        std::vector<std::string> volumes;
        std::string folderSetting, fileSetting;
        bool opened;
        SourceKind kind;
        std::string path;
    };
    const Case cases[] = {
        {"the newest volume that is there",
         {dir.file("gone"), card + "/", folder},
         folder,
         rear,
         true,
         SourceKind::Card,
         card},
        {"else the folder", {dir.file("gone")}, folder, rear, true, SourceKind::Folder, folder},
        {"else a recording file, rear names too",
         {},
         dir.file("gone"),
         rear,
         true,
         SourceKind::File,
         rear},
        {"a file outside the scheme is not taken", {}, "", other, false, SourceKind::Folder, ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        ASSERT_TRUE(WriteSetting("SOURCE", "FOLDER", c.folderSetting));
        ASSERT_TRUE(WriteSetting("SOURCE", "FILE", c.fileSetting));
        RecordingSource source;
        EXPECT_EQ(source.OpenInitialSource(FixedVolumes(c.volumes)), c.opened);
        EXPECT_EQ(source.sourcePath(), c.path);
        if (c.opened) {
            EXPECT_EQ(source.sourceKind(), c.kind);
        }
    }
    unsetenv("KIRVANO_CONFIG_DIR");
    ResetConfigDirectoryForTests();
}

} // namespace
} // namespace kirvano
