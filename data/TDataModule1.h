#pragma once

#include "DataSource.h"
#include "Query.h"
#include "Table.h"

#include <QDate>
#include <QHash>
#include <QList>
#include <QObject>
#include <QPointer>
#include <optional>

namespace lerk {

class Database;
class Session;
class Ui;
struct Formats;

// The one data module of the program: every shared table, query, data source and report dataset, the
// derived fields, the field-change rules and the integrity rules. Windows never own data; they use these
// objects and put back what they change.
//
// The tables must exist when the module is created (ensureSchema at start-up); creating it opens
// SilniceVTable, every other dataset starts closed.
class TDataModule1 : public QObject
{
    Q_OBJECT
public:
    TDataModule1(Session &session, Ui &ui, QObject *parent = nullptr);
    ~TDataModule1() override;

    Session &session() const { return m_session; }
    Ui &ui() const { return m_ui; }

    // --- tables
    Table &ParamTable;
    Table &UzivatelTable;
    Table &PodnikTable;
    Table &OSTable;
    Table &OkruhTable;
    Table &SilniceTable;
    Table &SilniceVTable;
    Table &CDruhTable;
    Table &TydenTable;
    Table &ProtokolTable;
    Table &ZavadyTable;

    // --- queries
    Query &PocetQuery;
    Query &PocetNQuery;
    Query &ZavadyQuery;

    // --- data sources
    DataSource &ParamSource;
    DataSource &UzivatelSource;
    DataSource &PodnikSource;
    DataSource &OSSource;
    DataSource &CDruhSource;
    DataSource &OkruhSource;
    DataSource &SilniceSource;
    DataSource &SilniceVSource;
    DataSource &TydenSource;
    DataSource &ProtokolSource;
    DataSource &ZavadySource;
    DataSource &PocetSource;
    DataSource &PocetNSource;
    DataSource &ZavadyQSource;

    // --- report datasets: the names the report templates use for their data
    struct ReportDataSet
    {
        QString name;
        DataSource *source = nullptr; // read through a data source ...
        DataSet *direct = nullptr;    // ... or straight from a dataset
        bool currentRecordOnly = false;

        DataSet *dataSet() const { return source ? source->dataSet() : direct; }
    };
    QList<ReportDataSet> reportDataSets() const { return m_reportDataSets; }
    std::optional<ReportDataSet> reportDataSet(const QString &name) const; // name without regard to case

    // --- operations
    // Opens Param, Uzivatel, Podnik, OS, Okruh, Silnice, CDruh, Protokol and Zavady, in this order; open
    // ones stay open.
    void OpenTables();
    // Closes the same tables in the same order; pending edits are dropped, callers post what they keep.
    void CloseTables();
    // Marks Podnik, OS, Okruh, Silnice, CDruh, Protokol and Zavady read-only for the rest of the run.
    // The tables must be closed (CloseTables before, OpenTables after); Param and Uzivatel stay writable.
    void SetReadOnlyTables();

    // --- counts of protocols
    // The filter that picks one protocol's row out of PocetQuery / PocetNQuery, dates in the short date
    // format; apostrophes inside values are doubled.
    static QString ProtocolCountFilter(const QString &cislo, const QString &os, const QDate &datum,
                                       const QString &okruh, const Formats &formats);
    // The same for the current record of ProtokolTable.
    QString ProtocolCountFilter();
    // Recounts the current protocol: PZ from PocetQuery, PN from PocetNQuery, 0 where the query has no
    // row. The protocol is left in edit state for its window to post. Nothing happens on an empty table.
    void RecountProtocol();
    // The variant of the recount command: PZ is the number of defects the entry window shows for the
    // protocol, PN comes from PocetNQuery.
    void RecountProtocolShown(int shownDefects);
    // Brings PZ and PN of every protocol up to date with set-based statements in one transaction; the
    // result equals RecountProtocol run on each protocol. Posts a pending edit of ProtokolTable first and
    // re-reads it afterwards. Returns the number of protocols whose counts changed.
    int RecountAllProtocols();

    // --- handlers (bound in the constructor; public so that windows and tests can see what runs)
    void SilniceTableCalcFields(DataSet &dataSet);
    void ProtokolTableCalcFields(DataSet &dataSet);
    void ZavadyTableCalcFields(DataSet &dataSet);
    void ZavadyQueryCalcFields(DataSet &dataSet);

    void SilniceTableTRIDAChange(Field &field);
    void SilniceTableSILNICE1Change(Field &field);
    void SilniceTablePORADIChange(Field &field);
    void ZavadyTablePORADIChange(Field &field);
    void ZavadyTableODSTRANENOChange(Field &field);
    void ZavadyTableDRUHChange(Field &field);

    DataAction OSTablePostError(DataSet &dataSet, const EngineError &error);
    DataAction CDruhTablePostError(DataSet &dataSet, const EngineError &error);
    DataAction SilniceTablePostError(DataSet &dataSet, const EngineError &error);
    DataAction OkruhTablePostError(DataSet &dataSet, const EngineError &error);
    DataAction ProtokolTablePostError(DataSet &dataSet, const EngineError &error);
    DataAction ProtokolTableDeleteError(DataSet &dataSet, const EngineError &error);
    DataAction OkruhTableDeleteError(DataSet &dataSet, const EngineError &error);
    void ProtokolTableNewRecord(DataSet &dataSet);
    void ZavadyTableNewRecord(DataSet &dataSet);
    void ProtokolTableDATUMValidate(Field &field, QVariant &value);

private:
    void setUpTables();
    void setUpQueries();
    void bindHandlers();
    DataAction duplicateWarning(const EngineError &error, const QString &message);
    DataAction cascadeDelete(Table &master, const EngineError &error, const QString &question,
                             const QString &detailTable, const QStringList &keyFields,
                             const QList<DataSet *> &readers);
    void refreshAfterCascade();
    void openCountQuery(Query &query, const QString &filter);

    Session &m_session;
    Ui &m_ui;
    QList<ReportDataSet> m_reportDataSets;
    bool m_settingDefaults = false;
    QList<QPointer<DataSet>> m_refreshAfterDelete;
};

} // namespace lerk
