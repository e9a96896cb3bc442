#include "Field.h"

#include "DataSet.h"
#include "EngineError.h"
#include "Session.h"

#include <QLocale>
#include <cmath>

namespace lerk {

namespace {
// People read numbers with a decimal comma; stored and typed forms keep accepting the point.
QString czechDecimal(QString text)
{
    return text.replace(QLatin1Char('.'), QLatin1Char(','));
}
} // namespace

Field::Field(DataSet &dataSet, int index, Kind kind, QString name, FieldType type, int size)
    : m_dataSet(dataSet), m_index(index), m_kind(kind), m_name(std::move(name)), m_type(type), m_size(size)
{}

QVariant Field::value() const
{
    return m_dataSet.fieldValue(*this);
}

QString Field::asString() const
{
    return format(value(), false);
}

QString Field::displayText() const
{
    return format(value(), true);
}

QString Field::format(const QVariant &v, bool useDisplayFormat) const
{
    if (v.isNull())
        return {};
    const Formats &fmt = m_dataSet.session().formats();
    switch (m_type) {
    case FieldType::Date:
        return useDisplayFormat && !m_displayFormat.isEmpty() ? v.toDate().toString(m_displayFormat)
                                                              : fmt.formatDate(v.toDate());
    case FieldType::Time:
        return fmt.formatTime(v.toTime());
    case FieldType::Logical:
        return v.toBool() ? QStringLiteral("True") : QStringLiteral("False");
    case FieldType::Number:
        if (useDisplayFormat && !m_displayFormat.isEmpty()) {
            // Patterns like "0.000" or "###0": the digits after the point give the decimals.
            const int point = m_displayFormat.indexOf(QLatin1Char('.'));
            const int decimals = point < 0 ? 0 : int(m_displayFormat.size() - point - 1);
            return czechDecimal(QString::number(v.toDouble(), 'f', decimals));
        }
        return useDisplayFormat ? czechDecimal(QString::number(v.toDouble(), 'g', 15))
                                : QString::number(v.toDouble(), 'g', 15);
    default:
        return v.toString();
    }
}

qlonglong Field::asInteger() const
{
    const QVariant v = value();
    if (m_type == FieldType::Number)
        return qlonglong(std::trunc(v.toDouble()));
    return v.toLongLong();
}

double Field::asFloat() const
{
    return value().toDouble();
}

bool Field::asBoolean() const
{
    return value().toBool();
}

QDate Field::asDate() const
{
    return value().toDate();
}

QTime Field::asTime() const
{
    return value().toTime();
}

QVariant Field::convert(const QVariant &v) const
{
    if (v.isNull())
        return {};
    const bool isText = v.typeId() == QMetaType::QString;
    const QString text = isText ? v.toString() : QString();
    if (isText && text.trimmed().isEmpty() && m_type != FieldType::Text)
        return {};
    auto invalid = [&]() {
        return EngineError(ErrorCode::InvalidValue,
                           QStringLiteral("Hodnota \"%1\" není platná hodnota pole %2 (%3).")
                               .arg(v.toString(), m_name, fieldTypeCzechName(m_type)));
    };
    const Formats &fmt = m_dataSet.session().formats();
    switch (m_type) {
    case FieldType::Text: {
        QString s = v.toString();
        if (m_size > 0 && s.size() > m_size)
            s.truncate(m_size);
        return s.isEmpty() ? QVariant() : QVariant(s);
    }
    case FieldType::Short:
    case FieldType::Integer:
    case FieldType::AutoInc: {
        bool ok = false;
        qlonglong n = 0;
        if (isText) {
            n = text.trimmed().toLongLong(&ok);
        } else if (v.typeId() == QMetaType::Double) {
            const double d = v.toDouble();
            ok = std::isfinite(d) && d == std::trunc(d);
            n = qlonglong(d);
        } else {
            n = v.toLongLong(&ok);
        }
        const qlonglong lo = m_type == FieldType::Short ? -32768 : -2147483648LL;
        const qlonglong hi = m_type == FieldType::Short ? 32767 : 2147483647LL;
        if (!ok || n < lo || n > hi)
            throw invalid();
        return n;
    }
    case FieldType::Number: {
        bool ok = false;
        double d = 0;
        if (isText) {
            QString t = text.trimmed();
            d = t.toDouble(&ok);
            if (!ok)
                d = QString(t).replace(QLatin1Char(','), QLatin1Char('.')).toDouble(&ok);
        } else {
            d = v.toDouble(&ok);
        }
        if (!ok || !std::isfinite(d))
            throw invalid();
        return d;
    }
    case FieldType::Logical: {
        if (v.typeId() == QMetaType::Bool)
            return v.toBool();
        if (isText) {
            const QString t = text.trimmed().toLower();
            if (t == QLatin1String("true") || t == QLatin1String("t") || t == QLatin1String("1") ||
                t == QLatin1String("ano") || t == QLatin1String("a"))
                return true;
            if (t == QLatin1String("false") || t == QLatin1String("f") || t == QLatin1String("0") ||
                t == QLatin1String("ne") || t == QLatin1String("n"))
                return false;
            throw invalid();
        }
        return v.toLongLong() != 0;
    }
    case FieldType::Date: {
        if (v.typeId() == QMetaType::QDate)
            return v.toDate().isValid() ? v : QVariant();
        if (v.typeId() == QMetaType::QDateTime)
            return v.toDateTime().date();
        if (const auto d = fmt.parseDate(v.toString()))
            return *d;
        throw invalid();
    }
    case FieldType::Time: {
        if (v.typeId() == QMetaType::QTime)
            return v.toTime().isValid() ? v : QVariant();
        if (v.typeId() == QMetaType::QDateTime)
            return v.toDateTime().time();
        if (const auto t = fmt.parseTime(v.toString()))
            return *t;
        throw invalid();
    }
    }
    return v;
}

void Field::setValue(const QVariant &v)
{
    m_dataSet.setFieldValue(*this, v);
}

void Field::setAsString(const QString &text)
{
    setValue(text.isEmpty() ? QVariant() : QVariant(text));
}

} // namespace lerk
