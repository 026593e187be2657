#include "export/JoinFlow.h"

#include "config/Settings.h"
#include "library/RecordingName.h"
#include "ui/UiText.h"

#include <sys/stat.h>

namespace kirvano {
namespace {

bool Exists(const std::string& path) {
    struct stat info {};
    return ::lstat(path.c_str(), &info) == 0;
}

} // namespace

std::unique_ptr<JoinFlow> JoinFlow::Prepare(FlowDialogs& dialogs,
                                            const std::vector<RecordingInfo>& listed,
                                            JoinOptions options) {
    std::string folder = dialogs.ChooseFolder("FOLDERPATH", "CONNECT_FOLDER", UiText(102));
    if (folder.empty())
        return nullptr;
    while (folder.size() > 1 && folder.back() == '/')
        folder.pop_back();
    auto selection = dialogs.SelectRecordings(FlowDialogs::kSelectForJoin, listed, {});
    if (!selection || selection->empty())
        return nullptr;
    const std::string output = folder + "/" + selection->front().name;
    // The writer never replaces a file unasked; an earlier join of the same recordings is
    // replaced only after the question.
    options.replace = false;
    if (Exists(output) || Exists(RearPathOf(output)) || Exists(DataPathOf(output))) {
        if (!dialogs.Message(UiText(93), UiText(106), true))
            return nullptr;
        options.replace = true;
    }
    std::unique_ptr<JoinFlow> flow(new JoinFlow);
    flow->folder_ = std::move(folder);
    flow->output_ = output;
    flow->selection_ = std::move(*selection);
    flow->options_ = std::move(options);
    return flow;
}

bool JoinFlow::Run(const FlowProgress& progress, const std::atomic<bool>& cancelled) {
    JoinOptions options = options_;
    if (progress)
        options.progress = [&progress](int done, int total) { progress(done, total); };
    options.cancel = &cancelled;
    ok_ = Begin(job_, selection_.front().path);
    for (std::size_t i = 1; ok_ && i < selection_.size() && !cancelled.load(); ++i)
        ok_ = Append(job_, selection_[i].path);
    if (ok_ && cancelled.load())
        ok_ = false;
    if (ok_)
        ok_ = Write(job_, output_, options);
    cancelled_ = !ok_ && cancelled.load();
    return ok_;
}

bool JoinFlow::Finish(FlowDialogs& dialogs) {
    if (ok_) {
        WriteSetting("FOLDERPATH", "CONNECT_FOLDER", folder_);
        return true;
    }
    if (!cancelled_)
        dialogs.Message(UiText(95), "ERROR", false);
    return false;
}

} // namespace kirvano
