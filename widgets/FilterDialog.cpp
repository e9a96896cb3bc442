#include "FilterDialog.h"

#include "GridTexts.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

namespace lerk {

FilterDialog::FilterDialog(const ColumnFilter &filter, const Formats &formats, QWidget *parent)
    : QDialog(parent), m_filter(filter), m_formats(formats)
{
    setObjectName(QStringLiteral("filterDialog"));
    setWindowTitle(GridTexts::FilterDialogTitle);
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(new QLabel(GridTexts::FilterDialogPrompt.arg(filter.caption), this));
    m_not = new QCheckBox(GridTexts::Not, this);
    m_not->setObjectName(QStringLiteral("notBox"));
    m_not->setChecked(filter.negated);
    layout->addWidget(m_not);
    auto *grid = new QGridLayout;
    layout->addLayout(grid);
    const QList<FilterOperator> ops = GridFilter::operatorsFor(filter.type);
    for (int r = 0; r < 2; ++r) {
        RowWidgets &w = m_rows[r];
        w.op = new QComboBox(this);
        w.op->setObjectName(QStringLiteral("operator%1").arg(r + 1));
        if (r == 1)
            w.op->addItem(QString(), -1); // no second condition
        for (FilterOperator op : ops)
            w.op->addItem(GridFilter::operatorText(op), int(op));
        w.value = new QLineEdit(this);
        w.value->setObjectName(QStringLiteral("value%1").arg(r + 1));
        w.value2 = new QLineEdit(this);
        w.value2->setObjectName(QStringLiteral("secondValue%1").arg(r + 1));
        grid->addWidget(w.op, r * 2 + (r ? 1 : 0), 0);
        grid->addWidget(w.value, r * 2 + (r ? 1 : 0), 1);
        grid->addWidget(w.value2, r * 2 + (r ? 1 : 0), 2);
        if (r < filter.conditions.size()) {
            const FilterCondition &c = filter.conditions[r];
            w.op->setCurrentIndex(w.op->findData(int(c.op)));
            if (GridFilter::valueCount(c.op) == -1) {
                QStringList items;
                for (const QVariant &v : c.values)
                    items << (filter.type == FieldType::Text
                                  ? v.toString()
                                  : GridFilter::formatValue(v, filter.type, formats));
                w.value->setText(items.join(QStringLiteral("; ")));
            } else {
                if (!c.value.isNull())
                    w.value->setText(filter.type == FieldType::Text
                                         ? c.value.toString()
                                         : GridFilter::formatValue(c.value, filter.type, formats));
                if (!c.value2.isNull())
                    w.value2->setText(filter.type == FieldType::Text
                                          ? c.value2.toString()
                                          : GridFilter::formatValue(c.value2, filter.type, formats));
            }
        } else {
            w.op->setCurrentIndex(0);
        }
        connect(w.op, &QComboBox::currentIndexChanged, this, [this, r] { updateRow(r); });
        updateRow(r);
    }
    auto *joins = new QHBoxLayout;
    m_and = new QRadioButton(GridTexts::And, this);
    m_and->setObjectName(QStringLiteral("andButton"));
    m_or = new QRadioButton(GridTexts::Or, this);
    m_or->setObjectName(QStringLiteral("orButton"));
    (filter.orJoin ? m_or : m_and)->setChecked(true);
    joins->addWidget(m_and);
    joins->addWidget(m_or);
    joins->addStretch();
    grid->addLayout(joins, 1, 0, 1, 3);
    auto *buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    buttons->button(QDialogButtonBox::Ok)->setText(GridTexts::Ok);
    buttons->button(QDialogButtonBox::Cancel)->setText(GridTexts::Cancel);
    connect(buttons, &QDialogButtonBox::accepted, this, &FilterDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &FilterDialog::reject);
    layout->addWidget(buttons);
}

void FilterDialog::updateRow(int row)
{
    RowWidgets &w = m_rows[row];
    const int op = w.op->currentData().toInt();
    const int count = op < 0 ? 0 : GridFilter::valueCount(FilterOperator(op));
    w.value->setEnabled(count != 0);
    w.value2->setVisible(count == 2);
    w.value->setPlaceholderText(count == -1 ? GridTexts::FilterInHint : QString());
    if (m_filter.type == FieldType::Date && count != -1)
        w.value->setPlaceholderText(m_formats.shortDate);
}

std::optional<FilterCondition> FilterDialog::condition(int row, QString *error) const
{
    const RowWidgets &w = m_rows[row];
    const int opValue = w.op->currentData().toInt();
    if (opValue < 0)
        return std::nullopt;
    FilterCondition c;
    c.op = FilterOperator(opValue);
    auto read = [&](const QString &text, QVariant *out) {
        if (text.trimmed().isEmpty() && m_filter.type != FieldType::Text) {
            *out = QVariant();
            return true;
        }
        const auto v = GridFilter::parseValue(text, m_filter.type, m_formats);
        if (!v) {
            if (error && error->isEmpty())
                *error = GridTexts::InvalidFilterValue.arg(text, m_filter.caption);
            return false;
        }
        *out = *v;
        return true;
    };
    switch (GridFilter::valueCount(c.op)) {
    case 0:
        return c;
    case 2:
        if (!read(w.value->text(), &c.value) || !read(w.value2->text(), &c.value2))
            return std::nullopt;
        return c;
    case -1:
        for (const QString &part : w.value->text().split(QLatin1Char(';'), Qt::SkipEmptyParts)) {
            QVariant v;
            if (!read(m_filter.type == FieldType::Text ? part.trimmed() : part, &v))
                return std::nullopt;
            c.values << v;
        }
        if (c.values.isEmpty())
            return std::nullopt;
        return c;
    default:
        if (!read(w.value->text(), &c.value))
            return std::nullopt;
        return c;
    }
}

ColumnFilter FilterDialog::result() const
{
    ColumnFilter out = m_filter;
    out.conditions.clear();
    for (int r = 0; r < 2; ++r)
        if (auto c = condition(r, nullptr))
            out.conditions << *c;
    out.orJoin = m_or->isChecked();
    out.negated = m_not->isChecked();
    return out;
}

QString FilterDialog::validationError() const
{
    QString error;
    for (int r = 0; r < 2; ++r)
        condition(r, &error);
    return error;
}

void FilterDialog::accept()
{
    const QString error = validationError();
    if (!error.isEmpty()) {
        QMessageBox box(QMessageBox::Warning, windowTitle(), error, QMessageBox::Ok, this);
        box.exec();
        return;
    }
    QDialog::accept();
}

} // namespace lerk
