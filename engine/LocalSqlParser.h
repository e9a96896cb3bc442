#pragma once

#include <QList>
#include <QString>
#include <QStringList>
#include <optional>
#include <variant>

// The syntax tree of a local SQL statement. Parsing knows no tables: names are kept as written and
// resolved later against the tables a statement names. WHERE conditions are kept as text, because
// they are in the engine's filter syntax and FilterExpr parses them.
namespace lerk::localsql {

struct TableRef
{
    enum class Kind {
        Bare,      // Zavady, or "Zavady.db": a table of the default alias
        AliasPath, // ":DevaReru:Zavady.DB"
        FilePath,  // "C:\dir\OS.DBF": a file read through the session's file readers
    };
    Kind kind = Kind::Bare;
    QString alias;    // AliasPath
    QString table;    // Bare and AliasPath, without extension
    QString filePath; // FilePath, with / as separator
    QString written;  // as in the statement, for messages
};

struct SelectItem
{
    enum class Kind { Star, Field, Aggregate };
    Kind kind = Kind::Field;
    QString field;    // Field; Aggregate except COUNT(*)
    QString function; // Aggregate, upper case: COUNT, SUM, AVG, MIN, MAX
    QString alias;    // after AS, empty when none
    QString written;  // the item as written, without the alias
};

struct OrderTerm
{
    QString field;
    bool descending = false;
};

struct SelectStatement
{
    bool distinct = false;
    QList<SelectItem> items;
    TableRef from;
    QString where; // filter text, empty for none
    QStringList groupBy;
    QList<OrderTerm> orderBy;

    bool hasAggregates() const;
};

struct Literal
{
    enum class Kind { Text, Number, Logical, Null };
    Kind kind = Kind::Null;
    QString text; // Text unescaped; Number as written, sign included
    bool logical = false;
};

struct InsertStatement
{
    TableRef into;
    QStringList columns;        // empty: every stored field but the auto-increment one
    QList<QList<Literal>> rows; // VALUES
    std::optional<SelectStatement> select;
};

struct DeleteStatement
{
    TableRef from;
    QString where;
};

struct Assignment
{
    QString field;
    Literal value;
};

struct UpdateStatement
{
    TableRef table;
    QList<Assignment> assignments;
    QString where;
};

struct Statement
{
    QString text; // the whole statement, for messages
    std::variant<SelectStatement, InsertStatement, DeleteStatement, UpdateStatement> body;
};

// Lines of a statement as the program keeps them, joined with a single blank.
QString joinLines(const QStringList &lines);

// Throws EngineError(ErrorCode::SqlSyntax) whose Czech message quotes the statement and says what is
// wrong and where.
Statement parseStatement(const QString &text);

// The message every syntax error of a statement carries.
QString syntaxMessage(const QString &statement, const QString &what);

} // namespace lerk::localsql
