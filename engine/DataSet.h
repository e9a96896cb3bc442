#pragma once

#include "ColumnInfo.h"
#include "EngineError.h"
#include "Field.h"
#include "FilterExpr.h"
#include "TableDef.h"

#include <QHash>
#include <QObject>
#include <QPointer>
#include <QSqlQuery>
#include <functional>
#include <memory>
#include <vector>

namespace lerk {

class Session;
class Database;

enum class DataSetState { Inactive, Browse, Edit, Insert };

// What a post-error or delete-error handler answers.
enum class DataAction {
    Fail,  // the error reaches the caller, which shows it
    Abort, // cancel silently: the handler has already spoken
    Retry, // repeat the operation at once
};

// All field values of one record, by field index; hidden row version last.
using Row = QVector<QVariant>;

// A sort key a view puts before the dataset's own order.
struct SortKey
{
    QString field;
    bool descending = false;
    bool operator==(const SortKey &) const = default;
};

// Where the rows a dataset shows come from, for statements that summarise them (a grid's footers and
// groups): "SELECT ... FROM <from> WHERE <where>" selects exactly those rows.
struct RowsSql
{
    Database *database = nullptr;
    QString from;
    SqlFragment where;
    bool caseInsensitiveOrder = false;
};

// A cursor over rows: a table, or the result of a local SQL SELECT. Keeps only the ordered row ids of
// the rows that pass its filter and range, and fetches rows in pages when asked; calculated and lookup
// fields are computed for the rows fetched.
//
// Events run in this order when a field of the record being edited gets a new value: the value is
// validated and stored, calculated and lookup fields are recomputed, then the field's change handler
// runs. Moving the cursor while editing posts the record first.
class DataSet : public QObject
{
    Q_OBJECT
public:
    explicit DataSet(Session &session, QObject *parent = nullptr);
    ~DataSet() override;

    Session &session() const { return m_session; }

    // --- fields (stored fields are known as soon as the table exists; add derived ones before use)
    QList<Field *> fields();
    int fieldCount();
    Field *findField(const QString &name);   // without case; nullptr when unknown
    Field &fieldByName(const QString &name); // throws UnknownField
    Field &field(int index);
    // Restricts the stored fields to these, in this order (before the first use of fields()).
    void setFieldNames(const QStringList &names) { m_fieldNames = names; }
    Field &addCalculatedField(const QString &name, FieldType type, int size = 0, const QString &label = {});
    Field &addLookupField(const QString &name, FieldType type, int size, const Field::LookupDef &def,
                          const QString &label = {});

    // --- open state
    void open();
    void close();
    bool isActive() const { return m_state != DataSetState::Inactive; }
    void setActive(bool active) { active ? open() : close(); }
    DataSetState state() const { return m_state; }
    bool isEditing() const { return m_state == DataSetState::Edit || m_state == DataSetState::Insert; }
    virtual bool canModify() const { return false; }

    // --- navigation
    void first();
    void last();
    void next();
    void prior();
    int moveBy(int distance);
    bool eof() const { return m_eof; }
    bool bof() const { return m_bof; }
    bool isEmpty() const;
    int recordCount() const; // rows that pass filter and range
    int recNo() const;       // 1-based, 0 when empty or inserting
    void setRecNo(int recNo);
    int currentRow() const { return m_pos; } // 0-based, -1 when empty
    void goToRow(int row);

    using Bookmark = QVariant;
    Bookmark bookmark() const;
    bool bookmarkValid(const Bookmark &bookmark) const;
    void gotoBookmark(const Bookmark &bookmark); // throws when the record is gone

    // First record, in the current order, whose fields equal the values; moves there and returns true.
    bool locate(const QString &fieldNames, const QVariantList &values, bool caseInsensitive = false);
    // The result field of the first record with the key values, without moving the cursor.
    QVariant lookupValue(const QString &keyFields, const QVariantList &values, const QString &resultField);

    // --- reading rows without moving the cursor (grids)
    const Row &rowAt(int row);
    QVariant valueAt(int row, int fieldIndex) { return rowAt(row).value(fieldIndex); }
    bool isRowCached(int row) const;

    // --- editing
    void edit();
    void insert();
    void append();
    void post();
    void cancel();
    void deleteRecord();
    void checkBrowseMode(); // posts a pending edit
    bool isModified() const { return m_modified; }
    void refresh(); // re-reads, keeping the cursor on the same record when it still shows

    // --- filter
    void setFilter(const QString &text); // throws FilterSyntax; takes effect at once when filtered
    QString filter() const { return m_filter.text(); }
    void setFiltered(bool on);
    bool isFiltered() const { return m_filtered; }

    // --- view: a grid's own filter and sort on top of the filter, range and order the windows set.
    // filter() and the order keep answering what the windows set. Checked before anything changes: an
    // unknown field or a value that does not fit leaves the previous view (throws EngineError).
    void setView(const FilterExpr &filter, const QList<SortKey> &order);
    const FilterExpr &viewFilter() const { return m_viewFilter; }
    const QList<SortKey> &viewOrder() const { return m_viewOrder; }
    // The rows shown (with the current view, or with another view filter instead of it).
    RowsSql rowsSql();
    RowsSql rowsSql(const FilterExpr &view);
    ColumnResolver columnResolver() { return resolver(); }

