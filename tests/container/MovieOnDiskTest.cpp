// The reader against movies made by an independent tool (ffmpeg), checked with ffprobe,
// and a movie whose header lies behind a multi-gigabyte sparse media box.
#include "container/MovieFile.h"
#include "container/Scanners.h"

#include "container/BoxBuilder.h"
#include "support/TempDir.h"

#include <chrono>
#include <cmath>
#include <cstdio>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <map>
#include <sstream>
#include <unistd.h>

namespace kirvano {
namespace {

using testing::Bytes;
using testing::TempDir;

std::string Output(const std::string& command) {
    std::string out;
    FILE* pipe = popen(command.c_str(), "r");
    if (pipe == nullptr)
        return out;
    char buffer[4096];
    std::size_t n;
    while ((n = fread(buffer, 1, sizeof buffer, pipe)) > 0)
        out.append(buffer, n);
    pclose(pipe);
    return out;
}

// What ffprobe says about the first stream in the file (the first track).
struct ProbeFacts {
    std::map<std::string, std::string> stream;
    double format_duration = 0;
    std::vector<long> packet_durations; // in the stream's time base, decode order
};

ProbeFacts Probe(const std::string& path) {
    ProbeFacts facts;
    std::istringstream lines(
        Output("ffprobe -v error -select_streams 0 -show_entries "
               "stream=codec_type,nb_frames,width,height,sample_rate,time_base:format=duration "
               "-of default=nw=1 '" +
               path + "'"));
    for (std::string line; std::getline(lines, line);) {
        const auto eq = line.find('=');
        if (eq == std::string::npos)
            continue;
        const std::string key = line.substr(0, eq), value = line.substr(eq + 1);
        if (key == "duration")
            facts.format_duration = std::stod(value);
        else
            facts.stream[key] = value;
    }
    std::istringstream packets(Output("ffprobe -v error -select_streams 0 -show_entries "
                                      "packet=duration -of csv=p=0 '" +
                                      path + "'"));
    for (std::string line; std::getline(packets, line);)
        if (!line.empty())
            facts.packet_durations.push_back(std::stol(line));
    return facts;
}

struct FfmpegCase {
    const char* name;
    const char* arguments;
    bool video_first;
};

class FfmpegMovieTest : public ::testing::TestWithParam<FfmpegCase> {};

const char* const kVideoAndSound =
    "-f lavfi -i testsrc=size=160x120:rate=25 -f lavfi -i sine=frequency=440:sample_rate=48000 ";
const char* const kCodecs = " -c:v libx264 -bf 0 -pix_fmt yuv420p -c:a aac ";

TEST_P(FfmpegMovieTest, AgreesWithFfprobe) {
    const FfmpegCase& c = GetParam();
    TempDir dir;
    const std::string path = dir.file(std::string(c.name) + ".mov");
    const std::string command =
        std::string("ffmpeg -v error -nostdin -y ") + c.arguments + kCodecs + "'" + path + "'";
    ASSERT_EQ(std::system(command.c_str()), 0) << command;
    const ProbeFacts facts = Probe(path);
    ASSERT_FALSE(facts.packet_durations.empty());

    // The first time-table entry covers the leading run of equal sample durations.
    const long delta = facts.packet_durations.front();
    std::int64_t run = 0;
    while (run < static_cast<std::int64_t>(facts.packet_durations.size()) &&
           facts.packet_durations[run] == delta)
        ++run;
    const std::string time_base = facts.stream.at("time_base"); // "1/12800"
    const double timescale = std::stod(time_base.substr(time_base.find('/') + 1));

    EXPECT_TRUE(IsMovieFile(path));
    MappedFile reader;
    const auto timing = ReadMovieTiming(reader, path);
    ASSERT_TRUE(timing) << timing.error();
    EXPECT_NEAR(timing->duration_s, facts.format_duration, 1e-3);
    const float expected_frame_ms =
        1000.0f / (static_cast<float>(run) / static_cast<float>(facts.format_duration));
    EXPECT_NEAR(timing->frame_duration_ms, expected_frame_ms, expected_frame_ms * 1e-3);

    auto movie = ParseMovie(path, true);
    ASSERT_TRUE(movie) << movie.error();
    EXPECT_EQ(FrameCount(movie.value()), run);
    EXPECT_NEAR(FrameRate(movie.value()), timescale / static_cast<double>(delta), 1e-3);
    if (c.video_first) {
        EXPECT_EQ(facts.stream.at("codec_type"), "video");
        EXPECT_EQ(FrameCount(movie.value()), std::stoll(facts.stream.at("nb_frames")));
        EXPECT_EQ(VideoSize(movie.value()).width, std::stoi(facts.stream.at("width")));
        EXPECT_EQ(VideoSize(movie.value()).height, std::stoi(facts.stream.at("height")));
    } else {
        // The first track is the sound track and nothing looks for the video track: the
        // size fields read the sound description's sample rate.
        EXPECT_EQ(facts.stream.at("codec_type"), "audio");
        EXPECT_EQ(VideoSize(movie.value()).width, std::stoi(facts.stream.at("sample_rate")));
    }
}

INSTANTIATE_TEST_SUITE_P(
    Movies, FfmpegMovieTest,
    ::testing::Values(
        FfmpegCase{"video_mdat_first", "-f lavfi -i testsrc=size=160x120:rate=25 -t 2", true},
        FfmpegCase{"video_moov_first",
                   "-f lavfi -i testsrc=size=160x120:rate=25 -t 2 -movflags +faststart", true},
        FfmpegCase{"sound_mdat_first",
                   "-f lavfi -i testsrc=size=160x120:rate=25 -f lavfi -i "
                   "sine=frequency=440:sample_rate=48000 -t 2",
                   true},
        FfmpegCase{"sound_moov_first",
                   "-f lavfi -i testsrc=size=160x120:rate=25 -f lavfi -i "
                   "sine=frequency=440:sample_rate=48000 -t 2 -movflags +faststart",
                   true},
        FfmpegCase{"sound_track_first",
                   "-f lavfi -i testsrc=size=160x120:rate=25 -f lavfi -i "
                   "sine=frequency=440:sample_rate=48000 -t 2 -map 1:a -map 0:v",
                   false},
        FfmpegCase{"ntsc_rate", "-f lavfi -i testsrc=size=176x144:rate=30000/1001 -t 1", true}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(FfmpegMovie, MoovFirstAndMdatFirstGiveTheSameTiming) {
    TempDir dir;
    std::vector<MovieTiming> timings;
    for (const char* flags : {"", "-movflags +faststart"}) {
        const std::string path = dir.file("m" + std::to_string(timings.size()) + ".mov");
        const std::string command = std::string("ffmpeg -v error -nostdin -y ") + kVideoAndSound +
                                    "-t 1 " + kCodecs + flags + " '" + path + "'";
        ASSERT_EQ(std::system(command.c_str()), 0);
        MappedFile reader;
        auto timing = ReadMovieTiming(reader, path);
        ASSERT_TRUE(timing) << timing.error();
        timings.push_back(timing.value());
    }
    EXPECT_EQ(timings[0].duration_s, timings[1].duration_s);
    EXPECT_EQ(timings[0].frame_duration_ms, timings[1].frame_duration_ms);
}

// ftyp, padding, a media box of about 3.75 GiB that is never written (a hole), and the
// movie box behind it. A decoy header in the middle of the media data would be found by a
// reader that reads through it.
void WriteSparseMovie(const std::string& path, std::uint32_t media_size) {
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    ASSERT_GE(fd, 0);
    const Bytes head = testing::Cat({testing::Ftyp(), testing::Box("free", testing::Zeros(300)),
                                     testing::Be32(media_size + 8), testing::Text("mdat")});
    ASSERT_EQ(pwrite(fd, head.data(), head.size(), 0), static_cast<ssize_t>(head.size()));
    const Bytes decoy = testing::Mvhd(1, 99);
    ASSERT_EQ(pwrite(fd, decoy.data(), decoy.size(), head.size() + media_size / 2),
              static_cast<ssize_t>(decoy.size()));
    const Bytes moov = testing::Moov({});
    ASSERT_EQ(pwrite(fd, moov.data(), moov.size(), head.size() + media_size),
              static_cast<ssize_t>(moov.size()));
    ::close(fd);
}

TEST(LargeMovie, HeaderBehindAHugeMdatIsFoundWithoutReadingIt) {
    TempDir dir;
    const std::string path = dir.file("large.mov");
    WriteSparseMovie(path, 0xF0000000u);
    const auto started = std::chrono::steady_clock::now();
    MappedFile reader;
    const auto timing = ReadMovieTiming(reader, path);
    ASSERT_TRUE(timing) << timing.error();
    auto movie = ParseMovie(path, true);
    ASSERT_TRUE(movie) << movie.error();
    const auto elapsed = std::chrono::steady_clock::now() - started;
    EXPECT_EQ(timing->duration_s, 2.0f);
    EXPECT_EQ(timing->frame_duration_ms, 1000.0f / 30.0f);
    EXPECT_EQ(FrameCount(movie.value()), 60);
    EXPECT_GT(reader.size(), 0xF0000000u);
    // Reading 3.75 GiB even from a hole takes seconds; the jump takes microseconds.
    EXPECT_LT(std::chrono::duration<double>(elapsed).count(), 0.5);
}

} // namespace
} // namespace kirvano
