#include "EngineError.h"
#include "FilterExpr.h"

#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QtTest>

using namespace lerk;

namespace {

ColumnInfo column(const QString &name, FieldType type, int size = 0)
{
    return ColumnInfo{name, quoteIdentifier(name), type, size};
}

// The columns of a defect table as far as filtering cares, found by name in any letter case.
ColumnResolver defectColumns()
{
    static const QList<ColumnInfo> columns = {
        column(QStringLiteral("CISLO"), FieldType::Text, 5),
        column(QStringLiteral("OS"), FieldType::Text, 2),
        column(QStringLiteral("DATUM"), FieldType::Date),
        column(QStringLiteral("CAS"), FieldType::Time),
        column(QStringLiteral("Odstraneno"), FieldType::Logical),
        column(QStringLiteral("Silnice"), FieldType::Text, 10),
        column(QStringLiteral("KM"), FieldType::Number),
        column(QStringLiteral("PZ"), FieldType::Short),
        column(QStringLiteral("Druh"), FieldType::Text, 3),
        column(QStringLiteral("OKRUH"), FieldType::Text, 4),
        column(QStringLiteral("Úsek"), FieldType::Text, 10),
        column(QStringLiteral("Any Name"), FieldType::Text, 10),
    };
    return [](const QString &name) -> std::optional<ColumnInfo> {
        for (const ColumnInfo &c : columns) {
            if (c.name.compare(name, Qt::CaseInsensitive) == 0)
                return c;
        }
        return std::nullopt;
    };
}

// Bound values shown so that text and numbers cannot be mistaken: 'text', 12, 1.5 (a double always
// with a decimal point), NULL for a null string.
QStringList describe(const QVariantList &binds)
{
    QStringList out;
    for (const QVariant &v : binds) {
        if (v.typeId() == QMetaType::QString && v.toString().isNull()) {
            out.append(QStringLiteral("NULL")); // what the SQL driver would bind
        } else if (v.typeId() == QMetaType::QString) {
            out.append(QLatin1Char('\'') + v.toString() + QLatin1Char('\''));
        } else if (v.typeId() == QMetaType::Double) {
            QString s = QString::number(v.toDouble());
            if (!s.contains(QLatin1Char('.')) && !s.contains(QLatin1Char('e')))
                s += QLatin1String(".0");
            out.append(s);
        } else {
            out.append(v.toString());
        }
    }
    return out;
}

SqlFragment sqlOf(const QString &filter, const Formats &formats = Formats())
{
    return FilterExpr::parse(filter).toSql(defectColumns(), formats);
}

} // namespace

class TestFilter : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();

    void blankFilterIsEmpty_data();
    void blankFilterIsEmpty();
    void generatesSql_data();
    void generatesSql();
    void datesFollowTheShortDateFormat();
    void fieldNamesInOrderOfFirstUse();
    void malformedFilterIsSyntaxError_data();
    void malformedFilterIsSyntaxError();
    void syntaxMessageNamesFilterAndPosition();
    void unknownField_data();
    void unknownField();
    void invalidValue_data();
    void invalidValue();
    void selectsRows_data();
    void selectsRows();

private:
    QString m_connection = QStringLiteral("tst_filter_%1").arg(quintptr(this));
};

void TestFilter::initTestCase()
{
    QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), m_connection);
    db.setDatabaseName(QStringLiteral(":memory:"));
    QVERIFY2(db.open(), qPrintable(db.lastError().text()));
    QSqlQuery q(db);
    QVERIFY(q.exec(QStringLiteral("CREATE TABLE Zavady (CISLO TEXT, OS TEXT, DATUM TEXT, Odstraneno INTEGER, "
                                  "Silnice TEXT, KM REAL, PZ INTEGER, Druh TEXT)")));
    QVERIFY(q.prepare(QStringLiteral("INSERT INTO Zavady VALUES (?, ?, ?, ?, ?, ?, ?, ?)")));
    const QVariant null;
    // Empty fields are NULL, as the engine stores them; row 7 holds an empty text written by other means.
    const QList<QVariantList> rows = {
        {"1", "01", "2008-05-03", 1, "I/12", 1.5, 1, "01"},
        {"2", "01", "2008-12-31", 0, "II/12", 2.0, 2, "05"},
        {"3", "02", "2009-01-01", 0, "i/12", null, null, "O'Neil; DROP TABLE x"},
        {"4", null, null, null, null, null, null, null},
        {"5", "01", "2007-12-31", 1, "I/", -3, 3, "05"},
        {"6", "03", "2008-01-01", 0, "I0", 10, 4, "10%"},
        {"7", "02", "2008-06-30", 0, "", 0.5, 5, "a_b"},
        {"8", "03", "2008-07-01", null, "Žďár", 7, 6, "axb"},
    };
    for (const QVariantList &row : rows) {
        for (const QVariant &v : row)
            q.addBindValue(v);
        QVERIFY2(q.exec(), qPrintable(q.lastError().text()));
    }
}

