// The delete, join and CSV flows on a generated recorder card, answered by a script in
// place of the dialogs: what ends up on disk, what the user is told, and that a cancel, a
// pulled card, a full or read-only disk or a bad input never loses or half-writes a file.
#include "ScriptedDialogs.h"
#include "config/Settings.h"
#include "container/JoinDataFile.h"
#include "export/CsvFlow.h"
#include "export/DeleteFlow.h"
#include "export/JoinFlow.h"
#include "library/RecordingName.h"
#include "library/RecordingSource.h"
#include "support/TempDir.h"
#include "support/TmpfsMount.h"
#include "ui/UiText.h"

#include <gtest/gtest.h>

#include <sys/mount.h>
#include <sys/wait.h>

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <deque>
#include <filesystem>
#include <map>
#include <set>

namespace kirvano {
namespace {

namespace fs = std::filesystem;
using testing::ReadAll;
using testing::ScriptedDialogs;
using testing::TempDir;

std::string Q(const std::string& s) {
    return "'" + s + "'";
}

std::string Shell(const std::string& command, int* status = nullptr) {
    std::string out;
    FILE* pipe = popen(command.c_str(), "r");
    if (!pipe)
        return out;
    char buffer[4096];
    std::size_t n;
    while ((n = fread(buffer, 1, sizeof buffer, pipe)) > 0)
        out.append(buffer, n);
    const int code = pclose(pipe);
    if (status)
        *status = WIFEXITED(code) ? WEXITSTATUS(code) : -1;
    return out;
}

// The decoded frames' checksums of a movie's video track, one a line.
std::string FrameSums(const std::string& movie) {
    return Shell("ffmpeg -v error -i " + Q(movie) +
                 " -map 0:v:0 -f framemd5 - | grep -v '^#' | awk -F, '{print $6}'");
}

// One small card for the whole program; each test works on its own copy.
class Card : public ::testing::Environment {
public:
    static TempDir* dir;
    static std::string path;
    void SetUp() override {
        dir = new TempDir;
        path = dir->file("card");
        int status = -1;
        Shell(std::string(KIRVANO_CLI) + " make-card " + Q(path) +
                  " --recordings 4 --parking 1 --seconds 2 --front 320x240@27.5"
                  " --rear 160x120@30 >/dev/null 2>&1",
              &status);
        ASSERT_EQ(status, 0);
    }
    void TearDown() override { delete dir; }
};
TempDir* Card::dir = nullptr;
std::string Card::path;
const auto* const kCard = ::testing::AddGlobalTestEnvironment(new Card);

// Every file below root with its bytes' size, by path relative to root.
std::map<std::string, std::uintmax_t> Files(const std::string& root) {
    std::map<std::string, std::uintmax_t> files;
    for (const auto& e : fs::recursive_directory_iterator(root))
        if (e.is_regular_file())
            files[fs::relative(e.path(), root).string()] = e.file_size();
    return files;
}

class FileFlows : public ::testing::Test {
protected:
    void SetUp() override {
        SelectUiTextColumn(0);
        setenv("KIRVANO_CONFIG_DIR", dir_.file("config").c_str(), 1);
        setenv("XDG_DATA_HOME", dir_.file("data").c_str(), 1);
        ResetConfigDirectoryForTests();
        card_ = dir_.file("card");
        fs::copy(Card::path, card_, fs::copy_options::recursive);
        source_.LoadSource(card_, SourceKind::Card);
        all_ = source_.CollectAllRecordings();
        ASSERT_GT(all_.size(), 4u); // the parking run follows the four drive recordings
        normal_.clear();
        for (const RecordingInfo& r : all_)
            if (r.path.find("/Normal/") != std::string::npos)
                normal_.push_back(r);
        ASSERT_EQ(normal_.size(), 4u);
    }

    // Runs a flow's worker part on this thread, then its finish.
    template <class Flow>
    bool RunAndFinish(Flow& flow, ScriptedDialogs& dialogs, const FlowProgress& progress = {},
                      std::atomic<bool>* cancel = nullptr) {
        std::atomic<bool> never{false};
        flow.Run(progress, cancel ? *cancel : never);
        return flow.Finish(dialogs);
    }

