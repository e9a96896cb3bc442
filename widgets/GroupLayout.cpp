#include "GroupLayout.h"

#include <algorithm>

namespace lerk {

void GroupLayout::clear()
{
    m_nodes.clear();
    m_top.clear();
    m_leaves.clear();
    m_segments.clear();
    m_rows = 0;
    m_levels = 0;
}

void GroupLayout::build(const std::vector<Leaf> &leaves, int levels, const KeyEquals &equals)
{
    // Groups that were open stay open when the same keys come back (after a post or a refresh).
    QList<QVariantList> openPaths;
    for (const Node &n : m_nodes) {
        if (!n.expanded)
            continue;
        QVariantList path;
        for (int i = int(&n - m_nodes.data()); i >= 0; i = m_nodes[size_t(i)].parent)
            path.prepend(m_nodes[size_t(i)].key);
        openPaths << path;
    }
    clear();
    m_levels = levels;
    if (levels <= 0)
        return;
    std::vector<int> open(size_t(levels), -1); // the node currently open at each level
    int row = 0;
    for (const Leaf &leaf : leaves) {
        int start = 0;
        while (start < levels && open[size_t(start)] >= 0 &&
               equals(m_nodes[size_t(open[size_t(start)])].key, leaf.keys.value(start)))
            ++start;
        for (int l = start; l < levels; ++l) {
            Node n;
            n.level = l;
            n.key = leaf.keys.value(l);
            n.parent = l == 0 ? -1 : open[size_t(l - 1)];
            n.firstRow = row;
            n.totals = QList<Aggregate>(leaf.totals.size());
            const int index = int(m_nodes.size());
            m_nodes.push_back(n);
            if (n.parent < 0)
                m_top << index;
            else
                m_nodes[size_t(n.parent)].children << index;
            open[size_t(l)] = index;
            if (l == levels - 1)
                m_leaves.push_back(index);
        }
        for (int l = 0; l < levels; ++l) {
            Node &n = m_nodes[size_t(open[size_t(l)])];
            n.rows += leaf.rows;
            for (int t = 0; t < leaf.totals.size() && t < n.totals.size(); ++t)
                n.totals[t].add(leaf.totals[t]);
        }
        row += int(leaf.rows);
    }
    for (const QVariantList &path : std::as_const(openPaths)) {
        QList<int> candidates = m_top;
        for (int depth = 0; depth < path.size(); ++depth) {
            auto it = std::find_if(candidates.begin(), candidates.end(),
                                   [&](int i) { return equals(m_nodes[size_t(i)].key, path[depth]); });
            if (it == candidates.end())
                break;
            if (depth == path.size() - 1)
                m_nodes[size_t(*it)].expanded = true;
            candidates = m_nodes[size_t(*it)].children;
        }
    }
    rebuildSegments();
}

void GroupLayout::setShowFooters(bool show)
{
    if (m_showFooters == show)
        return;
    m_showFooters = show;
    rebuildSegments();
}

void GroupLayout::appendNode(int index)
{
    const Node &n = m_nodes[size_t(index)];
    m_segments.push_back({m_rows, Kind::Header, index, n.firstRow, 1});
    ++m_rows;
    if (!n.expanded)
        return;
    if (n.children.isEmpty()) {
        if (n.rows > 0) {
            m_segments.push_back({m_rows, Kind::Data, index, n.firstRow, int(n.rows)});
            m_rows += int(n.rows);
        }
    } else {
        for (int child : n.children)
            appendNode(child);
    }
    if (m_showFooters) {
        m_segments.push_back({m_rows, Kind::Footer, index, n.firstRow, 1});
        ++m_rows;
    }
}

void GroupLayout::rebuildSegments()
{
    m_segments.clear();
    m_rows = 0;
    for (int top : std::as_const(m_top))
        appendNode(top);
}

GroupLayout::Item GroupLayout::item(int displayRow) const
{
    if (!isGrouped())
        return {Kind::Data, -1, displayRow};
    auto it = std::upper_bound(m_segments.begin(), m_segments.end(), displayRow,
                               [](int r, const Segment &s) { return r < s.displayStart; });
    if (it == m_segments.begin())
        return {Kind::Header, -1, -1};
    const Segment &s = *(it - 1);
    if (s.kind == Kind::Data)
        return {Kind::Data, s.node, s.datasetStart + (displayRow - s.displayStart)};
    return {s.kind, s.node, -1};
}

int GroupLayout::leafOf(int datasetRow) const
{
    auto it = std::upper_bound(m_leaves.begin(), m_leaves.end(), datasetRow,
                               [this](int r, int leaf) { return r < m_nodes[size_t(leaf)].firstRow; });
    if (it == m_leaves.begin())
        return -1;
    return *(it - 1);
}

int GroupLayout::displayRowOf(int datasetRow) const
{
    if (!isGrouped())
        return datasetRow;
    for (const Segment &s : m_segments)
        if (s.kind == Kind::Data && datasetRow >= s.datasetStart && datasetRow < s.datasetStart + s.length)
            return s.displayStart + (datasetRow - s.datasetStart);
    return -1;
}

void GroupLayout::setExpanded(int node, bool expanded)
{
    if (node < 0 || node >= nodeCount() || m_nodes[size_t(node)].expanded == expanded)
        return;
    m_nodes[size_t(node)].expanded = expanded;
    rebuildSegments();
}

void GroupLayout::setAllExpanded(bool expanded)
{
    for (Node &n : m_nodes)
        n.expanded = expanded;
    rebuildSegments();
}

bool GroupLayout::expandTo(int datasetRow)
{
    bool changed = false;
    for (int n = leafOf(datasetRow); n >= 0; n = m_nodes[size_t(n)].parent) {
        if (!m_nodes[size_t(n)].expanded) {
            m_nodes[size_t(n)].expanded = true;
            changed = true;
        }
    }
    if (changed)
        rebuildSegments();
    return changed;
}

} // namespace lerk
