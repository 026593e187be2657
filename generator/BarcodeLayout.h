// The frame-number bar code that every generated movie frame carries: a band of light and
// dark cells across the top of the picture, large enough to survive JPEG compression and
// a scale-down to a third of the width. The same layout is used to draw and to read it.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <optional>

namespace kirvano {

// Cell 0 light and cell 1 dark (the start guard), cells 2..17 the frame number's 16 bits
// from the highest (light = 1), cell 18 the parity bit (light when the number of 1 bits
// is odd) and cell 19 dark (the end guard).
inline constexpr int kBarcodeCells = 20;
inline constexpr int kBarcodeBits = 16;
inline constexpr std::uint32_t kBarcodeMaxFrame = (1u << kBarcodeBits) - 1;

inline constexpr std::uint8_t kBarcodeLight = 235;
inline constexpr std::uint8_t kBarcodeDark = 16;

// Height of the band in pixel rows for a picture of the given height.
int BarcodeBandHeight(int pictureHeight);
// The first column of a cell (cell kBarcodeCells gives the picture width).
int BarcodeCellLeft(int cell, int pictureWidth);

// Which cells are light for a frame number (only its low 16 bits are coded).
std::array<bool, kBarcodeCells> BarcodeCellsOf(std::uint32_t frame);

// Decodes the mean brightness of each cell (0..255): none when the guards are not clearly
// light and dark or the parity does not match.
std::optional<std::uint32_t> DecodeBarcodeLevels(const std::array<int, kBarcodeCells>& levels);

// Reads the bar code of a picture through a brightness function (x, y -> 0..255), sampling
// the middle of every cell so that blurred edges do not count.
std::optional<std::uint32_t> ReadBarcode(int width, int height,
                                         const std::function<int(int x, int y)>& brightness);

// Draws the band into an 8-bit luma plane.
void DrawBarcode(std::uint8_t* luma, int width, int height, int stride, std::uint32_t frame);

} // namespace kirvano
