// The position update: one place where a playing position reaches every view that shows
// it (the seek slider now; the info panel, the G-sensor graph cursor and the map marker
// attach here), with the telemetry sample of that frame.
#include "app/CtarnicDlg.h"

#include "app/rules/PlaybackRules.h"
#include "base/NamedLocks.h"
#include "library/RecordingName.h"
#include "library/ui/CFilerContainerDlg.h"
#include "playback/EngineTelemetry.h"
#include "telemetry/TelemetryTypes.h"
#include "ui/CSkinButton.h"
#include "ui/CSkinSliderCtrl.h"
#include "views/CGSensorDlg.h"
#include "views/CInfoDlg.h"

namespace kirvano {

void CtarnicDlg::UpdatePosition(std::int64_t position) {
    // 1. Clamp to the slider's range.
    const std::int64_t p = kirvano::ShownPosition(position, positionMin_, positionMax_);

    // 3. The seek target the playback tick waits for.
    pendingSeek_ = p;
    shownPosition_ = p;

    // 2, 4, 5. The telemetry sample of the frame, read under the engines' file lock while
    // the views copy what they show; without a sample the G values read as "no data".
    {
        std::lock_guard<std::recursive_mutex> lock(NamedLock("hFileMutex"));
        const TelemetrySample* sample =
            playerPresent_[0] ? engines_[0]->telemetry().published.SampleAtFrame(p) : nullptr;
        if (!fullScreen_)
            infoDlg_->SetSample(sample, static_cast<std::int32_t>(p));
        SetMapPosition(sample, p);
    }

    // 6. The slider and the graph's cursor.
    seekSlider_->SetPos(static_cast<int>(p));
    graphDlg_->SetGraphPosition(p);
}

void CtarnicDlg::StartViews() {
    // What the views need to know of the recording before its first position.
    if (!ValidIndex(currentIndex_) || !playerPresent_[0])
        return;
    const RecordingInfo record = [&] {
        auto lock = LockList();
        return listPanel_->ShownRecordings()[static_cast<std::size_t>(currentIndex_)];
    }();
    // The recorder's clock at the start, from the recording's name.
    const RecordingTime t = RecordingTimeOf(record.name);
    auto field = [](int value) { return static_cast<std::uint16_t>(value); };
    infoDlg_->SetStartTime(CivilTime{field(t.year), field(t.month), 0, field(t.day), field(t.hour),
                                     field(t.minute), field(t.second), 0});
    infoDlg_->SetFrameDuration(engines_[0]->GetFrameDuration());
    {
        std::lock_guard<std::recursive_mutex> lock(NamedLock("hFileMutex"));
        infoDlg_->SetRateLetter(engines_[0]->telemetry().published.header().rate);
    }
    graphDlg_->SetRecordingName(record.name);
    graphDlg_->LoadGraph(&engines_[0]->telemetry().published);
    MapRecordingPrepared();
    RebuildEvents();
}

void CtarnicDlg::RebuildEvents() {
    // The event list follows the display flags and the map draws it; the graph repaints
    // with its own flags.
    DrawMapEvents(mapGroupDirty_);
    graphDlg_->update();
}

void CtarnicDlg::EnableJumps(bool on) {
    graphDlg_->SetJumpsEnabled(on);
}

void CtarnicDlg::JumpToEvent(bool forward) {
    // Jumps from the graph's cursor; with nothing beyond it, from past either end.
    KillTimer(kTimerRateSettle);
    if (!ready_ || !ValidIndex(currentIndex_))
        return;
    const bool playing = PlayerState() == EngineState::Playing;
    if (playing)
        players_->Pause();
    const std::int64_t cursor = graphDlg_->CurrentFrame();
    std::optional<std::int64_t> target =
        forward ? events_.NextFrame(cursor) : events_.PreviousFrame(cursor);
    if (!target)
        target = forward ? events_.NextFrame(-1) : events_.PreviousFrame(positionMax_ + 1);
    if (target && *target == cursor)
        target.reset();
    if (target)
        SeekTo(*target);
    if (playing)
        PlayCurrent();
    if (target) {
        toolButtons_[kCmdSlower - kCmdToStart]->setEnabled(false);
        toolButtons_[kCmdFaster - kCmdToStart]->setEnabled(false);
        EnableJumps(false);
        StartTimer(kTimerRateSettle, 500);
    }
}

void CtarnicDlg::ResetViews() {
    infoDlg_->Clear();
    graphDlg_->ResetGraph();
    events_.Clear();
    shownPosition_ = 0;
    seekSlider_->SetRange(0, 0);
    seekSlider_->SetPos(0);
}

} // namespace kirvano
