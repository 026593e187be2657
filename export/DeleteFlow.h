// Deleting recordings as the main window runs it: the selection on the UI thread, then on
// the task worker each ticked recording, last to first, is retired (on a recorder card:
// hidden under a dummy name; elsewhere: moved to the trash). Nothing is removed for good,
// nothing that was not ticked is touched, and a cancel or a failure keeps the rest.
#pragma once

#include "export/FlowDialogs.h"

#include <functional>
#include <memory>
#include <string_view>

namespace kirvano {

class DeleteFlow : public LongFlow {
public:
    using Retire = std::function<bool(std::string_view path)>;

    // all: every recording of the source; listed: the list panel's rows. More than 1500
    // recordings are reported (message 105) and the first 1500 offered. Null when the
    // user cancelled or ticked nothing.
    static std::unique_ptr<DeleteFlow> Prepare(FlowDialogs& dialogs,
                                               const std::vector<RecordingInfo>& all,
                                               const std::vector<RecordingInfo>& listed);

    bool Run(const FlowProgress& progress, const std::atomic<bool>& cancelled) override;
    bool Finish(FlowDialogs& dialogs) override;

    const std::vector<RecordingInfo>& selection() const { return selection_; }
    bool Selected(std::string_view path) const;
    // What the walk retired, in the order it went (last row first).
    const std::vector<RecordingInfo>& removed() const { return removed_; }
    // The selected recordings not handled (a cancel, a failure), in row order.
    std::vector<RecordingInfo> remaining() const;
    bool failed() const { return failed_; }
    bool cancelled() const { return cancelled_; }
    // The recording that could not be retired.
    const std::string& failedPath() const { return failedPath_; }

private:
    DeleteFlow() = default;

    std::vector<RecordingInfo> selection_;
    std::vector<RecordingInfo> removed_;
    bool failed_ = false;
    bool cancelled_ = false;
    std::string failedPath_;
};

} // namespace kirvano
