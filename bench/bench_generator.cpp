// Generation speed of the card generator: seconds of work per minute of recording for a
// 1080p front and a 720p rear camera, beside a naive serial pipeline (a test pattern
// encoded by x264 ultrafast into QuickTime, one camera after the other) measured in the
// same run. Wall-clock and processor seconds are both printed: the machine may be shared.
// Usage: bench_generator [SECONDS]   (length of the measured recording, default 30)
#include "generator/BarcodeLayout.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <sys/resource.h>
#include <sys/wait.h>
#include <vector>

namespace {

struct Cost {
    double wall = 0;
    double cpu = 0;
    bool ok = false;
};

double ChildCpuSeconds() {
    rusage usage{};
    getrusage(RUSAGE_CHILDREN, &usage);
    return usage.ru_utime.tv_sec + usage.ru_stime.tv_sec +
           (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

Cost Run(const std::string& command) {
    const double cpuBefore = ChildCpuSeconds();
    const auto start = std::chrono::steady_clock::now();
    const int status = std::system(command.c_str());
    Cost cost;
    cost.wall = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    cost.cpu = ChildCpuSeconds() - cpuBefore;
    cost.ok = status != -1 && WIFEXITED(status) && WEXITSTATUS(status) == 0;
    return cost;
}

std::string Naive(int width, int height, int frames, const std::string& out) {
    return "gst-launch-1.0 -q videotestsrc pattern=ball num-buffers=" + std::to_string(frames) +
           " ! video/x-raw,width=" + std::to_string(width) + ",height=" + std::to_string(height) +
           ",framerate=55/2 ! x264enc speed-preset=ultrafast ! qtmux ! filesink location=" + out +
           " >/dev/null 2>&1";
}

// Reads the bar code of frame n of a movie, decoded by ffmpeg into grey levels.
long ReadBackFrame(const std::string& movie, int width, int height, int n) {
    const std::string command = "ffmpeg -v error -i '" + movie + "' -vf 'select=eq(n\\," +
                                std::to_string(n) + ")' -vframes 1 -f rawvideo -pix_fmt gray -";
    FILE* pipe = popen(command.c_str(), "r");
    if (!pipe) {
        return -1;
    }
    std::vector<unsigned char> grey(static_cast<std::size_t>(width) * height);
    const std::size_t got = fread(grey.data(), 1, grey.size(), pipe);
    pclose(pipe);
    if (got != grey.size()) {
        return -1;
    }
    const auto frame = kirvano::ReadBarcode(
        width, height, [&](int x, int y) { return grey[static_cast<std::size_t>(y) * width + x]; });
    return frame ? static_cast<long>(*frame) : -1;
}

} // namespace

int main(int argc, char** argv) {
    const int seconds = argc > 1 ? std::atoi(argv[1]) : 30;
    if (seconds < 1 || seconds > 60) {
        std::fprintf(stderr, "usage: bench_generator [SECONDS 1..60]\n");
        return 2;
    }
    const double perMinute = 60.0 / seconds;
    const auto folder = std::filesystem::temp_directory_path() / "kirvano-bench-generator";
    std::filesystem::remove_all(folder);
    std::filesystem::create_directories(folder);
    const std::string card = (folder / "card").string();

    const Cost generator =
        Run(std::string(KIRVANO_CLI) + " make-card '" + card + "' --recordings 1 --parking 0 " +
            "--seconds " + std::to_string(seconds) + " >/dev/null");
    const int frames = seconds * 55 / 2;
    const Cost naiveFront = Run(Naive(1920, 1080, frames, (folder / "front.mov").string()));
    const Cost naiveRear = Run(Naive(1280, 720, frames, (folder / "rear.mov").string()));

    long check = -2;
    for (const auto& e : std::filesystem::recursive_directory_iterator(card)) {
        if (e.path().filename().string().ends_with("F.MOV")) {
            check = ReadBackFrame(e.path().string(), 1920, 1080, frames / 2);
        }
    }
    std::printf("recording of %d s, 1920x1080 front + 1280x720 rear at 27.5 fps\n", seconds);
    std::printf("generator (make-card, with sound and telemetry): %6.1f s wall, %6.1f s cpu per "
                "recording-minute%s\n",
                generator.wall * perMinute, generator.cpu * perMinute,
                generator.ok ? "" : " (FAILED)");
    std::printf("naive serial pipeline (videotestsrc ball, x264 ultrafast, qtmux): %6.1f s wall, "
                "%6.1f s cpu per recording-minute%s\n",
                (naiveFront.wall + naiveRear.wall) * perMinute,
                (naiveFront.cpu + naiveRear.cpu) * perMinute,
                naiveFront.ok && naiveRear.ok ? "" : " (FAILED)");
    std::printf("bar code of front frame %d reads back as %ld\n", frames / 2, check);
    std::filesystem::remove_all(folder);
    return generator.ok && check == frames / 2 ? 0 : 1;
}
