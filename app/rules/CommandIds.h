// The main window's timer ids and the command ids of its buttons and menu items, shared
// by the window and its rules.
#pragma once

namespace kirvano {

// Timer ids of the main window.
enum MainTimer : int {
    kTimerPlaybackTick = 100, // 30 ms
    kTimerRunOpen = 101,      // 500 ms, one-shot
    kTimerOpenTimeout = 102,  // 5000 ms, one-shot
    kTimerIdle = 103,         // 1000 ms
    kTimerRefreshButtons = 104,
    kTimerRateSettle = 105, // 500 ms, one-shot
};

// The playback tick's period when no picture of the main camera runs it.
constexpr int kTickMs = 30;

// Command ids of the buttons and menu items.
enum MainCommand : int {
    kCmdToStart = 38000,
    kCmdPrevious = 38001,
    kCmdPlay = 38002,
    kCmdSlower = 38003,
    kCmdFaster = 38004,
    kCmdNext = 38005,
    kCmdSnapshot = 38006,
    kCmdJoin = 38007,
    kCmdZoom = 38008,
    kCmdSource = 38009,
    kCmdDelete = 38010,
    kCmdSettings = 38011,
    kCmdCsv = 38012,
    kCmdSwap = 38013,
    kCmdMapSwitch = 38014,
    kCmdClose = 15,
    kCmdMinimise = 16,
    kCmdLayout = 17,
    kCmdAspect = 38200,
    kCmdFilterFirst = 38700,
    kCmdFilterLast = 38705,
    kSeekSliderId = 38100,
    kVolumeSliderId = 38101,
    kProgressBarId = 38102,
};

} // namespace kirvano
