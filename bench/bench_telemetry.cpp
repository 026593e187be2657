// Telemetry load and frame index: one minute (600 records) and a full block (270 600
// records, the 32 MiB window), median over repeated runs, with the page faults and the
// peak resident size of the load next to the size of the decoded samples, and the bare
// cost of touching that much fresh memory once (the floor of any load).
#include "base/HugePages.h"
#include "library/RecordingName.h"
#include "telemetry/TelemetryReader.h"
#include "telemetry/TelemetryWriter.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <string>
#include <sys/resource.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

using namespace kirvano;

// Writes the data file in a child process, so that building it leaves no mark on the
// parent's peak resident size.
void WriteDataFile(const std::string& path, std::size_t records) {
    const pid_t child = fork();
    if (child == 0) {
        std::vector<std::uint8_t> bytes;
        bytes.reserve(records * kTelemetryRecordSize);
        TelemetryRecordFields f;
        for (std::size_t i = 0; i < records; ++i) {
            f.latitude = 35.0 + static_cast<double>(i % 1000) * 1e-4;
            f.longitude = 139.0 + static_cast<double>(i % 977) * 1e-4;
            f.speed_kmh = static_cast<double>(i % 120);
            f.second = static_cast<int>(i / 10 % 60);
            f.minute = static_cast<int>(i / 600 % 60);
            f.hour = static_cast<int>(i / 36000 % 24);
            f.gx = static_cast<double>(i % 13) * 0.01;
            f.gy = -static_cast<double>(i % 7) * 0.02;
            f.gz = 1.0;
            const auto r = EncodeTelemetryRecord(f);
            bytes.insert(bytes.end(), r.begin(), r.end());
        }
        const auto block = EncodeTelemetryBlock(EncodeTelemetryHeader({}), bytes);
        FILE* out = std::fopen(path.c_str(), "wb");
        const bool ok = out && std::fwrite(block.data(), 1, block.size(), out) == block.size();
        if (out)
            std::fclose(out);
        _exit(ok ? 0 : 1);
    }
    int status = 0;
    waitpid(child, &status, 0);
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
        std::fprintf(stderr, "could not write %s\n", path.c_str());
        std::exit(1);
    }
}

long MaxRssKb() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;
}

struct Figures {
    double median_ms = 0, best_ms = 0, median_cpu_ms = 0;
    long faults = 0; // minor page faults of one load, median
    std::size_t decoded_bytes = 0, table_bytes = 0;
    long rss_growth_kb = 0;
    std::uint32_t records = 0;
};

Figures Measure(const std::string& path, std::int64_t frames, int runs) {
    Figures fig;
    std::vector<double> times, cpu;
    std::vector<long> faults;
    const long rss_before = MaxRssKb();
    const auto cpuMs = [] {
        timespec t{};
        clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
        return t.tv_sec * 1e3 + t.tv_nsec / 1e6;
    };
    const auto minorFaults = [] {
        rusage usage{};
        getrusage(RUSAGE_THREAD, &usage);
        return usage.ru_minflt;
    };
    for (int run = 0; run < runs; ++run) {
        TelemetryReader reader;
        reader.set_frame_duration_ms(1000.0f / 30.0f);
        const long faults_before = minorFaults();
        const double cpu_before = cpuMs();
        const auto start = std::chrono::steady_clock::now();
        const bool ok = reader.Load(path) && reader.BuildFrameIndex(frames);
        const auto end = std::chrono::steady_clock::now();
        cpu.push_back(cpuMs() - cpu_before);
        faults.push_back(minorFaults() - faults_before);
        if (!ok) {
            std::fprintf(stderr, "load failed: %s\n", path.c_str());
            std::exit(1);
        }
        times.push_back(std::chrono::duration<double, std::milli>(end - start).count());
        fig.records = reader.record_count();
        fig.decoded_bytes = reader.positions().size() * sizeof(PositionSample) +
                            reader.samples().size() * sizeof(TelemetrySample);
        fig.table_bytes = reader.frame_table().size() * sizeof(const TelemetrySample*);
    }
    fig.rss_growth_kb = MaxRssKb() - rss_before;
    std::sort(times.begin(), times.end());
    std::sort(cpu.begin(), cpu.end());
    std::sort(faults.begin(), faults.end());
    fig.median_cpu_ms = cpu[cpu.size() / 2];
    fig.faults = faults[faults.size() / 2];
    fig.median_ms = times[times.size() / 2];
    fig.best_ms = times.front();
    return fig;
}

void Print(const char* name, const Figures& f, double target_ms) {
    // The target holds for the CPU time, which other work on the machine does not stretch.
    std::printf("%-28s records %6u  median %8.3f ms  best %8.3f ms  CPU median %.3f ms (target "
                "< %g ms: %s)\n",
                name, f.records, f.median_ms, f.best_ms, f.median_cpu_ms, target_ms,
                f.median_cpu_ms < target_ms ? "met" : "MISSED");
    std::printf("%-28s %ld minor page faults a load\n", "", f.faults);
    std::printf("%-28s decoded samples %.1f MiB, frame table %.1f MiB, peak resident growth "
                "%.1f MiB (%.2fx the samples)\n",
                "", f.decoded_bytes / 1048576.0, f.table_bytes / 1048576.0,
                f.rss_growth_kb / 1024.0,
                f.rss_growth_kb * 1024.0 / static_cast<double>(f.decoded_bytes));
}

// CPU time of writing once to fresh memory of that size, allocated as the reader does.
double TouchCpuMs(std::size_t bytes, int runs) {
    std::vector<double> cpu;
    for (int run = 0; run < runs; ++run) {
        timespec a{}, b{};
        clock_gettime(CLOCK_THREAD_CPUTIME_ID, &a);
        {
            LargeArray<std::uint8_t> memory;
            memory.reserve(bytes);
            memory.resize(bytes, 1);
        }
        clock_gettime(CLOCK_THREAD_CPUTIME_ID, &b);
        cpu.push_back((b.tv_sec - a.tv_sec) * 1e3 + (b.tv_nsec - a.tv_nsec) / 1e6);
    }
    std::sort(cpu.begin(), cpu.end());
    return cpu[cpu.size() / 2];
}

} // namespace

int main() {
    char pattern[] = "/tmp/kirvano-bench-XXXXXX";
    const char* dir = mkdtemp(pattern);
    if (dir == nullptr)
        return 1;
    const std::string minute = std::string(dir) + "/minute.ADA";
    const std::string full = std::string(dir) + "/full.ADA";
    WriteDataFile(minute, 600);
    WriteDataFile(full, 270600);

    const std::time_t now = std::time(nullptr);
    char date[32];
    std::strftime(date, sizeof date, "%Y-%m-%d %H:%M UTC", std::gmtime(&now));
    std::printf("bench_telemetry  %s  cores %u\n", date, std::thread::hardware_concurrency());
    // The full block first, so that its resident growth is measured from a small base.
    const Figures big = Measure(full, 811800, 9); // 7.5 hours at 30 frames a second
    const Figures small = Measure(minute, 1800, 201);
    Print("Load+BuildFrameIndex 1 min", small, 0.2);
    Print("Load+BuildFrameIndex full", big, 50.0);
    std::printf("%-28s CPU time median %.3f ms to touch %.1f MiB of fresh memory once\n",
                "Floor of the full load", TouchCpuMs(big.decoded_bytes + big.table_bytes, 9),
                (big.decoded_bytes + big.table_bytes) / 1048576.0);
    std::remove(minute.c_str());
    std::remove(full.c_str());
    rmdir(dir);
    return 0;
}
