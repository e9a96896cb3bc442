#pragma once

#include <QWidget>

class QHeaderView;

namespace lerk {

// The footer row of a grid: one summary text per column, kept under its column as columns move,
// resize and scroll.
class GridFooter : public QWidget
{
    Q_OBJECT
public:
    GridFooter(QHeaderView *header, QWidget *parent = nullptr);

    void setTexts(const QHash<int, QString> &textsBySection);
    QString text(int section) const { return m_texts.value(section); }
    void setLeftMargin(int margin);
    int sectionAt(int x) const;

    QSize sizeHint() const override;

signals:
    void menuRequested(int section, const QPoint &globalPos);

protected:
    void paintEvent(QPaintEvent *event) override;
    void contextMenuEvent(QContextMenuEvent *event) override;

private:
    QHeaderView *m_header;
    QHash<int, QString> m_texts;
    int m_leftMargin = 0;
};

} // namespace lerk
