#include "app/CtarnicDlg.h"

#include "library/RecordingName.h"
#include "library/ui/CFilerContainerDlg.h"
#include "library/ui/CFolderTreeCtrl.h"
#include "library/ui/CSourceOpenDlg.h"
#include "playback/CMovieStatic.h"
#include "ui/CMsgDlg.h"
#include "ui/UiText.h"

#include <QCoreApplication>

#include <algorithm>
#include <filesystem>

namespace kirvano {

const RecordingSource& CtarnicDlg::Source() const {
    return listPanel_->Source();
}

int CtarnicDlg::RecordCount() const {
    auto lock = LockList();
    return listPanel_ != nullptr ? listPanel_->ItemCount() : 0;
}

bool CtarnicDlg::ValidIndex(int index) const {
    return index >= 0 && index < RecordCount();
}

std::string CtarnicDlg::RecordPath(int index) const {
    auto lock = LockList();
    if (!ValidIndex(index))
        return {};
    return listPanel_->ShownRecordings()[static_cast<std::size_t>(index)].path;
}

std::optional<TreeItem> CtarnicDlg::FollowingTreeItem() const {
    const std::optional<TreeItem> selected = Source().selectedItem();
    const FolderTree& tree = Source().tree();
    if (!selected || !tree.contains(*selected))
        return std::nullopt;
    const std::vector<TreeItem>& siblings = tree.children(tree.parent(*selected));
    const auto it = std::find(siblings.begin(), siblings.end(), *selected);
    if (it == siblings.end() || it + 1 == siblings.end())
        return std::nullopt;
    return *(it + 1);
}

void CtarnicDlg::SelectTreeItem(TreeItem item) {
    // The tree reports the change as WM_APP_TREE_SELECTED.
    listPanel_->Tree()->SelectItem(item);
}

void CtarnicDlg::LoadInitialSource() {
    // The panel's tree reports its first selections; a single file has none.
    if (listPanel_->OpenInitialSource(*volumes_) && !busy_)
        ListLoaded(false);
    else if (!busy_)
        RefreshButtons();
}

void CtarnicDlg::ListLoaded(bool advancing) {
    ShowPlayButton(false);
    const int count = RecordCount();
    const SourceKind kind = listPanel_->Kind();
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
    const auto item = static_cast<TreeItem>(message.wParam());
    const bool advancing = advancePending_;
    bool expanded = false;
    {
        auto lock = LockList();
        if (Source().tree().contains(item)) {
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
            listPanel_->ExpandTreeItem(item);
            expanded = true;
        }
    }
    if (expanded)
        ListLoaded(advancing);
    treeSelecting_ = false;
}

void CtarnicDlg::OnChooseSource() {
    CSourceOpenDlg dialog(*volumes_, this);
    if (dialog.exec() != QDialog::Accepted)
        return;
    const SourceKind kind = dialog.Choice();
    const std::string path = dialog.ChosenPath();
    if (AnyPlayerPresent()) {
        players_->Pause();
        players_->Stop();
    }
    ResetZoom();
    ResetView();
    ShowPlayButton(false);
    if (kind == SourceKind::File) {
        std::error_code error;
        if (!std::filesystem::is_regular_file(path, error) ||
            !IsRecordingName(std::filesystem::path(path).filename().string())) {
            CMsgBox(this).Show(UiText(99), "ERROR");
            return;
        }
    }
    {
        auto lock = LockList();
        currentIndex_ = -1;
    }
    listPanel_->LoadSource(path, kind);
    if (!busy_)
        ListLoaded(false);
}

void CtarnicDlg::ClearList() {
    listPanel_->ResetContent();
    auto lock = LockList();
    currentIndex_ = -1;
}

void CtarnicDlg::OnFilterCommand(int commandId) {
    const int classNumber = commandId - kCmdFilterFirst;
    if (classNumber >= CFilerContainerDlg::kFilterCount)
        return;
    const bool on = !listPanel_->Filter(classNumber);
    listPanel_->SetFilter(classNumber, on);
    OnFilterChanged(classNumber, on);
}

void CtarnicDlg::OnRecordingChosen(int row) {
    SelectRecording(row, 0);
}

void CtarnicDlg::OnFilterChanged(int, bool) {
    if (RecordCount() > 0) {
        SelectRecording(0, 0);
        return;
    }
    // Nothing shown any more: nothing plays.
    if (AnyPlayerPresent()) {
        players_->Stop();
        SetRate(kRateNormal);
        players_->Close();
    }
    KillTimer(kTimerPlaybackTick);
    ready_ = false;
    ShowPlayButton(false);
    ResetViews();
    {
        auto lock = LockList();
        currentIndex_ = -1;
    }
    RefreshButtons();
}

void CtarnicDlg::OnSourceLost(const AppMessage&) {
    if (shutDown_)
        return;
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
    ClearList();
    RefreshButtons();
    for (CMovieStatic* window : videoWindows_)
        window->update();
    // When the medium the program runs from went away with the source, the program ends.
    // Its own file is the test: a path prefix misses a program beside a card's folder, and
    // a shared mount would end the program for any folder removed from the system disk.
    std::error_code error;
    const std::string self = QCoreApplication::applicationFilePath().toStdString();
    if (!self.empty() && !std::filesystem::exists(self, error)) {
        Shutdown();
        QCoreApplication::quit();
    }
}

} // namespace kirvano
