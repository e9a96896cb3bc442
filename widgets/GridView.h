#pragma once

#include <QTableView>
#include <functional>

namespace lerk {

class DataSetModel;

// The table part of a DataGrid: paints the new-item row's info text and the group rows across the
// whole width, and turns the grid's keys (Enter, Ctrl+Delete, typing in a read-only cell, + and - on a
// group) into signals the grid acts on.
class GridView : public QTableView
{
    Q_OBJECT
public:
    explicit GridView(QWidget *parent = nullptr);

    DataSetModel *gridModel() const;
    void setTabWrapsToNextRow(bool wraps) { m_tabWraps = wraps; }
    // Asked before an editor opens: puts the record into edit or insert state; false keeps the cell
    // closed (a read-only table, a refused post of another record).
    std::function<bool(const QModelIndex &)> beginEdit;
    // Left edge of the expander of a group row's level, in viewport coordinates.
    QRect expanderRect(int row) const;

signals:
    void enterPressed();
    void deletePressed();
    void searchTyped(const QString &text);
    void groupToggled(int row);

protected:
    void paintEvent(QPaintEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseDoubleClickEvent(QMouseEvent *event) override;
    QModelIndex moveCursor(CursorAction action, Qt::KeyboardModifiers modifiers) override;
    bool edit(const QModelIndex &index, EditTrigger trigger, QEvent *event) override;

private:
    int firstVisualColumn() const;
    bool m_tabWraps = false;
};

} // namespace lerk
