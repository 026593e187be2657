#include "library/ui/CFileListCtrl.h"

#include "library/RecordingName.h"
#include "ui/CMovieMenu.h"
#include "ui/SharedFonts.h"
#include "ui/UiText.h"

#include <QContextMenuEvent>
#include <QFontMetrics>
#include <QPaintEvent>
#include <QPainter>

#include <algorithm>

namespace kirvano {
namespace {

bool HasGLetter(const std::string& name) {
    return (!name.empty() && name[0] == 'G') || (name.size() > 1 && name[1] == 'G');
}

} // namespace

void CFileListModel::SetRecordings(std::vector<RecordingInfo> shown) {
    beginResetModel();
    shown_ = std::move(shown);
    endResetModel();
}

int CFileListModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(shown_.size());
}

int CFileListModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : 2;
}

QVariant CFileListModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.row() >= rowCount())
        return {};
    if (role == Qt::DisplayRole && index.column() == 0)
        return QString::fromStdString(DisplayNameOf(shown_[index.row()].name));
    if (role == Qt::SizeHintRole)
        return QSize(index.column() == 0 ? 140 : 50, CFileListCtrl::kRowHeight);
    return {};
}

QVariant CFileListModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole)
        return {};
    return QString::fromStdString(UiText(section == 0 ? 23 : 31));
}

CFileListHeaderCtrl::CFileListHeaderCtrl(QWidget* parent) : QHeaderView(Qt::Horizontal, parent) {
    setSectionsClickable(true);
    setStretchLastSection(false);
    setMinimumSectionSize(1);
    setSectionResizeMode(QHeaderView::Interactive);
}

QSize CFileListHeaderCtrl::sizeHint() const {
    return QSize(QHeaderView::sizeHint().width(), kHeight);
}

void CFileListHeaderCtrl::paintEvent(QPaintEvent* event) {
    QHeaderView::paintEvent(event);
    QPainter painter(viewport());
    int end = 0;
    for (int i = 0; i < count(); ++i) {
        if (!isSectionHidden(i))
            end = std::max(end, sectionViewportPosition(i) + sectionSize(i));
    }
    if (end < viewport()->width())
        painter.fillRect(QRect(end, 0, viewport()->width() - end, height()), kBeyond);
}

void CFileListHeaderCtrl::paintSection(QPainter* painter, const QRect& rect,
                                       int logicalIndex) const {
    const int h = rect.height();
    if (h <= 0)
        return;
    painter->save();
    const int band = std::max(1, h / 255);
    for (int r = 0; r < h; r += band) {
        const int level = GradientLevel(h, r);
        const int bottom = rect.bottom() - r;
        painter->fillRect(QRect(rect.left(), bottom - band + 1, rect.width(), band),
                          QColor(level, level, level));
    }
    painter->setPen(kFrame);
    painter->setBrush(Qt::NoBrush);
    painter->drawRect(rect.adjusted(0, 0, -1, -1));
    painter->setPen(Qt::white);
    painter->setFont(font());
    const QString text = model() != nullptr
                             ? model()->headerData(logicalIndex, Qt::Horizontal).toString()
                             : QString();
    const QString shown = painter->fontMetrics().elidedText(text, Qt::ElideRight, rect.width());
    painter->drawText(rect, Qt::AlignCenter | Qt::TextSingleLine, shown);
    painter->restore();
}

CFileListCtrl::CFileListCtrl(QWidget* parent)
    : QTreeView(parent), model_(new CFileListModel(this)), header_(new CFileListHeaderCtrl(this)) {
    setProperty("controlId", kControlId);
    setHeader(header_);
    setModel(model_);
    setRootIsDecorated(false);
    setItemsExpandable(false);
    setUniformRowHeights(true);
    setIndentation(0);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setAllColumnsShowFocus(true);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setTextElideMode(Qt::ElideRight);
    setFont(UiFont());
    header_->setFont(UiFont());
    header_->setSectionsClickable(true); // the view resets it when the header is set
    header_->resizeSection(0, 140);
    header_->resizeSection(1, 50);
    connect(header_, &QHeaderView::sectionClicked, this, &CFileListCtrl::ColumnClicked);
    connect(selectionModel(), &QItemSelectionModel::selectionChanged, this,
            [this](const QItemSelection& selected, const QItemSelection&) {
                for (const QModelIndex& index : selected.indexes()) {
                    if (index.column() == 0)
                        emit RowSelected(index.row());
                }
            });
}

