// kirvano-cli frame on generated movies: the JPEG holds the requested frame at the
// movie's size, bad arguments and bad files give the documented exit codes.
#include "TestMovies.h"
#include "support/CliRunner.h"
#include "support/TempDir.h"

#include <QImage>
#include <gtest/gtest.h>

#include <array>
#include <cstdio>
#include <sys/wait.h>

namespace kirvano {
namespace {

struct Outcome {
    int exitCode;
    std::string out;
};

Outcome RunCli(const std::string& arguments) {
    static const kirvano::testing::TempDir scratch;
    const kirvano::testing::CliRun run = kirvano::testing::Cli(arguments, scratch);
    return {run.status, run.out};
}

TEST(FrameCommand, SavesTheRequestedFrame) {
    kirvano::testing::TempDir dir;
    const std::string movie = dir.file("movie.MOV");
    ASSERT_TRUE(
        kirvano::testing::MakeNumberedMovie(movie, {640, 360, "30000/1001", 2.0, true, true}));
    for (int n : {0, 1, 17, 33, 58}) {
        const std::string jpeg = dir.file("f" + std::to_string(n) + ".jpg");
        const Outcome o = RunCli("frame '" + movie + "' " + std::to_string(n) + " '" + jpeg + "'");
        ASSERT_EQ(o.exitCode, 0) << n;
        EXPECT_EQ(o.out, "{\"frame\":" + std::to_string(n) + ",\"position\":" + std::to_string(n) +
                             ",\"width\":640,\"height\":360}\n");
        QImage image(QString::fromStdString(jpeg));
        EXPECT_EQ(image.size(), QSize(640, 360));
        EXPECT_EQ(kirvano::testing::ReadFrameCode(image), n);
    }

    struct Case {
        std::string arguments;
        int exitCode;
    } cases[] = {
        {"frame '" + movie + "' 100000 '" + dir.file("x.jpg") + "'", 1},
        {"frame '" + dir.file("missing.MOV") + "' 1 '" + dir.file("x.jpg") + "'", 1},
        {"frame '" + movie + "' 1 '" + dir.file("no/folder/x.jpg") + "'", 1},
        {"frame '" + movie + "' -1 '" + dir.file("x.jpg") + "'", 2},
        {"frame '" + movie + "' 1x '" + dir.file("x.jpg") + "'", 2},
        {"frame '" + movie + "' 1", 2},
    };
    for (const auto& c : cases)
        EXPECT_EQ(RunCli(c.arguments).exitCode, c.exitCode) << c.arguments;
}

} // namespace
} // namespace kirvano
