// The CSV export as the main window runs it: the folder and overwrite questions on the UI
// thread, the file written on the task worker with progress and cancel, the outcome
// reported and the folder remembered when it is done.
#pragma once

#include "export/CsvExport.h"
#include "export/FlowDialogs.h"

#include <functional>
#include <memory>

namespace kirvano {

class CsvFlow : public LongFlow {
public:
    // Asks for the folder, collects the recordings (collect is only called once a folder
    // was chosen) and asks before replacing an export of the same name. Null when there is
    // nothing to do; a reason worth telling has been shown.
    static std::unique_ptr<CsvFlow>
    Prepare(FlowDialogs& dialogs, const std::function<std::vector<RecordingInfo>()>& collect,
            CsvExportOptions options = {});

    bool Run(const FlowProgress& progress, const std::atomic<bool>& cancelled) override;
    bool Finish(FlowDialogs& dialogs) override;

    const std::string& folder() const { return folder_; }
    const CsvExportResult& result() const { return result_; }
    // The file exists under its final name (complete, or the lines before a cancel).
    bool FileWritten() const;

private:
    CsvFlow() = default;

    std::string folder_;
    std::vector<RecordingInfo> recordings_;
    CsvExportOptions options_;
    CsvExportResult result_;
};

} // namespace kirvano
