#include "DataSet.h"

#include "Database.h"
#include "Session.h"

#include <QSqlRecord>
#include <algorithm>
#include <climits>

namespace lerk {

namespace {
constexpr int PageSize = 256;
constexpr int MaxPages = 32;

// SQLite's order of stored values: empty first, then numbers, then text.
int compareStored(const QVariant &a, const QVariant &b, FieldType type, bool caseInsensitive)
{
    if (a.isNull() || b.isNull())
        return a.isNull() == b.isNull() ? 0 : (a.isNull() ? -1 : 1);
    switch (type) {
    case FieldType::Text: {
        const QString x = a.toString();
        const QString y = b.toString();
        if (caseInsensitive) {
            // NOCASE folds ASCII letters only.
            auto fold = [](QString s) {
                for (QChar &c : s)
                    if (c.unicode() < 128)
                        c = c.toLower();
                return s;
            };
            const QByteArray fx = fold(x).toUtf8();
            const QByteArray fy = fold(y).toUtf8();
            return fx < fy ? -1 : (fy < fx ? 1 : 0);
        }
        const QByteArray ux = x.toUtf8();
        const QByteArray uy = y.toUtf8();
        return ux < uy ? -1 : (uy < ux ? 1 : 0);
    }
    case FieldType::Date:
        return a.toDate() < b.toDate() ? -1 : (b.toDate() < a.toDate() ? 1 : 0);
    case FieldType::Time:
        return a.toTime() < b.toTime() ? -1 : (b.toTime() < a.toTime() ? 1 : 0);
    case FieldType::Number: {
        const double x = a.toDouble(), y = b.toDouble();
        return x < y ? -1 : (y < x ? 1 : 0);
    }
    default: {
        const qlonglong x = a.toLongLong(), y = b.toLongLong();
        return x < y ? -1 : (y < x ? 1 : 0);
    }
    }
}

// Stored dates are always YYYY-MM-DD; reading them is on the path of every fetched row.
QDate parseIsoDate(const QString &s)
{
    if (s.size() != 10 || s[4] != QLatin1Char('-') || s[7] != QLatin1Char('-'))
        return QDate::fromString(s, Qt::ISODate);
    auto digits = [&](int from, int count) {
        int v = 0;
        for (int i = from; i < from + count; ++i) {
            const int d = s[i].unicode() - '0';
            if (d < 0 || d > 9)
                return -1;
            v = v * 10 + d;
        }
        return v;
    };
    const int y = digits(0, 4), m = digits(5, 2), d = digits(8, 2);
    return y < 0 || m < 0 || d < 0 ? QDate() : QDate(y, m, d);
}

QStringList splitFieldList(const QString &list)
{
    QStringList out;
    for (const QString &part : list.split(QLatin1Char(';'), Qt::SkipEmptyParts))
        if (!part.trimmed().isEmpty())
            out << part.trimmed();
    return out;
}

EngineError notActive(const QString &name)
{
    return EngineError(ErrorCode::NotOpen, QStringLiteral("Datová sada %1 není otevřena.").arg(name));
}
} // namespace

// A lookup field's source: a prepared single-row query, or a map read once for cached lookups.
struct DataSet::Lookup
{
    Field *field = nullptr;
    QList<int> keyIndexes; // this dataset's key fields
    QList<FieldType> keyTypes;
    QSqlQuery query;
    bool prepared = false;
    bool loaded = false;
    QHash<QString, QVariant> cache;
    FieldType resultType = FieldType::Text;
};

DataSet::DataSet(Session &session, QObject *parent) : QObject(parent), m_session(session) {}

DataSet::~DataSet() = default;

// ---------------------------------------------------------------------------------------------------
// fields

void DataSet::buildFields()
{
    if (m_fieldsBuilt)
        return;
    const QList<FieldDef> defs = storedFieldDefs();
    QList<FieldDef> chosen;
    if (m_fieldNames.isEmpty()) {
        chosen = defs;
    } else {
        for (const QString &name : m_fieldNames) {
            auto it = std::find_if(defs.begin(), defs.end(), [&](const FieldDef &d) {
                return d.name.compare(name, Qt::CaseInsensitive) == 0;
            });
            if (it == defs.end())
                throw EngineError(
                    ErrorCode::UnknownField,
                    QStringLiteral("Pole %1 v datové sadě %2 neexistuje.").arg(name, displayName()));
            chosen << *it;
        }
    }
    // Derived fields added before the stored ones were known keep their objects; stored fields are
    // rebuilt only when the definition changes (a new statement of a query).
    std::vector<std::unique_ptr<Field>> derived;
    for (auto &f : m_fieldStore)
        if (!f->isStored())
            derived.push_back(std::move(f));
    std::vector<std::unique_ptr<Field>> stored;
    for (auto &f : m_fieldStore)
        if (f)
            stored.push_back(std::move(f));
    m_fieldStore.clear();
    m_fields.clear();
    for (const FieldDef &d : chosen) {
        auto existing = std::find_if(stored.begin(), stored.end(), [&](const std::unique_ptr<Field> &f) {
            return f && f->name().compare(d.name, Qt::CaseInsensitive) == 0 && f->type() == d.type;
        });
        std::unique_ptr<Field> f;
        if (existing != stored.end()) {
            f = std::make_unique<Field>(*this, int(m_fieldStore.size()), Field::Kind::Data, d.name, d.type,
                                        d.size);
            f->setDisplayLabel(
                (*existing)->displayLabel() == (*existing)->name() ? QString() : (*existing)->displayLabel());
            f->setDisplayFormat((*existing)->displayFormat());
            f->setVisible((*existing)->isVisible());
            f->onChange = (*existing)->onChange;
            f->onValidate = (*existing)->onValidate;
        } else {
            f = std::make_unique<Field>(*this, int(m_fieldStore.size()), Field::Kind::Data, d.name, d.type,
                                        d.size);
        }
        m_fields << f.get();
        m_fieldStore.push_back(std::move(f));
    }
    m_storedCount = int(m_fieldStore.size());
    for (auto &f : derived) {
        auto copy = std::make_unique<Field>(*this, int(m_fieldStore.size()), f->kind(), f->name(), f->type(),
                                            f->size());
        copy->setDisplayLabel(f->displayLabel() == f->name() ? QString() : f->displayLabel());
        copy->setDisplayFormat(f->displayFormat());
        copy->setVisible(f->isVisible());
        copy->setLookup(f->lookup());
        copy->onChange = f->onChange;
        copy->onValidate = f->onValidate;
        m_fields << copy.get();
        m_fieldStore.push_back(std::move(copy));
    }
    m_fieldsBuilt = true;
}

QList<Field *> DataSet::fields()
{
    buildFields();
    return m_fields;
}

int DataSet::fieldCount()
{
    buildFields();
    return int(m_fields.size());
}

Field *DataSet::findField(const QString &name)
{
    buildFields();
    for (Field *f : std::as_const(m_fields))
        if (f->name().compare(name, Qt::CaseInsensitive) == 0)
            return f;
    return nullptr;
}

Field &DataSet::fieldByName(const QString &name)
{
    if (Field *f = findField(name))
        return *f;
    throw EngineError(ErrorCode::UnknownField,
                      QStringLiteral("Pole %1 v datové sadě %2 neexistuje.").arg(name, displayName()));
}

Field &DataSet::field(int index)
{
    buildFields();
    return *m_fields.at(index);
}

Field &DataSet::addCalculatedField(const QString &name, FieldType type, int size, const QString &label)
{
    buildFields();
    auto f =
        std::make_unique<Field>(*this, int(m_fieldStore.size()), Field::Kind::Calculated, name, type, size);
    f->setDisplayLabel(label);
    m_fields << f.get();
    m_fieldStore.push_back(std::move(f));
    return *m_fields.last();
}

Field &DataSet::addLookupField(const QString &name, FieldType type, int size, const Field::LookupDef &def,
                               const QString &label)
{
    buildFields();
    auto f = std::make_unique<Field>(*this, int(m_fieldStore.size()), Field::Kind::Lookup, name, type, size);
    f->setDisplayLabel(label);
    f->setLookup(def);
    m_fields << f.get();
    m_fieldStore.push_back(std::move(f));
    return *m_fields.last();
}

// ---------------------------------------------------------------------------------------------------
// storage conversion

QVariant DataSet::toStorage(const QVariant &v, FieldType type)
{
    if (v.isNull())
        return QVariant();
    switch (type) {
    case FieldType::Date:
        return v.toDate().toString(Qt::ISODate);
    case FieldType::Time:
        return v.toTime().toString(QStringLiteral("HH:mm:ss"));
    case FieldType::Logical:
        return v.toBool() ? 1 : 0;
    case FieldType::Text: {
        const QString s = v.toString();
        return s.isEmpty() ? QVariant() : QVariant(s);
    }
    default:
        return v;
    }
}

QVariant DataSet::fromStorage(const QVariant &v, FieldType type)
{
    if (v.isNull())
        return QVariant();
    switch (type) {
    case FieldType::Date: {
        const QDate d = parseIsoDate(v.toString());
        return d.isValid() ? QVariant(d) : QVariant();
    }
    case FieldType::Time: {
        const QTime t = QTime::fromString(v.toString(), Qt::ISODate);
        return t.isValid() ? QVariant(t) : QVariant();
    }
    case FieldType::Logical:
        return v.toLongLong() != 0;
    case FieldType::Text: {
        const QString s = v.toString();
        return s.isEmpty() ? QVariant() : QVariant(s);
    }
    case FieldType::Number:
        return v.toDouble();
    default:
        return v.toLongLong();
    }
}

// ---------------------------------------------------------------------------------------------------
// open and close

ColumnResolver DataSet::resolver()
{
    buildFields();
    const QList<ColumnInfo> columns = m_source.materialized ? m_source.columns : QList<ColumnInfo>();
    return [this, columns](const QString &name) -> std::optional<ColumnInfo> {
        for (int i = 0; i < m_storedCount; ++i) {
            Field *f = m_fields[i];
            if (f->name().compare(name, Qt::CaseInsensitive) == 0)
                return ColumnInfo{f->name(), quoteIdentifier(f->name()), f->type(), f->size()};
        }
        if (m_source.database && !m_source.materialized) {
            // Filters may name stored fields the dataset does not show (a key left out of the field list).
            for (const ColumnInfo &c : m_source.database->columns(m_source.table))
                if (c.name.compare(name, Qt::CaseInsensitive) == 0)
                    return c;
        }
        return std::nullopt;
    };
}

SqlFragment DataSet::combinedWhere()
{
    return combinedWhere(m_viewFilter);
}

SqlFragment DataSet::combinedWhere(const FilterExpr &view)
{
    QStringList parts;
    SqlFragment out;
    if (!m_source.where.isEmpty()) {
        parts << QLatin1Char('(') + m_source.where.sql + QLatin1Char(')');
        out.binds << m_source.where.binds;
    }
    if (m_filtered && !m_filter.isEmpty()) {
        const SqlFragment f = m_filter.toSql(resolver(), m_session.formats());
        parts << QLatin1Char('(') + f.sql + QLatin1Char(')');
        out.binds << f.binds;
    }
    if (m_master) {
        for (int i = 0; i < m_detailFields.size(); ++i) {
            Field &f = fieldByName(m_detailFields[i]);
            parts << quoteIdentifier(f.name()) + QStringLiteral(" = ?");
            out.binds << toStorage(m_rangeValues.value(i), f.type());
        }
    }
    if (!view.isEmpty()) {
        const SqlFragment v = view.toSql(resolver(), m_session.formats());
        parts << QLatin1Char('(') + v.sql + QLatin1Char(')');
        out.binds << v.binds;
    }
    out.sql = parts.join(QStringLiteral(" AND "));
    return out;
}

QList<QPair<QString, bool>> DataSet::effectiveOrder() const
{
    QList<QPair<QString, bool>> order;
    for (const SortKey &k : m_viewOrder)
        order << qMakePair(k.field, k.descending);
    for (const auto &o : m_source.order) {
        const bool taken = std::any_of(m_viewOrder.begin(), m_viewOrder.end(), [&](const SortKey &k) {
            return k.field.compare(o.first, Qt::CaseInsensitive) == 0;
        });
        if (!taken)
            order << o;
    }
    return order;
}

void DataSet::setView(const FilterExpr &filter, const QList<SortKey> &order)
{
    const ColumnResolver columns = resolver();
    if (!filter.isEmpty())
        filter.toSql(columns, m_session.formats());
    QList<SortKey> resolved;
    for (const SortKey &k : order) {
        const auto c = columns(k.field);
        if (!c)
            throw EngineError(
                ErrorCode::UnknownField,
                QStringLiteral("Pole %1 pro třídění datové sady %2 neexistuje.").arg(k.field, displayName()));
        resolved << SortKey{c->name, k.descending};
    }
    const FilterExpr oldFilter = m_viewFilter;
    const QList<SortKey> oldOrder = m_viewOrder;
    m_viewFilter = filter;
    m_viewOrder = resolved;
    if (!isActive())
        return;
    try {
        checkBrowseMode();
        requery(true);
    } catch (...) {
        m_viewFilter = oldFilter;
        m_viewOrder = oldOrder;
        requery(true);
        throw;
    }
}

RowsSql DataSet::rowsSql()
{
    return rowsSql(m_viewFilter);
}

RowsSql DataSet::rowsSql(const FilterExpr &view)
{
    requireActive();
    RowsSql out;
    out.database = m_source.database;
    out.caseInsensitiveOrder = m_source.caseInsensitiveOrder;
    if (m_source.materialized) {
        out.from = QLatin1Char('(') + m_source.sql.sql + QStringLiteral(") AS q");
        // The statement's own values come first: they stand in FROM, before WHERE.
        out.where.binds = m_source.sql.binds;
        QStringList parts;
        if (m_filtered && !m_filter.isEmpty()) {
            const SqlFragment f = m_filter.toSql(resolver(), m_session.formats());
            parts << QLatin1Char('(') + f.sql + QLatin1Char(')');
            out.where.binds << f.binds;
        }
        if (!view.isEmpty()) {
            const SqlFragment v = view.toSql(resolver(), m_session.formats());
            parts << QLatin1Char('(') + v.sql + QLatin1Char(')');
            out.where.binds << v.binds;
        }
        out.where.sql = parts.join(QStringLiteral(" AND "));
        return out;
    }
    out.from = quoteIdentifier(m_source.table);
    out.where = combinedWhere(view);
    return out;
}

void DataSet::open()
{
    if (isActive())
        return;
    buildFields();
    m_source = describeSource();
    m_lookups.clear();
    for (Field *f : std::as_const(m_fields)) {
        if (f->kind() != Field::Kind::Lookup)
            continue;
        auto l = std::make_unique<Lookup>();
        l->field = f;
        for (const QString &k : f->lookup().keyFields) {
            Field &kf = fieldByName(k);
            l->keyIndexes << kf.index();
            l->keyTypes << kf.type();
        }
        m_lookups.push_back(std::move(l));
    }
    QList<Database *> watched;
    if (m_source.database)
        watched << m_source.database;
    for (const auto &l : m_lookups)
        if (!l->field->lookup().alias.isEmpty())
            watched << &m_session.database(l->field->lookup().alias);
    for (Database *db : std::as_const(watched))
        m_tableChangedConnections << connect(db, &Database::tableChanged, this,
                                             [this](const QString &t) { invalidateLookups(t); });
    if (m_master)
        m_rangeValues = masterValues();
    m_state = DataSetState::Browse;
    try {
        requery(false);
    } catch (...) {
        m_state = DataSetState::Inactive;
        throw;
    }
    emit stateChanged();
}

void DataSet::reorder()
{
    if (!isActive())
        return;
    checkBrowseMode();
    const Source fresh = describeSource();
    m_source.order = fresh.order;
    m_source.caseInsensitiveOrder = fresh.caseInsensitiveOrder;
    requery(true);
}

void DataSet::close()
{
    if (!isActive())
        return;
    m_state = DataSetState::Inactive;
    for (const auto &c : std::as_const(m_tableChangedConnections))
        disconnect(c);
    m_tableChangedConnections.clear();
    m_ids.clear();
    m_ids.shrink_to_fit();
    m_rows.clear();
    m_pages.clear();
    m_pageAge.clear();
    m_fetchSql.clear();
    m_fetchTypes.clear();
    m_statements.clear();
    m_lookups.clear();
    m_current.clear();
    m_editRow.clear();
    m_modified = false;
    m_pos = -1;
    m_bof = m_eof = true;
    emit rowsReset();
    emit stateChanged();
}

void DataSet::requireActive() const
{
    if (!isActive())
        throw notActive(displayName());
}

void DataSet::requery(bool keepPosition)
{
    const qint64 keepId = keepPosition && m_pos >= 0 ? idAt(m_pos) : -1;
    const int oldPos = m_pos;
    m_pages.clear();
    m_pageAge.clear();
    if (m_source.materialized)
        loadMaterialized();
    else
        loadIds();
    int pos = -1;
    if (keepId >= 0)
        pos = indexOfId(keepId);
    if (pos < 0 && recordCount() > 0)
        pos = keepPosition ? std::clamp(oldPos, 0, recordCount() - 1) : 0;
    emit rowsReset();
    setPosition(pos);
    m_bof = pos <= 0;
    m_eof = recordCount() == 0;
}

void DataSet::loadIds()
{
    const SqlFragment where = combinedWhere();
    QStringList order;
    for (const auto &[field, desc] : std::as_const(m_source.order)) {
        QString term = quoteIdentifier(field);
        if (m_source.caseInsensitiveOrder)
            term += QStringLiteral(" COLLATE NOCASE");
        if (desc)
            term += QStringLiteral(" DESC");
        order << term;
    }
    order << quoteIdentifier(m_source.rowIdColumn);
    // With a view the rows come with its keys, still in the table's own order; see sortByView.
    QStringList columns{quoteIdentifier(m_source.rowIdColumn)};
    QList<FieldType> types{FieldType::Integer};
    for (const SortKey &k : std::as_const(m_viewOrder)) {
        columns << quoteIdentifier(k.field);
        types << fieldByName(k.field).type();
    }
    std::vector<qint64> ids;
    ViewKeys keys(int(m_viewOrder.size()));
    m_source.database->forEachRow(
        QStringLiteral("SELECT %1 FROM %2%3 ORDER BY %4")
            .arg(columns.join(QStringLiteral(", ")), quoteIdentifier(m_source.table),
                 where.isEmpty() ? QString() : QStringLiteral(" WHERE ") + where.sql,
                 order.join(QStringLiteral(", "))),
        where.binds, types, [&](QVariant *v) {
            ids.push_back(v[0].toLongLong());
            if (!m_viewOrder.isEmpty())
                keys.add(v + 1, types);
        });
    if (!m_viewOrder.isEmpty())
        sortByView(ids, keys, types.mid(1));
    m_ids.swap(ids);
}

void DataSet::ViewKeys::add(const QVariant *v, const QList<FieldType> &types)
{
    // One key text per row; a lone text key is its own key (an empty field gets a mark no text has).
    QString key;
    if (width == 1 && types[1] == FieldType::Text) {
        key = v[0].isNull() ? QStringLiteral("\x01") : v[0].toString();
    } else {
        for (int i = 0; i < width; ++i) {
            key += v[i].isNull() ? QStringLiteral("\x01") : QStringLiteral("\x02") + v[i].toString();
            key += QChar(0x1f);
        }
    }
    auto it = tupleOf.find(key);
    if (it == tupleOf.end()) {
        it = tupleOf.insert(key, int(tuples.size()));
        tuples.emplace_back(v, v + width);
    }
    rowTuple.push_back(*it);
}

// The rows are already in the table's own order; a stable sort by the view's keys alone gives the order
// "view keys, then the table's order". Asking SQL for that order instead makes it sort every row by
// every key (seconds on a million rows, where grouping by a district needs only a bucket per district).
void DataSet::sortByView(std::vector<qint64> &ids, const ViewKeys &keys, const QList<FieldType> &types)
{
    const int width = keys.width;
    std::vector<int> byOrder(keys.tuples.size());
    for (size_t i = 0; i < byOrder.size(); ++i)
        byOrder[i] = int(i);
    auto compareTuples = [&](int a, int b) {
        for (int i = 0; i < width; ++i) {
            int c = compareStored(keys.tuples[size_t(a)][i], keys.tuples[size_t(b)][i], types[i],
                                  m_source.caseInsensitiveOrder);
            if (m_viewOrder[i].descending)
                c = -c;
            if (c != 0)
                return c;
        }
        return 0;
    };
    std::sort(byOrder.begin(), byOrder.end(), [&](int a, int b) { return compareTuples(a, b) < 0; });
    // Tuples that compare equal (letter case under a case-insensitive order) share a rank.
    std::vector<int> rank(keys.tuples.size());
    for (size_t i = 0; i < byOrder.size(); ++i)
        rank[size_t(byOrder[i])] =
            i == 0 ? 0 : rank[size_t(byOrder[i - 1])] + (compareTuples(byOrder[i - 1], byOrder[i]) != 0);
    std::vector<size_t> start(keys.tuples.size() + 1, 0);
    for (int t : keys.rowTuple)
        ++start[size_t(rank[size_t(t)]) + 1];
    for (size_t i = 1; i < start.size(); ++i)
        start[i] += start[i - 1];
    std::vector<qint64> sorted(ids.size());
    for (size_t i = 0; i < ids.size(); ++i)
        sorted[start[size_t(rank[size_t(keys.rowTuple[i])])]++] = ids[i];
    ids.swap(sorted);
}

void DataSet::loadMaterialized()
{
    const RowsSql rows = rowsSql();
    QStringList order;
    for (const SortKey &k : std::as_const(m_viewOrder))
        order << quoteIdentifier(k.field) + (k.descending ? QStringLiteral(" DESC") : QString());
    const QString sql =
        QStringLiteral("SELECT * FROM %1%2%3")
            .arg(rows.from, rows.where.isEmpty() ? QString() : QStringLiteral(" WHERE ") + rows.where.sql,
                 order.isEmpty() ? QString()
                                 : QStringLiteral(" ORDER BY ") + order.join(QStringLiteral(", ")));
    QSqlQuery q = m_source.database->exec(sql, rows.where.binds, displayName());
    m_rows.clear();
    while (q.next()) {
        Row row(m_fields.size() + 1);
        for (int i = 0; i < m_storedCount; ++i)
            row[i] = fromStorage(q.value(i), m_fields[i]->type());
        computeDerived(row);
        m_rows.push_back(std::move(row));
    }
}

// ---------------------------------------------------------------------------------------------------
// rows

qint64 DataSet::idAt(int row) const
{
    if (m_source.materialized)
        return row;
    return m_ids[size_t(row)];
}

int DataSet::indexOfId(qint64 id) const
{
    if (m_source.materialized)
        return id >= 0 && id < qint64(m_rows.size()) ? int(id) : -1;
    const auto it = std::find(m_ids.begin(), m_ids.end(), id);
    return it == m_ids.end() ? -1 : int(it - m_ids.begin());
}

int DataSet::recordCount() const
{
    if (!isActive())
        return 0;
    return m_source.materialized ? int(m_rows.size()) : int(m_ids.size());
}

bool DataSet::isEmpty() const
{
    return recordCount() == 0 && m_state != DataSetState::Insert;
}

bool DataSet::isRowCached(int row) const
{
    return m_source.materialized || m_pages.contains(row / PageSize);
}

std::vector<Row> DataSet::fetchRows(const qint64 *ids, int n, bool withDerived)
{
    QString &sql = m_fetchSql[n];
    if (sql.isEmpty()) {
        QStringList cols;
        cols << quoteIdentifier(m_source.rowIdColumn);
        for (int i = 0; i < m_storedCount; ++i)
            cols << quoteIdentifier(m_fields[i]->name());
        cols << quoteIdentifier(RowVersionColumn);
        QStringList marks(n, QStringLiteral("?"));
        sql = QStringLiteral("SELECT %1 FROM %2 WHERE %3 IN (%4)")
                  .arg(cols.join(QStringLiteral(", ")), quoteIdentifier(m_source.table),
                       quoteIdentifier(m_source.rowIdColumn), marks.join(QStringLiteral(", ")));
    }
    if (m_fetchTypes.isEmpty()) {
        for (int i = 0; i < m_storedCount; ++i)
            m_fetchTypes << m_fields[i]->type();
        m_fetchTypes << FieldType::Integer; // row version
    }
    std::vector<Row> rows;
    rows.resize(size_t(n));
    const int width = int(m_fields.size()) + 1;
    // Ids come in their order in the set; a page is a run of them, so a small linear probe from the
    // last hit finds each returned row's slot.
    int hint = 0;
    QSqlDatabase db = m_source.database->connection();
    m_source.database->backend().readRowsById(db, sql, m_fetchTypes, ids, n,
                                              [&](qint64 id, QVariant *values) {
                                                  int at = -1;
                                                  for (int k = 0; k < n; ++k) {
                                                      const int probe = (hint + k) % n;
                                                      if (ids[probe] == id) {
                                                          at = probe;
                                                          break;
                                                      }
                                                  }
                                                  if (at < 0)
                                                      return;
                                                  hint = at + 1;
                                                  Row row(width);
                                                  for (int i = 0; i < m_storedCount; ++i)
                                                      row[i] = std::move(values[i]);
                                                  row[width - 1] = std::move(values[m_storedCount]);
                                                  if (withDerived)
                                                      computeDerived(row);
                                                  rows[size_t(at)] = std::move(row);
                                              });
    // A row deleted by another workstation since the ids were read shows as an empty row until refresh.
    for (Row &r : rows)
        if (r.isEmpty())
            r = Row(width);
    return rows;
}

void DataSet::fetchPage(int page)
{
    const int from = page * PageSize;
    const int to = std::min<int>(from + PageSize, int(m_ids.size()));
    if (to <= from)
        return;
    m_pages.insert(page, fetchRows(m_ids.data() + from, to - from));
    m_pageAge.removeAll(page);
    m_pageAge.append(page);
    while (m_pageAge.size() > MaxPages)
        m_pages.remove(m_pageAge.takeFirst());
}

const Row &DataSet::rowAt(int row)
{
    requireActive();
    if (m_source.materialized)
        return m_rows.at(size_t(row));
    const int page = row / PageSize;
    if (!m_pages.contains(page))
        fetchPage(page);
    else if (m_pageAge.last() != page) {
        m_pageAge.removeAll(page);
        m_pageAge.append(page);
    }
    return m_pages[page][size_t(row % PageSize)];
}

void DataSet::computeDerived(Row &row)
{
    if (m_storedCount == m_fields.size())
        return;
    for (auto &l : m_lookups)
        row[l->field->index()] = lookupResult(*l->field, row);
    if (onCalcFields) {
        Row *saved = m_calcTarget;
        m_calcTarget = &row;
        try {
            onCalcFields(*this);
        } catch (...) {
            m_calcTarget = saved;
            throw;
        }
        m_calcTarget = saved;
    }
}

QVariant DataSet::lookupResult(Field &f, const Row &row)
{
    Lookup *l = nullptr;
    for (auto &candidate : m_lookups)
        if (candidate->field == &f)
            l = candidate.get();
    if (!l || !m_source.database)
        return {};
    const Field::LookupDef &def = f.lookup();
    QVariantList keys;
    for (int i = 0; i < l->keyIndexes.size(); ++i) {
        const QVariant k = row.value(l->keyIndexes[i]);
        if (k.isNull())
            return {};
        keys << toStorage(k, l->keyTypes[i]);
    }
    Database &db = def.alias.isEmpty() ? *m_source.database : m_session.database(def.alias);
    const TableDef &target = db.tableDef(def.table);
    if (const FieldDef *rd = target.field(def.resultField))
        l->resultType = rd->type;
    if (def.cached) {
        if (!l->loaded) {
            QStringList cols;
            for (const QString &k : def.tableKeyFields)
                cols << quoteIdentifier(k);
            QSqlQuery q = db.exec(QStringLiteral("SELECT %1, %2 FROM %3")
                                      .arg(cols.join(QStringLiteral(", ")), quoteIdentifier(def.resultField),
                                           quoteIdentifier(target.name)),
                                  {}, def.table);
            l->cache.clear();
            while (q.next()) {
                QStringList key;
                for (int i = 0; i < cols.size(); ++i)
                    key << q.value(i).toString();
                const QString joined = key.join(QChar(0x1f));
                if (!l->cache.contains(joined))
                    l->cache.insert(joined, fromStorage(q.value(cols.size()), l->resultType));
            }
            l->loaded = true;
        }
        QStringList key;
        for (const QVariant &k : keys)
            key << k.toString();
        return l->cache.value(key.join(QChar(0x1f)));
    }
    if (!l->prepared) {
        QStringList terms;
        for (const QString &k : def.tableKeyFields)
            terms << quoteIdentifier(k) + QStringLiteral(" = ?");
        l->query = QSqlQuery(db.connection());
        l->query.setForwardOnly(true);
        if (!l->query.prepare(QStringLiteral("SELECT %1 FROM %2 WHERE %3 LIMIT 1")
                                  .arg(quoteIdentifier(def.resultField), quoteIdentifier(target.name),
                                       terms.join(QStringLiteral(" AND ")))))
            throw db.backend().translateError(l->query.lastError(), def.table);
        l->prepared = true;
    }
    for (int i = 0; i < keys.size(); ++i)
        l->query.bindValue(i, keys[i]);
    if (!l->query.exec())
        throw db.backend().translateError(l->query.lastError(), def.table);
    QVariant result;
    if (l->query.next())
        result = fromStorage(l->query.value(0), l->resultType);
    l->query.finish();
    return result;
}

void DataSet::invalidateLookups(const QString &table)
{
    bool any = false;
    for (auto &l : m_lookups) {
        if (l->field->lookup().table.compare(table, Qt::CaseInsensitive) == 0) {
            l->loaded = false;
            l->cache.clear();
            any = true;
        }
    }
    if (any && !m_source.materialized) {
        m_pages.clear();
        m_pageAge.clear();
    }
}

// ---------------------------------------------------------------------------------------------------
// current record

void DataSet::readCurrent()
{
    if (m_pos < 0 || m_pos >= recordCount()) {
        m_current = Row(m_fields.size() + 1);
        return;
    }
    // A jump to a row far from the pages read is served by that row alone; moving step by step
    // reads whole pages.
    if (!m_source.materialized && !isRowCached(m_pos) && std::abs(m_pos - m_lastRead) > 1) {
        m_current = fetchRows(&m_ids[size_t(m_pos)], 1).front();
    } else {
        m_current = rowAt(m_pos);
    }
    m_lastRead = m_pos;
}

void DataSet::setPosition(int row)
{
    // Announced even when the row number stays: the row under it may be another one (a re-read).
    m_pos = row;
    readCurrent();
    emit currentChanged();
    emit afterScroll();
}

QVariant DataSet::fieldValue(const Field &f) const
{
    if (m_calcTarget)
        return m_calcTarget->value(f.index());
    if (isEditing())
        return m_editRow.value(f.index());
    return m_current.value(f.index());
}

void DataSet::setFieldValue(Field &f, const QVariant &value)
{
    if (m_calcTarget) {
        if (f.isStored())
            throw EngineError(ErrorCode::WrongState,
                              QStringLiteral("Při výpočtu polí nelze měnit uložené pole %1.").arg(f.name()));
        (*m_calcTarget)[f.index()] = value.isNull() ? QVariant() : f.convert(value);
        return;
    }
    requireActive();
    if (!isEditing())
        throw EngineError(ErrorCode::WrongState,
                          QStringLiteral("Datová sada %1 není v režimu úprav; pole %2 nelze změnit.")
                              .arg(displayName(), f.name()));
    if (!f.isStored())
        throw EngineError(ErrorCode::WrongState,
                          QStringLiteral("Pole %1 je odvozené a nelze je měnit.").arg(f.name()));
    QVariant v = f.convert(value);
    if (f.onValidate) {
        f.onValidate(f, v);
        v = f.convert(v);
    }
    m_editRow[f.index()] = v;
    m_modified = true;
    computeDerived(m_editRow);
    if (f.onChange)
        f.onChange(f);
    emit fieldChanged(&f);
}

// ---------------------------------------------------------------------------------------------------
// navigation

void DataSet::first()
{
    requireActive();
    checkBrowseMode();
    setPosition(recordCount() > 0 ? 0 : -1);
    m_bof = true;
    m_eof = recordCount() == 0;
}

void DataSet::last()
{
    requireActive();
    checkBrowseMode();
    setPosition(recordCount() - 1);
    m_eof = true;
    m_bof = recordCount() == 0;
}

void DataSet::next()
{
    moveBy(1);
}

void DataSet::prior()
{
    moveBy(-1);
}

int DataSet::moveBy(int distance)
{
    requireActive();
    checkBrowseMode();
    const int count = recordCount();
    if (count == 0) {
        m_bof = m_eof = true;
        return 0;
    }
    const int target = m_pos + distance;
    const int clamped = std::clamp(target, 0, count - 1);
    m_eof = target > count - 1;
    m_bof = target < 0;
    if (clamped != m_pos)
        setPosition(clamped);
    return clamped - m_pos;
}

int DataSet::recNo() const
{
    if (m_state == DataSetState::Insert || m_pos < 0)
        return 0;
    return m_pos + 1;
}

void DataSet::setRecNo(int recNo)
{
    goToRow(recNo - 1);
}

void DataSet::goToRow(int row)
{
    requireActive();
    checkBrowseMode();
    if (recordCount() == 0)
        return;
    setPosition(std::clamp(row, 0, recordCount() - 1));
    m_bof = m_eof = false;
}

DataSet::Bookmark DataSet::bookmark() const
{
    if (!isActive() || m_pos < 0)
        return {};
    return idAt(m_pos);
}

bool DataSet::bookmarkValid(const Bookmark &bookmark) const
{
    return isActive() && !bookmark.isNull() && indexOfId(bookmark.toLongLong()) >= 0;
}

void DataSet::gotoBookmark(const Bookmark &bookmark)
{
    requireActive();
    checkBrowseMode();
    const int row = bookmark.isNull() ? -1 : indexOfId(bookmark.toLongLong());
    if (row < 0)
        throw EngineError(ErrorCode::RecordDeleted,
                          QStringLiteral("Záznam v datové sadě %1 už neexistuje.").arg(displayName()));
    setPosition(row);
    m_bof = m_eof = false;
}

bool DataSet::locate(const QString &fieldNames, const QVariantList &values, bool caseInsensitive)
{
    requireActive();
    checkBrowseMode();
    const QStringList names = splitFieldList(fieldNames);
    QList<Field *> keyFields;
    QVariantList wanted;
    for (int i = 0; i < names.size(); ++i) {
        Field &f = fieldByName(names[i]);
        keyFields << &f;
        wanted << f.convert(values.value(i));
    }
    auto matches = [&](const Row &row) {
        for (int i = 0; i < keyFields.size(); ++i) {
            const bool ci = caseInsensitive && keyFields[i]->type() == FieldType::Text;
            if (compareStored(row.value(keyFields[i]->index()), wanted[i], keyFields[i]->type(), ci) != 0)
                return false;
            if (ci && row.value(keyFields[i]->index())
                              .toString()
                              .compare(wanted[i].toString(), Qt::CaseInsensitive) != 0)
                return false;
        }
        return true;
    };
    if (!m_source.materialized && !m_source.rowIdColumn.isEmpty()) {
        // Ask the database for the matching ids, then take the first in our order.
        bool allStored =
            std::all_of(keyFields.begin(), keyFields.end(), [](Field *f) { return f->isStored(); });
        if (allStored) {
            SqlFragment where = combinedWhere();
            QStringList terms;
            if (!where.isEmpty())
                terms << QLatin1Char('(') + where.sql + QLatin1Char(')');
            for (int i = 0; i < keyFields.size(); ++i) {
                if (wanted[i].isNull()) {
                    terms << quoteIdentifier(keyFields[i]->name()) + QStringLiteral(" IS NULL");
                    continue;
                }
                const bool ci = caseInsensitive && keyFields[i]->type() == FieldType::Text;
                terms << (ci ? QStringLiteral("lower(%1) = lower(?)") : QStringLiteral("%1 = ?"))
                             .arg(quoteIdentifier(keyFields[i]->name()));
                where.binds << toStorage(wanted[i], keyFields[i]->type());
            }
            QSqlQuery q = m_source.database->exec(QStringLiteral("SELECT %1 FROM %2 WHERE %3")
                                                      .arg(quoteIdentifier(m_source.rowIdColumn),
                                                           quoteIdentifier(m_source.table),
                                                           terms.join(QStringLiteral(" AND "))),
                                                  where.binds, displayName());
            QSet<qint64> found;
            while (q.next())
                found.insert(q.value(0).toLongLong());
            if (found.isEmpty())
                return false;
            for (size_t i = 0; i < m_ids.size(); ++i) {
                if (found.contains(m_ids[i])) {
                    setPosition(int(i));
                    m_bof = m_eof = false;
                    return true;
                }
            }
            return false;
        }
    }
    for (int i = 0; i < recordCount(); ++i) {
        if (matches(rowAt(i))) {
            setPosition(i);
            m_bof = m_eof = false;
            return true;
        }
    }
    return false;
}

QVariant DataSet::lookupValue(const QString &keyFields, const QVariantList &values,
                              const QString &resultField)
{
    requireActive();
    const QStringList names = splitFieldList(keyFields);
    QList<Field *> keys;
    QVariantList wanted;
    for (int i = 0; i < names.size(); ++i) {
        keys << &fieldByName(names[i]);
        wanted << keys.last()->convert(values.value(i));
    }
    Field &result = fieldByName(resultField);
    for (int r = 0; r < recordCount(); ++r) {
        const Row &row = rowAt(r);
        bool ok = true;
        for (int i = 0; i < keys.size() && ok; ++i)
            ok = compareStored(row.value(keys[i]->index()), wanted[i], keys[i]->type(), false) == 0;
        if (ok)
            return row.value(result.index());
    }
    return {};
}

// ---------------------------------------------------------------------------------------------------
// editing

void DataSet::checkCanModify() const
{
    throw EngineError(
        ErrorCode::ReadOnly,
        QStringLiteral("Datová sada %1 je jen pro čtení; změny nejsou povoleny.").arg(displayName()));
}

void DataSet::setState(DataSetState state)
{
    if (m_state == state)
        return;
    m_state = state;
    emit stateChanged();
}

void DataSet::edit()
{
    requireActive();
    if (isEditing())
        return;
    checkCanModify();
    if (recordCount() == 0) {
        insert();
        return;
    }
    m_editRow = m_current;
    m_modified = false;
    setState(DataSetState::Edit);
}

void DataSet::insert()
{
    requireActive();
    checkBrowseMode();
    checkCanModify();
    m_posBeforeInsert = m_pos;
    m_insertPos = std::max(m_pos, 0);
    m_editRow = Row(m_fields.size() + 1);
    m_modified = false;
    setState(DataSetState::Insert);
    applyMasterValues();
    computeDerived(m_editRow);
    if (onNewRecord)
        onNewRecord(*this);
    // Values set by the new-record handler do not make an untouched new record worth posting.
    m_modified = false;
}

void DataSet::append()
{
    insert();
    m_insertPos = recordCount();
}

void DataSet::applyMasterValues()
{
    if (!m_master || !m_master->isActive())
        return;
    const QVariantList values = masterValues();
    for (int i = 0; i < m_detailFields.size(); ++i) {
        Field &f = fieldByName(m_detailFields[i]);
        m_editRow[f.index()] = f.convert(values.value(i));
    }
}

void DataSet::checkBrowseMode()
{
    if (!isActive())
        return;
    if (m_state == DataSetState::Edit || m_state == DataSetState::Insert) {
        if (m_modified || m_state == DataSetState::Edit)
            post();
        else
            cancel();
    }
}

void DataSet::post()
{
    requireActive();
    if (!isEditing())
        return;
    if (beforePost)
        beforePost(*this);
    for (;;) {
        try {
            doPost();
            break;
        } catch (const EngineError &e) {
            if (e.isSilent())
                throw;
            const DataAction action = onPostError ? onPostError(*this, e) : DataAction::Fail;
            if (action == DataAction::Retry)
                continue;
            if (action == DataAction::Abort)
                throw EngineError::aborted();
            throw;
        }
    }
    emit afterPost();
}

void DataSet::doPost()
{
    checkCanModify();
    Database &db = *m_source.database;
    const QString table = quoteIdentifier(m_source.table);
    if (m_state == DataSetState::Edit && !m_modified) {
        setState(DataSetState::Browse);
        return;
    }
    QStringList names;
    QVariantList values;
    QList<Field *> changedOrderFields;
    for (int i = 0; i < m_storedCount; ++i) {
        Field *f = m_fields[i];
        if (f->type() == FieldType::AutoInc && m_editRow[i].isNull())
            continue;
        if (m_state == DataSetState::Edit && m_editRow[i] == m_current[i] &&
            m_editRow[i].isNull() == m_current[i].isNull())
            continue;
        names << quoteIdentifier(f->name());
        values << toStorage(m_editRow[i], f->type());
    }
    qint64 id = -1;
    if (m_state == DataSetState::Insert) {
        QStringList marks(names.size(), QStringLiteral("?"));
        const QString sql = names.isEmpty() ? QStringLiteral("INSERT INTO %1 DEFAULT VALUES").arg(table)
                                            : QStringLiteral("INSERT INTO %1 (%2) VALUES (%3)")
                                                  .arg(table, names.join(QStringLiteral(", ")),
                                                       marks.join(QStringLiteral(", ")));
        QSqlQuery &q = run(sql, values);
        id = q.lastInsertId().toLongLong();
        q.finish();
    } else {
        id = idAt(m_pos);
        const qlonglong version = m_current.last().toLongLong();
        if (!names.isEmpty()) {
            QStringList sets;
            for (const QString &n : std::as_const(names))
                sets << n + QStringLiteral(" = ?");
            sets << QStringLiteral("%1 = %1 + 1").arg(quoteIdentifier(RowVersionColumn));
            values << id << version;
            QSqlQuery &update =
                run(QStringLiteral("UPDATE %1 SET %2 WHERE %3 = ? AND %4 = ?")
                        .arg(table, sets.join(QStringLiteral(", ")), quoteIdentifier(m_source.rowIdColumn),
                             quoteIdentifier(RowVersionColumn)),
                    values);
            const int affected = update.numRowsAffected();
            update.finish();
            if (affected == 0) {
                QSqlQuery check = db.exec(QStringLiteral("SELECT 1 FROM %1 WHERE %2 = ?")
                                              .arg(table, quoteIdentifier(m_source.rowIdColumn)),
                                          {id}, displayName());
                if (!check.next())
                    throw EngineError(
                        ErrorCode::RecordDeleted,
                        QStringLiteral("Záznam tabulky %1 mezitím smazal jiný uživatel. Změny nelze uložit.")
                            .arg(displayName()));
                throw EngineError(
                    ErrorCode::RecordChanged,
                    QStringLiteral("Záznam tabulky %1 mezitím změnil jiný uživatel. Obnovte data a úpravu "
                                   "opakujte.")
                        .arg(displayName()));
            }
        }
    }
    const bool wasInsert = m_state == DataSetState::Insert;
    m_state = DataSetState::Browse;
    m_modified = false;
    m_editRow.clear();
    db.notifyChanged(m_source.table);
    repositionAfterWrite(id, wasInsert);
    emit stateChanged();
}

int DataSet::compareRows(const Row &a, qint64 aId, const Row &b, qint64 bId) const
{
    for (const auto &[name, desc] : effectiveOrder()) {
        int idx = -1;
        FieldType type = FieldType::Text;
        for (int i = 0; i < m_storedCount; ++i) {
            if (m_fields[i]->name().compare(name, Qt::CaseInsensitive) == 0) {
                idx = i;
                type = m_fields[i]->type();
                break;
            }
        }
        if (idx < 0)
            continue;
        int c = compareStored(a.value(idx), b.value(idx), type, m_source.caseInsensitiveOrder);
        if (desc)
            c = -c;
        if (c != 0)
            return c;
    }
    return aId < bId ? -1 : (aId > bId ? 1 : 0);
}

// The stored values of a row for comparing orders: from a cached page when there is one, otherwise
// read alone, without derived fields, and not kept.
Row DataSet::probeRow(int row)
{
    if (isRowCached(row))
        return rowAt(row);
    const qint64 id = idAt(row);
    return fetchRows(&id, 1, false).front();
}

int DataSet::lowerBound(const Row &probe, qint64 probeId)
{
    int lo = 0;
    int hi = recordCount();
    // New rows mostly belong at the end of their order (a new defect, a new protocol): try there first.
    if (hi > 0 && compareRows(probeRow(hi - 1), idAt(hi - 1), probe, probeId) < 0)
        return hi;
    while (lo < hi) {
        const int mid = lo + (hi - lo) / 2;
        if (compareRows(probeRow(mid), idAt(mid), probe, probeId) < 0)
            lo = mid + 1;
        else
            hi = mid;
    }
    return lo;
}

void DataSet::dropPagesFrom(int row)
{
    const int firstPage = std::max(row, 0) / PageSize;
    for (auto it = m_pages.begin(); it != m_pages.end();) {
        if (it.key() >= firstPage) {
            m_pageAge.removeAll(it.key());
            it = m_pages.erase(it);
        } else {
            ++it;
        }
    }
}

QSqlQuery &DataSet::prepared(const QString &sql)
{
    auto it = m_statements.find(sql);
    if (it == m_statements.end()) {
        QSqlQuery q(m_source.database->connection());
        q.setForwardOnly(true);
        if (!q.prepare(sql))
            throw m_source.database->backend().translateError(q.lastError(), displayName());
        it = m_statements.insert(sql, q);
    }
    return *it;
}

QSqlQuery &DataSet::run(const QString &sql, const QVariantList &binds)
{
    QSqlQuery &q = prepared(sql);
    for (int i = 0; i < binds.size(); ++i)
        q.bindValue(i, binds[i]);
    if (!q.exec())
        throw m_source.database->backend().translateError(q.lastError(), displayName());
    return q;
}

// After a post the row takes its place in the order, or leaves the set when it no longer passes the
// filter or range, without reading the whole id list again.
void DataSet::repositionAfterWrite(qint64 id, bool inserted)
{
    const SqlFragment where = combinedWhere();
    QStringList cols;
    for (int i = 0; i < m_storedCount; ++i)
        cols << quoteIdentifier(m_fields[i]->name());
    cols << quoteIdentifier(RowVersionColumn);
    QSqlQuery &q =
        run(QStringLiteral("SELECT %1, %2 FROM %3 WHERE %4 = ?")
                .arg(cols.join(QStringLiteral(", ")),
                     where.isEmpty() ? QStringLiteral("1") : QLatin1Char('(') + where.sql + QLatin1Char(')'),
                     quoteIdentifier(m_source.table), quoteIdentifier(m_source.rowIdColumn)),
            where.binds + QVariantList{id});
    Row row(m_fields.size() + 1);
    bool visible = false;
    if (q.next()) {
        for (int i = 0; i < m_storedCount; ++i)
            row[i] = fromStorage(q.value(i), m_fields[i]->type());
        row.last() = q.value(m_storedCount);
        visible = q.value(m_storedCount + 1).toLongLong() != 0;
    }
    q.finish();
    computeDerived(row);

    const int oldIndex = inserted ? -1 : (m_pos >= 0 && idAt(m_pos) == id ? m_pos : indexOfId(id));
    if (!inserted && visible && oldIndex >= 0) {
        // Still between the same neighbours: the row keeps its place.
        const bool afterPrevious =
            oldIndex == 0 || compareRows(probeRow(oldIndex - 1), idAt(oldIndex - 1), row, id) < 0;
        const bool beforeNext = oldIndex == recordCount() - 1 ||
                                compareRows(row, id, probeRow(oldIndex + 1), idAt(oldIndex + 1)) < 0;
        if (afterPrevious && beforeNext) {
            if (auto page = m_pages.find(oldIndex / PageSize); page != m_pages.end())
                (*page)[size_t(oldIndex % PageSize)] = row;
            m_current = row;
            emit rowUpdated(oldIndex);
            return;
        }
    }
    if (oldIndex >= 0) {
        m_ids.erase(m_ids.begin() + oldIndex);
        dropPagesFrom(oldIndex);
    }
    int newIndex = -1;
    if (visible) {
        newIndex = lowerBound(row, id);
        m_ids.insert(m_ids.begin() + newIndex, id);
        dropPagesFrom(newIndex);
    }
    emit rowsReset();
    if (newIndex >= 0)
        setPosition(newIndex);
    else
        setPosition(recordCount() == 0
                        ? -1
                        : std::clamp(oldIndex >= 0 ? oldIndex : m_posBeforeInsert, 0, recordCount() - 1));
    m_bof = m_eof = recordCount() == 0;
}

void DataSet::cancel()
{
    if (!isEditing())
        return;
    const bool wasInsert = m_state == DataSetState::Insert;
    m_editRow.clear();
    m_modified = false;
    m_state = DataSetState::Browse;
    if (wasInsert && recordCount() > 0)
        setPosition(std::clamp(m_posBeforeInsert, 0, recordCount() - 1));
    else
        readCurrent();
    emit stateChanged();
}

void DataSet::deleteRecord()
{
    requireActive();
    if (m_state == DataSetState::Insert) {
        cancel();
        return;
    }
    if (m_state == DataSetState::Edit)
        cancel();
    checkCanModify();
    if (recordCount() == 0)
        throw EngineError(ErrorCode::WrongState,
                          QStringLiteral("Datová sada %1 je prázdná; není co smazat.").arg(displayName()));
    if (beforeDelete)
        beforeDelete(*this);
    Database &db = *m_source.database;
    // A handler that answers retry after deleting the details runs inside one transaction with the
    // repeated delete, so a cascade either completes or leaves everything as it was.
    bool inTransaction = false;
    for (;;) {
        try {
            doDelete();
            break;
        } catch (const EngineError &e) {
            if (e.isSilent()) {
                if (inTransaction)
                    db.rollback();
                throw;
            }
            if (!inTransaction) {
                db.begin();
                inTransaction = true;
            }
            DataAction action = DataAction::Fail;
            try {
                action = onDeleteError ? onDeleteError(*this, e) : DataAction::Fail;
            } catch (...) {
                db.rollback();
                throw;
            }
            if (action == DataAction::Retry)
                continue;
            db.rollback();
            if (action == DataAction::Abort)
                throw EngineError::aborted();
            throw;
        }
    }
    if (inTransaction)
        db.commit();
    const int old = m_pos;
    m_ids.erase(m_ids.begin() + old);
    dropPagesFrom(old);
    db.notifyChanged(m_source.table);
    emit rowsReset();
    setPosition(recordCount() == 0 ? -1 : std::min(old, recordCount() - 1));
    m_bof = m_eof = recordCount() == 0;
}

void DataSet::doDelete()
{
    Database &db = *m_source.database;
    const qint64 id = idAt(m_pos);
    const int affected =
        db.execAffected(QStringLiteral("DELETE FROM %1 WHERE %2 = ? AND %3 = ?")
                            .arg(quoteIdentifier(m_source.table), quoteIdentifier(m_source.rowIdColumn),
                                 quoteIdentifier(RowVersionColumn)),
                        {id, m_current.last()}, displayName());
    if (affected == 0) {
        QSqlQuery check =
            db.exec(QStringLiteral("SELECT 1 FROM %1 WHERE %2 = ?")
                        .arg(quoteIdentifier(m_source.table), quoteIdentifier(m_source.rowIdColumn)),
                    {id}, displayName());
        if (check.next())
            throw EngineError(
                ErrorCode::RecordChanged,
                QStringLiteral(
                    "Záznam tabulky %1 mezitím změnil jiný uživatel. Obnovte data a akci opakujte.")
                    .arg(displayName()));
        // Already gone: the wish is fulfilled.
    }
}

void DataSet::refresh()
{
    requireActive();
    checkBrowseMode();
    for (auto &l : m_lookups) {
        l->loaded = false;
        l->cache.clear();
    }
    requery(true);
}

// ---------------------------------------------------------------------------------------------------
// filter and master link

void DataSet::setFilter(const QString &text)
{
    FilterExpr parsed = FilterExpr::parse(text);
    const FilterExpr previous = m_filter;
    m_filter = parsed;
    if (isActive() && m_filtered) {
        checkBrowseMode();
        try {
            requery(false);
        } catch (...) {
            m_filter = previous;
            requery(false);
            throw;
        }
    }
}

void DataSet::setFiltered(bool on)
{
    if (m_filtered == on)
        return;
    m_filtered = on;
    if (isActive()) {
        checkBrowseMode();
        try {
            requery(false);
        } catch (...) {
            m_filtered = !on;
            requery(false);
            throw;
        }
    }
}

QVariantList DataSet::masterValues() const
{
    QVariantList values;
    if (!m_master)
        return values;
    for (const QString &name : m_masterFields) {
        Field *f = m_master->findField(name);
        values << (f && m_master->isActive() ? f->value() : QVariant());
    }
    return values;
}

void DataSet::setMasterSource(DataSet *master, const QString &masterFields, const QString &detailFields)
{
    for (const auto &c : std::as_const(m_masterConnections))
        disconnect(c);
    m_masterConnections.clear();
    m_master = master;
    m_masterFields = splitFieldList(masterFields);
    m_detailFields = splitFieldList(detailFields);
    if (master) {
        if (m_detailFields.isEmpty()) {
            const auto src = describeSource();
            for (int i = 0; i < m_masterFields.size() && i < src.order.size(); ++i)
                m_detailFields << src.order[i].first;
        }
        m_masterConnections << connect(master, &DataSet::currentChanged, this, &DataSet::masterChanged);
        m_masterConnections << connect(master, &DataSet::rowsReset, this, &DataSet::masterChanged);
        m_masterConnections << connect(master, &DataSet::stateChanged, this, &DataSet::masterChanged);
        m_masterConnections << connect(master, &DataSet::rowUpdated, this, &DataSet::masterChanged);
        m_masterConnections << connect(master, &DataSet::fieldChanged, this, [this](Field *f) {
            for (const QString &n : std::as_const(m_masterFields))
                if (n.compare(f->name(), Qt::CaseInsensitive) == 0)
                    masterChanged();
        });
        m_masterConnections << connect(master, &QObject::destroyed, this, [this] { m_master = nullptr; });
    }
    if (isActive()) {
        checkBrowseMode();
        m_rangeValues = masterValues();
        requery(false);
    }
}

void DataSet::masterChanged()
{
    if (!isActive() || !m_master)
        return;
    const QVariantList values = masterValues();
    if (values == m_rangeValues)
        return;
    checkBrowseMode();
    m_rangeValues = values;
    requery(false);
}

} // namespace lerk
