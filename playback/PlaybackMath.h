// The arithmetic of the playback engines: frame/media-time conversions, the rate codes
// and their rates, the rear engine's position factor and base rate, and the display
// rectangle of a video window (zoom, pan, aspect fit, mirror).
#pragma once

#include "playback/PlaybackTypes.h"

#include <cstdint>
#include <optional>

namespace kirvano {

// Frame position -> media time: truncation of (frame duration x position x 10000).
std::int64_t FrameToMediaTime(float frameDurationMs, std::int64_t frame);
// Media time -> frame: media time / (frame duration x 10000), truncated; 0 when the frame
// duration is not positive.
std::int64_t MediaTimeToFrame(float frameDurationMs, std::int64_t mediaTime);

// The frame duration from a frame rate (1000 / fps), or from an average time per frame in
// media time units when the rate is not positive; 0 when neither is usable.
float FrameDurationFromRate(double framesPerSecond, std::int64_t averageTimePerFrame);

// Position factor and base rate of one engine. Engine 0 always gets 1.0 and 1.0; the
// rear engine's values follow from both movies' frame durations.
struct EngineScale {
    float factor = 1.0f;
    double baseRate = 1.0;
};
EngineScale ScaleForEngine(int engineIndex, float frontFrameDurationMs, float rearFrameDurationMs);
// Position handed to an engine for a main-engine position: truncation of
// (float(position) x factor).
std::int64_t ScaledPosition(std::int64_t position, float factor);

// The result of applying a rate code: the code that is stored and the rate the pipeline
// gets. Sound plays only at code 1; thinning is allowed above 2.
struct RateChoice {
    int code = kRateNormal;
    double rate = 1.0;
    bool muted = false;
    bool thinning = false;
};
RateChoice ChooseRate(int requestedCode, int currentCode, double baseRate, bool reverseCapable);

// The volume given to the audio channels (0..1): the stored volume only at rate code 1.
double AppliedVolume(int volume, int rateCode);

// The stored view of an engine.
struct ViewParameters {
    float zoom = 1.0f;
    int centreX = 0;
    int centreY = 0;
    int panX = 0;
    int panY = 0;
    bool keepAspect = true;
    bool mirror = false;
};
// The destination rectangle for the picture inside client, or nothing when the view is
// refused (zoom 0 or a rectangle turned inside out). A mirrored rectangle has left and
// right swapped.
std::optional<ViewRect> ComputeDisplayRect(const ViewRect& client, const ViewParameters& view,
                                           VideoSize video);

} // namespace kirvano
