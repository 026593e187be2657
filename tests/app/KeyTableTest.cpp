// The keyboard table: every key with and without modifiers, the keys the list keeps, and
// the arithmetic of the volume keys, the frame steps and the five-second jumps.
#include "app/rules/KeyTable.h"

#include <gtest/gtest.h>

namespace kirvano {
namespace {

constexpr KeyModifiers kNone{};
constexpr KeyModifiers kShift{true, false, false};
constexpr KeyModifiers kCtrl{false, true, false};
constexpr KeyModifiers kAlt{false, false, true};

struct Row {
    KeyName key;
    KeyModifiers modifiers;
    KeyAction action;
};

TEST(KeyTable, EveryKeyAndItsModifiers) {
    const KeyAction none{};
    const Row rows[] = {
        {KeyName::Space, kNone, {KeyVerb::Command, 38002, 0}},
        {KeyName::Left, kNone, {KeyVerb::StepFrames, 0, -1}},
        {KeyName::Right, kNone, {KeyVerb::StepFrames, 0, 1}},
        {KeyName::Left, kShift, {KeyVerb::StepSeconds, 0, -5}},
        {KeyName::Right, kShift, {KeyVerb::StepSeconds, 0, 5}},
        {KeyName::PageUp, kNone, {KeyVerb::Command, 38001, 0}},
        {KeyName::PageDown, kNone, {KeyVerb::Command, 38005, 0}},
        {KeyName::Home, kNone, {KeyVerb::Command, 38000, 0}},
        {KeyName::Up, kNone, {KeyVerb::Volume, 0, 1}},
        {KeyName::Down, kNone, {KeyVerb::Volume, 0, -1}},
        {KeyName::Plus, kNone, {KeyVerb::Command, 38004, 0}},
        {KeyName::Plus, kShift, {KeyVerb::Command, 38004, 0}}, // Shift+= on a US layout
        {KeyName::Equal, kNone, {KeyVerb::Command, 38004, 0}},
        {KeyName::Minus, kNone, {KeyVerb::Command, 38003, 0}},
        {KeyName::F, kNone, {KeyVerb::ToggleFullScreen, 0, 0}},
        {KeyName::F11, kNone, {KeyVerb::ToggleFullScreen, 0, 0}},
        {KeyName::Escape, kNone, {KeyVerb::LeaveFullScreen, 0, 0}},
        {KeyName::S, kNone, {KeyVerb::Command, 38006, 0}},
        {KeyName::O, kCtrl, {KeyVerb::Command, 38009, 0}},
        {KeyName::F1, kNone, {KeyVerb::ShowHelp, 0, 0}},
        {KeyName::Question, kShift, {KeyVerb::ShowHelp, 0, 0}},
        // Keys the viewer leaves alone: other keys, plain O, Ctrl or Alt with the others.
        {KeyName::Other, kNone, none},
        {KeyName::O, kNone, none},
        {KeyName::S, kCtrl, none},
        {KeyName::Space, kCtrl, none},
        {KeyName::Right, kCtrl, none},
        {KeyName::Space, kAlt, none},
        {KeyName::F, kAlt, none},
    };
    for (const Row& row : rows) {
        EXPECT_EQ(ActionForKey(row.key, row.modifiers), row.action)
            << "key " << static_cast<int>(row.key) << " shift " << row.modifiers.shift << " ctrl "
            << row.modifiers.ctrl << " alt " << row.modifiers.alt;
    }
    // Every key that does something is listed in the overlay's rows in both languages.
    EXPECT_EQ(KeyHelpRows().size(), 12u);
    for (const KeyHelpRow& row : KeyHelpRows()) {
        EXPECT_NE(std::string(row.english), "");
        EXPECT_NE(std::string(row.japanese), "");
    }
}

TEST(KeyTable, TheListKeepsItsArrowsOnly) {
    for (KeyName arrow : {KeyName::Left, KeyName::Right, KeyName::Up, KeyName::Down}) {
        EXPECT_TRUE(ListKeepsKey(arrow, kNone));
        EXPECT_FALSE(ListKeepsKey(arrow, kShift)) << "Shift+arrow jumps five seconds";
    }
    for (KeyName other : {KeyName::Space, KeyName::PageUp, KeyName::PageDown, KeyName::F1})
        EXPECT_FALSE(ListKeepsKey(other, kNone));
}

TEST(KeyTable, VolumeStepsFramesAndSeconds) {
    EXPECT_EQ(VolumeAfterKeys(65535, 1), 65535);
    EXPECT_EQ(VolumeAfterKeys(65535, -1), 65535 - kVolumeStep);
    EXPECT_EQ(VolumeAfterKeys(1000, -1), 0);
    EXPECT_EQ(VolumeAfterKeys(0, 20), 65535);
    EXPECT_EQ(VolumeAfterKeys(0, 20), VolumeAfterKeys(VolumeAfterKeys(0, 19), 1));

    // 100 frames: steps stop at the first frame and the end margin (20, 40 at double, 80
    // at fourfold speed) before the end, where a seek may go.
    EXPECT_EQ(FrameStepTarget(10, 1, 0, 100, 1), 11);
    EXPECT_EQ(FrameStepTarget(10, -1, 0, 100, 1), 9);
    EXPECT_EQ(FrameStepTarget(0, -1, 0, 100, 1), 0);
    EXPECT_EQ(FrameStepTarget(80, 1, 0, 100, 1), 80);
    EXPECT_EQ(FrameStepTarget(99, -1, 0, 100, 1), 80);
    EXPECT_EQ(FrameStepTarget(70, 1, 0, 100, 2), 60);
    EXPECT_EQ(FrameStepTarget(5, 1, 0, 10, 1), 0) << "a recording shorter than the margin";

    EXPECT_EQ(FramesInSeconds(5, 40.0), 125);
    EXPECT_EQ(FramesInSeconds(-5, 1000.0 / 30.0), -150);
    EXPECT_EQ(FramesInSeconds(5, 1000.0 / 27.5), 138);
    EXPECT_EQ(FramesInSeconds(5, 0.0), 0);
}

} // namespace
} // namespace kirvano
