// Joining recordings as the main window runs it: the output folder and the selection on
// the UI thread (and a question before replacing an earlier join), the join writer on the
// task worker, the outcome reported and the folder remembered when it is done.
#pragma once

#include "container/JoinJob.h"
#include "export/FlowDialogs.h"

#include <memory>

namespace kirvano {

class JoinFlow : public LongFlow {
public:
    // listed: the recordings shown in the list panel. Null when the user cancelled.
    static std::unique_ptr<JoinFlow> Prepare(FlowDialogs& dialogs,
                                             const std::vector<RecordingInfo>& listed,
                                             JoinOptions options = {});

    bool Run(const FlowProgress& progress, const std::atomic<bool>& cancelled) override;
    bool Finish(FlowDialogs& dialogs) override;

    const std::string& folder() const { return folder_; }
    // The front output: the folder and the first recording's name.
    const std::string& output() const { return output_; }
    const std::vector<RecordingInfo>& selection() const { return selection_; }
    const JoinJob& job() const { return job_; }
    bool succeeded() const { return ok_; }
    bool cancelled() const { return cancelled_; }

private:
    JoinFlow() = default;

    std::string folder_;
    std::string output_;
    std::vector<RecordingInfo> selection_;
    JoinOptions options_;
    JoinJob job_;
    bool ok_ = false;
    bool cancelled_ = false;
};

} // namespace kirvano
