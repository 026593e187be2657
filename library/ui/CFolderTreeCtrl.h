// The folder tree of the list panel: the FolderTree model shown as a tree widget, drawn
// white with the selected item in light blue and, for folders and groups below the top
// level, the type icon of the recordings under them.
#pragma once

#include "library/FolderTree.h"

#include <QColor>
#include <QTreeWidget>

#include <optional>
#include <unordered_map>

namespace kirvano {

class CFolderTreeCtrl : public QTreeWidget {
    Q_OBJECT
public:
    static constexpr int kControlId = 38300;
    static constexpr int kRowHeight = 26;
    static constexpr int kIndent = 20;
    static inline const QColor kSelected{0, 204, 255};

    explicit CFolderTreeCtrl(QWidget* parent = nullptr);

    // Shows the model: every item anew, nothing selected, no selection reported.
    void Rebuild(const FolderTree& tree);
    // Shows the model's children of item anew (after a rescan replaced them).
    void RebuildChildren(const FolderTree& tree, TreeItem item);
    // Removes every item without reporting a selection.
    void ClearItems();

    // Selects item and reports ItemSelected (also when it was already selected: a program
    // selection always rescans). False for an item that is not shown.
    bool SelectItem(TreeItem item);
    std::optional<TreeItem> SelectedItem() const;
    // Expands item and all its ancestors.
    void ExpandToItem(TreeItem item);
    // The widget item of a model item; nullptr when it is not shown.
    QTreeWidgetItem* WidgetItem(TreeItem item) const;
    // Where an item's text starts, from the left of the viewport.
    int TextStart(const QTreeWidgetItem* item) const;
    int ItemCount() const { return static_cast<int>(items_.size()); }

signals:
    // The selection changed to item (from previous, or -1).
    void ItemSelected(TreeItem item, TreeItem previous);

protected:
    void drawRow(QPainter* painter, const QStyleOptionViewItem& option,
                 const QModelIndex& index) const override;
    void drawBranches(QPainter*, const QRect&, const QModelIndex&) const override {}

private:
    void AddChildren(const FolderTree& tree, TreeItem parent, QTreeWidgetItem* widgetParent);
    void Forget(QTreeWidgetItem* item);
    TreeItem ItemOf(const QTreeWidgetItem* item) const;

    std::unordered_map<TreeItem, QTreeWidgetItem*> items_;
    TreeItem lastSelected_ = -1;
};

} // namespace kirvano
