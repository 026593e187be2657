#include "app/rules/LayoutTable.h"

#include <algorithm>
#include <cmath>

namespace kirvano {

namespace {

constexpr int kVideoLeft = 6;
constexpr int kVideoTop = 24;
constexpr int kSliderHeight = 10;
constexpr int kProgressBarHeight = 22;
constexpr int kButtonSize = 32;
constexpr int kButtonPitch = 47;
constexpr int kFirstButtonLeft = 20;
constexpr int kButtonGap = 30; // after the ninth placed button
constexpr int kButtonsBeforeGap = 9;
constexpr int kSidePanelWidth = 452;
constexpr int kMapHeight = 368;

struct ModeNumbers {
    int videoWidth;
    int videoHeight;
    int buttonTopFromBottom;
    int dockedStripWidth;
    int referenceWidth;
    int referenceHeight;
    LayoutPoint zoomCentre;
};

constexpr std::array<ModeNumbers, kLayoutCount> kModes{{
    {656, 369, 35, 98, 452, 368, {328, 184}},
    {868, 489, 36, 138, 598, 487, {434, 244}},
    {1108, 624, 36, 0, 0, 0, {554, 312}},
}};

// The buttons of layout 2, by command id - 38000, in their order.
constexpr std::array<int, 8> kLayout2Buttons{0, 1, 2, 3, 4, 5, 8, 13};

constexpr LayoutRect Height(LayoutRect r, int bottom) {
    r.height = std::max(0, bottom - r.y);
    return r;
}

} // namespace

int NextLayout(int mode) {
    return mode == 0 ? 1 : mode == 1 ? 2 : 0;
}

MainLayout LayoutFor(int mode, int clientWidth, int clientHeight) {
    if (mode < 0 || mode >= kLayoutCount)
        mode = 0;
    const ModeNumbers& n = kModes[static_cast<std::size_t>(mode)];
    const ModeNumbers& first = kModes[0];
    MainLayout l;
    l.mainVideo = {kVideoLeft, kVideoTop, n.videoWidth, n.videoHeight};
    const int videoBottom = l.mainVideo.bottom();
    l.seekSlider = {kVideoLeft, videoBottom, n.videoWidth, kSliderHeight};
    l.progressBar = {kVideoLeft, videoBottom - kProgressBarHeight, n.videoWidth,
                     kProgressBarHeight};
    const int underSlider = videoBottom + kSliderHeight;

    // The graph and the map place are those of layout 0; the other layouts hide them
    // (the larger video would cover them).
    const int firstVideoBottom = kVideoTop + first.videoHeight;
    l.graph = Height({kVideoLeft, firstVideoBottom + 95, first.videoWidth, 0}, clientHeight - 135);
    l.mapPlace = {kVideoLeft + first.videoWidth, kVideoTop, kSidePanelWidth, kMapHeight};
    l.dockedStripWidth = n.dockedStripWidth;
    l.referenceWidth = n.referenceWidth;
    l.referenceHeight = n.referenceHeight;
    l.mainZoomCentre = n.zoomCentre;

    const int buttonTop = clientHeight - n.buttonTopFromBottom;
    auto rowPlace = [&](int placedIndex) {
        const int left = kFirstButtonLeft + placedIndex * kButtonPitch +
                         (placedIndex >= kButtonsBeforeGap ? kButtonGap : 0);
        return ToolButtonPlace{ToolButtonPlace::Kind::Placed,
                               {left, buttonTop, kButtonSize, kButtonSize}};
    };
    LayoutRect lastPlaced;
    switch (mode) {
    case 0:
        l.infoPanel = {kVideoLeft, underSlider, n.videoWidth, 85};
        l.graphShown = true;
        l.mapShown = true;
        l.listShown = true;
        l.listForm = 0;
        l.list = Height({l.mainVideo.right(), kVideoTop + kMapHeight, kSidePanelWidth, 0},
                        clientHeight - 40);
        for (int i = 0; i < kLayoutToolButtons; ++i)
            l.toolButtons[static_cast<std::size_t>(i)] = rowPlace(i);
        lastPlaced = l.toolButtons[kLayoutToolButtons - 1].rect;
        break;
    case 1:
        l.infoPanel = Height({kVideoLeft, underSlider, n.videoWidth, 0}, clientHeight - 50);
        l.listShown = true;
        l.listForm = 1;
        // Beside the video, as far right as the side panels of layout 0 reach.
        l.list = Height({l.mainVideo.right(), kVideoTop,
                         kVideoLeft + first.videoWidth + kSidePanelWidth - l.mainVideo.right(), 0},
                        clientHeight - 40);
        for (int i = 0; i < kLayoutToolButtons - 1; ++i)
            l.toolButtons[static_cast<std::size_t>(i)] = rowPlace(i);
        l.toolButtons[kLayoutToolButtons - 1].kind = ToolButtonPlace::Kind::Kept;
        lastPlaced = l.toolButtons[kLayoutToolButtons - 2].rect;
        break;
    default:
        l.infoPanel = Height({4, underSlider, clientWidth - 8, 0}, clientHeight - 38);
        for (auto& place : l.toolButtons)
            place.kind = ToolButtonPlace::Kind::Hidden;
        for (std::size_t k = 0; k < kLayout2Buttons.size(); ++k) {
            // No gap: the row holds only eight buttons.
            const int left = kFirstButtonLeft + static_cast<int>(k) * kButtonPitch;
            l.toolButtons[static_cast<std::size_t>(kLayout2Buttons[k])] = {
                ToolButtonPlace::Kind::Placed, {left, buttonTop, kButtonSize, kButtonSize}};
            lastPlaced = {left, buttonTop, kButtonSize, kButtonSize};
        }
        break;
    }
    l.volumeSlider = {lastPlaced.right() + 120, clientHeight - 30, 100, 20};
    l.closeButton = {clientWidth - 56, 0, 46, 18};
    l.layoutButton = {clientWidth - 82, 0, 26, 18};
    l.minimiseButton = {clientWidth - 108, 0, 26, 18};
    return l;
}

void ResetZoom(ZoomRecord& record, LayoutPoint centre) {
    record.current = 1.0f;
    record.next = 1.0f;
    record.offsetX = 0;
    record.offsetY = 0;
    record.derivedX = record.clickX;
    record.derivedY = record.clickY;
    record.centre = centre;
}

void ZoomClick(ZoomRecord& record, int x, int y, int width, int top, int viewX, int viewY) {
    record.clickX = x;
    record.clickY = y;
    const float d = record.next;
    if (d <= 0.0f) {
        ResetZoom(record, record.centre);
        return;
    }
    const auto trunc = [](float value) { return static_cast<int>(std::trunc(value)); };
    record.derivedX = width + x - trunc((static_cast<float>(x) * (d - 1.0f) + viewX) / d);
    record.derivedY = y + top - trunc((static_cast<float>(y) * (d - 1.0f) + viewY) / d);
    record.offsetX = x - record.derivedX;
    record.offsetY = y - record.derivedY;
    record.current = d;
    record.next = d + 1.0f;
    if (record.next > 3.0f)
        ResetZoom(record, record.centre);
}

ZoomView ViewOfZoom(const ZoomRecord& record) {
    return {record.current, record.centre.x, record.centre.y, -record.offsetX, -record.offsetY};
}

void ScaleSubOffsets(ZoomRecord& record, bool toDocked, const MainLayout& layout, int stripWidth,
                     int stripHeight) {
    if (layout.referenceWidth <= 0 || layout.referenceHeight <= 0 || stripWidth <= 0 ||
        stripHeight <= 0)
        return;
    const double sx = toDocked ? static_cast<double>(stripWidth) / layout.referenceWidth
                               : static_cast<double>(layout.referenceWidth) / stripWidth;
    const double sy = toDocked ? static_cast<double>(stripHeight) / layout.referenceHeight
                               : static_cast<double>(layout.referenceHeight) / stripHeight;
    record.offsetX = static_cast<int>(std::trunc(record.offsetX * sx));
    record.offsetY = static_cast<int>(std::trunc(record.offsetY * sy));
    record.derivedX = record.clickX - record.offsetX;
    record.derivedY = record.clickY - record.offsetY;
}

} // namespace kirvano