void TestFilter::cleanupTestCase()
{
    QSqlDatabase::database(m_connection).close();
    QSqlDatabase::removeDatabase(m_connection);
}

void TestFilter::blankFilterIsEmpty_data()
{
    QTest::addColumn<QString>("filter");
    QTest::newRow("nothing") << QString();
    QTest::newRow("blanks") << QStringLiteral("  \t\n ");
}

void TestFilter::blankFilterIsEmpty()
{
    QFETCH(QString, filter);
    const FilterExpr expr = FilterExpr::parse(filter);
    QVERIFY(expr.isEmpty());
    QVERIFY(expr.fieldNames().isEmpty());
    const SqlFragment sql = expr.toSql(defectColumns(), Formats());
    QVERIFY(sql.isEmpty());
    QVERIFY(sql.binds.isEmpty());
}

void TestFilter::generatesSql_data()
{
    QTest::addColumn<QString>("filter");
    QTest::addColumn<QString>("sql");
    QTest::addColumn<QStringList>("binds");

    // Filters as the program writes them.
    QTest::newRow("removed and prefix")
        << QStringLiteral("Odstraneno=True AND Silnice='I/*'")
        << QStringLiteral(R"sql((("Odstraneno" = ?) AND ("Silnice" >= ? AND "Silnice" < ?)))sql")
        << QStringList{"1", "'I/'", "'I0'"};
    QTest::newRow("groups")
        << QStringLiteral("(Odstraneno=False AND Silnice='II/*') AND (Druh='01' OR Druh='05') AND (OS='01')")
        << QStringLiteral(R"sql(((("Odstraneno" = ?) AND ("Silnice" >= ? AND "Silnice" < ?)) AND )sql"
                          R"sql((("Druh" = ?) OR ("Druh" = ?)) AND ("OS" = ?)))sql")
        << QStringList{"0", "'II/'", "'II0'", "'01'", "'05'", "'01'"};
    QTest::newRow("identifying fields")
        << QStringLiteral("Cislo='12' AND OS='01' AND DATUM='3.5.2008' AND OKRUH='0105'")
        << QStringLiteral(R"sql((("CISLO" = ?) AND ("OS" = ?) AND ("DATUM" = ?) AND ("OKRUH" = ?)))sql")
        << QStringList{"'12'", "'01'", "'2008-05-03'", "'0105'"};
    QTest::newRow("lower-case false") << QStringLiteral("Odstraneno=false")
                                      << QStringLiteral(R"sql(("Odstraneno" = ?))sql") << QStringList{"0"};
    QTest::newRow("appended year range")
        << QStringLiteral("Odstraneno=True AND (DATUM>='1.1.2008') AND (DATUM<='31.12.2008')")
        << QStringLiteral(R"sql((("Odstraneno" = ?) AND ("DATUM" >= ?) AND ("DATUM" <= ?)))sql")
        << QStringList{"1", "'2008-01-01'", "'2008-12-31'"};
    QTest::newRow("road exactly") << QStringLiteral("(Odstraneno=False) AND (Silnice='I/12')")
                                  << QStringLiteral(R"sql((("Odstraneno" = ?) AND ("Silnice" = ?)))sql")
                                  << QStringList{"0", "'I/12'"};
    QTest::newRow("apostrophe is data")
        << QStringLiteral("Druh='O''Neil; DROP TABLE x'") << QStringLiteral(R"sql(("Druh" = ?))sql")
        << QStringList{"'O'Neil; DROP TABLE x'"};

    // Precedence, NOT, letter case, layout.
    QTest::newRow("AND before OR") << QStringLiteral("OS='01' OR OS='02' AND Druh='05'")
                                   << QStringLiteral(R"sql((("OS" = ?) OR (("OS" = ?) AND ("Druh" = ?))))sql")
                                   << QStringList{"'01'", "'02'", "'05'"};
    QTest::newRow("NOT over a comparison")
        << QStringLiteral("NOT Odstraneno=True") << QStringLiteral(R"sql((NOT ("Odstraneno" = ?)))sql")
        << QStringList{"1"};
    QTest::newRow("NOT NOT") << QStringLiteral("not (not OS='01')")
                             << QStringLiteral(R"sql((NOT (NOT ("OS" = ?))))sql") << QStringList{"'01'"};
    QTest::newRow("any letter case")
        << QStringLiteral("odstraneno = TRUE and SILNICE = 'I/12' Or úSEK='1'")
        << QStringLiteral(R"sql(((("Odstraneno" = ?) AND ("Silnice" = ?)) OR ("Úsek" = ?)))sql")
        << QStringList{"1", "'I/12'", "'1'"};
    QTest::newRow("blanks and line breaks")
        << QStringLiteral("  OS = '01'\n AND\tDruh<>'05'  ")
        << QStringLiteral(R"sql((("OS" = ?) AND ("Druh" <> ?)))sql") << QStringList{"'01'", "'05'"};
    QTest::newRow("bracketed name") << QStringLiteral("[Any Name]<'x' AND [os]='1'")
                                    << QStringLiteral(R"sql((("Any Name" < ?) AND ("OS" = ?)))sql")
                                    << QStringList{"'x'", "'1'"};

    // Prefix matches.
    QTest::newRow("not a prefix") << QStringLiteral("Silnice<>'I/*'")
                                  << QStringLiteral(R"sql((NOT ("Silnice" >= ? AND "Silnice" < ?)))sql")
                                  << QStringList{"'I/'", "'I0'"};
    QTest::newRow("star alone") << QStringLiteral("Silnice='*'")
                                << QStringLiteral(R"sql(("Silnice" <> ?))sql") << QStringList{"''"};
    QTest::newRow("Czech letter prefix")
        << QStringLiteral("Silnice='Ž*'") << QStringLiteral(R"sql(("Silnice" >= ? AND "Silnice" < ?))sql")
        << QStringList{"'Ž'", "'ž'"};
    QTest::newRow("bound skips surrogates")
        << QStringView(u"Silnice='a\uD7FF*'").toString()
        << QStringLiteral(R"sql(("Silnice" >= ? AND "Silnice" < ?))sql")
        << QStringList{QStringView(u"'a\uD7FF'").toString(), QStringView(u"'a\uE000'").toString()};
    QTest::newRow("bound carries past the last code point")
        << QStringView(u"Silnice='a\U0010FFFF*'").toString()
        << QStringLiteral(R"sql(("Silnice" >= ? AND "Silnice" < ?))sql")
        << QStringList{QStringView(u"'a\U0010FFFF'").toString(), "'b'"};
    QTest::newRow("no bound above the last code point")
        << QStringView(u"Silnice='\U0010FFFF*'").toString() << QStringLiteral(R"sql(("Silnice" >= ?))sql")
        << QStringList{QStringView(u"'\U0010FFFF'").toString()};
    QTest::newRow("star in an ordering is literal")
        << QStringLiteral("Silnice>='I/*'") << QStringLiteral(R"sql(("Silnice" >= ?))sql")
        << QStringList{"'I/*'"};

    // Empty fields.
    QTest::newRow("empty text") << QStringLiteral("Druh=''")
                                << QStringLiteral(R"sql(("Druh" IS NULL OR "Druh" = ?))sql")
                                << QStringList{"''"};
    QTest::newRow("non-empty text") << QStringLiteral("Druh<>''")
                                    << QStringLiteral(R"sql(("Druh" IS NOT NULL AND "Druh" <> ?))sql")
                                    << QStringList{"''"};
    QTest::newRow("empty date") << QStringLiteral("DATUM=''") << QStringLiteral(R"sql(("DATUM" IS NULL))sql")
                                << QStringList{};
    QTest::newRow("IS NULL on text") << QStringLiteral("Druh is null")
                                     << QStringLiteral(R"sql(("Druh" IS NULL OR "Druh" = ?))sql")
                                     << QStringList{"''"};
    QTest::newRow("IS NOT NULL on a date")
        << QStringLiteral("DATUM IS NOT NULL") << QStringLiteral(R"sql(("DATUM" IS NOT NULL))sql")
        << QStringList{};
    QTest::newRow("= NULL") << QStringLiteral("KM = NULL") << QStringLiteral(R"sql(("KM" IS NULL))sql")
                            << QStringList{};
    QTest::newRow("<> NULL") << QStringLiteral("KM <> null") << QStringLiteral(R"sql(("KM" IS NOT NULL))sql")
                             << QStringList{};

    // Values converted by the field's type.
    QTest::newRow("negative decimal")
        << QStringLiteral("KM>=-1.5 AND KM<.5") << QStringLiteral(R"sql((("KM" >= ?) AND ("KM" < ?)))sql")
        << QStringList{"-1.5", "0.5"};
    QTest::newRow("whole number") << QStringLiteral("PZ=12") << QStringLiteral(R"sql(("PZ" = ?))sql")
                                  << QStringList{"12"};
    QTest::newRow("quoted numbers") << QStringLiteral("PZ='12' OR KM=' 1,5 '")
                                    << QStringLiteral(R"sql((("PZ" = ?) OR ("KM" = ?)))sql")
                                    << QStringList{"12", "1.5"};
    QTest::newRow("number compared with text keeps its digits")
        << QStringLiteral("OS=01") << QStringLiteral(R"sql(("OS" = ?))sql") << QStringList{"'01'"};
    QTest::newRow("quoted logical")
        << QStringLiteral("Odstraneno='T' OR Odstraneno='false' OR Odstraneno=1")
        << QStringLiteral(R"sql((("Odstraneno" = ?) OR ("Odstraneno" = ?) OR ("Odstraneno" = ?)))sql")
        << QStringList{"1", "0", "1"};
    QTest::newRow("ISO date") << QStringLiteral("DATUM<'2008-05-03'")
                              << QStringLiteral(R"sql(("DATUM" < ?))sql") << QStringList{"'2008-05-03'"};
    QTest::newRow("time") << QStringLiteral("CAS>='8:30:00'") << QStringLiteral(R"sql(("CAS" >= ?))sql")
                          << QStringList{"'08:30:00'"};

    // LIKE, BETWEEN, IN.
    QTest::newRow("LIKE") << QStringLiteral(R"(Druh LIKE '%10\%%')")
                          << QStringLiteral(R"sql(("Druh" LIKE ? ESCAPE '\'))sql")
                          << QStringList{R"('%10\%%')"};
    QTest::newRow("NOT LIKE") << QStringLiteral("Druh not like 'a_'")
                              << QStringLiteral(R"sql(("Druh" NOT LIKE ? ESCAPE '\'))sql")
                              << QStringList{"'a_'"};
    QTest::newRow("BETWEEN dates") << QStringLiteral("DATUM BETWEEN '1.1.2008' AND '31.12.2008'")
                                   << QStringLiteral(R"sql(("DATUM" BETWEEN ? AND ?))sql")
                                   << QStringList{"'2008-01-01'", "'2008-12-31'"};
    QTest::newRow("NOT BETWEEN numbers")
        << QStringLiteral("KM NOT BETWEEN -1.5 AND 2 AND PZ>0")
        << QStringLiteral(R"sql((("KM" NOT BETWEEN ? AND ?) AND ("PZ" > ?)))sql")
        << QStringList{"-1.5", "2", "0"};
    QTest::newRow("IN") << QStringLiteral("Druh IN ('01', '05')")
                        << QStringLiteral(R"sql(("Druh" IN (?, ?)))sql") << QStringList{"'01'", "'05'"};
    QTest::newRow("NOT IN numbers") << QStringLiteral("PZ not in (1,2)")
                                    << QStringLiteral(R"sql(("PZ" NOT IN (?, ?)))sql")
                                    << QStringList{"1", "2"};
    QTest::newRow("IN dates") << QStringLiteral("DATUM IN ('3.5.2008')")
                              << QStringLiteral(R"sql(("DATUM" IN (?)))sql") << QStringList{"'2008-05-03'"};
    QTest::newRow("IN with prefix and empty")
        << QStringLiteral("Silnice IN ('I/*', '', 'D1')")
        << QStringLiteral(
               R"sql(("Silnice" IN (?, ?) OR ("Silnice" >= ? AND "Silnice" < ?) OR "Silnice" IS NULL))sql")
        << QStringList{"''", "'D1'", "'I/'", "'I0'"};
    QTest::newRow("NOT IN prefixes")
        << QStringLiteral("Silnice NOT IN ('I/*', 'II/*')")
        << QStringLiteral(
               R"sql((NOT (("Silnice" >= ? AND "Silnice" < ?) OR ("Silnice" >= ? AND "Silnice" < ?))))sql")
        << QStringList{"'I/'", "'I0'", "'II/'", "'II0'"};
}

