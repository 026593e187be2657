// kirvano-cli join checked with independent tools: movies made by ffmpeg (media data
// first or last, B-frames, sound) join to a movie whose decoded frames equal the inputs'
// in order, with the frame count the sum and GStreamer playing it to the end; the inputs
// stay as they were; refusals and full or read-only targets leave nothing behind.
#include "support/TempDir.h"
#include "support/TmpfsMount.h"

#include <algorithm>
#include <array>
#include <cstdio>
#include <filesystem>
#include <gtest/gtest.h>
#include <sys/wait.h>

namespace kirvano {
namespace {

using testing::ReadAll;
using testing::TempDir;

struct ShellRun {
    int status = -1;
    std::string out;
};

ShellRun Shell(const std::string& command) {
    ShellRun r;
    FILE* p = popen(command.c_str(), "r");
    if (!p)
        return r;
    std::array<char, 4096> buffer;
    std::size_t n;
    while ((n = fread(buffer.data(), 1, buffer.size(), p)) > 0)
        r.out.append(buffer.data(), n);
    const int status = pclose(p);
    r.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return r;
}

bool HaveTools() {
    return Shell("command -v ffmpeg && command -v ffprobe && command -v gst-launch-1.0").status ==
           0;
}

std::string Name(int i, char camera) {
    return "AGS-220801-12000" + std::to_string(i) + "-00012" + std::to_string(i) + camera;
}

std::string Q(const std::string& s) {
    return "'" + s + "'";
}

// The decoded video frames' checksums, one a line.
std::string FrameSums(const std::string& movie) {
    return Shell("ffmpeg -v error -i " + Q(movie) +
                 " -map 0:v:0 -f framemd5 - | grep -v '^#' | awk -F, '{print $6}'")
        .out;
}

long FrameCount(const std::string& movie) {
    const auto r = Shell("ffprobe -v error -count_frames -select_streams v:0 -show_entries "
                         "stream=nb_read_frames -of csv=p=0 " +
                         Q(movie));
    return r.status == 0 ? std::atol(r.out.c_str()) : -1;
}

double Duration(const std::string& movie) {
    const auto r = Shell("ffprobe -v error -show_entries format=duration -of csv=p=0 " + Q(movie));
    return std::atof(r.out.c_str());
}

bool PlaysToTheEnd(const std::string& movie) {
    return Shell("gst-launch-1.0 -q filesrc location=" + Q(movie) +
                 " ! decodebin name=d d. ! queue ! fakesink sync=false 2>&1")
               .status == 0;
}

struct Variant {
    const char* name;
    const char* frontCodec; // ffmpeg options for the front movie
    bool sound;
};

void MakeInputs(const std::string& folder, const Variant& v, int count) {
    for (int i = 1; i <= count; ++i) {
        const std::string front = folder + "/" + Name(i, 'F') + ".MOV";
        std::string cmd =
            "ffmpeg -v error -y -f lavfi -i testsrc=size=320x240:rate=27.5:duration=2";
        if (v.sound)
            cmd += " -f lavfi -i sine=frequency=" + std::to_string(300 * i) + ":duration=2";
        cmd += " -vf drawtext=text=" + std::to_string(i) + ":fontsize=40 " + v.frontCodec;
        cmd += v.sound ? " -c:a aac -shortest " : " ";
        ASSERT_EQ(Shell(cmd + Q(front) + " 2>&1").status, 0) << cmd;
        const std::string rear = folder + "/" + Name(i, 'R') + ".MOV";
        ASSERT_EQ(Shell("ffmpeg -v error -y -f lavfi -i testsrc2=size=160x120:rate=30:duration=2 "
                        "-c:v libx264 -bf 0 -g 15 " +
                        Q(rear) + " 2>&1")
                      .status,
                  0);
        std::string data = "CSMDAT1000200030004000M010203HNN";
        data += std::string("\0\x0a", 2);
        for (int r = 0; r < 10; ++r)
            data += std::string(124, static_cast<char>('a' + i));
        data += "CSMEND";
        testing::WriteAll(folder + "/" + Name(i, 'D') + ".ADA", data);
    }
}

std::string JoinCommand(const std::string& out, const std::string& in, int count,
                        const std::string& extra = "") {
    std::string cmd = std::string(KIRVANO_CLI) + " join " + Q(out);
    for (int i = 1; i <= count; ++i)
        cmd += " " + Q(in + "/" + Name(i, 'F') + ".MOV");
    return cmd + extra + " 2>/dev/null";
}

class JoinWithTools : public ::testing::TestWithParam<Variant> {};

TEST_P(JoinWithTools, DecodesToTheInputsFramesInOrder) {
    if (!HaveTools())
        GTEST_SKIP() << "ffmpeg, ffprobe or gst-launch-1.0 missing";
    TempDir in, out;
    MakeInputs(in.path(), GetParam(), 3);
    std::vector<std::string> before;
    for (const auto& e : std::filesystem::directory_iterator(in.path()))
        before.push_back(e.path().string() + "\n" + ReadAll(e.path().string()));
    std::sort(before.begin(), before.end());

    const ShellRun joined = Shell(JoinCommand(out.path(), in.path(), 3));
    ASSERT_EQ(joined.status, 0) << joined.out;
    const std::string front = out.file(Name(1, 'F') + ".MOV");
    const std::string rear = out.file(Name(1, 'R') + ".MOV");
    const std::string data = out.file(Name(1, 'D') + ".ADA");
    EXPECT_EQ(joined.out, "{\"front\":\"" + front + "\",\"rear\":\"" + rear + "\",\"data\":\"" +
                              data + "\"}\n");

    for (char camera : {'F', 'R'}) {
        const std::string output = camera == 'F' ? front : rear;
        std::string sums;
        long frames = 0;
        double seconds = 0;
        for (int i = 1; i <= 3; ++i) {
            const std::string input = in.file(Name(i, camera) + ".MOV");
            sums += FrameSums(input);
            frames += FrameCount(input);
            seconds += Duration(input);
        }
        EXPECT_GT(frames, 0);
        EXPECT_EQ(FrameCount(output), frames) << camera;
        EXPECT_EQ(FrameSums(output), sums) << camera;
        EXPECT_NEAR(Duration(output), seconds, 0.15) << camera;
        EXPECT_TRUE(PlaysToTheEnd(output)) << camera;
    }
    EXPECT_EQ(ReadAll(data).size(), 34u + 30 * 124 + 6);

    std::vector<std::string> after;
    for (const auto& e : std::filesystem::directory_iterator(in.path()))
        after.push_back(e.path().string() + "\n" + ReadAll(e.path().string()));
    std::sort(after.begin(), after.end());
    EXPECT_EQ(after, before) << "an input changed";
}

INSTANTIATE_TEST_SUITE_P(
    Movies, JoinWithTools,
    ::testing::Values(Variant{"MediaFirstBFramesSound", "-c:v libx264 -g 10", true},
                      Variant{"MovieBoxFirst", "-c:v libx264 -g 10 -movflags +faststart", true},
                      Variant{"NoBFramesNoSound", "-c:v libx264 -bf 0 -g 12", false},
                      Variant{"Mpeg4Part2", "-c:v mpeg4 -g 8", true}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(JoinCommandLine, RefusalsAndFailuresLeaveNothingBehind) {
    if (!HaveTools())
        GTEST_SKIP() << "ffmpeg missing";
    TempDir in, out;
    MakeInputs(in.path(), {"x", "-c:v libx264 -g 10", true}, 2);

    // The output folder must exist.
    EXPECT_EQ(Shell(JoinCommand(out.file("missing"), in.path(), 2)).status, 1);
    // Usage errors.
    EXPECT_EQ(Shell(std::string(KIRVANO_CLI) + " join " + Q(out.path()) + " 2>/dev/null").status,
              2);
    EXPECT_EQ(Shell(JoinCommand(out.path(), in.path(), 2, " --bogus")).status, 2);
    // Joining into the inputs' own folder would overwrite the first input.
    const std::string first = ReadAll(in.file(Name(1, 'F') + ".MOV"));
    EXPECT_EQ(Shell(JoinCommand(in.path(), in.path(), 2, " --force")).status, 1);
    EXPECT_EQ(ReadAll(in.file(Name(1, 'F') + ".MOV")), first);

    // A missing rear file: front and data only.
    std::filesystem::remove(in.file(Name(2, 'R') + ".MOV"));
    const ShellRun noRear = Shell(JoinCommand(out.path(), in.path(), 2));
    ASSERT_EQ(noRear.status, 0);
    EXPECT_NE(noRear.out.find("\"rear\":null"), std::string::npos) << noRear.out;
    EXPECT_EQ(testing::EntryCount(out.path()), 2u);

    // An existing output is kept unless --force.
    const std::string movie = out.file(Name(1, 'F') + ".MOV");
    const std::string written = ReadAll(movie);
    EXPECT_EQ(Shell(JoinCommand(out.path(), in.path(), 2)).status, 1);
    EXPECT_EQ(ReadAll(movie), written);
    EXPECT_EQ(testing::EntryCount(out.path()), 2u);
    EXPECT_EQ(Shell(JoinCommand(out.path(), in.path(), 2, " --force")).status, 0);
    EXPECT_EQ(testing::EntryCount(out.path()), 2u);

    // An input cut off in the middle is refused.
    std::filesystem::resize_file(in.file(Name(2, 'F') + ".MOV"), 20000);
    TempDir other;
    EXPECT_EQ(Shell(JoinCommand(other.path(), in.path(), 2)).status, 1);
    EXPECT_EQ(testing::EntryCount(other.path()), 0u);
}

TEST(JoinCommandLine, FullOrReadOnlyTargetLeavesNothing) {
    if (!HaveTools())
        GTEST_SKIP() << "ffmpeg missing";
    testing::TmpfsMount small;
    if (!small.mounted())
        GTEST_SKIP() << "cannot mount a tmpfs";
    TempDir in;
    MakeInputs(in.path(), {"x", "-c:v libx264 -g 10", true}, 2);
    EXPECT_EQ(Shell(JoinCommand(small.path(), in.path(), 2)).status, 1);
    EXPECT_EQ(testing::EntryCount(small.path()), 0u);
    ASSERT_TRUE(small.remountReadOnly());
    EXPECT_EQ(Shell(JoinCommand(small.path(), in.path(), 2)).status, 1);
    EXPECT_EQ(testing::EntryCount(small.path()), 0u);
}

} // namespace
} // namespace kirvano
