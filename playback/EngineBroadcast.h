// Driving both engines at once: an operation reaches every active engine in index order
// (front first) and succeeds when it succeeds on at least one of them. Positions are
// frame numbers of the front engine; the rear engine gets them through its factor.
#pragma once

#include "playback/PlaybackEngine.h"

#include <array>
#include <string>

namespace kirvano {

class EngineBroadcast {
public:
    EngineBroadcast(PlaybackEngine* front, PlaybackEngine* rear);

    void SetActive(int index, bool active) { active_[index] = active; }
    bool active(int index) const { return active_[index]; }
    bool open(int index) const { return open_[index]; }
    PlaybackEngine* engine(int index) { return engines_[index]; }
    // The factor and base rate of an engine, from both movies' frame durations.
    EngineScale scale(int index);

    bool IsMovie(const std::string& path);
    // Engine 0 opens the given movie, engine 1 the rear movie of the same recording.
    bool Open(const std::string& frontPath);
    bool Close();
    bool ClearTelemetry();
    bool LoadTelemetry(const std::string& frontPath);
    bool Play();
    bool Pause();
    bool Stop();
    bool Repaint();
    bool SetPosition(std::int64_t position);
    bool SeekPlaying(std::int64_t position);
    // The code with each engine's base rate; then waits settleMs (100 by default).
    bool SetRate(int code);
    bool SetVolume(int volume);
    bool SetAspectMode(int mode);
    bool SetMirror(bool on);
    bool SetView(const std::array<ViewParameters, 2>& views, bool repaint);

    int settleMs = 100;

private:
    template <class F> bool Each(F&& call);

    std::array<PlaybackEngine*, 2> engines_;
    std::array<bool, 2> active_{true, true};
    std::array<bool, 2> open_{false, false};
};

} // namespace kirvano
