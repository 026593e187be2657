#include "SkinTestSupport.h"

#include "ui/CResourceImage.h"
#include "ui/CSkinButton.h"
#include "ui/SkinButtonRoles.h"
#include "ui/UiText.h"

#include <QEnterEvent>
#include <QSignalSpy>
#include <QTest>
#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <set>

namespace kirvano {
namespace {

using testing::RenderOwn;
using testing::ShownImage;

constexpr int kHidden = -2;

void Enter(QWidget& widget, QPoint at) {
    QEnterEvent enter(at, at, widget.mapToGlobal(QPointF(at)));
    QCoreApplication::sendEvent(&widget, &enter);
}

void Leave(QWidget& widget) {
    QEvent leave(QEvent::Leave);
    QCoreApplication::sendEvent(&widget, &leave);
}

class SkinButtonTest : public ::testing::Test {
protected:
    void SetUp() override { InitSkinResources(); }
};

struct ButtonState {
    const char* name;
    std::function<void(CSkinButton&)> apply;
    int image; // expected strip image; kHidden for nothing drawn
};

TEST_F(SkinButtonTest, EachStateDrawsItsStripImage) {
    const ButtonState states[] = {
        {"normal", [](CSkinButton&) {}, 0},
        {"hover",
         [](CSkinButton& b) {
             Enter(b, {5, 5});
         },
         1},
        {"hover then leave",
         [](CSkinButton& b) {
             Enter(b, {5, 5}), Leave(b);
         },
         0},
        {"greyed", [](CSkinButton& b) { b.SetGreyed(true); }, 1},
        {"greyed beats disabled",
         [](CSkinButton& b) {
             b.SetGreyed(true);
             b.setEnabled(false);
         },
         1},
        {"pressed", [](CSkinButton& b) { b.setDown(true); }, 2},
        {"pressed while hovered",
         [](CSkinButton& b) {
             Enter(b, {5, 5});
             b.setDown(true);
         },
         2},
        {"checked",
         [](CSkinButton& b) {
             b.setCheckable(true);
             b.setChecked(true);
         },
         2},
        {"forced pressed", [](CSkinButton& b) { b.SetForcedPressed(true); }, 2},
        {"forced pressed released",
         [](CSkinButton& b) {
             b.SetForcedPressed(true);
             b.SetForcedPressed(false);
         },
         0},
        {"disabled", [](CSkinButton& b) { b.setEnabled(false); }, 3},
        {"disabled and hovered",
         [](CSkinButton& b) {
             Enter(b, {5, 5});
             b.setEnabled(false);
         },
         3},
        {"disabled and forced",
         [](CSkinButton& b) {
             b.SetForcedPressed(true);
             b.setEnabled(false);
         },
         3},
        {"hidden", [](CSkinButton& b) { b.SetHidden(true); }, kHidden},
        {"hidden and pressed",
         [](CSkinButton& b) {
             b.SetHidden(true);
             b.setDown(true);
         },
         kHidden},
    };
    const struct {
        int id;
        QSize size;
    } strips[] = {{skin::kPlay, {32, 32}},
                  {skin::kMapSwitch, {32, 32}},
                  {skin::kCaptionClose, {46, 18}},
                  {skin::kCaptionMinimise, {26, 18}}};
    for (const auto& strip : strips) {
        for (const ButtonState& state : states) {
            for (qreal ratio : {1.0, 2.0}) {
                SCOPED_TRACE(::testing::Message()
                             << strip.id << " " << state.name << " @" << ratio);
                CSkinButton button(nullptr, 38002);
                button.SetImage(strip.id, strip.size.width(), strip.size.height());
                button.resize(strip.size);
                state.apply(button);
                const int expected = state.image == kHidden ? -1 : state.image;
                EXPECT_EQ(button.ImageIndex(), expected);
                EXPECT_EQ(ShownImage(RenderOwn(button, ratio), strip.id), state.image);
            }
        }
    }
}

TEST_F(SkinButtonTest, MousePressShowsPressedAndClickReportsCommand) {
    CSkinButton button(nullptr, 38005);
    button.SetImage(skin::kNext, 32, 32);
    button.resize(32, 32);
    button.show();
    QSignalSpy commands(&button, &CSkinButton::Command);
    QTest::mousePress(&button, Qt::LeftButton, {}, QPoint(10, 10));
    EXPECT_EQ(ShownImage(RenderOwn(button), skin::kNext), 2);
    QTest::mouseRelease(&button, Qt::LeftButton, {}, QPoint(10, 10));
    ASSERT_EQ(commands.count(), 1);
    EXPECT_EQ(commands.at(0).at(0).toInt(), 38005);
}

TEST_F(SkinButtonTest, DisabledButtonReportsNothing) {
    CSkinButton button(nullptr, 38010);
    button.SetImage(skin::kDelete, 32, 32);
    button.resize(32, 32);
    button.show();
    button.setEnabled(false);
    QSignalSpy commands(&button, &CSkinButton::Command);
    QTest::mouseClick(&button, Qt::LeftButton, {}, QPoint(10, 10));
    EXPECT_EQ(commands.count(), 0);
}

TEST_F(SkinButtonTest, KeyPressesAreSwallowed) {
    const Qt::Key keys[] = {Qt::Key_Space, Qt::Key_Return, Qt::Key_Enter, Qt::Key_Select};
    for (Qt::Key key : keys) {
        SCOPED_TRACE(key);
        CSkinButton button(nullptr, 38011);
        button.SetImage(skin::kSettings, 32, 32);
        button.setCheckable(true);
        button.resize(32, 32);
        button.show();
        QSignalSpy commands(&button, &CSkinButton::Command);
        QTest::keyClick(&button, key);
        EXPECT_EQ(commands.count(), 0);
        EXPECT_FALSE(button.isChecked());
        EXPECT_FALSE(button.isDown());
    }
    CSkinButton button;
    EXPECT_EQ(button.focusPolicy(), Qt::NoFocus);
}

TEST_F(SkinButtonTest, SwitchingTheStripRedrawsWithTheNewImages) {
    CSkinButton button(nullptr, 38002);
    button.SetImage(skin::kPlay, 32, 32);
    button.resize(32, 32);
    EXPECT_EQ(ShownImage(RenderOwn(button), skin::kPlay), 0);
    button.SetImage(skin::kPause, 32, 32);
    EXPECT_EQ(ShownImage(RenderOwn(button), skin::kPause), 0);
    EXPECT_EQ(ShownImage(RenderOwn(button), skin::kPlay), -1);
    EXPECT_EQ(button.sizeHint(), QSize(32, 32));
}

TEST_F(SkinButtonTest, CheckButtonDrawsTheBoxAtItsPlaceAndTogglesOnClick) {
    CSkinCheckButton check(nullptr, 1004);
    check.setText(QStringLiteral("X"));
    check.resize(120, 20);
    check.show();
    EXPECT_TRUE(check.GetCheck()); // initially checked
    EXPECT_EQ(ShownImage(RenderOwn(check), skin::kCheckBox, QPoint(0, 4)), 2);
    QSignalSpy commands(&check, &CSkinButton::Command);
    QTest::mouseClick(&check, Qt::LeftButton, {}, QPoint(6, 10));
    EXPECT_FALSE(check.GetCheck());
    EXPECT_EQ(commands.count(), 1);
    EXPECT_EQ(ShownImage(RenderOwn(check), skin::kCheckBox, QPoint(0, 4)), 0);
    check.setEnabled(false);
    EXPECT_EQ(ShownImage(RenderOwn(check), skin::kCheckBox, QPoint(0, 4)), 3);
}

TEST_F(SkinButtonTest, CheckButtonHoverOnlyOverTheBox) {
    const struct {
        QPoint at;
        int image;
    } cases[] = {{{6, 10}, 1}, {{0, 4}, 1},   {{11, 15}, 1}, {{6, 2}, 2},
                 {{6, 17}, 2}, {{40, 10}, 2}, {{12, 10}, 2}};
    for (const auto& c : cases) {
        SCOPED_TRACE(::testing::Message() << c.at.x() << "," << c.at.y());
        CSkinCheckButton check;
        check.setText(QStringLiteral("text"));
        check.resize(120, 20);
        Enter(check, c.at);
        EXPECT_EQ(ShownImage(RenderOwn(check), skin::kCheckBox, QPoint(0, 4)), c.image);
    }
}

TEST_F(SkinButtonTest, CheckButtonTextStartsRightOfTheBox) {
    CSkinCheckButton check;
    check.setText(QStringLiteral("MMMMMMMM"));
    check.SetTextColour(QColor(255, 0, 0));
    check.resize(160, 20);
    const QImage image = RenderOwn(check);
    bool textBefore16 = false;
    bool textAfter16 = false;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            const QColor c = image.pixelColor(x, y);
            if (c.alpha() > 100 && c.red() > 150 && c.green() < 80) {
                (x < 16 ? textBefore16 : textAfter16) = true;
            }
        }
    }
    EXPECT_FALSE(textBefore16);
    EXPECT_TRUE(textAfter16);
}

} // namespace
} // namespace kirvano

