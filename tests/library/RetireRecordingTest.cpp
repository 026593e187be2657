#include "library/RetireRecording.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace kirvano {
namespace {

namespace fs = std::filesystem;

void Touch(const fs::path& file, const std::string& content = "x") {
    fs::create_directories(file.parent_path());
    std::ofstream(file) << content;
}

std::string Read(const fs::path& file) {
    return testing::ReadAll(file.string());
}

class Retire : public ::testing::Test {
protected:
    void SetUp() override {
        root_ = dir_.path();
        fs::create_directories(root_ / "card/Normal/Front");
        fs::create_directories(root_ / "card/Normal/Rear_");
        fs::create_directories(root_ / "card/Normal/Data");
        fs::create_directories(root_ / "card/Parking/Front");
        fs::create_directories(root_ / "elsewhere");
        fs::create_directories(root_ / "data");
        setenv("XDG_DATA_HOME", (root_ / "data").c_str(), 1);
    }
    fs::path card(const std::string& relative) const { return root_ / "card" / relative; }
    testing::TempDir dir_;
    fs::path root_;
};

TEST_F(Retire, CardShiftsTheSequenceIntoDummyNames) {
    const struct {
        const char* sequence;
        const char* shifted;
    } cases[] = {
        {"000123", "150123"},
        {"849999", "999999"},
        {"900000", "050000"},
        {"999999", "149999"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.sequence);
        const std::string stem = std::string("A__-220801-123456-") + c.sequence;
        const std::string dummy = std::string("A__-220801-123456-") + c.shifted;
        Touch(card("Normal/Front/" + stem + "F.MOV"), "front");
        Touch(card("Normal/Rear_/" + stem + "R.MOV"), "rear");
        Touch(card("Normal/Data/" + stem + "D.ADA"), "data");
        EXPECT_TRUE(RetireRecording(card("Normal/Front/" + stem + "F.MOV").string()));
        EXPECT_FALSE(fs::exists(card("Normal/Front/" + stem + "F.MOV")));
        EXPECT_EQ(Read(card("Normal/Front/" + dummy + "F.DMY")), "front");
        EXPECT_EQ(Read(card("Normal/Rear_/" + dummy + "R.DMY")), "rear");
        EXPECT_EQ(Read(card("Normal/Data/" + dummy + "D.ADA")), "data");
    }
}

TEST_F(Retire, CardWithoutCameraFolders) {
    Touch(card("Parking/P__-220801-123456-900000F.MOV"), "front");
    Touch(card("Parking/P__-220801-123456-900000R.DMY"), "old rear");
    EXPECT_TRUE(RetireRecording(card("Parking/P__-220801-123456-900000F.MOV").string()));
    EXPECT_EQ(Read(card("Parking/P__-220801-123456-050000F.DMY")), "front");
    // the rear row also takes an already retired rear file
    EXPECT_EQ(Read(card("Parking/P__-220801-123456-050000R.DMY")), "old rear");
}

TEST_F(Retire, TakenDummySlotStopsAtTheFrontFileOnly) {
    const std::string stem = "G__-220801-123456-000001";
    const std::string dummy = "G__-220801-123456-150001";
    Touch(card("Normal/Front/" + stem + "F.MOV"), "front");
    Touch(card("Normal/Rear_/" + stem + "R.MOV"), "rear");
    Touch(card("Normal/Front/" + dummy + "F.DMY"), "taken");
    EXPECT_FALSE(RetireRecording(card("Normal/Front/" + stem + "F.MOV").string()));
    EXPECT_EQ(Read(card("Normal/Front/" + stem + "F.MOV")), "front");
    EXPECT_EQ(Read(card("Normal/Front/" + dummy + "F.DMY")), "taken");
    EXPECT_EQ(Read(card("Normal/Rear_/" + stem + "R.MOV")), "rear");

    // a taken companion slot is skipped; the rest goes on
    fs::remove(card("Normal/Front/" + dummy + "F.DMY"));
    Touch(card("Normal/Rear_/" + dummy + "R.DMY"), "taken rear");
    Touch(card("Normal/Data/" + stem + "D.ADA"), "data");
    EXPECT_TRUE(RetireRecording(card("Normal/Front/" + stem + "F.MOV").string()));
    EXPECT_EQ(Read(card("Normal/Front/" + dummy + "F.DMY")), "front");
    EXPECT_EQ(Read(card("Normal/Rear_/" + stem + "R.MOV")), "rear");
    EXPECT_EQ(Read(card("Normal/Rear_/" + dummy + "R.DMY")), "taken rear");
    EXPECT_EQ(Read(card("Normal/Data/" + dummy + "D.ADA")), "data");
}

TEST_F(Retire, MissingCompanionsAreIgnored) {
    Touch(card("Normal/Front/M__-220801-123456-000005F.MOV"));
    EXPECT_TRUE(RetireRecording(card("Normal/Front/M__-220801-123456-000005F.MOV").string()));
    EXPECT_TRUE(fs::exists(card("Normal/Front/M__-220801-123456-150005F.DMY")));
    EXPECT_FALSE(fs::exists(card("Normal/Rear_/M__-220801-123456-150005R.DMY")));
}

TEST_F(Retire, BareNameInTheWorkingFolder) {
    Touch(card("Normal/Front/A__-220801-123456-000007F.MOV"), "front");
    const fs::path before = fs::current_path();
    fs::current_path(card("Normal/Front"));
    const bool retired = RetireRecording("A__-220801-123456-000007F.MOV");
    fs::current_path(before);
    EXPECT_TRUE(retired);
    EXPECT_EQ(Read(card("Normal/Front/A__-220801-123456-150007F.DMY")), "front");
}

TEST_F(Retire, MissingFrontFileOnCard) {
    // nothing to move: the front row is skipped like any missing file
    EXPECT_TRUE(RetireRecording(card("Normal/Front/M__-220801-123456-000006F.MOV").string()));
    EXPECT_TRUE(fs::is_empty(card("Normal/Front")));
}

TEST_F(Retire, ElsewhereGoesToTheTrash) {
    const fs::path folder = root_ / "elsewhere";
    Touch(folder / "A__-220801-123456-000123F.MOV", "front");
    Touch(folder / "A__-220801-123456-000123R.MOV", "rear");
    Touch(folder / "A__-220801-123456-000123D.ADA", "data");
    Touch(folder / "holiday.mp4", "other");
    EXPECT_TRUE(RetireRecording((folder / "A__-220801-123456-000123F.MOV").string()));
    EXPECT_TRUE(RetireRecording((folder / "holiday.mp4").string()));
    EXPECT_TRUE(fs::is_empty(folder));
    const fs::path trash = root_ / "data/Trash/files";
    for (const char* name : {"A__-220801-123456-000123F.MOV", "A__-220801-123456-000123R.MOV",
                             "A__-220801-123456-000123D.ADA", "holiday.mp4"}) {
        SCOPED_TRACE(name);
        EXPECT_TRUE(fs::exists(trash / name));
    }
    // nothing attempted counts as done
    EXPECT_TRUE(RetireRecording((folder / "gone.mp4").string()));
    EXPECT_FALSE(RetireRecording(""));
}

TEST_F(Retire, NameOutsideTheSchemeOnCardGoesToTheTrash) {
    Touch(card("Normal/notes.txt"), "notes");
    EXPECT_TRUE(RetireRecording(card("Normal/notes.txt").string()));
    EXPECT_FALSE(fs::exists(card("Normal/notes.txt")));
    EXPECT_TRUE(fs::exists(root_ / "data/Trash/files/notes.txt"));
}

} // namespace
} // namespace kirvano
