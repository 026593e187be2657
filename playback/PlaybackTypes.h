// Values shared by the playback engines, their pipelines and the video windows: engine
// states, rate codes, rectangles and the messages an engine posts to its window.
#pragma once

#include <cstdint>

namespace kirvano {

// Messages an engine posts to its video window (the window forwards them to its owner).
// The timed-playback messages go to the window's owner directly.
inline constexpr int WM_APP_ENGINE_ENDED = 0x83EA;
inline constexpr int WM_APP_ENGINE_READY = 0x83EB;
inline constexpr int WM_APP_ENGINE_IGNORED = 0x83E9;
inline constexpr int kTimedTickMessage = 0x8005;          // WM_APP_TIMED_TICK
inline constexpr int kTimedPlaybackEndedMessage = 0x8006; // WM_APP_TIMED_PLAYBACK_ENDED

enum class EngineState : int { Closed = 0, Stopped = 1, Playing = 2, Paused = 3 };

// 1 normal, 2 double, 4 fourfold; -1, -2, -4 the slow codes (reverse where possible).
enum RateMode : int {
    kRateNormal = 1,
    kRateDouble = 2,
    kRateFourfold = 4,
    kRateSlow = -1,
    kRateSlowHalf = -2,
    kRateSlowQuarter = -4,
};

enum CameraSlot : int { kFrontCamera = 0, kRearCamera = 1 };

struct ViewRect {
    int left = 0;
    int top = 0;
    int right = 0;
    int bottom = 0;
    int width() const { return right - left; }
    int height() const { return bottom - top; }
    bool operator==(const ViewRect&) const = default;
};

struct VideoSize {
    int width = 0;
    int height = 0;
    bool operator==(const VideoSize&) const = default;
};

// The overlay text surface: 300 x 120 pixels, green text on black, word wrap.
inline constexpr int kOverlayWidth = 300;
inline constexpr int kOverlayHeight = 120;
inline constexpr std::uint32_t kOverlayTextColour = 0x00FF00;
inline constexpr int kOverlayFontPoints = 42;
inline constexpr int kOverlayFontWeight = 700;

// Media time is in 100-nanosecond units.
inline constexpr std::int64_t kMediaTimePerMs = 10000;

} // namespace kirvano
