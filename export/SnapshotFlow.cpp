#include "export/SnapshotFlow.h"

#include "config/Settings.h"
#include "library/RecordingName.h"
#include "playback/PlaybackEngine.h"
#include "ui/UiText.h"

#include <sys/stat.h>

#include <cstdio>

namespace kirvano {
namespace {

bool Exists(const std::string& path) {
    struct stat info {};
    return ::lstat(path.c_str(), &info) == 0;
}

} // namespace

bool EngineSnapshotCamera::Capture() {
    captured_ = engine_.hasPicture();
    const VideoSize size = engine_.GetVideoSize();
    width_ = captured_ ? size.width : 0;
    height_ = captured_ ? size.height : 0;
    return captured_;
}

bool EngineSnapshotCamera::SaveJpeg(const std::string& path) {
    return captured_ && engine_.SaveSnapshot(path);
}

std::string SnapshotFileName(const std::string& folder, const std::string& recordingPath,
                             std::int64_t position) {
    std::string name = folder;
    if (position < 0)
        return name;
    if (name.empty() || name.back() != '/')
        name += '/';
    char number[32];
    std::snprintf(number, sizeof number, "-%06lld", static_cast<long long>(position));
    return name + SnapshotBaseOf(recordingPath) + number + ".jpg";
}

std::string SwapSnapshotCamera(std::string name) {
    if (name.size() >= 12) {
        char& letter = name[name.size() - 12];
        if (letter == 'F')
            letter = 'R';
        else if (letter == 'R')
            letter = 'F';
    }
    return name;
}

SnapshotResult SaveSnapshots(FlowDialogs& dialogs, SnapshotDisplay& display,
                             const std::array<SnapshotCamera*, 2>& cameras,
                             const std::string& recordingPath, std::int64_t position) {
    SnapshotResult result;
    std::array<SnapshotCamera*, 2> captured{nullptr, nullptr};
    for (std::size_t slot = 0; slot < 2; ++slot)
        if (cameras[slot] && cameras[slot]->Capture())
            captured[slot] = cameras[slot];
    if (!captured[0] && !captured[1])
        return result;

    // Whatever happens below, the display comes back and the pictures are let go.
    struct Restorer {
        SnapshotDisplay& display;
        const std::array<SnapshotCamera*, 2>& captured;
        ~Restorer() {
            display.Restore();
            for (SnapshotCamera* camera : captured)
                if (camera)
                    camera->Release();
        }
    } restorer{display, captured};
    display.Hold(captured);

    const std::string folder = dialogs.ChooseFolder("FOLDERPATH", "SNAPSHOT_FOLDER", UiText(102));
    if (folder.empty()) {
        result.outcome = SnapshotOutcome::NoFolder;
        return result;
    }
    result.paths[0] = SnapshotFileName(folder, recordingPath, position);
    result.paths[1] = SwapSnapshotCamera(result.paths[0]);
    if (position >= 0) {
        // Either camera's file would be replaced: ask once.
        if ((captured[0] && Exists(result.paths[0])) || (captured[1] && Exists(result.paths[1]))) {
            if (!dialogs.Message(UiText(93), UiText(106), true)) {
                result.outcome = SnapshotOutcome::Declined;
                return result;
            }
        }
        for (std::size_t slot = 0; slot < 2; ++slot)
            if (captured[slot])
                result.saved[slot] = captured[slot]->SaveJpeg(result.paths[slot]);
    }
    if (result.saved[0] || result.saved[1]) {
        WriteSetting("FOLDERPATH", "SNAPSHOT_FOLDER", folder);
        result.outcome = SnapshotOutcome::Saved;
        dialogs.Message(UiText(48), UiText(49), false);
    } else {
        result.outcome = SnapshotOutcome::Failed;
        dialogs.Message(UiText(100), "ERROR", false);
    }
    return result;
}

} // namespace kirvano
