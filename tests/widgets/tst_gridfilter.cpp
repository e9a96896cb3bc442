// The grid's column filters: the engine expression and the readable text each filter gives, and that
// the engine accepts the expression and selects the right rows.

#include "GridFilter.h"
#include "GridFixture.h"
#include "GridSummaries.h"
#include "GridTexts.h"

#include <QTest>

using namespace lerk;
using namespace lerk::test;

Q_DECLARE_METATYPE(lerk::ColumnFilter)

namespace {

ColumnFilter column(const QString &field, const QString &caption, FieldType type,
                    QList<FilterCondition> conditions, bool orJoin = false, bool negated = false)
{
    ColumnFilter c;
    c.field = field;
    c.caption = caption;
    c.type = type;
    c.conditions = conditions;
    c.orJoin = orJoin;
    c.negated = negated;
    return c;
}

FilterCondition cond(FilterOperator op, QVariant value = {}, QVariant value2 = {}, QVariantList values = {})
{
    return FilterCondition{op, value, value2, values};
}

} // namespace

class tst_GridFilter : public QObject
{
    Q_OBJECT
private slots:
    void translation_data();
    void translation();
    void severalColumns();
    void viewOnDetail();
    void datePeriods_data();
    void datePeriods();
    void parseValue_data();
    void parseValue();
};