    TempDir dir_;
    std::string card_;
    RecordingSource source_;
    std::vector<RecordingInfo> all_, normal_;
};

std::vector<RecordingInfo> Pick(const std::vector<RecordingInfo>& from,
                                std::initializer_list<std::size_t> rows) {
    std::vector<RecordingInfo> picked;
    for (std::size_t row : rows)
        picked.push_back(from.at(row));
    return picked;
}

// The dummy name a card's recorder slot is retired to: sequence + 150000, hidden.
std::string Retired(const std::string& path, const char* extension) {
    const std::string name(FileNameOf(path));
    const int sequence = std::stoi(name.substr(18, 6));
    char shifted[16];
    std::snprintf(shifted, sizeof shifted, "%06d", sequence + 150000);
    return path.substr(0, path.size() - name.size()) + name.substr(0, 18) + shifted +
           name.substr(24, 1) + "." + extension;
}

TEST_F(FileFlows, DeleteOnACardRetiresTheTickedRecordingsLastFirstAndNothingElse) {
    ScriptedDialogs dialogs;
    dialogs.pick = [](const std::vector<RecordingInfo>& all) { return Pick(all, {1, 3}); };
    auto flow = DeleteFlow::Prepare(dialogs, all_, normal_);
    ASSERT_TRUE(flow);
    EXPECT_EQ(dialogs.askedMode, FlowDialogs::kSelectForDelete);
    EXPECT_EQ(dialogs.offeredAll, all_.size());
    const auto before = Files(card_);

    std::vector<std::pair<std::intptr_t, std::intptr_t>> reports;
    EXPECT_TRUE(RunAndFinish(*flow, dialogs, [&](std::intptr_t done, std::intptr_t total) {
        reports.emplace_back(done, total);
    }));
    EXPECT_TRUE(dialogs.shown.empty());
    ASSERT_EQ(flow->removed().size(), 2u);
    EXPECT_EQ(flow->removed()[0].path, all_[3].path); // last row first
    EXPECT_EQ(flow->removed()[1].path, all_[1].path);
    EXPECT_EQ(reports, (decltype(reports){{1, 2}, {2, 2}, {2, 2}}));

    // Each retired recording's three files moved to their dummy names, bytes intact;
    // every other file where and as it was.
    auto after = Files(card_);
    for (std::size_t row : {1u, 3u}) {
        const std::string front = all_[row].path;
        const std::pair<std::string, std::string> moves[] = {
            {front, Retired(front, "DMY")},
            {RearPathOf(front), Retired(RearPathOf(front), "DMY")},
            {DataPathOf(front), Retired(DataPathOf(front), "ADA")},
        };
        for (const auto& [from, to] : moves) {
            const std::string a = fs::relative(from, card_).string();
            const std::string b = fs::relative(to, card_).string();
            ASSERT_TRUE(before.count(a)) << a;
            EXPECT_FALSE(after.count(a)) << a;
            ASSERT_TRUE(after.count(b)) << b;
            EXPECT_EQ(after[b], before.at(a));
            after.erase(b);
            after[a] = before.at(a);
        }
    }
    EXPECT_EQ(after, before);
}

TEST_F(FileFlows, DeleteInAPlainFolderGoesToTheTrashAndACancelKeepsTheRest) {
    // Two recordings copied out of the card into a plain folder.
    const std::string clips = dir_.file("clips");
    fs::create_directories(clips);
    std::vector<RecordingInfo> listed;
    for (std::size_t row : {0u, 1u}) {
        const std::string front = normal_[row].path;
        for (const std::string& file : {front, RearPathOf(front), DataPathOf(front)})
            fs::copy_file(file, clips + "/" + std::string(FileNameOf(file)));
        MakeRecord(clips + "/" + normal_[row].name, listed);
    }
    ASSERT_EQ(listed.size(), 2u);
    const auto before = Files(clips);

    ScriptedDialogs dialogs;
    dialogs.pick = [](const std::vector<RecordingInfo>& all) { return all; };
    auto flow = DeleteFlow::Prepare(dialogs, listed, listed);
    ASSERT_TRUE(flow);
    std::atomic<bool> cancel{false};
    // The user cancels while the first (the last row) is being handled.
    EXPECT_FALSE(RunAndFinish(
        *flow, dialogs, [&](std::intptr_t, std::intptr_t) { cancel = true; }, &cancel));
    EXPECT_TRUE(flow->cancelled());
    EXPECT_TRUE(dialogs.shown.empty());
    ASSERT_EQ(flow->removed().size(), 1u);
    EXPECT_EQ(flow->removed()[0].name, listed[1].name);
    ASSERT_EQ(flow->remaining().size(), 1u);
    EXPECT_EQ(flow->remaining()[0].name, listed[0].name);

    // The second recording's three files are in the private trash with their bytes; the
    // first recording's are untouched.
    const std::string trash = dir_.file("data/Trash/files");
    std::map<std::string, std::uintmax_t> expectedLeft, expectedTrash;
    for (const auto& [name, size] : before)
        (name.find(listed[1].name.substr(0, 24)) == 0 ? expectedTrash : expectedLeft)[name] = size;
    EXPECT_EQ(expectedTrash.size(), 3u);
    EXPECT_EQ(Files(clips), expectedLeft);
    EXPECT_EQ(Files(trash), expectedTrash);
}

TEST_F(FileFlows, DeleteStopsWhenTheCardIsPulledAndWhenNothingIsTicked) {
    ScriptedDialogs dialogs;
    dialogs.pick = [](const std::vector<RecordingInfo>& all) { return Pick(all, {0, 2}); };
    auto flow = DeleteFlow::Prepare(dialogs, all_, normal_);
    ASSERT_TRUE(flow);
    const std::string pulled = dir_.file("pulled");
    EXPECT_FALSE(RunAndFinish(*flow, dialogs, [&](std::intptr_t done, std::intptr_t) {
        if (done == 1)
            fs::rename(card_, pulled); // the card leaves after the first recording
    }));
    EXPECT_TRUE(flow->failed());
    EXPECT_EQ(dialogs.shown, std::vector<std::string>{UiText(97)});
    EXPECT_EQ(flow->removed().size(), 1u);
    ASSERT_EQ(flow->remaining().size(), 1u);
    // The recording not handled is still on the card, with its companions.
    const std::string kept = pulled + all_[0].path.substr(card_.size());
    for (const std::string& file : {kept, RearPathOf(kept), DataPathOf(kept)})
        EXPECT_TRUE(fs::exists(file)) << file;

    // Nothing ticked, or the dialog cancelled: no flow.
    dialogs.pick = [](const std::vector<RecordingInfo>&) { return std::vector<RecordingInfo>{}; };
    EXPECT_FALSE(DeleteFlow::Prepare(dialogs, all_, normal_));
    dialogs.pick = nullptr;
    EXPECT_FALSE(DeleteFlow::Prepare(dialogs, all_, normal_));
    // More than the dialog takes is told first.
    dialogs.shown.clear();
    std::vector<RecordingInfo> many(1501, all_[0]);
    EXPECT_FALSE(DeleteFlow::Prepare(dialogs, many, normal_));
    EXPECT_EQ(dialogs.shown, std::vector<std::string>{UiText(105)});
}

TEST_F(FileFlows, JoinOfThreeRecordingsHoldsTheirFramesAndRecords) {
    const std::string out = dir_.file("joined");
    fs::create_directories(out);
    ScriptedDialogs dialogs;
    dialogs.folders = {out};
    dialogs.pick = [](const std::vector<RecordingInfo>& listed) { return Pick(listed, {0, 1, 2}); };
    auto flow = JoinFlow::Prepare(dialogs, normal_);
    ASSERT_TRUE(flow);
    EXPECT_EQ(dialogs.askedMode, FlowDialogs::kSelectForJoin);
    std::vector<std::intptr_t> reports;
    EXPECT_TRUE(RunAndFinish(*flow, dialogs, [&](std::intptr_t done, std::intptr_t) {
        reports.push_back(done);
    })) << flow->job().error;
    EXPECT_TRUE(dialogs.shown.empty());
    EXPECT_EQ(reports, (std::vector<std::intptr_t>{0, 33, 66, 99}));
    EXPECT_EQ(ReadSetting("FOLDERPATH", "CONNECT_FOLDER"), out);

    const std::string front = out + "/" + normal_[0].name;
    EXPECT_EQ(flow->output(), front);
    std::string frontSums, rearSums;
    std::uint32_t records = 0;
    for (std::size_t i = 0; i < 3; ++i) {
        frontSums += FrameSums(normal_[i].path);
        rearSums += FrameSums(RearPathOf(normal_[i].path));
        auto data = ReadDataFile(DataPathOf(normal_[i].path));
        ASSERT_TRUE(data) << data.error();
        records += data.value().count;
    }
    EXPECT_GT(frontSums.size(), 100u);
    EXPECT_EQ(FrameSums(front), frontSums);
    EXPECT_EQ(FrameSums(RearPathOf(front)), rearSums);
    auto joined = ReadDataFile(DataPathOf(front));
    ASSERT_TRUE(joined) << joined.error();
    EXPECT_EQ(joined.value().count, records);
    EXPECT_EQ(Files(out).size(), 3u);

    // Joining again asks before replacing; Cancel leaves the earlier join as it was.
    const auto first = Files(out);
    dialogs.folders = {out};
    dialogs.answers = {false};
    EXPECT_FALSE(JoinFlow::Prepare(dialogs, normal_));
    EXPECT_EQ(dialogs.shown, std::vector<std::string>{UiText(93)});
    EXPECT_EQ(Files(out), first);
}

// A roomy file system mounted read-only (needs root).
struct ReadOnlyDisk {
    ReadOnlyDisk() {
        mounted = mount("tmpfs", dir.path().c_str(), "tmpfs", MS_RDONLY, "size=64m") == 0;
    }
    ~ReadOnlyDisk() {
        if (mounted)
            umount2(dir.path().c_str(), MNT_DETACH);
    }
    std::string path() const { return dir.path(); }
    TempDir dir;
    bool mounted = false;
};

TEST_F(FileFlows, JoinFailuresLeaveNothingUnderTheOutputNames) {
    // A recording that is not a movie of the same kind (no sound track, other picture).
    const std::string odd = dir_.file("odd");
    fs::create_directories(odd);
    const std::string stranger = odd + "/" + normal_[1].name;
    int status = -1;
    Shell("ffmpeg -v error -f lavfi -i testsrc=size=64x48:rate=10:duration=1 -c:v libx264 "
          "-f mov " +
              Q(stranger),
          &status);
    ASSERT_EQ(status, 0);
    std::vector<RecordingInfo> mixed{normal_[0]};
    MakeRecord(stranger, mixed);
    ASSERT_EQ(mixed.size(), 2u);

    testing::TmpfsMount small; // 16 KiB: far too little for the movies
    ReadOnlyDisk readOnly;
    const bool mounted = small.mounted() && readOnly.mounted;

    struct Case {
        const char* what;
        std::string folder;
        std::vector<RecordingInfo> inputs;
        JoinOptions options;
    };
    std::vector<Case> cases;
    cases.push_back({"inputs that do not match", dir_.file("out1"), mixed, {}});
    JoinOptions cut;
    cut.failAfterBytesForTests = 20000; // the disk fills half-way through the front movie
    cases.push_back({"disk full while writing", dir_.file("out2"), normal_, cut});
    if (mounted) {
        cases.push_back({"too little room", small.path(), normal_, {}});
        cases.push_back({"read-only folder", readOnly.path(), normal_, {}});
    }
    for (Case& c : cases) {
        SCOPED_TRACE(c.what);
        fs::create_directories(c.folder);
        const auto before = Files(c.folder);
        ScriptedDialogs dialogs;
        dialogs.folders = {c.folder};
        dialogs.pick = [](const std::vector<RecordingInfo>& listed) { return listed; };
        auto flow = JoinFlow::Prepare(dialogs, c.inputs, c.options);
        ASSERT_TRUE(flow);
        EXPECT_FALSE(RunAndFinish(*flow, dialogs));
        EXPECT_EQ(dialogs.shown, std::vector<std::string>{UiText(95)});
        EXPECT_EQ(Files(c.folder), before);
        EXPECT_EQ(ReadSetting("FOLDERPATH", "CONNECT_FOLDER"), "");
    }

    // A cancel before the writing starts: nothing written and nothing told.
    ScriptedDialogs dialogs;
    dialogs.folders = {dir_.file("out2")};
    dialogs.pick = [](const std::vector<RecordingInfo>& listed) { return listed; };
    auto flow = JoinFlow::Prepare(dialogs, normal_);
    ASSERT_TRUE(flow);
    std::atomic<bool> cancel{true};
    EXPECT_FALSE(RunAndFinish(*flow, dialogs, {}, &cancel));
    EXPECT_TRUE(dialogs.shown.empty());
    EXPECT_TRUE(Files(dir_.file("out2")).empty());
}

TEST_F(FileFlows, CsvEqualsTheCommandLineExportAndAsksBeforeReplacing) {
    const std::string cli = dir_.file("cli");
    const std::string out = dir_.file("csv");
    fs::create_directories(cli);
    fs::create_directories(out);
    int status = -1;
    Shell(std::string(KIRVANO_CLI) + " csv " + Q(card_) + " " + Q(cli) + " >/dev/null", &status);
    ASSERT_EQ(status, 0);
    const auto cliFiles = Files(cli);
    ASSERT_EQ(cliFiles.size(), 1u);
    const std::string name = cliFiles.begin()->first;

    ScriptedDialogs dialogs;
    dialogs.folders = {out};
    int collected = 0;
    auto collect = [&] {
        ++collected;
        return source_.CollectAllRecordings();
    };
    auto flow = CsvFlow::Prepare(dialogs, collect);
    ASSERT_TRUE(flow);
    std::vector<std::pair<std::intptr_t, std::intptr_t>> reports;
    EXPECT_TRUE(RunAndFinish(*flow, dialogs, [&](std::intptr_t done, std::intptr_t total) {
        reports.emplace_back(done, total);
    }));
    EXPECT_TRUE(flow->FileWritten());
    EXPECT_TRUE(dialogs.shown.empty());
    EXPECT_EQ(ReadAll(out + "/" + name), ReadAll(cli + "/" + name));
    const auto count = static_cast<std::intptr_t>(all_.size());
    EXPECT_EQ(reports.back(), std::make_pair(count, count));
    EXPECT_EQ(ReadSetting("FOLDERPATH", "CSV_FOLDER"), out);

    // A second export of the same source: Cancel keeps the file, OK replaces it.
    const std::string path = out + "/" + name;
    testing::WriteAll(path, "older export");
    dialogs.folders = {out, out};
    dialogs.answers = {false, true};
    EXPECT_FALSE(CsvFlow::Prepare(dialogs, collect));
    EXPECT_EQ(ReadAll(path), "older export");
    flow = CsvFlow::Prepare(dialogs, collect);
    ASSERT_TRUE(flow);
    EXPECT_TRUE(RunAndFinish(*flow, dialogs));
    EXPECT_EQ(ReadAll(path), ReadAll(cli + "/" + name));
    EXPECT_EQ(dialogs.shown, (std::vector<std::string>{UiText(93), UiText(93)}));

    // A cancelled chooser collects nothing; an empty source says so.
    const int before = collected;
    dialogs.shown.clear();
    dialogs.folders = {""};
    EXPECT_FALSE(CsvFlow::Prepare(dialogs, collect));
    EXPECT_EQ(collected, before);
    dialogs.folders = {out};
    EXPECT_FALSE(CsvFlow::Prepare(dialogs, [] { return std::vector<RecordingInfo>{}; }));
    EXPECT_EQ(dialogs.shown, std::vector<std::string>{UiText(101)});
}

TEST_F(FileFlows, CsvOnAFullDiskLeavesNoFile) {
    testing::TmpfsMount disk;
    if (!disk.mounted())
        GTEST_SKIP() << "mounting a tmpfs needs root";
    disk.fill();
    const auto before = Files(disk.path());
    ScriptedDialogs dialogs;
    dialogs.folders = {disk.path()};
    auto flow = CsvFlow::Prepare(dialogs, [&] { return all_; });
    ASSERT_TRUE(flow);
    EXPECT_FALSE(RunAndFinish(*flow, dialogs));
    EXPECT_FALSE(flow->FileWritten());
    EXPECT_EQ(dialogs.shown, std::vector<std::string>{UiText(96)});
    EXPECT_EQ(Files(disk.path()), before);
    EXPECT_EQ(ReadSetting("FOLDERPATH", "CSV_FOLDER"), "");
}

} // namespace
} // namespace kirvano
