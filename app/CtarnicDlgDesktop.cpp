// The main window on the desktop: its media-control interface for the MPRIS service (each
// request runs as the matching button or the seek slider would, with their guards), and the
// list panel's track menu, whose exports run as long tasks.
#include "app/CtarnicDlg.h"

#include "app/CSettingDlg.h"
#include "app/TrackFlow.h"
#include "config/Settings.h"
#include "desktop/MediaControl.h"
#include "desktop/MprisService.h"
#include "library/RecordingName.h"
#include "library/ui/CFileListCtrl.h"
#include "library/ui/CFilerContainerDlg.h"
#include "ui/CSkinButton.h"
#include "ui/CSkinSliderCtrl.h"
#include "views/CInfoDlg.h"

#include <cmath>
#include <cstdio>

namespace kirvano {

class WindowMediaControl : public MediaControl {
public:
    explicit WindowMediaControl(CtarnicDlg& window) : w_(window) {}

    MediaState State() override {
        MediaState s;
        if (w_.shutDown_ || !w_.initialised_)
            return s;
        switch (w_.PlayerState()) {
        case EngineState::Playing:
            s.status = MediaState::Status::Playing;
            break;
        case EngineState::Paused:
            s.status = MediaState::Status::Paused;
            break;
        default:
            break;
        }
        s.volume = w_.storedVolume_ / 65535.0;
        s.rate = RateOf(w_.rateMode_);
        {
            auto lock = w_.LockList();
            const auto& shown = w_.listPanel_->ShownRecordings();
            if (w_.ready_ && w_.currentIndex_ >= 0 &&
                w_.currentIndex_ < static_cast<int>(shown.size())) {
                const RecordingInfo& record = shown[static_cast<std::size_t>(w_.currentIndex_)];
                s.hasRecording = true;
                s.recordingName = record.name;
                s.title = DisplayNameOf(record.name);
                s.startTime = StartTimeOf(record.name);
            }
        }
        if (s.hasRecording) {
            const double frameUs = FrameMs() * 1000.0;
            s.positionUs = std::llround(static_cast<double>(w_.shownPosition_) * frameUs);
            s.lengthUs = std::llround(static_cast<double>(w_.positionMax_) * frameUs);
            s.canSeek = w_.ready_ && !w_.busy_ && !w_.longTask_ && frameUs > 0.0 &&
                        w_.seekSlider_->isEnabled();
        }
        s.canGoNext = Clickable(kCmdNext);
        s.canGoPrevious = Clickable(kCmdPrevious);
        s.canPlay = Clickable(kCmdPlay);
        s.canPause = s.canPlay && s.status == MediaState::Status::Playing;
        return s;
    }

