#include "Calendar.h"

#include <QTest>

using namespace lerk;

class TestCalendar : public QObject
{
    Q_OBJECT
private slots:
    void weekOfYear_data();
    void weekOfYear();
    void daysInMonth_data();
    void daysInMonth();
    void isLeapYear_data();
    void isLeapYear();
    void roadDesignation_data();
    void roadDesignation();
};

void TestCalendar::weekOfYear_data()
{
    QTest::addColumn<QDate>("date");
    QTest::addColumn<int>("week");
    for (int year : {2007, 2008}) {
        const QByteArray y = QByteArray::number(year);
        QTest::newRow("1 January " + y) << QDate(year, 1, 1) << 1;
        QTest::newRow("6 January " + y) << QDate(year, 1, 6) << 1;
        QTest::newRow("7 January " + y) << QDate(year, 1, 7) << 2;
        QTest::newRow("14 January " + y) << QDate(year, 1, 14) << 3;
        QTest::newRow("1 March " + y) << QDate(year, 3, 1) << 9;
    }
    QTest::newRow("29 December 2007 (day 363)") << QDate(2007, 12, 29) << 52;
    QTest::newRow("30 December 2007 (day 364)") << QDate(2007, 12, 30) << 53;
    QTest::newRow("31 December 2007") << QDate(2007, 12, 31) << 53;
    QTest::newRow("28 December 2008 (day 363)") << QDate(2008, 12, 28) << 52;
    QTest::newRow("29 December 2008 (day 364)") << QDate(2008, 12, 29) << 53;
    QTest::newRow("31 December 2008 (day 366)") << QDate(2008, 12, 31) << 53;
    QTest::newRow("invalid date") << QDate() << 0;
}

void TestCalendar::weekOfYear()
{
    QFETCH(QDate, date);
    QFETCH(int, week);
    QCOMPARE(WeekOfYear(date), week);
}

void TestCalendar::daysInMonth_data()
{
    QTest::addColumn<int>("month");
    QTest::addColumn<int>("year");
    QTest::addColumn<int>("days");
    QTest::newRow("February 1900") << 2 << 1900 << 28;
    QTest::newRow("February 2000") << 2 << 2000 << 29;
    QTest::newRow("February 2008") << 2 << 2008 << 29;
    QTest::newRow("February 2007") << 2 << 2007 << 28;
    QTest::newRow("January") << 1 << 2007 << 31;
    QTest::newRow("April") << 4 << 2008 << 30;
    QTest::newRow("December") << 12 << 2008 << 31;
    QTest::newRow("month 0") << 0 << 2008 << 0;
    QTest::newRow("month 13") << 13 << 2008 << 0;
}

void TestCalendar::daysInMonth()
{
    QFETCH(int, month);
    QFETCH(int, year);
    QFETCH(int, days);
    QCOMPARE(DaysInMonth(month, year), days);
}

void TestCalendar::isLeapYear_data()
{
    QTest::addColumn<int>("year");
    QTest::addColumn<bool>("leap");
    QTest::newRow("1900") << 1900 << false;
    QTest::newRow("2000") << 2000 << true;
    QTest::newRow("2007") << 2007 << false;
    QTest::newRow("2008") << 2008 << true;
    QTest::newRow("2100") << 2100 << false;
}

void TestCalendar::isLeapYear()
{
    QFETCH(int, year);
    QFETCH(bool, leap);
    QCOMPARE(IsLeapYear(year), leap);
}

void TestCalendar::roadDesignation_data()
{
    QTest::addColumn<QString>("roadClass");
    QTest::addColumn<QString>("number");
    QTest::addColumn<QString>("designation");
    QTest::newRow("class 1") << "1"
                             << "12"
                             << "I/12";
    QTest::newRow("class 2") << "2"
                             << "101"
                             << "II/101";
    QTest::newRow("class 3") << "3"
                             << "123"
                             << "III/123";
    QTest::newRow("class 3, empty number") << "3"
                                           << ""
                                           << "";
    QTest::newRow("empty class, number 12") << ""
                                            << "12"
                                            << "?/12";
    QTest::newRow("class 5") << "5"
                             << "7"
                             << "?/7";
    QTest::newRow("class not a digit") << "x"
                                       << "7"
                                       << "?/7";
}

void TestCalendar::roadDesignation()
{
    QFETCH(QString, roadClass);
    QFETCH(QString, number);
    QFETCH(QString, designation);
    QCOMPARE(RoadDesignation(roadClass, number), designation);
}

QTEST_GUILESS_MAIN(TestCalendar)
#include "tst_calendar.moc"
