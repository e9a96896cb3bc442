#include "FilterExpr.h"

#include "EngineError.h"
#include "FilterNode.h"
#include "FilterSql.h"

#include <QList>

namespace lerk {

namespace {

struct Token
{
    enum class Type { Name, Keyword, Text, Number, Operator, LeftParen, RightParen, Comma, End };

    Type type = Type::End;
    QString value; // Name: without brackets; Keyword: upper case; Text: unescaped; Operator: as written
    int start = 0; // index into the filter text
    int length = 0;
};

// Words with a meaning of their own; a field with such a name has to be written in square brackets.
const QStringList &keywords()
{
    static const QStringList words = {
        QStringLiteral("AND"),  QStringLiteral("OR"),    QStringLiteral("NOT"), QStringLiteral("IS"),
        QStringLiteral("NULL"), QStringLiteral("LIKE"),  QStringLiteral("IN"),  QStringLiteral("BETWEEN"),
        QStringLiteral("TRUE"), QStringLiteral("FALSE"),
    };
    return words;
}

bool isNameStart(QChar c)
{
    return c.isLetter() || c == QLatin1Char('_');
}

bool isNamePart(QChar c)
{
    return c.isLetterOrNumber() || c == QLatin1Char('_');
}

bool isDigit(QChar c)
{
    return c >= QLatin1Char('0') && c <= QLatin1Char('9');
}

class Parser
{
public:
    explicit Parser(const QString &text) : m_text(text) {}

    std::unique_ptr<const FilterNode> parse()
    {
        tokenize();
        auto root = parseOr();
        if (current().type != Token::Type::End)
            failTrailing();
        return root;
    }

private:
    [[noreturn]] void fail(const QString &what, int index) const
    {
        throw EngineError(ErrorCode::FilterSyntax, QStringLiteral("Chybný filtr \"%1\": %2 (pozice %3).")
                                                       .arg(m_text, what, QString::number(index + 1)));
    }

    [[noreturn]] void fail(const QString &what, const Token &at) const { fail(what, at.start); }

    QString written(const Token &t) const { return m_text.mid(t.start, t.length); }

    QString quoted(const Token &t) const
    {
        return t.type == Token::Type::End ? QStringLiteral("konec filtru")
                                          : QLatin1Char('"') + written(t) + QLatin1Char('"');
    }

    // --- lexing ---

    void tokenize()
    {
        int i = 0;
        const int n = int(m_text.size());
        while (true) {
            while (i < n && m_text.at(i).isSpace())
                ++i;
            if (i >= n)
                break;
            const QChar c = m_text.at(i);
            Token t;
            t.start = i;
            if (c == QLatin1Char('\'')) {
                i = readText(i, t);
            } else if (c == QLatin1Char('[')) {
                const int close = int(m_text.indexOf(QLatin1Char(']'), i + 1));
                if (close < 0)
                    fail(QStringLiteral("neukončený název pole v hranatých závorkách"), i);
                t.type = Token::Type::Name;
                t.value = m_text.mid(i + 1, close - i - 1).trimmed();
                if (t.value.isEmpty())
                    fail(QStringLiteral("prázdný název pole v hranatých závorkách"), i);
                i = close + 1;
            } else if (isDigit(c) || startsNumber(i)) {
                i = readNumber(i, t);
            } else if (isNameStart(c)) {
                int end = i + 1;
                while (end < n && isNamePart(m_text.at(end)))
                    ++end;
                t.value = m_text.mid(i, end - i);
                const QString upper = t.value.toUpper();
                if (keywords().contains(upper)) {
                    t.type = Token::Type::Keyword;
                    t.value = upper;
                } else {
                    t.type = Token::Type::Name;
                }
                i = end;
            } else if (c == QLatin1Char('<') || c == QLatin1Char('>') || c == QLatin1Char('=')) {
                t.type = Token::Type::Operator;
                int end = i + 1;
                if (c == QLatin1Char('<') && end < n &&
                    (m_text.at(end) == QLatin1Char('=') || m_text.at(end) == QLatin1Char('>')))
                    ++end;
                else if (c == QLatin1Char('>') && end < n && m_text.at(end) == QLatin1Char('='))
                    ++end;
                t.value = m_text.mid(i, end - i);
                i = end;
            } else if (c == QLatin1Char('(')) {
                t.type = Token::Type::LeftParen;
                ++i;
            } else if (c == QLatin1Char(')')) {
                t.type = Token::Type::RightParen;
                ++i;
            } else if (c == QLatin1Char(',')) {
                t.type = Token::Type::Comma;
                ++i;
            } else if (c == QLatin1Char('"')) {
                fail(QStringLiteral("nepovolený znak \"\"\"; text se píše do apostrofů ('…')"), i);
            } else {
                fail(QStringLiteral("nepovolený znak \"%1\"").arg(c), i);
            }
            t.length = i - t.start;
            m_tokens.append(t);
        }
        Token end;
        end.start = n;
        m_tokens.append(end);
    }