    // --- master link: the detail shows the rows whose detail fields (default: the first fields of its
    // order) equal the master's current values, and takes those values when a record is inserted.
    void setMasterSource(DataSet *master, const QString &masterFields, const QString &detailFields = {});
    DataSet *masterSource() const { return m_master; }
    QString masterFields() const { return m_masterFields.join(QLatin1Char(';')); }

    // --- handlers
    std::function<void(DataSet &)> onNewRecord;
    std::function<void(DataSet &)> onCalcFields;
    std::function<void(DataSet &)> beforePost;
    std::function<void(DataSet &)> beforeDelete;
    std::function<DataAction(DataSet &, const EngineError &)> onPostError;
    std::function<DataAction(DataSet &, const EngineError &)> onDeleteError;

    // Internal to Field: the record field values are read from and written to.
    QVariant fieldValue(const Field &f) const;
    void setFieldValue(Field &f, const QVariant &value);

    // Storage conversion shared with statements and readers.
    static QVariant toStorage(const QVariant &value, FieldType type);
    static QVariant fromStorage(const QVariant &value, FieldType type);

signals:
    void stateChanged();
    void rowsReset();                      // the row set changed (open, close, refresh, filter, range)
    void currentChanged();                 // the cursor moved to another row
    void rowUpdated(int row);              // a posted row kept its place and changed values
    void fieldChanged(lerk::Field *field); // a field of the record being edited changed
    void afterPost();
    void afterScroll();

protected:
    // How a subclass names its rows.
    struct Source
    {
        Database *database = nullptr;
        QString table; // keyed: the stored table
        QString rowIdColumn;
        SqlFragment where;                 // keyed: the source's own condition
        QList<QPair<QString, bool>> order; // (field, descending)
        bool caseInsensitiveOrder = false;
        // materialized: the whole statement and its columns
        bool materialized = false;
        SqlFragment sql;
        QList<ColumnInfo> columns;
    };
    virtual Source describeSource() = 0;           // called at open
    virtual QList<FieldDef> storedFieldDefs() = 0; // known without opening
    virtual QString displayName() const = 0;       // for messages
    virtual void checkCanModify() const;
    void resetFieldsCache() { m_fieldsBuilt = false; }
    // Reads the source description again (a new order) and the rows with it.
    void reorder();
    void requery(bool keepPosition);
    int m_pos = -1;

private:
    struct Lookup;
    void buildFields();
    ColumnResolver resolver();
    SqlFragment combinedWhere();
    SqlFragment combinedWhere(const FilterExpr &view);
    QList<QPair<QString, bool>> effectiveOrder() const;
    void loadIds();
    // The view's keys of every row, by distinct tuple.
    struct ViewKeys
    {
        explicit ViewKeys(int width) : width(width) {}
        void add(const QVariant *values, const QList<FieldType> &types);
        int width;
        std::vector<QVariantList> tuples;
        QHash<QString, int> tupleOf;
        std::vector<int> rowTuple; // per row, in the order rows came
    };
    void sortByView(std::vector<qint64> &ids, const ViewKeys &keys, const QList<FieldType> &types);
    void loadMaterialized();
    void fetchPage(int page);
    std::vector<Row> fetchRows(const qint64 *ids, int n, bool withDerived = true);
    Row probeRow(int row);
    void dropPagesFrom(int row);
    QSqlQuery &prepared(const QString &sql);
    QSqlQuery &run(const QString &sql, const QVariantList &binds);
    void computeDerived(Row &row);
    void readCurrent();
    void setPosition(int row);
    void doPost();
    void doDelete();
    void repositionAfterWrite(qint64 id, bool orderMayHaveChanged);
    int lowerBound(const Row &probe, qint64 probeId);
    int compareRows(const Row &a, qint64 aId, const Row &b, qint64 bId) const;
    qint64 idAt(int row) const;
    int indexOfId(qint64 id) const;
    void applyMasterValues();
    void masterChanged();
    QVariantList masterValues() const;
    void invalidateLookups(const QString &table);
    QVariant lookupResult(Field &f, const Row &row);
    void setState(DataSetState state);
    void requireActive() const;

    Session &m_session;
    std::vector<std::unique_ptr<Field>> m_fieldStore;
    QList<Field *> m_fields;
    QStringList m_fieldNames;
    int m_storedCount = 0;
    bool m_fieldsBuilt = false;

    DataSetState m_state = DataSetState::Inactive;
    Source m_source;
    std::vector<qint64> m_ids; // keyed
    std::vector<Row> m_rows;   // materialized
    QHash<int, std::vector<Row>> m_pages;
    QList<int> m_pageAge;           // least recently used first
    QHash<int, QString> m_fetchSql; // row reads by number of ids
    QList<FieldType> m_fetchTypes;
    int m_lastRead = -2;
    QHash<QString, QSqlQuery> m_statements; // the dataset's own writes, prepared once

    Row m_current;
    Row m_editRow;
    Row *m_calcTarget = nullptr;
    bool m_modified = false;
    int m_insertPos = -1;
    int m_posBeforeInsert = -1;
    bool m_bof = true;
    bool m_eof = true;

    FilterExpr m_filter;
    bool m_filtered = false;
    FilterExpr m_viewFilter;
    QList<SortKey> m_viewOrder;

    QPointer<DataSet> m_master;
    QStringList m_masterFields;
    QStringList m_detailFields;
    QVariantList m_rangeValues;
    QList<QMetaObject::Connection> m_masterConnections;

    std::vector<std::unique_ptr<Lookup>> m_lookups;
    QList<QMetaObject::Connection> m_tableChangedConnections;
};

} // namespace lerk
