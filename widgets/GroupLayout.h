#pragma once

#include "Aggregate.h"

#include <QList>
#include <QVariantList>
#include <functional>
#include <vector>

namespace lerk {

// Where the grid's display rows come from when rows are grouped. The dataset is ordered by the group
// fields first, so each innermost group is one contiguous run of dataset rows; the layout keeps only the
// groups (as a tree) and the runs of display rows, never one entry per record.
class GroupLayout
{
public:
    enum class Kind { Data, Header, Footer };
    struct Item
    {
        Kind kind = Kind::Data;
        int node = -1;       // the group of a header or footer, the innermost group of a data row
        int datasetRow = -1; // data rows only
    };
    // One innermost group as the grouped SQL returns it, in the dataset's order.
    struct Leaf
    {
        QVariantList keys; // stored values, one per level
        qint64 rows = 0;
        QList<Aggregate> totals; // one per summary column
    };
    struct Node
    {
        int level = 0;
        QVariant key; // stored value of this level's field
        int parent = -1;
        QList<int> children;
        int firstRow = 0; // first dataset row
        qint64 rows = 0;
        QList<Aggregate> totals;
        bool expanded = false;
    };

    // Groups exist after build(); without it the layout maps display rows to dataset rows one to one.
    using KeyEquals = std::function<bool(const QVariant &, const QVariant &)>;
    void build(const std::vector<Leaf> &leaves, int levels, const KeyEquals &equals);
    void clear();
    bool isGrouped() const { return m_levels > 0; }
    int levels() const { return m_levels; }

    void setShowFooters(bool show);
    bool showFooters() const { return m_showFooters; }

    // identityRows: the dataset's row count, used while not grouped.
    int rowCount(int identityRows) const { return isGrouped() ? m_rows : identityRows; }
    Item item(int displayRow) const;
    // -1 when the row's group is collapsed.
    int displayRowOf(int datasetRow) const;
    const Node &node(int index) const { return m_nodes[size_t(index)]; }
    int nodeCount() const { return int(m_nodes.size()); }
    QList<int> topNodes() const { return m_top; }

    void setExpanded(int node, bool expanded);
    void setAllExpanded(bool expanded);
    // Opens every group on the way to a dataset row; returns whether anything changed.
    bool expandTo(int datasetRow);

private:
    struct Segment
    {
        int displayStart = 0;
        Kind kind = Kind::Data;
        int node = -1;
        int datasetStart = 0;
        int length = 1;
    };
    void rebuildSegments();
    void appendNode(int index);
    int leafOf(int datasetRow) const;

    std::vector<Node> m_nodes;
    QList<int> m_top;
    std::vector<int> m_leaves; // innermost nodes in dataset order
    std::vector<Segment> m_segments;
    int m_rows = 0;
    int m_levels = 0;
    bool m_showFooters = false;
};

} // namespace lerk
