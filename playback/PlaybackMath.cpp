#include "playback/PlaybackMath.h"

#include <cmath>

namespace kirvano {
namespace {

constexpr float kRearThresholdMs = 34.482758f; // 1000 / 29
constexpr float kRearBaseRate = 0.93333334f;
constexpr double kSlowToggleRate = 0.5357142857142857;

} // namespace

std::int64_t FrameToMediaTime(float frameDurationMs, std::int64_t frame) {
    const float product = frameDurationMs * static_cast<float>(frame) * 10000.0f;
    return static_cast<std::int64_t>(product);
}

std::int64_t MediaTimeToFrame(float frameDurationMs, std::int64_t mediaTime) {
    if (!(frameDurationMs > 0.0f))
        return 0;
    const double frames =
        static_cast<double>(mediaTime) / (static_cast<double>(frameDurationMs) * 10000.0);
    return static_cast<std::int64_t>(frames);
}

float FrameDurationFromRate(double framesPerSecond, std::int64_t averageTimePerFrame) {
    if (framesPerSecond > 0.0)
        return static_cast<float>(1000.0 / framesPerSecond);
    if (averageTimePerFrame > 0) {
        const double fps = 10000000.0 / static_cast<double>(averageTimePerFrame);
        return static_cast<float>(1000.0 / fps);
    }
    return 0.0f;
}

EngineScale ScaleForEngine(int engineIndex, float front, float rear) {
    EngineScale scale;
    if (engineIndex == 0)
        return scale;
    if (rear == 0.0f)
        rear = front;
    if (rear >= kRearThresholdMs)
        scale.factor = rear != 0.0f ? front / rear : 1.0f;
    else
        scale.factor = front > 0.0f ? rear / front : 1.0f;
    scale.baseRate = (rear < kRearThresholdMs && front > 0.0f) ? kRearBaseRate : 1.0;
    return scale;
}

std::int64_t ScaledPosition(std::int64_t position, float factor) {
    return static_cast<std::int64_t>(static_cast<float>(position) * factor);
}

RateChoice ChooseRate(int requested, int current, double x, bool reverse) {
    RateChoice choice;
    choice.code = requested;
    switch (requested) {
    case kRateNormal:
        choice.rate = x;
        break;
    case kRateDouble:
        choice.rate = 2 * x;
        break;
    case kRateFourfold:
        choice.rate = 4 * x;
        break;
    case kRateSlowHalf:
        choice.rate = reverse ? -2 * x : 0.5 * x;
        break;
    case kRateSlowQuarter:
        choice.rate = reverse ? -4 * x : 0.25 * x;
        break;
    case kRateSlow:
        if (reverse) {
            choice.rate = -x;
        } else if (current == kRateSlowHalf) {
            choice.code = kRateNormal;
            choice.rate = x;
        } else if (current == kRateNormal) {
            choice.code = kRateSlowHalf;
            choice.rate = 0.5 * x < 0.5 ? 0.5 : kSlowToggleRate;
        } else {
            choice.rate = x;
        }
        break;
    default:
        // An unknown code plays at the base rate and is kept, like the recorder's
        // other codes.
        choice.rate = x;
        break;
    }
    choice.muted = choice.code != kRateNormal;
    choice.thinning = choice.rate > 2.0;
    return choice;
}

double AppliedVolume(int volume, int rateCode) {
    if (rateCode != kRateNormal)
        return 0.0;
    if (volume < 0)
        volume = 0;
    if (volume > 65535)
        volume = 65535;
    return static_cast<double>(volume) / 65535.0;
}

std::optional<ViewRect> ComputeDisplayRect(const ViewRect& client, const ViewParameters& view,
                                           VideoSize video) {
    if (view.zoom == 0.0f)
        return std::nullopt;
    ViewRect r = client;
    const int w = client.width();
    const int h = client.height();
    const float z1 = view.zoom - 1.0f;
    if (w > 0) {
        const float fx = static_cast<float>(view.centreX) / static_cast<float>(w);
        r.left -= static_cast<int>(fx * static_cast<float>(w) * z1);
        r.right += static_cast<int>((1.0f - fx) * static_cast<float>(w) * z1);
    }
    if (h > 0) {
        const float fy = static_cast<float>(view.centreY) / static_cast<float>(h);
        r.top -= static_cast<int>(fy * static_cast<float>(h) * z1);
        r.bottom += static_cast<int>((1.0f - fy) * static_cast<float>(h) * z1);
    }
    if (r.left > r.right || r.top > r.bottom)
        return std::nullopt;
    r.left += view.panX;
    r.right += view.panX;
    r.top += view.panY;
    r.bottom += view.panY;
    if (view.keepAspect && video.width > 0 && video.height > 0 && r.height() > 0) {
        const double ratio = static_cast<double>(video.width) / video.height;
        const double windowRatio = static_cast<double>(r.width()) / r.height();
        int newW = r.width();
        int newH = r.height();
        if (windowRatio > ratio)
            newW = static_cast<int>(r.height() * ratio);
        else
            newH = static_cast<int>(r.width() / ratio);
        const int cx = r.left + r.width() / 2;
        const int cy = r.top + r.height() / 2;
        r.left = cx - newW / 2;
        r.right = r.left + newW + 2;
        r.top = cy - newH / 2;
        r.bottom = r.top + newH + 2;
    }
    if (view.mirror)
        std::swap(r.left, r.right);
    return r;
}

} // namespace kirvano