void CFileListCtrl::SetShown(std::vector<RecordingInfo> shown) {
    model_->SetRecordings(std::move(shown));
    FitFirstColumn();
    viewport()->update();
}

void CFileListCtrl::SetCurrentRow(int row) {
    if (currentRow_ == row)
        return;
    currentRow_ = row;
    viewport()->update();
}

void CFileListCtrl::SelectRow(int row) {
    if (row < 0 || row >= RowCount())
        return;
    const QModelIndex index = model_->index(row, 0);
    selectionModel()->setCurrentIndex(index, QItemSelectionModel::ClearAndSelect |
                                                 QItemSelectionModel::Rows);
    scrollTo(index);
}

int CFileListCtrl::SelectedRow() const {
    const QModelIndexList rows = selectionModel()->selectedRows();
    return rows.isEmpty() ? -1 : rows.first().row();
}

QColor CFileListCtrl::RowColour(int row) const {
    if (row < 0 || row >= RowCount())
        return kOther;
    const bool g = HasGLetter(Shown()[static_cast<std::size_t>(row)].name);
    if (row == currentRow_)
        return g ? kCurrentG : kCurrent;
    return g ? kOtherG : kOther;
}

void CFileListCtrl::drawRow(QPainter* painter, const QStyleOptionViewItem& option,
                            const QModelIndex& index) const {
    // The whole row is one cell as wide as both columns.
    const int width = header_->sectionSize(0) + header_->sectionSize(1);
    const QRect row(option.rect.left() - header_->offset(), option.rect.top(), width,
                    option.rect.height());
    painter->save();
    painter->fillRect(row, RowColour(index.row()));
    painter->setPen(kRowFrame);
    painter->setBrush(Qt::NoBrush);
    painter->drawRect(row); // covers one pixel more to the right and below
    painter->setPen(Qt::black);
    painter->setFont(font());
    const QRect textRect = row.adjusted(4, 0, 0, 0);
    const QString text = model_->data(model_->index(index.row(), 0), Qt::DisplayRole).toString();
    painter->drawText(textRect, Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine,
                      painter->fontMetrics().elidedText(text, Qt::ElideRight, textRect.width()));
    painter->restore();
}

bool CFileListCtrl::viewportEvent(QEvent* event) {
    if (event->type() == QEvent::Resize)
        FitFirstColumn();
    return QTreeView::viewportEvent(event);
}

QString CFileListCtrl::TrackMenuText(int item) {
    static constexpr const char* kTexts[kTrackMenuItems][2] = {
        {"Export track as GPX...", "軌跡をGPXで書き出す..."},
        {"Export track as KML...", "軌跡をKMLで書き出す..."},
        {"Create evidence package...", "証拠パッケージを作成..."},
    };
    if (item < 0 || item >= kTrackMenuItems)
        return {};
    return QString::fromUtf8(kTexts[item][SelectedUiTextColumn() == 1 ? 0 : 1]);
}

void CFileListCtrl::contextMenuEvent(QContextMenuEvent* event) {
    // The event comes through the viewport, in its coordinates.
    const QModelIndex index = indexAt(event->pos());
    if (!index.isValid() || !isEnabled())
        return;
    ShowTrackMenu(index.row(), event->globalPos());
}

void CFileListCtrl::ShowTrackMenu(int row, const QPoint& screenPos) {
    if (row < 0 || row >= RowCount())
        return;
    CMovieMenu menu(this);
    for (int item = 0; item < kTrackMenuItems; ++item)
        menu.AppendItem(item + 1, TrackMenuText(item).toStdString());
    const int chosen = menu.Track(screenPos);
    if (chosen > 0)
        emit TrackMenuChosen(row, chosen - 1);
}

void CFileListCtrl::FitFirstColumn() {
    header_->resizeSection(0, std::max(1, viewport()->width() - 51));
    header_->resizeSection(1, 50);
}

} // namespace kirvano
