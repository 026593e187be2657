// The generated pictures: the bar code reads back through JPEG and scaling, the picture
// moves, and the text is drawn where it belongs.
#include "generator/BarcodeLayout.h"
#include "generator/FramePainter.h"
#include "support/FrameBarcode.h"

#include <QBuffer>
#include <QImage>
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>

namespace kirvano {
namespace {

using testing::ReadFrameBarcode;

std::uint8_t Clamp(double v) {
    return static_cast<std::uint8_t>(std::clamp(v, 0.0, 255.0));
}

// BT.601 limited-range I420 to RGB, as a decoder would show it.
QImage ToImage(const FramePainter& painter, const std::vector<std::uint8_t>& planes) {
    const int w = painter.width();
    const int h = painter.height();
    const std::uint8_t* y = planes.data();
    const std::uint8_t* u = y + w * h;
    const std::uint8_t* v = u + (w / 2) * (h / 2);
    QImage image(w, h, QImage::Format_RGB32);
    for (int row = 0; row < h; ++row) {
        auto* line = reinterpret_cast<QRgb*>(image.scanLine(row));
        for (int col = 0; col < w; ++col) {
            const double Y = 1.164 * (y[row * w + col] - 16);
            const double U = u[(row / 2) * (w / 2) + col / 2] - 128;
            const double V = v[(row / 2) * (w / 2) + col / 2] - 128;
            line[col] =
                qRgb(Clamp(Y + 1.596 * V), Clamp(Y - 0.392 * U - 0.813 * V), Clamp(Y + 2.017 * U));
        }
    }
    return image;
}

QImage Picture(int w, int h, std::uint32_t frame, double distance = 0) {
    FramePainter painter(w, h, 3);
    std::vector<std::uint8_t> planes(painter.frameBytes());
    FrameOverlay overlay;
    overlay.frame = frame;
    overlay.distanceMetres = distance;
    overlay.lines = {"FRONT 2024-05-18 08:12:03", "FRAME 001234 SPEED 45 KM/H"};
    painter.paint(overlay, planes.data());
    return ToImage(painter, planes);
}

QImage ThroughJpeg(const QImage& image, int quality) {
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    EXPECT_TRUE(image.save(&buffer, "JPG", quality));
    QImage decoded;
    EXPECT_TRUE(decoded.loadFromData(bytes, "JPG"));
    return decoded;
}

enum class Damage { None, Jpeg75, ScaledTo640Jpeg75, ScaledToThirdJpeg50 };

struct BarcodeCase {
    int width;
    int height;
    std::uint32_t frame;
    Damage damage;
};

class BarcodeReadBack : public ::testing::TestWithParam<BarcodeCase> {};

TEST_P(BarcodeReadBack, ReadsTheFrameNumber) {
    const BarcodeCase& c = GetParam();
    QImage image = Picture(c.width, c.height, c.frame, c.frame * 0.4);
    switch (c.damage) {
    case Damage::None:
        break;
    case Damage::Jpeg75:
        image = ThroughJpeg(image, 75);
        break;
    case Damage::ScaledTo640Jpeg75:
        image = ThroughJpeg(image.scaledToWidth(640, Qt::SmoothTransformation), 75);
        break;
    case Damage::ScaledToThirdJpeg50:
        image = ThroughJpeg(image.scaledToWidth(c.width / 3, Qt::SmoothTransformation), 50);
        break;
    }
    EXPECT_EQ(ReadFrameBarcode(image), static_cast<int>(c.frame));
}

INSTANTIATE_TEST_SUITE_P(
    Sizes, BarcodeReadBack,
    ::testing::Values(BarcodeCase{160, 120, 0, Damage::None},
                      BarcodeCase{160, 120, 1, Damage::Jpeg75},
                      BarcodeCase{160, 120, 65535, Damage::Jpeg75},
                      BarcodeCase{320, 240, 12345, Damage::Jpeg75},
                      BarcodeCase{320, 240, 0x5555, Damage::ScaledToThirdJpeg50},
                      BarcodeCase{1280, 720, 0x2AAA, Damage::ScaledTo640Jpeg75},
                      BarcodeCase{1920, 1080, 1649, Damage::ScaledTo640Jpeg75},
                      BarcodeCase{1920, 1080, 27000, Damage::Jpeg75},
                      BarcodeCase{1920, 1080, 0x8001, Damage::ScaledToThirdJpeg50}));

TEST(Barcode, EveryFrameOfAMinuteDecodesFromItsCells) {
    for (std::uint32_t frame = 0; frame <= 2000; ++frame) {
        const auto cells = BarcodeCellsOf(frame);
        std::array<int, kBarcodeCells> levels{};
        for (int i = 0; i < kBarcodeCells; ++i) {
            levels[i] = cells[i] ? 200 : 40;
        }
        ASSERT_EQ(DecodeBarcodeLevels(levels), frame);
    }
}

struct RejectCase {
    const char* what;
    std::array<int, kBarcodeCells> levels;
};

TEST(Barcode, RejectsWhatIsNotABarcode) {
    auto valid = [] {
        const auto cells = BarcodeCellsOf(1234);
        std::array<int, kBarcodeCells> levels{};
        for (int i = 0; i < kBarcodeCells; ++i) {
            levels[i] = cells[i] ? 220 : 20;
        }
        return levels;
    };
    auto flipped = valid();
    flipped[5] = flipped[5] > 100 ? 20 : 220;
    auto badParity = valid();
    badParity[2 + kBarcodeBits] = badParity[2 + kBarcodeBits] > 100 ? 20 : 220;
    auto noStart = valid();
    noStart[0] = 20;
    auto noEnd = valid();
    noEnd[kBarcodeCells - 1] = 220;
    std::array<int, kBarcodeCells> flat{};
    flat.fill(128);
    const RejectCase cases[] = {{"one data cell flipped", flipped},
                                {"parity cell flipped", badParity},
                                {"start guard dark", noStart},
                                {"end guard light", noEnd},
                                {"flat grey", flat}};
    for (const RejectCase& c : cases) {
        EXPECT_EQ(DecodeBarcodeLevels(c.levels), std::nullopt) << c.what;
    }
}

TEST(Barcode, PlainPicturesHaveNone) {
    QImage grey(320, 240, QImage::Format_RGB32);
    grey.fill(qRgb(128, 128, 128));
    EXPECT_EQ(ReadFrameBarcode(grey), std::nullopt);
    QImage white(320, 240, QImage::Format_RGB32);
    white.fill(qRgb(255, 255, 255));
    EXPECT_EQ(ReadFrameBarcode(white), std::nullopt);
    EXPECT_EQ(ReadFrameBarcode(QImage()), std::nullopt);
}

// Count of pixels that differ below the bar code and the text.
int ChangedScenePixels(const QImage& a, const QImage& b) {
    int changed = 0;
    for (int y = a.height() / 3; y < a.height(); ++y) {
        for (int x = 0; x < a.width(); ++x) {
            changed += a.pixel(x, y) != b.pixel(x, y) ? 1 : 0;
        }
    }
    return changed;
}

TEST(FramePainter, ThePictureMovesEvenWhenTheCarStands) {
    // Parked: the same distance, consecutive frames.
    EXPECT_GT(ChangedScenePixels(Picture(320, 240, 10, 5.0), Picture(320, 240, 11, 5.0)), 50);
    // Driving: the lane marks move with the distance alone.
    EXPECT_GT(ChangedScenePixels(Picture(320, 240, 10, 5.0), Picture(320, 240, 10, 8.0)), 20);
}

TEST(FramePainter, TextIsDrawnInTheFontAndClippedAtTheEdges) {
    std::vector<std::uint8_t> luma(40 * 20, 0);
    FramePainter::DrawText(luma.data(), 40, 20, 40, 1, 1, 1, "1", 200);
    // The glyph "1": its stem is column 2 of the glyph, rows 0..6.
    for (int row = 1; row <= 7; ++row) {
        EXPECT_EQ(luma[row * 40 + 1 + 2], 200) << row;
    }
    EXPECT_EQ(luma[1 * 40 + 1 + 0], 0);
    // Drawing far past the right and bottom edges writes nothing out of bounds.
    std::vector<std::uint8_t> small(10 * 10, 0);
    FramePainter::DrawText(small.data(), 10, 10, 10, 6, 6, 2, "WWW", 200);
    FramePainter::DrawText(small.data(), 10, 10, 10, -20, -20, 2, "88888888", 200);
    EXPECT_EQ(FramePainter::TextWidth("ABC", 2), 36);
}

} // namespace
} // namespace kirvano
