#pragma once

#include "FieldType.h"

#include <QList>
#include <QString>
#include <QStringList>

namespace lerk {

// Physical definition of a stored field.
struct FieldDef
{
    QString name;
    FieldType type = FieldType::Text;
    int size = 0; // characters of text(n)
};

struct IndexDef
{
    QString name; // e.g. "KlicX"; stored as <table>_<name>
    QStringList fields;
    bool unique = false;
    bool caseInsensitive = false;
    bool descending = false;
};

// Physical definition of a table: stored fields in record order and named indexes. Every table also
// gets the engine's hidden row id and row version (the row id is the auto-increment field when the
// table has one).
struct TableDef
{
    QString name;
    QList<FieldDef> fields;
    QList<IndexDef> indexes;

    const FieldDef *field(const QString &fieldName) const; // without regard to case
    QString autoIncField() const;                          // empty when none
};

// A master/detail relation kept by the engine: a master whose link fields have detail rows cannot be
// deleted (code 9734), and changing its link fields carries the details along in the same statement.
// The master's link fields need not be unique: the relation acts only when no other master row keeps
// the old values.
struct RelationDef
{
    QString name;
    QString master;
    QStringList masterFields;
    QString detail;
    QStringList detailFields;
};

// Names of the engine's hidden columns.
inline const QString RowIdColumn = QStringLiteral("_RowId");
inline const QString RowVersionColumn = QStringLiteral("_RowVer");

} // namespace lerk
