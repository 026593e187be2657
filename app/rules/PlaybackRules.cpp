#include "app/rules/PlaybackRules.h"

#include <algorithm>

namespace kirvano {

int EndMargin(int rateMode) {
    switch (rateMode) {
    case kRateDouble:
        return 40;
    case kRateFourfold:
        return 80;
    default:
        return 20;
    }
}

bool NearTheEnd(bool ready, EngineState state, std::int64_t position, std::int64_t duration,
                int rateMode) {
    if (!ready)
        return true;
    if (state == EngineState::Stopped || state == EngineState::Paused)
        return false;
    return duration != 0 && position + EndMargin(rateMode) >= duration;
}

std::int64_t ShownPosition(std::int64_t position, std::int64_t minimum, std::int64_t maximum) {
    return std::max(minimum, std::min(position, maximum - 1));
}

SeekPlan PlanSeek(std::int64_t requested, std::int64_t minimum, std::int64_t maximum,
                  int rateMode) {
    SeekPlan plan;
    // The players stop short of the end so that the end message is not lost in the seek;
    // the slider still shows the frame asked for.
    plan.target = std::max<std::int64_t>(0, std::min(requested, maximum - EndMargin(rateMode)));
    plan.shown = ShownPosition(requested, minimum, maximum);
    return plan;
}

int NextRateMode(int current, bool faster, bool playing, bool reverseFaster, bool reverseSlower) {
    if (!playing)
        return kRateNormal;
    struct Row {
        int current, fasterF, fasterNoF, slowerS, slowerNoS;
    };
    static constexpr Row kTable[] = {
        {kRateNormal, kRateDouble, kRateDouble, kRateSlow, kRateSlow},
        {kRateDouble, kRateFourfold, kRateFourfold, kRateNormal, kRateNormal},
        {kRateFourfold, kRateFourfold, kRateFourfold, kRateDouble, kRateDouble},
        {kRateSlow, kRateNormal, kRateNormal, kRateSlowHalf, kRateSlowHalf},
        {kRateSlowHalf, kRateSlow, kRateNormal, kRateSlowHalf, kRateSlowQuarter},
        {kRateSlowQuarter, kRateSlowHalf, kRateSlowHalf, kRateNormal, kRateSlowQuarter},
    };
    for (const Row& row : kTable) {
        if (row.current == current) {
            if (faster)
                return reverseFaster ? row.fasterF : row.fasterNoF;
            return reverseSlower ? row.slowerS : row.slowerNoS;
        }
    }
    return kRateNormal;
}

bool TickShowsPosition(std::int64_t pendingSeek, std::int64_t position, std::int64_t duration) {
    if (pendingSeek == -1)
        return true;
    const std::int64_t window = duration / 1000 + 30;
    return pendingSeek - window < position && position < pendingSeek + window;
}

AdvanceStep DecideAdvance(int index, int count, bool treeHasFollowingItem) {
    if (index < 0 || index >= count)
        return AdvanceStep::Nothing;
    if (index + 1 < count)
        return AdvanceStep::OpenNext;
    return treeHasFollowingItem ? AdvanceStep::NextFolder : AdvanceStep::ReopenStopped;
}

std::array<ButtonLook, kToolButtonCount> ToolButtonLooks(const ButtonInputs& in) {
    enum {
        kToStart,
        kPrevious,
        kPlay,
        kSlower,
        kFaster,
        kNext,
        kSnapshot,
        kJoin,
        kZoom,
        kSource,
        kDelete,
        kSettings,
        kCsv,
        kSwap,
        kMap
    };
    std::array<ButtonLook, kToolButtonCount> looks{};
    looks[kCsv].enabled = !in.csvDisabled;
    if (in.listEmpty) {
        looks[kSource].enabled = true;
    } else {
        const bool playing = in.state == EngineState::Playing;
        const bool paused = in.state == EngineState::Paused;
        const bool single = in.rows == 1;
        looks[kToStart].enabled = playing || paused;
        looks[kPrevious].enabled = !(single || in.index == 0);
        looks[kPlay].enabled = playing || in.picture;
        looks[kSlower].enabled = playing && in.rateMode >= kRateSlow;
        looks[kFaster].enabled = playing && in.rateMode < kRateFourfold;
        looks[kNext].enabled = !(single || in.index == in.rows - 1);
        looks[kSnapshot].enabled = in.picture;
        looks[kJoin].enabled = in.sourceKind == 1;
        looks[kZoom].enabled = in.picture;
        looks[kDelete].enabled = in.sourceKind != 3;
        looks[kSwap].enabled = true;
        looks[kSource].enabled = true;
        looks[kSettings].enabled = true;
        looks[kMap].enabled = true;
    }
    if (in.fullScreen) {
        // Full screen shows the picture alone.
        for (ButtonLook& look : looks)
            look.hidden = true;
    } else if (in.layout == 2) {
        for (int i = 0; i < kToolButtonCount; ++i) {
            const bool shownInLayout2 = i <= kNext || i == kZoom || i == kSwap;
            looks[i].hidden = !shownInLayout2;
        }
    }
    return looks;
}

} // namespace kirvano
