#pragma once

#include "FieldType.h"

#include <QDate>
#include <QString>
#include <QStringList>
#include <QTime>
#include <QVariant>
#include <functional>

namespace lerk {

class DataSet;

// One field of a dataset: stored, calculated or lookup. Values are typed QVariants: QString for text,
// qlonglong for integers, double for numbers, bool for logical, QDate, QTime; a null QVariant is empty.
// Reads and writes go to the dataset's current record (or to the record being calculated).
class Field
{
public:
    enum class Kind { Data, Calculated, Lookup };

    Field(DataSet &dataSet, int index, Kind kind, QString name, FieldType type, int size);

    DataSet &dataSet() const { return m_dataSet; }
    int index() const { return m_index; }
    Kind kind() const { return m_kind; }
    bool isStored() const { return m_kind == Kind::Data; }
    const QString &name() const { return m_name; }
    FieldType type() const { return m_type; }
    int size() const { return m_size; }

    QString displayLabel() const { return m_label.isEmpty() ? m_name : m_label; }
    void setDisplayLabel(const QString &label) { m_label = label; }
    // e.g. "0.000" or "###0" for numbers, a date pattern for dates; empty for the defaults.
    QString displayFormat() const { return m_displayFormat; }
    void setDisplayFormat(const QString &format) { m_displayFormat = format; }
    bool isVisible() const { return m_visible; }
    void setVisible(bool visible) { m_visible = visible; }
    bool isReadOnly() const { return m_readOnly || m_kind != Kind::Data; }
    void setReadOnly(bool readOnly) { m_readOnly = readOnly; }

    QVariant value() const;
    bool isNull() const { return value().isNull(); }
    // Dates in the short date format, times in the long time format, logical as True/False.
    QString asString() const;
    // As asString, but numbers and dates through the display format.
    QString displayText() const;
    qlonglong asInteger() const;
    double asFloat() const;
    bool asBoolean() const;
    QDate asDate() const;
    QTime asTime() const;

    // Assigning runs, in order: conversion to the field's type, the text cut to the field size, the
    // validate handler, storing, recomputing calculated and lookup fields, the change handler.
    // Throws EngineError (WrongState outside edit/insert, InvalidValue, ReadOnly).
    void setValue(const QVariant &value);
    void setAsString(const QString &text);
    void clear() { setValue(QVariant()); }

    // Converts a value to this field's type (strings parsed in the workstation formats); throws
    // InvalidValue naming the field.
    QVariant convert(const QVariant &value) const;
    QString format(const QVariant &value, bool useDisplayFormat) const;

    // Handlers. onValidate may change the proposed value or throw to refuse it.
    std::function<void(Field &)> onChange;
    std::function<void(Field &, QVariant &value)> onValidate;

    // Lookup definition: this dataset's key fields, the lookup table (of the same alias unless named), its
    // key fields and the result field; cached lookups read the lookup table once and keep a map until the
    // table changes.
    struct LookupDef
    {
        QStringList keyFields;
        QString table;
        QStringList tableKeyFields;
        QString resultField;
        bool cached = false;
        QString alias; // the lookup table's alias when it is not the dataset's own
    };
    const LookupDef &lookup() const { return m_lookup; }
    void setLookup(const LookupDef &def) { m_lookup = def; }

private:
    DataSet &m_dataSet;
    int m_index;
    Kind m_kind;
    QString m_name;
    FieldType m_type;
    int m_size;
    QString m_label;
    QString m_displayFormat;
    bool m_visible = true;
    bool m_readOnly = false;
    LookupDef m_lookup;
};

} // namespace lerk
