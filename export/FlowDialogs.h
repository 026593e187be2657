// What the file flows (CSV export, join, delete, snapshots) ask of the user, behind one
// interface: the viewer answers with its folder chooser, message dialog and selection
// dialog, tests answer from a script. Every call is made on the UI thread.
#pragma once

#include "library/RecordingInfo.h"

#include <atomic>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace kirvano {

class FlowDialogs {
public:
    enum SelectionMode : int { kSelectForDelete = 0, kSelectForJoin = 2 };

    virtual ~FlowDialogs() = default;
    // The folder chooser starting at the folder stored under section/key; empty when the
    // user cancels. The key is not written.
    virtual std::string ChooseFolder(std::string_view section, std::string_view key,
                                     std::string_view title) = 0;
    // A message with OK (okCancel false) or OK and Cancel; true when OK was pressed.
    virtual bool Message(const std::string& text, const std::string& caption, bool okCancel) = 0;
    // The recording selection dialog; none when it was cancelled. For a delete, all holds
    // every recording of the source (more than 1500 is reported by the dialog's owner).
    virtual std::optional<std::vector<RecordingInfo>>
    SelectRecordings(SelectionMode mode, const std::vector<RecordingInfo>& listed,
                     const std::vector<RecordingInfo>& all) = 0;
    // The same dialog for a free choice under title (the listed recordings, all of them
    // behind the show-all toggle), the recording at ticked already ticked; none when it
    // was cancelled.
    virtual std::optional<std::vector<RecordingInfo>>
    PickRecordings(const std::string& title, const std::vector<RecordingInfo>& listed,
                   const std::vector<RecordingInfo>& all, const std::string& ticked) = 0;
};

// A long task's reports, as the main window's task runner hands them to the worker.
using FlowProgress = std::function<void(std::intptr_t done, std::intptr_t total)>;

// A flow whose long part runs on the task worker. Prepare (UI thread, dialogs) builds it;
// Run (worker, no dialogs) does the work; Finish (UI thread, after the worker has been
// joined) shows what went wrong and writes the remembered folder.
class LongFlow {
public:
    virtual ~LongFlow() = default;
    // The worker's part; returns whether something was written or removed.
    virtual bool Run(const FlowProgress& progress, const std::atomic<bool>& cancelled) = 0;
    // True when the task succeeded (the window then shows "完了しました。").
    virtual bool Finish(FlowDialogs& dialogs) = 0;
};

} // namespace kirvano
