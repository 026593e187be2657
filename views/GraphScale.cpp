#include "views/GraphScale.h"

#include <algorithm>
#include <cmath>

namespace kirvano {

int ScaleModeOf(double peakG) {
    if (peakG >= 1.5) {
        return 3;
    }
    if (peakG >= 1.0) {
        return 2;
    }
    if (peakG >= 0.5) {
        return 1;
    }
    return 0;
}

int PixelsPerG(int mode, int height) {
    return (height - 6) / (std::clamp(mode, 0, 3) + 1);
}

std::int64_t GraphWindow::FrameAt(std::int64_t n) const {
    return static_cast<std::int64_t>(firstFrame + static_cast<double>(n));
}

int GraphWindow::ColumnAt(std::int64_t n) const {
    return kGraphLeftMargin + static_cast<int>(static_cast<double>(n) * pixelsPerFrame);
}

GraphWindow WindowOf(int width, std::int64_t frameCount, std::int64_t currentFrame) {
    GraphWindow w;
    const int columns = width - kGraphLeftMargin - 1;
    if (columns <= 0 || frameCount <= 0) {
        return w;
    }
    const double q = static_cast<double>(columns) / static_cast<double>(frameCount);
    w.pixelsPerFrame = std::max(q, 1.0);
    w.firstFrame = (1.0 - q / w.pixelsPerFrame) * static_cast<double>(currentFrame);
    w.count = static_cast<std::int64_t>(columns / w.pixelsPerFrame);
    return w;
}

int CurveLevel(double g, int pixelsPerG, int centre) {
    if (std::isnan(g)) {
        g = 0.0;
    }
    const double held = std::clamp(g, -kGraphLimitG, kGraphLimitG);
    const int y = static_cast<int>(held * pixelsPerG);
    const int edge = std::max(0, centre - 5);
    return std::clamp(y, -edge, edge);
}

int CursorColumn(int width, std::int64_t frameCount, std::int64_t currentFrame) {
    if (frameCount <= 0) {
        return kGraphLeftMargin;
    }
    const double span = static_cast<double>(width - kGraphLeftMargin);
    return kGraphLeftMargin + static_cast<int>(static_cast<double>(currentFrame) * span /
                                               static_cast<double>(frameCount));
}

} // namespace kirvano
