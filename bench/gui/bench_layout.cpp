// The main window's display modes on a generated card while a recording plays: a layout
// change by the layout button (children moved, video rectangles applied, the window
// repainted) and entering and leaving full screen, each as the time until the window has
// handled it and painted its next picture.
#include "app/CtarnicDlg.h"
#include "config/Settings.h"
#include "library/RemovableVolumes.h"
#include "ui/CSkinButton.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QPixmap>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

double Median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values.empty() ? 0.0 : values[values.size() / 2];
}

bool ProcessUntil(const std::function<bool()>& done, int timeoutMs) {
    QElapsedTimer timer;
    timer.start();
    while (!done() && timer.elapsed() < timeoutMs)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    return done();
}

// One change: run it, then paint the whole window once (what the user waits for).
double TimeChange(kirvano::CtarnicDlg& w, const std::function<void()>& change) {
    const auto start = Clock::now();
    change();
    w.grab(); // paints every child into a pixmap
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

} // namespace

int main(int argc, char** argv) {
    const int rounds = argc > 1 ? std::max(1, std::atoi(argv[1])) : 10;
    const std::filesystem::path scratch = std::filesystem::temp_directory_path() /
                                          ("kirvano-bench-layout-" + std::to_string(getpid()));
    std::filesystem::create_directories(scratch / "config");
    setenv("KIRVANO_CONFIG_DIR", (scratch / "config").c_str(), 1);
    const std::string card = (scratch / "card").string();
    const std::string command = std::string(KIRVANO_CLI) + " make-card '" + card +
                                "' --recordings 1 --parking 0 --seconds 20 --front 1280x720@30"
                                " --rear 640x360@30 > /dev/null";
    if (std::system(command.c_str()) != 0) {
        std::fprintf(stderr, "make-card failed\n");
        return 1;
    }
    QApplication app(argc, argv);
    kirvano::WriteSetting("SOURCE", "SELECT", "FOLDER");
    kirvano::WriteSetting("SOURCE", "FOLDER", card + "/Normal");
    int code = 0;
    {
        kirvano::CtarnicDlg w(nullptr,
                              std::make_unique<kirvano::FixedVolumes>(std::vector<std::string>{}));
        w.show();
        if (!ProcessUntil([&] { return w.Ready(); }, 15000)) {
            std::fprintf(stderr, "the recording did not open\n");
            code = 1;
        } else {
            w.OnCommand(kirvano::kCmdPlay);
            std::vector<double> layout;
            std::vector<double> full;
            for (int i = 0; i < rounds; ++i) {
                for (int k = 0; k < 3; ++k) {
                    layout.push_back(
                        TimeChange(w, [&] { w.Button(kirvano::kCmdLayout)->click(); }));
                    ProcessUntil([] { return false; }, 50);
                }
                full.push_back(TimeChange(w, [&] { w.ToggleFullScreen(); }));
                ProcessUntil([] { return false; }, 50);
                full.push_back(TimeChange(w, [&] { w.ToggleFullScreen(); }));
                ProcessUntil([] { return false; }, 50);
            }
            std::printf("{\"layout_change_ms_median\": %.2f, \"layout_change_ms_max\": %.2f, "
                        "\"full_screen_toggle_ms_median\": %.2f, \"changes\": %zu, "
                        "\"toggles\": %zu, \"playing\": true}\n",
                        Median(layout), *std::max_element(layout.begin(), layout.end()),
                        Median(full), layout.size(), full.size());
        }
    }
    std::filesystem::remove_all(scratch);
    return code;
}
