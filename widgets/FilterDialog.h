#pragma once

#include "GridFilter.h"

#include <QDialog>

class QCheckBox;
class QComboBox;
class QLineEdit;
class QRadioButton;

namespace lerk {

// The custom filter of one column: two conditions joined by "a" or "nebo", optionally negated ("ne").
class FilterDialog : public QDialog
{
    Q_OBJECT
public:
    FilterDialog(const ColumnFilter &filter, const Formats &formats, QWidget *parent = nullptr);

    // The filter as set in the dialog; conditions that could not be read are left out.
    ColumnFilter result() const;
    // Empty when every typed value fits the column.
    QString validationError() const;

    // Rows of the dialog, for tests and keyboard use.
    QComboBox *operatorBox(int row) const { return m_rows[row].op; }
    QLineEdit *valueEdit(int row) const { return m_rows[row].value; }
    QLineEdit *secondValueEdit(int row) const { return m_rows[row].value2; }
    QRadioButton *orButton() const { return m_or; }
    QCheckBox *notBox() const { return m_not; }

    void accept() override;

private:
    struct RowWidgets
    {
        QComboBox *op = nullptr;
        QLineEdit *value = nullptr;
        QLineEdit *value2 = nullptr;
    };
    void updateRow(int row);
    std::optional<FilterCondition> condition(int row, QString *error) const;

    ColumnFilter m_filter;
    Formats m_formats;
    RowWidgets m_rows[2];
    QRadioButton *m_and = nullptr;
    QRadioButton *m_or = nullptr;
    QCheckBox *m_not = nullptr;
};

} // namespace lerk
