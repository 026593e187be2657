#include "playback/PlaybackEngine.h"

#include "base/NamedLocks.h"
#include "playback/EngineTelemetry.h"
#include "telemetry/TelemetryFiles.h"

#include <chrono>

namespace kirvano {
namespace {

std::atomic<int> gLockWaiters{0};

// Counts the thread from before the wait until after the release.
class EngineLock {
public:
    explicit EngineLock(std::recursive_mutex& mutex) : mutex_(mutex) {
        ++gLockWaiters;
        mutex_.lock();
    }
    ~EngineLock() {
        mutex_.unlock();
        --gLockWaiters;
    }
    EngineLock(const EngineLock&) = delete;
    EngineLock& operator=(const EngineLock&) = delete;

private:
    std::recursive_mutex& mutex_;
};

void SleepMs(int ms) {
    std::this_thread::sleep_for(std::chrono::milliseconds(ms));
}

} // namespace

int EngineLockWaiters() {
    return gLockWaiters.load();
}

PlaybackEngine::PlaybackEngine(int index, PipelineFactory factory, EngineOptions options)
    : index_(index), factory_(std::move(factory)), options_(options),
      fileLock_(NamedLock("hFileMutex")), cacheLock_(NamedLock("hCacheFileMutex")),
      telemetry_(std::make_unique<EngineTelemetry>()) {}

PlaybackEngine::~PlaybackEngine() {
    Shutdown();
}

bool PlaybackEngine::Init(EngineWindow* window, const std::string& overlayFace) {
    Shutdown();
    EngineLock lock(fileLock_);
    window_ = window;
    overlayFace_ = overlayFace;
    rate_ = kRateNormal;
    view_ = ViewParameters{};
    state_ = EngineState::Closed;
    displayRect_ = window_ ? window_->ClientRect() : ViewRect{};
    pipeline_.reset();
    return true;
}

bool PlaybackEngine::Shutdown() {
    Close();
    EngineLock cache(cacheLock_);
    EngineLock lock(fileLock_);
    telemetry_->ResetPublished();
    telemetry_->loading.Clear();
    telemetry_->cache.Clear();
    return true;
}

bool PlaybackEngine::IsMovie(const std::string& path) {
    EngineLock lock(fileLock_);
    return IsMovieForPlayback(path);
}

bool PlaybackEngine::Open(const std::string& moviePath) {
    EngineLock lock(fileLock_);
    lastError_.clear();
    lastErrorIsSetUp_ = false;
    if (!IsMovieForPlayback(moviePath)) {
        lastError_ = "not a movie";
        return false;
    }
    Close();
    const auto timing = ReadTimingForPlayback(*telemetry_, moviePath);
    timingFromMovie_ = timing.has_value();
    frameDuration_ = timing ? timing->frameDurationMs : 0.0f;

    std::unique_ptr<MediaPipeline> pipeline = factory_ ? factory_() : nullptr;
    if (!pipeline) {
        lastError_ = "no media pipeline";
        lastErrorIsSetUp_ = true;
        return false;
    }
    pipeline->SetEventHandler([this](PipelineEvent event) { OnPipelineEvent(event); });
    const Status opened = pipeline->Open(moviePath, window_);
    if (!opened) {
        lastError_ = opened.error();
        lastErrorIsSetUp_ = pipeline->SetUpFailed();
        pipeline->Close(options_.closeTimeoutMs);
        return false;
    }
    if (!(frameDuration_ > 0.0f))
        frameDuration_ = pipeline->DetectedFrameDuration();
    pipeline->SetFrameDuration(frameDuration_);
    pipeline_ = std::move(pipeline);
    reverseCapable_ = -1;
    currentMovie_ = moviePath;
    if (index_ == 0 && GetFrameCount() <= 0) {
        lastError_ = "the movie has no frames";
        pipeline_->Close(options_.closeTimeoutMs);
        pipeline_.reset();
        return false;
    }
    position_ = 0;
    state_ = EngineState::Stopped;
    RefreshView();
    if (window_)
        window_->PostToWindow(WM_APP_ENGINE_READY, 0, 0);
    return true;
}

bool PlaybackEngine::Close() {
    StopTimedThread();
    EngineLock lock(fileLock_);
    if (pipeline_) {
        pipeline_->Close(options_.closeTimeoutMs);
        pipeline_.reset();
    }
    state_ = EngineState::Closed;
    return true;
}

bool PlaybackEngine::Play() {
    EngineLock lock(fileLock_);
    if (!Ready())
        return false;
    if (state_ == EngineState::Playing)
        return true;
    if (!pipeline_->Start())
        return false;
    state_ = EngineState::Playing;
    return true;
}

bool PlaybackEngine::SeekPlaying(std::int64_t position) {
    EngineLock lock(fileLock_);
    if (!Ready() || state_ != EngineState::Playing)
        return false;
    return pipeline_->Seek(FrameToMediaTime(frameDuration_, position), true);
}

bool PlaybackEngine::Pause() {
    EngineLock lock(fileLock_);
    if (!Ready())
        return false;
    if (state_ == EngineState::Paused)
        return true;
    if (state_ == EngineState::Playing && !pipeline_->Pause())
        return false;
    state_ = EngineState::Paused;
    return true;
}

bool PlaybackEngine::Stop() {
    EngineLock lock(fileLock_);
    if (!Ready())
        return false;
    if (state_ == EngineState::Stopped)
        return true;
    if (state_ == EngineState::Playing && !pipeline_->Pause())
        return false;
    state_ = EngineState::Stopped;
    return true;
}

std::int64_t PlaybackEngine::GetPosition() {
    EngineLock lock(fileLock_);
    if (!Ready())
        return position_;
    std::int64_t t = pipeline_->Position();
    for (int tries = 0; t == 0 && tries < 10; ++tries) {
        SleepMs(options_.positionRetryMs);
        t = pipeline_->Position();
    }
    position_ = t < 0 ? -1 : MediaTimeToFrame(frameDuration_, t);
    return position_;
}

bool PlaybackEngine::SetPosition(std::int64_t position) {
    EngineLock lock(fileLock_);
    if (!Ready() || position < 0)
        return false;
    if (!pipeline_->Seek(FrameToMediaTime(frameDuration_, position), false))
        return false;
    pipeline_->Repaint();
    return true;
}

void PlaybackEngine::SetContinueFlag(int value) {
    continueFlag_ = value;
}

void PlaybackEngine::SetEndReachedFlag(int value) {
    endReachedFlag_ = value;
}

bool PlaybackEngine::reverseCapable() {
    EngineLock lock(fileLock_);
    if (!Ready())
        return false;
    if (reverseCapable_ < 0)
        reverseCapable_ = pipeline_->CanPlayBackwards() ? 1 : 0;
    return reverseCapable_ == 1;
}

bool PlaybackEngine::hasPicture() {
    EngineLock lock(fileLock_);
    return Ready() && pipeline_->HasPicture();
}

bool PlaybackEngine::SetRate(int code, double baseRate) {
    EngineLock lock(fileLock_);
    if (!Ready())
        return false;
    const RateChoice choice = ChooseRate(code, rate_, baseRate, reverseCapable());
    rate_ = choice.code;
    ApplyVolume();
    return pipeline_->SetRate(choice.rate, choice.thinning);
}

void PlaybackEngine::ApplyVolume() {
    if (pipeline_)
        pipeline_->SetVolume(AppliedVolume(volume_, rate_));
}

bool PlaybackEngine::SetVolume(int volume) {
    EngineLock lock(fileLock_);
    volume_ = volume < 0 ? 0 : (volume > 65535 ? 65535 : volume);
    ApplyVolume();
    return true;
}

bool PlaybackEngine::SetTimedPlayback(bool on, double baseRate) {
    StopTimedThread();
    EngineLock lock(fileLock_);
    if (!Ready())
        return false;
    if (!on) {
        if (!pipeline_->Start())
            return false;
        return SetRate(rate_, baseRate);
    }
    if (!(frameDuration_ > 0.0f))
        return false;
    pipeline_->SetVolume(0.0);
    pipeline_->Start();
    const std::int64_t frameCount = GetFrameCount();
    stepCount_ = GetPosition();
    pipeline_->Pause();
    stepping_ = true;
    stepThread_ = std::thread([this, frameCount] { TimedThreadLoop(frameCount); });
    return true;
}

void PlaybackEngine::TimedThreadLoop(std::int64_t frameCount) {
    while (stepping_) {
        for (int i = 0; i < 100 && stepping_; ++i)
            SleepMs(options_.timedSleepMs);
        if (!stepping_)
            break;
        if (state_ == EngineState::Paused)
            continue;
        if (window_)
            window_->PostToOwner(kTimedTickMessage, 0, static_cast<std::intptr_t>(stepCount_));
        if (++stepCount_ >= frameCount) {
            if (window_)
                window_->PostToOwner(kTimedPlaybackEndedMessage, 0, 0);
            stepCount_ = 0;
            break;
        }
    }
}

void PlaybackEngine::StopTimedThread() {
    stepping_ = false;
    if (stepThread_.joinable())
        stepThread_.join();
}

bool PlaybackEngine::SetAspectMode(int mode) {
    EngineLock lock(fileLock_);
    view_.keepAspect = mode == 1;
    return RefreshView();
}

std::int64_t PlaybackEngine::GetFrameCount() {
    EngineLock lock(fileLock_);
    if (!Ready())
        return 0;
    return MediaTimeToFrame(frameDuration_, pipeline_->Duration());
}

float PlaybackEngine::GetFrameDuration() {
    return frameDuration_;
}

VideoSize PlaybackEngine::GetVideoSize() {
    EngineLock lock(fileLock_);
    return Ready() ? pipeline_->NativeSize() : VideoSize{};
}

bool PlaybackEngine::ShowOverlayText(const std::string& text) {
    EngineLock lock(fileLock_);
    return Ready() && pipeline_->ShowOverlayText(text, overlayFace_);
}

bool PlaybackEngine::HideOverlayText() {
    EngineLock lock(fileLock_);
    if (Ready())
        pipeline_->HideOverlayText();
    return true;
}

bool PlaybackEngine::SetMirror(bool on) {
    EngineLock lock(fileLock_);
    view_.mirror = on;
    return RefreshView();
}

bool PlaybackEngine::SetView(float zoom, int centreX, int centreY, int panX, int panY,
                             bool repaint) {
    EngineLock lock(fileLock_);
    ViewParameters view = view_;
    view.zoom = zoom;
    view.centreX = centreX;
    view.centreY = centreY;
    view.panX = panX;
    view.panY = panY;
    const ViewRect client = window_ ? window_->ClientRect() : displayRect_;
    const auto rect = ComputeDisplayRect(client, view, GetVideoSize());
    if (!rect)
        return false;
    view_ = view;
    displayRect_ = *rect;
    if (Ready())
        pipeline_->SetDisplay(displayRect_, view_.mirror);
    if (repaint) {
        if (state_ == EngineState::Closed)
            ApplyVolume();
        else if (Ready())
            pipeline_->Repaint();
    }
    return true;
}

bool PlaybackEngine::SaveSnapshot(const std::string& jpegPath) {
    EngineLock lock(fileLock_);
    return Ready() && pipeline_->SaveSnapshot(jpegPath);
}

bool PlaybackEngine::Repaint() {
    EngineLock lock(fileLock_);
    if (window_)
        window_->RequestRepaint();
    return Ready() && pipeline_->Repaint();
}

bool PlaybackEngine::RefreshView() {
    EngineLock lock(fileLock_);
    return SetView(view_.zoom, view_.centreX, view_.centreY, view_.panX, view_.panY, true);
}

void PlaybackEngine::OnPipelineEvent(PipelineEvent event) {
    // Called on the pipeline's threads: only messages, never the file lock (an engine
    // closing under the lock waits for those threads).
    if (!window_)
        return;
    switch (event) {
    case PipelineEvent::Ready:
        break;
    case PipelineEvent::Ended:
        window_->PostToWindow(WM_APP_ENGINE_ENDED, 0, 0);
        break;
    case PipelineEvent::Failed:
        // A read error during playback (a card pulled, a file gone) ends the recording.
        window_->PostToWindow(WM_APP_ENGINE_ENDED, 1, 0);
        break;
    }
}

bool PlaybackEngine::LoadTelemetry(const std::string& moviePath) {
    std::int64_t frames = 0;
    {
        EngineLock lock(fileLock_);
        frames = GetFrameCount();
        telemetry_->currentMovie = moviePath;
        telemetry_->loading.set_frame_duration_ms(frameDuration_);
    }
    ++gLockWaiters;
    const bool built = LoadTelemetryForPlayback(telemetry_->cache, cacheLock_, fileLock_,
                                                telemetry_->loading, moviePath, frames);
    --gLockWaiters;
    return built;
}

bool PlaybackEngine::PublishTelemetry() {
    EngineLock lock(fileLock_);
    telemetry_->published.Clear();
    return telemetry_->loading.MoveTo(telemetry_->published);
}

bool PlaybackEngine::PrefetchTelemetry(const std::string& moviePath) {
    ++gLockWaiters;
    const bool loaded = kirvano::PrefetchTelemetry(telemetry_->cache, cacheLock_, moviePath);
    --gLockWaiters;
    return loaded;
}

bool PlaybackEngine::ClearTelemetry() {
    EngineLock lock(fileLock_);
    telemetry_->published.Clear();
    telemetry_->loading.Clear();
    return true;
}

} // namespace kirvano
