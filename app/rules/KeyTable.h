// The viewer's keyboard, the way video players on Linux do it: which key does what. Keys
// are named here without the widget toolkit, so the table is tested on its own; the main
// window maps its key events onto these names and carries the actions out.
#pragma once

#include <cstdint>
#include <span>

namespace kirvano {

enum class KeyName {
    Other,
    Space,
    Left,
    Right,
    Up,
    Down,
    PageUp,
    PageDown,
    Home,
    Plus,
    Equal, // "+" without Shift on most layouts
    Minus,
    F,
    F11,
    Escape,
    S,
    O,
    F1,
    Question,
};

struct KeyModifiers {
    bool shift = false;
    bool ctrl = false;
    bool alt = false;
};

enum class KeyVerb {
    None,
    Command,     // the command id of a button, run as a click on it
    StepFrames,  // amount frames, only while stopped or paused
    StepSeconds, // amount seconds, in any open state
    Volume,      // amount steps of kVolumeStep
    ToggleFullScreen,
    LeaveFullScreen,
    ShowHelp,
};

struct KeyAction {
    KeyVerb verb = KeyVerb::None;
    int command = 0;
    int amount = 0;
    bool operator==(const KeyAction&) const = default;
};

// One press of the volume keys moves the volume by a twentieth of its range.
inline constexpr int kVolumeStep = 3277;
inline constexpr int kVolumeMax = 65535;

// What a key does; verb None for keys the viewer does not use.
KeyAction ActionForKey(KeyName key, KeyModifiers modifiers);

// The arrow keys belong to the recording list and the folder tree while one of them has the
// focus (they move the selection there).
bool ListKeepsKey(KeyName key, KeyModifiers modifiers);

// The stored volume after `steps` presses of the volume keys, within 0..kVolumeMax.
int VolumeAfterKeys(int volume, int steps);

// Where a frame step from `position` lands on a recording of range [minimum, maximum]:
// never before the first frame and never closer to the end than a seek may go, so that the
// picture and the shown position always agree.
std::int64_t FrameStepTarget(std::int64_t position, int frames, std::int64_t minimum,
                             std::int64_t maximum, int rateMode);

// Frames in `seconds` seconds of a movie with the given frame duration; 0 without one.
std::int64_t FramesInSeconds(int seconds, double frameDurationMs);

// The rows of the key overlay, in both interface languages.
struct KeyHelpRow {
    const char* keys;
    const char* english;
    const char* japanese;
};
std::span<const KeyHelpRow> KeyHelpRows();

} // namespace kirvano
