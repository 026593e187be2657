// The widget-free folder tree: nodes in one vector, freed slots reused.
#include "library/FolderTree.h"

#include "library/FolderListing.h"

#include <algorithm>

namespace kirvano {

FolderTree::FolderTree() {
    clear();
}

void FolderTree::clear() {
    nodes_.assign(1, Node{});
    nodes_[0].alive = true;
    free_.clear();
    size_ = 0;
}

bool FolderTree::contains(TreeItem item) const {
    return item >= 0 && static_cast<std::size_t>(item) < nodes_.size() && nodes_[item].alive;
}

std::optional<TreeItem> FolderTree::insert(TreeItem parent, std::string text) {
    if (full() || !contains(parent))
        return std::nullopt;
    TreeItem item;
    if (!free_.empty()) {
        item = free_.back();
        free_.pop_back();
    } else {
        item = static_cast<TreeItem>(nodes_.size());
        nodes_.emplace_back();
    }
    Node& node = nodes_[item];
    node.text = std::move(text);
    node.parent = parent;
    node.value = 0;
    node.children.clear();
    node.alive = true;
    nodes_[parent].children.push_back(item);
    ++size_;
    return item;
}

void FolderTree::release(TreeItem item) {
    for (TreeItem child : nodes_[item].children)
        release(child);
    Node& node = nodes_[item];
    node.children.clear();
    node.text.clear();
    node.alive = false;
    free_.push_back(item);
    --size_;
}

void FolderTree::deleteChildren(TreeItem item) {
    if (!contains(item))
        return;
    std::vector<TreeItem> children = std::move(nodes_[item].children);
    nodes_[item].children.clear();
    for (TreeItem child : children)
        release(child);
}

const std::string& FolderTree::text(TreeItem item) const {
    static const std::string kEmpty;
    return contains(item) ? nodes_[item].text : kEmpty;
}

TreeItem FolderTree::parent(TreeItem item) const {
    return contains(item) ? nodes_[item].parent : -1;
}

std::uint32_t FolderTree::value(TreeItem item) const {
    return contains(item) ? nodes_[item].value : 0;
}

void FolderTree::setValue(TreeItem item, std::uint32_t value) {
    if (contains(item) && item != kTreeRoot)
        nodes_[item].value = value;
}

const std::vector<TreeItem>& FolderTree::children(TreeItem item) const {
    static const std::vector<TreeItem> kNone;
    return contains(item) ? nodes_[item].children : kNone;
}

std::optional<TreeItem> FolderTree::firstChild(TreeItem item) const {
    const auto& list = children(item);
    if (list.empty())
        return std::nullopt;
    return list.front();
}

int FolderTree::depth(TreeItem item) const {
    int ancestors = 0;
    for (TreeItem at = parent(item); at > kTreeRoot; at = parent(at))
        ++ancestors;
    return ancestors;
}

std::string FolderTree::path(TreeItem item) const {
    std::vector<const std::string*> texts;
    for (TreeItem at = item; at > kTreeRoot && contains(at); at = nodes_[at].parent)
        texts.push_back(&nodes_[at].text);
    std::string result = rootPath_;
    for (auto it = texts.rbegin(); it != texts.rend(); ++it)
        result = JoinPath(result, **it);
    return result;
}

std::optional<TreeItem> FolderTree::find(std::string_view wanted) const {
    while (wanted.size() > 1 && wanted.back() == '/')
        wanted.remove_suffix(1);
    // Walk down the components below the root path.
    std::string_view root = rootPath_;
    while (root.size() > 1 && root.back() == '/')
        root.remove_suffix(1);
    if (wanted.substr(0, root.size()) != root)
        return std::nullopt;
    std::string_view rest = wanted.substr(root.size());
    if (root != "/" && !rest.empty()) {
        if (rest.front() != '/')
            return std::nullopt;
        rest.remove_prefix(1);
    }
    if (rest.empty())
        return std::nullopt;
    TreeItem at = kTreeRoot;
    while (!rest.empty()) {
        const auto slash = rest.find('/');
        const std::string_view part = rest.substr(0, slash);
        const auto& list = children(at);
        const auto hit = std::find_if(list.begin(), list.end(),
                                      [&](TreeItem child) { return nodes_[child].text == part; });
        if (hit == list.end())
            return std::nullopt;
        at = *hit;
        rest = slash == std::string_view::npos ? std::string_view{} : rest.substr(slash + 1);
    }
    return at;
}

} // namespace kirvano
