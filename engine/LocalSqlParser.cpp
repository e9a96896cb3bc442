#include "LocalSqlParser.h"

#include "EngineError.h"

namespace lerk::localsql {

namespace {

struct Token
{
    enum class Type {
        Word,   // a name or keyword
        Name,   // [field name]
        Quoted, // "table path" or "field name"
        Text,   // 'text'
        Number, // digits with an optional fraction; a sign is a Symbol of its own
        Symbol, // ( ) , * ; = < > <= >= <> and any other single character
        End,
    };
    Type type = Type::End;
    QString value; // Word as written; Name/Quoted/Text unescaped; Symbol as written
    int start = 0; // index into the statement
    int end = 0;   // one past the last character
};

// Words that end a list or start a clause; a field with such a name is written in [brackets].
const QStringList &reservedWords()
{
    static const QStringList words = {
        QStringLiteral("SELECT"), QStringLiteral("FROM"),   QStringLiteral("WHERE"),
        QStringLiteral("GROUP"),  QStringLiteral("ORDER"),  QStringLiteral("BY"),
        QStringLiteral("AS"),     QStringLiteral("INSERT"), QStringLiteral("INTO"),
        QStringLiteral("VALUES"), QStringLiteral("DELETE"), QStringLiteral("UPDATE"),
        QStringLiteral("SET"),    QStringLiteral("HAVING"), QStringLiteral("DISTINCT"),
        QStringLiteral("ASC"),    QStringLiteral("DESC"),   QStringLiteral("NULL"),
        QStringLiteral("TRUE"),   QStringLiteral("FALSE"),  QStringLiteral("AND"),
        QStringLiteral("OR"),     QStringLiteral("NOT"),    QStringLiteral("UNION"),
        QStringLiteral("JOIN"),
    };
    return words;
}

const QStringList &aggregateFunctions()
{
    static const QStringList names = {QStringLiteral("COUNT"), QStringLiteral("SUM"), QStringLiteral("AVG"),
                                      QStringLiteral("MIN"), QStringLiteral("MAX")};
    return names;
}

bool isDigit(QChar c)
{
    return c >= QLatin1Char('0') && c <= QLatin1Char('9');
}

class Parser
{
public:
    explicit Parser(const QString &text) : m_text(text) {}

    Statement parse()
    {
        tokenize();
        Statement st;
        st.text = m_text;
        const Token &first = current();
        if (first.type == Token::Type::End)
            fail(QStringLiteral("prázdný příkaz"), first);
        if (isWord(first, "SELECT"))
            st.body = parseSelect();
        else if (isWord(first, "INSERT"))
            st.body = parseInsert();
        else if (isWord(first, "DELETE"))
            st.body = parseDelete();
        else if (isWord(first, "UPDATE"))
            st.body = parseUpdate();
        else
            fail(QStringLiteral("neznámý příkaz %1; lze použít SELECT, INSERT, DELETE nebo UPDATE")
                     .arg(quoted(first)),
                 first);
        // One statement at a time: whatever follows a semicolon would be a second one.
        if (isSymbol(current(), ";"))
            advance();
        if (current().type != Token::Type::End)
            fail(QStringLiteral("přebývá %1 za koncem příkazu; najednou lze spustit jen jeden příkaz")
                     .arg(quoted(current())),
                 current());
        return st;
    }

private:
    [[noreturn]] void fail(const QString &what, int index) const
    {
        throw EngineError(ErrorCode::SqlSyntax,
                          syntaxMessage(m_text, QStringLiteral("%1 (pozice %2)").arg(what).arg(index + 1)));
    }
    [[noreturn]] void fail(const QString &what, const Token &at) const { fail(what, at.start); }

    QString quoted(const Token &t) const
    {
        if (t.type == Token::Type::End)
            return QStringLiteral("konec příkazu");
        return QLatin1Char('"') + m_text.mid(t.start, t.end - t.start) + QLatin1Char('"');
    }

    // --- lexing ---