void TestFilter::generatesSql()
{
    QFETCH(QString, filter);
    QFETCH(QString, sql);
    QFETCH(QStringList, binds);
    const SqlFragment fragment = sqlOf(filter);
    QCOMPARE(fragment.sql, sql);
    QCOMPARE(describe(fragment.binds), binds);
    QCOMPARE(fragment.sql.count(QLatin1Char('?')), fragment.binds.size());
}

void TestFilter::datesFollowTheShortDateFormat()
{
    Formats formats;
    formats.shortDate = QStringLiteral("dd/MM/yyyy");
    QCOMPARE(describe(sqlOf(QStringLiteral("DATUM='03/05/2008'"), formats).binds),
             QStringList{"'2008-05-03'"});
    try {
        sqlOf(QStringLiteral("DATUM='3.5.2008'"), formats);
        QFAIL("a date in another format was accepted");
    } catch (const EngineError &e) {
        QCOMPARE(e.code(), ErrorCode::InvalidValue);
    }
}

void TestFilter::fieldNamesInOrderOfFirstUse()
{
    const FilterExpr expr = FilterExpr::parse(
        QStringLiteral("Silnice='I/*' AND (odstraneno=True OR SILNICE='x') AND NOT [Any Name] IS NULL "
                       "AND Odstraneno IN (True) AND KM BETWEEN 1 AND 2"));
    QCOMPARE(expr.fieldNames(), (QStringList{"Silnice", "odstraneno", "Any Name", "KM"}));

    // A copy shares the parsed tree and keeps the text.
    const FilterExpr copy = expr;
    QCOMPARE(copy.text(), expr.text());
    QVERIFY(copy.root() == expr.root());
}

