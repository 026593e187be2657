// kirvano-cli frame when it cannot give the picture: exit 1, one line on standard error
// naming the path, and still one JSON document with what was learned (null for the rest).
#include "playback/TestMovies.h"
#include "support/CliRunner.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <fstream>

namespace kirvano {
namespace {

using testing::RunCli;
using testing::TempDir;

TEST(FrameCommand, FailuresStillAnswerWithOneDocument) {
    TempDir dir;
    const std::string movie = dir.file("movie.MOV");
    ASSERT_TRUE(testing::MakeNumberedMovie(movie, {320, 240, "30/1", 1.0, false, true}));
    const std::string junk = dir.file("junk.MOV");
    std::ofstream(junk) << std::string(4096, 'x');
    struct Case {
        std::vector<std::string> words;
        std::string out;
        std::string blamed; // the path standard error names
    } cases[] = {
        {{"frame", dir.file("missing.MOV"), "3", dir.file("a.jpg")},
         "{\"frame\":3,\"position\":null,\"width\":null,\"height\":null}\n",
         dir.file("missing.MOV")},
        {{"frame", junk, "0", dir.file("a.jpg")},
         "{\"frame\":0,\"position\":null,\"width\":null,\"height\":null}\n",
         junk},
        {{"frame", movie, "500", dir.file("a.jpg")},
         "{\"frame\":500,\"position\":null,\"width\":320,\"height\":240}\n",
         movie},
        {{"frame", movie, "4", dir.file("no/folder/a.jpg")},
         "{\"frame\":4,\"position\":4,\"width\":320,\"height\":240}\n",
         dir.file("no/folder/a.jpg")},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.words[1] + " " + c.words[2]);
        const testing::CliRun run = RunCli(c.words, dir);
        EXPECT_EQ(run.status, 1);
        EXPECT_EQ(run.out, c.out);
        EXPECT_EQ(run.err.rfind("kirvano-cli: " + c.blamed + ": ", 0), 0u) << run.err;
        EXPECT_EQ(std::count(run.err.begin(), run.err.end(), '\n'), 1) << run.err;
    }
}

TEST(FrameCommand, AnExistingPictureIsReplacedOnlyWithForce) {
    TempDir dir;
    const std::string movie = dir.file("movie.MOV");
    ASSERT_TRUE(testing::MakeNumberedMovie(movie, {320, 240, "30/1", 1.0, false, true}));
    TempDir out;
    const std::string picture = out.file("picture.jpg");
    testing::WriteAll(picture, "mine");
    testing::CliRun run = RunCli({"frame", movie, "2", picture}, dir);
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.out, "{\"frame\":2,\"position\":null,\"width\":null,\"height\":null}\n");
    EXPECT_EQ(run.err, "kirvano-cli: " + picture + ": exists; --force replaces it\n");
    EXPECT_EQ(testing::ReadAll(picture), "mine");

    run = RunCli({"frame", movie, "2", picture, "--force"}, dir);
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.out, "{\"frame\":2,\"position\":2,\"width\":320,\"height\":240}\n");
    EXPECT_EQ(testing::ReadAll(picture).substr(0, 3), "\xFF\xD8\xFF");
    EXPECT_EQ(testing::EntryCount(out.path()), 1u); // no temporary file left beside it
}

} // namespace
} // namespace kirvano