    void tokenize()
    {
        const int n = int(m_text.size());
        int i = 0;
        while (true) {
            while (i < n && m_text.at(i).isSpace())
                ++i;
            if (i >= n)
                break;
            Token t;
            t.start = i;
            const QChar c = m_text.at(i);
            if (c == QLatin1Char('\'')) {
                t.type = Token::Type::Text;
                i = readDelimited(i, QLatin1Char('\''), t.value,
                                  QStringLiteral("neukončený text v apostrofech"));
            } else if (c == QLatin1Char('"')) {
                t.type = Token::Type::Quoted;
                i = readDelimited(i, QLatin1Char('"'), t.value,
                                  QStringLiteral("neukončený název v uvozovkách"));
            } else if (c == QLatin1Char('[')) {
                const int close = int(m_text.indexOf(QLatin1Char(']'), i + 1));
                if (close < 0)
                    fail(QStringLiteral("neukončený název pole v hranatých závorkách"), i);
                t.type = Token::Type::Name;
                t.value = m_text.mid(i + 1, close - i - 1).trimmed();
                i = close + 1;
            } else if (c.isLetter() || c == QLatin1Char('_')) {
                t.type = Token::Type::Word;
                while (i < n && (m_text.at(i).isLetterOrNumber() || m_text.at(i) == QLatin1Char('_')))
                    ++i;
                t.value = m_text.mid(t.start, i - t.start);
            } else if (isDigit(c) || (c == QLatin1Char('.') && i + 1 < n && isDigit(m_text.at(i + 1)))) {
                t.type = Token::Type::Number;
                while (i < n && isDigit(m_text.at(i)))
                    ++i;
                if (i < n && m_text.at(i) == QLatin1Char('.')) {
                    ++i;
                    while (i < n && isDigit(m_text.at(i)))
                        ++i;
                }
                t.value = m_text.mid(t.start, i - t.start);
            } else {
                t.type = Token::Type::Symbol;
                ++i;
                if (i < n && ((c == QLatin1Char('<') &&
                               (m_text.at(i) == QLatin1Char('=') || m_text.at(i) == QLatin1Char('>'))) ||
                              (c == QLatin1Char('>') && m_text.at(i) == QLatin1Char('=')) ||
                              (c == QLatin1Char('!') && m_text.at(i) == QLatin1Char('='))))
                    ++i;
                t.value = m_text.mid(t.start, i - t.start);
            }
            t.end = i;
            m_tokens << t;
        }
        Token end;
        end.start = end.end = n;
        m_tokens << end;
    }

    // Reads 'text' or "name" with the delimiter doubled inside; returns the index after it.
    int readDelimited(int i, QChar delimiter, QString &value, const QString &unterminated) const
    {
        const int n = int(m_text.size());
        for (int j = i + 1; j < n; ++j) {
            if (m_text.at(j) != delimiter) {
                value += m_text.at(j);
            } else if (j + 1 < n && m_text.at(j + 1) == delimiter) {
                value += delimiter;
                ++j;
            } else {
                return j + 1;
            }
        }
        fail(unterminated, i);
    }

    // --- token helpers ---

    const Token &current() const { return m_tokens.at(m_pos); }
    const Token &peek(int ahead = 1) const { return m_tokens.at(qMin(m_pos + ahead, m_tokens.size() - 1)); }
    const Token &advance() { return m_tokens.at(m_pos++); }

    static bool isWord(const Token &t, const char *word)
    {
        return t.type == Token::Type::Word && t.value.compare(QLatin1String(word), Qt::CaseInsensitive) == 0;
    }
    static bool isSymbol(const Token &t, const char *symbol)
    {
        return t.type == Token::Type::Symbol && t.value == QLatin1String(symbol);
    }
    static bool isReserved(const Token &t)
    {
        return t.type == Token::Type::Word && reservedWords().contains(t.value, Qt::CaseInsensitive);
    }