void TestFilter::malformedFilterIsSyntaxError_data()
{
    QTest::addColumn<QString>("filter");
    QTest::addColumn<int>("position");
    QTest::addColumn<QString>("problem");

    QTest::newRow("no value at end") << QStringLiteral("Odstraneno=") << 12
                                     << QStringLiteral("chybí hodnota za \"=\"");
    QTest::newRow("no value before AND")
        << QStringLiteral("OS= AND Druh='1'") << 5 << QStringLiteral("chybí hodnota za \"=\"");
    QTest::newRow("doubled operator")
        << QStringLiteral("Druh=='01'") << 6 << QStringLiteral("chybí hodnota za \"=\"");
    QTest::newRow("bare word as value")
        << QStringLiteral("Druh=abc") << 6 << QStringLiteral("neplatná hodnota \"abc\" za \"=\"");
    QTest::newRow("double quotes") << QStringLiteral("Druh=\"01\"") << 6 << QStringLiteral("do apostrofů");
    QTest::newRow("unterminated quote")
        << QStringLiteral("Druh='O''Neil") << 6 << QStringLiteral("neukončený text v apostrofech");
    QTest::newRow("unclosed parenthesis") << QStringLiteral("OS='1' AND (Druh='01' OR Druh='05'") << 12
                                          << QStringLiteral("chybí pravá závorka");
    QTest::newRow("extra parenthesis")
        << QStringLiteral("(OS='1'))") << 9 << QStringLiteral("přebývá pravá závorka");
    QTest::newRow("empty parentheses")
        << QStringLiteral("OS='1' AND ()") << 12 << QStringLiteral("prázdné závorky");
    QTest::newRow("garbage inside parentheses")
        << QStringLiteral("(OS='1' 5)") << 9 << QStringLiteral("očekává se AND, OR nebo \")\"");
    QTest::newRow("missing operator") << QStringLiteral("Druh '01'") << 6 << QStringLiteral("chybí operátor");
    QTest::newRow("field alone") << QStringLiteral("Odstraneno") << 11 << QStringLiteral("chybí operátor");
    QTest::newRow("unknown operator")
        << QStringLiteral("Druh CONTAINS '01'") << 6 << QStringLiteral("neznámý operátor \"CONTAINS\"");
    QTest::newRow("unknown keyword") << QStringLiteral("Druh='01' ANDX OS='1'") << 11
                                     << QStringLiteral("neznámé slovo \"ANDX\"");
    QTest::newRow("trailing text") << QStringLiteral("Druh='01' 'x'") << 11
                                   << QStringLiteral("nečekané \"'x'\"");
    QTest::newRow("dangling AND") << QStringLiteral("Druh='01' AND ") << 15
                                  << QStringLiteral("chybí podmínka za \"AND\"");
    QTest::newRow("leading AND") << QStringLiteral(" AND (DATUM>='1.1.2008')") << 2
                                 << QStringLiteral("chybí podmínka před \"AND\"");
    QTest::newRow("dangling NOT") << QStringLiteral("NOT") << 4
                                  << QStringLiteral("chybí podmínka za \"NOT\"");
    QTest::newRow("OR before parenthesis")
        << QStringLiteral("(OS='1' OR )") << 12 << QStringLiteral("chybí podmínka před \")\"");
    QTest::newRow("no field") << QStringLiteral("='01'") << 1
                              << QStringLiteral("chybí název pole před \"=\"");
    QTest::newRow("value first") << QStringLiteral("'01'=Druh") << 1
                                 << QStringLiteral("očekává se název pole");
    QTest::newRow("keyword as field")
        << QStringLiteral("Like='x'") << 1 << QStringLiteral("hranatých závorek");
    QTest::newRow("unterminated bracket")
        << QStringLiteral("[Any Name='x'") << 1 << QStringLiteral("neukončený název pole");
    QTest::newRow("empty bracket") << QStringLiteral("[ ]='x'") << 1 << QStringLiteral("prázdný název pole");
    QTest::newRow("bad number") << QStringLiteral("KM=12ab") << 4 << QStringLiteral("chybné číslo \"12ab\"");
    QTest::newRow("two decimal points")
        << QStringLiteral("KM=1.2.3") << 4 << QStringLiteral("chybné číslo \"1.2.3\"");
    QTest::newRow("stray character") << QStringLiteral("OS='1' & Druh='2'") << 8
                                     << QStringLiteral("nepovolený znak \"&\"");
    QTest::newRow("ordering against NULL")
        << QStringLiteral("KM < NULL") << 6 << QStringLiteral("NULL lze porovnat jen");
    QTest::newRow("IS without NULL") << QStringLiteral("Druh IS '01'") << 9
                                     << QStringLiteral("za \"IS\" má být NULL");
    QTest::newRow("NOT without LIKE")
        << QStringLiteral("Druh NOT '01'") << 10 << QStringLiteral("za \"NOT\" má být LIKE, BETWEEN nebo IN");
    QTest::newRow("LIKE without pattern")
        << QStringLiteral("Druh LIKE 5") << 11 << QStringLiteral("za \"LIKE\" má být vzor v apostrofech");
    QTest::newRow("BETWEEN without AND")
        << QStringLiteral("KM BETWEEN 1 5") << 14 << QStringLiteral("v podmínce BETWEEN chybí AND");
    QTest::newRow("IN without list") << QStringLiteral("Druh IN '01'") << 9
                                     << QStringLiteral("za \"IN\" má být seznam hodnot");
    QTest::newRow("IN without comma")
        << QStringLiteral("Druh IN ('01' '05')") << 15 << QStringLiteral("chybí \",\" nebo \")\"");
    QTest::newRow("IN unterminated") << QStringLiteral("Druh IN ('01',") << 15
                                     << QStringLiteral("chybí hodnota za \",\"");
    QTest::newRow("IN unclosed") << QStringLiteral("Druh IN ('01'") << 9
                                 << QStringLiteral("neukončený seznam hodnot");
    QTest::newRow("IN empty") << QStringLiteral("Druh IN ()") << 10
                              << QStringLiteral("chybí hodnota za \"(\"");
}

