// The items of the video windows' popup menu, by player state and where the menu opens.
#pragma once

#include "playback/PlaybackTypes.h"

#include <vector>

namespace kirvano {

struct VideoMenuItem {
    int command = 0;    // 0: a separator
    int textEntry = -1; // the text-table entry of its text
    bool enabled = true;
    bool operator==(const VideoMenuItem&) const = default;
};

struct VideoMenuInputs {
    EngineState state = EngineState::Closed;
    bool fullScreen = false;
    bool forSubCamera = false; // opened on the second camera's window
    bool aspectKept = true;    // full screen keeps the picture's proportions
    bool rateSettling = false; // a speed change is still settling
};

std::vector<VideoMenuItem> VideoMenuItems(const VideoMenuInputs& in);

} // namespace kirvano
