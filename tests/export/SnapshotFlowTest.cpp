// Snapshots from two real playback engines on a generated card: the files' names, the
// frames their pictures show (read back from the generator's bar code), the overwrite
// question, a full disk, and the display given back in every case.
#include "export/SnapshotFlow.h"
#include "config/Settings.h"
#include "library/RecordingName.h"
#include "library/SourceScan.h"
#include "playback/PlaybackEngine.h"
#include "playback/platform/GstPipeline.h"
#include "support/TmpfsMount.h"

#include "ScriptedDialogs.h"
#include "playback/FakePipeline.h"
#include "support/FrameBarcode.h"
#include "support/TempDir.h"
#include "ui/UiText.h"

#include <QImage>
#include <gtest/gtest.h>

#include <deque>
#include <filesystem>

namespace kirvano {
namespace {

namespace fs = std::filesystem;
using testing::ReadAll;
using testing::ScriptedDialogs;
using testing::TempDir;

TEST(SnapshotNames, FromTheRecordingAndTheShownFrame) {
    const std::string movie = "/card/Normal/Front/AGS-220801-123456-000123F.MOV";
    const struct {
        std::string folder;
        std::int64_t position;
        std::string front, rear;
    } cases[] = {
        {"/snap", 123, "/snap/220801-123456-F-000123.jpg", "/snap/220801-123456-R-000123.jpg"},
        {"/snap/", 0, "/snap/220801-123456-F-000000.jpg", "/snap/220801-123456-R-000000.jpg"},
        {"/s", 1234567, "/s/220801-123456-F-1234567.jpg", "/s/220801-123456-F-1234567.jpg"},
        {"/snap", -1, "/snap", "/snap"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.front);
        EXPECT_EQ(SnapshotFileName(c.folder, movie, c.position), c.front);
        EXPECT_EQ(SwapSnapshotCamera(c.front), c.rear);
    }
    // A rear recording's name swaps back to the front letter.
    EXPECT_EQ(SwapSnapshotCamera("/x/220801-123456-R-000001.jpg"), "/x/220801-123456-F-000001.jpg");
}

struct CountingDisplay : SnapshotDisplay {
    void Hold(const std::array<SnapshotCamera*, 2>& captured) override {
        ++holds;
        sizes.clear();
        for (SnapshotCamera* camera : captured)
            sizes.emplace_back(camera ? camera->Width() : 0, camera ? camera->Height() : 0);
    }
    void Restore() override { ++restores; }
    int holds = 0;
    int restores = 0;
    std::vector<std::pair<int, int>> sizes;
};

std::optional<int> BarcodeOf(const std::string& jpeg) {
    QImage image;
    if (!image.load(QString::fromStdString(jpeg), "JPG"))
        return std::nullopt;
    return testing::ReadFrameBarcode(image);
}

TEST(SnapshotFlow, SavesTheShownFramesOfBothCamerasAndAlwaysRestoresTheDisplay) {
    SelectUiTextColumn(0);
    TempDir dir;
    setenv("KIRVANO_CONFIG_DIR", dir.file("config").c_str(), 1);
    ResetConfigDirectoryForTests();
    const std::string card = dir.file("card");
    ASSERT_EQ(std::system((std::string(KIRVANO_CLI) + " make-card '" + card +
                           "' --recordings 1 --parking 0 --seconds 2 --front 320x240@27.5"
                           " --rear 240x160@30 >/dev/null 2>&1")
                              .c_str()),
              0);
    std::vector<RecordingInfo> recordings;
    ASSERT_TRUE(DeepScan(card, 0, recordings));
    ASSERT_EQ(recordings.size(), 1u);
    const std::string movie = recordings[0].path;

    testing::FakeWindow frontWindow, rearWindow;
    PlaybackEngine front(0, GstPipelineFactory()), rear(1, GstPipelineFactory());
    ASSERT_TRUE(front.Init(&frontWindow, "Noto Sans CJK JP"));
    ASSERT_TRUE(rear.Init(&rearWindow, "Noto Sans CJK JP"));
    ASSERT_TRUE(front.Open(movie)) << front.lastError();
    ASSERT_TRUE(rear.Open(RearPathOf(movie))) << rear.lastError();
    constexpr int kFront = 23, kRear = 31;
    ASSERT_TRUE(front.SetPosition(kFront));
    ASSERT_TRUE(rear.SetPosition(kRear));
    EngineSnapshotCamera frontCamera(front), rearCamera(rear);
    const std::array<SnapshotCamera*, 2> cameras{&frontCamera, &rearCamera};

    const std::string out = dir.file("snap");
    fs::create_directories(out);
    ScriptedDialogs dialogs;
    CountingDisplay display;
    dialogs.folders = {out};
    SnapshotResult result = SaveSnapshots(dialogs, display, cameras, movie, kFront);
    EXPECT_EQ(result.outcome, SnapshotOutcome::Saved);
    const std::string base = out + "/" + SnapshotBaseOf(movie);
    EXPECT_EQ(result.paths[0], base + "-000023.jpg");
    EXPECT_EQ(result.paths[1], SwapSnapshotCamera(base + "-000023.jpg"));
    EXPECT_EQ(BarcodeOf(result.paths[0]), kFront);
    EXPECT_EQ(BarcodeOf(result.paths[1]), kRear);
    EXPECT_EQ(display.sizes, (std::vector<std::pair<int, int>>{{320, 240}, {240, 160}}));
    EXPECT_EQ(dialogs.shown, std::vector<std::string>{UiText(48)});
    EXPECT_EQ(ReadSetting("FOLDERPATH", "SNAPSHOT_FOLDER"), out);
    EXPECT_EQ(testing::EntryCount(out), 2u);

    // The same frame again: Cancel on the question keeps the earlier files.
    testing::WriteAll(result.paths[0], "earlier picture");
    const std::string rearBytes = ReadAll(result.paths[1]);
    dialogs.shown.clear();
    dialogs.folders = {out};
    dialogs.answers = {false};
    EXPECT_EQ(SaveSnapshots(dialogs, display, cameras, movie, kFront).outcome,
              SnapshotOutcome::Declined);
    EXPECT_EQ(dialogs.shown, std::vector<std::string>{UiText(93)});
    EXPECT_EQ(ReadAll(result.paths[0]), "earlier picture");
    EXPECT_EQ(ReadAll(result.paths[1]), rearBytes);

    // The chooser cancelled: nothing said, nothing written.
    dialogs.shown.clear();
    EXPECT_EQ(SaveSnapshots(dialogs, display, cameras, movie, kFront).outcome,
              SnapshotOutcome::NoFolder);
    EXPECT_TRUE(dialogs.shown.empty());

    // A full disk: the failure is told and no picture is left half-written.
    testing::TmpfsMount disk;
    int expectedRestores = 3;
    if (disk.mounted()) {
        disk.fill();
        dialogs.folders = {disk.path()};
        EXPECT_EQ(SaveSnapshots(dialogs, display, cameras, movie, kFront).outcome,
                  SnapshotOutcome::Failed);
        EXPECT_EQ(dialogs.shown, std::vector<std::string>{UiText(100)});
        EXPECT_EQ(testing::EntryCount(disk.path()), 1u); // the filler alone
        EXPECT_EQ(ReadSetting("FOLDERPATH", "SNAPSHOT_FOLDER"), out);
        ++expectedRestores;
    }
    EXPECT_EQ(display.holds, expectedRestores);
    EXPECT_EQ(display.restores, expectedRestores);

    // Without a picture nothing happens at all.
    ASSERT_TRUE(front.Close());
    ASSERT_TRUE(rear.Close());
    dialogs.shown.clear();
    dialogs.folders = {out};
    EXPECT_EQ(SaveSnapshots(dialogs, display, cameras, movie, kFront).outcome,
              SnapshotOutcome::NothingCaptured);
    EXPECT_EQ(display.holds, expectedRestores);
    EXPECT_TRUE(dialogs.shown.empty());
    front.Shutdown();
    rear.Shutdown();
}

} // namespace
} // namespace kirvano
