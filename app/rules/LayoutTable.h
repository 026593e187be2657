// Where every child of the main window sits in each of its three layouts, in logical
// pixels of the window's client area, and the click zoom of a video window: the zoom
// record of a camera slot, the picture it asks for, and how the sub camera's offsets follow
// it between its docked strip and its floating window. Plain numbers, free of widgets.
#pragma once

#include <array>

namespace kirvano {

struct LayoutRect {
    int x = 0;
    int y = 0;
    int width = 0;
    int height = 0;
    int right() const { return x + width; }   // one past the last column
    int bottom() const { return y + height; } // one past the last row
    bool operator==(const LayoutRect&) const = default;
};

struct LayoutPoint {
    int x = 0;
    int y = 0;
    bool operator==(const LayoutPoint&) const = default;
};

inline constexpr int kLayoutCount = 3;
inline constexpr int kLayoutClientWidth = 1120;
inline constexpr int kLayoutClientHeight = 697;
inline constexpr int kLayoutToolButtons = 15; // 38000..38014 by command id - 38000

// The layout after mode in the cycle 0 -> 1 -> 2 -> 0 (anything else starts again at 0).
int NextLayout(int mode);

// A tool button in a layout: placed at rect and shown, hidden, or left where it was
// (neither moved nor shown or hidden by the layout).
struct ToolButtonPlace {
    enum class Kind { Placed, Hidden, Kept };
    Kind kind = Kind::Kept;
    LayoutRect rect;
    bool operator==(const ToolButtonPlace&) const = default;
};

struct MainLayout {
    LayoutRect mainVideo;
    LayoutRect seekSlider;
    LayoutRect progressBar; // along the bottom of the main video area
    LayoutRect infoPanel;
    bool graphShown = false;
    LayoutRect graph;
    bool mapShown = false; // the map or the logo panel that stands in its place
    LayoutRect mapPlace;
    bool listShown = false;
    int listForm = 0; // 0 side by side, 1 stacked
    LayoutRect list;
    int dockedStripWidth = 0;
    // The size the sub camera's zoom offsets are scaled against between its floating
    // window and its docked strip; 0 x 0 when they are not scaled.
    int referenceWidth = 0;
    int referenceHeight = 0;
    LayoutPoint mainZoomCentre;
    std::array<ToolButtonPlace, kLayoutToolButtons> toolButtons{};
    LayoutRect volumeSlider;
    LayoutRect closeButton;
    LayoutRect layoutButton;
    LayoutRect minimiseButton;
};

// The layout of mode (0, 1 or 2; anything else is taken as 0) in a client area of
// clientWidth x clientHeight.
MainLayout LayoutFor(int mode, int clientWidth = kLayoutClientWidth,
                     int clientHeight = kLayoutClientHeight);

// The floating window of the sub camera and the video inside it.
inline constexpr LayoutRect kFloatingWindow{0, 0, 452, 274};
inline constexpr LayoutRect kFloatingVideo{1, 20, 450, 253};

// The click zoom of one camera slot.
struct ZoomRecord {
    bool enabled = false;
    int clickX = 0;
    int clickY = 0;
    int derivedX = 0; // u
    int derivedY = 0; // v
    int offsetX = 0;  // x - u
    int offsetY = 0;  // y - v
    float current = 1.0f;
    float next = 1.0f;
    LayoutPoint centre;
    bool operator==(const ZoomRecord&) const = default;
};

// Both factors 1, no offsets, the given zoom centre; the enabled flag and the last click
// stay.
void ResetZoom(ZoomRecord& record, LayoutPoint centre);

// A confirmed single click at (x, y) in a video window of client width width and top top,
// whose player's view currently reaches (viewX, viewY): the view's right edge and top
// before the picture is fitted to its aspect ratio. d is taken from the next factor,
// u = width + x - trunc((x (d - 1) + viewX) / d), v = y + top - trunc((y (d - 1) + viewY) / d),
// the offsets are (x - u, y - v), the current factor becomes d and the next d + 1. When the
// next factor passes 3 the zoom is reset instead (around the record's centre), so every
// third click after a reset shows the whole picture again.
void ZoomClick(ZoomRecord& record, int x, int y, int width, int top, int viewX, int viewY);

// What the player is asked to show for a record: the magnification around the record's
// centre, moved towards the clicked side by the offsets.
struct ZoomView {
    float zoom = 1.0f;
    int centreX = 0;
    int centreY = 0;
    int panX = 0;
    int panY = 0;
    bool operator==(const ZoomView&) const = default;
};
ZoomView ViewOfZoom(const ZoomRecord& record);

// The sub camera's offsets when it docks into a strip of stripWidth x stripHeight
// (toDocked) or floats again, scaled against the layout's reference size; unchanged where
// the layout has none or the strip is empty.
void ScaleSubOffsets(ZoomRecord& record, bool toDocked, const MainLayout& layout, int stripWidth,
                     int stripHeight);

} // namespace kirvano
