// The movie timing and the probe path on a 3.5 GiB mdat-first movie (sparse: the media
// data is a hole except for the real frames at its start), against ffprobe on the same file.
// Prints medians over 20 warm runs with the core count and the date.
#include "ProcessTimes.h"
#include "container/MappedFile.h"
#include "container/MovieFile.h"
#include "container/Scanners.h"

#include <algorithm>
#include <array>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <fcntl.h>
#include <filesystem>
#include <functional>
#include <string>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

constexpr int kRuns = 20;
constexpr std::uint64_t kMediaSize = 3584ull << 20; // 3.5 GiB

double MedianMs(const std::function<bool()>& run) {
    if (!run()) // warm-up, and a check that it works at all
        return -1;
    std::vector<double> times;
    for (int i = 0; i < kRuns; ++i) {
        const auto start = std::chrono::steady_clock::now();
        if (!run())
            return -1;
        times.push_back(
            std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start)
                .count());
    }
    std::sort(times.begin(), times.end());
    return (times[kRuns / 2 - 1] + times[kRuns / 2]) / 2;
}

std::vector<std::uint8_t> ReadFile(const std::string& path) {
    std::vector<std::uint8_t> bytes(std::filesystem::file_size(path));
    FILE* f = std::fopen(path.c_str(), "rb");
    if (f == nullptr || std::fread(bytes.data(), 1, bytes.size(), f) != bytes.size())
        bytes.clear();
    if (f != nullptr)
        std::fclose(f);
    return bytes;
}

// Moves the movie box of a small mdat-first movie behind a hole that grows its media box to
// 3.5 GiB; the chunk offsets still point at the real frames at the start.
bool WriteLargeMovie(const std::string& small, const std::string& large) {
    std::vector<std::uint8_t> bytes = ReadFile(small);
    std::uint64_t at = 0, mdat = 0, moov = 0, moov_size = 0;
    while (at + 8 <= bytes.size()) {
        const std::uint32_t size = (std::uint32_t(bytes[at]) << 24) |
                                   (std::uint32_t(bytes[at + 1]) << 16) |
                                   (std::uint32_t(bytes[at + 2]) << 8) | bytes[at + 3];
        const std::string type(reinterpret_cast<const char*>(&bytes[at + 4]), 4);
        if (size < 8)
            return false;
        if (type == "mdat")
            mdat = at;
        if (type == "moov") {
            moov = at;
            moov_size = size;
        }
        at += size;
    }
    if (mdat == 0 || moov < mdat)
        return false;
    const std::uint32_t new_size = static_cast<std::uint32_t>(kMediaSize + 8);
    const int fd = ::open(large.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    if (fd < 0)
        return false;
    bytes[mdat] = static_cast<std::uint8_t>(new_size >> 24);
    bytes[mdat + 1] = static_cast<std::uint8_t>(new_size >> 16);
    bytes[mdat + 2] = static_cast<std::uint8_t>(new_size >> 8);
    bytes[mdat + 3] = static_cast<std::uint8_t>(new_size);
    bool ok = pwrite(fd, bytes.data(), moov, 0) == static_cast<ssize_t>(moov) &&
              pwrite(fd, bytes.data() + moov, moov_size, static_cast<off_t>(mdat + new_size)) ==
                  static_cast<ssize_t>(moov_size);
    ok = ::close(fd) == 0 && ok;
    return ok;
}

bool ProbePath(const std::string& path) {
    if (!kirvano::IsMovieFile(path))
        return false;
    kirvano::MappedFile reader;
    if (!kirvano::ReadMovieTiming(reader, path))
        return false;
    auto movie = kirvano::ParseMovie(path, true);
    if (!movie)
        return false;
    return kirvano::FrameCount(movie.value()) > 0 && kirvano::VideoSize(movie.value()).width > 0;
}

} // namespace

int main() {
    const std::string dir = "/tmp/kirvano-bench-movie-" + std::to_string(getpid());
    std::filesystem::create_directories(dir);
    const std::string small = dir + "/small.mov", large = dir + "/large.mov";
    const std::string make =
        "ffmpeg -v error -nostdin -y -f lavfi -i testsrc=size=160x120:rate=30 -f lavfi -i "
        "sine=sample_rate=48000 -t 2 -c:v libx264 -pix_fmt yuv420p -c:a aac '" +
        small + "'";
    if (std::system(make.c_str()) != 0 || !WriteLargeMovie(small, large)) {
        std::fprintf(stderr, "bench_movie_timing: cannot build the test movie\n");
        std::filesystem::remove_all(dir);
        return 1;
    }

    kirvano::MappedFile reader;
    kirvano::MovieTiming timing;
    const double timing_ms = MedianMs([&] {
        auto read = kirvano::ReadMovieTiming(reader, large);
        if (read)
            timing = read.value();
        return read.ok();
    });
    const double probe_ms = MedianMs([&] { return ProbePath(large); });
    const std::string cli = std::string("'") + KIRVANO_CLI + "' probe '" + large + "' >/dev/null";
    const double cli_ms = MedianMs([&] { return std::system(cli.c_str()) == 0; });
    const std::string ffprobe =
        "ffprobe -v error -show_format -show_streams '" + large + "' >/dev/null";
    const double ffprobe_ms = MedianMs([&] { return std::system(ffprobe.c_str()) == 0; });

    const std::time_t now = std::time(nullptr);
    char date[32];
    std::strftime(date, sizeof date, "%Y-%m-%d %H:%M UTC", std::gmtime(&now));
    std::printf("bench_movie_timing: %s, %u cores, %.2f GiB sparse mdat-first movie, median of "
                "%d warm runs\n",
                date, std::thread::hardware_concurrency(),
                static_cast<double>(std::filesystem::file_size(large)) / (1ull << 30), kRuns);
    std::printf("  timing read: duration %.3f s, frame %.3f ms\n", timing.duration_s,
                timing.frame_duration_ms);
    std::printf("  ReadMovieTiming           %9.3f ms  (%.0fx faster than ffprobe)\n", timing_ms,
                ffprobe_ms / timing_ms);
    std::printf("  probe path (in process)   %9.3f ms  (%.0fx)\n", probe_ms, ffprobe_ms / probe_ms);
    std::printf("  kirvano-cli probe process %9.3f ms  (%.1fx)\n", cli_ms, ffprobe_ms / cli_ms);
    std::printf("  ffprobe process           %9.3f ms\n", ffprobe_ms);
    const char* runs = std::getenv("KIRVANO_BENCH_RUNS");
    bench::CompareProcesses({"ffprobe", "-v", "error", "-show_format", large},
                            {KIRVANO_CLI, "probe", large}, runs ? std::max(1, std::atoi(runs)) : 5);
    std::filesystem::remove_all(dir);
    return timing_ms >= 0 && probe_ms >= 0 && cli_ms >= 0 && ffprobe_ms >= 0 ? 0 : 1;
}
