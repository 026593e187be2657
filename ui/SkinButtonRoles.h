// The main window's skinned buttons: command id, tooltip (text-table entry), image strip
// and size of each, and one call that makes a button for a role.
#pragma once

#include <array>

class QWidget;

namespace kirvano {

class CSkinButton;

struct SkinButtonRole {
    int commandId;
    int tooltip; // text-table entry
    int image;   // resource number of the strip
    int width;
    int height;
};

// The 15 tool buttons 38000..38014, 32 x 32.
inline constexpr std::array<SkinButtonRole, 15> kToolButtons = {{
    {38000, 20, 154, 32, 32},  // to the start / cancel a long task
    {38001, 13, 144, 32, 32},  // previous recording
    {38002, 12, 148, 32, 32},  // play / pause
    {38003, 17, 142, 32, 32},  // slower
    {38004, 4, 139, 32, 32},   // faster
    {38005, 9, 145, 32, 32},   // next recording
    {38006, 19, 153, 32, 32},  // snapshot
    {38007, 1, 150, 32, 32},   // join
    {38008, 21, 200, 32, 32},  // zoom
    {38009, 10, 146, 32, 32},  // choose a source
    {38010, 3, 138, 32, 32},   // delete
    {38011, 16, 151, 32, 32},  // settings
    {38012, 2, 137, 32, 32},   // CSV export
    {38013, 153, 356, 32, 32}, // swap cameras
    {38014, 156, 359, 32, 32}, // map view switch
}};

// The caption buttons: close, layout, minimise.
inline constexpr std::array<SkinButtonRole, 3> kCaptionButtons = {{
    {15, 0, 155, 46, 18},
    {17, 7, 157, 26, 18},
    {16, 137, 156, 26, 18},
}};

// The play button while playback runs.
inline constexpr int kPlayButtonPlayingImage = 147;
inline constexpr int kPlayButtonPlayingTooltip = 11;

// A button for a role: its strip, its size and its tooltip.
CSkinButton* CreateSkinButton(QWidget* parent, const SkinButtonRole& role);
// The play button's strip and tooltip for the playing or the not-playing state.
void ShowPlayState(CSkinButton& playButton, bool playing);

} // namespace kirvano
