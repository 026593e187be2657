#include "views/CInfoDlg.h"

#include "ui/AppMessage.h"
#include "ui/CResourceImage.h"
#include "ui/SharedFonts.h"

#include "../support/PaintLog.h"

#include <QAbstractButton>
#include <QImage>
#include <QTest>
#include <gtest/gtest.h>

#include <vector>

namespace kirvano {
namespace {

// Collects the private messages posted to it.
class Owner : public QObject {
public:
    std::vector<std::pair<std::intptr_t, std::intptr_t>> graphSettings;

protected:
    bool event(QEvent* e) override {
        if (IsAppMessage(e)) {
            const auto* m = static_cast<AppMessage*>(e);
            if (m->message() == WM_APP_GRAPH_SETTING) {
                graphSettings.emplace_back(m->wParam(), m->lParam());
            }
            return true;
        }
        return QObject::event(e);
    }
};

QImage Grab(QWidget& w) {
    QImage image(w.size(), QImage::Format_ARGB32);
    w.render(&image);
    return image;
}

// Pixels of `image` inside `area` that have exactly this colour.
int Count(const QImage& image, const QRect& area, QColor colour) {
    int n = 0;
    for (int y = area.top(); y <= area.bottom(); ++y) {
        for (int x = area.left(); x <= area.right(); ++x) {
            n += QColor(image.pixel(x, y)) == colour ? 1 : 0;
        }
    }
    return n;
}

// Pixels that differ from the panel background.
int Ink(const QImage& image, const QRect& area) {
    return area.width() * area.height() - Count(image, area, CInfoDlg::kBackground);
}

class InfoPanelTest : public ::testing::Test {
protected:
    void SetUp() override {
        InitSkinResources();
        CreateSharedFonts(96, 96);
        panel.setGeometry(6, 403, 656, 85); // layout 0: under the slider, video width
        panel.SetDockWidth(98);
        CivilTime start;
        start.year = 2022;
        start.month = 8;
        start.day = 18;
        start.hour = 12;
        panel.SetStartTime(start);
        panel.SetFrameDuration(33.333f);
    }
    Owner owner;
    CInfoDlg panel{nullptr, &owner};
};

TEST_F(InfoPanelTest, PositionUpdatesPaintOnlyTheBoxesWhoseTextChanges) {
    InfoValues v;
    v.gx = 0.129;
    v.gpsValid = true;
    v.speed = 40.0;
    v.frame = 345; // 11.5 s
    panel.SetValues(v);
    panel.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&panel));
    testing::PaintLog log(panel);
    log.Settle();
    const struct {
        void (*change)(InfoValues&);
        QRect painted;
    } steps[] = {
        {[](InfoValues& x) { x.frame = 346; }, {}}, // the same second
        {[](InfoValues& x) { x.gx = 0.5; }, panel.ValueRect(0)},
        {[](InfoValues& x) { x.gz = 1.0; }, panel.ValueRect(2)},
        {[](InfoValues& x) { x.frame = 361; }, panel.DateRect()},
        {[](InfoValues& x) { x.speed = 41.0; }, panel.SpeedRect()},
        {[](InfoValues& x) { x.speed = 41.2; }, {}}, // shown rounded
        {[](InfoValues& x) { x.eventIcon = 2; }, panel.IconRect()},
        {[](InfoValues& x) { x.gpsValid = false; }, panel.SpeedRect()},
    };
    for (const auto& step : steps) {
        SCOPED_TRACE(step.painted.y());
        step.change(v);
        panel.SetValues(v);
        EXPECT_EQ(log.Settle(), QRegion(step.painted));
    }
    // The screen, painted piece by piece, shows what a panel painted at once shows.
    CInfoDlg fresh;
    fresh.resize(panel.size());
    fresh.SetDockWidth(98);
    fresh.SetStartTime(CivilTime{2022, 8, 0, 18, 12, 0, 0, 0});
    fresh.SetFrameDuration(33.333f);
    fresh.SetValues(v);
    EXPECT_EQ(testing::OnScreen(panel), Grab(fresh).convertToFormat(QImage::Format_RGB32));
}