void TestFilter::malformedFilterIsSyntaxError()
{
    QFETCH(QString, filter);
    QFETCH(int, position);
    QFETCH(QString, problem);
    try {
        FilterExpr::parse(filter);
        QFAIL("a malformed filter was accepted");
    } catch (const EngineError &e) {
        QCOMPARE(e.code(), ErrorCode::FilterSyntax);
        const QString message = e.message();
        QVERIFY2(message.startsWith(QStringLiteral("Chybný filtr \"%1\": ").arg(filter)),
                 qPrintable(message));
        QVERIFY2(message.contains(problem), qPrintable(message));
        QVERIFY2(message.endsWith(QStringLiteral("(pozice %1).").arg(position)), qPrintable(message));
    }
}

void TestFilter::syntaxMessageNamesFilterAndPosition()
{
    try {
        FilterExpr::parse(QStringLiteral("Odstraneno="));
        QFAIL("a filter without a value was accepted");
    } catch (const EngineError &e) {
        QCOMPARE(e.message(),
                 QStringLiteral("Chybný filtr \"Odstraneno=\": chybí hodnota za \"=\" (pozice 12)."));
    }
}

void TestFilter::unknownField_data()
{
    QTest::addColumn<QString>("filter");
    QTest::addColumn<QString>("field");
    QTest::newRow("comparison") << QStringLiteral("Odstraneno=True AND Neznamo='1'")
                                << QStringLiteral("Neznamo");
    QTest::newRow("IS NULL") << QStringLiteral("OS='01' OR (NOT Poznamka IS NULL)")
                             << QStringLiteral("Poznamka");
    QTest::newRow("bracketed") << QStringLiteral("[Jiné pole] LIKE '%x%'") << QStringLiteral("Jiné pole");
}

