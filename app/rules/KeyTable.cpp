#include "app/rules/KeyTable.h"

#include "app/rules/CommandIds.h"
#include "app/rules/PlaybackRules.h"

#include <algorithm>
#include <cmath>

namespace kirvano {
namespace {

constexpr KeyAction Command(int id) {
    return {KeyVerb::Command, id, 0};
}

constexpr KeyHelpRow kHelp[] = {
    {"Space", "Play / pause", "再生 / 一時停止"},
    {"← / →", "One frame back / forward (paused)", "1コマ戻す / 進める（一時停止中）"},
    {"Shift + ← / →", "Five seconds back / forward", "5秒戻す / 進める"},
    {"Page Up / Page Down", "Previous / next recording", "前 / 次の動画"},
    {"↑ / ↓", "Volume up / down", "音量を上げる / 下げる"},
    {"+ / -", "Faster / slower", "早送り / スロー"},
    {"F / F11", "Full screen", "フルスクリーン"},
    {"Esc", "Leave full screen", "フルスクリーンを終了"},
    {"S", "Snapshot", "静止画"},
    {"Ctrl + O", "Choose the source", "参照"},
    {"Home", "To the start", "先頭"},
    {"F1 / ?", "This list of keys", "キー一覧"},
};

} // namespace

KeyAction ActionForKey(KeyName key, KeyModifiers m) {
    if (m.alt)
        return {};
    if (m.ctrl)
        return key == KeyName::O ? Command(kCmdSource) : KeyAction{};
    switch (key) {
    case KeyName::Space:
        return Command(kCmdPlay);
    case KeyName::Left:
        return m.shift ? KeyAction{KeyVerb::StepSeconds, 0, -5}
                       : KeyAction{KeyVerb::StepFrames, 0, -1};
    case KeyName::Right:
        return m.shift ? KeyAction{KeyVerb::StepSeconds, 0, 5}
                       : KeyAction{KeyVerb::StepFrames, 0, 1};
    case KeyName::Up:
        return {KeyVerb::Volume, 0, 1};
    case KeyName::Down:
        return {KeyVerb::Volume, 0, -1};
    case KeyName::PageUp:
        return Command(kCmdPrevious);
    case KeyName::PageDown:
        return Command(kCmdNext);
    case KeyName::Home:
        return Command(kCmdToStart);
    case KeyName::Plus:
    case KeyName::Equal:
        return Command(kCmdFaster);
    case KeyName::Minus:
        return Command(kCmdSlower);
    case KeyName::F:
    case KeyName::F11:
        return {KeyVerb::ToggleFullScreen, 0, 0};
    case KeyName::Escape:
        return {KeyVerb::LeaveFullScreen, 0, 0};
    case KeyName::S:
        return Command(kCmdSnapshot);
    case KeyName::F1:
    case KeyName::Question:
        return {KeyVerb::ShowHelp, 0, 0};
    case KeyName::O:
    case KeyName::Other:
        break;
    }
    return {};
}

bool ListKeepsKey(KeyName key, KeyModifiers m) {
    const bool arrow =
        key == KeyName::Left || key == KeyName::Right || key == KeyName::Up || key == KeyName::Down;
    return arrow && !m.shift && !m.ctrl && !m.alt;
}

int VolumeAfterKeys(int volume, int steps) {
    const long long next =
        static_cast<long long>(volume) + static_cast<long long>(steps) * kVolumeStep;
    return static_cast<int>(std::clamp<long long>(next, 0, kVolumeMax));
}

std::int64_t FrameStepTarget(std::int64_t position, int frames, std::int64_t minimum,
                             std::int64_t maximum, int rateMode) {
    const std::int64_t last = std::max(minimum, maximum - EndMargin(rateMode));
    return std::clamp(position + frames, minimum, last);
}

std::int64_t FramesInSeconds(int seconds, double frameDurationMs) {
    if (!(frameDurationMs > 0.0) || !std::isfinite(frameDurationMs))
        return 0;
    return std::llround(seconds * 1000.0 / frameDurationMs);
}

std::span<const KeyHelpRow> KeyHelpRows() {
    return kHelp;
}

} // namespace kirvano