TEST_F(InfoPanelTest, ShowsAFramesValuesInTheirColoursAndPlaceholdersAfterClear) {
    InfoValues v;
    v.gx = 0.129;
    v.gy = -0.129;
    v.gz = 1.0;
    v.gpsValid = true;
    v.speed = 1234.0;
    v.frame = 300;
    v.eventIcon = 3;
    panel.SetValues(v);
    QImage shown = Grab(panel);
    EXPECT_EQ(panel.DateText(), "2022/08/18 12:00:09");
    EXPECT_EQ(panel.SpeedText(), "999 ");
    EXPECT_EQ(panel.GText(0), "0.12G");
    EXPECT_EQ(panel.GText(1), "-0.12G");
    EXPECT_EQ(panel.GText(2), "1.00G");
    for (int n = 0; n < 3; ++n) {
        EXPECT_GT(Count(shown, panel.HeadingRect(n).intersected(panel.rect()),
                        CInfoDlg::kHeadingColours[n]),
                  10)
            << n;
        EXPECT_GT(Count(shown, panel.ValueRect(n), CInfoDlg::kTextColour), 10) << n;
    }
    EXPECT_GT(Count(shown, panel.DateRect(), CInfoDlg::kTextColour), 20);
    EXPECT_GT(Count(shown, panel.SpeedRect(), CInfoDlg::kTextColour), 20);
    EXPECT_GT(Ink(shown, panel.IconRect()), 100);
    // Everything of the panel's own stays left of the docked strip.
    EXPECT_EQ(panel.DockRect(), QRect(558, 0, 98, 85));
    EXPECT_EQ(Ink(shown, panel.DockRect().adjusted(0, 1, 0, 0)), 0);

    panel.Clear();
    EXPECT_EQ(panel.Values(), InfoValues{});
    shown = Grab(panel);
    EXPECT_EQ(panel.DateText(), "");
    EXPECT_EQ(panel.SpeedText(), "");
    for (int n = 0; n < 3; ++n) {
        EXPECT_EQ(panel.GText(n), "");
        EXPECT_EQ(Count(shown, panel.ValueRect(n), CInfoDlg::kTextColour), 0) << n;
        EXPECT_GT(Count(shown, panel.ValueRect(n), CInfoDlg::kPlaceholderColour), 10) << n;
    }
    EXPECT_EQ(Count(shown, panel.DateRect(), CInfoDlg::kTextColour), 0);
    EXPECT_GT(Count(shown, panel.DateRect(), CInfoDlg::kPlaceholderColour), 20);
    // Without a fix only the unit is drawn.
    EXPECT_EQ(Ink(shown, panel.SpeedRect().adjusted(0, 0, 0, -30)), 0);
    EXPECT_GT(Count(shown, panel.UnitRect(), CInfoDlg::kTextColour), 10);
    EXPECT_EQ(Ink(shown, panel.IconRect()), 0);
}

TEST_F(InfoPanelTest, SampleUpdateTakesTheFixFromThePositionLink) {
    PositionSample position;
    position.gps_valid = 1;
    position.speed = 57.6;
    TelemetrySample sample;
    sample.x = 0.5;
    sample.y = -5.5;
    sample.z = 0.25;
    sample.status = 3;
    sample.position = &position;
    panel.SetEventIcon(2);
    panel.SetSample(&sample, 10);
    EXPECT_EQ(panel.SpeedText(), "58 ");
    EXPECT_EQ(panel.GText(1), "");
    EXPECT_EQ(panel.Values().status, 3);
    EXPECT_EQ(panel.Values().eventIcon, 2);
    position.gps_valid = 0;
    panel.SetSample(&sample, 11);
    EXPECT_EQ(panel.SpeedText(), "");
    EXPECT_EQ(panel.Values().speed, -1.0);
    panel.SetSample(nullptr, 12);
    EXPECT_EQ(panel.Values().gx, -5.0);
    EXPECT_EQ(panel.DateText(), "2022/08/18 12:00:00");
}

TEST_F(InfoPanelTest, TogglesSitAtTheirPlacesAndPostTheNewState) {
    panel.show();
    for (int n = 0; n < 3; ++n) {
        QAbstractButton* button = panel.ToggleButton(n);
        ASSERT_NE(button, nullptr);
        EXPECT_EQ(button->geometry(), QRect(26 + 120 * n, 45, 12, 12));
        EXPECT_TRUE(panel.AxisShown(n));
    }
    QTest::mouseClick(panel.ToggleButton(1), Qt::LeftButton);
    QTest::mouseClick(panel.ToggleButton(1), Qt::LeftButton);
    QTest::mouseClick(panel.ToggleButton(2), Qt::LeftButton);
    QCoreApplication::sendPostedEvents(&owner);
    using Posted = std::vector<std::pair<std::intptr_t, std::intptr_t>>;
    EXPECT_EQ(owner.graphSettings, (Posted{{1, 0}, {1, 1}, {2, 0}}));
    EXPECT_TRUE(panel.AxisShown(1));
    EXPECT_FALSE(panel.AxisShown(2));
    EXPECT_FALSE(panel.ToggleButton(2)->isChecked());
    // A disabled panel ignores its switches.
    panel.setEnabled(false);
    QTest::mouseClick(panel.ToggleButton(0), Qt::LeftButton);
    QCoreApplication::sendPostedEvents(&owner);
    EXPECT_EQ(owner.graphSettings.size(), 3u);
}

TEST_F(InfoPanelTest, DockedVideoFollowsTheStripAcrossLayouts) {
    QWidget video;
    panel.SetDockedWidget(&video);
    EXPECT_EQ(video.parentWidget(), &panel);
    EXPECT_EQ(video.geometry(), QRect(558, 0, 98, 85));
    panel.resize(868, 124); // layout 1
    panel.SetDockWidth(138);
    EXPECT_EQ(video.geometry(), QRect(730, 0, 138, 124));
    panel.SetDockedWidget(nullptr);
    video.setParent(nullptr);
}

TEST_F(InfoPanelTest, RateLetterSwitchesTimeLapse) {
    InfoValues v;
    v.frame = 300;
    panel.SetRateLetter('T');
    panel.SetRateLetter('?');
    panel.SetValues(v);
    EXPECT_EQ(panel.DateText(), "2022/08/18 12:02:29");
    panel.SetRateLetter('N');
    panel.SetValues(v);
    EXPECT_EQ(panel.DateText(), "2022/08/18 12:00:09");
}

} // namespace
} // namespace kirvano
