// What a playback engine needs from its media pipeline and from its video window. The
// engine state machine is written against these interfaces, so tests drive it with a
// fake pipeline and the viewer with the GStreamer one.
#pragma once

#include "base/Result.h"
#include "playback/PlaybackTypes.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

namespace kirvano {

class VideoPresenter; // playback/VideoPresenter.h, media builds only

// The engine's video window. Post functions may be called from any thread.
class EngineWindow {
public:
    virtual ~EngineWindow() = default;
    // Posts an engine message to the window itself.
    virtual void PostToWindow(int message, std::intptr_t wParam, std::intptr_t lParam) = 0;
    // Posts a message to the window's owner (the main window).
    virtual void PostToOwner(int message, std::intptr_t wParam, std::intptr_t lParam) = 0;
    virtual ViewRect ClientRect() const = 0;
    // Asks for the picture to be painted again; any thread.
    virtual void RequestRepaint() = 0;
};

// Things the pipeline reports from its own threads.
enum class PipelineEvent { Ready, Ended, Failed };

class MediaPipeline {
public:
    virtual ~MediaPipeline() = default;

    // Builds the pipeline on path and shows the first frame. The error text of a failure
    // is the message the viewer shows.
    virtual Status Open(const std::string& path, EngineWindow* window) = 0;
    // Whether the last failed open failed while the pipeline was built (a missing element
    // or decoder: the viewer tells the user) rather than on the file's contents (quiet).
    virtual bool SetUpFailed() const { return false; }
    // Releases everything; returns within the given time whatever the pipeline does.
    virtual void Close(int timeoutMs) = 0;

    // The frame duration the pipeline found in the stream (ms), 0 when unknown.
    virtual float DetectedFrameDuration() = 0;
    // The frame duration the engine uses for numbering frames.
    virtual void SetFrameDuration(float ms) = 0;
    // Presentation duration in media time (100 ns units); 0 when unknown.
    virtual std::int64_t Duration() = 0;
    virtual VideoSize NativeSize() = 0;
    // Whether the stream can play backwards (found out by a trial).
    virtual bool CanPlayBackwards() = 0;

    virtual bool Start() = 0; // from the current position at the current rate
    virtual bool Pause() = 0;
    // A frame-exact seek to mediaTime; while paused the frame there is shown at once.
    virtual bool Seek(std::int64_t mediaTime, bool playing) = 0;
    // Media time of the frame on screen (its middle), 0 when no frame has been shown yet,
    // negative when unknown.
    virtual std::int64_t Position() = 0;
    virtual bool SetRate(double rate, bool thinning) = 0;
    virtual void SetVolume(double volume) = 0;

    // The presenter: where the picture goes and what is drawn on it.
    virtual void SetDisplay(const ViewRect& destination, bool mirror) = 0;
    // The video output the window paints through; null for a pipeline without pictures.
    virtual VideoPresenter* Presenter() { return nullptr; }
    virtual bool HasPicture() = 0;
    virtual bool Repaint() = 0;
    virtual bool ShowOverlayText(const std::string& text, const std::string& fontFace) = 0;
    virtual void HideOverlayText() = 0;
    virtual bool SaveSnapshot(const std::string& jpegPath) = 0;

    // Ready / ended / failed notifications, called on the pipeline's threads. They must
    // not call back into the pipeline.
    virtual void SetEventHandler(std::function<void(PipelineEvent)> handler) = 0;
};

using PipelineFactory = std::function<std::unique_ptr<MediaPipeline>()>;

} // namespace kirvano
