// Map benchmark: time to the first map shown, drawing a group track of 100 one-minute
// recordings (60 000 fixes), UI-thread time per second of playback spent on the map, and the
// resident memory of the browser's processes. Runs on the offscreen platform against a
// tile server on loopback.
#include "map/CGoogleMapDlg2.h"
#include "map/CGoogleMapDlgWrap.h"
#include "map/CInetConnectionAsync.h"
#include "support/LoopbackTileServer.h"
#include "ui/AppMessage.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QWebEnginePage>
#include <QWebEngineView>

#include <cmath>
#include <cstdio>
#include <ctime>
#include <fstream>
#include <functional>
#include <map>
#include <sstream>
#include <string>
#include <unistd.h>

using namespace kirvano;

namespace {

class Owner : public QObject {
public:
    int ready = 0;

protected:
    bool event(QEvent* e) override {
        if (IsAppMessage(e)) {
            ready += static_cast<AppMessage*>(e)->message() == WM_APP_MAP_READY ? 1 : 0;
            return true;
        }
        return QObject::event(e);
    }
};

// Counts the time the UI thread spends in the map's host calls.
class TimedMap : public CGoogleMapDlgWrap {
public:
    using CGoogleMapDlgWrap::CGoogleMapDlgWrap;
    double hostMs = 0;
    int calls = 0;

    template <typename F> auto Timed(F f) {
        QElapsedTimer t;
        t.start();
        struct Add {
            TimedMap* self;
            QElapsedTimer& t;
            ~Add() {
                self->hostMs += t.nsecsElapsed() / 1e6;
                ++self->calls;
            }
        } add{this, t};
        return f();
    }
    int ConnectTest() override {
        return Timed([&] { return CGoogleMapDlgWrap::ConnectTest(); });
    }
    std::string GetRelJpgNum() override {
        return Timed([&] { return CGoogleMapDlgWrap::GetRelJpgNum(); });
    }
    void SetSend() override {
        Timed([&] { CGoogleMapDlgWrap::SetSend(); });
    }
    std::optional<std::string> GetGPSData() override {
        return Timed([&] { return CGoogleMapDlgWrap::GetGPSData(); });
    }
    std::optional<std::string> GetGridData(const std::string& s) override {
        return Timed([&] { return CGoogleMapDlgWrap::GetGridData(s); });
    }
};

bool WaitFor(const std::function<bool()>& condition, int ms) {
    QElapsedTimer timer;
    timer.start();
    while (!condition()) {
        if (timer.elapsed() > ms)
            return false;
        QTest::qWait(5);
    }
    return true;
}

QVariant Js(QWebEngineView* view, const QString& script) {
    QVariant result;
    bool done = false;
    view->page()->runJavaScript(script, [&](const QVariant& v) {
        result = v;
        done = true;
    });
    WaitFor([&] { return done; }, 60000);
    return result;
}

double ThreadCpuMs() {
    timespec ts{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
    return ts.tv_sec * 1e3 + ts.tv_nsec / 1e6;
}

// Resident KiB of pid and all its descendants.
long TreeRssKiB(pid_t root) {
    std::map<pid_t, pid_t> parent;
    std::map<pid_t, long> rss;
    for (const QString& entry : QDir("/proc").entryList(QDir::Dirs)) {
        bool ok = false;
        const pid_t pid = entry.toInt(&ok);
        if (!ok)
            continue;
        std::ifstream status("/proc/" + entry.toStdString() + "/status");
        std::string line;
        while (std::getline(status, line)) {
            std::istringstream in(line);
            std::string key;
            in >> key;
            if (key == "PPid:")
                in >> parent[pid];
            else if (key == "VmRSS:")
                in >> rss[pid];
        }
    }
    long total = 0;
    for (auto [pid, kib] : rss) {
        for (pid_t p = pid; p > 1; p = parent.count(p) ? parent[p] : 0) {
            if (p == root) {
                total += kib;
                break;
            }
        }
    }
    return total;
}

// Times the phases of a track redraw inside the page by wrapping the page's functions: the
// host calls' transfer (the blocking request the program answers; a tick's calls falling
// into the redraw count too) and parsing, reading the position arrays, splitting them,
// creating the polylines, moving the position marker (which pans the map), and the first
// frame after the scripts.
const char* const kPhaseProbe = R"JS((function () {
    var now = function () { return performance.now(); };
    var p = window.kirvanoPhases = {};
    p.reset = function () {
        p.transfer = p.parse = p.points = p.group = p.draw = p.marker = p.remove = 0;
        p.start = -1;
        p.painted = false;
    };
    p.done = function () {
        p.scripts = now() - p.start;
    };
    function timed(owner, name, key) {
        var inner = owner[name];
        owner[name] = function () {
            var t = now();
            if (p.start < 0)
                p.start = t;
            try {
                return inner.apply(this, arguments);
            } finally {
                p[key] += now() - t;
            }
        };
    }
    timed(XMLHttpRequest.prototype, "send", "transfer");
    timed(JSON, "parse", "parse");
    timed(PointList.prototype, "GetPoints", "points");
    timed(OrbitGrpList.prototype, "GetOrbitGroup", "group");
    timed(PointList.prototype, "DrawGridLine", "draw");
    timed(window, "loadMarker", "marker");
    timed(window, "removeLines", "remove");
    p.waitPaint = function () {
        requestAnimationFrame(function () {
            setTimeout(function () {
                p.paintedAt = now();
                p.painted = true;
            }, 0);
        });
    };
    p.text = function () {
        var f = function (v) { return v.toFixed(1); };
        return "transfer " + f(p.transfer) + ", parse " + f(p.parse) + ", points " +
            f(p.points) + ", split " + f(p.group) + ", polylines " + f(p.draw) +
            ", position marker " + f(p.marker) + ", removing lines " + f(p.remove) +
            "; scripts " + f(p.scripts) + ", to the next frame " + f(p.paintedAt - p.start) +
            " ms";
    };
    p.reset();
})())JS";

