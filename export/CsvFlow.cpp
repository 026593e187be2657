#include "export/CsvFlow.h"

#include "config/Settings.h"
#include "ui/UiText.h"

#include <sys/stat.h>

namespace kirvano {

std::unique_ptr<CsvFlow>
CsvFlow::Prepare(FlowDialogs& dialogs, const std::function<std::vector<RecordingInfo>()>& collect,
                 CsvExportOptions options) {
    std::string folder = dialogs.ChooseFolder("FOLDERPATH", "CSV_FOLDER", UiText(103));
    if (folder.empty())
        return nullptr;
    while (folder.size() > 1 && folder.back() == '/')
        folder.pop_back();
    std::vector<RecordingInfo> recordings = collect ? collect() : std::vector<RecordingInfo>{};
    if (recordings.empty()) {
        dialogs.Message(UiText(101), "ERROR", false);
        return nullptr;
    }
    const std::string path = folder + "/" + CsvFileName(recordings.front());
    struct stat info {};
    options.overwrite = false;
    if (::lstat(path.c_str(), &info) == 0) {
        if (!dialogs.Message(UiText(93), UiText(106), true))
            return nullptr;
        options.overwrite = true;
    }
    std::unique_ptr<CsvFlow> flow(new CsvFlow);
    flow->folder_ = std::move(folder);
    flow->recordings_ = std::move(recordings);
    flow->options_ = std::move(options);
    return flow;
}

bool CsvFlow::Run(const FlowProgress& progress, const std::atomic<bool>& cancelled) {
    CsvExportOptions options = options_;
    if (progress)
        options.progress = [&progress](std::size_t index, std::size_t count) {
            progress(static_cast<std::intptr_t>(index), static_cast<std::intptr_t>(count));
        };
    options.cancelled = [&cancelled] { return cancelled.load(); };
    result_ = ExportCsv(recordings_, folder_, options);
    return FileWritten();
}

bool CsvFlow::FileWritten() const {
    return result_.outcome == CsvOutcome::Done || result_.outcome == CsvOutcome::Cancelled;
}

bool CsvFlow::Finish(FlowDialogs& dialogs) {
    switch (result_.outcome) {
    case CsvOutcome::Done:
        WriteSetting("FOLDERPATH", "CSV_FOLDER", folder_);
        return true;
    case CsvOutcome::Cancelled:
        return false;
    case CsvOutcome::NoRecordings:
        dialogs.Message(UiText(101), "ERROR", false);
        return false;
    case CsvOutcome::Exists: // appeared after the question: it is not replaced unasked
    case CsvOutcome::Failed:
        dialogs.Message(UiText(96), "ERROR", false);
        return false;
    }
    return false;
}

} // namespace kirvano