void TestFilter::unknownField()
{
    QFETCH(QString, filter);
    QFETCH(QString, field);
    const FilterExpr expr = FilterExpr::parse(filter); // the syntax alone is fine
    try {
        expr.toSql(defectColumns(), Formats());
        QFAIL("an unknown field was accepted");
    } catch (const EngineError &e) {
        QCOMPARE(e.code(), ErrorCode::UnknownField);
        QCOMPARE(e.message(), QStringLiteral("Neznámé pole \"%1\" ve filtru \"%2\".").arg(field, filter));
    }
}

void TestFilter::invalidValue_data()
{
    QTest::addColumn<QString>("filter");
    QTest::addColumn<QString>("value");
    QTest::addColumn<QString>("field");

    QTest::newRow("no such day") << QStringLiteral("DATUM='31.2.2008'") << QStringLiteral("31.2.2008")
                                 << QStringLiteral("DATUM");
    QTest::newRow("prefix of a date")
        << QStringLiteral("OS='01' AND Datum='1.*'") << QStringLiteral("1.*") << QStringLiteral("Datum");
    QTest::newRow("unquoted year") << QStringLiteral("DATUM>=2008") << QStringLiteral("2008")
                                   << QStringLiteral("DATUM");
    QTest::newRow("empty date in ordering")
        << QStringLiteral("DATUM>''") << QString() << QStringLiteral("DATUM");
    QTest::newRow("date in BETWEEN") << QStringLiteral("DATUM BETWEEN '1.1.2008' AND 'konec'")
                                     << QStringLiteral("konec") << QStringLiteral("DATUM");
    QTest::newRow("date in IN") << QStringLiteral("DATUM IN ('1.1.2008', '32.1.2008')")
                                << QStringLiteral("32.1.2008") << QStringLiteral("DATUM");
    QTest::newRow("text as number") << QStringLiteral("KM='deset'") << QStringLiteral("deset")
                                    << QStringLiteral("KM");
    QTest::newRow("logical as number")
        << QStringLiteral("PZ=True") << QStringLiteral("True") << QStringLiteral("PZ");
    QTest::newRow("not a logical") << QStringLiteral("Odstraneno='ano'") << QStringLiteral("ano")
                                   << QStringLiteral("Odstraneno");
    QTest::newRow("logical as text") << QStringLiteral("Druh=false") << QStringLiteral("false")
                                     << QStringLiteral("Druh");
    QTest::newRow("no such time") << QStringLiteral("CAS='25:00'") << QStringLiteral("25:00")
                                  << QStringLiteral("CAS");
}

