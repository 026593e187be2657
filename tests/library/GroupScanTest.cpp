// Grouping a camera folder into runs: labels, the 200-file limit, the initial selection,
// masks, rescans of a camera folder; and the records' order and labels.
#include "library/CardBuilder.h"

#include "library/RecordingName.h"
#include "library/RecordingSource.h"
#include "library/SourceScan.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

namespace kirvano {
namespace {

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