    int readText(int i, Token &t) const
    {
        const int n = int(m_text.size());
        t.type = Token::Type::Text;
        for (int j = i + 1; j < n; ++j) {
            if (m_text.at(j) != QLatin1Char('\'')) {
                t.value += m_text.at(j);
            } else if (j + 1 < n && m_text.at(j + 1) == QLatin1Char('\'')) {
                t.value += QLatin1Char('\'');
                ++j;
            } else {
                return j + 1;
            }
        }
        fail(QStringLiteral("neukončený text v apostrofech"), i);
    }

    bool startsNumber(int i) const
    {
        // A minus belongs to the number only when it is glued to it: "-5", "-.5".
        const auto digitAt = [this](int k) { return k < m_text.size() && isDigit(m_text.at(k)); };
        const QChar c = m_text.at(i);
        if (c == QLatin1Char('.'))
            return digitAt(i + 1);
        if (c == QLatin1Char('-'))
            return digitAt(i + 1) ||
                   (i + 1 < m_text.size() && m_text.at(i + 1) == QLatin1Char('.') && digitAt(i + 2));
        return false;
    }

    int readNumber(int i, Token &t) const
    {
        const int n = int(m_text.size());
        int end = i;
        if (m_text.at(end) == QLatin1Char('-'))
            ++end;
        while (end < n && isDigit(m_text.at(end)))
            ++end;
        if (end < n && m_text.at(end) == QLatin1Char('.')) {
            ++end;
            while (end < n && isDigit(m_text.at(end)))
                ++end;
        }
        // "12ab" or "1.2.3" is neither a number nor a name; saying so beats a puzzling later error.
        if (end < n && (isNamePart(m_text.at(end)) || m_text.at(end) == QLatin1Char('.'))) {
            int bad = end;
            while (bad < n && (isNamePart(m_text.at(bad)) || m_text.at(bad) == QLatin1Char('.')))
                ++bad;
            fail(QStringLiteral("chybné číslo \"%1\"").arg(m_text.mid(i, bad - i)), i);
        }
        t.type = Token::Type::Number;
        t.value = m_text.mid(i, end - i);
        return end;
    }

    // --- parsing ---

    const Token &current() const { return m_tokens.at(m_pos); }
    const Token &previous() const { return m_tokens.at(m_pos > 0 ? m_pos - 1 : 0); }
    const Token &advance() { return m_tokens.at(m_pos++); }

    bool isKeyword(const Token &t, const char *word) const
    {
        return t.type == Token::Type::Keyword && t.value == QLatin1String(word);
    }

    bool accept(const char *word)
    {
        if (!isKeyword(current(), word))
            return false;
        ++m_pos;
        return true;
    }

    [[noreturn]] void failTrailing() const
    {
        const Token &t = current();
        if (t.type == Token::Type::RightParen)
            fail(QStringLiteral("přebývá pravá závorka \")\""), t);
        if (t.type == Token::Type::Name)
            fail(QStringLiteral("neznámé slovo %1, očekává se AND nebo OR").arg(quoted(t)), t);
        fail(QStringLiteral("nečekané %1 za koncem podmínky, očekává se AND nebo OR").arg(quoted(t)), t);
    }

    std::unique_ptr<const FilterNode> parseOr() { return parseChain(FilterNode::Kind::Or, "OR"); }

    std::unique_ptr<const FilterNode> parseAnd() { return parseChain(FilterNode::Kind::And, "AND"); }

