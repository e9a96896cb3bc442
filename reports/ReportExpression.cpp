#include "ReportExpression.h"

#include <QDate>
#include <QTime>
#include <cmath>
#include <optional>

namespace lerk {

bool ExprNode::isName(const char *builtin) const
{
    return kind == Kind::Name && field.isEmpty() &&
           name.compare(QLatin1String(builtin), Qt::CaseInsensitive) == 0;
}

namespace {

struct Token
{
    enum Type { End, Number, String, Ident, Symbol };
    Type type = End;
    QString text;
    QVariant value;
    int pos = 0;
};

class Lexer
{
public:
    explicit Lexer(const QString &text) : m_text(text) {}

    Token next()
    {
        while (m_pos < m_text.size() && m_text[m_pos].isSpace())
            ++m_pos;
        Token t;
        t.pos = m_pos;
        if (m_pos >= m_text.size())
            return t;
        const QChar c = m_text[m_pos];
        if (c.isDigit()) {
            const int start = m_pos;
            while (m_pos < m_text.size() && m_text[m_pos].isDigit())
                ++m_pos;
            bool isReal = false;
            if (m_pos + 1 < m_text.size() && m_text[m_pos] == QLatin1Char('.') &&
                m_text[m_pos + 1].isDigit()) {
                isReal = true;
                ++m_pos;
                while (m_pos < m_text.size() && m_text[m_pos].isDigit())
                    ++m_pos;
            }
            t.type = Token::Number;
            t.text = m_text.mid(start, m_pos - start);
            t.value = isReal ? QVariant(t.text.toDouble()) : QVariant(t.text.toLongLong());
            return t;
        }
        if (c == QLatin1Char('\'') || c == QLatin1Char('"')) {
            const QChar quote = c;
            ++m_pos;
            QString s;
            for (;;) {
                if (m_pos >= m_text.size())
                    throw ExprError(QStringLiteral("neukončený řetězec"));
                if (m_text[m_pos] == quote) {
                    if (m_pos + 1 < m_text.size() && m_text[m_pos + 1] == quote) {
                        s += quote;
                        m_pos += 2;
                        continue;
                    }
                    ++m_pos;
                    break;
                }
                s += m_text[m_pos++];
            }
            t.type = Token::String;
            t.text = s;
            t.value = s;
            return t;
        }
        if (c.isLetter() || c == QLatin1Char('_')) {
            const int start = m_pos;
            while (m_pos < m_text.size() &&
                   (m_text[m_pos].isLetterOrNumber() || m_text[m_pos] == QLatin1Char('_')))
                ++m_pos;
            t.type = Token::Ident;
            t.text = m_text.mid(start, m_pos - start);
            return t;
        }
        static const QString twoChar[] = {QStringLiteral("<>"), QStringLiteral("<="), QStringLiteral(">=")};
        for (const QString &s : twoChar) {
            if (QStringView(m_text).mid(m_pos, 2) == s) {
                m_pos += 2;
                t.type = Token::Symbol;
                t.text = s;
                return t;
            }
        }
        if (QStringLiteral("=<>+-*/().,").contains(c)) {
            ++m_pos;
            t.type = Token::Symbol;
            t.text = c;
            return t;
        }
        throw ExprError(QStringLiteral("nečekaný znak \"%1\"").arg(c));
    }

private:
    const QString &m_text;
    int m_pos = 0;
};

class ExprParser
{
public:
    explicit ExprParser(const QString &text) : m_lexer(text) { advance(); }

    ExprPtr parse()
    {
        if (m_tok.type == Token::End)
            throw ExprError(QStringLiteral("prázdný výraz"));
        ExprPtr e = parseOr();
        if (m_tok.type != Token::End)
            throw ExprError(QStringLiteral("nečekané \"%1\"").arg(m_tok.text));
        return e;
    }

private:
    void advance() { m_tok = m_lexer.next(); }
    bool isSymbol(const char *s) const
    {
        return m_tok.type == Token::Symbol && m_tok.text == QLatin1String(s);
    }
    bool isKeyword(const char *k) const
    {
        return m_tok.type == Token::Ident && m_tok.text.compare(QLatin1String(k), Qt::CaseInsensitive) == 0;
    }
    void expect(const char *s)
    {
        if (!isSymbol(s))
            throw ExprError(
                m_tok.type == Token::End
                    ? QStringLiteral("chybí \"%1\"").arg(QLatin1String(s))
                    : QStringLiteral("čekal jsem \"%1\", ne \"%2\"").arg(QLatin1String(s), m_tok.text));
        advance();
    }

