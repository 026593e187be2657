// The telemetry views: one graph update (position + full repaint of the off-screen picture)
// at the 1100-pixel width of the largest layout for a one-minute recording and for a
// 100 000-frame joined recording, and the event list of a full 270 600-record block.
// Medians over repeated runs, in milliseconds.
#include "telemetry/EventDetection.h"
#include "telemetry/TelemetryReader.h"
#include "telemetry/TelemetryWriter.h"
#include "ui/CResourceImage.h"
#include "views/CGSensorDlg.h"

#include <QApplication>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <memory>
#include <vector>

namespace {

using namespace kirvano;
using Clock = std::chrono::steady_clock;

// A drive with varying G, an impact every 30 s, over speed in every third minute, a manual
// mark and driving-assistance letters now and then.
std::unique_ptr<TelemetryReader> Drive(int records, std::int64_t frames) {
    std::vector<std::uint8_t> bytes;
    bytes.reserve(static_cast<std::size_t>(records) * kTelemetryRecordSize);
    for (int i = 0; i < records; ++i) {
        TelemetryRecordFields f;
        f.gx = 0.3 * std::sin(i * 0.05);
        f.gy = 0.2 * std::cos(i * 0.031);
        f.gz = 1.0 + 0.05 * std::sin(i * 0.7);
        const int inMinute = i % 600;
        f.axis = inMinute >= 300 && inMinute < 305 ? 'X' : (i % 300 == 7 ? 'Z' : 'N');
        f.mark_d = (i / 600) % 3 == 2 && inMinute < 200 ? 'D' : 'N';
        f.second = i / 10 % 60;
        f.minute = i / 600 % 60;
        const auto r = EncodeTelemetryRecord(f);
        bytes.insert(bytes.end(), r.begin(), r.end());
    }
    const auto header = EncodeTelemetryHeader(TelemetryHeaderFields{});
    const std::vector<std::uint8_t> block = EncodeTelemetryBlock(header, bytes);
    auto reader = std::make_unique<TelemetryReader>();
    if (!reader->LoadBlock(ByteRange(block.data() + 6, block.size() - 6), "bench")) {
        std::fprintf(stderr, "telemetry block not loaded\n");
        std::exit(1);
    }
    reader->set_frame_duration_ms(1000.0f / 30.0f);
    if (!reader->BuildFrameIndex(frames)) {
        std::fprintf(stderr, "frame index not built\n");
        std::exit(1);
    }
    return reader;
}

double Median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

double Ms(Clock::duration d) {
    return std::chrono::duration<double, std::milli>(d).count();
}

void GraphUpdates(const char* what, const TelemetryReader& reader) {
    CGSensorDlg graph;
    graph.resize(1100, 74);
    graph.LoadGraph(&reader);
    const std::int64_t frames = graph.FrameCount();
    graph.RenderPicture(); // renders the scale picture once
    std::vector<double> times;
    std::size_t marks = 0;
    for (int k = 0; k < 300; ++k) {
        const std::int64_t position = frames * k / 300;
        const auto start = Clock::now();
        graph.SetGraphPosition(position);
        graph.RenderPicture();
        times.push_back(Ms(Clock::now() - start));
        for (const auto& list : graph.Marks()) {
            marks += list.size();
        }
    }
    std::sort(times.begin(), times.end());
    std::printf("graph update, %s (%lld frames, 1100 x 74): median %.3f ms, 95th percentile "
                "%.3f ms (%zu marks drawn over 300 updates)\n",
                what, static_cast<long long>(frames), Median(times), times[times.size() * 95 / 100],
                marks);
}

} // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    QApplication app(argc, argv);
    InitSkinResources();

    const auto minute = Drive(600, 1800);
    GraphUpdates("one-minute recording", *minute);
    const auto joined = Drive(33'334, 100'000);
    GraphUpdates("joined recording", *joined);

    const auto full = Drive(270'600, 811'800);
    EventDetector detector;
    EventList list;
    std::vector<double> times;
    for (int k = 0; k < 15; ++k) {
        const auto start = Clock::now();
        list.Rebuild(detector, full.get());
        times.push_back(Ms(Clock::now() - start));
    }
    std::printf("event list, 270 600 samples (811 800 frames): median %.2f ms, %zu events\n",
                Median(times), list.Size());
    return 0;
}