void tst_GridFilter::translation_data()
{
    QTest::addColumn<ColumnFilter>("filter");
    QTest::addColumn<QString>("expression");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QList<int>>("rows"); // IN of the defects selected

    const FieldType T = FieldType::Text;
    using O = FilterOperator;
    QTest::newRow("equals text") << column("OKRUH", "Okruh", T, {cond(O::Equal, "0201")}) << "OKRUH='0201'"
                                 << "Okruh rovná se = '0201'" << QList<int>{105, 106};
    QTest::newRow("quote doubled") << column("ZAVADA", "Závada", T, {cond(O::Equal, "it's")})
                                   << "ZAVADA='it''s'"
                                   << "Závada rovná se = 'it's'" << QList<int>{106};
    QTest::newRow("star is literal") << column("SILNICE", "Silnice", T, {cond(O::Equal, "I/*")})
                                     << "SILNICE LIKE 'I/*'"
                                     << "Silnice rovná se = 'I/*'" << QList<int>{};
    QTest::newRow("not equal number")
        << column("KM", "km", FieldType::Number, {cond(O::NotEqual, 2.0)}) << "KM<>2"
        << "km nerovná se <> 2" << QList<int>{101, 103, 104, 105, 106};
    QTest::newRow("less or equal") << column("KM", "km", FieldType::Number, {cond(O::LessEqual, 1.5)})
                                   << "KM<=1.5"
                                   << "km menší než nebo rovno <= 1,5" << QList<int>{101, 103};
    QTest::newRow("between") << column("KM", "km", FieldType::Number, {cond(O::Between, 2.0, 4.0)})
                             << "KM BETWEEN 2 AND 4"
                             << "km mezi 2 a 4" << QList<int>{102, 105, 106};
    QTest::newRow("not between") << column("KM", "km", FieldType::Number, {cond(O::NotBetween, 2.0, 4.0)})
                                 << "KM NOT BETWEEN 2 AND 4"
                                 << "km ne mezi 2 a 4" << QList<int>{101, 103, 104};
    QTest::newRow("in") << column("SILNICE", "Silnice", T, {cond(O::In, {}, {}, {"II/112", "III/1121"})})
                        << "SILNICE IN ('II/112', 'III/1121')"
                        << "Silnice v ('II/112', 'III/1121')" << QList<int>{103, 106};
    QTest::newRow("not in") << column("PORADI", "Poř", FieldType::Integer, {cond(O::NotIn, {}, {}, {1, 2})})
                            << "PORADI NOT IN (1, 2)"
                            << "Poř ne v (1, 2)" << QList<int>{103};
    QTest::newRow("blank") << column("DATUMO", "Odstraněno", FieldType::Date, {cond(O::Blank)})
                           << "DATUMO IS NULL"
                           << "Odstraněno je prázdné" << QList<int>{101, 103, 104, 105, 106};
    QTest::newRow("not blank") << column("DATUMO", "Odstraněno", FieldType::Date, {cond(O::NotBlank)})
                               << "DATUMO IS NOT NULL"
                               << "Odstraněno není prázdné" << QList<int>{102};
    QTest::newRow("logical") << column("ODSTRANENO", "Odstr.", FieldType::Logical, {cond(O::Equal, false)})
                             << "ODSTRANENO=False"
                             << "Odstr. rovná se = ne" << QList<int>{101, 104, 105, 106};
    QTest::newRow("date") << column("DATUM", "Datum", FieldType::Date, {cond(O::Greater, QDate(2008, 5, 3))})
                          << "DATUM>'3.5.2008'"
                          << "Datum větší než > 3.5.2008" << QList<int>{104, 105, 106};
    QTest::newRow("begins") << column("SILNICE", "Silnice", T, {cond(O::BeginsWith, "II")})
                            << "SILNICE LIKE 'II%'"
                            << "Silnice začíná 'II'" << QList<int>{103, 106};
    QTest::newRow("not begins") << column("SILNICE", "Silnice", T, {cond(O::NotBeginsWith, "I/")})
                                << "SILNICE NOT LIKE 'I/%'"
                                << "Silnice nezačíná 'I/'" << QList<int>{103, 106};
    QTest::newRow("ends") << column("ZAVADA", "Závada", T, {cond(O::EndsWith, "luk")}) << "ZAVADA LIKE '%luk'"
                          << "Závada končí 'luk'" << QList<int>{101, 105};
    QTest::newRow("not ends") << column("ZAVADA", "Závada", T, {cond(O::NotEndsWith, "luk")})
                              << "ZAVADA NOT LIKE '%luk'"
                              << "Závada nekončí 'luk'" << QList<int>{102, 103, 104, 106};
    QTest::newRow("contains escapes wildcards")
        << column("ZAVADA", "Závada", T, {cond(O::Contains, "50%_x\\")}) << "ZAVADA LIKE '%50\\%\\_x\\\\%'"
        << "Závada obsahuje '50%_x\\'" << QList<int>{};
    QTest::newRow("contains") << column("ZAVADA", "Závada", T, {cond(O::Contains, "'s")})
                              << "ZAVADA LIKE '%''s%'"
                              << "Závada obsahuje ''s'" << QList<int>{106};
    QTest::newRow("not contains") << column("ZAVADA", "Závada", T, {cond(O::NotContains, "ý")})
                                  << "ZAVADA NOT LIKE '%ý%'"
                                  << "Závada neobsahuje 'ý'" << QList<int>{102, 103, 106};
    QTest::newRow("like as typed") << column("SILNICE", "Silnice", T, {cond(O::Like, "I_/%")})
                                   << "SILNICE LIKE 'I_/%'"
                                   << "Silnice jako 'I_/%'" << QList<int>{103};
    QTest::newRow("not like") << column("SILNICE", "Silnice", T, {cond(O::NotLike, "I/%")})
                              << "SILNICE NOT LIKE 'I/%'"
                              << "Silnice ne jako 'I/%'" << QList<int>{103, 106};
    QTest::newRow("or") << column("KM", "km", FieldType::Number, {cond(O::Less, 1.0), cond(O::Greater, 5.0)},
                                  true)
                        << "(KM<1 OR KM>5)"
                        << "(km menší než < 1 nebo km větší než > 5)" << QList<int>{103, 104};
    QTest::newRow("and negated") << column("KM", "km", FieldType::Number,
                                           {cond(O::GreaterEqual, 1.0), cond(O::Less, 4.0)}, false, true)
                                 << "NOT (KM>=1 AND KM<4)"
                                 << "ne (km větší než nebo rovno >= 1 a km menší než < 4)"
                                 << QList<int>{103, 104, 106};
}

