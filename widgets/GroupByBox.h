#pragma once

#include <QWidget>

class QHeaderView;

namespace lerk {

// The grouping box above a grid: the group columns as buttons in their order, or the prompt to drag a
// header here. A header dropped here groups by its column; a button dragged out removes its group.
class GroupByBox : public QWidget
{
    Q_OBJECT
public:
    explicit GroupByBox(QWidget *parent = nullptr);

    // Only sections of this header are taken.
    void setHeader(const QHeaderView *header) { m_header = header; }
    void setGroups(const QStringList &captions, const QList<bool> &descending);
    QStringList captions() const { return m_captions; }
    QString prompt() const;
    QRect chipRect(int index) const;

    QSize sizeHint() const override;

signals:
    void columnDropped(int section, int position);
    void groupClicked(int index);
    void groupRemoved(int index);
    void contextMenuAt(int index, const QPoint &globalPos);

protected:
    void paintEvent(QPaintEvent *event) override;
    void dragEnterEvent(QDragEnterEvent *event) override;
    void dragMoveEvent(QDragMoveEvent *event) override;
    void dropEvent(QDropEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void contextMenuEvent(QContextMenuEvent *event) override;

private:
    int chipAt(const QPoint &pos) const;
    int dropPosition(const QPoint &pos) const;

    const QHeaderView *m_header = nullptr;
    QStringList m_captions;
    QList<bool> m_descending;
    int m_pressed = -1;
    QPoint m_pressPos;
};

} // namespace lerk
