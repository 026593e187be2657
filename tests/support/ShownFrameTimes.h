// The moments at which playing engines change their shown frame, read by polling, and
// what they tell about two engines playing together: each engine's schedule (when it
// shows frame 0, as the median over every change) and the gap between two schedules.
// A late frame here and there moves a median little; a start, pause or rate change
// applied at different running times moves every change of one engine, so the gap shows
// it however loaded the machine is.
#pragma once

#include "playback/PlaybackEngine.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdint>
#include <optional>
#include <thread>
#include <vector>

namespace kirvano::testing {

class ShownFrameTimes {
public:
    struct Change {
        double ms = 0; // since the watch began
        std::int64_t frame = 0;
    };

    // Polls every engine every pollUs microseconds until Stop.
    explicit ShownFrameTimes(std::vector<PlaybackEngine*> engines, int pollUs = 500)
        : engines_(std::move(engines)), changes_(engines_.size()),
          begin_(std::chrono::steady_clock::now()) {
        thread_ = std::thread([this, pollUs] {
            std::vector<std::int64_t> last(engines_.size(), -2);
            while (!stop_) {
                for (std::size_t e = 0; e < engines_.size(); ++e) {
                    const std::int64_t frame = engines_[e]->GetPosition();
                    if (frame != last[e]) {
                        const std::chrono::duration<double, std::milli> since =
                            std::chrono::steady_clock::now() - begin_;
                        changes_[e].push_back({since.count(), frame});
                        last[e] = frame;
                    }
                }
                std::this_thread::sleep_for(std::chrono::microseconds(pollUs));
            }
        });
    }
    ~ShownFrameTimes() { Stop(); }
    ShownFrameTimes(const ShownFrameTimes&) = delete;
    ShownFrameTimes& operator=(const ShownFrameTimes&) = delete;

    void Stop() {
        stop_ = true;
        if (thread_.joinable())
            thread_.join();
    }

    // The changes seen (the first entry is the frame shown when the watch began); read
    // after Stop.
    const std::vector<Change>& changes(std::size_t engine) const { return changes_[engine]; }

    // When the engine's schedule shows frame 0 (ms since the watch began): the median of
    // (moment - frame x frameMs) over the changes, frameMs being the time a frame stays
    // on screen at the rate played. Null without changes.
    std::optional<double> Origin(std::size_t engine, double frameMs) const {
        std::vector<double> origins;
        for (std::size_t i = 1; i < changes_[engine].size(); ++i)
            origins.push_back(changes_[engine][i].ms -
                              static_cast<double>(changes_[engine][i].frame) * frameMs);
        if (origins.empty())
            return std::nullopt;
        std::nth_element(origins.begin(), origins.begin() + origins.size() / 2, origins.end());
        return origins[origins.size() / 2];
    }

    // How much later engine b's schedule runs than engine a's (ms), frame times given at
    // the rate played; null when either has no changes.
    std::optional<double> Gap(std::size_t a, double frameMsA, std::size_t b,
                              double frameMsB) const {
        const auto origin = Origin(a, frameMsA);
        const auto other = Origin(b, frameMsB);
        if (!origin || !other)
            return std::nullopt;
        return *other - *origin;
    }

private:
    std::vector<PlaybackEngine*> engines_;
    std::vector<std::vector<Change>> changes_;
    std::chrono::steady_clock::time_point begin_;
    std::atomic<bool> stop_{false};
    std::thread thread_;
};

} // namespace kirvano::testing
