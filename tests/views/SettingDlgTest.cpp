#include "app/CSettingDlg.h"

#include "KirvanoVersion.h"
#include "ui/AppMessage.h"
#include "ui/CResourceImage.h"
#include "ui/CSkinButton.h"
#include "ui/SharedFonts.h"
#include "ui/UiText.h"

#include <QGroupBox>
#include <QLabel>
#include <QTest>
#include <gtest/gtest.h>

#include <vector>

namespace kirvano {
namespace {

class Owner : public QObject {
public:
    std::vector<std::pair<std::intptr_t, std::intptr_t>> changes;

protected:
    bool event(QEvent* e) override {
        if (IsAppMessage(e)) {
            const auto* m = static_cast<AppMessage*>(e);
            EXPECT_EQ(m->message(), WM_APP_SETTING_CHANGED);
            changes.emplace_back(m->wParam(), m->lParam());
            return true;
        }
        return QObject::event(e);
    }
};

TEST(SettingDlg, BuildYearAndVersionText) {
    const struct {
        const char* date;
        const char* year;
    } cases[] = {{"Aug 18 2022", "2022"}, {"Dec  9 2026", "2026"}, {"2031", "2031"}, {"", ""}};
    for (const auto& c : cases) {
        EXPECT_EQ(BuildYearOf(c.date), c.year) << c.date;
    }
    EXPECT_EQ(VersionText("2.0.0.0", "Aug 18 2022"),
              "version 2.0.0.0\nKirvano dash-camera viewer, built 2022");
}

TEST(SettingDlg, SwitchesPostTheirStateAndSurviveClosing) {
    InitSkinResources();
    CreateSharedFonts(96, 96);
    Owner owner;
    CSettingDlg dialog(nullptr, &owner);
    EXPECT_FALSE(dialog.isModal());
    EXPECT_EQ(dialog.Caption(), UiText(124));
    const QRect expected[] = {
        {40, 60, 160, 60}, {40, 120, 160, 20}, {240, 60, 160, 60}, {240, 120, 160, 20}};
    for (int n = 0; n < 4; ++n) {
        ASSERT_NE(dialog.Switch(n), nullptr);
        EXPECT_EQ(dialog.Switch(n)->geometry(), expected[n]) << n;
        EXPECT_EQ(dialog.Switch(n)->CommandId(), 32968 + n);
        EXPECT_EQ(dialog.Switch(n)->text().toStdString(), UiText(CSettingDlg::kSwitchEntries[n]));
        EXPECT_TRUE(dialog.SwitchOn(n));
    }
    EXPECT_EQ(dialog.EventGroup()->geometry(), QRect(10, 30, 438, 160));
    EXPECT_EQ(dialog.VersionGroup()->geometry(), QRect(10, 190, 438, 110));
    EXPECT_EQ(dialog.VersionLabel()->geometry(), QRect(20, 210, 418, 60));
    const QString version = dialog.VersionLabel()->text();
    EXPECT_TRUE(version.startsWith(QStringLiteral("version " KIRVANO_VERSION "\n")));
    EXPECT_TRUE(version.endsWith(QString::fromStdString(BuildYearOf(__DATE__))));

    dialog.ShowCentred(nullptr);
    EXPECT_TRUE(dialog.isVisible());
    EXPECT_EQ(dialog.size(), CSettingDlg::kShownSize);
    QTest::mouseClick(dialog.Switch(0), Qt::LeftButton, {}, QPoint(5, 10));
    QTest::mouseClick(dialog.Switch(0), Qt::LeftButton, {}, QPoint(5, 10));
    QTest::mouseClick(dialog.Switch(3), Qt::LeftButton, {}, QPoint(5, 10));
    QCoreApplication::sendPostedEvents(&owner);
    using Posted = std::vector<std::pair<std::intptr_t, std::intptr_t>>;
    EXPECT_EQ(owner.changes, (Posted{{0, 0}, {0, 1}, {3, 0}}));

    ASSERT_NE(dialog.CloseButton(), nullptr);
    QTest::mouseClick(dialog.CloseButton(), Qt::LeftButton);
    EXPECT_FALSE(dialog.isVisible());
    dialog.ShowCentred(nullptr);
    EXPECT_TRUE(dialog.isVisible());
    EXPECT_TRUE(dialog.SwitchOn(0));
    EXPECT_FALSE(dialog.SwitchOn(3));
}

} // namespace
} // namespace kirvano
