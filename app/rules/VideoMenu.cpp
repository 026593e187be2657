#include "app/rules/VideoMenu.h"

#include "app/rules/CommandIds.h"

namespace kirvano {

std::vector<VideoMenuItem> VideoMenuItems(const VideoMenuInputs& in) {
    constexpr VideoMenuItem kSeparator{};
    std::vector<VideoMenuItem> items;
    const bool playing = in.state == EngineState::Playing;
    if (playing || in.state == EngineState::Paused) {
        items.push_back({kCmdPlay, playing ? 85 : 86});
        items.push_back({kCmdToStart, 90});
        if (playing) {
            items.push_back({kCmdSlower, 88, !in.rateSettling});
            items.push_back({kCmdFaster, 82, !in.rateSettling});
        }
        items.push_back(kSeparator);
    }
    items.push_back({kCmdSwap, 153});
    if (in.fullScreen) {
        items.push_back({kCmdAspect, in.aspectKept ? 92 : 91});
        return items;
    }
    items.push_back(kSeparator);
    // Nothing to save before a recording is open.
    items.push_back({kCmdSnapshot, 89, in.state != EngineState::Closed});
    items.push_back({kCmdSettings, 87});
    if (!in.forSubCamera) {
        items.push_back(kSeparator);
        items.push_back({kCmdSource, 84});
    }
    return items;
}

} // namespace kirvano
