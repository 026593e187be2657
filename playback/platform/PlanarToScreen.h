// Planar 4:2:0 frames (I420, YV12) made into smaller RGB32 pictures for the screen in one
// pass: each picture line gathers its nearest samples into short rows and changes their
// colour space there, sixteen pixels at a time. GStreamer's general converter unpacks whole
// source lines first, and its fast paths need a scaled copy of the planes in between; on a
// 1080p frame shown at 656 x 369 this takes about half their time.
#pragma once

#include <QImage>
#include <QSize>

#include <gst/video/video.h>

#include <cstdint>
#include <vector>

namespace kirvano {

// Fixed-point factors (1/64) of a YUV to RGB conversion, from the frame's matrix and range.
struct YuvFactors {
    int yOffset = 16; // subtracted from Y first
    int yScale = 0;   // Y' = ((Y - yOffset) << 8) * yScale >> 16, in 1/64
    int rv = 0;       // R = Y' + rv * V
    int gu = 0;       // G = Y' - gu * U - gv * V
    int gv = 0;
    int bu = 0; // B = Y' + bu * U
};

// The factors for a frame's colours; false for colours this path does not handle.
bool YuvFactorsOf(const GstVideoInfo& info, YuvFactors& factors);

// A gather by byte shuffles: for each block of sixteen samples, where its source bytes
// start and, for each of `loads` 16-byte loads from there, which byte goes to which lane
// (0x80: none). Blocks past the last one listed are gathered one by one.
struct ShuffleGather {
    int loads = 0;
    std::vector<int> starts;
    std::vector<std::uint8_t> masks;
};

// The shuffles for a nearest map over a source line of `sourceWidth` bytes; empty where
// the processor lacks byte shuffles or the samples lie too far apart.
ShuffleGather ShuffleGatherOf(const std::vector<int>& map, int sourceWidth);

class PlanarToScreen {
public:
    // Frames this path converts: 8-bit I420 or YV12, progressive, in YUV colours.
    static bool Handles(const GstVideoInfo& info);
    // Into an RGB32 picture no larger than the frame; false when the frame is not handled.
    bool Convert(const GstVideoFrame& source, QImage& picture);

private:
    void Prepare(const GstVideoInfo& info, QSize size);

    GstVideoInfo in_{};
    QSize out_;
    YuvFactors factors_;
    std::vector<int> xMap_, chromaXMap_, yMap_, chromaYMap_;
    ShuffleGather xShuffle_, chromaXShuffle_;
    std::vector<std::uint8_t> yRow_, uRow_, vRow_;
};

// One picture line from gathered rows (u and v hold a sample per two pixels).
void YuvRowToRgb32(const std::uint8_t* y, const std::uint8_t* u, const std::uint8_t* v,
                   std::uint32_t* out, int width, const YuvFactors& f);

} // namespace kirvano
