// The file commands on the real main window over a generated recorder card, with a script
// answering the dialogs: a snapshot of the shown frame, the CSV export, a join and the
// delete of the recording on screen, each ending with the window ready again.
#include "ScriptedDialogs.h"
#include "app/CtarnicDlg.h"
#include "config/Settings.h"
#include "export/SnapshotFlow.h"
#include "library/RecordingName.h"
#include "playback/CMovieStatic.h"
#include "support/FrameBarcode.h"
#include "support/TempDir.h"
#include "ui/CSkinButton.h"
#include "ui/UiText.h"

#include <QElapsedTimer>
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

bool ProcessUntil(const std::function<bool()>& done, int timeoutMs = 10000) {
    QElapsedTimer timer;
    timer.start();
    while (!done() && timer.elapsed() < timeoutMs)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    return done();
}

std::optional<int> Barcode(const std::string& jpeg) {
    QImage image;
    return image.load(QString::fromStdString(jpeg), "JPG") ? testing::ReadFrameBarcode(image)
                                                           : std::nullopt;
}

TEST(WindowTasks, SnapshotCsvJoinAndDeleteFromTheWindow) {
    SelectUiTextColumn(0);
    TempDir dir;
    setenv("KIRVANO_CONFIG_DIR", dir.file("config").c_str(), 1);
    ResetConfigDirectoryForTests();
    const std::string card = dir.file("card");
    ASSERT_EQ(std::system((std::string(KIRVANO_CLI) + " make-card '" + card +
                           "' --recordings 3 --parking 0 --seconds 2 --front 320x240@25"
                           " --rear 320x240@25 > /dev/null 2>&1")
                              .c_str()),
              0);
    for (const char* folder : {"snap", "csv", "cli", "joined"})
        fs::create_directories(dir.file(folder));

    CtarnicDlg w(nullptr, std::make_unique<FixedVolumes>(std::vector<std::string>{card}));
    auto owned = std::make_unique<ScriptedDialogs>();
    ScriptedDialogs& dialogs = *owned;
    w.SetFlowDialogs(std::move(owned));
    w.show();
    ASSERT_TRUE(ProcessUntil([&] { return w.Ready(); })) << "the first recording opens";
    const std::vector<RecordingInfo> listed = w.Source().recordingList();
    ASSERT_EQ(listed.size(), 2u);
    const auto settled = [&] { return !w.LongTaskRunning() && w.Ready(); };

    // Snapshot: both cameras' pictures of the shown frame, and the display given back.
    dialogs.folders = {dir.file("snap")};
    w.OnCommand(kCmdSnapshot);
    const std::string front = dir.file("snap/" + SnapshotBaseOf(listed[0].path) + "-000000.jpg");
    EXPECT_EQ(Barcode(front), 0);
    EXPECT_EQ(Barcode(SwapSnapshotCamera(front)), 0);
    EXPECT_EQ(dialogs.shown, std::vector<std::string>{UiText(48)});
    EXPECT_TRUE(w.VideoWindow(w.MainCamera())->isVisible());
    EXPECT_TRUE(w.Button(kCmdSnapshot)->isEnabled());

    // CSV: the same file the command line writes.
    dialogs.shown.clear();
    dialogs.folders = {dir.file("csv")};
    w.OnCommand(kCmdCsv);
    EXPECT_TRUE(w.LongTaskRunning());
    ASSERT_TRUE(ProcessUntil(settled));
    ASSERT_EQ(std::system((std::string(KIRVANO_CLI) + " csv '" + card + "' '" + dir.file("cli") +
                           "' > /dev/null")
                              .c_str()),
              0);
    const std::string csvName = fs::directory_iterator(dir.file("cli"))->path().filename();
    EXPECT_EQ(ReadAll(dir.file("csv/" + csvName)), ReadAll(dir.file("cli/" + csvName)));
    EXPECT_EQ(dialogs.shown, std::vector<std::string>{UiText(48)});

    // Join the two listed recordings.
    dialogs.shown.clear();
    dialogs.folders = {dir.file("joined")};
    dialogs.pick = [](const std::vector<RecordingInfo>& rows) { return rows; };
    w.OnCommand(kCmdJoin);
    ASSERT_TRUE(ProcessUntil(settled));
    EXPECT_EQ(dialogs.shown, std::vector<std::string>{UiText(48)});
    EXPECT_EQ(testing::EntryCount(dir.file("joined")), 3u);
    EXPECT_TRUE(fs::exists(dir.file("joined/" + listed[0].name)));

    // Delete the recording on screen: it is retired, the list shows the rest, and the
    // window shows the first recording left.
    dialogs.shown.clear();
    dialogs.pick = [&](const std::vector<RecordingInfo>& all) {
        std::vector<RecordingInfo> picked;
        for (const RecordingInfo& r : all)
            if (r.path == listed[0].path)
                picked.push_back(r);
        return picked;
    };
    w.OnCommand(kCmdDelete);
    ASSERT_TRUE(ProcessUntil(settled)) << w.LongTaskRunning() << w.Ready() << w.RecordCount()
                                       << w.CurrentIndex() << dialogs.shown.size();
    EXPECT_EQ(dialogs.shown, std::vector<std::string>{UiText(48)});
    EXPECT_FALSE(fs::exists(listed[0].path));
    ASSERT_EQ(w.RecordCount(), 1);
    EXPECT_EQ(w.Source().recordingList()[0].name, listed[1].name);
    EXPECT_EQ(w.CurrentIndex(), 0);
    EXPECT_TRUE(fs::exists(listed[1].path));
    w.OnCommand(kCmdClose);
}

} // namespace
} // namespace kirvano
