#pragma once

#include <QStyledItemDelegate>

namespace lerk {

class DataSetModel;
struct Formats;

// In-place editors of a DataGrid: text cut to the field size, numbers, dates typed in the short date
// format with a calendar drop-down, and lookup lists of another dataset. Check boxes need no editor.
class GridDelegate : public QStyledItemDelegate
{
    Q_OBJECT
public:
    GridDelegate(DataSetModel *model, QObject *parent = nullptr);

    QWidget *createEditor(QWidget *parent, const QStyleOptionViewItem &option,
                          const QModelIndex &index) const override;
    void setEditorData(QWidget *editor, const QModelIndex &index) const override;
    void setModelData(QWidget *editor, QAbstractItemModel *model, const QModelIndex &index) const override;
    void updateEditorGeometry(QWidget *editor, const QStyleOptionViewItem &option,
                              const QModelIndex &index) const override;

signals:
    // Enter was pressed in an editor: its value is committed and the grid moves on.
    void enterCommitted();

protected:
    bool eventFilter(QObject *object, QEvent *event) override;

private:
    const Formats &formats() const;
    DataSetModel *m_model;
};

} // namespace lerk
