// The arithmetic of the G-sensor graph, free of drawing code: the scale mode from the
// recording's peak G, pixels per G, the window of frames drawn at a position, a curve
// point's row and the cursor column.
#pragma once

#include <cstdint>

namespace kirvano {

inline constexpr int kGraphLeftMargin = 50;
inline constexpr double kGraphLimitG = 2.0;

// 3 from 1.5 G, 2 from 1.0 G, 1 from 0.5 G, else 0.
int ScaleModeOf(double peakG);
// Pixels of one G: (height - 6) divided by 1, 2, 3 or 4 for modes 0..3 (integer division).
int PixelsPerG(int mode, int height);

// The frames drawn for a graph `width` pixels wide: q = (width - margin - 1) / frames,
// p = max(q, 1) pixels a frame, the first frame s = (1 - q / p) x current and count =
// (width - margin - 1) / p frames.
struct GraphWindow {
    double pixelsPerFrame = 1.0; // p
    double firstFrame = 0.0;     // s
    std::int64_t count = 0;
    // Recording frame and column of window frame n.
    std::int64_t FrameAt(std::int64_t n) const;
    int ColumnAt(std::int64_t n) const;
};
GraphWindow WindowOf(int width, std::int64_t frameCount, std::int64_t currentFrame);

// The curve's level of value g: g held within +-2 G, times `pixelsPerG`, truncated, then
// held within +-(centre - 5).
int CurveLevel(double g, int pixelsPerG, int centre);

// left margin + truncation of current x (width - margin) / frames; the margin for no frames.
int CursorColumn(int width, std::int64_t frameCount, std::int64_t currentFrame);

} // namespace kirvano
