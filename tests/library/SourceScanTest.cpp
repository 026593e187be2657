// Scanning sources: which files are recordings, odd entries, folder depth and tree limits,
// sizes, the deep scan's order, open descriptors, single files, hidden FAT entries and
// files that vanish during a scan.
#include "library/CardBuilder.h"

#include "config/FileAttributes.h"
#include "library/FolderListing.h"
#include "library/RecordingName.h"
#include "library/RecordingSource.h"
#include "library/SourceScan.h"

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