    bool acceptWord(const char *word)
    {
        if (!isWord(current(), word))
            return false;
        ++m_pos;
        return true;
    }
    bool acceptSymbol(const char *symbol)
    {
        if (!isSymbol(current(), symbol))
            return false;
        ++m_pos;
        return true;
    }
    void expectWord(const char *word, const QString &after)
    {
        if (!acceptWord(word))
            fail(QStringLiteral("za %1 má být %2, nalezeno %3")
                     .arg(after, QLatin1String(word), quoted(current())),
                 current());
    }
    void expectSymbol(const char *symbol, const QString &what)
    {
        if (!acceptSymbol(symbol))
            fail(QStringLiteral("%1, nalezeno %2").arg(what, quoted(current())), current());
    }

    bool isFieldName(const Token &t) const
    {
        return (t.type == Token::Type::Word && !isReserved(t)) || t.type == Token::Type::Name ||
               t.type == Token::Type::Quoted;
    }

    QString fieldName(const QString &where)
    {
        const Token &t = current();
        if (!isFieldName(t)) {
            if (isReserved(t))
                fail(
                    QStringLiteral("%1 %2 je vyhrazené slovo; takový název pole se píše do hranatých závorek")
                        .arg(where, quoted(t)),
                    t);
            fail(QStringLiteral("%1 má být název pole, nalezeno %2").arg(where, quoted(t)), t);
        }
        if (t.value.trimmed().isEmpty())
            fail(QStringLiteral("prázdný název pole"), t);
        advance();
        return t.value.trimmed();
    }

    QStringList fieldList(const QString &where)
    {
        QStringList names;
        do
            names << fieldName(where);
        while (acceptSymbol(","));
        return names;
    }

    // --- clauses ---

    TableRef tableRef(const QString &after)
    {
        const Token &t = current();
        TableRef ref;
        ref.written = t.type == Token::Type::End ? QString() : m_text.mid(t.start, t.end - t.start);
        if (t.type == Token::Type::Word && !isReserved(t)) {
            ref.kind = TableRef::Kind::Bare;
            ref.table = t.value;
        } else if (t.type == Token::Type::Quoted) {
            const QString path = t.value.trimmed();
            if (path.startsWith(QLatin1Char(':'))) {
                // :Alias:Table.ext
                const int second = int(path.indexOf(QLatin1Char(':'), 1));
                const QString alias = second > 0 ? path.mid(1, second - 1).trimmed() : QString();
                const QString table =
                    second > 0 ? withoutExtension(path.mid(second + 1).trimmed()) : QString();
                if (alias.isEmpty() || table.isEmpty() || table.contains(QLatin1Char('/')) ||
                    table.contains(QLatin1Char('\\')) || table.contains(QLatin1Char(':')))
                    fail(
                        QStringLiteral("chybná cesta k tabulce \"%1\"; má tvar \":Alias:Tabulka\"").arg(path),
                        t);
                ref.kind = TableRef::Kind::AliasPath;
                ref.alias = alias;
                ref.table = table;
            } else if (path.contains(QLatin1Char('/')) || path.contains(QLatin1Char('\\'))) {
                // Paths come from Windows configurations: \ separates directories there.
                ref.kind = TableRef::Kind::FilePath;
                ref.filePath = QString(path).replace(QLatin1Char('\\'), QLatin1Char('/'));
            } else if (!path.isEmpty()) {
                ref.kind = TableRef::Kind::Bare;
                ref.table = withoutExtension(path);
            } else {
                fail(QStringLiteral("prázdný název tabulky"), t);
            }
        } else {
            fail(QStringLiteral("za %1 má být název tabulky, nalezeno %2").arg(after, quoted(t)), t);
        }
        advance();
        return ref;
    }

    static QString withoutExtension(const QString &name)
    {
        const int dot = int(name.lastIndexOf(QLatin1Char('.')));
        return dot > 0 ? name.left(dot) : name;
    }

    bool atClauseEnd() const
    {
        const Token &t = current();
        return t.type == Token::Type::End || isSymbol(t, ";") ||
               ((isWord(t, "GROUP") || isWord(t, "ORDER")) && isWord(peek(), "BY"));
    }

