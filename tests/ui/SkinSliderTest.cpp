#include "SkinTestSupport.h"

#include "ui/AppMessage.h"
#include "ui/CSkinSliderCtrl.h"

#include "../support/PaintLog.h"

#include <QTest>
#include <gtest/gtest.h>

#include <tuple>
#include <vector>

namespace kirvano {
namespace {

using testing::RenderOwn;

// A parent that records the private messages it receives.
class Receiver : public QWidget {
public:
    std::vector<std::tuple<int, std::intptr_t, std::intptr_t>> messages;

protected:
    bool event(QEvent* event) override {
        if (IsAppMessage(event)) {
            const auto* m = static_cast<AppMessage*>(event);
            messages.emplace_back(m->message(), m->wParam(), m->lParam());
            return true;
        }
        return QWidget::event(event);
    }
};

class SkinSliderTest : public ::testing::Test {
protected:
    void SetUp() override { InitSkinResources(); }
};

TEST_F(SkinSliderTest, PressPositionMapsAcrossWidthsAndRanges) {
    const struct {
        int width;
        int minimum;
        int maximum;
        int x;
        int position;
    } cases[] = {
        {100, 0, 99, 0, 0},          {100, 0, 99, 50, 50},        {100, 0, 99, 99, 99},
        {100, 0, 9, 55, 5},          {100, 0, 9, 9, 0},           {100, 0, 9, 10, 1},
        {300, 0, 1799, 150, 900},    {300, 0, 1799, 299, 1794},   {800, 0, 17999, 799, 17977},
        {200, 0, 65535, 100, 32768}, {200, 0, 65535, 199, 65208}, {640, 0, 65535, 1, 102},
        {100, 0, 99, -5, 0},         {100, 0, 99, 105, 99},       {100, 0, 99, 100, 99},
        {100, 10, 19, 50, 15},       {100, 10, 19, 0, 10},        {100, 10, 19, 100, 19},
        {100, 5, 5, 0, 5},           {100, 5, 5, 60, 5},          {100, 5, 5, 99, 5},
        {100, 5, 5, 110, 5},         {100, 0, 0, 50, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(::testing::Message()
                     << "w " << c.width << " [" << c.minimum << "," << c.maximum << "] x " << c.x);
        CSkinSliderCtrl slider(nullptr, 38100);
        slider.resize(c.width, CSkinSliderCtrl::kHeight);
        slider.SetRange(c.minimum, c.maximum);
        EXPECT_EQ(slider.PositionAt(c.x), c.position);
    }
}

TEST_F(SkinSliderTest, ThumbAndFillFollowThePosition) {
    const struct {
        int width;
        int minimum;
        int maximum;
        int position;
        int thumbX;
        int filled;
    } cases[] = {
        {200, 0, 99, 0, 0, 0},
        {200, 0, 99, 50, 95, 100},
        {200, 0, 99, 99, 188, 198},
        {200, 7, 7, 7, 0, 0},
        {200, 0, 0, 0, 0, 0},
        {210, 10, 19, 15, 100, 105},
        {1000, 0, 65535, 65535, 989, 999},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(::testing::Message() << c.width << " " << c.position);
        CSkinSliderCtrl slider;
        slider.resize(c.width, CSkinSliderCtrl::kHeight);
        slider.SetRange(c.minimum, c.maximum);
        slider.SetPos(c.position);
        EXPECT_EQ(slider.ThumbX(), c.thumbX);
        EXPECT_EQ(slider.FilledWidth(), c.filled);
    }
}

TEST_F(SkinSliderTest, APositionThatMovesNoPixelPaintsNothing) {
    // 1800 frames on 300 pixels: six positions a pixel.
    Receiver parent;
    parent.resize(300, 40);
    auto* slider = new CSkinSliderCtrl(&parent, 38100);
    slider->setGeometry(0, 0, 300, CSkinSliderCtrl::kHeight);
    slider->SetRange(0, 1799);
    parent.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&parent));
    testing::PaintLog log(*slider);
    log.Settle();
    const struct {
        int position;
        bool painted;
    } steps[] = {{1, false}, {2, false}, {900, true}, {901, false}, {906, true}, {906, false}};
    for (const auto& step : steps) {
        slider->SetPos(step.position);
        EXPECT_EQ(log.Settle().isEmpty(), !step.painted) << step.position;
        // The screen shows what the window painted at once shows.
        QImage fresh(parent.size(), QImage::Format_RGB32);
        parent.render(&fresh);
        EXPECT_EQ(testing::OnScreen(*slider), fresh.copy(slider->geometry())) << step.position;
        log.Settle(); // the rendering's own paint
    }
}

TEST_F(SkinSliderTest, PositionIsKeptInsideTheRange) {
    CSkinSliderCtrl slider;
    slider.SetRange(0, 100);
    slider.SetPos(150);
    EXPECT_EQ(slider.GetPos(), 100);
    slider.SetPos(-3);
    EXPECT_EQ(slider.GetPos(), 0);
    slider.SetPos(70);
    slider.SetRange(0, 50);
    EXPECT_EQ(slider.GetPos(), 50);
    slider.SetRange(30, 10);
    EXPECT_EQ(slider.GetRangeMin(), 10);
    EXPECT_EQ(slider.GetRangeMax(), 30);
    EXPECT_EQ(slider.GetPos(), 30);
}

TEST_F(SkinSliderTest, PressDragAndReleaseArePostedToTheParentInOrder) {
    Receiver parent;
    parent.resize(400, 40);
    auto* slider = new CSkinSliderCtrl(&parent, 38100);
    slider->setGeometry(0, 0, 300, CSkinSliderCtrl::kHeight);
    slider->SetRange(0, 1799);
    parent.show();
    QTest::mousePress(slider, Qt::LeftButton, {}, QPoint(150, 5));
    EXPECT_TRUE(slider->IsPressed());
    QTest::mouseMove(slider, QPoint(200, 5));
    QMouseEvent move(QEvent::MouseMove, QPointF(250, 5), slider->mapToGlobal(QPointF(250, 5)),
                     Qt::NoButton, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(slider, &move);
    QTest::mouseRelease(slider, Qt::LeftButton, {}, QPoint(30, 5));
    EXPECT_FALSE(slider->IsPressed());
    QCoreApplication::processEvents();

    ASSERT_GE(parent.messages.size(), 3u);
    EXPECT_EQ(parent.messages.front(),
              std::make_tuple(int{WM_APP_SLIDER_PRESS}, std::intptr_t{38100}, std::intptr_t{900}));
    EXPECT_EQ(parent.messages.back(), std::make_tuple(int{WM_APP_SLIDER_RELEASE},
                                                      std::intptr_t{38100}, std::intptr_t{180}));
    for (std::size_t i = 1; i + 1 < parent.messages.size(); ++i) {
        EXPECT_EQ(std::get<0>(parent.messages[i]), WM_APP_SLIDER_DRAG);
        EXPECT_EQ(std::get<1>(parent.messages[i]), 38100);
    }
    EXPECT_EQ(parent.messages[parent.messages.size() - 2],
              std::make_tuple(int{WM_APP_SLIDER_DRAG}, std::intptr_t{38100}, std::intptr_t{1500}));
    EXPECT_EQ(slider->GetPos(), 180);
}

TEST_F(SkinSliderTest, MovesWithoutAPressAndOtherButtonsPostNothing) {
    Receiver parent;
    auto* slider = new CSkinSliderCtrl(&parent, 38101);
    slider->setGeometry(0, 0, 200, CSkinSliderCtrl::kHeight);
    slider->SetRange(0, 65535);
    parent.show();
    QMouseEvent move(QEvent::MouseMove, QPointF(50, 5), slider->mapToGlobal(QPointF(50, 5)),
                     Qt::NoButton, Qt::NoButton, Qt::NoModifier);
    QCoreApplication::sendEvent(slider, &move);
    QTest::mouseClick(slider, Qt::RightButton, {}, QPoint(50, 5));
    QCoreApplication::processEvents();
    EXPECT_TRUE(parent.messages.empty());
    EXPECT_EQ(slider->GetPos(), 0);
}

TEST_F(SkinSliderTest, MinimumEqualsMaximumMapsEveryClickToTheMinimum) {
    Receiver parent;
    auto* slider = new CSkinSliderCtrl(&parent, 38100);
    slider->setGeometry(0, 0, 200, CSkinSliderCtrl::kHeight);
    slider->SetRange(42, 42);
    parent.show();
    for (int x : {0, 1, 100, 199}) {
        QTest::mouseClick(slider, Qt::LeftButton, {}, QPoint(x, 5));
    }
    QCoreApplication::processEvents();
    ASSERT_EQ(parent.messages.size(), 8u);
    for (const auto& m : parent.messages) {
        EXPECT_EQ(std::get<2>(m), 42);
    }
    EXPECT_EQ(slider->ThumbX(), 0);
}

TEST_F(SkinSliderTest, SliderWithoutParentPostsNothingAndKeepsWorking) {
    CSkinSliderCtrl slider(nullptr, 1);
    slider.resize(100, CSkinSliderCtrl::kHeight);
    slider.show();
    QTest::mouseClick(&slider, Qt::LeftButton, {}, QPoint(40, 5));
    EXPECT_EQ(slider.GetPos(), 40);
}

QColor Centre(const QImage& image) {
    return image.pixelColor(image.width() / 2, image.height() / 2);
}

TEST_F(SkinSliderTest, DrawsFilledTrackEmptyTrackAndTheThumbImage) {
    const QColor filled = Centre(SkinImages().Frame(skin::kSeekFilled, 0, 1.0));
    const QColor empty = Centre(SkinImages().Frame(skin::kSeekEmpty, 0, 1.0));
    const QColor thumb = Centre(SkinImages().Frame(skin::kSeekThumb, 0, 1.0));
    const QColor pressed = Centre(SkinImages().Frame(skin::kSeekThumbPressed, 0, 1.0));
    ASSERT_NE(filled, empty);
    ASSERT_NE(thumb, pressed);
    for (qreal ratio : {1.0, 2.0}) {
        SCOPED_TRACE(ratio);
        Receiver parent;
        auto* slider = new CSkinSliderCtrl(&parent, 38100);
        slider->setGeometry(0, 0, 300, CSkinSliderCtrl::kHeight);
        slider->SetRange(0, 99);
        slider->SetPos(50);
        parent.show();
        QImage image = RenderOwn(*slider, ratio);
        const int y = static_cast<int>(5 * ratio);
        const auto at = [&](int x) { return image.pixelColor(static_cast<int>(x * ratio), y); };
        EXPECT_EQ(at(40), filled);
        EXPECT_EQ(at(250), empty);
        const int thumbCentre = slider->ThumbX() + (slider->ThumbWidth() + 2) / 2;
        EXPECT_EQ(at(thumbCentre), thumb);
        QTest::mousePress(slider, Qt::LeftButton, {}, QPoint(150, 5));
        image = RenderOwn(*slider, ratio);
        EXPECT_EQ(at(slider->ThumbX() + (slider->ThumbWidth() + 2) / 2), pressed);
        QTest::mouseRelease(slider, Qt::LeftButton, {}, QPoint(150, 5));
        image = RenderOwn(*slider, ratio);
        EXPECT_EQ(at(slider->ThumbX() + (slider->ThumbWidth() + 2) / 2), thumb);
    }
}

TEST_F(SkinSliderTest, VolumeImagesAndAWideSliderBeyondTheSurfaceWidth) {
    CSkinSliderCtrl slider(nullptr, 38101);
    slider.SetImages(skin::kVolumeFilled, skin::kVolumeEmpty, skin::kVolumeThumb,
                     skin::kVolumeThumbPressed);
    slider.resize(2600, CSkinSliderCtrl::kHeight);
    slider.SetRange(0, 65535);
    slider.SetPos(65535);
    const QImage image = RenderOwn(slider);
    const QColor filled = Centre(SkinImages().Frame(skin::kVolumeFilled, 0, 1.0));
    EXPECT_EQ(image.pixelColor(100, 5), filled);
    EXPECT_EQ(image.pixelColor(2500, 5), filled); // past 1920 pixels
    EXPECT_EQ(image.pixelColor(2600 - 6, 5),
              Centre(SkinImages().Frame(skin::kVolumeThumb, 0, 1.0)));
}

} // namespace
} // namespace kirvano
