#pragma once

#include <QDate>
#include <QString>
#include <QVariant>

namespace lerk {

// Calendar helpers of the data module. The week number deliberately ignores weekdays: the inspection
// schedules and the protocols count weeks from 1 January in steps of seven days.

bool IsLeapYear(int year);
// Days of a month (1 to 12) in a year; 0 for a month outside 1 to 12.
int DaysInMonth(int month, int year);
// Day of the year div 7 + 1: 1 to 6 January is week 1, 7 to 13 January week 2, ...; the last two or three
// days of the year form week 53. 0 for an invalid date.
int WeekOfYear(const QDate &date);

// Road designation from a road class and a road number: "I/", "II/", "III/" or "?/" followed by the
// number; empty when the number is empty, whatever the class.
QString RoadDesignation(const QString &roadClass, const QString &roadNumber);

} // namespace lerk
