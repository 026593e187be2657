// Playback engine figures beside a bare playbin in the same run: open to first frame,
// paused seek latency (median, 95th percentile), single-step latency; with front and
// rear playing together for 20 s at 1x and at 2x the largest difference of their shown
// frames and the gap between their schedules, and at 1x the CPU use beside two bare
// playbins and the resident size.
#if __has_include(<gst/gst.h>)
#include "playback/EngineBroadcast.h"
#include "playback/PlaybackEngine.h"
#include "playback/platform/GstPipeline.h"
#include "support/ShownFrameTimes.h"

#include <gst/gst.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <optional>
#include <random>
#include <string>
#include <sys/resource.h>
#include <thread>
#include <unistd.h>
#include <vector>

using namespace kirvano;
using Clock = std::chrono::steady_clock;

namespace {

double Ms(Clock::duration d) {
    return std::chrono::duration<double, std::milli>(d).count();
}

double Percentile(std::vector<double> v, double p) {
    std::sort(v.begin(), v.end());
    return v.empty() ? 0 : v[std::min(v.size() - 1, static_cast<std::size_t>(p * v.size()))];
}

bool MakeMovie(const std::string& path, const char* size, const char* rate, bool bFrames,
               int seconds) {
    const std::string d = std::to_string(seconds);
    const std::string command =
        std::string("ffmpeg -v error -y -f lavfi -i \"nullsrc=s=16x8:r=") + rate + ":d=" + d +
        ",format=gray,geq=lum='255*mod(floor(N/pow(2\\,floor(X*16/W)))\\,2)',scale=" + size +
        ":flags=neighbor,noise=alls=12:allf=t\" -f lavfi -i sine=duration=" + d +
        " -c:a aac -shortest -c:v libx264 -preset veryfast -pix_fmt yuv420p -g 30 " +
        (bFrames ? "-bf 2 " : "-bf 0 ") + "'" + path + "'";
    return std::system(command.c_str()) == 0;
}

double CpuSeconds() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_utime.tv_sec + usage.ru_stime.tv_sec +
           (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

long ResidentKiB() {
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line))
        if (line.rfind("VmRSS:", 0) == 0)
            return std::atol(line.c_str() + 6);
    return 0;
}

bool WaitAsync(GstElement* bin) {
    GstBus* bus = gst_element_get_bus(bin);
    GstMessage* m = gst_bus_timed_pop_filtered(
        bus, 5 * GST_SECOND,
        static_cast<GstMessageType>(GST_MESSAGE_ASYNC_DONE | GST_MESSAGE_ERROR));
    const bool ok = m && GST_MESSAGE_TYPE(m) == GST_MESSAGE_ASYNC_DONE;
    if (m)
        gst_message_unref(m);
    gst_object_unref(bus);
    return ok;
}

GstElement* BarePlaybin(const std::string& path) {
    gchar* uri = gst_filename_to_uri(path.c_str(), nullptr);
    GstElement* bin = gst_element_factory_make("playbin", nullptr);
    GstElement* sink = gst_element_factory_make("fakesink", nullptr);
    g_object_set(sink, "sync", TRUE, nullptr);
    guint flags = 0;
    g_object_get(bin, "flags", &flags, nullptr);
    g_object_set(bin, "uri", uri, "video-sink", sink, "flags", (flags | 0x1000u) & ~0x4u, nullptr);
    g_free(uri);
    return bin;
}

// A video window of a given size that ignores what is posted to it.
class BenchWindow : public EngineWindow {
public:
    explicit BenchWindow(ViewRect client) : client_(client) {}
    void PostToWindow(int, std::intptr_t, std::intptr_t) override {}
    void PostToOwner(int, std::intptr_t, std::intptr_t) override {}
    ViewRect ClientRect() const override { return client_; }
    void RequestRepaint() override {}

private:
    ViewRect client_;
};

struct Figures {
    double median = 0, p95 = 0;
};

void Report(const char* what, const Figures& engine, const Figures& bare) {
    std::printf(
        "%-34s engine median %7.1f ms p95 %7.1f ms | bare playbin median %7.1f ms p95 %7.1f ms\n",
        what, engine.median, engine.p95, bare.median, bare.p95);
}

} // namespace

