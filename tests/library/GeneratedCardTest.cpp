// A card written by the project's generator, scanned and exported through the command
// line. Skipped where the generator is not built (core-only builds).
#include "support/CliRunner.h"

#include "library/RecordingName.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <regex>
#include <set>
#include <string>

namespace kirvano {
namespace {

using testing::Cli;
using testing::CliRun;
using testing::TempDir;
namespace fs = std::filesystem;

std::set<std::string> FrontNames(const std::string& root) {
    std::set<std::string> names;
    for (const auto& entry : fs::recursive_directory_iterator(root)) {
        const std::string name = entry.path().filename().string();
        if (entry.is_regular_file() && IsFrontRecordingName(name) && name[0] != '.')
            names.insert(name);
    }
    return names;
}

TEST(GeneratedCard, ScanAndCsvAgreeWithTheCard) {
    TempDir scratch;
    if (Cli("help make-card", scratch).status != 0)
        GTEST_SKIP() << "the card generator is not built";
    TempDir dir;
    const std::string card = dir.file("card");
    const CliRun made = Cli("make-card " + card +
                                " --recordings 4 --seconds 2 --front 640x360@30 --rear 320x180@30",
                            scratch);
    ASSERT_EQ(made.status, 0) << made.err;
    const std::set<std::string> fronts = FrontNames(card);
    ASSERT_FALSE(fronts.empty());

    const CliRun all = Cli("scan " + card + " --all", scratch);
    ASSERT_EQ(all.status, 0) << all.err;
    EXPECT_NE(all.out.find("\"kind\":1"), std::string::npos);
    for (const std::string& name : fronts)
        EXPECT_NE(all.out.find("\"name\":\"" + name + "\""), std::string::npos) << name;
    std::smatch version;
    const std::string out = all.out;
    EXPECT_TRUE(
        std::regex_search(out, version, std::regex("\"firmware\":\"[0-9]+\\.[0-9]+\\.[0-9]+\"")))
        << all.out.substr(0, 200);
    // Every run is a group item whose label is a date and a counter.
    EXPECT_TRUE(std::regex_search(out, std::regex("\"text\":\"[0-9]{6}_[0-9]{4}\"")));

    fs::create_directories(dir.file("out"));
    const CliRun csv = Cli("csv " + card + " " + dir.file("out"), scratch);
    ASSERT_EQ(csv.status, 0) << csv.err;
    EXPECT_NE(csv.out.find("\"lines\":" + std::to_string(fronts.size())), std::string::npos);
    std::string text;
    for (const auto& entry : fs::directory_iterator(dir.file("out")))
        text = testing::ReadAll(entry.path().string());
    for (const std::string& name : fronts) {
        const auto at = text.find("\r\n" + name + ",");
        ASSERT_NE(at, std::string::npos) << name;
        const std::string line = text.substr(at + 2, text.find("\r\n", at + 2) - at - 2);
        EXPECT_NE(line.find(",SD,"), std::string::npos) << line;
        if (name[0] != 'T') { // a time-lapse file counts fifteen times its length
            EXPECT_NE(line.find(",00:00:02,"), std::string::npos) << line;
        }
    }
}

} // namespace
} // namespace kirvano
