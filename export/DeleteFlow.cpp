#include "export/DeleteFlow.h"

#include "library/RetireRecording.h"
#include "ui/UiText.h"

#include <sys/stat.h>

#include <algorithm>

namespace kirvano {
namespace {

constexpr std::size_t kSelectionLimit = 1500;

bool IsFolder(const std::string& path) {
    struct stat info {};
    return ::stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

std::string FolderOfPath(const std::string& path) {
    const auto slash = path.rfind('/');
    if (slash == std::string::npos)
        return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

} // namespace

std::unique_ptr<DeleteFlow> DeleteFlow::Prepare(FlowDialogs& dialogs,
                                                const std::vector<RecordingInfo>& all,
                                                const std::vector<RecordingInfo>& listed) {
    if (all.size() > kSelectionLimit)
        dialogs.Message(UiText(105), "ERROR", false);
    auto selection = dialogs.SelectRecordings(FlowDialogs::kSelectForDelete, listed, all);
    if (!selection || selection->empty())
        return nullptr;
    std::unique_ptr<DeleteFlow> flow(new DeleteFlow);
    flow->selection_ = std::move(*selection);
    return flow;
}

bool DeleteFlow::Selected(std::string_view path) const {
    return std::any_of(selection_.begin(), selection_.end(),
                       [&](const RecordingInfo& r) { return r.path == path; });
}

bool DeleteFlow::Run(const FlowProgress& progress, const std::atomic<bool>& cancelled) {
    const auto total = static_cast<std::intptr_t>(selection_.size());
    for (std::size_t i = selection_.size(); i-- > 0;) {
        if (cancelled.load()) {
            cancelled_ = true;
            break;
        }
        const RecordingInfo& record = selection_[i];
        // A pulled card takes the folder with it: the files are still on the card, so
        // that is a failure, not a recording that is already gone.
        if (!IsFolder(FolderOfPath(record.path)) || !RetireRecording(record.path)) {
            failed_ = true;
            failedPath_ = record.path;
            break;
        }
        removed_.push_back(record);
        if (progress)
            progress(static_cast<std::intptr_t>(removed_.size()), total);
    }
    if (!failed_ && !cancelled_ && progress)
        progress(total, total);
    return !removed_.empty();
}

std::vector<RecordingInfo> DeleteFlow::remaining() const {
    std::vector<RecordingInfo> rest(
        selection_.begin(), selection_.end() - static_cast<std::ptrdiff_t>(removed_.size()));
    return rest;
}

bool DeleteFlow::Finish(FlowDialogs& dialogs) {
    if (failed_) {
        dialogs.Message(UiText(97), "ERROR", false);
        return false;
    }
    return !cancelled_;
}

} // namespace kirvano
