// Saving the pictures both cameras show as JPEG files: the names from the recording and
// the shown frame, the folder chooser and its memory, the overwrite question, the
// messages, and the display held while the dialogs are open and restored in every case.
// Runs on the UI thread.
#pragma once

#include "export/FlowDialogs.h"

#include <array>
#include <cstdint>
#include <string>

namespace kirvano {

class PlaybackEngine;

// One camera's shown picture.
class SnapshotCamera {
public:
    virtual ~SnapshotCamera() = default;
    // Keeps the picture on screen; false when there is none.
    virtual bool Capture() = 0;
    virtual int Width() const = 0;
    virtual int Height() const = 0;
    // Writes the kept picture as a JPEG file (complete or not at all).
    virtual bool SaveJpeg(const std::string& path) = 0;
    virtual void Release() = 0;
};

// The video windows while the dialogs are open.
class SnapshotDisplay {
public:
    virtual ~SnapshotDisplay() = default;
    // Pauses, disables the controls and sizes each video window to its captured picture
    // (a null camera was not captured).
    virtual void Hold(const std::array<SnapshotCamera*, 2>& captured) = 0;
    // Lays the video windows out again, shows them and enables the controls.
    virtual void Restore() = 0;
};

// A camera that is a playback engine: the engine keeps the shown picture while paused.
class EngineSnapshotCamera : public SnapshotCamera {
public:
    explicit EngineSnapshotCamera(PlaybackEngine& engine) : engine_(engine) {}
    bool Capture() override;
    int Width() const override { return width_; }
    int Height() const override { return height_; }
    bool SaveJpeg(const std::string& path) override;
    void Release() override { captured_ = false; }

private:
    PlaybackEngine& engine_;
    bool captured_ = false;
    int width_ = 0;
    int height_ = 0;
};

// folder "/" SnapshotBaseOf(recording) "-%06d" (position) ".jpg"; the folder alone for a
// negative position.
std::string SnapshotFileName(const std::string& folder, const std::string& recordingPath,
                             std::int64_t position);
// The other camera's name: the camera letter 12 characters before the end swapped.
std::string SwapSnapshotCamera(std::string name);

enum class SnapshotOutcome {
    NothingCaptured, // no camera had a picture: nothing happened
    NoFolder,        // the chooser was cancelled
    Declined,        // the overwrite question was not answered with OK
    Saved,           // at least one picture written (message 48)
    Failed,          // nothing written (message 100)
};

struct SnapshotResult {
    SnapshotOutcome outcome = SnapshotOutcome::NothingCaptured;
    std::array<std::string, 2> paths; // the name of each slot's file
    std::array<bool, 2> saved{false, false};
};

// cameras: slot 0 (front) and slot 1 (rear), null where no player is present.
SnapshotResult SaveSnapshots(FlowDialogs& dialogs, SnapshotDisplay& display,
                             const std::array<SnapshotCamera*, 2>& cameras,
                             const std::string& recordingPath, std::int64_t position);

} // namespace kirvano