void tst_GridFilter::translation()
{
    QFETCH(ColumnFilter, filter);
    QFETCH(QString, expression);
    QFETCH(QString, text);
    QFETCH(QList<int>, rows);

    GridFixture fx;
    GridFilter grid;
    grid.setColumn(filter);
    const Formats formats;
    QCOMPARE(grid.expression(formats, QDate(2024, 3, 14)), expression);
    QCOMPARE(grid.text(formats), text);

    // The engine takes the expression as a view filter and shows exactly the expected defects.
    auto table = fx.open(QStringLiteral("Zavady"), QStringLiteral("IN"));
    table->setView(FilterExpr::parse(expression), {});
    QList<int> shown;
    for (int r = 0; r < table->recordCount(); ++r)
        shown << table->valueAt(r, table->fieldByName(QStringLiteral("IN")).index()).toInt();
    QCOMPARE(shown, rows);
    QCOMPARE(table->filter(), QString()); // the table's own filter is untouched
}

void tst_GridFilter::severalColumns()
{
    GridFixture fx;
    GridFilter grid;
    using O = FilterOperator;
    grid.setColumn(column("OKRUH", "Okruh", FieldType::Text, {cond(O::Equal, "0105")}));
    grid.setColumn(column("KM", "km", FieldType::Number, {cond(O::Less, 1.0), cond(O::Greater, 5.0)}, true));
    const Formats formats;
    QCOMPARE(grid.expression(formats, QDate(2024, 1, 1)), QStringLiteral("OKRUH='0105' AND (KM<1 OR KM>5)"));
    QCOMPARE(grid.text(formats),
             QStringLiteral("Okruh rovná se = '0105' a (km menší než < 1 nebo km větší než > 5)"));

    // The window's own filter stays and both apply.
    auto table = fx.open(QStringLiteral("Zavady"), QStringLiteral("IN"));
    table->setFilter(QStringLiteral("Odstraneno=False"));
    table->setFiltered(true);
    table->setView(FilterExpr::parse(grid.expression(formats, QDate(2024, 1, 1))), {});
    QCOMPARE(table->recordCount(), 1); // 104: 0105, KM 7, not removed
    QCOMPARE(table->filter(), QStringLiteral("Odstraneno=False"));

    // Removing the last condition of a column removes the column.
    grid.removeColumn(QStringLiteral("km"));
    QCOMPARE(grid.columns().size(), 1);
}

void tst_GridFilter::viewOnDetail()
{
    GridFixture fx;
    auto protokol = fx.open(QStringLiteral("Protokol"), QStringLiteral("CISLO;OS;DATUM;OKRUH"));
    auto zavady = fx.open(QStringLiteral("Zavady"), QStringLiteral("CISLO;OS;DATUM;OKRUH;IN"));
    zavady->setMasterSource(protokol.get(), QStringLiteral("CISLO;OS;DATUM;OKRUH"));
    zavady->setView(FilterExpr(), {SortKey{QStringLiteral("KM"), true}});
    QList<int> shown;
    const int in = zavady->fieldByName(QStringLiteral("IN")).index();
    for (int r = 0; r < zavady->recordCount(); ++r)
        shown << zavady->valueAt(r, in).toInt();
    QCOMPARE(shown, (QList<int>{102, 101, 103})); // protocol 12 of 3.5.2008, longest first
    const QList<Aggregate> totals = GridSummaries::totals(*zavady, {QStringLiteral("KM")});
    QCOMPARE(totals.value(0).rows, qint64(3));
    QCOMPARE(totals.value(0).sum, 4.0);

    // The next protocol: the range follows, the view order stays.
    protokol->next();
    shown.clear();
    for (int r = 0; r < zavady->recordCount(); ++r)
        shown << zavady->valueAt(r, in).toInt();
    QCOMPARE(shown, (QList<int>{106, 105}));
    QCOMPARE(GridSummaries::totals(*zavady, {QStringLiteral("KM")}).value(0).sum, 7.25);

    // A new defect still takes the protocol's key.
    zavady->append();
    QCOMPARE(zavady->fieldByName(QStringLiteral("CISLO")).asString(), QStringLiteral("13"));
    zavady->cancel();
}