    void Play() override {
        if (w_.PlayerState() != EngineState::Playing)
            w_.ClickCommand(kCmdPlay);
    }
    void Pause() override {
        if (w_.PlayerState() == EngineState::Playing)
            w_.ClickCommand(kCmdPlay);
    }
    void PlayPause() override { w_.ClickCommand(kCmdPlay); }
    // The to-the-start button also cancels a long task; a media key never does.
    void Stop() override { w_.ClickCommand(kCmdToStart); }
    void Next() override { w_.ClickCommand(kCmdNext); }
    void Previous() override { w_.ClickCommand(kCmdPrevious); }
    void SeekTo(std::int64_t positionUs) override {
        const double frameUs = FrameMs() * 1000.0;
        if (!w_.ready_ || w_.busy_ || w_.longTask_ || frameUs <= 0.0 ||
            !w_.seekSlider_->isEnabled())
            return;
        w_.SeekTo(std::llround(static_cast<double>(positionUs) / frameUs));
    }
    void SetVolume(double volume) override {
        if (!w_.busy_ && !w_.shutDown_)
            w_.StoreVolume(static_cast<int>(std::lround(volume * 65535.0)));
    }
    void Raise() override {
        w_.showNormal();
        w_.raise();
        w_.activateWindow();
    }
    void Quit() override { w_.ClickCommand(kCmdClose); }

private:
    static double RateOf(int rateMode) {
        // Slow codes play at a half and a quarter of the speed (or backwards, which the
        // desktop's rate cannot say).
        switch (rateMode) {
        case 2:
            return 2.0;
        case 4:
            return 4.0;
        case -2:
            return 0.5;
        case -4:
            return 0.25;
        default:
            return 1.0;
        }
    }
    static std::string StartTimeOf(const std::string& name) {
        if (!IsRecordingName(name))
            return {};
        const RecordingTime t = RecordingTimeOf(name);
        char text[32];
        std::snprintf(text, sizeof text, "%04d-%02d-%02dT%02d:%02d:%02d", t.year, t.month, t.day,
                      t.hour, t.minute, t.second);
        return text;
    }
    double FrameMs() {
        for (int slot = 0; slot < 2; ++slot) {
            if (w_.playerPresent_[slot] && w_.players_->open(slot))
                return w_.engines_[slot]->GetFrameDuration();
        }
        return 0.0;
    }
    bool Clickable(int commandId) const {
        const CSkinButton* button = w_.Button(commandId);
        return !w_.longTask_ && button != nullptr && button->isEnabled();
    }

    CtarnicDlg& w_;
};

void CtarnicDlg::ClickCommand(int commandId) {
    if (shutDown_ || longTask_)
        return;
    const CSkinButton* button = Button(commandId);
    if (button != nullptr && button->isEnabled())
        OnCommand(commandId);
}

void CtarnicDlg::OnTrackMenu(int row, int item) {
    if (shutDown_ || longTask_ || busy_ || item < 0 || item > 2)
        return;
    std::string path;
    std::vector<RecordingInfo> listed, all;
    {
        auto lock = LockList();
        const auto& shown = listPanel_->ShownRecordings();
        if (row >= 0 && row < static_cast<int>(shown.size()))
            path = shown[static_cast<std::size_t>(row)].path;
        if (item == static_cast<int>(TrackExport::Evidence)) {
            listed = Source().recordingList();
            all = listPanel_->CollectAllRecordings();
        }
    }
    if (path.empty())
        return;
    std::vector<std::string> fronts{path};
    if (item == static_cast<int>(TrackExport::Evidence)) {
        // A package may hold several recordings: the clicked one comes ticked.
        QString title = CFileListCtrl::TrackMenuText(item);
        if (title.endsWith(QStringLiteral("...")))
            title.chop(3);
        const auto picked = Dialogs().PickRecordings(title.toStdString(), listed, all, path);
        if (!picked || picked->empty())
            return;
        fronts.clear();
        for (const RecordingInfo& record : *picked)
            fronts.push_back(record.path);
    }
    auto flow = TrackFlow::Prepare(Dialogs(), static_cast<TrackExport>(item), std::move(fronts));
    if (!flow)
        return;
    PausePlayback();
    StartFlow(std::move(flow), WM_APP_TASK_DONE);
}

void CtarnicDlg::InstallDesktop() {
    // The speed unit as stored, in the info panel and the settings window.
    const SpeedUnit unit = SpeedUnitFromSetting(ReadSetting(kSpeedUnitSection, kSpeedUnitKey));
    infoDlg_->SetSpeedUnit(unit);
    settingDlg_->SetSpeedUnit(unit);
    connect(settingDlg_, &CSettingDlg::SpeedUnitChanged, infoDlg_, &CInfoDlg::SetSpeedUnit);
    connect(listPanel_->List(), &CFileListCtrl::TrackMenuChosen, this, &CtarnicDlg::OnTrackMenu);

    auto* service = new MprisService(std::make_unique<WindowMediaControl>(*this), this);
    // Without a session bus the viewer runs as it always did.
    if (!service->Register()) {
        delete service;
        return;
    }
    mpris_ = service;
}

} // namespace kirvano