std::vector<PositionSample> Drive(int fixes, double lat0, double lng0) {
    std::vector<PositionSample> out;
    out.reserve(fixes);
    for (int i = 0; i < fixes; ++i) {
        PositionSample p;
        // Ten fixes a second at about 50 km/h along a gentle curve; a jump every minute.
        const int minute = i / 600;
        const double t = i * 1e-5;
        p.latitude = lat0 + t * 0.9 + minute * 0.002;
        p.longitude = lng0 + t * 1.2 + 0.0005 * std::sin(i / 300.0);
        p.frame = (i % 600) * 3;
        p.gps_valid = 1;
        out.push_back(p);
    }
    return out;
}

} // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    if (qgetenv("QTWEBENGINE_CHROMIUM_FLAGS").isEmpty())
        qputenv("QTWEBENGINE_CHROMIUM_FLAGS", "--disable-gpu");
    QTemporaryDir home;
    qputenv("XDG_CACHE_HOME", home.path().toUtf8());
    QApplication app(argc, argv);
    testing::LoopbackTileServer server;
    Owner owner;
    QWidget window;
    window.resize(452, 368);
    window.show();

    MapTileSettings settings;
    settings.tileUrl = server.TileUrl();
    settings.attribution = "bench";
    settings.cacheFolder = home.path() + "/tiles";
    settings.cacheBytes = 64 << 20;
    const long rssBefore = TreeRssKiB(getpid());

    // The watcher starts with the main window, long before the map is first shown.
    TimedMap map(&window, &owner, settings);
    map.MapWindow()->setGeometry(0, 0, 452, 368);
    WaitFor([&] { return map.Watcher()->ProbesDone() > 0; }, 10000);
    QElapsedTimer clock;
    clock.start();
    map.ShowMap(true);
    if (!WaitFor([&] { return owner.ready > 0; }, 30000)) {
        std::printf("map never became ready\n");
        return 1;
    }
    std::printf("first map shown (create to ready):          %8.1f ms\n",
                clock.nsecsElapsed() / 1e6);
    QWebEngineView* view = map.MapWindow()->holder().view();

    // Group track of 100 one-minute recordings plus the current recording.
    const std::vector<PositionSample> group = Drive(60000, 35.0, 139.0);
    map.SetGroupTrack(group);
    map.SetCurrentTrack(std::vector<PositionSample>(group.begin(), group.begin() + 600));
    map.SetPosition(900, std::make_pair(group[300].latitude, group[300].longitude));
    Js(view, kPhaseProbe);
    for (int run = 0; run < 3; ++run) {
        map.SetGroupTrack(group);
        map.hostMs = 0;
        Js(view, "kirvanoPhases.reset()");
        clock.restart();
        map.RedrawTracks(0, true);
        const int lines = Js(view, "kirvanoPhases.done(), orbitgrplist.grpline.length").toInt();
        const double scriptMs = clock.nsecsElapsed() / 1e6;
        Js(view, "kirvanoPhases.waitPaint()");
        WaitFor([&] { return Js(view, "kirvanoPhases.painted").toBool(); }, 30000);
        std::printf("group track, 60 000 fixes, %3d segments:    %8.1f ms (host side %.1f ms)\n",
                    lines, scriptMs, map.hostMs);
        std::printf("  in the page: %s\n",
                    Js(view, "kirvanoPhases.text()").toString().toUtf8().constData());
    }

    // "--tracks": the track figures only.
    if (argc > 1 && std::string(argv[1]) == "--tracks")
        return 0;

    // Playback: a 30 ms position update for 10 s, as the main window's tick does.
    QTest::qWait(1500);
    const int seconds = 10;
    auto measure = [&](bool playing) {
        map.hostMs = 0;
        map.calls = 0;
        int frame = 0;
        QTimer tick;
        QObject::connect(&tick, &QTimer::timeout, [&] {
            if (!playing)
                return;
            frame += 1;
            const PositionSample& p = group[static_cast<std::size_t>(frame / 3 % 600)];
            QElapsedTimer t;
            t.start();
            map.SetPosition(frame, std::make_pair(p.latitude, p.longitude));
            map.hostMs += t.nsecsElapsed() / 1e6;
        });
        tick.start(30);
        const double cpu0 = ThreadCpuMs();
        QTest::qWait(seconds * 1000);
        return std::make_pair((ThreadCpuMs() - cpu0) / seconds, map.hostMs / seconds);
    };
    const auto [idleCpu, idleHost] = measure(false);
    const auto [playCpu, playHost] = measure(true);
    std::printf("playback, per second: map calls on the UI thread %6.2f ms (%d host calls in "
                "%d s)\n",
                playHost, map.calls, seconds);
    std::printf("playback, per second: UI-thread CPU %6.1f ms playing, %6.1f ms idle map\n",
                playCpu, idleCpu);
    (void)idleHost;
    const long rssAfter = TreeRssKiB(getpid());
    std::printf("resident memory: browser processes and program %ld MiB (program before map "
                "%ld MiB)\n",
                rssAfter / 1024, rssBefore / 1024);
    return 0;
}
