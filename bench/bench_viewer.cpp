// The viewer as a user meets it, on a generated card (1080p front, 720p rear): start to
// the first picture, a change of recording to its first picture (the open delay
// included), the CPU of the whole viewer playing at 1x beside two bare playbins in the
// same run, and the longest time the UI thread did not get to its event loop.
#ifdef KIRVANO_VIEWER_BENCH
#include "app/CtarnicApp.h"
#include "app/CtarnicDlg.h"
#include "config/Settings.h"
#include "library/RemovableVolumes.h"
#include "playback/platform/GstPipeline.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QTimer>

#include <gst/gst.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <dirent.h>
#include <fstream>
#include <functional>
#include <map>
#include <string>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;
const Clock::time_point kProcessStart = Clock::now();

double Ms(Clock::duration d) {
    return std::chrono::duration<double, std::milli>(d).count();
}

double CpuSeconds() {
    timespec t{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) / 1e9;
}

// Runs the event loop until done() holds, looking every 2 ms. The loop sleeps between
// events: a loop that spins would count its own spinning as the viewer's CPU.
bool ProcessUntil(const std::function<bool()>& done, int timeoutMs) {
    QElapsedTimer timer;
    timer.start();
    QTimer look;
    look.start(2);
    while (!done() && timer.elapsed() < timeoutMs)
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    return done();
}

// Lets the viewer run for a while with nothing else on the UI thread.
void RunFor(int ms) {
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
}

constexpr int kCpuWindows = 5;
constexpr int kCpuWindowMs = 3000;

double MonotonicSeconds() {
    timespec t{};
    clock_gettime(CLOCK_MONOTONIC, &t);
    return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) / 1e9;
}

double Median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v.empty() ? 0.0 : v[v.size() / 2];
}

// Time on the CPU of each thread of this process (nanoseconds, from the scheduler's own
// accounting) and the times it was put on a CPU (about its wake-ups), by thread id, with
// the thread's name.
struct ThreadTime {
    std::string name;
    double ns = 0;
    double runs = 0;
};
std::map<long, ThreadTime> ThreadTimes() {
    std::map<long, ThreadTime> times;
    DIR* dir = opendir("/proc/self/task");
    if (!dir)
        return times;
    while (const dirent* entry = readdir(dir)) {
        const long tid = std::atol(entry->d_name);
        if (tid <= 0)
            continue;
        const std::string base = std::string("/proc/self/task/") + entry->d_name;
        std::ifstream comm(base + "/comm");
        std::ifstream stat(base + "/schedstat");
        ThreadTime t;
        double waited = 0;
        if (std::getline(comm, t.name) && (stat >> t.ns >> waited >> t.runs))
            times[tid] = t;
    }
    closedir(dir);
    return times;
}

// Threads grouped by role: the UI thread, and the pipelines' threads by their name without
// the element's number ("qtdemux14:sink" and "qtdemux15:sink" are one group).
std::string GroupOf(long tid, const std::string& name) {
    if (tid == getpid())
        return "UI thread";
    std::string group;
    for (char c : name)
        if (c < '0' || c > '9')
            group += c;
    return group;
}

// CPU of each group between two readings, in percent of one core over the given time, and
// the group's runs on a CPU a second.
struct GroupLoad {
    double cpu = 0;
    double runs = 0;
};
std::map<std::string, GroupLoad> GroupCpu(const std::map<long, ThreadTime>& before,
                                          const std::map<long, ThreadTime>& after, double seconds) {
    std::map<std::string, GroupLoad> groups;
    for (const auto& [tid, t] : after) {
        const auto old = before.find(tid);
        const bool known = old != before.end();
        GroupLoad& group = groups[GroupOf(tid, t.name)];
        group.cpu += (known ? t.ns - old->second.ns : t.ns) / 1e9 / seconds * 100.0;
        group.runs += (known ? t.runs - old->second.runs : t.runs) / seconds;
    }
    return groups;
}

// With --same-decoders the bare playbins' software decoders get the viewer's thread count
// instead of libav's default, so that the ratio shows the viewer's own work alone.
bool gSameDecoders = false;

void GiveViewerDecoderThreads(GstElement*, GstElement* element, gpointer) {
    kirvano::LimitDecoderThreads(element);
}

