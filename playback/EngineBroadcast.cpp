#include "playback/EngineBroadcast.h"

#include "library/RecordingName.h"
#include "playback/EnginesTogether.h"

#include <chrono>
#include <thread>

namespace kirvano {

EngineBroadcast::EngineBroadcast(PlaybackEngine* front, PlaybackEngine* rear)
    : engines_{front, rear} {}

template <class F> bool EngineBroadcast::Each(F&& call) {
    bool any = false;
    for (int i = 0; i < 2; ++i) {
        if (active_[i] && engines_[i]) {
            if (call(i, *engines_[i]))
                any = true;
        }
    }
    return any;
}

EngineScale EngineBroadcast::scale(int index) {
    const float front = engines_[0] ? engines_[0]->GetFrameDuration() : 0.0f;
    const float rear = engines_[1] ? engines_[1]->GetFrameDuration() : 0.0f;
    return ScaleForEngine(index, front, rear);
}

bool EngineBroadcast::IsMovie(const std::string& path) {
    return Each([&](int, PlaybackEngine& e) { return e.IsMovie(path); });
}

bool EngineBroadcast::Open(const std::string& frontPath) {
    const std::string rearPath = RearPathOf(frontPath);
    return Each([&](int i, PlaybackEngine& e) {
        open_[i] = e.Open(i == 0 ? frontPath : rearPath);
        return open_[i];
    });
}

bool EngineBroadcast::Close() {
    return Each([&](int i, PlaybackEngine& e) {
        open_[i] = false;
        return e.Close();
    });
}

bool EngineBroadcast::ClearTelemetry() {
    return Each([&](int i, PlaybackEngine& e) {
        open_[i] = false;
        return e.ClearTelemetry();
    });
}

bool EngineBroadcast::LoadTelemetry(const std::string& frontPath) {
    const std::string rearPath = RearPathOf(frontPath);
    return Each(
        [&](int i, PlaybackEngine& e) { return e.LoadTelemetry(i == 0 ? frontPath : rearPath); });
}

bool EngineBroadcast::Play() {
    EnginesTogether together;
    return Each([](int, PlaybackEngine& e) { return e.Play(); });
}

bool EngineBroadcast::Pause() {
    EnginesTogether together;
    return Each([](int, PlaybackEngine& e) { return e.Pause(); });
}

bool EngineBroadcast::Stop() {
    EnginesTogether together;
    return Each([](int, PlaybackEngine& e) { return e.Stop(); });
}

bool EngineBroadcast::Repaint() {
    return Each([](int, PlaybackEngine& e) { return e.Repaint(); });
}

bool EngineBroadcast::SetPosition(std::int64_t position) {
    return Each([&](int i, PlaybackEngine& e) {
        return e.SetPosition(ScaledPosition(position, scale(i).factor));
    });
}

bool EngineBroadcast::SeekPlaying(std::int64_t position) {
    EnginesTogether together;
    return Each([&](int i, PlaybackEngine& e) {
        return e.SeekPlaying(ScaledPosition(position, scale(i).factor));
    });
}

bool EngineBroadcast::SetRate(int code) {
    bool any = false;
    {
        EnginesTogether together;
        any = Each([&](int i, PlaybackEngine& e) { return e.SetRate(code, scale(i).baseRate); });
    }
    if (settleMs > 0)
        std::this_thread::sleep_for(std::chrono::milliseconds(settleMs));
    return any;
}

bool EngineBroadcast::SetVolume(int volume) {
    return Each([&](int, PlaybackEngine& e) { return e.SetVolume(volume); });
}

bool EngineBroadcast::SetAspectMode(int mode) {
    return Each([&](int, PlaybackEngine& e) { return e.SetAspectMode(mode); });
}

bool EngineBroadcast::SetMirror(bool on) {
    return Each([&](int, PlaybackEngine& e) { return e.SetMirror(on); });
}

bool EngineBroadcast::SetView(const std::array<ViewParameters, 2>& views, bool repaint) {
    return Each([&](int i, PlaybackEngine& e) {
        const ViewParameters& v = views[i];
        return e.SetView(v.zoom, v.centreX, v.centreY, v.panX, v.panY, repaint);
    });
}

} // namespace kirvano