    // a OR b OR c as one node with three children, so the SQL stays flat.
    std::unique_ptr<const FilterNode> parseChain(FilterNode::Kind kind, const char *word)
    {
        auto first = kind == FilterNode::Kind::Or ? parseAnd() : parseNot();
        if (!isKeyword(current(), word))
            return first;
        auto node = std::make_unique<FilterNode>();
        node->kind = kind;
        node->children.push_back(std::move(first));
        while (accept(word))
            node->children.push_back(kind == FilterNode::Kind::Or ? parseAnd() : parseNot());
        return node;
    }

    std::unique_ptr<const FilterNode> parseNot()
    {
        if (!accept("NOT"))
            return parsePrimary();
        auto node = std::make_unique<FilterNode>();
        node->kind = FilterNode::Kind::Not;
        node->children.push_back(parseNot());
        return node;
    }

    std::unique_ptr<const FilterNode> parsePrimary()
    {
        const Token &t = current();
        switch (t.type) {
        case Token::Type::LeftParen: {
            const Token &open = advance();
            if (current().type == Token::Type::RightParen)
                fail(QStringLiteral("prázdné závorky"), open);
            auto inner = parseOr();
            if (current().type == Token::Type::End)
                fail(QStringLiteral("chybí pravá závorka k levé závorce"), open);
            if (current().type != Token::Type::RightParen)
                fail(QStringLiteral("očekává se AND, OR nebo \")\", nalezeno %1").arg(quoted(current())),
                     current());
            advance();
            return inner;
        }
        case Token::Type::Name:
            return parseCondition();
        case Token::Type::End:
            if (m_pos == 0)
                fail(QStringLiteral("chybí podmínka"), t);
            fail(QStringLiteral("chybí podmínka za %1").arg(quoted(previous())), t);
        case Token::Type::RightParen:
            fail(QStringLiteral("chybí podmínka před \")\""), t);
        case Token::Type::Operator:
            fail(QStringLiteral("chybí název pole před %1").arg(quoted(t)), t);
        case Token::Type::Keyword:
            if (t.value == QLatin1String("AND") || t.value == QLatin1String("OR"))
                fail(QStringLiteral("chybí podmínka před %1").arg(quoted(t)), t);
            fail(QStringLiteral("%1 nemůže být název pole; název pole shodný s klíčovým slovem se píše do "
                                "hranatých závorek")
                     .arg(quoted(t)),
                 t);
        default:
            fail(QStringLiteral("očekává se název pole, nalezeno %1").arg(quoted(t)), t);
        }
    }

    std::unique_ptr<const FilterNode> parseCondition()
    {
        const Token &fieldToken = advance();
        auto node = std::make_unique<FilterNode>();
        node->field = fieldToken.value;
        node->fieldPosition = fieldToken.start + 1;
        const Token &t = current();

        if (t.type == Token::Type::Operator) {
            advance();
            node->op = operatorOf(t.value);
            if (isKeyword(current(), "NULL")) {
                // field = NULL reads naturally as "is empty"; ordering against NULL means nothing.
                if (node->op != FilterOp::Equal && node->op != FilterOp::NotEqual)
                    fail(QStringLiteral("NULL lze porovnat jen pomocí = nebo <>"), current());
                advance();
                node->kind = FilterNode::Kind::IsNull;
                node->negated = node->op == FilterOp::NotEqual;
                return node;
            }
            node->kind = FilterNode::Kind::Compare;
            node->values.push_back(parseValue());
            return node;
        }
        if (accept("IS")) {
            node->kind = FilterNode::Kind::IsNull;
            node->negated = accept("NOT");
            if (!accept("NULL"))
                fail(QStringLiteral("za %1 má být NULL").arg(quoted(previous())), current());
            return node;
        }
        if (accept("NOT")) {
            node->negated = true;
            if (!isKeyword(current(), "LIKE") && !isKeyword(current(), "BETWEEN") &&
                !isKeyword(current(), "IN"))
                fail(QStringLiteral("za \"NOT\" má být LIKE, BETWEEN nebo IN"), current());
        }
        if (accept("LIKE")) {
            node->kind = FilterNode::Kind::Like;
            if (current().type != Token::Type::Text)
                fail(QStringLiteral("za %1 má být vzor v apostrofech").arg(quoted(previous())), current());
            node->values.push_back(parseValue());
            return node;
        }
        if (accept("BETWEEN")) {
            node->kind = FilterNode::Kind::Between;
            node->values.push_back(parseValue());
            if (!accept("AND"))
                fail(QStringLiteral("v podmínce BETWEEN chybí AND"), current());
            node->values.push_back(parseValue());
            return node;
        }
        if (accept("IN")) {
            node->kind = FilterNode::Kind::In;
            if (current().type != Token::Type::LeftParen)
                fail(QStringLiteral("za %1 má být seznam hodnot v závorkách").arg(quoted(previous())),
                     current());
            const Token &open = advance();
            while (true) {
                node->values.push_back(parseValue());
                if (current().type == Token::Type::RightParen)
                    break;
                if (current().type == Token::Type::End)
                    fail(QStringLiteral("neukončený seznam hodnot za IN"), open);
                if (current().type != Token::Type::Comma)
                    fail(QStringLiteral("v seznamu hodnot chybí \",\" nebo \")\""), current());
                advance();
            }
            advance();
            return node;
        }

        const QString field = QLatin1Char('"') + written(fieldToken) + QLatin1Char('"');
        if (t.type == Token::Type::Name)
            fail(QStringLiteral("neznámý operátor %1 za polem %2").arg(quoted(t), field), t);
        fail(QStringLiteral("za polem %1 chybí operátor (=, <>, <, <=, >, >=, IS, LIKE, BETWEEN, IN)")
                 .arg(field),
             t);
    }