GstElement* BarePlaybin(const std::string& path) {
    gchar* uri = gst_filename_to_uri(path.c_str(), nullptr);
    GstElement* bin = gst_element_factory_make("playbin", nullptr);
    GstElement* sink = gst_element_factory_make("fakesink", nullptr);
    g_object_set(sink, "sync", TRUE, nullptr);
    GstElement* audio = gst_element_factory_make("fakesink", nullptr);
    g_object_set(audio, "sync", TRUE, nullptr);
    g_object_set(bin, "uri", uri, "video-sink", sink, "audio-sink", audio, nullptr);
    g_free(uri);
    if (gSameDecoders)
        g_signal_connect(bin, "element-setup", G_CALLBACK(&GiveViewerDecoderThreads), nullptr);
    return bin;
}

// The longest gap between two runs of a 2 ms timer on the UI thread.
class StallWatch {
public:
    StallWatch() {
        timer_.setTimerType(Qt::PreciseTimer);
        QObject::connect(&timer_, &QTimer::timeout, [this] {
            const qint64 now = clock_.nsecsElapsed();
            if (last_ >= 0)
                longest_ = std::max(longest_, now - last_);
            last_ = now;
        });
    }
    void Start() {
        longest_ = 0;
        last_ = -1;
        clock_.start();
        timer_.start(2);
    }
    double StopMs() {
        timer_.stop();
        return static_cast<double>(longest_) / 1e6 - 2.0;
    }

private:
    QTimer timer_;
    QElapsedTimer clock_;
    qint64 last_ = -1;
    qint64 longest_ = 0;
};

// Counts the paint passes of a window: each repaint of its backing store is one.
class PaintPasses : public QObject {
public:
    int count = 0;

protected:
    bool eventFilter(QObject*, QEvent* event) override {
        if (event->type() == QEvent::UpdateRequest)
            ++count;
        return false;
    }
};

} // namespace