    // The condition stays text: it is in the filter syntax, which FilterExpr reads. It ends where the
    // next clause (GROUP BY, ORDER BY) or the statement ends; quotes were already taken whole by the
    // lexer, so a keyword inside a quoted value cannot end it.
    QString whereText()
    {
        advance(); // WHERE
        if (atClauseEnd())
            fail(QStringLiteral("chybí podmínka za WHERE"), current());
        const int start = current().start;
        int end = start;
        while (!atClauseEnd())
            end = advance().end;
        return m_text.mid(start, end - start);
    }

    SelectStatement parseSelect()
    {
        advance(); // SELECT
        SelectStatement sel;
        sel.distinct = acceptWord("DISTINCT");
        if (isWord(current(), "FROM") || current().type == Token::Type::End)
            fail(QStringLiteral("chybí seznam polí za SELECT"), current());
        do
            sel.items << selectItem();
        while (acceptSymbol(","));
        expectWord("FROM", QStringLiteral("seznamem polí"));
        sel.from = tableRef(QStringLiteral("FROM"));
        if (isWord(current(), "WHERE"))
            sel.where = whereText();
        if (isWord(current(), "GROUP")) {
            advance();
            expectWord("BY", QStringLiteral("GROUP"));
            sel.groupBy = fieldList(QStringLiteral("v GROUP BY"));
        }
        if (isWord(current(), "HAVING"))
            fail(QStringLiteral("HAVING není podporováno"), current());
        if (isWord(current(), "ORDER")) {
            advance();
            expectWord("BY", QStringLiteral("ORDER"));
            do {
                OrderTerm term;
                term.field = fieldName(QStringLiteral("v ORDER BY"));
                if (acceptWord("DESC"))
                    term.descending = true;
                else
                    acceptWord("ASC");
                sel.orderBy << term;
            } while (acceptSymbol(","));
        }
        if (isWord(current(), "WHERE") || isWord(current(), "GROUP"))
            fail(QStringLiteral("%1 je na špatném místě; pořadí částí je WHERE, GROUP BY, ORDER BY")
                     .arg(quoted(current())),
                 current());
        return sel;
    }

    SelectItem selectItem()
    {
        SelectItem item;
        const Token &first = current();
        if (acceptSymbol("*")) {
            item.kind = SelectItem::Kind::Star;
            item.written = QStringLiteral("*");
            return item; // * takes no alias
        }
        if (first.type == Token::Type::Word &&
            aggregateFunctions().contains(first.value, Qt::CaseInsensitive) && isSymbol(peek(), "(")) {
            item.kind = SelectItem::Kind::Aggregate;
            item.function = first.value.toUpper();
            advance();
            advance(); // (
            if (isSymbol(current(), "*")) {
                if (item.function != QLatin1String("COUNT"))
                    fail(QStringLiteral("%1(*) nelze použít, hvězdičku bere jen COUNT").arg(item.function),
                         current());
                advance();
            } else {
                item.field = fieldName(QStringLiteral("v %1( )").arg(item.function));
            }
            expectSymbol(")", QStringLiteral("chybí pravá závorka za %1(").arg(item.function));
            item.written = m_text.mid(first.start, m_tokens.at(m_pos - 1).end - first.start);
        } else {
            item.kind = SelectItem::Kind::Field;
            item.field = fieldName(QStringLiteral("v seznamu polí"));
            item.written = item.field;
        }
        if (acceptWord("AS")) {
            item.alias = fieldName(QStringLiteral("za AS"));
        } else if (isFieldName(current()) && current().type != Token::Type::Quoted) {
            item.alias = fieldName(QString());
        }
        return item;
    }