void TestFilter::invalidValue()
{
    QFETCH(QString, filter);
    QFETCH(QString, value);
    QFETCH(QString, field);
    try {
        sqlOf(filter);
        QFAIL("a value that does not fit its field was accepted");
    } catch (const EngineError &e) {
        QCOMPARE(e.code(), ErrorCode::InvalidValue);
        const QString message = e.message();
        QVERIFY2(message.startsWith(
                     QStringLiteral("Chybný filtr \"%1\": hodnota \"%2\" není ").arg(filter, value)),
                 qPrintable(message));
        QVERIFY2(message.endsWith(QStringLiteral(" pro pole \"%1\".").arg(field)), qPrintable(message));
    }
}

void TestFilter::selectsRows_data()
{
    QTest::addColumn<QString>("filter");
    QTest::addColumn<QStringList>("rows");

    // Rows: 1 I/12 removed, 2 II/12, 3 i/12 with an apostrophe, 4 all empty, 5 I/ removed, 6 I0,
    // 7 empty road stored as '', 8 Žďár with an empty removed flag.
    QTest::newRow("removed") << QStringLiteral("Odstraneno=True") << QStringList{"1", "5"};
    QTest::newRow("not removed leaves out empty")
        << QStringLiteral("Odstraneno=False") << QStringList{"2", "3", "6", "7"};
    QTest::newRow("NOT leaves out empty too")
        << QStringLiteral("NOT (Odstraneno=True)") << QStringList{"2", "3", "6", "7"};
    QTest::newRow("prefix is exact and case-sensitive")
        << QStringLiteral("Silnice='I/*'") << QStringList{"1", "5"};
    QTest::newRow("removed first-class roads")
        << QStringLiteral("Odstraneno=True AND Silnice='I/*'") << QStringList{"1", "5"};
    QTest::newRow("not a prefix") << QStringLiteral("Silnice<>'I/*'") << QStringList{"2", "3", "6", "7", "8"};
    QTest::newRow("Czech prefix") << QStringLiteral("Silnice='Žď*'") << QStringList{"8"};
    QTest::newRow("star alone") << QStringLiteral("Silnice='*'") << QStringList{"1", "2", "3", "5", "6", "8"};
    QTest::newRow("empty road") << QStringLiteral("Silnice=''") << QStringList{"4", "7"};
    QTest::newRow("non-empty road") << QStringLiteral("Silnice<>''")
                                    << QStringList{"1", "2", "3", "5", "6", "8"};
    QTest::newRow("NOT empty road") << QStringLiteral("NOT Silnice=''")
                                    << QStringList{"1", "2", "3", "5", "6", "8"};
    QTest::newRow("IS NULL") << QStringLiteral("Silnice IS NULL OR KM IS NULL") << QStringList{"3", "4", "7"};
    QTest::newRow("apostrophe in data") << QStringLiteral("Druh='O''Neil; DROP TABLE x'") << QStringList{"3"};
    QTest::newRow("year 2008") << QStringLiteral("OS<>'' AND (DATUM>='1.1.2008') AND (DATUM<='31.12.2008')")
                               << QStringList{"1", "2", "6", "7", "8"};
    QTest::newRow("single day") << QStringLiteral("DATUM='3.5.2008'") << QStringList{"1"};
    QTest::newRow("BETWEEN") << QStringLiteral("DATUM BETWEEN '1.6.2008' AND '31.12.2008'")
                             << QStringList{"2", "7", "8"};
    QTest::newRow("NOT BETWEEN leaves out empty")
        << QStringLiteral("DATUM NOT BETWEEN '1.1.2008' AND '31.12.2008'") << QStringList{"3", "5"};
    QTest::newRow("IN") << QStringLiteral("Druh IN ('01', '05')") << QStringList{"1", "2", "5"};
    QTest::newRow("NOT IN leaves out empty")
        << QStringLiteral("Druh NOT IN ('01', '05')") << QStringList{"3", "6", "7", "8"};
    QTest::newRow("IN with prefix and empty")
        << QStringLiteral("Silnice IN ('II/*', '')") << QStringList{"2", "4", "7"};
    QTest::newRow("numbers") << QStringLiteral("KM > -1 AND KM <= '1,5'") << QStringList{"1", "7"};
    QTest::newRow("NOT on a number leaves out empty")
        << QStringLiteral("CISLO='1' OR NOT (KM > 0)") << QStringList{"1", "5"};
    QTest::newRow("IN numbers") << QStringLiteral("PZ IN (1, 3)") << QStringList{"1", "5"};
    QTest::newRow("LIKE contains") << QStringLiteral("Druh LIKE '%Neil%'") << QStringList{"3"};
    QTest::newRow("LIKE escaped percent") << QStringLiteral(R"(Druh LIKE '%\%')") << QStringList{"6"};
    QTest::newRow("LIKE escaped underscore") << QStringLiteral(R"(Druh LIKE 'a\_b')") << QStringList{"7"};
    QTest::newRow("LIKE underscore wildcard") << QStringLiteral("Druh LIKE 'a_b'") << QStringList{"7", "8"};
    QTest::newRow("NOT LIKE") << QStringLiteral("Druh NOT LIKE '0%'") << QStringList{"3", "6", "7", "8"};
    QTest::newRow("OR of groups")
        << QStringLiteral("(Odstraneno=False AND Silnice='II/*') OR (OS='03' AND NOT Odstraneno=True)")
        << QStringList{"2", "6"};
}

void TestFilter::selectsRows()
{
    QFETCH(QString, filter);
    QFETCH(QStringList, rows);
    const SqlFragment where = sqlOf(filter);
    QSqlQuery q(QSqlDatabase::database(m_connection));
    // The fragment is combined with AND by its callers; it has to survive that.
    QVERIFY(q.prepare(QStringLiteral("SELECT CISLO FROM Zavady WHERE CISLO IS NOT NULL AND %1 ORDER BY CISLO")
                          .arg(where.sql)));
    for (const QVariant &v : where.binds)
        q.addBindValue(v);
    QVERIFY2(q.exec(), qPrintable(q.lastError().text() + QLatin1String(": ") + where.sql));
    QStringList found;
    while (q.next())
        found.append(q.value(0).toString());
    QCOMPARE(found, rows);

    QVERIFY(q.exec(QStringLiteral("SELECT count(*) FROM Zavady")));
    QVERIFY(q.next());
    QCOMPARE(q.value(0).toInt(), 8);
}

QTEST_GUILESS_MAIN(TestFilter)
#include "tst_filter.moc"
