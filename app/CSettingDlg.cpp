#include "app/CSettingDlg.h"

#include "KirvanoVersion.h"
#include "config/Settings.h"
#include "ui/AppMessage.h"
#include "ui/CSkinButton.h"
#include "ui/SharedFonts.h"
#include "ui/UiText.h"

#include <QGroupBox>
#include <QGuiApplication>
#include <QLabel>
#include <QScreen>

namespace kirvano {

std::string BuildYearOf(const std::string& buildDate) {
    const std::size_t blank = buildDate.find_last_of(' ');
    return blank == std::string::npos ? buildDate : buildDate.substr(blank + 1);
}

std::string VersionText(const std::string& version, const std::string& buildDate) {
    return "version " + version + "\nKirvano dash-camera viewer, built " + BuildYearOf(buildDate);
}

CSettingDlg::CSettingDlg(QWidget* parent, QObject* owner)
    : CSkinDialog(parent), owner_(owner != nullptr ? owner : parent) {
    setModal(false);
    setFont(UiFont());
    SetSkinIcon();
    SetCaption(UiText(124));
    resize(kShownSize);

    const QString groupStyle = QStringLiteral(
        "QGroupBox { color: #f4f6f9; border: 1px solid #6b7280; margin-top: 8px; }"
        "QGroupBox::title { subcontrol-origin: margin; left: 8px; padding: 0 3px; }");
    eventGroup_ = new QGroupBox(QString::fromStdString(UiText(129)), this);
    eventGroup_->setStyleSheet(groupStyle);
    eventGroup_->setGeometry(10, 30, 438, 160);
    versionGroup_ = new QGroupBox(QString::fromStdString(UiText(128)), this);
    versionGroup_->setStyleSheet(groupStyle);
    versionGroup_->setGeometry(10, 190, 438, 110);

    for (int n = 0; n < 4; ++n) {
        auto* button = new CSkinCheckButton(this, kFirstSwitchId + n);
        button->setText(QString::fromStdString(UiText(kSwitchEntries[n])));
        button->setFont(UiFont());
        button->setGeometry(kSwitchRects[n]);
        button->setChecked(true);
        button->raise();
        connect(button, &CSkinButton::clicked, this, [this, n] { OnSwitch(n); });
        switches_[static_cast<std::size_t>(n)] = button;
    }

    version_ = new QLabel(this);
    version_->setObjectName(QString::number(kVersionTextId));
    version_->setGeometry(QRect(QPoint(20, 210), QPoint(437, 269)));
    version_->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    version_->setStyleSheet(QStringLiteral("color: #f4f6f9;"));
    version_->setText(QString::fromStdString(VersionText(KIRVANO_VERSION, __DATE__)));

    unitGroup_ = new QGroupBox(SelectedUiTextColumn() == 1 ? QStringLiteral("Speed unit")
                                                           : QStringLiteral("速度の単位"),
                               this);
    unitGroup_->setStyleSheet(groupStyle);
    unitGroup_->setGeometry(kUnitGroupRect);
    for (const SpeedUnit unit : {SpeedUnit::Kmh, SpeedUnit::Mph}) {
        const auto n = static_cast<std::size_t>(unit == SpeedUnit::Mph);
        auto* button = new CSkinCheckButton(this, 0);
        button->setText(QString::fromLatin1(SpeedUnitText(unit)));
        button->setFont(UiFont());
        button->setGeometry(kUnitRects[n]);
        button->raise();
        connect(button, &CSkinButton::clicked, this, [this, unit] {
            SetSpeedUnit(unit);
            WriteSetting(kSpeedUnitSection, kSpeedUnitKey, SpeedUnitSetting(unit));
            emit SpeedUnitChanged(unit);
        });
        unitSwitches_[n] = button;
    }
    SetSpeedUnit(SpeedUnit::Kmh);

    EnableCloseButton(true);
}

void CSettingDlg::SetSpeedUnit(SpeedUnit unit) {
    unit_ = unit;
    // One of the two is on: a click on the one that is on leaves it on.
    unitSwitches_[0]->setChecked(unit == SpeedUnit::Kmh);
    unitSwitches_[1]->setChecked(unit == SpeedUnit::Mph);
    for (CSkinCheckButton* button : unitSwitches_)
        button->update();
}

void CSettingDlg::ShowCentred(const QWidget* mainWindow) {
    resize(kShownSize);
    QScreen* screen = nullptr;
    if (mainWindow != nullptr) {
        screen = QGuiApplication::screenAt(mainWindow->frameGeometry().center());
    }
    if (screen == nullptr) {
        screen = QGuiApplication::primaryScreen();
    }
    if (screen != nullptr) {
        const QRect area = screen->geometry();
        move(area.center() - QPoint(kShownSize.width() / 2, kShownSize.height() / 2));
    }
    show();
    raise();
}

bool CSettingDlg::SwitchOn(int n) const {
    return n >= 0 && n < 4 && switches_[static_cast<std::size_t>(n)]->isChecked();
}

CSkinCheckButton* CSettingDlg::Switch(int n) const {
    return n >= 0 && n < 4 ? switches_[static_cast<std::size_t>(n)] : nullptr;
}

void CSettingDlg::OnSwitch(int n) {
    // The click has already inverted the check state.
    CSkinCheckButton* button = switches_[static_cast<std::size_t>(n)];
    button->update();
    if (owner_ != nullptr) {
        PostAppMessage(owner_, WM_APP_SETTING_CHANGED, n, button->isChecked() ? 1 : 0);
    }
}

} // namespace kirvano
