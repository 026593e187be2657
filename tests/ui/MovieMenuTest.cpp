#include "ui/CMovieMenu.h"
#include "ui/UiText.h"

#include <QSignalSpy>
#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>

#include <algorithm>

namespace kirvano {
namespace {

// The context menu of a paused video window with the snapshot item disabled.
void Fill(CMovieMenu& menu) {
    menu.AppendTextItem(38002, 86);
    menu.AppendTextItem(38000, 90);
    menu.AppendSeparator();
    menu.AppendTextItem(38013, 153);
    menu.AppendSeparator();
    menu.AppendTextItem(38006, 89, false);
    menu.AppendTextItem(38011, 87);
}

TEST(MovieMenuTest, ItemsCarryTheirTextsAndIds) {
    CMovieMenu menu;
    Fill(menu);
    ASSERT_NE(menu.FindItem(38002), nullptr);
    EXPECT_EQ(menu.FindItem(38002)->text().toStdString(), UiText(86));
    EXPECT_EQ(menu.FindItem(38006)->text().toStdString(), UiText(89));
    EXPECT_FALSE(menu.FindItem(38006)->isEnabled());
    EXPECT_TRUE(menu.FindItem(38011)->isEnabled());
    EXPECT_EQ(menu.FindItem(12345), nullptr);
    EXPECT_EQ(menu.actions().size(), 7);
}

TEST(MovieMenuTest, DisabledItemsAreNotActivated) {
    const struct {
        int click;
        int command; // 0: nothing chosen
    } cases[] = {{38006, 0}, {38011, 38011}, {38002, 38002}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.click);
        CMovieMenu menu;
        Fill(menu);
        QSignalSpy commands(&menu, &CMovieMenu::Command);
        menu.popup(QPoint(100, 100));
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&menu));
        QTest::mouseClick(&menu, Qt::LeftButton, {},
                          menu.actionGeometry(menu.FindItem(c.click)).center());
        if (c.command == 0) {
            EXPECT_EQ(commands.count(), 0);
            EXPECT_TRUE(menu.isVisible());
        } else {
            ASSERT_EQ(commands.count(), 1);
            EXPECT_EQ(commands.at(0).at(0).toInt(), c.command);
        }
        menu.hide();
    }
}

TEST(MovieMenuTest, TrackReturnsTheChosenIdOrZero) {
    {
        CMovieMenu menu;
        Fill(menu);
        QTimer::singleShot(50, &menu, [&] {
            QTest::mouseClick(&menu, Qt::LeftButton, {},
                              menu.actionGeometry(menu.FindItem(38006)).center());
            QTest::keyClick(&menu, Qt::Key_Escape);
        });
        EXPECT_EQ(menu.Track(QPoint(50, 50)), 0);
    }
    {
        CMovieMenu menu;
        Fill(menu);
        QTimer::singleShot(50, &menu, [&] {
            QTest::mouseClick(&menu, Qt::LeftButton, {},
                              menu.actionGeometry(menu.FindItem(38013)).center());
        });
        EXPECT_EQ(menu.Track(QPoint(50, 50)), 38013);
    }
}

TEST(MovieMenuTest, KeyboardSkipsDisabledItems) {
    CMovieMenu menu;
    menu.AppendTextItem(1, 86, false);
    menu.AppendTextItem(2, 87, true);
    menu.AppendTextItem(3, 89, false);
    QTimer::singleShot(50, &menu, [&] {
        QTest::keyClick(&menu, Qt::Key_Down);
        QTest::keyClick(&menu, Qt::Key_Down);
        QTest::keyClick(&menu, Qt::Key_Return);
    });
    EXPECT_EQ(menu.Track(QPoint(50, 50)), 2);
}

// The brightest pixel of an item: its text colour (the background is darker).
int Brightest(const QImage& image, const QRect& area) {
    int brightest = 0;
    for (int y = area.top(); y <= area.bottom(); ++y) {
        for (int x = area.left(); x <= area.right(); ++x) {
            const QColor c = image.pixelColor(x, y);
            brightest = std::max({brightest, c.red(), c.green(), c.blue()});
        }
    }
    return brightest;
}

TEST(MovieMenuTest, DisabledItemsAreDrawnInGreyText) {
    CMovieMenu menu;
    Fill(menu);
    menu.popup(QPoint(100, 100));
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&menu));
    const QImage image = menu.grab().toImage();
    const QRect disabled = menu.actionGeometry(menu.FindItem(38006));
    const QRect enabled = menu.actionGeometry(menu.FindItem(38011));
    EXPECT_NEAR(Brightest(image, disabled), 109, 6);
    EXPECT_NEAR(Brightest(image, enabled), 249, 6);
    EXPECT_EQ(CMovieMenu::kGrayText, QColor(109, 109, 109));
    menu.hide();
}

} // namespace
} // namespace kirvano
