// The settings window: four switches that show or hide event kinds on the G-sensor graph
// and the map (driving assistance, emergency stop, parking impact, over speed) and the
// program's version. Not modal; closing hides it and the switches keep their states.
#pragma once

#include "ui/CSkinDialog.h"
#include "views/InfoText.h"

#include <array>
#include <string>

class QGroupBox;
class QLabel;

namespace kirvano {

class CSkinCheckButton;

// The text after the last blank of a build date such as "Aug 18 2022" (the whole text
// when it has none).
std::string BuildYearOf(const std::string& buildDate);
// The two lines of the version text.
std::string VersionText(const std::string& version, const std::string& buildDate);

class CSettingDlg : public CSkinDialog {
    Q_OBJECT

public:
    static constexpr int kFirstSwitchId = 32968; // items 0..3: 32968..32971
    static constexpr int kVersionTextId = 32981;
    static constexpr QSize kShownSize{460, 400};
    static constexpr int kSwitchEntries[4] = {116, 125, 126, 130};
    static constexpr QRect kSwitchRects[4] = {
        QRect(QPoint(40, 60), QPoint(199, 119)), QRect(QPoint(40, 120), QPoint(199, 139)),
        QRect(QPoint(240, 60), QPoint(399, 119)), QRect(QPoint(240, 120), QPoint(399, 139))};

    // `owner` receives WM_APP_SETTING_CHANGED; the parent when null.
    explicit CSettingDlg(QWidget* parent = nullptr, QObject* owner = nullptr);

    // The settings command: 460 x 400, centred on the screen that holds `mainWindow` (the
    // primary screen when null), shown without blocking.
    void ShowCentred(const QWidget* mainWindow);
    // Switch n's state (0 driving assistance, 1 emergency stop, 2 parking impact, 3 over
    // speed).
    bool SwitchOn(int n) const;
    CSkinCheckButton* Switch(int n) const;
    QGroupBox* EventGroup() const { return eventGroup_; }
    QGroupBox* VersionGroup() const { return versionGroup_; }
    QLabel* VersionLabel() const { return version_; }

    // The speed unit switch under the version box: two switches of which one is on. A click
    // stores the unit ([DISPLAY] SPEED_UNIT) and reports it with SpeedUnitChanged.
    static constexpr QRect kUnitGroupRect{10, 305, 438, 60};
    static constexpr QRect kUnitRects[2] = {QRect(QPoint(40, 330), QPoint(199, 349)),
                                            QRect(QPoint(240, 330), QPoint(399, 349))};
    void SetSpeedUnit(SpeedUnit unit);
    SpeedUnit Unit() const { return unit_; }
    CSkinCheckButton* UnitSwitch(SpeedUnit unit) const {
        return unitSwitches_[unit == SpeedUnit::Mph];
    }

signals:
    void SpeedUnitChanged(kirvano::SpeedUnit unit);

private:
    void OnSwitch(int n);

    QObject* owner_;
    std::array<CSkinCheckButton*, 4> switches_{};
    QGroupBox* eventGroup_ = nullptr;
    QGroupBox* versionGroup_ = nullptr;
    QLabel* version_ = nullptr;
    QGroupBox* unitGroup_ = nullptr;
    std::array<CSkinCheckButton*, 2> unitSwitches_{};
    SpeedUnit unit_ = SpeedUnit::Kmh;
};

} // namespace kirvano
