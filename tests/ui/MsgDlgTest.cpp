#include "ui/CMsgDlg.h"
#include "ui/CResourceImage.h"
#include "ui/CSkinButton.h"
#include "ui/SharedFonts.h"

#include <QGuiApplication>
#include <QLabel>
#include <QPushButton>
#include <QScreen>
#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>

#include <functional>

namespace kirvano {
namespace {

class MsgDlgTest : public ::testing::Test {
protected:
    void SetUp() override { InitSkinResources(); }
};

// The text the label needs at its width must fit the place it has.
void ExpectNotClipped(const CMsgDlg& dialog) {
    QLabel* label = dialog.TextLabel();
    EXPECT_LE(label->heightForWidth(label->width()), label->height() + 1);
    const QRect text = dialog.TextRect();
    EXPECT_LE(text.right(), dialog.width());
    EXPECT_LE(text.bottom(), dialog.OkButton()->geometry().top());
}

TEST_F(MsgDlgTest, SizeFollowsTheText) {
    const std::string texts[] = {
        "動画のオープンに失敗しました。",
        "新しいバージョンのソフトを利用できます。\r\nダウンロードする場合は下記URLをクリックして"
        "ください。",
        "A somewhat longer message that still fits on one line of the screen easily.",
    };
    for (const std::string& text : texts) {
        SCOPED_TRACE(text);
        CMsgDlg dialog(text, "ERROR");
        const QSize textSize = dialog.TextSize();
        EXPECT_EQ(dialog.width(), textSize.width() + 80);
        EXPECT_EQ(dialog.height(), textSize.height() + 140);
        EXPECT_EQ(dialog.TextRect().topLeft(), QPoint(40, 30));
        ExpectNotClipped(dialog);
    }
    // More lines make a taller dialog; a longer line a wider one.
    CMsgDlg one("Line", "ERROR");
    CMsgDlg three("Line\r\nLine\r\nLine", "ERROR");
    EXPECT_GT(three.height(), one.height() + QFontMetrics(UiFont()).height());
    CMsgDlg wide(std::string(60, 'W'), "ERROR");
    CMsgDlg narrow(std::string(40, 'W'), "ERROR");
    EXPECT_GT(wide.width(), narrow.width());
}

TEST_F(MsgDlgTest, ShortTextStillLeavesRoomForTheButtons) {
    CMsgDlg dialog("!", "ERROR", kMbOkCancel);
    ASSERT_NE(dialog.CancelButton(), nullptr);
    EXPECT_GE(dialog.OkButton()->geometry().left(), 0);
    EXPECT_LE(dialog.CancelButton()->geometry().right(), dialog.width());
    EXPECT_FALSE(dialog.OkButton()->geometry().intersects(dialog.CancelButton()->geometry()));
}

TEST_F(MsgDlgTest, LongTextWrapsWithinTheScreenAndIsNotClipped) {
    std::string text;
    for (int i = 0; i < 80; ++i) {
        text += "long words of a message ";
    }
    CMsgDlg dialog(text, "ERROR");
    const QRect screen = QGuiApplication::primaryScreen()->availableGeometry();
    EXPECT_LE(dialog.width(), screen.width());
    EXPECT_GT(dialog.TextSize().height(), 2 * QFontMetrics(UiFont()).height());
    EXPECT_FALSE(dialog.Scrolls());
    ExpectNotClipped(dialog);
}

TEST_F(MsgDlgTest, TextTallerThanTheScreenScrolls) {
    std::string text;
    for (int i = 0; i < 400; ++i) {
        text += "line " + std::to_string(i) + "\r\n";
    }
    CMsgDlg dialog(text, "ERROR");
    const QRect screen = QGuiApplication::primaryScreen()->availableGeometry();
    EXPECT_TRUE(dialog.Scrolls());
    EXPECT_LE(dialog.height(), screen.height());
    QLabel* label = dialog.TextLabel();
    EXPECT_GE(label->sizeHint().height(), dialog.TextSize().height() - 2);
}

TEST_F(MsgDlgTest, ButtonsAndKeysReturnTheirCodes) {
    const struct {
        const char* name;
        int type;
        std::function<void(CMsgDlg&)> act;
        int result;
    } cases[] = {
        {"OK button", kMbOk, [](CMsgDlg& d) { QTest::mouseClick(d.OkButton(), Qt::LeftButton); },
         kIdOk},
        {"Escape on OK only", kMbOk, [](CMsgDlg& d) { QTest::keyClick(&d, Qt::Key_Escape); },
         kIdCancel},
        {"OK of OK/Cancel", kMbOkCancel,
         [](CMsgDlg& d) { QTest::mouseClick(d.OkButton(), Qt::LeftButton); }, kIdOk},
        {"Cancel button", kMbOkCancel,
         [](CMsgDlg& d) { QTest::mouseClick(d.CancelButton(), Qt::LeftButton); }, kIdCancel},
        {"Escape", kMbOkCancel, [](CMsgDlg& d) { QTest::keyClick(&d, Qt::Key_Escape); }, kIdCancel},
        {"Enter", kMbOkCancel, [](CMsgDlg& d) { QTest::keyClick(&d, Qt::Key_Return); }, kIdOk},
        {"window closed", kMbOkCancel, [](CMsgDlg& d) { d.close(); }, kIdCancel},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        CMsgDlg dialog("確認しますか？", "確認", c.type);
        EXPECT_EQ(dialog.CancelButton() != nullptr, c.type == kMbOkCancel);
        int result = -1;
        QTimer::singleShot(0, &dialog, [&] { c.act(dialog); });
        result = dialog.Run();
        EXPECT_EQ(result, c.result);
    }
}

TEST_F(MsgDlgTest, MessageBoxShowsModallyAndReturnsTheResult) {
    QWidget owner;
    owner.setGeometry(100, 100, 800, 600);
    owner.show();
    std::string caption;
    QRect geometry;
    QTimer::singleShot(0, [&] {
        auto* dialog = qobject_cast<CMsgDlg*>(QApplication::activeModalWidget());
        ASSERT_NE(dialog, nullptr);
        caption = dialog->Caption();
        geometry = dialog->frameGeometry();
        QTest::mouseClick(dialog->CancelButton(), Qt::LeftButton);
    });
    const int result =
        CMsgBox(&owner).Show("同名のファイルが存在します。続行しますか？", "確認", kMbOkCancel);
    EXPECT_EQ(result, kIdCancel);
    EXPECT_EQ(caption, "確認");
    // Centred over the owner.
    EXPECT_LE(std::abs(geometry.center().x() - owner.frameGeometry().center().x()), 1);
    EXPECT_LE(std::abs(geometry.center().y() - owner.frameGeometry().center().y()), 1);
}

TEST_F(MsgDlgTest, DialogIsBorderlessWithAWhiteBody) {
    CMsgDlg dialog("text", "ERROR");
    EXPECT_TRUE(dialog.windowFlags() & Qt::FramelessWindowHint);
    const QImage image = dialog.grab().toImage();
    EXPECT_EQ(image.pixelColor(dialog.width() - 5, dialog.height() - 5), QColor(Qt::white));
    EXPECT_EQ(image.pixelColor(dialog.width() - 5, 10), CSkinDialog::kCaptionColour);
}

TEST_F(MsgDlgTest, SkinDialogCaptionIconAndDragging) {
    CSkinDialog frame;
    frame.SetCaption("リヤカメラ");
    frame.resize(200, 100);
    EXPECT_EQ(frame.CaptionTextX(), 5);
    frame.SetSkinIcon();
    EXPECT_EQ(frame.CaptionTextX(), 21);
    QImage image = frame.grab().toImage();
    EXPECT_EQ(image.pixelColor(150, 10), CSkinDialog::kCaptionColour);
    EXPECT_EQ(image.pixelColor(150, 19), CSkinDialog::kCaptionColour);
    EXPECT_EQ(image.pixelColor(150, 20), frame.BodyColour());
    // The icon covers (0, 0)..(20, 20) in its own colours.
    EXPECT_NE(image.pixelColor(10, 10), CSkinDialog::kCaptionColour);

    frame.move(300, 200);
    frame.show();
    const QPoint start = frame.pos();
    const QPoint grab(50, 10);
    const QPoint global = frame.mapToGlobal(grab);
    QMouseEvent press(QEvent::MouseButtonPress, grab, global, Qt::LeftButton, Qt::LeftButton,
                      Qt::NoModifier);
    QCoreApplication::sendEvent(&frame, &press);
    EXPECT_TRUE(frame.IsDragging());
    QMouseEvent move(QEvent::MouseMove, grab + QPoint(30, 20), global + QPoint(30, 20),
                     Qt::NoButton, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(&frame, &move);
    QMouseEvent release(QEvent::MouseButtonRelease, grab + QPoint(30, 20), global + QPoint(30, 20),
                        Qt::LeftButton, Qt::NoButton, Qt::NoModifier);
    QCoreApplication::sendEvent(&frame, &release);
    EXPECT_FALSE(frame.IsDragging());
    EXPECT_EQ(frame.pos(), start + QPoint(30, 20));
}

TEST_F(MsgDlgTest, SkinDialogCloseButtonRejects) {
    CSkinDialog frame;
    frame.resize(200, 100);
    frame.show();
    frame.EnableCloseButton(true);
    ASSERT_NE(frame.CloseButton(), nullptr);
    EXPECT_EQ(frame.CloseButton()->CommandId(), 18);
    EXPECT_EQ(frame.CloseButton()->geometry(), QRect(180, 0, 20, 20));
    frame.resize(300, 100);
    EXPECT_EQ(frame.CloseButton()->geometry(), QRect(280, 0, 20, 20));
    QTest::mouseClick(frame.CloseButton(), Qt::LeftButton);
    EXPECT_FALSE(frame.isVisible());
    EXPECT_EQ(frame.result(), QDialog::Rejected);
    frame.EnableCloseButton(false);
    EXPECT_EQ(frame.CloseButton(), nullptr);
}

} // namespace
} // namespace kirvano
