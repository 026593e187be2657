// The main window's decision rules, free of widgets and players: when a command is
// ignored near the end of a recording, where a seek lands, how the speed steps, which
// buttons a state allows, which position a tick may show and where an advance goes.
#pragma once

#include "playback/PlaybackTypes.h"

#include <array>
#include <cstdint>

namespace kirvano {

// Frames before the end within which most commands are ignored: 20, 40 at double and
// 80 at fourfold speed.
int EndMargin(int rateMode);

// The near-the-end test; true means the command is ignored. state is Closed when no
// player is present.
bool NearTheEnd(bool ready, EngineState state, std::int64_t position, std::int64_t duration,
                int rateMode);

// A seek to `requested` on a slider of range [minimum, maximum]: the players go to `target`
// (kept the end margin before the maximum), the slider and views show `shown`.
struct SeekPlan {
    std::int64_t target = 0;
    std::int64_t shown = 0;
    bool operator==(const SeekPlan&) const = default;
};
SeekPlan PlanSeek(std::int64_t requested, std::int64_t minimum, std::int64_t maximum, int rateMode);
// A position clamped to [minimum, maximum - 1] (minimum when the range is empty).
std::int64_t ShownPosition(std::int64_t position, std::int64_t minimum, std::int64_t maximum);

// The speed after the faster or slower command. Only while playing; otherwise normal.
// reverseFaster / reverseSlower are the player's two capability flags.
int NextRateMode(int current, bool faster, bool playing, bool reverseFaster, bool reverseSlower);

// Whether the playback tick may show position p while a seek to pendingSeek (-1 none) is
// outstanding: within duration / 1000 + 30 frames of the target.
bool TickShowsPosition(std::int64_t pendingSeek, std::int64_t position, std::int64_t duration);

// Where the advance to the next recording goes.
enum class AdvanceStep {
    OpenNext,      // the next row of the list, playing
    NextFolder,    // stop; the tree moves to its following item
    ReopenStopped, // the last recording of the last folder: reopen it, stopped
    Nothing,       // no valid current recording
};
AdvanceStep DecideAdvance(int index, int count, bool treeHasFollowingItem);

// The 15 tool buttons 38000..38014 by command id - 38000.
inline constexpr int kToolButtonCount = 15;
struct ButtonLook {
    bool enabled = false;
    bool hidden = false;
    bool operator==(const ButtonLook&) const = default;
};
struct ButtonInputs {
    bool listEmpty = true;
    int rows = 0;
    int index = -1;
    EngineState state = EngineState::Closed; // Closed when no player is present
    bool picture = false;                    // the player reports a loaded picture
    int rateMode = kRateNormal;
    int sourceKind = 2; // 1 recorder card, 2 folder, 3 single file
    bool csvDisabled = true;
    int layout = 0;
    bool fullScreen = false;
};
std::array<ButtonLook, kToolButtonCount> ToolButtonLooks(const ButtonInputs& in);

} // namespace kirvano
