// Scan of a full card of tiny files: the initial load (load, initial selection and its
// expansion) and the collection of all recordings, against a C baseline that lists the
// folders, reads 260 bytes of every front file and stats the rear and data files. Also
// the memory a load takes and the cost of the FAT hidden-attribute queries. Last, whole
// processes: `kirvano-cli scan CARD --all` against the same baseline as a C program
// (bench/scan_baseline.c), run in turns, CPU time (user + system) and wall time.
#include "ProcessTimes.h"
#include "config/FileAttributes.h"
#include "library/FolderListing.h"
#include "library/RecordingSource.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <dirent.h>
#include <fcntl.h>
#include <filesystem>
#include <string>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;
namespace fs = std::filesystem;

void WriteFile(const std::string& path, std::size_t size, bool movie) {
    std::string bytes(size, '\0');
    if (movie)
        bytes.replace(0, 8,
                      std::string("\0\0\0\x14"
                                  "ftyp",
                                  8));
    FILE* f = std::fopen(path.c_str(), "wb");
    std::fwrite(bytes.data(), 1, bytes.size(), f);
    std::fclose(f);
}

// 2000 recordings: 1600 under Normal in runs of 50 files a minute apart, 400 under
// Parking; front, rear and data files each.
void BuildCard(const std::string& root) {
    for (const char* top : {"Normal", "Parking"})
        for (const char* camera : {"Front", "Rear_", "Data"})
            fs::create_directories(root + "/" + top + "/" + camera);
    for (int i = 0; i < 2000; ++i) {
        const bool parking = i >= 1600;
        const char* top = parking ? "Parking" : "Normal";
        const int run = i / 50;
        const int minute = i % 50;
        char base[64];
        std::snprintf(base, sizeof base, "%s-2208%02d-%02d%02d00-%06d", parking ? "P__" : "A__",
                      1 + run / 10, 8 + run % 10, minute, i + 1);
        const std::string b = root + "/" + top;
        WriteFile(b + "/Front/" + base + "F.MOV", 260, true);
        WriteFile(b + "/Rear_/" + base + "R.MOV", 260, true);
        WriteFile(b + "/Data/" + base + "D.ADA", 100, false);
    }
}

// The baseline in plain C calls.
std::size_t Baseline(const std::string& root) {
    std::size_t bytes = 0;
    for (const char* top : {"Normal", "Parking"}) {
        for (const char* camera : {"Front", "Rear_", "Data"}) {
            const std::string folder = root + "/" + top + "/" + camera;
            DIR* dir = opendir(folder.c_str());
            std::vector<std::string> names;
            while (const dirent* e = readdir(dir))
                if (e->d_name[0] != '.')
                    names.push_back(e->d_name);
            closedir(dir);
            if (std::string(camera) != "Front")
                continue;
            for (const std::string& name : names) {
                const std::string front = folder + "/" + name;
                char head[260];
                const int fd = open(front.c_str(), O_RDONLY);
                bytes += static_cast<std::size_t>(read(fd, head, sizeof head));
                close(fd);
                std::string rear = root + "/" + top + "/Rear_/" + name;
                rear[rear.size() - 5] = 'R';
                std::string data = root + "/" + top + "/Data/" + name;
                data[data.size() - 5] = 'D';
                data.replace(data.size() - 3, 3, "ADA");
                struct stat info {};
                stat(rear.c_str(), &info);
                bytes += static_cast<std::size_t>(info.st_size);
                stat(data.c_str(), &info);
                bytes += static_cast<std::size_t>(info.st_size);
            }
        }
    }
    return bytes;
}

template <class F> double MedianMs(F&& work, int runs = 10) {
    std::vector<double> times;
    work(); // warm the cache
    for (int i = 0; i < runs; ++i) {
        const auto start = Clock::now();
        work();
        times.push_back(std::chrono::duration<double, std::milli>(Clock::now() - start).count());
    }
    std::sort(times.begin(), times.end());
    return (times[runs / 2 - 1] + times[runs / 2]) / 2;
}