    Literal literal()
    {
        const Token &t = current();
        Literal lit;
        if (t.type == Token::Type::Text) {
            lit.kind = Literal::Kind::Text;
            lit.text = t.value;
        } else if (t.type == Token::Type::Number) {
            lit.kind = Literal::Kind::Number;
            lit.text = t.value;
        } else if ((isSymbol(t, "-") || isSymbol(t, "+")) && peek().type == Token::Type::Number &&
                   peek().start == t.end) {
            lit.kind = Literal::Kind::Number;
            lit.text = (t.value == QLatin1String("-") ? t.value : QString()) + peek().value;
            advance();
        } else if (isWord(t, "TRUE") || isWord(t, "FALSE")) {
            lit.kind = Literal::Kind::Logical;
            lit.logical = isWord(t, "TRUE");
            lit.text = t.value;
        } else if (isWord(t, "NULL")) {
            lit.kind = Literal::Kind::Null;
        } else if (t.type == Token::Type::Quoted) {
            fail(QStringLiteral("hodnota %1 je v uvozovkách; text se píše do apostrofů ('…')").arg(quoted(t)),
                 t);
        } else {
            fail(QStringLiteral(
                     "má být hodnota (text v apostrofech, číslo, True, False nebo NULL), nalezeno %1")
                     .arg(quoted(t)),
                 t);
        }
        advance();
        return lit;
    }

    InsertStatement parseInsert()
    {
        advance(); // INSERT
        expectWord("INTO", QStringLiteral("INSERT"));
        InsertStatement ins;
        ins.into = tableRef(QStringLiteral("INTO"));
        if (acceptSymbol("(")) {
            ins.columns = fieldList(QStringLiteral("v seznamu polí"));
            expectSymbol(")", QStringLiteral("seznam polí má končit \")\""));
        }
        if (acceptWord("VALUES")) {
            do {
                expectSymbol("(", QStringLiteral("hodnoty za VALUES mají být v závorkách"));
                QList<Literal> row;
                do
                    row << literal();
                while (acceptSymbol(","));
                expectSymbol(")", QStringLiteral("seznam hodnot má končit \")\""));
                ins.rows << row;
            } while (acceptSymbol(","));
        } else if (isWord(current(), "SELECT")) {
            ins.select = parseSelect();
        } else {
            fail(QStringLiteral("za názvem tabulky má být VALUES nebo SELECT, nalezeno %1")
                     .arg(quoted(current())),
                 current());
        }
        return ins;
    }

    DeleteStatement parseDelete()
    {
        advance(); // DELETE
        expectWord("FROM", QStringLiteral("DELETE"));
        DeleteStatement del;
        del.from = tableRef(QStringLiteral("FROM"));
        if (isWord(current(), "WHERE"))
            del.where = whereText();
        return del;
    }

    UpdateStatement parseUpdate()
    {
        advance(); // UPDATE
        UpdateStatement upd;
        upd.table = tableRef(QStringLiteral("UPDATE"));
        expectWord("SET", QStringLiteral("názvem tabulky"));
        do {
            Assignment a;
            a.field = fieldName(QStringLiteral("za SET"));
            expectSymbol("=", QStringLiteral("za polem %1 má být \"=\"").arg(a.field));
            a.value = literal();
            upd.assignments << a;
        } while (acceptSymbol(","));
        if (isWord(current(), "WHERE"))
            upd.where = whereText();
        return upd;
    }

    const QString &m_text;
    QList<Token> m_tokens;
    qsizetype m_pos = 0;
};

} // namespace

bool SelectStatement::hasAggregates() const
{
    for (const SelectItem &item : items)
        if (item.kind == SelectItem::Kind::Aggregate)
            return true;
    return false;
}

QString joinLines(const QStringList &lines)
{
    return lines.join(QLatin1Char(' '));
}

QString syntaxMessage(const QString &statement, const QString &what)
{
    // A reason quoted from another message (a filter's) brings its own full stop.
    return QStringLiteral("Chybný příkaz SQL \"%1\": %2%3")
        .arg(statement, what, what.endsWith(QLatin1Char('.')) ? QString() : QStringLiteral("."));
}

Statement parseStatement(const QString &text)
{
    return Parser(text).parse();
}

} // namespace lerk::localsql
