// The position update: one place where a playing position reaches every view that shows
// it (the seek slider now; the info panel, the G-sensor graph cursor and the map marker
// attach here), with the telemetry sample of that frame.
#include "app/CtarnicDlg.h"

#include "app/rules/PlaybackRules.h"
#include "base/NamedLocks.h"
#include "playback/EngineTelemetry.h"
#include "telemetry/TelemetryTypes.h"
#include "ui/CSkinSliderCtrl.h"

namespace kirvano {

void CtarnicDlg::UpdatePosition(std::int64_t position) {
    // 1. Clamp to the slider's range.
    const std::int64_t p = kirvano::ShownPosition(position, positionMin_, positionMax_);

    // 2. The telemetry sample of the frame, under the engines' file lock.
    std::optional<TelemetrySample> sample;
    if (playerPresent_[0]) {
        std::lock_guard<std::recursive_mutex> lock(NamedLock("hFileMutex"));
        if (const TelemetrySample* s = engines_[0]->telemetry().published.SampleAtFrame(p))
            sample = *s;
    }

    // 3. The seek target the playback tick waits for.
    pendingSeek_ = p;
    shownPosition_ = p;

    // 4-6. The views. Without a sample the G values read as "no data".
    seekSlider_->SetPos(static_cast<int>(p));
}

void CtarnicDlg::ResetViews() {
    shownPosition_ = 0;
    seekSlider_->SetRange(0, 0);
    seekSlider_->SetPos(0);
}

} // namespace kirvano
