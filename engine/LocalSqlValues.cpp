#include "LocalSqlValues.h"

#include "EngineError.h"

#include <QDate>
#include <QDateTime>
#include <QTime>
#include <limits>

namespace lerk {

namespace {

const QString StoredTimeFormat = QStringLiteral("HH:mm:ss");

[[noreturn]] void invalid(const QVariant &value, const FieldDef &field)
{
    throw EngineError(ErrorCode::InvalidValue,
                      QStringLiteral("Hodnota \"%1\" není platná pro pole %2 (%3).")
                          .arg(value.toString(), field.name, fieldTypeCzechName(field.type)));
}

bool isIntegral(const QVariant &v)
{
    switch (v.metaType().id()) {
    case QMetaType::Int:
    case QMetaType::UInt:
    case QMetaType::Long:
    case QMetaType::ULong:
    case QMetaType::LongLong:
    case QMetaType::ULongLong:
    case QMetaType::Short:
    case QMetaType::UShort:
        return true;
    default:
        return false;
    }
}

bool isFloating(const QVariant &v)
{
    return v.metaType().id() == QMetaType::Double || v.metaType().id() == QMetaType::Float;
}

std::optional<double> parseNumber(QString text)
{
    text = text.trimmed();
    // Czech workstations write a decimal comma; a text holding both is ambiguous and refused.
    if (text.contains(QLatin1Char(',')) && !text.contains(QLatin1Char('.')))
        text.replace(QLatin1Char(','), QLatin1Char('.'));
    bool ok = false;
    const double d = text.toDouble(&ok);
    if (!ok)
        return std::nullopt;
    return d;
}

QVariant storedInteger(const QVariant &value, const FieldDef &field)
{
    qlonglong n = 0;
    if (isIntegral(value)) {
        n = value.toLongLong();
    } else if (isFloating(value) || value.metaType().id() == QMetaType::QString) {
        const auto d =
            isFloating(value) ? std::optional<double>(value.toDouble()) : parseNumber(value.toString());
        // A fraction would be lost silently; refusing it keeps the data as the person meant it.
        if (!d || *d != double(qlonglong(*d)))
            invalid(value, field);
        n = qlonglong(*d);
    } else {
        invalid(value, field);
    }
    const qlonglong min = field.type == FieldType::Short ? std::numeric_limits<qint16>::min()
                                                         : std::numeric_limits<qint32>::min();
    const qlonglong max = field.type == FieldType::Short ? std::numeric_limits<qint16>::max()
                                                         : std::numeric_limits<qint32>::max();
    if (n < min || n > max)
        invalid(value, field);
    return n;
}

QVariant storedLogical(const QVariant &value, const FieldDef &field)
{
    if (value.metaType().id() == QMetaType::Bool)
        return value.toBool() ? 1 : 0;
    if (isIntegral(value) && (value.toLongLong() == 0 || value.toLongLong() == 1))
        return value.toLongLong();
    const QString t = value.toString().trimmed();
    // T/F is how dBase files write logical values.
    for (const char *yes : {"true", "t", "1"})
        if (t.compare(QLatin1String(yes), Qt::CaseInsensitive) == 0)
            return 1;
    for (const char *no : {"false", "f", "0"})
        if (t.compare(QLatin1String(no), Qt::CaseInsensitive) == 0)
            return 0;
    invalid(value, field);
}

} // namespace

QVariant toStoredValue(const QVariant &value, const FieldDef &field, const Formats &formats)
{
    if (value.isNull() || !value.isValid())
        return QVariant();
    // The engine knows no difference between a blank and an empty field.
    if (value.metaType().id() == QMetaType::QString && value.toString().isEmpty())
        return QVariant();

    switch (field.type) {
    case FieldType::Text:
        if (value.metaType().id() == QMetaType::QDate)
            return formats.formatDate(value.toDate());
        if (value.metaType().id() == QMetaType::QTime)
            return formats.formatTime(value.toTime());
        if (value.metaType().id() == QMetaType::Bool)
            return value.toBool() ? QStringLiteral("True") : QStringLiteral("False");
        return value.toString();
    case FieldType::Short:
    case FieldType::Integer:
    case FieldType::AutoInc:
        return storedInteger(value, field);
    case FieldType::Number:
        if (isIntegral(value) || isFloating(value))
            return value.toDouble();
        if (value.metaType().id() == QMetaType::QString)
            if (const auto d = parseNumber(value.toString()))
                return *d;
        invalid(value, field);
    case FieldType::Logical:
        return storedLogical(value, field);
    case FieldType::Date:
        if (value.metaType().id() == QMetaType::QDate && value.toDate().isValid())
            return value.toDate().toString(Qt::ISODate);
        if (value.metaType().id() == QMetaType::QDateTime && value.toDateTime().isValid())
            return value.toDateTime().date().toString(Qt::ISODate);
        if (value.metaType().id() == QMetaType::QString)
            if (const auto d = formats.parseDate(value.toString()))
                return d->toString(Qt::ISODate);
        invalid(value, field);
    case FieldType::Time:
        if (value.metaType().id() == QMetaType::QTime && value.toTime().isValid())
            return value.toTime().toString(StoredTimeFormat);
        if (value.metaType().id() == QMetaType::QDateTime && value.toDateTime().isValid())
            return value.toDateTime().time().toString(StoredTimeFormat);
        if (value.metaType().id() == QMetaType::QString)
            if (const auto t = formats.parseTime(value.toString()))
                return t->toString(StoredTimeFormat);
        invalid(value, field);
    }
    invalid(value, field);
}

QVariant fromStoredValue(const QVariant &stored, FieldType type)
{
    if (stored.isNull() || !stored.isValid())
        return QVariant();
    switch (type) {
    case FieldType::Text:
        return stored.toString();
    case FieldType::Short:
    case FieldType::Integer:
    case FieldType::AutoInc:
        return stored.toLongLong();
    case FieldType::Number:
        return stored.toDouble();
    case FieldType::Logical:
        return stored.toLongLong() != 0;
    case FieldType::Date: {
        const QDate d = QDate::fromString(stored.toString(), Qt::ISODate);
        return d.isValid() ? QVariant(d) : stored;
    }
    case FieldType::Time: {
        QTime t = QTime::fromString(stored.toString(), StoredTimeFormat);
        if (!t.isValid())
            t = QTime::fromString(stored.toString(), QStringLiteral("HH:mm"));
        return t.isValid() ? QVariant(t) : stored;
    }
    }
    return stored;
}

} // namespace lerk
