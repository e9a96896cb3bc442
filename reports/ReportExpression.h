#pragma once

#include <QList>
#include <QString>
#include <QVariant>
#include <exception>
#include <memory>
#include <vector>

namespace lerk {

// A malformed expression; the message is Czech and names what was expected.
class ExprError : public std::exception
{
public:
    explicit ExprError(QString message) : m_message(std::move(message)), m_utf8(m_message.toUtf8()) {}
    const QString &message() const { return m_message; }
    const char *what() const noexcept override { return m_utf8.constData(); }

private:
    QString m_message;
    QByteArray m_utf8;
};

// One node of an expression of a template:
//   literals 12, 1.5, 'text', TRUE, FALSE; names Dataset.FIELD and the built-in PAGE, PAGES, DATE, TIME,
//   LINE; calls COUNT(), COUNT(Dataset), SUM/AVG/MIN/MAX(expr), IF(c, a, b), YEAR/MONTH/DAY(d),
//   DATE(y, m, d), TRIM(s); operators + - * /, = <> < <= > >=, AND, OR, NOT, parentheses.
// Values are QVariants: null, bool, qlonglong, double, QString, QDate, QTime.
struct ExprNode
{
    enum class Kind { Literal, Name, Call, Negate, Not, And, Or, Compare, Arith };

    Kind kind = Kind::Literal;
    QVariant value; // Literal
    QString name;   // Name: dataset or built-in; Call: function (upper case)
    QString field;  // Name: field, empty for a built-in or a bare dataset
    QString op;     // Compare, Arith
    std::vector<std::shared_ptr<ExprNode>> args;

    // Filled in by whoever binds the expression to its data.
    int slot = -1;
    int index = -1;

    bool isName(const char *builtin) const;
    // Calls every node of the tree, parents first.
    template <typename F> void walk(F &&f)
    {
        f(*this);
        for (auto &a : args)
            a->walk(f);
    }
};
using ExprPtr = std::shared_ptr<ExprNode>;

// What an expression reads: the binder's answers for names and aggregates.
class ExprEnvironment
{
public:
    virtual ~ExprEnvironment() = default;
    virtual QVariant nameValue(const ExprNode &node) = 0;
    virtual QVariant aggregateValue(const ExprNode &node) = 0;
};

// Parses one expression (the text between brackets); throws ExprError.
ExprPtr parseExpression(const QString &text);
QVariant evaluate(const ExprNode &node, ExprEnvironment &env);
bool isTrue(const QVariant &value);
bool isAggregate(const QString &function);
// Text of a value for comparing keys and groups: numbers with the same value give the same text.
QString keyText(const QVariant &value);

// A text with [expressions]: literal parts and expressions, each with an optional display format written
// after a bar, as in [ZavadyQ.DATUM|dd.MM.yyyy]. "[[" stands for a literal bracket.
struct TextPart
{
    QString literal;
    ExprPtr expr;
    QString format;
    QString source; // the expression as written, for messages
};
QList<TextPart> parseText(const QString &text); // throws ExprError

} // namespace lerk
