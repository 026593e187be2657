// The folder tree of a source, free of widgets: items with a text, a parent and a 32-bit
// value (the event-type mask of the recordings under it), under a root path. The list
// panel's tree widget shows it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace kirvano {

using TreeItem = int;
// The invisible root above the top-level items.
inline constexpr TreeItem kTreeRoot = 0;

class FolderTree {
public:
    static constexpr std::size_t kMaxItems = 1500;

    FolderTree();

    // Removes every item; the root path stays.
    void clear();
    void setRootPath(std::string path) { rootPath_ = std::move(path); }
    const std::string& rootPath() const { return rootPath_; }

    // Appends an item under parent; nothing when the tree already holds kMaxItems items.
    std::optional<TreeItem> insert(TreeItem parent, std::string text);
    // Removes the children of item and everything below them.
    void deleteChildren(TreeItem item);

    // Number of items (the root not counted).
    std::size_t size() const { return size_; }
    bool full() const { return size_ >= kMaxItems; }
    bool contains(TreeItem item) const;

    const std::string& text(TreeItem item) const;
    TreeItem parent(TreeItem item) const;
    std::uint32_t value(TreeItem item) const;
    void setValue(TreeItem item, std::uint32_t value);
    const std::vector<TreeItem>& children(TreeItem item) const;
    std::optional<TreeItem> firstChild(TreeItem item) const;
    // Number of ancestors below the root (0 for a top-level item).
    int depth(TreeItem item) const;

    // The root path, "/", and the texts of the item's ancestors and itself joined by "/".
    std::string path(TreeItem item) const;
    // The item whose path is path (a trailing "/" ignored).
    std::optional<TreeItem> find(std::string_view path) const;

private:
    struct Node {
        std::string text;
        TreeItem parent = -1;
        std::uint32_t value = 0;
        std::vector<TreeItem> children;
        bool alive = false;
    };
    void release(TreeItem item);

    std::vector<Node> nodes_;
    std::vector<TreeItem> free_;
    std::size_t size_ = 0;
    std::string rootPath_;
};

} // namespace kirvano