int main(int argc, char** argv) {
    std::setvbuf(stdout, nullptr, _IONBF, 0);
    gSameDecoders = argc > 1 && std::string(argv[1]) == "--same-decoders";
    char pattern[] = "/tmp/kirvano-bench-viewer-XXXXXX";
    const std::string dir = mkdtemp(pattern);
    const std::string card = dir + "/card";
    setenv("KIRVANO_CONFIG_DIR", dir.c_str(), 1);
    if (std::getenv("DISPLAY") == nullptr && std::getenv("QT_QPA_PLATFORM") == nullptr)
        setenv("QT_QPA_PLATFORM", "offscreen", 1);
    std::fprintf(stderr, "making a card of three 40 s recordings (1080p front, 720p rear)...\n");
    const std::string make = std::string(KIRVANO_CLI) + " make-card '" + card +
                             "' --recordings 3 --parking 0 --seconds 40 > /dev/null";
    if (std::system(make.c_str()) != 0)
        return 1;
    kirvano::WriteSetting("SOURCE", "SELECT", "FOLDER");
    kirvano::WriteSetting("SOURCE", "FOLDER", card + "/Normal");

    kirvano::CtarnicApp::PrepareProcess();
    const Clock::time_point start = Clock::now();
    QApplication app(argc, argv);
    auto window = std::make_unique<kirvano::CtarnicDlg>(
        nullptr, std::make_unique<kirvano::FixedVolumes>(std::vector<std::string>{}));
    window->show();
    auto pictureOf = [&](int index) {
        kirvano::PlaybackEngine* engine = window->Engine(0);
        return window->Ready() && window->CurrentIndex() == index && engine != nullptr &&
               engine->hasPicture();
    };
    if (!ProcessUntil([&] { return pictureOf(0); }, 20000)) {
        std::fprintf(stderr, "the first recording did not open\n");
        return 1;
    }
    const double startMs = Ms(Clock::now() - start);
    const double startFromProcess = Ms(Clock::now() - kProcessStart) - Ms(start - kProcessStart);

    // A change of recording: next and previous in turn, each to its first picture.
    std::vector<double> change;
    for (int i = 0; i < 6; ++i) {
        const int to = i % 2 == 0 ? 1 : 0;
        const Clock::time_point t0 = Clock::now();
        window->OnCommand(to == 1 ? kirvano::kCmdNext : kirvano::kCmdPrevious);
        if (!ProcessUntil([&] { return pictureOf(to); }, 10000)) {
            std::fprintf(stderr, "recording %d did not open (index %d, ready %d)\n", to,
                         window->CurrentIndex(), window->Ready() ? 1 : 0);
            return 1;
        }
        change.push_back(Ms(Clock::now() - t0));
    }

    // Playing at 1x: the CPU of the whole viewer and its longest UI stall.
    window->OnCommand(kirvano::kCmdNext);
    if (!ProcessUntil([&] { return pictureOf(1); }, 10000)) {
        std::fprintf(stderr, "the second recording did not open for playing\n");
        return 1;
    }
    RunFor(300); // past the start of playback
    const std::string front = window->Source().recordingList()[1].path;
    std::string rear = front;
    rear.replace(rear.find("/Front/"), 7, "/Rear_/");
    rear[rear.size() - 5] = 'R';

    // Two bare playbins of the same movies, ready to play. They and the viewer take turns,
    // five windows of 3 s each, so that both sides meet the same conditions of the
    // machine (on this virtual machine a window's figure moves by a third from one to the
    // next); the median window of each side and the median ratio of a viewer window to the
    // bare window after it are reported. Each window's moments on the
    // monotonic clock go to stderr, for a profiler's time filter
    // (perf record -k CLOCK_MONOTONIC ...; perf report --time FROM,TO).
    const auto viewerThreads = ThreadTimes();
    GstElement* a = BarePlaybin(front);
    GstElement* b = BarePlaybin(rear);
    auto setBare = [&](GstState state) {
        gst_element_set_state(a, state);
        gst_element_set_state(b, state);
        gst_element_get_state(a, nullptr, nullptr, 5 * GST_SECOND);
        gst_element_get_state(b, nullptr, nullptr, 5 * GST_SECOND);
    };
    setBare(GST_STATE_PAUSED);
    // The bare playbins' CPU is that of their own threads: the paused viewer's timers do
    // not count for them.
    auto bareThreads = [&] {
        auto times = ThreadTimes();
        std::erase_if(times, [&](const auto& entry) { return viewerThreads.count(entry.first); });
        return times;
    };
    auto viewerState = [&] { return window->Engine(0)->state(); };
    std::vector<double> viewerCpu;
    std::vector<double> bareCpu;
    std::map<std::string, GroupLoad> viewerGroups;
    std::map<std::string, GroupLoad> bareGroups;
    auto addGroups = [](std::map<std::string, GroupLoad>& sum,
                        const std::map<std::string, GroupLoad>& window) {
        for (const auto& [name, load] : window) {
            sum[name].cpu += load.cpu / kCpuWindows;
            sum[name].runs += load.runs / kCpuWindows;
        }
    };
    PaintPasses passes;
    window->installEventFilter(&passes);
    double viewerSeconds = 0;
    std::int64_t framesPlayed = 0;
    for (int i = 0; i < kCpuWindows; ++i) {
        std::fprintf(stderr, "viewer playing from %.3f", MonotonicSeconds());
        const auto threads0 = ThreadTimes();
        const double cpu0 = CpuSeconds();
        const std::int64_t frame0 = window->Engine(0)->GetPosition();
        Clock::time_point t0 = Clock::now();
        RunFor(kCpuWindowMs);
        const double seconds = Ms(Clock::now() - t0) / 1000.0;
        viewerSeconds += seconds;
        framesPlayed += window->Engine(0)->GetPosition() - frame0;
        viewerCpu.push_back((CpuSeconds() - cpu0) / seconds * 100.0);
        addGroups(viewerGroups, GroupCpu(threads0, ThreadTimes(), seconds));
        std::fprintf(stderr, " to %.3f s (monotonic)\n", MonotonicSeconds());

        window->removeEventFilter(&passes);
        window->OnCommand(kirvano::kCmdPlay);
        ProcessUntil([&] { return viewerState() == kirvano::EngineState::Paused; }, 5000);
        setBare(GST_STATE_PLAYING);
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
        std::fprintf(stderr, "bare playbins playing from %.3f", MonotonicSeconds());
        const auto bare0 = bareThreads();
        t0 = Clock::now();
        std::this_thread::sleep_for(std::chrono::milliseconds(kCpuWindowMs));
        const auto groups = GroupCpu(bare0, bareThreads(), Ms(Clock::now() - t0) / 1000.0);
        double bare = 0;
        for (const auto& [name, load] : groups)
            bare += load.cpu;
        bareCpu.push_back(bare);
        addGroups(bareGroups, groups);
        std::fprintf(stderr, " to %.3f s (monotonic)\n", MonotonicSeconds());
        setBare(GST_STATE_PAUSED);
        window->OnCommand(kirvano::kCmdPlay);
        ProcessUntil([&] { return viewerState() == kirvano::EngineState::Playing; }, 5000);
        RunFor(300);
        window->installEventFilter(&passes);
    }
    window->removeEventFilter(&passes);
    gst_element_set_state(a, GST_STATE_NULL);
    gst_element_set_state(b, GST_STATE_NULL);
    gst_object_unref(a);
    gst_object_unref(b);

    // The stalls apart from the CPU: the 2 ms watch costs CPU of its own.
    StallWatch stalls;
    stalls.Start();
    RunFor(6000);
    const double stallMs = stalls.StopMs();
    const bool stillPlaying = viewerState() == kirvano::EngineState::Playing;
    window.reset();

    std::printf("== viewer on a generated card, 1080p front + 720p rear\n");
    std::printf("start (application + window) to first picture   %7.1f ms\n", startMs);
    std::printf("  of which before the application object          %7.1f ms\n",
                startFromProcess - startMs);
    std::printf("recording change to first picture (median of 6)  %7.1f ms (500 ms delay included;"
                " min %.1f, max %.1f)\n",
                Median(change), *std::min_element(change.begin(), change.end()),
                *std::max_element(change.begin(), change.end()));
    std::vector<double> ratios;
    for (std::size_t i = 0; i < viewerCpu.size() && i < bareCpu.size(); ++i)
        ratios.push_back(bareCpu[i] > 0 ? viewerCpu[i] / bareCpu[i] : 0.0);
    const double viewerMedian = Median(viewerCpu);
    const double bareMedian = Median(bareCpu);
    std::printf("CPU playing at 1x (percent of one core, %d windows of %d ms each side, in "
                "turns; software decoders with %d thread(s) in the viewer, %s in the bare "
                "playbins)\n",
                kCpuWindows, kCpuWindowMs, kirvano::DecoderThreads(),
                gSameDecoders ? "the same" : "libav's default");
    std::printf("  viewer %.1f %% (%.1f-%.1f) | two bare playbins %.1f %% (%.1f-%.1f) | ratio of "
                "the medians %.2f | median ratio of the pairs %.2f (%.2f-%.2f)%s\n",
                viewerMedian, *std::min_element(viewerCpu.begin(), viewerCpu.end()),
                *std::max_element(viewerCpu.begin(), viewerCpu.end()), bareMedian,
                *std::min_element(bareCpu.begin(), bareCpu.end()),
                *std::max_element(bareCpu.begin(), bareCpu.end()),
                bareMedian > 0 ? viewerMedian / bareMedian : 0.0, Median(ratios),
                *std::min_element(ratios.begin(), ratios.end()),
                *std::max_element(ratios.begin(), ratios.end()),
                stillPlaying ? "" : " (playback had ended early!)");
    std::printf("  by thread group, mean of the windows (percent of one core, runs on a CPU a "
                "second): viewer | bare\n");
    std::map<std::string, std::pair<GroupLoad, GroupLoad>> groups;
    for (const auto& [name, load] : viewerGroups)
        groups[name].first = load;
    for (const auto& [name, load] : bareGroups)
        groups[name].second = load;
    for (const auto& [name, load] : groups) {
        const auto& [viewer, bare] = load;
        if (viewer.cpu >= 0.05 || bare.cpu >= 0.05)
            std::printf("    %-20s %5.2f %5.0f/s | %5.2f %5.0f/s\n", name.c_str(), viewer.cpu,
                        viewer.runs, bare.cpu, bare.runs);
    }
    std::printf("  main window's paint passes while playing %.1f a second, for %.1f front "
                "frames a second\n",
                passes.count / viewerSeconds, static_cast<double>(framesPlayed) / viewerSeconds);
    std::printf("longest UI-thread stall while playing             %7.1f ms\n", stallMs);
    std::system(("rm -rf '" + dir + "'").c_str());
    return 0;
}
#else
#include <cstdio>
int main() {
    std::puts("bench_viewer needs the widget build");
    return 0;
}
#endif
