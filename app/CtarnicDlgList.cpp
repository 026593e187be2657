// The recordings behind the main window: the start-up source, choosing another source,
// the folder tree's selection, the list of the selected folder, and what happens when
// the source goes away while it is shown.
#include "app/CtarnicDlg.h"

#include "library/MovieResource.h"
#include "library/RecordingName.h"
#include "playback/CMovieStatic.h"

#include <QCoreApplication>
#include <QFileDialog>

#include <algorithm>

namespace kirvano {

int CtarnicDlg::RecordCount() const {
    auto lock = LockList();
    return static_cast<int>(source_.recordingList().size());
}

bool CtarnicDlg::ValidIndex(int index) const {
    return index >= 0 && index < RecordCount();
}

std::string CtarnicDlg::RecordPath(int index) const {
    auto lock = LockList();
    if (!ValidIndex(index))
        return {};
    return source_.recordingList()[static_cast<std::size_t>(index)].path;
}

std::optional<TreeItem> CtarnicDlg::FollowingTreeItem() const {
    const std::optional<TreeItem> selected = source_.selectedItem();
    const FolderTree& tree = source_.tree();
    if (!selected || !tree.contains(*selected))
        return std::nullopt;
    const std::vector<TreeItem>& siblings = tree.children(tree.parent(*selected));
    const auto it = std::find(siblings.begin(), siblings.end(), *selected);
    if (it == siblings.end() || it + 1 == siblings.end())
        return std::nullopt;
    return *(it + 1);
}

void CtarnicDlg::SelectTreeItem(TreeItem item) {
    // The tree reports its selection change as the list panel's tree does.
    AppMessage selected(WM_APP_TREE_SELECTED, 0, item);
    QCoreApplication::sendEvent(this, &selected);
}

void CtarnicDlg::LoadInitialSource() {
    watcher_ =
        std::make_unique<CMovieResource>([this] { PostAppMessage(this, WM_APP_SOURCE_LOST); });
    source_.setWatchHook([this](const std::string& path) { watcher_->watch(path); });
    bool loaded = false;
    {
        auto lock = LockList();
        loaded = source_.OpenInitialSource(*volumes_);
        if (loaded) {
            if (const std::optional<TreeItem> item = source_.selectedItem())
                source_.ExpandTreeItem(*item);
        }
    }
    ListLoaded(false);
}

void CtarnicDlg::ListLoaded(bool advancing) {
    ShowPlayButton(false);
    const int count = RecordCount();
    const SourceKind kind = source_.sourceKind();
    // CSV export is offered for recorder cards that hold recordings.
    csvDisabled_ = kind != SourceKind::Card || count == 0;
    advancePending_ = false;
    if (count == 0) {
        auto lock = LockList();
        currentIndex_ = -1;
        RefreshButtons();
        return;
    }
    SelectRecording(0, advancing ? 1 : 0);
}

void CtarnicDlg::OnTreeSelected(const AppMessage& message) {
    if (treeSelecting_)
        return;
    treeSelecting_ = true;
    const auto item = static_cast<TreeItem>(message.lParam());
    const bool advancing = advancePending_;
    bool expanded = false;
    {
        auto lock = LockList();
        if (source_.tree().contains(item) && (message.wParam() == 0 || advancing)) {
            if (AnyPlayerPresent()) {
                players_->Pause();
                players_->Stop();
                if (!advancing)
                    SetRate(kRateNormal);
                players_->ClearTelemetry();
                players_->Close();
            }
            KillTimer(kTimerPlaybackTick);
            ready_ = false;
            source_.ExpandTreeItem(item);
            expanded = true;
        }
    }
    if (expanded)
        ListLoaded(advancing);
    treeSelecting_ = false;
}

void CtarnicDlg::OnChooseSource() {
    const QString folder = QFileDialog::getExistingDirectory(
        this, QString(), QString::fromStdString(source_.sourcePath()));
    if (folder.isEmpty())
        return;
    if (AnyPlayerPresent()) {
        players_->Pause();
        players_->Stop();
    }
    ResetView();
    {
        auto lock = LockList();
        source_.LoadSource(folder.toStdString(), SourceKind::Folder);
        if (const std::optional<TreeItem> item = source_.SelectInitialItem())
            source_.ExpandTreeItem(*item);
    }
    ListLoaded(false);
}

void CtarnicDlg::ClearList() {
    auto lock = LockList();
    source_.recordingList().clear();
    currentIndex_ = -1;
}

void CtarnicDlg::OnFilterCommand(int) {
    // The event-type filters live in the list panel.
}

void CtarnicDlg::OnSourceLost(const AppMessage&) {
    ready_ = false;
    KillTimer(kTimerRunOpen);
    KillTimer(kTimerOpenTimeout);
    busy_ = false;
    EndWaitCursor();
    if (AnyPlayerPresent()) {
        if (PlayerState() != EngineState::Paused)
            players_->Pause();
        players_->Stop();
    }
    ResetView();
    ShowPlayButton(false);
    const std::string lostPath = source_.sourcePath();
    ClearList();
    RefreshButtons();
    for (CMovieStatic* window : videoWindows_)
        window->update();
    // When the medium the program runs from went away, the program ends.
    const std::string self = QCoreApplication::applicationFilePath().toStdString();
    if (!lostPath.empty() && self.rfind(lostPath + "/", 0) == 0) {
        Shutdown();
        QCoreApplication::quit();
    }
}

} // namespace kirvano
