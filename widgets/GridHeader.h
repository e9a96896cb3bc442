#pragma once

#include <QHeaderView>
#include <QSet>

namespace lerk {

// Column headers of a DataGrid: a filter button in each section (marked while the column is filtered),
// a sort mark, and a section dragged out of the header becomes a drag the grouping box accepts.
class GridHeader : public QHeaderView
{
    Q_OBJECT
public:
    explicit GridHeader(QWidget *parent = nullptr);

    static QString mimeType() { return QStringLiteral("application/x-lerk-grid-column"); }
    // What a dragged section carries: its index and which header it comes from.
    static QByteArray dragData(const QHeaderView *header, int section);
    static int sectionOf(const QByteArray &data, const QHeaderView *header); // -1: another header's

    void setFilteredSections(const QSet<int> &sections);
    void setSortMarks(const QHash<int, bool> &descendingBySection);
    void setFilterButtonsShown(bool shown);
    QRect filterButtonRect(int logicalIndex) const;

signals:
    void filterButtonClicked(int logicalIndex, const QPoint &globalPos);

protected:
    void paintSection(QPainter *painter, const QRect &rect, int logicalIndex) const override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;

private:
    QSet<int> m_filtered;
    QHash<int, bool> m_sort;
    bool m_buttons = true;
    int m_pressed = -1;
    QPoint m_pressPos;
};

} // namespace lerk