namespace kirvano {
namespace {

TEST(SkinButtonRolesTest, EveryRoleHasItsStripAndTooltip) {
    std::set<int> ids;
    auto check = [&](const SkinButtonRole& role) {
        SCOPED_TRACE(role.commandId);
        EXPECT_TRUE(ids.insert(role.commandId).second);
        const SkinImageInfo* info = FindSkinImage(role.image);
        ASSERT_NE(info, nullptr);
        EXPECT_EQ(info->images, 4);
        EXPECT_EQ(QSize(info->width, info->height), QSize(role.width, role.height));
        std::unique_ptr<CSkinButton> button(CreateSkinButton(nullptr, role));
        EXPECT_EQ(button->CommandId(), role.commandId);
        EXPECT_EQ(button->size(), QSize(role.width, role.height));
        EXPECT_FALSE(button->toolTip().isEmpty());
        EXPECT_EQ(button->toolTip().toStdString(), UiText(role.tooltip));
    };
    for (int i = 0; i < static_cast<int>(kToolButtons.size()); ++i) {
        EXPECT_EQ(kToolButtons[i].commandId, 38000 + i);
        check(kToolButtons[i]);
    }
    for (const SkinButtonRole& role : kCaptionButtons) {
        check(role);
    }
}

TEST(SkinButtonRolesTest, PlayButtonSwitchesStripAndTooltip) {
    InitSkinResources();
    std::unique_ptr<CSkinButton> play(CreateSkinButton(nullptr, kToolButtons[2]));
    ShowPlayState(*play, true);
    EXPECT_EQ(play->ImageId(), skin::kPause);
    EXPECT_EQ(play->toolTip().toStdString(), UiText(11));
    EXPECT_EQ(testing::ShownImage(testing::RenderOwn(*play), skin::kPause), 0);
    ShowPlayState(*play, false);
    EXPECT_EQ(play->ImageId(), skin::kPlay);
    EXPECT_EQ(play->toolTip().toStdString(), UiText(12));
}

} // namespace
} // namespace kirvano
