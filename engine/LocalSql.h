#pragma once

#include "ColumnInfo.h"

#include <QStringList>

namespace lerk {

class Session;
class Database;

// How a Query reads the result of a SELECT. A SELECT of stored fields from one table without grouping
// is "keyed": the Query pages it by row id like a Table (it scales to a million rows). Anything else
// (GROUP BY, aggregates, a file path) is run whole and its rows are kept.
struct SelectPlan
{
    Database *database = nullptr;
    bool keyed = false;

    // keyed: the stored table (real name), its WHERE (empty for none), the ORDER BY terms as
    // (field, descending) in the table's real field names, and the selected stored field names.
    QString table;
    SqlFragment where;
    QList<QPair<QString, bool>> orderBy;
    QStringList fieldNames;

    // not keyed: the whole statement and the columns it returns (ORDER BY included).
    SqlFragment sql;
    QList<ColumnInfo> columns;
};

// Local SQL: statements given as lines (joined with a blank), over the tables of an alias. A table is
// named bare within the default alias (FROM ZAVADY), by alias path (":DevaReru:Zavady.DB", the
// extension dropped) or as a quoted file path ("dir\OS.DBF", read through the session's file readers).
// Table and field names compare without case. Values are always bound, never pasted.
class LocalSql
{
public:
    LocalSql(Session &session, const QString &defaultAlias);

    // Runs INSERT, DELETE or UPDATE; returns the number of rows touched. Throws EngineError
    // (SqlSyntax naming the statement, UnknownTable, UnknownField, InvalidValue, ValueTooLong, ...).
    int execute(const QStringList &lines);

    // Plans a SELECT for a Query; throws as execute() does.
    SelectPlan planSelect(const QStringList &lines);

    // True when the lines hold a SELECT.
    static bool isSelect(const QStringList &lines);

private:
    Session &m_session;
    QString m_defaultAlias;
};

} // namespace lerk
