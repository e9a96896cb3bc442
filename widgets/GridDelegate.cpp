#include "GridDelegate.h"

#include "DataSet.h"
#include "DataSetModel.h"
#include "DateEdit.h"
#include "LookupBox.h"
#include "Session.h"

#include <QAbstractItemView>
#include <QDoubleValidator>
#include <QKeyEvent>
#include <QLineEdit>

namespace lerk {

namespace {

EditorKind editorOf(const GridColumn &column, const Field *field)
{
    if (column.editor != EditorKind::Auto)
        return column.editor;
    if (column.lookup.source)
        return EditorKind::Lookup;
    if (!field)
        return EditorKind::Text;
    switch (field->type()) {
    case FieldType::Date:
        return EditorKind::Date;
    case FieldType::Logical:
        return EditorKind::CheckBox;
    default:
        return isNumericType(field->type()) ? EditorKind::Number : EditorKind::Text;
    }
}

} // namespace

GridDelegate::GridDelegate(DataSetModel *model, QObject *parent) : QStyledItemDelegate(parent), m_model(model)
{}

const Formats &GridDelegate::formats() const
{
    static const Formats defaults;
    return m_model->dataSet() ? m_model->dataSet()->session().formats() : defaults;
}

QWidget *GridDelegate::createEditor(QWidget *parent, const QStyleOptionViewItem &option,
                                    const QModelIndex &index) const
{
    const GridColumn &column = m_model->columns().at(index.column());
    Field *field = m_model->fieldOf(index.column());
    QWidget *editor = nullptr;
    switch (editorOf(column, field)) {
    case EditorKind::Date:
        editor = new DateEdit(formats(), parent);
        break;
    case EditorKind::Lookup: {
        auto *box = new LookupBox(parent);
        box->setLookup(column.lookup);
        editor = box;
        break;
    }
    case EditorKind::Number: {
        auto *edit = new QLineEdit(parent);
        edit->setObjectName(QStringLiteral("numberEdit"));
        edit->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
        editor = edit;
        break;
    }
    case EditorKind::CheckBox:
        return nullptr;
    default: {
        auto *edit = new QLineEdit(parent);
        edit->setObjectName(QStringLiteral("textEdit"));
        if (field && field->type() == FieldType::Text && field->size() > 0)
            edit->setMaxLength(field->size());
        editor = edit;
        break;
    }
    }
    Q_UNUSED(option);
    editor->setAutoFillBackground(true);
    return editor;
}

void GridDelegate::setEditorData(QWidget *editor, const QModelIndex &index) const
{
    const QVariant value = index.data(DataSetModel::FieldValueRole);
    if (auto *date = qobject_cast<DateEdit *>(editor)) {
        date->setDate(value.toDate());
        date->selectAll();
        return;
    }
    if (auto *box = qobject_cast<LookupBox *>(editor)) {
        box->setKey(value);
        box->lineEdit()->selectAll();
        return;
    }
    if (auto *edit = qobject_cast<QLineEdit *>(editor)) {
        Field *field = m_model->fieldOf(index.column());
        edit->setText(field && !value.isNull() ? field->format(value, false) : QString());
        edit->selectAll();
    }
}

void GridDelegate::setModelData(QWidget *editor, QAbstractItemModel *model, const QModelIndex &index) const
{
    if (auto *date = qobject_cast<DateEdit *>(editor)) {
        // A text that is no date goes to the field as typed, so that the field's own rule (or its error)
        // decides.
        if (date->text().trimmed().isEmpty())
            model->setData(index, QVariant());
        else if (date->isValidText())
            model->setData(index, date->date());
        else
            model->setData(index, date->text());
        return;
    }
    if (auto *box = qobject_cast<LookupBox *>(editor)) {
        if (const auto key = box->key())
            model->setData(index, *key);
        return;
    }
    if (auto *edit = qobject_cast<QLineEdit *>(editor)) {
        Field *field = m_model->fieldOf(index.column());
        const QString text = edit->text();
        if (field && field->type() != FieldType::Text) {
            model->setData(index, text.trimmed().isEmpty() ? QVariant() : QVariant(text.trimmed()));
            return;
        }
        model->setData(index, text);
    }
}

void GridDelegate::updateEditorGeometry(QWidget *editor, const QStyleOptionViewItem &option,
                                        const QModelIndex &) const
{
    editor->setGeometry(option.rect);
}

bool GridDelegate::eventFilter(QObject *object, QEvent *event)
{
    auto *editor = qobject_cast<QWidget *>(object);
    if (editor && event->type() == QEvent::KeyPress) {
        auto *key = static_cast<QKeyEvent *>(event);
        if (key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter) {
            emit commitData(editor);
            emit closeEditor(editor, QAbstractItemDelegate::NoHint);
            emit enterCommitted();
            return true;
        }
        if (key->key() == Qt::Key_Down && (key->modifiers() & Qt::AltModifier)) {
            if (auto *date = qobject_cast<DateEdit *>(editor)) {
                date->showCalendar();
                return true;
            }
        }
    }
    return QStyledItemDelegate::eventFilter(object, event);
}

} // namespace lerk
