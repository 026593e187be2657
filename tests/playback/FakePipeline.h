// A media pipeline and a video window that record what the engine asks of them.
#pragma once

#include "playback/MediaPipeline.h"

#include <memory>
#include <mutex>
#include <string>
#include <vector>

namespace kirvano::testing {

struct FakePipelineLog {
    std::vector<std::string> calls;
    std::vector<std::int64_t> seeks;
    std::vector<double> rates;
    std::vector<bool> thinning;
    std::vector<double> volumes;
    ViewRect display;
    bool mirror = false;
    int positionReads = 0;
    bool closed = false;
};

class FakePipeline : public MediaPipeline {
public:
    explicit FakePipeline(std::shared_ptr<FakePipelineLog> log) : log_(std::move(log)) {}

    Status Open(const std::string&, EngineWindow*) override {
        log_->calls.push_back("open");
        if (!openError.empty())
            return Failure(openError);
        return Success();
    }
    void Close(int) override {
        log_->calls.push_back("close");
        log_->closed = true;
    }
    float DetectedFrameDuration() override { return detected; }
    void SetFrameDuration(float ms) override { frameDuration = ms; }
    std::int64_t Duration() override { return duration; }
    VideoSize NativeSize() override { return size; }
    bool CanPlayBackwards() override { return reverse; }
    bool Start() override {
        log_->calls.push_back("start");
        return true;
    }
    bool Pause() override {
        log_->calls.push_back("pause");
        return true;
    }
    bool Seek(std::int64_t t, bool playing) override {
        log_->calls.push_back(playing ? "seek-playing" : "seek-paused");
        log_->seeks.push_back(t);
        return true;
    }
    std::int64_t Position() override {
        ++log_->positionReads;
        return position;
    }
    bool SetRate(double rate, bool thin) override {
        log_->rates.push_back(rate);
        log_->thinning.push_back(thin);
        return true;
    }
    void SetVolume(double v) override { log_->volumes.push_back(v); }
    void SetDisplay(const ViewRect& r, bool m) override {
        log_->display = r;
        log_->mirror = m;
    }
    bool HasPicture() override { return true; }
    bool Repaint() override { return true; }
    bool ShowOverlayText(const std::string&, const std::string&) override { return true; }
    void HideOverlayText() override {}
    bool SaveSnapshot(const std::string&) override { return true; }
    void SetEventHandler(std::function<void(PipelineEvent)> h) override { handler = h; }

    std::shared_ptr<FakePipelineLog> log_;
    std::string openError;
    float detected = 0.0f;
    float frameDuration = 0.0f;
    std::int64_t duration = 0;
    VideoSize size{1920, 1080};
    bool reverse = false;
    std::int64_t position = 0;
    std::function<void(PipelineEvent)> handler;
};

struct PostedMessage {
    bool toOwner;
    int message;
    std::intptr_t wParam;
    std::intptr_t lParam;
};

class FakeWindow : public EngineWindow {
public:
    void PostToWindow(int m, std::intptr_t w, std::intptr_t l) override {
        std::lock_guard lock(mutex);
        posted.push_back({false, m, w, l});
    }
    void PostToOwner(int m, std::intptr_t w, std::intptr_t l) override {
        std::lock_guard lock(mutex);
        posted.push_back({true, m, w, l});
    }
    ViewRect ClientRect() const override { return client; }
    void RequestRepaint() override {}
    int Count(int message) {
        std::lock_guard lock(mutex);
        int n = 0;
        for (const auto& p : posted)
            n += p.message == message;
        return n;
    }
    std::vector<PostedMessage> Snapshot() {
        std::lock_guard lock(mutex);
        return posted;
    }

    std::mutex mutex;
    std::vector<PostedMessage> posted;
    ViewRect client{0, 0, 640, 360};
};

} // namespace kirvano::testing
