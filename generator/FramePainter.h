// Draws the generated movies' pictures straight into I420 planes: a road scene that moves
// with the car's speed, a square that never stops, the frame-number bar code and lines of
// text in a small built-in bitmap font. Far cheaper than encoding the picture.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace kirvano {

struct FrameOverlay {
    std::uint32_t frame = 0;
    double distanceMetres = 0;      // how far the car has come; moves the lane marks
    std::vector<std::string> lines; // human-readable text, drawn below the bar code
};

class FramePainter {
public:
    // width and height must be even and at least 32 x 24. tint varies the scene's colours
    // so that front and rear pictures look different.
    FramePainter(int width, int height, int tint);

    int width() const { return width_; }
    int height() const { return height_; }
    // Bytes of one I420 picture: the Y plane, then the U and V planes at half size.
    std::size_t frameBytes() const { return background_.size(); }

    // Writes the picture of one frame into out (frameBytes() bytes).
    void paint(const FrameOverlay& overlay, std::uint8_t* out) const;

    // Text of the built-in font: upper-case letters, digits, space and : - / . , %.
    // Other characters are drawn as blanks. Scale is the size of one font pixel.
    static void DrawText(std::uint8_t* luma, int width, int height, int stride, int x, int y,
                         int scale, std::string_view text, std::uint8_t level);
    static int TextWidth(std::string_view text, int scale);
    static constexpr int kGlyphWidth = 5;
    static constexpr int kGlyphHeight = 7;

private:
    int width_;
    int height_;
    int horizon_; // first row of the road
    int textScale_;
    std::vector<std::uint8_t> background_;
};

} // namespace kirvano
