// Set-up shared by the tests that drive the real main window over a generated card: a
// scratch folder holding the configuration, the card itself, the start-up folder in the
// configuration, waiting on the event loop, and the frame number the picture of a video
// window shows, read from the bar code the card generator draws. Needs kirvano-gui and
// tests/support/FrameBarcode.cpp.
#pragma once

#include "app/CtarnicDlg.h"
#include "config/Settings.h"
#include "playback/CMovieStatic.h"
#include "playback/PlaybackEngine.h"
#include "support/FrameBarcode.h"
#include "support/TempDir.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QImage>

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>

namespace kirvano::testing {

// A folder for the test program's life whose "config" folder is the configuration folder;
// it is set up before main, so before any window reads the configuration. Tests that want
// a configuration of their own set KIRVANO_CONFIG_DIR and call ResetConfigDirectoryForTests.
inline TempDir& Scratch() {
    static TempDir dir;
    static const bool configured = [] {
        std::filesystem::create_directories(dir.file("config"));
        return setenv("KIRVANO_CONFIG_DIR", dir.file("config").c_str(), 1) == 0;
    }();
    (void)configured;
    return dir;
}
inline const bool kScratchConfigured = (Scratch(), true);

// Generates a recorder card in dir with kirvano-cli make-card and the given options.
inline bool MakeCard(const std::string& dir, const std::string& options) {
    const std::string command =
        std::string(KIRVANO_CLI) + " make-card '" + dir + "' " + options + " > /dev/null";
    return std::system(command.c_str()) == 0;
}

// Three recordings of `seconds` with 320x240 pictures at 25 frames a second and no sound,
// the first two in one group; true when it was made.
inline bool MakeSmallCard(const std::string& dir, int seconds) {
    return MakeCard(dir, "--recordings 3 --parking 0 --seconds " + std::to_string(seconds) +
                             " --front 320x240@25 --rear 320x240@25 --no-audio");
}

// The folder the next main window opens at start-up.
inline void UseFolder(const std::string& folder) {
    ASSERT_TRUE(WriteSetting("SOURCE", "SELECT", "FOLDER"));
    ASSERT_TRUE(WriteSetting("SOURCE", "FOLDER", folder));
}

inline bool ProcessUntil(const std::function<bool()>& done, int timeoutMs = 8000) {
    QElapsedTimer timer;
    timer.start();
    while (!done() && timer.elapsed() < timeoutMs)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    return done();
}

inline void Wait(int ms) {
    QElapsedTimer timer;
    timer.start();
    while (timer.elapsed() < ms)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
}

// A main window that finds no removable volume (it opens the configured folder).
class CardWindow : public CtarnicDlg {
public:
    CardWindow()
        : CtarnicDlg(nullptr, std::make_unique<FixedVolumes>(std::vector<std::string>{})) {}
};

// The frame number drawn in the picture that the video window of a camera slot shows.
inline std::optional<int> ShownFrameOf(CtarnicDlg& w, int slot) {
    PlaybackEngine* engine = w.Engine(slot);
    if (engine == nullptr)
        return std::nullopt;
    const ViewRect r = engine->displayRect();
    const QImage picture = w.VideoWindow(slot)->grab().toImage();
    // The grab has device pixels; the rectangle is in logical ones.
    const qreal k = picture.devicePixelRatio();
    return ReadFrameBarcode(picture.copy(qRound(r.left * k), qRound(r.top * k),
                                         qRound(r.width() * k), qRound(r.height() * k)));
}

// The frame number drawn in the picture the main video window shows.
inline std::optional<int> ShownFrame(CtarnicDlg& w) {
    return ShownFrameOf(w, w.MainCamera());
}

} // namespace kirvano::testing
