#include "ui/CLapTimeArea.h"

#include <gtest/gtest.h>

#include <memory>

namespace kirvano {
namespace {

QFont FontOf(const char* family, int pixels) {
    QFont font(QString::fromLatin1(family));
    font.setPixelSize(pixels);
    return font;
}

TEST(LapTimeAreaTest, ConstructionSetsTheColours) {
    CLapTimeArea area;
    EXPECT_EQ(area.BackgroundColour(), QColor(63, 63, 63));
    EXPECT_EQ(area.TextColour(), QColor(255, 255, 255));
    EXPECT_FALSE(area.HoldsPreviousFont());
}

TEST(LapTimeAreaTest, BindingPreparesTheSurfaceAndDestructionRestoresItsFont) {
    for (qreal ratio : {1.0, 2.0}) {
        SCOPED_TRACE(ratio);
        COffScreenDC surface(QSize(64, 32), ratio);
        ASSERT_TRUE(surface.IsValid());
        QPainter& painter = surface.Painter();
        painter.setFont(FontOf("DejaVu Serif", 11));
        painter.setPen(QColor(1, 2, 3));
        painter.setBackgroundMode(Qt::OpaqueMode);
        {
            CLapTimeArea area;
            area.Bind(surface, FontOf("DejaVu Sans", 17));
            EXPECT_TRUE(area.HoldsPreviousFont());
            EXPECT_EQ(painter.font().pixelSize(), 17);
            EXPECT_EQ(painter.font().family(), QStringLiteral("DejaVu Sans"));
            EXPECT_EQ(painter.pen().color(), QColor(255, 255, 255));
            EXPECT_EQ(painter.backgroundMode(), Qt::TransparentMode);
            // Text drawn now is white on an untouched (transparent) background.
            painter.drawText(QRect(0, 0, 64, 32), Qt::AlignCenter, QStringLiteral("88"));
            const QImage& image = surface.Image();
            bool white = false;
            for (int y = 0; y < image.height(); ++y) {
                for (int x = 0; x < image.width(); ++x) {
                    const QColor c = image.pixelColor(x, y);
                    white = white || (c.alpha() == 255 && c.red() == 255 && c.blue() == 255);
                }
            }
            EXPECT_TRUE(white);
            EXPECT_EQ(qAlpha(image.pixel(0, 0)), 0);
        }
        EXPECT_EQ(painter.font().family(), QStringLiteral("DejaVu Serif"));
        EXPECT_EQ(painter.font().pixelSize(), 11);
    }
}

TEST(LapTimeAreaTest, DestroyingAnUnboundAreaChangesNothing) {
    COffScreenDC surface(QSize(16, 16), 1.0);
    QPainter& painter = surface.Painter();
    painter.setFont(FontOf("DejaVu Serif", 9));
    painter.setPen(QColor(10, 20, 30));
    painter.setBackgroundMode(Qt::OpaqueMode);
    { auto area = std::make_unique<CLapTimeArea>(); }
    EXPECT_EQ(painter.font().family(), QStringLiteral("DejaVu Serif"));
    EXPECT_EQ(painter.font().pixelSize(), 9);
    EXPECT_EQ(painter.pen().color(), QColor(10, 20, 30));
    EXPECT_EQ(painter.backgroundMode(), Qt::OpaqueMode);
}

TEST(LapTimeAreaTest, BindingTwiceKeepsTheFirstEarlierFont) {
    COffScreenDC surface(QSize(16, 16), 1.0);
    surface.Painter().setFont(FontOf("DejaVu Serif", 9));
    {
        CLapTimeArea area;
        area.Bind(surface, FontOf("DejaVu Sans", 13));
        area.Bind(surface, FontOf("DejaVu Sans Mono", 22));
        EXPECT_EQ(surface.Painter().font().pixelSize(), 22);
    }
    EXPECT_EQ(surface.Painter().font().family(), QStringLiteral("DejaVu Serif"));
}

TEST(LapTimeAreaTest, BindingAnInvalidSurfaceHoldsNothing) {
    COffScreenDC surface;
    CLapTimeArea area;
    area.Bind(surface, FontOf("DejaVu Sans", 13));
    EXPECT_FALSE(area.HoldsPreviousFont());
    EXPECT_FALSE(surface.Create(QSize(0, 10), 1.0));
    EXPECT_FALSE(surface.IsValid());
}

TEST(OffScreenDCTest, SurfaceIsInDevicePixelsAndCopiesLogicalRectangles) {
    COffScreenDC surface(QSize(40, 10), 2.0);
    EXPECT_EQ(surface.Image().size(), QSize(80, 20));
    surface.Painter().fillRect(QRect(0, 0, 20, 10), QColor(255, 0, 0));
    surface.Painter().fillRect(QRect(20, 0, 20, 10), QColor(0, 255, 0));
    QImage target(QSize(20, 10), QImage::Format_ARGB32_Premultiplied);
    target.fill(Qt::black);
    {
        QPainter painter(&target);
        surface.CopyTo(painter, QPoint(0, 0), QRect(10, 0, 20, 10));
    }
    EXPECT_EQ(target.pixelColor(5, 5), QColor(255, 0, 0));
    EXPECT_EQ(target.pixelColor(15, 5), QColor(0, 255, 0));
}

} // namespace
} // namespace kirvano
