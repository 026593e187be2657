#include "generator/FramePainter.h"

#include "generator/BarcodeLayout.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>

namespace kirvano {
namespace {

struct Glyph {
    char c;
    std::array<std::uint8_t, 7> rows; // five bits each, the leftmost column highest
};

constexpr Glyph kFont[] = {
    {'%', {0x18, 0x19, 0x02, 0x04, 0x08, 0x13, 0x03}},
    {',', {0x00, 0x00, 0x00, 0x00, 0x0C, 0x04, 0x08}},
    {'-', {0x00, 0x00, 0x00, 0x1F, 0x00, 0x00, 0x00}},
    {'.', {0x00, 0x00, 0x00, 0x00, 0x00, 0x0C, 0x0C}},
    {'/', {0x00, 0x01, 0x02, 0x04, 0x08, 0x10, 0x00}},
    {'0', {0x0E, 0x11, 0x13, 0x15, 0x19, 0x11, 0x0E}},
    {'1', {0x04, 0x0C, 0x04, 0x04, 0x04, 0x04, 0x0E}},
    {'2', {0x0E, 0x11, 0x01, 0x02, 0x04, 0x08, 0x1F}},
    {'3', {0x1F, 0x02, 0x04, 0x02, 0x01, 0x11, 0x0E}},
    {'4', {0x02, 0x06, 0x0A, 0x12, 0x1F, 0x02, 0x02}},
    {'5', {0x1F, 0x10, 0x1E, 0x01, 0x01, 0x11, 0x0E}},
    {'6', {0x06, 0x08, 0x10, 0x1E, 0x11, 0x11, 0x0E}},
    {'7', {0x1F, 0x01, 0x02, 0x04, 0x08, 0x08, 0x08}},
    {'8', {0x0E, 0x11, 0x11, 0x0E, 0x11, 0x11, 0x0E}},
    {'9', {0x0E, 0x11, 0x11, 0x0F, 0x01, 0x02, 0x0C}},
    {':', {0x00, 0x0C, 0x0C, 0x00, 0x0C, 0x0C, 0x00}},
    {'A', {0x0E, 0x11, 0x11, 0x1F, 0x11, 0x11, 0x11}},
    {'B', {0x1E, 0x11, 0x11, 0x1E, 0x11, 0x11, 0x1E}},
    {'C', {0x0E, 0x11, 0x10, 0x10, 0x10, 0x11, 0x0E}},
    {'D', {0x1C, 0x12, 0x11, 0x11, 0x11, 0x12, 0x1C}},
    {'E', {0x1F, 0x10, 0x10, 0x1E, 0x10, 0x10, 0x1F}},
    {'F', {0x1F, 0x10, 0x10, 0x1E, 0x10, 0x10, 0x10}},
    {'G', {0x0E, 0x11, 0x10, 0x17, 0x11, 0x11, 0x0F}},
    {'H', {0x11, 0x11, 0x11, 0x1F, 0x11, 0x11, 0x11}},
    {'I', {0x0E, 0x04, 0x04, 0x04, 0x04, 0x04, 0x0E}},
    {'J', {0x07, 0x02, 0x02, 0x02, 0x02, 0x12, 0x0C}},
    {'K', {0x11, 0x12, 0x14, 0x18, 0x14, 0x12, 0x11}},
    {'L', {0x10, 0x10, 0x10, 0x10, 0x10, 0x10, 0x1F}},
    {'M', {0x11, 0x1B, 0x15, 0x15, 0x11, 0x11, 0x11}},
    {'N', {0x11, 0x11, 0x19, 0x15, 0x13, 0x11, 0x11}},
    {'O', {0x0E, 0x11, 0x11, 0x11, 0x11, 0x11, 0x0E}},
    {'P', {0x1E, 0x11, 0x11, 0x1E, 0x10, 0x10, 0x10}},
    {'Q', {0x0E, 0x11, 0x11, 0x11, 0x15, 0x12, 0x0D}},
    {'R', {0x1E, 0x11, 0x11, 0x1E, 0x14, 0x12, 0x11}},
    {'S', {0x0F, 0x10, 0x10, 0x0E, 0x01, 0x01, 0x1E}},
    {'T', {0x1F, 0x04, 0x04, 0x04, 0x04, 0x04, 0x04}},
    {'U', {0x11, 0x11, 0x11, 0x11, 0x11, 0x11, 0x0E}},
    {'V', {0x11, 0x11, 0x11, 0x11, 0x11, 0x0A, 0x04}},
    {'W', {0x11, 0x11, 0x11, 0x15, 0x15, 0x15, 0x0A}},
    {'X', {0x11, 0x11, 0x0A, 0x04, 0x0A, 0x11, 0x11}},
    {'Y', {0x11, 0x11, 0x11, 0x0A, 0x04, 0x04, 0x04}},
    {'Z', {0x1F, 0x01, 0x02, 0x04, 0x08, 0x10, 0x1F}},
};

const Glyph* GlyphOf(char c) {
    for (const Glyph& glyph : kFont) {
        if (glyph.c == c) {
            return &glyph;
        }
    }
    return nullptr;
}

constexpr int kTextLines = 2;
constexpr double kDashPeriodMetres = 12.0;

// Distance (metres) to the road seen at a row below the horizon, for a camera 1.3 m high.
double DepthOfRow(int row, int horizon, int height) {
    const double below = std::max(1, row - horizon);
    return 1.3 * (height - horizon) * 2.0 / below;
}

} // namespace

FramePainter::FramePainter(int width, int height, int tint)
    : width_(width), height_(height), horizon_(height * 11 / 20),
      textScale_(std::max(1, height / 180)) {
    const std::size_t lumaBytes = static_cast<std::size_t>(width) * height;
    const int cw = width / 2;
    const int ch = height / 2;
    background_.assign(lumaBytes + 2 * static_cast<std::size_t>(cw) * ch, 0);
    std::uint8_t* y = background_.data();
    std::uint8_t* u = y + lumaBytes;
    std::uint8_t* v = u + static_cast<std::size_t>(cw) * ch;
    const int band = BarcodeBandHeight(height);
    const int textBottom = band + textScale_ * (2 + kTextLines * (kGlyphHeight + 3));
    for (int row = 0; row < height; ++row) {
        std::uint8_t* line = y + static_cast<std::ptrdiff_t>(row) * width;
        if (row < band) {
            std::memset(line, kBarcodeDark, width);
        } else if (row < textBottom) {
            std::memset(line, 32, width);
        } else if (row < horizon_) {
            const int level = 200 - 60 * row / std::max(1, horizon_);
            std::memset(line, level, width);
        } else {
            // Grass on both sides of a road that widens towards the bottom.
            const double t = static_cast<double>(row - horizon_) / (height - horizon_);
            const int half = static_cast<int>(width * (0.04 + 0.46 * t));
            const int left = std::max(0, width / 2 - half);
            const int right = std::min(width, width / 2 + half);
            std::memset(line, 110, width);
            std::memset(line + left, 85, right - left);
        }
    }
    for (int row = 0; row < ch; ++row) {
        const int lumaRow = row * 2;
        for (int col = 0; col < cw; ++col) {
            std::uint8_t cu = 128;
            std::uint8_t cv = 128;
            if (lumaRow >= textBottom && lumaRow < horizon_) {
                cu = static_cast<std::uint8_t>(150 + tint % 20); // sky
                cv = static_cast<std::uint8_t>(112 + tint % 12);
            } else if (lumaRow >= horizon_) {
                const std::uint8_t luma = y[static_cast<std::ptrdiff_t>(lumaRow) * width + col * 2];
                if (luma == 110) { // grass
                    cu = 100;
                    cv = static_cast<std::uint8_t>(100 + tint % 16);
                }
            }
            u[static_cast<std::ptrdiff_t>(row) * cw + col] = cu;
            v[static_cast<std::ptrdiff_t>(row) * cw + col] = cv;
        }
    }
}

void FramePainter::paint(const FrameOverlay& overlay, std::uint8_t* out) const {
    std::memcpy(out, background_.data(), background_.size());
    std::uint8_t* luma = out;

    // Lane marks in the middle of the road, moving towards the viewer as the car drives.
    for (int row = horizon_ + 1; row < height_; ++row) {
        const double depth = DepthOfRow(row, horizon_, height_) + overlay.distanceMetres;
        if (std::fmod(depth, kDashPeriodMetres) < kDashPeriodMetres / 2) {
            const double t = static_cast<double>(row - horizon_) / (height_ - horizon_);
            const int half = std::max(1, static_cast<int>(width_ * 0.012 * t));
            std::memset(luma + static_cast<std::ptrdiff_t>(row) * width_ + width_ / 2 - half, 220,
                        2 * half);
        }
    }

    // A square that keeps moving, so that even a parked camera's picture changes.
    const int side = std::max(4, height_ / 8);
    const int band = BarcodeBandHeight(height_);
    const int textBottom = band + textScale_ * (2 + kTextLines * (kGlyphHeight + 3));
    const double phase = overlay.frame * 0.05;
    const int sx = static_cast<int>((width_ - side) * (0.5 + 0.5 * std::sin(phase)));
    const int skyRows = std::max(1, horizon_ - textBottom - side);
    const int sy = textBottom + static_cast<int>(skyRows * (0.5 + 0.5 * std::sin(phase * 1.7)));
    for (int row = sy; row < std::min(height_, sy + side); ++row) {
        std::memset(luma + static_cast<std::ptrdiff_t>(row) * width_ + sx, 60, side);
    }

    DrawBarcode(luma, width_, height_, width_, overlay.frame);
    int y = band + textScale_ * 2;
    for (std::size_t i = 0; i < overlay.lines.size() && i < kTextLines; ++i) {
        DrawText(luma, width_, height_, width_, textScale_ * 2, y, textScale_, overlay.lines[i],
                 235);
        y += textScale_ * (kGlyphHeight + 3);
    }
}

int FramePainter::TextWidth(std::string_view text, int scale) {
    return static_cast<int>(text.size()) * (kGlyphWidth + 1) * scale;
}

void FramePainter::DrawText(std::uint8_t* luma, int width, int height, int stride, int x, int y,
                            int scale, std::string_view text, std::uint8_t level) {
    for (char c : text) {
        const Glyph* glyph = GlyphOf(c >= 'a' && c <= 'z' ? static_cast<char>(c - 32) : c);
        if (glyph) {
            for (int gy = 0; gy < kGlyphHeight; ++gy) {
                for (int gx = 0; gx < kGlyphWidth; ++gx) {
                    if (!((glyph->rows[gy] >> (kGlyphWidth - 1 - gx)) & 1)) {
                        continue;
                    }
                    const int px = x + gx * scale;
                    const int py = y + gy * scale;
                    for (int dy = 0; dy < scale; ++dy) {
                        if (py + dy < 0 || py + dy >= height || px < 0 || px + scale > width) {
                            continue;
                        }
                        std::memset(luma + static_cast<std::ptrdiff_t>(py + dy) * stride + px,
                                    level, scale);
                    }
                }
            }
        }
        x += (kGlyphWidth + 1) * scale;
    }
}

} // namespace kirvano
