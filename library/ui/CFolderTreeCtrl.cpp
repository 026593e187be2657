#include "library/ui/CFolderTreeCtrl.h"

#include "library/ui/ListPanelArt.h"
#include "ui/SharedFonts.h"

#include <QHeaderView>
#include <QPainter>

namespace kirvano {
namespace {

constexpr int kIdRole = Qt::UserRole;
constexpr int kValueRole = Qt::UserRole + 1;
constexpr int kFolderImage = 18;
constexpr int kTypeIconWidth = 39;
constexpr int kTypeIconHeight = 26;

int Depth(const QTreeWidgetItem* item) {
    int depth = 0;
    for (const QTreeWidgetItem* p = item->parent(); p != nullptr; p = p->parent())
        ++depth;
    return depth;
}

bool HasTypeIcon(const QTreeWidgetItem* item) {
    return item->parent() != nullptr && item->data(0, kValueRole).toUInt() != 0;
}

} // namespace

CFolderTreeCtrl::CFolderTreeCtrl(QWidget* parent) : QTreeWidget(parent) {
    setProperty("controlId", kControlId);
    setHeaderHidden(true);
    setColumnCount(1);
    setIndentation(kIndent);
    setUniformRowHeights(true);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setFont(UiFont());
    setRootIsDecorated(true);
    setExpandsOnDoubleClick(true);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    QPalette colours = palette();
    colours.setColor(QPalette::Base, Qt::white);
    setPalette(colours);
    connect(this, &QTreeWidget::itemSelectionChanged, this, [this] {
        const std::optional<TreeItem> item = SelectedItem();
        if (!item)
            return;
        const TreeItem previous = lastSelected_;
        lastSelected_ = *item;
        emit ItemSelected(*item, previous);
    });
}

void CFolderTreeCtrl::ClearItems() {
    const QSignalBlocker blocker(this);
    clear();
    items_.clear();
    lastSelected_ = -1;
}

void CFolderTreeCtrl::Rebuild(const FolderTree& tree) {
    ClearItems();
    const QSignalBlocker blocker(this);
    AddChildren(tree, kTreeRoot, invisibleRootItem());
}

void CFolderTreeCtrl::RebuildChildren(const FolderTree& tree, TreeItem item) {
    QTreeWidgetItem* widget = WidgetItem(item);
    if (widget == nullptr || !tree.contains(item))
        return;
    const QSignalBlocker blocker(this);
    while (widget->childCount() > 0) {
        QTreeWidgetItem* child = widget->child(0);
        Forget(child);
        delete widget->takeChild(0);
    }
    widget->setData(0, kValueRole, tree.value(item));
    AddChildren(tree, item, widget);
    viewport()->update();
}

void CFolderTreeCtrl::AddChildren(const FolderTree& tree, TreeItem parent,
                                  QTreeWidgetItem* widgetParent) {
    QList<QTreeWidgetItem*> added;
    for (TreeItem child : tree.children(parent)) {
        auto* item = new QTreeWidgetItem(QStringList(QString::fromStdString(tree.text(child))));
        item->setData(0, kIdRole, child);
        item->setData(0, kValueRole, tree.value(child));
        item->setSizeHint(0, QSize(-1, kRowHeight));
        items_[child] = item;
        added.push_back(item);
        AddChildren(tree, child, item);
    }
    widgetParent->addChildren(added);
}

void CFolderTreeCtrl::Forget(QTreeWidgetItem* item) {
    for (int i = 0; i < item->childCount(); ++i)
        Forget(item->child(i));
    const TreeItem id = ItemOf(item);
    items_.erase(id);
    if (lastSelected_ == id)
        lastSelected_ = -1;
}

TreeItem CFolderTreeCtrl::ItemOf(const QTreeWidgetItem* item) const {
    return item == nullptr ? -1 : item->data(0, kIdRole).toInt();
}

QTreeWidgetItem* CFolderTreeCtrl::WidgetItem(TreeItem item) const {
    const auto it = items_.find(item);
    return it == items_.end() ? nullptr : it->second;
}

bool CFolderTreeCtrl::SelectItem(TreeItem item) {
    QTreeWidgetItem* widget = WidgetItem(item);
    if (widget == nullptr)
        return false;
    if (widget->isSelected()) {
        const TreeItem previous = lastSelected_;
        lastSelected_ = item;
        emit ItemSelected(item, previous);
    } else {
        setCurrentItem(widget);
    }
    scrollToItem(widget);
    return true;
}

std::optional<TreeItem> CFolderTreeCtrl::SelectedItem() const {
    const QList<QTreeWidgetItem*> selected = selectedItems();
    if (selected.isEmpty())
        return std::nullopt;
    return ItemOf(selected.first());
}

void CFolderTreeCtrl::ExpandToItem(TreeItem item) {
    for (QTreeWidgetItem* widget = WidgetItem(item); widget != nullptr; widget = widget->parent())
        widget->setExpanded(true);
}

int CFolderTreeCtrl::TextStart(const QTreeWidgetItem* item) const {
    int x = kIndent * Depth(item) + 14 + kFolderImage + 2;
    if (HasTypeIcon(item))
        x += kTypeIconWidth + 2;
    return x;
}

void CFolderTreeCtrl::drawRow(QPainter* painter, const QStyleOptionViewItem& option,
                              const QModelIndex& index) const {
    const QTreeWidgetItem* item = itemFromIndex(index);
    if (item == nullptr)
        return;
    painter->save();
    const QRect row(0, option.rect.top(), viewport()->width(), option.rect.height());
    painter->fillRect(row, Qt::white);
    const int offset = -horizontalOffset();
    const int left = offset + kIndent * Depth(item);
    const int midY = row.center().y();

    // The expand box: plus when closed, minus when open.
    if (item->childCount() > 0) {
        const QRect box(left + 3, midY - 4, 8, 8);
        painter->setPen(QColor(136, 136, 136));
        painter->setBrush(Qt::white);
        painter->drawRect(box);
        painter->setPen(Qt::black);
        painter->drawLine(box.left() + 2, midY, box.right() - 2, midY);
        if (!item->isExpanded())
            painter->drawLine(box.center().x(), box.top() + 2, box.center().x(), box.bottom() - 2);
    }
    const qreal ratio = painter->device()->devicePixelRatioF();
    const QImage folder =
        ListArt(item->isExpanded() ? listart::kFolderOpen : listart::kFolderClosed, 0, ratio);
    painter->drawImage(QPointF(left + 14, midY - kFolderImage / 2.0), folder);
    if (HasTypeIcon(item)) {
        const QImage icon = ComposeTypeIcon(item->data(0, kValueRole).toUInt(), ratio);
        painter->drawImage(QPointF(left + 14 + kFolderImage + 2, midY - kTypeIconHeight / 2.0),
                           icon);
    }

    const int textX = offset + TextStart(item);
    painter->setFont(font());
    const QString text = item->text(0);
    const int textWidth = painter->fontMetrics().horizontalAdvance(text);
    const QRect textRect(textX, row.top(), textWidth + 4, row.height());
    if (item->isSelected()) {
        const QRect fill = textRect.adjusted(-2, 1, 0, -1);
        painter->fillRect(fill, kSelected);
        QPen dots(QColor(0, 0, 0));
        dots.setStyle(Qt::DotLine);
        painter->setPen(dots);
        painter->setBrush(Qt::NoBrush);
        painter->drawRect(fill.adjusted(0, 0, -1, -1));
        painter->setPen(Qt::white);
    } else {
        painter->setPen(Qt::black);
    }
    painter->drawText(textRect, Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine, text);
    painter->restore();
}

} // namespace kirvano