    static ExprPtr node(ExprNode::Kind kind, std::vector<ExprPtr> args = {}, const QString &op = {})
    {
        auto n = std::make_shared<ExprNode>();
        n->kind = kind;
        n->args = std::move(args);
        n->op = op;
        return n;
    }

    ExprPtr parseOr()
    {
        ExprPtr left = parseAnd();
        while (isKeyword("OR")) {
            advance();
            left = node(ExprNode::Kind::Or, {left, parseAnd()});
        }
        return left;
    }

    ExprPtr parseAnd()
    {
        ExprPtr left = parseNot();
        while (isKeyword("AND")) {
            advance();
            left = node(ExprNode::Kind::And, {left, parseNot()});
        }
        return left;
    }

    ExprPtr parseNot()
    {
        if (isKeyword("NOT")) {
            advance();
            return node(ExprNode::Kind::Not, {parseNot()});
        }
        return parseCompare();
    }

    ExprPtr parseCompare()
    {
        ExprPtr left = parseAdd();
        for (const char *op : {"=", "<>", "<=", ">=", "<", ">"}) {
            if (isSymbol(op)) {
                advance();
                return node(ExprNode::Kind::Compare, {left, parseAdd()}, QLatin1String(op));
            }
        }
        return left;
    }

    ExprPtr parseAdd()
    {
        ExprPtr left = parseMul();
        while (isSymbol("+") || isSymbol("-")) {
            const QString op = m_tok.text;
            advance();
            left = node(ExprNode::Kind::Arith, {left, parseMul()}, op);
        }
        return left;
    }

    ExprPtr parseMul()
    {
        ExprPtr left = parseUnary();
        while (isSymbol("*") || isSymbol("/")) {
            const QString op = m_tok.text;
            advance();
            left = node(ExprNode::Kind::Arith, {left, parseUnary()}, op);
        }
        return left;
    }

    ExprPtr parseUnary()
    {
        if (isSymbol("-")) {
            advance();
            return node(ExprNode::Kind::Negate, {parseUnary()});
        }
        return parsePrimary();
    }

    ExprPtr parsePrimary()
    {
        if (m_tok.type == Token::Number || m_tok.type == Token::String) {
            ExprPtr n = node(ExprNode::Kind::Literal);
            n->value = m_tok.value;
            advance();
            return n;
        }
        if (isSymbol("(")) {
            advance();
            ExprPtr e = parseOr();
            expect(")");
            return e;
        }
        if (m_tok.type != Token::Ident)
            throw ExprError(m_tok.type == Token::End ? QStringLiteral("výraz nečekaně končí")
                                                     : QStringLiteral("nečekané \"%1\"").arg(m_tok.text));
        const QString ident = m_tok.text;
        advance();
        if (ident.compare(QLatin1String("TRUE"), Qt::CaseInsensitive) == 0 ||
            ident.compare(QLatin1String("FALSE"), Qt::CaseInsensitive) == 0) {
            ExprPtr n = node(ExprNode::Kind::Literal);
            n->value = ident.compare(QLatin1String("TRUE"), Qt::CaseInsensitive) == 0;
            return n;
        }
        if (isSymbol("(")) {
            advance();
            ExprPtr call = node(ExprNode::Kind::Call);
            call->name = ident.toUpper();
            if (!isSymbol(")")) {
                call->args.push_back(parseOr());
                while (isSymbol(",")) {
                    advance();
                    call->args.push_back(parseOr());
                }
            }
            expect(")");
            return call;
        }
        ExprPtr n = node(ExprNode::Kind::Name);
        n->name = ident;
        if (isSymbol(".")) {
            advance();
            if (m_tok.type != Token::Ident && m_tok.type != Token::String)
                throw ExprError(QStringLiteral("za tečkou čekám jméno pole"));
            n->field = m_tok.text;
            advance();
        }
        return n;
    }

