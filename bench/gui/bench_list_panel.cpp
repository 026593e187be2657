// The list panel on sources of 2000 recordings: the initial load of a card (load, initial
// selection, the rescans its tree selections cause, and the rows), a camera folder of 2000
// files a minute apart whose first run fills the list with the 200 files a run holds at
// most, a filter change, selections and a full repaint, each beside the widget-free scan
// of the same source where there is one, so that the panel's own share shows.
#include "library/RecordingSource.h"
#include "library/ui/CFileListCtrl.h"
#include "library/ui/CFilerContainerDlg.h"

#include <QApplication>
#include <QImage>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;
namespace fs = std::filesystem;
using kirvano::CFilerContainerDlg;
using kirvano::RecordingSource;
using kirvano::SourceKind;

void Touch(const std::string& path, bool movie) {
    std::string bytes(movie ? 260 : 100, '\0');
    if (movie)
        bytes.replace(0, 8,
                      std::string("\0\0\0\x14"
                                  "ftyp",
                                  8));
    FILE* f = std::fopen(path.c_str(), "wb");
    std::fwrite(bytes.data(), 1, bytes.size(), f);
    std::fclose(f);
}

// 2000 front movies with rear and data companions in folder/{Front,Rear_,Data}: runs of
// 40 files a minute apart, every fifth run an impact run.
void AddRecordings(const std::string& folder, int count) {
    for (const char* camera : {"Front", "Rear_", "Data"})
        fs::create_directories(folder + "/" + camera);
    for (int i = 0; i < count; ++i) {
        const int run = i / 40;
        char base[64];
        std::snprintf(base, sizeof base, "%s-2208%02d-%02d%02d00-%06d",
                      run % 5 == 4 ? "G__" : "A__", 1 + run / 12, 8 + run % 12, i % 40, i + 1);
        Touch(folder + "/Front/" + base + "F.MOV", true);
        Touch(folder + "/Rear_/" + base + "R.MOV", true);
        Touch(folder + "/Data/" + base + "D.ADA", false);
    }
}

double Ms(Clock::duration d) {
    return std::chrono::duration<double, std::milli>(d).count();
}

template <typename F> double MedianMs(int runs, F&& f) {
    std::vector<double> times;
    for (int i = 0; i < runs; ++i) {
        const auto start = Clock::now();
        f();
        times.push_back(Ms(Clock::now() - start));
    }
    std::sort(times.begin(), times.end());
    return times[times.size() / 2];
}

} // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const std::string base =
        (fs::exists("/dev/shm") ? std::string("/dev/shm") : fs::temp_directory_path().string()) +
        "/kirvano-bench-list-" + std::to_string(::getpid());
    const std::string card = base + "/card";
    const std::string flat = base + "/flat";
    AddRecordings(card + "/Normal", 2000);
    fs::create_directories(card + "/Parking");
    fs::create_directories(flat);
    // One drive of 2000 files a minute apart straight in the folder: runs of 200.
    for (int i = 0; i < 2000; ++i) {
        char name[64];
        std::snprintf(name, sizeof name, "%s-220901-%02d%02d00-%06dF.MOV",
                      i % 7 == 3 ? "G__" : "A__", 8 + i / 60, i % 60, i + 1);
        Touch(flat + "/" + name, true);
    }

    CFilerContainerDlg panel;
    panel.CreateChildren(nullptr);
    panel.SetLayout(0, QRect(0, 0, 452, 289));
    panel.show();
    QApplication::processEvents();
    const int runs = 15;

    const double coreCard = MedianMs(runs, [&] {
        RecordingSource source;
        source.LoadSource(card, SourceKind::Card);
        if (auto item = source.SelectInitialItem())
            source.ExpandTreeItem(*item);
    });
    const double panelCard = MedianMs(runs, [&] {
        panel.LoadSource(card, SourceKind::Card);
        panel.SelectInitialItem();
    });
    std::printf(
        "card of 2000 recordings: load + initial run (%d rows, %d tree items)\n", panel.ItemCount(),
        panel.Source().tree().size() > 0 ? static_cast<int>(panel.Source().tree().size()) : 0);
    std::printf("  scan alone %.2f ms, panel %.2f ms (%.2fx)\n", coreCard, panelCard,
                panelCard / coreCard);

    const auto firstRun = [&] {
        const kirvano::FolderTree& tree = panel.Source().tree();
        const auto top = tree.firstChild(kirvano::kTreeRoot);
        const auto run = top ? tree.firstChild(*top) : std::nullopt;
        if (run)
            panel.ExpandTreeItem(*run);
    };
    const double coreFlat = MedianMs(runs, [&] {
        RecordingSource source;
        source.LoadSource(flat, SourceKind::Folder);
        const auto top = source.tree().firstChild(kirvano::kTreeRoot);
        if (const auto run = top ? source.tree().firstChild(*top) : std::nullopt)
            source.ExpandTreeItem(*run);
    });
    const double panelFlat = MedianMs(runs, [&] {
        panel.LoadSource(flat, SourceKind::Folder);
        firstRun();
    });
    std::printf("folder of 2000 recordings: load + first run (%d rows)\n", panel.ItemCount());
    std::printf("  scan alone %.2f ms, panel %.2f ms (%.2fx)\n", coreFlat, panelFlat,
                panelFlat / coreFlat);

    const double filter = MedianMs(runs, [&] {
        panel.SetFilter(0, false);
        panel.SetFilter(0, true);
    });
    std::printf("  filter off and on again over %zu records: %.3f ms\n",
                panel.AllRecordings().size(), filter);
    QImage image(panel.size(), QImage::Format_ARGB32_Premultiplied);
    const double paint = MedianMs(runs, [&] { panel.render(&image); });
    std::printf("  repaint of panel, tree and visible rows: %.3f ms\n", paint);
    const double scroll = MedianMs(runs, [&] {
        panel.SelectRecording(panel.ItemCount() - 1);
        panel.SelectRecording(0);
        QApplication::processEvents();
    });
    std::printf("  select the last row and the first again (scrolled into view): %.3f ms\n",
                scroll);

    std::error_code ec;
    fs::remove_all(base, ec);
    return 0;
}
