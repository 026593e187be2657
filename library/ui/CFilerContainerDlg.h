// The recording list panel: the folder tree of the current source, the list of the
// selected item's recordings filtered by five event-type toggles, and the count. It owns
// the source (tree, recording list, tree index, collection), keeps the index of the
// recording being played, and tells its owner about tree and row selections and a lost
// source.
#pragma once

#include "library/RecordingSource.h"

#include <QColor>
#include <QWidget>

#include <array>
#include <atomic>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

class QLineEdit;

namespace kirvano {

class CFileListCtrl;
class CFolderTreeCtrl;
class CMovieResource;
class CSkinButton;

// The records of all that the filter flags (one per event-type class number) let through,
// in order; a record without a known trigger is always shown.
std::vector<RecordingInfo> ShownByFilter(const std::vector<RecordingInfo>& all,
                                         const std::array<int, 5>& flags);

class CFilerContainerDlg : public QWidget {
    Q_OBJECT
public:
    static constexpr int kPathBoxId = 38500;
    static constexpr int kFirstFilterId = 38700; // 38700..38704 in event-type order
    static constexpr int kFilterCount = 5;
    static inline const QColor kBackground{170, 170, 170};
    static inline const QColor kFrame{255, 255, 255};

    // Starts the source watcher. The panel is empty until a source is loaded.
    explicit CFilerContainerDlg(QWidget* parent = nullptr);
    ~CFilerContainerDlg() override;

    // Creates the tree, the list, the path box and the five toggles (all filters on).
    // owner gets WM_APP_TREE_SELECTED (sent, wParam the new tree item, lParam the previous
    // one or -1) and WM_APP_SOURCE_LOST (posted by the watcher); with no owner the panel
    // rescans a selected tree item itself.
    void CreateChildren(QObject* owner);

    // Start-up: the newest card, else the configured folder or file; then the initial
    // selection. False when there is nothing to open.
    bool OpenInitialSource(const RemovableVolumes& volumes);
    // Replaces tree and lists with the scan of path as kind and selects the first top-level
    // item (a single file: its row, current index 0).
    void LoadSource(const std::string& path, SourceKind kind);
    // Rescans a tree item into the list (what the owner does on WM_APP_TREE_SELECTED);
    // returns the number of records. quiet: no repaint of the panel.
    int ExpandTreeItem(TreeItem item, bool quiet = false);
    // Selects the group of Normal or Parking when the first top-level item is one of those,
    // else that item; the selection reaches the owner as a tree selection.
    void SelectInitialItem();
    // Every recording of the source, unlimited (kept by the panel).
    const std::vector<RecordingInfo>& CollectAllRecordings();
    // Removes the records named like a removed one from all recordings and the collection
    // and refreshes the list.
    void RemoveByName(const std::vector<RecordingInfo>& removed);
    // Empties tree and lists (the source was lost or the view is reset); current index -1.
    void ResetContent();

    // Rebuilds the shown rows from all recordings by the filter flags.
    void RefreshList();
    // Sets a filter flag (class number 0..4), refreshes, selects row 0 when there is one
    // and makes it current.
    void SetFilter(int classNumber, bool on);
    bool Filter(int classNumber) const;
    // Makes index the current row (when it lies within the list) and selects it.
    // Negative indices are ignored.
    void SelectRecording(int index);
    // The row being played, -1 for none; guarded by hMutexCache.
    int CurrentIndex() const;
    void SetCurrentIndex(int index);
    // The next row selection opens even when it is the current row (one shot).
    void ForceReopen() { forceReopen_ = true; }
    // Number of rows.
    int ItemCount() const;

    // Layout 0 side by side, 1 stacked: places the panel at geometry and its children.
    void SetLayout(int layout, const QRect& geometry);
    int Layout() const { return layout_; }
    // Hides tree, list and toggles and shows the collapsed picture instead.
    void SetCollapsed(bool collapsed);
    bool IsCollapsed() const { return collapsed_; }

    // The rows (filtered copy) and all recordings of the selected item.
    const std::vector<RecordingInfo>& ShownRecordings() const;
    const std::vector<RecordingInfo>& AllRecordings() const { return source_.recordingList(); }
    const std::vector<RecordingInfo>& CollectedRecordings() const { return source_.collected(); }
    const RecordingSource& Source() const { return source_; }
    const std::string& SourcePath() const { return source_.sourcePath(); }
    SourceKind Kind() const { return source_.sourceKind(); }
    bool HasSource() const { return source_.hasSource(); }
    // The recorder's firmware version of a card source (for the version check).
    const std::string& FirmwareVersion() const { return source_.firmwareVersion(); }
    std::string PathBoxText() const;

    CFolderTreeCtrl* Tree() const { return tree_; }
    CFileListCtrl* List() const { return list_; }
    QLineEdit* PathBox() const { return pathBox_; }
    CSkinButton* FilterToggle(int classNumber) const;
    // Enables or disables tree, list and toggles together (while an open or task runs).
    void EnableControls(bool enable);

    // Where the count and the toggle labels are drawn in the current layout.
    QRect CountRect() const;
    QRect ToggleLabelRect(int classNumber) const;
    QRect ToggleRect(int classNumber) const;

signals:
    // A row was selected that is not the current one (or a reopen was forced): it is now
    // the current index. Emitted under hMutexCache; the owner opens the recording.
    void RecordingChosen(int row);
    // A filter toggle was clicked and applied (class number, new flag).
    void FilterChanged(int classNumber, bool on);

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    void OnTreeSelected(TreeItem item, TreeItem previous);
    void OnRowSelected(int row);
    void OnColumnClicked();
    void PlaceChildren();
    // Shows what the source was just scanned into, as a load selects it.
    void ShowLoadedSource();

    RecordingSource source_;
    std::recursive_mutex& cacheLock_;
    std::atomic<QObject*> owner_{nullptr};
    std::unique_ptr<CMovieResource> watcher_;
    CFolderTreeCtrl* tree_ = nullptr;
    CFileListCtrl* list_ = nullptr;
    QLineEdit* pathBox_ = nullptr;
    std::array<CSkinButton*, kFilterCount> toggles_{};
    std::array<int, kFilterCount> filters_{1, 1, 1, 1, 1};
    int layout_ = 0;
    bool collapsed_ = false;
    bool forceReopen_ = false;
};

} // namespace kirvano