long ResidentKiB() {
    FILE* f = std::fopen("/proc/self/statm", "r");
    long pages = 0, resident = 0;
    if (f && std::fscanf(f, "%ld %ld", &pages, &resident) != 2)
        resident = 0;
    if (f)
        std::fclose(f);
    return resident * (sysconf(_SC_PAGESIZE) / 1024);
}

// Both programs in turns, so that a change of the machine's load hits both alike.
int FakeGet(int, unsigned* attributes) {
    *attributes = 0x20;
    return 0;
}
int FakeSet(int, unsigned) {
    return 0;
}

} // namespace

int main() {
    using namespace kirvano;
    const std::string base = access("/dev/shm", W_OK) == 0 ? "/dev/shm" : "/tmp";
    std::string pattern = base + "/kirvano-bench-scan-XXXXXX";
    const std::string dir = mkdtemp(pattern.data());
    const std::string root = dir + "/card";
    BuildCard(root);

    const long before = ResidentKiB();
    std::size_t listed = 0, all = 0;
    {
        RecordingSource source;
        source.LoadSource(root, SourceKind::Card);
        if (const auto item = source.SelectInitialItem())
            source.ExpandTreeItem(*item);
        source.CollectAllRecordings();
        const long after = ResidentKiB();
        std::printf("memory: a 2000-recording load and collection add %.1f MiB resident\n",
                    (after - before) / 1024.0);
    }

    const double baseline = MedianMs([&] { Baseline(root); });
    const double initial = MedianMs([&] {
        RecordingSource source;
        source.LoadSource(root, SourceKind::Card);
        if (const auto item = source.SelectInitialItem())
            source.ExpandTreeItem(*item);
        listed = source.recordingList().size();
    });
    const double collect = MedianMs([&] {
        RecordingSource source;
        source.LoadSource(root, SourceKind::Card);
        all = source.CollectAllRecordings().size();
    });
    const double collectOnly = [&] {
        RecordingSource source;
        source.LoadSource(root, SourceKind::Card);
        return MedianMs([&] { source.CollectAllRecordings(); });
    }();

    // FAT attribute queries: one open and one query per entry, simulated here.
    const FatAttributeCalls fake{FakeGet, FakeSet};
    SetFatAttributeCallsForTests(&fake);
    TreatEveryVolumeAsFatForTests(true);
    ResetListingCounters();
    const double initialFat = MedianMs([&] {
        RecordingSource source;
        source.LoadSource(root, SourceKind::Card);
        if (const auto item = source.SelectInitialItem())
            source.ExpandTreeItem(*item);
    });
    const ListingCounters counters = ListingCountersSnapshot();
    TreatEveryVolumeAsFatForTests(false);
    SetFatAttributeCallsForTests(nullptr);

    std::printf("card: 2000 recordings (front, rear, data), %s, median of 10 warm runs\n",
                base.c_str());
    std::printf("baseline (list, read 260 bytes of each front, stat rear and data): %.2f ms\n",
                baseline);
    std::printf("initial load + selection + expansion: %.2f ms (%.2fx baseline), %zu listed\n",
                initial, initial / baseline, listed);
    std::printf("load + all recordings (--all): %.2f ms (%.2fx baseline), %zu collected\n", collect,
                collect / baseline, all);
    std::printf("all recordings alone: %.2f ms (%.2fx baseline)\n", collectOnly,
                collectOnly / baseline);
    std::printf("initial load with FAT attribute queries (simulated ioctl): %.2f ms, +%.2f ms, "
                "%.0f queries a load\n",
                initialFat, initialFat - initial, counters.attributeQueries / 11.0);
    const char* runs = std::getenv("KIRVANO_BENCH_RUNS");
    bench::CompareProcesses({SCAN_BASELINE, root}, {KIRVANO_CLI, "scan", root, "--all"},
                            runs ? std::max(1, std::atoi(runs)) : 11);
    fs::remove_all(dir);
    return 0;
}