void tst_GridFilter::datePeriods_data()
{
    QTest::addColumn<int>("op");
    QTest::addColumn<QString>("expression");
    QTest::addColumn<QString>("text");
    using O = FilterOperator;
    // Thursday 14 March 2024.
    QTest::newRow("today") << int(O::Today) << "DATUM='14.3.2024'"
                           << "Datum je dnes";
    QTest::newRow("yesterday") << int(O::Yesterday) << "DATUM='13.3.2024'"
                               << "Datum je včera";
    QTest::newRow("tomorrow") << int(O::Tomorrow) << "DATUM='15.3.2024'"
                              << "Datum je zítra";
    QTest::newRow("this week") << int(O::ThisWeek) << "DATUM BETWEEN '11.3.2024' AND '17.3.2024'"
                               << "Datum je tento týden";
    QTest::newRow("last week") << int(O::LastWeek) << "DATUM BETWEEN '4.3.2024' AND '10.3.2024'"
                               << "Datum je poslední týden";
    QTest::newRow("last 14 days") << int(O::Last14Days) << "DATUM BETWEEN '29.2.2024' AND '13.3.2024'"
                                  << "Datum je posledníchch 14 dnů";
    QTest::newRow("this month") << int(O::ThisMonth) << "DATUM BETWEEN '1.3.2024' AND '31.3.2024'"
                                << "Datum je tento měsíc";
    QTest::newRow("last month") << int(O::LastMonth) << "DATUM BETWEEN '1.2.2024' AND '29.2.2024'"
                                << "Datum je poslední měsíc";
    QTest::newRow("last year") << int(O::LastYear) << "DATUM BETWEEN '1.1.2023' AND '31.12.2023'"
                               << "Datum je posledních rok";
    QTest::newRow("next year") << int(O::NextYear) << "DATUM BETWEEN '1.1.2025' AND '31.12.2025'"
                               << "Datum je příští rok";
    QTest::newRow("next two weeks") << int(O::NextTwoWeeks) << "DATUM BETWEEN '18.3.2024' AND '31.3.2024'"
                                    << "Datum je další dva týdny";
    QTest::newRow("past") << int(O::Past) << "DATUM<'14.3.2024'"
                          << "Datum je minulost";
    QTest::newRow("future") << int(O::Future) << "DATUM>'14.3.2024'"
                            << "Datum je budoucnoct";
}

void tst_GridFilter::datePeriods()
{
    QFETCH(int, op);
    QFETCH(QString, expression);
    QFETCH(QString, text);
    GridFilter grid;
    grid.setColumn(column("DATUM", "Datum", FieldType::Date, {cond(FilterOperator(op))}));
    const Formats formats;
    QCOMPARE(grid.expression(formats, QDate(2024, 3, 14)), expression);
    QCOMPARE(grid.text(formats), text);
    FilterExpr::parse(expression); // the engine's syntax
}

void tst_GridFilter::parseValue_data()
{
    QTest::addColumn<QString>("input");
    QTest::addColumn<int>("type");
    QTest::addColumn<QVariant>("expected"); // invalid: refused
    QTest::newRow("date") << "3.5.2008" << int(FieldType::Date) << QVariant(QDate(2008, 5, 3));
    QTest::newRow("not a date") << "35.5.2008" << int(FieldType::Date) << QVariant();
    QTest::newRow("czech decimal") << "1,5" << int(FieldType::Number) << QVariant(1.5);
    QTest::newRow("dot decimal") << "2.25" << int(FieldType::Number) << QVariant(2.25);
    QTest::newRow("integer") << "42" << int(FieldType::Integer) << QVariant(qlonglong(42));
    QTest::newRow("not integer") << "4x" << int(FieldType::Integer) << QVariant();
    QTest::newRow("ano") << "ano" << int(FieldType::Logical) << QVariant(true);
    QTest::newRow("ne") << "ne" << int(FieldType::Logical) << QVariant(false);
}

void tst_GridFilter::parseValue()
{
    QFETCH(QString, input);
    QFETCH(int, type);
    QFETCH(QVariant, expected);
    const auto v = GridFilter::parseValue(input, FieldType(type), Formats());
    QCOMPARE(v.has_value(), expected.isValid());
    if (v)
        QCOMPARE(*v, expected);
}

QTEST_MAIN(tst_GridFilter)
#include "tst_gridfilter.moc"
