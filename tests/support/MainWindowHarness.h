// What the tests of the real main window share: waiting while the event loop runs, a small
// generated recorder card, and the frame number the main video window shows, read from the
// bar code the card generator draws. Needs kirvano-gui and tests/support/FrameBarcode.cpp.
#pragma once

#include "app/CtarnicDlg.h"
#include "playback/CMovieStatic.h"
#include "playback/PlaybackEngine.h"
#include "support/FrameBarcode.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QImage>

#include <cstdlib>
#include <functional>
#include <optional>
#include <string>

namespace kirvano::testing {

// Runs the event loop until done() holds or the time is up; done() at the end.
inline bool ProcessUntil(const std::function<bool()>& done, int timeoutMs = 8000) {
    QElapsedTimer timer;
    timer.start();
    while (!done() && timer.elapsed() < timeoutMs)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    return done();
}

// `kirvano-cli make-card DIR` with 320x240 pictures at 25 frames a second and no sound:
// three recordings of `seconds`, the first two in one group; true when it was made.
inline bool MakeSmallCard(const std::string& dir, int seconds) {
    const std::string command = std::string(KIRVANO_CLI) + " make-card '" + dir +
                                "' --recordings 3 --parking 0 --seconds " +
                                std::to_string(seconds) +
                                " --front 320x240@25 --rear 320x240@25 --no-audio > /dev/null 2>&1";
    return std::system(command.c_str()) == 0;
}

// The frame number drawn in the picture the main video window shows.
inline std::optional<int> ShownFrame(CtarnicDlg& w) {
    PlaybackEngine* engine = w.Engine(w.MainCamera());
    if (engine == nullptr)
        return std::nullopt;
    const ViewRect r = engine->displayRect();
    const QImage picture = w.VideoWindow(w.MainCamera())->grab().toImage();
    return ReadFrameBarcode(picture.copy(r.left, r.top, r.width(), r.height()));
}

} // namespace kirvano::testing