// bench_playback [DIR]: the movies are made in DIR and kept there for the next run (made
// in a temporary folder and removed without it).
int main(int argc, char** argv) {
    std::setvbuf(stdout, nullptr, _IONBF, 0);
    gst_init(nullptr, nullptr);
    char pattern[] = "/tmp/kirvano-bench-XXXXXX";
    const bool keep = argc > 1;
    const std::string dir = keep ? argv[1] : mkdtemp(pattern);
    const std::string bf = dir + "/AGS-220801-123456-000123F.MOV";
    const std::string plain = dir + "/plain.MOV";
    const std::string rear = dir + "/AGS-220801-123456-000123R.MOV";
    // Front and rear last long enough for 20 s of playing at 2x.
    std::system(("mkdir -p '" + dir + "'").c_str());
    if (!(keep && access((dir + "/done").c_str(), F_OK) == 0) &&
        (!MakeMovie(bf, "1920:1080", "30000/1001", true, 42) ||
         !MakeMovie(plain, "1920:1080", "30000/1001", false, 10) ||
         !MakeMovie(rear, "1280:720", "28", false, 42) ||
         std::system(("touch '" + dir + "/done'").c_str()) != 0)) {
        std::fprintf(stderr, "ffmpeg failed\n");
        return 1;
    }
    std::mt19937 random(3);
    // A part alone: seek, together (front and rear) or cpu (together and the bare playbins).
    const std::string only = argc > 2 ? argv[2] : "";
    const bool seekPart = only.empty() || only == "seek";
    const bool togetherPart = only.empty() || only == "together" || only == "cpu";
    const bool cpuPart = only.empty() || only == "cpu";

    for (const auto& [name, path] :
         {std::pair{"1080p with B-frames", bf}, std::pair{"1080p without B-frames", plain}}) {
        if (!seekPart)
            break;
        std::vector<double> open, seek, step, bareOpen, bareSeek, bareKeySeek;
        for (int round = 0; round < 5; ++round) {
            PlaybackEngine engine(0, GstPipelineFactory());
            engine.Init(nullptr, "Noto Sans CJK JP");
            auto t = Clock::now();
            if (!engine.Open(path)) {
                std::fprintf(stderr, "the engine did not open %s: %s\n", path.c_str(),
                             engine.lastError().c_str());
                return 1;
            }
            open.push_back(Ms(Clock::now() - t));
            GstElement* bin = BarePlaybin(path);
            t = Clock::now();
            gst_element_set_state(bin, GST_STATE_PAUSED);
            WaitAsync(bin);
            bareOpen.push_back(Ms(Clock::now() - t));
            if (round == 0) {
                const std::int64_t count = engine.GetFrameCount();
                for (int i = 0; i < 50; ++i) {
                    const std::int64_t n =
                        std::uniform_int_distribution<std::int64_t>(0, count - 2)(random);
                    t = Clock::now();
                    engine.SetPosition(n);
                    seek.push_back(Ms(Clock::now() - t));
                    t = Clock::now();
                    engine.SetPosition(n + 1);
                    step.push_back(Ms(Clock::now() - t));
                    const double fd = engine.GetFrameDuration() * 1e6;
                    t = Clock::now();
                    gst_element_seek_simple(
                        bin, GST_FORMAT_TIME,
                        static_cast<GstSeekFlags>(GST_SEEK_FLAG_FLUSH | GST_SEEK_FLAG_ACCURATE),
                        static_cast<gint64>((n + 0.5) * fd));
                    WaitAsync(bin);
                    bareSeek.push_back(Ms(Clock::now() - t));
                    // The same to the key frame before: all but the decoding from there.
                    t = Clock::now();
                    gst_element_seek_simple(bin, GST_FORMAT_TIME,
                                            static_cast<GstSeekFlags>(GST_SEEK_FLAG_FLUSH |
                                                                      GST_SEEK_FLAG_KEY_UNIT |
                                                                      GST_SEEK_FLAG_SNAP_BEFORE),
                                            static_cast<gint64>((n + 0.5) * fd));
                    WaitAsync(bin);
                    bareKeySeek.push_back(Ms(Clock::now() - t));
                }
            }
            gst_element_set_state(bin, GST_STATE_NULL);
            gst_object_unref(bin);
        }
        std::printf("== %s\n", name);
        Report("open to first frame", {Percentile(open, 0.5), Percentile(open, 0.95)},
               {Percentile(bareOpen, 0.5), Percentile(bareOpen, 0.95)});
        Report("paused seek", {Percentile(seek, 0.5), Percentile(seek, 0.95)},
               {Percentile(bareSeek, 0.5), Percentile(bareSeek, 0.95)});
        std::printf("%-34s engine median %7.1f ms p95 %7.1f ms\n", "single step",
                    Percentile(step, 0.5), Percentile(step, 0.95));
        std::printf("%-34s                                  | bare playbin median %7.1f ms p95 "
                    "%7.1f ms\n",
                    "paused seek to the key frame before", Percentile(bareKeySeek, 0.5),
                    Percentile(bareKeySeek, 0.95));
    }

    // Both engines playing 20 s: at 1x without windows for the CPU use and the resident
    // size (beside two bare playbins afterwards), then at 1x and 2x with windows (pictures
    // converted for the screen, as in the viewer) for the largest difference of the shown
    // frames (rear against front x factor) and the gap between the two schedules.
    double engineCpu = 0;
    long rss = 0;
    if (togetherPart) {
        std::printf("== front 1080p 29.97 fps + rear 720p 28 fps together, 20 s each\n");
        for (const auto& [code, windowed] :
             {std::pair<int, bool>{kRateNormal, false}, std::pair<int, bool>{kRateNormal, true},
              std::pair<int, bool>{kRateDouble, true}}) {
            if (!windowed && !cpuPart)
                continue;
            BenchWindow frontWindow({0, 0, 960, 540});
            BenchWindow rearWindow({0, 0, 480, 270});
            PlaybackEngine front(0, GstPipelineFactory());
            PlaybackEngine back(1, GstPipelineFactory());
            front.Init(windowed ? &frontWindow : nullptr, "Noto Sans CJK JP");
            back.Init(windowed ? &rearWindow : nullptr, "Noto Sans CJK JP");
            EngineBroadcast both(&front, &back);
            if (!both.Open(bf) || !both.open(1)) {
                std::fprintf(stderr, "the engines did not open front and rear\n");
                return 1;
            }
            const float k = both.scale(1).factor;
            both.SetRate(code);
            both.SetPosition(0);
            const double cpu0 = CpuSeconds();
            const auto t0 = Clock::now();
            both.Play();
            // Not watched while the CPU is measured: the watch polls every half millisecond.
            std::optional<kirvano::testing::ShownFrameTimes> times;
            if (windowed)
                times.emplace(std::vector<PlaybackEngine*>{&front, &back});
            std::int64_t worst = 0;
            int compared = 0, overOne = 0;
            while (Clock::now() - t0 < std::chrono::seconds(20)) {
                std::this_thread::sleep_for(std::chrono::milliseconds(20));
                const std::int64_t f1 = front.GetPosition();
                const std::int64_t r = back.GetPosition();
                const std::int64_t f2 = front.GetPosition();
                if (f1 != f2)
                    continue; // the front moved between the reads
                const std::int64_t difference = std::llabs(ScaledPosition(f1, k) - r);
                worst = std::max(worst, difference);
                overOne += difference > 1;
                ++compared;
                if (!windowed)
                    rss = std::max(rss, ResidentKiB());
            }
            if (!windowed) {
                engineCpu = (CpuSeconds() - cpu0) / (Ms(Clock::now() - t0) / 1000.0) * 100.0;
                continue;
            }
            times->Stop();
            const auto gap =
                times->Gap(0, front.GetFrameDuration() / code, 1, back.GetFrameDuration() / code);
            std::printf("at %dx: largest difference %lld frame(s), over one frame in %d of %d "
                        "readings; rear schedule %+.1f ms from the front's (front at frame "
                        "%lld)\n",
                        code, static_cast<long long>(worst), overOne, compared, gap.value_or(0.0),
                        static_cast<long long>(front.GetPosition()));
        }
    }
    if (cpuPart) {
        GstElement* a = BarePlaybin(bf);
        GstElement* b = BarePlaybin(rear);
        gst_element_set_state(a, GST_STATE_PAUSED);
        gst_element_set_state(b, GST_STATE_PAUSED);
        WaitAsync(a);
        WaitAsync(b);
        const double bare0 = CpuSeconds();
        const auto t0 = Clock::now();
        gst_element_set_state(a, GST_STATE_PLAYING);
        gst_element_set_state(b, GST_STATE_PLAYING);
        std::this_thread::sleep_for(std::chrono::seconds(20));
        const double bareCpu = (CpuSeconds() - bare0) / (Ms(Clock::now() - t0) / 1000.0) * 100.0;
        gst_element_set_state(a, GST_STATE_NULL);
        gst_element_set_state(b, GST_STATE_NULL);
        gst_object_unref(a);
        gst_object_unref(b);
        std::printf("CPU at 1x (percent of one core)    engines %.1f %% | bare playbins %.1f %% | "
                    "ratio %.2f\n",
                    engineCpu, bareCpu, bareCpu > 0 ? engineCpu / bareCpu : 0.0);
        std::printf("resident size, both playing        %.1f MiB\n", rss / 1024.0);
    }
    if (!keep)
        std::system(("rm -rf '" + dir + "'").c_str());
    return 0;
}
#else
#include <cstdio>
int main() {
    std::puts("bench_playback needs the media build (GStreamer)");
    return 0;
}
#endif
