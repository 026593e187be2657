// The recording list of the list panel: one row per shown recording, drawn by the panel's
// rules (the current row and recordings with the G trigger letter in their own colours),
// with its gradient header. The shown recordings are the filtered copy of all recordings.
#pragma once

#include "library/RecordingInfo.h"

#include <QAbstractTableModel>
#include <QColor>
#include <QHeaderView>
#include <QTreeView>

#include <vector>

namespace kirvano {

// The rows' data: column 0 the display name, column 1 (the trigger) left empty because the
// whole row is drawn as one cell.
class CFileListModel : public QAbstractTableModel {
    Q_OBJECT
public:
    using QAbstractTableModel::QAbstractTableModel;

    // Replaces every row.
    void SetRecordings(std::vector<RecordingInfo> shown);
    const std::vector<RecordingInfo>& Recordings() const { return shown_; }

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

private:
    std::vector<RecordingInfo> shown_;
};

// The header: a grey gradient per cell, grey frame, white centred text; grey right of the
// last cell.
class CFileListHeaderCtrl : public QHeaderView {
    Q_OBJECT
public:
    static inline const QColor kFrame{170, 170, 170};
    static inline const QColor kBeyond{204, 204, 204};
    static constexpr int kHeight = 20;

    explicit CFileListHeaderCtrl(QWidget* parent = nullptr);
    // The grey level of the band at distance r from the bottom of a cell h pixels high.
    static int GradientLevel(int h, int r) { return (h - r) * 141 / h + 63; }

    QSize sizeHint() const override;

protected:
    void paintSection(QPainter* painter, const QRect& rect, int logicalIndex) const override;
    void paintEvent(QPaintEvent* event) override;
};

class CFileListCtrl : public QTreeView {
    Q_OBJECT
public:
    static constexpr int kControlId = 1001;
    static constexpr int kRowHeight = 20;
    static inline const QColor kCurrentG{178, 178, 142};
    static inline const QColor kCurrent{178, 178, 178};
    static inline const QColor kOtherG{255, 255, 204};
    static inline const QColor kOther{255, 255, 255};
    static inline const QColor kRowFrame{136, 136, 136};

    explicit CFileListCtrl(QWidget* parent = nullptr);

    // Replaces the rows with the shown recordings (a copy the control keeps).
    void SetShown(std::vector<RecordingInfo> shown);
    const std::vector<RecordingInfo>& Shown() const { return model_->Recordings(); }
    int RowCount() const { return static_cast<int>(Shown().size()); }

    // The row drawn as the current one (the one being played); -1 for none.
    void SetCurrentRow(int row);
    int CurrentRow() const { return currentRow_; }
    // Selects and focuses row (clearing the old selection), sets the selection mark and
    // scrolls it into view. Reports RowSelected when the row was not selected before.
    void SelectRow(int row);
    // The selected row; -1 for none.
    int SelectedRow() const;
    // The fill colour of a row by the drawing rule.
    QColor RowColour(int row) const;

    CFileListHeaderCtrl* Header() const { return header_; }

    // The track menu of a row (right click): 0 "Export track as GPX...", 1 "Export track as
    // KML...", 2 "Create evidence package..." (in the interface's language). Shown at a
    // screen point; the chosen item is reported with TrackMenuChosen.
    static constexpr int kTrackMenuItems = 3;
    static QString TrackMenuText(int item);
    void ShowTrackMenu(int row, const QPoint& screenPos);

signals:
    // An item of a row's track menu was chosen.
    void TrackMenuChosen(int row, int item);
    // A row's selected state was newly set (by the user or the program).
    void RowSelected(int row);
    // A column header was clicked.
    void ColumnClicked(int column);

protected:
    void drawRow(QPainter* painter, const QStyleOptionViewItem& option,
                 const QModelIndex& index) const override;
    bool viewportEvent(QEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;

private:
    void FitFirstColumn();

    CFileListModel* model_;
    CFileListHeaderCtrl* header_;
    int currentRow_ = -1;
};

} // namespace kirvano
