// CSV export of a card of 2000 recordings of a camera's size (one-minute movies of 1800
// frames with a minute of telemetry), warm cache: milliseconds per recording. The movie is
// made once with ffmpeg and linked under 2000 names.
#include "export/CsvExport.h"
#include "library/RecordingSource.h"
#include "telemetry/TelemetryWriter.h"
#include "ui/UiText.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <unistd.h>
#include <vector>

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

int main() {
    using namespace kirvano;
    if (std::system("ffmpeg -version > /dev/null 2>&1") != 0) {
        std::printf("bench_csv: ffmpeg is not installed; nothing measured\n");
        return 0;
    }
    const std::string base = access("/dev/shm", W_OK) == 0 ? "/dev/shm" : "/tmp";
    std::string pattern = base + "/kirvano-bench-csv-XXXXXX";
    const std::string dir = mkdtemp(pattern.data());
    const std::string movie = dir + "/movie.MOV";
    const std::string command =
        "ffmpeg -loglevel error -y -f lavfi -i testsrc=size=320x180:rate=30 "
        "-frames:v 1800 -c:v libx264 -preset ultrafast -g 30 " +
        movie;
    if (std::system(command.c_str()) != 0) {
        std::printf("bench_csv: ffmpeg failed\n");
        return 1;
    }
    TelemetryHeaderFields header;
    const auto head = EncodeTelemetryHeader(header);
    std::vector<std::uint8_t> records;
    for (int i = 0; i < 600; ++i) {
        const auto record = EncodeTelemetryRecord(TelemetryRecordFields{});
        records.insert(records.end(), record.begin(), record.end());
    }
    const auto block = EncodeTelemetryBlock(head, records);
    const std::string data = dir + "/data.ADA";
    std::ofstream(data, std::ios::binary)
        .write(reinterpret_cast<const char*>(block.data()),
               static_cast<std::streamsize>(block.size()));

    const std::string root = dir + "/card";
    for (const char* camera : {"Front", "Rear_", "Data"})
        fs::create_directories(root + "/Normal/" + camera);
    fs::create_directories(root + "/Parking");
    for (int i = 0; i < 2000; ++i) {
        char name[64];
        std::snprintf(name, sizeof name, "A__-2208%02d-%02d%02d00-%06d", 1 + i / 500,
                      8 + i / 50 % 10, i % 50, i + 1);
        const std::string n = name;
        fs::create_hard_link(movie, root + "/Normal/Front/" + n + "F.MOV");
        fs::create_hard_link(movie, root + "/Normal/Rear_/" + n + "R.MOV");
        fs::create_hard_link(data, root + "/Normal/Data/" + n + "D.ADA");
    }
    SelectUiTextColumn(0);
    RecordingSource source;
    source.LoadSource(root, SourceKind::Card);
    const std::vector<RecordingInfo> all = source.CollectAllRecordings();
    const std::string out = dir + "/out";
    fs::create_directories(out);
    CsvExportOptions options;
    options.overwrite = true;
    options.charset = "UTF-8";
    std::vector<double> times;
    std::size_t lines = 0;
    for (int run = 0; run < 6; ++run) {
        const auto start = Clock::now();
        const CsvExportResult result = ExportCsv(all, out, options);
        const double ms = std::chrono::duration<double, std::milli>(Clock::now() - start).count();
        lines = result.lines;
        if (run > 0) // the first run warms the cache
            times.push_back(ms);
    }
    std::sort(times.begin(), times.end());
    const double median = times[times.size() / 2];
    options.charset = "SHIFT_JIS";
    const auto start = Clock::now();
    ExportCsv(all, out, options);
    const double sjis = std::chrono::duration<double, std::milli>(Clock::now() - start).count();
    std::printf("csv: %zu recordings (1800-frame movies, %ju bytes each), median of 5 warm runs\n",
                lines, static_cast<std::uintmax_t>(fs::file_size(movie)));
    std::printf(
        "csv export: %.1f ms, %.3f ms a recording (UTF-8); %.3f ms a recording (Shift JIS)\n",
        median, median / static_cast<double>(lines), sjis / static_cast<double>(lines));
    fs::remove_all(dir);
    return 0;
}
