#include "library/CardBuilder.h"
#include "support/CliRunner.h"

#include <gtest/gtest.h>

#include <array>
#include <cstdio>
#include <filesystem>
#include <string>
#include <sys/wait.h>

namespace kirvano {
namespace {

using testing::AddRecording;
using testing::Cli;
using testing::CliRun;
using testing::NameAt;
using testing::TempDir;
namespace fs = std::filesystem;

class ScanCli : public ::testing::Test {
protected:
    void SetUp() override {
        root_ = dir_.file("card");
        AddRecording(root_, "Normal", NameAt("A__", 0, 1), 260, 2 << 20);
        AddRecording(root_, "Normal", NameAt("G__", 60, 2), 260, 0);
        AddRecording(root_, "Normal", NameAt("A__", 3600, 3));
        AddRecording(root_, "Parking", NameAt("P__", 0, 4));
        fs::create_directories(dir_.file("out"));
    }
    TempDir dir_;
    TempDir scratch_;
    std::string root_;
};

TEST_F(ScanCli, DefaultListIsTheFirstRun) {
    const CliRun run = Cli("scan " + root_, scratch_);
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.err, "");
    const std::string expected =
        "{\"kind\":1,\"root\":\"" + root_ + "\",\"firmware\":\"\",\"tree\":[{\"text\":\"Normal\"";
    EXPECT_EQ(run.out.substr(0, expected.size()), expected);
    EXPECT_NE(run.out.find("{\"text\":\"220801_0001\",\"path\":\"" + root_ +
                           "/Normal/220801_0001\",\"mask\":5,\"children\":[]}"),
              std::string::npos);
    EXPECT_NE(run.out.find("\"list\":[{\"path\":\"" + root_ + "/Normal/Front/" +
                           NameAt("A__", 0, 1) + "\",\"name\":\"" + NameAt("A__", 0, 1) +
                           "\",\"serial\":0,\"type_letter\":\"A\",\"marked\":0,"
                           "\"front_size\":260,\"rear_size\":2097152,\"data_size\":100}"),
              std::string::npos);
    EXPECT_NE(run.out.find(NameAt("G__", 60, 2) + "\",\"serial\":1"), std::string::npos);
    EXPECT_EQ(run.out.find(NameAt("A__", 3600, 3)), std::string::npos);
}

TEST_F(ScanCli, KindsSelectionAndAll) {
    struct Case {
        std::string arguments;
        int status;
        std::vector<std::string> present;
        std::vector<std::string> absent;
    };
    const Case cases[] = {
        {"scan " + root_ + "/ --select " + root_ + "/Normal/220801_0002",
         0,
         {NameAt("A__", 3600, 3)},
         {NameAt("A__", 0, 1)}},
        {"scan " + root_ + " --all",
         0,
         {NameAt("A__", 0, 1) + "\",\"serial\":0", NameAt("P__", 0, 4) + "\",\"serial\":3"},
         {}},
        {"scan " + root_ + " --kind folder",
         0,
         {"\"kind\":2,\"root\":\"" + dir_.path() + "\""},
         {}},
        {"scan " + root_ + "/Normal/Front/" + NameAt("A__", 0, 1),
         0,
         {"\"kind\":3", "\"tree\":[]", "\"serial\":0"},
         {}},
        {"scan " + root_ + " --select " + root_ + "/Nowhere", 1, {"\"list\":[]"}, {}},
        // A source that is not there still gives one whole document.
        {"scan " + dir_.file("missing"),
         1,
         {"{\"kind\":2,\"root\":\"\",\"firmware\":\"\",\"tree\":[],\"list\":[]}"},
         {}},
        {"scan " + dir_.file("missing") + " --kind card", 1, {"{\"kind\":1,"}, {}},
        {"scan", 2, {}, {}},
        {"scan " + root_ + " --kind disk", 2, {}, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.arguments);
        const CliRun run = Cli(c.arguments, scratch_);
        EXPECT_EQ(run.status, c.status) << run.err;
        for (const std::string& text : c.present)
            EXPECT_NE(run.out.find(text), std::string::npos) << run.out;
        for (const std::string& text : c.absent)
            EXPECT_EQ(run.out.find(text), std::string::npos) << run.out;
        if (c.status == 1) {
            EXPECT_EQ(run.err.substr(0, 13), "kirvano-cli: ");
        }
    }
}

TEST_F(ScanCli, CsvWritesOnceAndReplacesOnlyWithForce) {
    const std::string out = dir_.file("out");
    const std::string file = out + "/Dv_20220801_120000.csv";
    CliRun run = Cli("csv " + root_ + " " + out, scratch_);
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.out, "{\"path\":\"" + file + "\",\"lines\":4}\n");
    const std::string first = testing::ReadAll(file);
    EXPECT_EQ(first.substr(0, 16), "ファイル名,");
    EXPECT_NE(first.find("\r\n" + NameAt("G__", 60, 2) + ","), std::string::npos);

    testing::WriteAll(file, "mine");
    run = Cli("csv " + root_ + " " + out, scratch_);
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(testing::ReadAll(file), "mine");
    EXPECT_EQ(testing::EntryCount(out), 1u);
    run = Cli("csv " + root_ + " " + out + " --force", scratch_);
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(testing::ReadAll(file), first);

    run = Cli("csv " + root_ + " " + dir_.file("absent"), scratch_);
    EXPECT_EQ(run.status, 1);
    EXPECT_FALSE(fs::exists(dir_.file("absent")));
    run = Cli("csv " + dir_.file("empty-source-that-is-missing") + " " + out, scratch_);
    EXPECT_EQ(run.status, 1);
}

TEST_F(ScanCli, NamesThatAreNotUtf8) {
    const std::string odd = root_ + "/\xff\xfe-odd";
    fs::create_directories(odd);
    const CliRun run = Cli("scan " + root_ + " --kind folder", scratch_);
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_NE(run.out.find("\xEF\xBF\xBD\xEF\xBF\xBD-odd"), std::string::npos);
}

} // namespace
} // namespace kirvano
