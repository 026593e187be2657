// Join throughput: three one-minute recordings joined by kirvano-cli, against cp of the
// same bytes and ffmpeg's concat demuxer with stream copy, each run as a child process
// whose wall time and peak resident memory are measured. Usage: bench_join [SECONDS]
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace {

struct Measure {
    double seconds = 0;
    long peakKiB = 0;
    int status = -1;
};

Measure RunChild(const std::string& command) {
    const auto start = std::chrono::steady_clock::now();
    const pid_t pid = fork();
    if (pid == 0) {
        execl("/bin/sh", "sh", "-c", command.c_str(), static_cast<char*>(nullptr));
        _exit(127);
    }
    int status = 0;
    struct rusage usage {};
    wait4(pid, &status, 0, &usage);
    Measure m;
    m.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    m.peakKiB = usage.ru_maxrss;
    m.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return m;
}

std::string Name(int i, char camera) {
    return "AGS-220801-12000" + std::to_string(i) + "-00012" + std::to_string(i) + camera;
}

} // namespace

int main(int argc, char** argv) {
    const int seconds = argc > 1 ? std::atoi(argv[1]) : 60;
    namespace fs = std::filesystem;
    const fs::path root =
        fs::temp_directory_path() / ("kirvano-bench-join-" + std::to_string(getpid()));
    const fs::path in = root / "in", out = root / "out", copy = root / "copy";
    fs::create_directories(in);
    fs::create_directories(out);
    fs::create_directories(copy);

    // One camera-like minute (720p, high bit rate, with sound), three times under
    // consecutive names.
    const std::string first = (in / (Name(1, 'F') + ".MOV")).string();
    const std::string make =
        "ffmpeg -v error -y -f lavfi -i testsrc2=size=1280x720:rate=27.5:duration=" +
        std::to_string(seconds) + " -f lavfi -i sine=duration=" + std::to_string(seconds) +
        " -c:v mpeg4 -q:v 2 -g 14 -c:a aac -shortest '" + first + "'";
    if (RunChild(make).status != 0) {
        std::fprintf(stderr, "bench_join: ffmpeg could not make the input\n");
        return 1;
    }
    std::string list, inputs, sources;
    for (int i = 1; i <= 3; ++i) {
        const std::string path = (in / (Name(i, 'F') + ".MOV")).string();
        if (i > 1)
            fs::copy_file(first, path);
        inputs += " '" + path + "'";
        list += "file '" + path + "'\n";
    }
    FILE* f = std::fopen((root / "list.txt").c_str(), "w");
    std::fputs(list.c_str(), f);
    std::fclose(f);
    const double megabytes = 3.0 * static_cast<double>(fs::file_size(first)) / 1e6;
    RunChild("cat" + inputs + " > /dev/null"); // the same warm page cache for every run
    RunChild("sync");                          // no writes of the inputs still pending

    const Measure join = RunChild(std::string(KIRVANO_CLI) + " join '" + out.string() + "'" +
                                  inputs + " > /dev/null");
    // The join flushes its outputs to the device before it renames them; cp and ffmpeg
    // are flushed too (sync FILE) so that all pay for the same writes.
    const Measure cp =
        RunChild("cp" + inputs + " '" + copy.string() + "' && sync '" + copy.string() + "'/*");
    const std::string joined = (root / "ffmpeg.MOV").string();
    const Measure ffmpeg =
        RunChild("ffmpeg -v error -y -f concat -safe 0 -i '" + (root / "list.txt").string() +
                 "' -c copy '" + joined + "' && sync '" + joined + "'");
    fs::remove_all(copy);
    fs::create_directories(copy);
    const Measure cpNoSync = RunChild("cp" + inputs + " '" + copy.string() + "'");

    std::printf("join of 3 x %d s recordings, %.1f MB in total\n", seconds, megabytes);
    auto line = [&](const char* what, const Measure& m) {
        std::printf("  %-14s %7.3f s  %8.1f MB/s  peak %6.1f MiB  exit %d\n", what, m.seconds,
                    megabytes / m.seconds, static_cast<double>(m.peakKiB) / 1024.0, m.status);
    };
    line("kirvano join", join);
    line("cp", cp);
    line("ffmpeg concat", ffmpeg);
    line("cp, no flush", cpNoSync);
    std::printf("  join / cp throughput: %.2f; join / ffmpeg: %.2f\n", cp.seconds / join.seconds,
                ffmpeg.seconds / join.seconds);
    fs::remove_all(root);
    return join.status == 0 ? 0 : 1;
}
