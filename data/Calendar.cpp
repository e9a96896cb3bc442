#include "Calendar.h"

namespace lerk {

namespace {
constexpr int MonthLengths[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
}

bool IsLeapYear(int year)
{
    return year % 4 == 0 && (year % 100 != 0 || year % 400 == 0);
}

int DaysInMonth(int month, int year)
{
    if (month < 1 || month > 12)
        return 0;
    return MonthLengths[month - 1] + (month == 2 && IsLeapYear(year) ? 1 : 0);
}

int WeekOfYear(const QDate &date)
{
    if (!date.isValid())
        return 0;
    int dayOfYear = date.day();
    for (int m = 1; m < date.month(); ++m)
        dayOfYear += DaysInMonth(m, date.year());
    return dayOfYear / 7 + 1;
}

QString RoadDesignation(const QString &roadClass, const QString &roadNumber)
{
    if (roadNumber.isEmpty())
        return {};
    QString prefix;
    if (roadClass == QLatin1String("1"))
        prefix = QStringLiteral("I/");
    else if (roadClass == QLatin1String("2"))
        prefix = QStringLiteral("II/");
    else if (roadClass == QLatin1String("3"))
        prefix = QStringLiteral("III/");
    else
        prefix = QStringLiteral("?/");
    return prefix + roadNumber;
}

} // namespace lerk
