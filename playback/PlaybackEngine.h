// One playback engine per camera: the operation table the main window drives (34 slots,
// in slot order below), the engine states, rates, volume, timed playback, the view
// rectangle and the text overlay, on a media pipeline behind an interface.
#pragma once

#include "playback/MediaPipeline.h"
#include "playback/PlaybackMath.h"

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

namespace kirvano {

struct EngineTelemetry; // the three telemetry readers, kept apart from the pipeline code

// Threads currently waiting for, or holding, an engine lock; the main window uses it to
// tell whether work is pending.
int EngineLockWaiters();

struct EngineOptions {
    // Sleep between the timed-playback thread's flag checks; 100 of them make one tick.
    int timedSleepMs = 10;
    // Sleep between position reads while the clock still reads 0.
    int positionRetryMs = 10;
    int closeTimeoutMs = 5000;
};

class PlaybackEngine {
public:
    PlaybackEngine(int index, PipelineFactory factory, EngineOptions options = {});
    ~PlaybackEngine();
    PlaybackEngine(const PlaybackEngine&) = delete;
    PlaybackEngine& operator=(const PlaybackEngine&) = delete;

    // The operation table.
    bool Init(EngineWindow* window, const std::string& overlayFace);                      // 0
    bool Shutdown();                                                                      // 1
    bool IsMovie(const std::string& path);                                                // 2
    bool Open(const std::string& moviePath);                                              // 3
    bool Close();                                                                         // 4
    bool LoadTelemetry(const std::string& moviePath);                                     // 5
    bool ClearTelemetry();                                                                // 6
    bool Play();                                                                          // 7
    bool SeekPlaying(std::int64_t position);                                              // 8
    bool Pause();                                                                         // 9
    bool Stop();                                                                          // 10
    std::int64_t GetPosition();                                                           // 11
    bool SetPosition(std::int64_t position);                                              // 12
    bool SetPositionAgain(std::int64_t position) { return SetPosition(position); }        // 13
    void SetContinueFlag(int value);                                                      // 14
    void NoOperation15() {}                                                               // 15
    void SetEndReachedFlag(int value);                                                    // 16
    void NoOperation17() {}                                                               // 17
    bool SetRate(int code, double baseRate);                                              // 18
    bool SetTimedPlayback(bool on, double baseRate);                                      // 19
    bool SetAspectMode(int mode);                                                         // 20
    std::int64_t GetFrameCount();                                                         // 21
    std::int64_t GetFrameCountAgain() { return GetFrameCount(); }                         // 22
    int Reserved23() { return 0; }                                                        // 23
    float GetFrameDuration();                                                             // 24
    VideoSize GetVideoSize();                                                             // 25
    bool SetVolume(int volume);                                                           // 26
    bool ShowOverlayText(const std::string& text);                                        // 27
    bool HideOverlayText();                                                               // 28
    bool SetMirror(bool on);                                                              // 29
    bool SetView(float zoom, int centreX, int centreY, int panX, int panY, bool repaint); // 30
    bool SaveSnapshot(const std::string& jpegPath);                                       // 31
    bool Repaint();                                                                       // 32
    bool RefreshView();                                                                   // 33

    // State the main window and the video window read.
    int index() const { return index_; }
    EngineState state() const { return state_.load(); }
    int rateCode() const { return rate_; }
    bool reverseCapable();
    bool hasPicture();
    int continueFlag() const { return continueFlag_; }
    int endReachedFlag() const { return endReachedFlag_; }
    bool timedPlaybackRunning() const { return stepping_.load(); }
    int volume() const { return volume_; }
    const ViewRect& displayRect() const { return displayRect_; }
    const ViewParameters& view() const { return view_; }
    // The error text of the last failed open (the viewer shows it in an "ERROR" box).
    const std::string& lastError() const { return lastError_; }
    // The last open failed while the media pipeline was built (the viewer shows that one).
    bool lastErrorIsSetUp() const { return lastErrorIsSetUp_; }
    // The pipeline while a movie is open; the video window paints through it.
    MediaPipeline* pipeline() { return pipeline_.get(); }
    EngineTelemetry& telemetry() { return *telemetry_; }
    // Moves the loaded samples into the published reader (under the file lock); true when
    // it holds position samples.
    bool PublishTelemetry();
    // Loads the data file of a movie into this engine's cache for a later LoadTelemetry.
    bool PrefetchTelemetry(const std::string& moviePath);
    // The movie timing used by the last open came from the movie itself.
    bool timingFromMovie() const { return timingFromMovie_; }

private:
    void StopTimedThread();
    void TimedThreadLoop(std::int64_t frameCount);
    void OnPipelineEvent(PipelineEvent event);
    void ApplyVolume();
    bool Ready() const { return pipeline_ != nullptr; }

    const int index_;
    PipelineFactory factory_;
    EngineOptions options_;
    std::recursive_mutex& fileLock_;
    std::recursive_mutex& cacheLock_;

    EngineWindow* window_ = nullptr;
    std::string overlayFace_;
    std::unique_ptr<MediaPipeline> pipeline_;
    std::unique_ptr<EngineTelemetry> telemetry_;

    int volume_ = 65535;
    float frameDuration_ = 0.0f;
    bool timingFromMovie_ = false;
    int reverseCapable_ = -1; // -1 until asked
    int rate_ = kRateNormal;
    ViewParameters view_;
    ViewRect displayRect_;
    std::atomic<EngineState> state_{EngineState::Closed};
    std::int64_t position_ = 0;
    int continueFlag_ = 0;
    int endReachedFlag_ = 0;
    std::string lastError_;
    bool lastErrorIsSetUp_ = false;
    std::string currentMovie_;

    std::atomic<bool> stepping_{false};
    std::atomic<std::int64_t> stepCount_{0};
    std::thread stepThread_;
};

} // namespace kirvano