    FilterValue parseValue()
    {
        const Token &t = current();
        FilterValue v;
        v.position = t.start + 1;
        if (t.type == Token::Type::Text) {
            v.kind = FilterValue::Kind::Text;
            v.text = t.value;
        } else if (t.type == Token::Type::Number) {
            v.kind = FilterValue::Kind::Number;
            v.text = t.value;
        } else if (isKeyword(t, "TRUE") || isKeyword(t, "FALSE")) {
            v.kind = FilterValue::Kind::Logical;
            v.logical = t.value == QLatin1String("TRUE");
            v.text = written(t);
        } else if (t.type == Token::Type::End) {
            fail(QStringLiteral("chybí hodnota za %1").arg(quoted(previous())), t);
        } else if (t.type == Token::Type::Name) {
            fail(QStringLiteral("neplatná hodnota %1 za %2; text se píše do apostrofů")
                     .arg(quoted(t), quoted(previous())),
                 t);
        } else {
            fail(QStringLiteral("chybí hodnota za %1").arg(quoted(previous())), t);
        }
        advance();
        return v;
    }

    static FilterOp operatorOf(const QString &op)
    {
        if (op == QLatin1String("<>"))
            return FilterOp::NotEqual;
        if (op == QLatin1String("<"))
            return FilterOp::Less;
        if (op == QLatin1String("<="))
            return FilterOp::LessEqual;
        if (op == QLatin1String(">"))
            return FilterOp::Greater;
        if (op == QLatin1String(">="))
            return FilterOp::GreaterEqual;
        return FilterOp::Equal;
    }

    const QString &m_text;
    QList<Token> m_tokens;
    qsizetype m_pos = 0;
};

void collectFieldNames(const FilterNode &node, QStringList &names)
{
    if (node.isCondition() && !names.contains(node.field, Qt::CaseInsensitive))
        names.append(node.field);
    for (const auto &child : node.children)
        collectFieldNames(*child, names);
}

} // namespace

FilterExpr::FilterExpr() = default;
FilterExpr::~FilterExpr() = default;
FilterExpr::FilterExpr(const FilterExpr &) = default;
FilterExpr &FilterExpr::operator=(const FilterExpr &) = default;

FilterExpr FilterExpr::parse(const QString &text)
{
    FilterExpr expr;
    expr.m_text = text;
    if (!text.trimmed().isEmpty())
        expr.m_root = Parser(text).parse();
    return expr;
}

QStringList FilterExpr::fieldNames() const
{
    QStringList names;
    if (m_root)
        collectFieldNames(*m_root, names);
    return names;
}

SqlFragment FilterExpr::toSql(const ColumnResolver &columns, const Formats &formats) const
{
    if (!m_root)
        return {};
    return filterToSql(*m_root, m_text, columns, formats);
}

} // namespace lerk
