#include "generator/BarcodeLayout.h"

#include <algorithm>
#include <cstring>

namespace kirvano {

int BarcodeBandHeight(int pictureHeight) {
    return std::max(4, pictureHeight / 10);
}

int BarcodeCellLeft(int cell, int pictureWidth) {
    return static_cast<int>(static_cast<long long>(cell) * pictureWidth / kBarcodeCells);
}

std::array<bool, kBarcodeCells> BarcodeCellsOf(std::uint32_t frame) {
    std::array<bool, kBarcodeCells> cells{};
    cells[0] = true;
    cells[1] = false;
    int ones = 0;
    for (int bit = 0; bit < kBarcodeBits; ++bit) {
        const bool set = (frame >> (kBarcodeBits - 1 - bit)) & 1u;
        cells[2 + bit] = set;
        ones += set ? 1 : 0;
    }
    cells[2 + kBarcodeBits] = (ones % 2) == 1;
    cells[kBarcodeCells - 1] = false;
    return cells;
}

std::optional<std::uint32_t> DecodeBarcodeLevels(const std::array<int, kBarcodeCells>& levels) {
    const int light = levels[0];
    const int dark = std::max(levels[1], levels[kBarcodeCells - 1]);
    // Guards must differ clearly, or this is not a bar code (a plain or noisy picture).
    if (light - dark < 64) {
        return std::nullopt;
    }
    const int threshold = (light + dark) / 2;
    std::uint32_t frame = 0;
    int ones = 0;
    for (int bit = 0; bit < kBarcodeBits; ++bit) {
        const bool set = levels[2 + bit] > threshold;
        frame = (frame << 1) | (set ? 1u : 0u);
        ones += set ? 1 : 0;
    }
    const bool parity = levels[2 + kBarcodeBits] > threshold;
    if (parity != ((ones % 2) == 1)) {
        return std::nullopt;
    }
    return frame;
}

std::optional<std::uint32_t> ReadBarcode(int width, int height,
                                         const std::function<int(int x, int y)>& brightness) {
    if (width < kBarcodeCells * 2 || height < 8) {
        return std::nullopt;
    }
    const int band = BarcodeBandHeight(height);
    const int top = band / 4;
    const int bottom = std::max(top + 1, band - band / 4);
    std::array<int, kBarcodeCells> levels{};
    for (int cell = 0; cell < kBarcodeCells; ++cell) {
        const int left = BarcodeCellLeft(cell, width);
        const int right = BarcodeCellLeft(cell + 1, width);
        const int quarter = (right - left) / 4;
        const int x0 = left + quarter;
        const int x1 = std::max(x0 + 1, right - quarter);
        long long sum = 0;
        int count = 0;
        const int xStep = std::max(1, (x1 - x0) / 6);
        const int yStep = std::max(1, (bottom - top) / 4);
        for (int y = top; y < bottom; y += yStep) {
            for (int x = x0; x < x1; x += xStep) {
                sum += brightness(x, y);
                ++count;
            }
        }
        levels[cell] = count ? static_cast<int>(sum / count) : 0;
    }
    return DecodeBarcodeLevels(levels);
}

void DrawBarcode(std::uint8_t* luma, int width, int height, int stride, std::uint32_t frame) {
    const auto cells = BarcodeCellsOf(frame);
    const int band = std::min(height, BarcodeBandHeight(height));
    std::uint8_t* row = luma;
    for (int cell = 0; cell < kBarcodeCells; ++cell) {
        const int left = BarcodeCellLeft(cell, width);
        const int right = BarcodeCellLeft(cell + 1, width);
        std::memset(row + left, cells[cell] ? kBarcodeLight : kBarcodeDark,
                    static_cast<std::size_t>(right - left));
    }
    for (int y = 1; y < band; ++y) {
        std::memcpy(luma + static_cast<std::ptrdiff_t>(y) * stride, row,
                    static_cast<std::size_t>(width));
    }
}

} // namespace kirvano