    Lexer m_lexer;
    Token m_tok;
};

bool isNumber(const QVariant &v)
{
    switch (v.typeId()) {
    case QMetaType::Int:
    case QMetaType::LongLong:
    case QMetaType::UInt:
    case QMetaType::ULongLong:
    case QMetaType::Double:
        return true;
    default:
        return false;
    }
}

bool isInteger(const QVariant &v)
{
    return isNumber(v) && v.typeId() != QMetaType::Double;
}

QString plainText(const QVariant &v)
{
    if (v.isNull())
        return {};
    if (v.typeId() == QMetaType::Double) {
        const double d = v.toDouble();
        if (std::isfinite(d) && d == std::trunc(d) && std::fabs(d) < 1e15)
            return QString::number(qlonglong(d));
        return QString::number(d, 'g', 15);
    }
    if (v.typeId() == QMetaType::QDate)
        return v.toDate().toString(Qt::ISODate);
    if (v.typeId() == QMetaType::Bool)
        return v.toBool() ? QStringLiteral("1") : QStringLiteral("0");
    return v.toString();
}

// <0, 0, >0, or nullopt when the two cannot be compared (an empty number or date).
std::optional<int> compareValues(const QVariant &a, const QVariant &b)
{
    auto sign = [](auto x, auto y) { return x < y ? -1 : (y < x ? 1 : 0); };
    const bool aText = a.typeId() == QMetaType::QString, bText = b.typeId() == QMetaType::QString;
    if (a.isNull() || b.isNull()) {
        // An empty text field reads as an empty text, so that [X.NAME] <> '' works on empty fields.
        if ((a.isNull() && (bText || b.isNull())) || (b.isNull() && aText))
            return a.toString().compare(b.toString());
        return std::nullopt;
    }
    if (isNumber(a) && isNumber(b))
        return sign(a.toDouble(), b.toDouble());
    if (a.typeId() == QMetaType::QDate && b.typeId() == QMetaType::QDate)
        return sign(a.toDate(), b.toDate());
    if (a.typeId() == QMetaType::QTime && b.typeId() == QMetaType::QTime)
        return sign(a.toTime(), b.toTime());
    if (a.typeId() == QMetaType::Bool && b.typeId() == QMetaType::Bool)
        return sign(int(a.toBool()), int(b.toBool()));
    return plainText(a).compare(plainText(b));
}

QVariant arith(const QString &op, const QVariant &a, const QVariant &b)
{
    if (a.isNull() || b.isNull()) {
        if (op == QLatin1String("+") &&
            (a.typeId() == QMetaType::QString || b.typeId() == QMetaType::QString))
            return a.toString() + b.toString();
        return {};
    }
    const QChar o = op.at(0);
    if (a.typeId() == QMetaType::QDate && isNumber(b) && (o == QLatin1Char('+') || o == QLatin1Char('-')))
        return a.toDate().addDays((o == QLatin1Char('+') ? 1 : -1) * qlonglong(std::llround(b.toDouble())));
    if (a.typeId() == QMetaType::QDate && b.typeId() == QMetaType::QDate && o == QLatin1Char('-'))
        return qlonglong(b.toDate().daysTo(a.toDate()));
    if (isNumber(a) && isNumber(b)) {
        if (isInteger(a) && isInteger(b) && o != QLatin1Char('/')) {
            const qlonglong x = a.toLongLong(), y = b.toLongLong();
            return o == QLatin1Char('+') ? x + y : o == QLatin1Char('-') ? x - y : x * y;
        }
        const double x = a.toDouble(), y = b.toDouble();
        switch (o.unicode()) {
        case '+':
            return x + y;
        case '-':
            return x - y;
        case '*':
            return x * y;
        default:
            return y == 0 ? QVariant() : QVariant(x / y);
        }
    }
    if (o == QLatin1Char('+'))
        return plainText(a) + plainText(b);
    return {};
}

void needArgs(const ExprNode &n, int count)
{
    if (int(n.args.size()) != count)
        throw ExprError(QStringLiteral("funkce %1 má %2 argumenty").arg(n.name).arg(count));
}

QVariant call(const ExprNode &n, ExprEnvironment &env)
{
    if (isAggregate(n.name))
        return env.aggregateValue(n);
    if (n.name == QLatin1String("IF")) {
        needArgs(n, 3);
        return isTrue(evaluate(*n.args[0], env)) ? evaluate(*n.args[1], env) : evaluate(*n.args[2], env);
    }
    if (n.name == QLatin1String("YEAR") || n.name == QLatin1String("MONTH") ||
        n.name == QLatin1String("DAY")) {
        needArgs(n, 1);
        const QDate d = evaluate(*n.args[0], env).toDate();
        if (!d.isValid())
            return {};
        return qlonglong(n.name == QLatin1String("YEAR")    ? d.year()
                         : n.name == QLatin1String("MONTH") ? d.month()
                                                            : d.day());
    }
    if (n.name == QLatin1String("DATE")) {
        if (n.args.empty())
            return env.nameValue(n);
        needArgs(n, 3);
        const QDate d(int(evaluate(*n.args[0], env).toLongLong()),
                      int(evaluate(*n.args[1], env).toLongLong()),
                      int(evaluate(*n.args[2], env).toLongLong()));
        return d.isValid() ? QVariant(d) : QVariant();
    }
    if (n.name == QLatin1String("TRIM")) {
        needArgs(n, 1);
        return plainText(evaluate(*n.args[0], env)).trimmed();
    }
    throw ExprError(QStringLiteral("neznámá funkce %1").arg(n.name));
}

} // namespace

bool isAggregate(const QString &function)
{
    return function == QLatin1String("COUNT") || function == QLatin1String("SUM") ||
           function == QLatin1String("AVG") || function == QLatin1String("MIN") ||
           function == QLatin1String("MAX");
}

QString keyText(const QVariant &value)
{
    return plainText(value);
}

bool isTrue(const QVariant &v)
{
    if (v.isNull())
        return false;
    if (v.typeId() == QMetaType::Bool)
        return v.toBool();
    if (isNumber(v))
        return v.toDouble() != 0;
    if (v.typeId() == QMetaType::QString)
        return !v.toString().isEmpty();
    return true;
}

ExprPtr parseExpression(const QString &text)
{
    return ExprParser(text).parse();
}

QVariant evaluate(const ExprNode &n, ExprEnvironment &env)
{
    switch (n.kind) {
    case ExprNode::Kind::Literal:
        return n.value;
    case ExprNode::Kind::Name:
        return env.nameValue(n);
    case ExprNode::Kind::Call:
        return call(n, env);
    case ExprNode::Kind::Negate: {
        const QVariant v = evaluate(*n.args[0], env);
        if (v.isNull())
            return {};
        if (isInteger(v))
            return -v.toLongLong();
        return -v.toDouble();
    }
    case ExprNode::Kind::Not:
        return !isTrue(evaluate(*n.args[0], env));
    case ExprNode::Kind::And:
        return isTrue(evaluate(*n.args[0], env)) && isTrue(evaluate(*n.args[1], env));
    case ExprNode::Kind::Or:
        return isTrue(evaluate(*n.args[0], env)) || isTrue(evaluate(*n.args[1], env));
    case ExprNode::Kind::Compare: {
        const auto c = compareValues(evaluate(*n.args[0], env), evaluate(*n.args[1], env));
        if (!c)
            return false;
        const QString &op = n.op;
        if (op == QLatin1String("="))
            return *c == 0;
        if (op == QLatin1String("<>"))
            return *c != 0;
        if (op == QLatin1String("<"))
            return *c < 0;
        if (op == QLatin1String("<="))
            return *c <= 0;
        if (op == QLatin1String(">"))
            return *c > 0;
        return *c >= 0;
    }
    case ExprNode::Kind::Arith:
        return arith(n.op, evaluate(*n.args[0], env), evaluate(*n.args[1], env));
    }
    return {};
}

QList<TextPart> parseText(const QString &text)
{
    QList<TextPart> parts;
    QString literal;
    int i = 0;
    while (i < text.size()) {
        const QChar c = text[i];
        if (c == QLatin1Char('[') && i + 1 < text.size() && text[i + 1] == QLatin1Char('[')) {
            literal += QLatin1Char('[');
            i += 2;
            continue;
        }
        if (c != QLatin1Char('[')) {
            literal += c;
            ++i;
            continue;
        }
        // Find the closing bracket outside quotes.
        int j = i + 1;
        QChar quote;
        int bar = -1;
        for (; j < text.size(); ++j) {
            const QChar d = text[j];
            if (!quote.isNull()) {
                if (d == quote)
                    quote = QChar();
            } else if (d == QLatin1Char('\'') || d == QLatin1Char('"')) {
                quote = d;
            } else if (d == QLatin1Char('|') && bar < 0) {
                bar = j;
            } else if (d == QLatin1Char(']')) {
                break;
            }
        }
        if (j >= text.size())
            throw ExprError(QStringLiteral("chybí \"]\" za \"%1\"").arg(text.mid(i, 40)));
        if (!literal.isEmpty()) {
            parts.append(TextPart{literal, nullptr, {}, {}});
            literal.clear();
        }
        const QString inner = text.mid(i + 1, (bar < 0 ? j : bar) - i - 1);
        TextPart p;
        p.source = inner.trimmed();
        p.format = bar < 0 ? QString() : text.mid(bar + 1, j - bar - 1);
        try {
            p.expr = parseExpression(inner);
        } catch (const ExprError &e) {
            throw ExprError(QStringLiteral("výraz [%1]: %2").arg(p.source, e.message()));
        }
        parts.append(p);
        i = j + 1;
    }
    if (!literal.isEmpty())
        parts.append(TextPart{literal, nullptr, {}, {}});
    return parts;
}

} // namespace lerk
