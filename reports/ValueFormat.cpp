#include "ValueFormat.h"

#include "Formats.h"

#include <QDate>
#include <QTime>
#include <algorithm>
#include <cmath>

namespace lerk {

namespace {

const QChar DecimalComma(u',');
const QChar GroupSpace(u'\u00a0'); // a thousands group never breaks across lines

bool isNumericFormat(const QString &format)
{
    if (format.isEmpty())
        return false;
    for (const QChar c : format)
        if (c != QLatin1Char('0') && c != QLatin1Char('#') && c != QLatin1Char('.') && c != QLatin1Char(','))
            return false;
    return true;
}

QString groupThousands(const QString &digits)
{
    QString out;
    const int n = int(digits.size());
    for (int i = 0; i < n; ++i) {
        if (i > 0 && (n - i) % 3 == 0)
            out += GroupSpace;
        out += digits[i];
    }
    return out;
}

QString formatNumber(double value, const QString &format)
{
    const int point = int(format.indexOf(QLatin1Char('.')));
    const QString whole = point < 0 ? format : format.left(point);
    const int decimals = point < 0 ? 0 : int(format.size() - point - 1);
    const bool grouping = whole.contains(QLatin1Char(','));
    const int minDigits = int(whole.count(QLatin1Char('0')));

    QString text = QString::number(std::fabs(value), 'f', decimals);
    const bool negative = value < 0 && std::any_of(text.cbegin(), text.cend(), [](QChar c) {
                              return c >= QLatin1Char('1') && c <= QLatin1Char('9');
                          });
    QString intPart = text.section(QLatin1Char('.'), 0, 0);
    const QString fraction = decimals > 0 ? text.section(QLatin1Char('.'), 1, 1) : QString();
    while (intPart.size() < minDigits)
        intPart.prepend(QLatin1Char('0'));
    if (minDigits == 0 && intPart == QLatin1String("0") && decimals > 0)
        intPart.clear(); // "#.00" writes ",50" as the pattern asks
    if (grouping)
        intPart = groupThousands(intPart);
    QString out = intPart;
    if (decimals > 0)
        out += DecimalComma + fraction;
    return negative ? QStringLiteral("-") + out : out;
}

QString plainNumber(const QVariant &v)
{
    if (v.typeId() != QMetaType::Double)
        return QString::number(v.toLongLong());
    const double d = v.toDouble();
    if (!std::isfinite(d))
        return {};
    if (d == std::trunc(d) && std::fabs(d) < 1e15)
        return QString::number(qlonglong(d));
    QString s = QString::number(d, 'g', 12);
    s.replace(QLatin1Char('.'), DecimalComma);
    return s;
}

} // namespace

QString formatValue(const QVariant &value, const QString &format, const Formats &formats)
{
    if (value.isNull() || !value.isValid())
        return {};
    switch (value.typeId()) {
    case QMetaType::Bool: {
        if (format.contains(QLatin1Char(';')))
            return format.section(QLatin1Char(';'), value.toBool() ? 0 : 1, value.toBool() ? 0 : 1);
        return value.toBool() ? QStringLiteral("Ano") : QStringLiteral("Ne");
    }
    case QMetaType::QDate: {
        const QDate d = value.toDate();
        if (format.isEmpty() || format.compare(QLatin1String("short"), Qt::CaseInsensitive) == 0)
            return formats.formatDate(d);
        return d.toString(format);
    }
    case QMetaType::QTime: {
        const QTime t = value.toTime();
        return format.isEmpty() ? formats.formatTime(t) : t.toString(format);
    }
    case QMetaType::Int:
    case QMetaType::UInt:
    case QMetaType::LongLong:
    case QMetaType::ULongLong:
    case QMetaType::Double:
        if (isNumericFormat(format))
            return formatNumber(value.toDouble(), format);
        return plainNumber(value);
    default:
        return value.toString();
    }
}

} // namespace lerk
