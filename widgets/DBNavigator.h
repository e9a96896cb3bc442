#pragma once

#include <QPointer>
#include <QWidget>

class QToolButton;

namespace lerk {

class DataSet;
class Ui;

// The record navigator of the data windows: ten buttons (first, prior, next, last, insert, delete,
// edit, post, cancel, refresh) with their Czech hints, enabled by the dataset's state.
class DBNavigator : public QWidget
{
    Q_OBJECT
public:
    enum Button { First, Prior, Next, Last, Insert, Delete, Edit, Post, Cancel, Refresh };
    static constexpr int ButtonCount = 10;

    explicit DBNavigator(QWidget *parent = nullptr);

    void setDataSet(DataSet *dataSet);
    DataSet *dataSet() const { return m_dataSet; }
    void setUi(Ui *ui) { m_ui = ui; }
    void setConfirmDelete(bool confirm) { m_confirmDelete = confirm; }
    bool confirmDelete() const { return m_confirmDelete; }
    void setVisibleButtons(const QList<Button> &buttons);

    QToolButton *button(Button which) const { return m_buttons[which]; }
    static QString hint(Button which);
    // Runs a button's action as a click does; errors go to the Ui.
    void click(Button which);

signals:
    // After a button's action, whether it succeeded or not: windows move the focus to their grid.
    void clicked(lerk::DBNavigator::Button button);

private:
    void updateButtons();

    QPointer<DataSet> m_dataSet;
    QList<QMetaObject::Connection> m_connections;
    QToolButton *m_buttons[ButtonCount];
    Ui *m_ui = nullptr;
    bool m_confirmDelete = false;
};

} // namespace lerk
