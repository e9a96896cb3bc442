#include "Formats.h"

namespace lerk {

std::optional<QDate> Formats::parseDate(const QString &text) const
{
    const QString t = text.trimmed();
    if (t.isEmpty())
        return std::nullopt;
    QDate d = QDate::fromString(t, shortDate);
    if (!d.isValid())
        d = QDate::fromString(t, Qt::ISODate);
    // Two-digit years are read in the current century window, as a person writing "3.5.08" means.
    if (!d.isValid() && shortDate.contains(QLatin1String("yyyy"))) {
        QString shortYear = shortDate;
        shortYear.replace(QLatin1String("yyyy"), QLatin1String("yy"));
        d = QDate::fromString(t, shortYear);
        if (d.isValid() && d.year() < 1950)
            d = d.addYears(100);
    }
    if (!d.isValid())
        return std::nullopt;
    return d;
}

std::optional<QTime> Formats::parseTime(const QString &text) const
{
    const QString t = text.trimmed();
    if (t.isEmpty())
        return std::nullopt;
    for (const QString &f :
         {longTime, QStringLiteral("HH:mm:ss"), QStringLiteral("H:mm"), QStringLiteral("HH:mm")}) {
        const QTime time = QTime::fromString(t, f);
        if (time.isValid())
            return time;
    }
    return std::nullopt;
}

QString Formats::formatDate(const QDate &date) const
{
    return date.isValid() ? date.toString(shortDate) : QString();
}

QString Formats::formatTime(const QTime &time) const
{
    return time.isValid() ? time.toString(longTime) : QString();
}

} // namespace lerk
