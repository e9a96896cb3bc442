#pragma once

#include <QDate>
#include <QString>
#include <QTime>
#include <optional>

namespace lerk {

// The workstation's date and time formats: every date a person types or reads, and every date quoted
// in a filter or statement, is in the short date format.
struct Formats
{
    QString shortDate = QStringLiteral("d.M.yyyy");
    QString longTime = QStringLiteral("H:mm:ss");

    // Reads a date in the short date format; also accepts ISO (YYYY-MM-DD) so that stored values and
    // command-line input work. Leading and trailing blanks are ignored. Empty optional when not a date.
    std::optional<QDate> parseDate(const QString &text) const;
    std::optional<QTime> parseTime(const QString &text) const;
    QString formatDate(const QDate &date) const;
    QString formatTime(const QTime &time) const;
};

} // namespace lerk
