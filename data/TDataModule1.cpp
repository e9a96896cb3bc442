#include "TDataModule1.h"

#include "Calendar.h"
#include "Clock.h"
#include "Database.h"
#include "DefaultAliases.h"
#include "ProtocolCounts.h"
#include "Session.h"
#include "Ui.h"

#include <QSqlQuery>
#include <utility>

namespace lerk {

namespace {

const QString Zavady = QStringLiteral("Zavady");
const QStringList ProtocolKey = {QStringLiteral("CISLO"), QStringLiteral("OS"), QStringLiteral("DATUM"),
                                 QStringLiteral("OKRUH")};

// A value inside an apostrophe-quoted filter literal.
QString filterText(const QString &value)
{
    QString out = value;
    out.replace(QLatin1Char('\''), QStringLiteral("''"));
    return out;
}

void label(DataSet &dataSet, const char *field, const QString &text)
{
    dataSet.fieldByName(QString::fromLatin1(field)).setDisplayLabel(text);
}

Field::LookupDef lookup(const QString &keyFields, const QString &table, const QString &tableKeyFields,
                        const QString &resultField, bool cached)
{
    Field::LookupDef def;
    def.keyFields = keyFields.split(QLatin1Char(';'));
    def.table = table;
    def.tableKeyFields = tableKeyFields.split(QLatin1Char(';'));
    def.resultField = resultField;
    def.cached = cached;
    return def;
}

// Zavady's stored fields as the data module shows them: IN completes the key but is not shown.
QStringList zavadyFieldNames()
{
    return {QStringLiteral("CISLO"),      QStringLiteral("OS"),      QStringLiteral("DATUM"),
            QStringLiteral("OKRUH"),      QStringLiteral("SILNICE"), QStringLiteral("PORADI"),
            QStringLiteral("USEK"),       QStringLiteral("DRUH"),    QStringLiteral("CAS"),
            QStringLiteral("ODSTRANENO"), QStringLiteral("DATUMO"),  QStringLiteral("ZAVADA"),
            QStringLiteral("POPIS"),      QStringLiteral("TERMINO"), QStringLiteral("KM")};
}

} // namespace

TDataModule1::TDataModule1(Session &session, Ui &ui, QObject *parent)
    : QObject(parent), ParamTable(*new Table(session, LocalAlias, QStringLiteral("PARAM"), this)),
      UzivatelTable(*new Table(session, DataAlias, QStringLiteral("Uzivatel"), this)),
      PodnikTable(*new Table(session, DataAlias, QStringLiteral("Podnik"), this)),
      OSTable(*new Table(session, DataAlias, QStringLiteral("Os"), this)),
      OkruhTable(*new Table(session, DataAlias, QStringLiteral("Okruh"), this)),
      SilniceTable(*new Table(session, DataAlias, QStringLiteral("Silnice"), this)),
      SilniceVTable(*new Table(session, DataAlias, QStringLiteral("Silnice"), this)),
      CDruhTable(*new Table(session, DataAlias, QStringLiteral("Ciszav"), this)),
      TydenTable(*new Table(session, DataAlias, QStringLiteral("Tyden"), this)),
      ProtokolTable(*new Table(session, DataAlias, QStringLiteral("Protokol"), this)),
      ZavadyTable(*new Table(session, DataAlias, Zavady, this)),
      PocetQuery(*new Query(session, DataAlias, this)), PocetNQuery(*new Query(session, DataAlias, this)),
      // The statement names its table by alias path, so the query needs no alias of its own.
      ZavadyQuery(*new Query(session, QString(), this)), ParamSource(*new DataSource(&ParamTable, this)),
      UzivatelSource(*new DataSource(&UzivatelTable, this)),
      PodnikSource(*new DataSource(&PodnikTable, this)), OSSource(*new DataSource(&OSTable, this)),
      CDruhSource(*new DataSource(&CDruhTable, this)), OkruhSource(*new DataSource(&OkruhTable, this)),
      SilniceSource(*new DataSource(&SilniceTable, this)),
      SilniceVSource(*new DataSource(&SilniceVTable, this)), TydenSource(*new DataSource(&TydenTable, this)),
      ProtokolSource(*new DataSource(&ProtokolTable, this)),
      ZavadySource(*new DataSource(&ZavadyTable, this)), PocetSource(*new DataSource(&PocetQuery, this)),
      PocetNSource(*new DataSource(&PocetNQuery, this)), ZavadyQSource(*new DataSource(&ZavadyQuery, this)),
      m_session(session), m_ui(ui)
{
    setObjectName(QStringLiteral("DataModule1"));
    const std::pair<QObject *, const char *> names[] = {
        {&ParamTable, "ParamTable"},       {&UzivatelTable, "UzivatelTable"},
        {&PodnikTable, "PodnikTable"},     {&OSTable, "OSTable"},
        {&OkruhTable, "OkruhTable"},       {&SilniceTable, "SilniceTable"},
        {&SilniceVTable, "SilniceVTable"}, {&CDruhTable, "CDruhTable"},
        {&TydenTable, "TydenTable"},       {&ProtokolTable, "ProtokolTable"},
        {&ZavadyTable, "ZavadyTable"},     {&PocetQuery, "PocetQuery"},
        {&PocetNQuery, "PocetNQuery"},     {&ZavadyQuery, "ZavadyQuery"},
        {&ParamSource, "ParamSource"},     {&UzivatelSource, "UzivatelSource"},
        {&PodnikSource, "PodnikSource"},   {&OSSource, "OSSource"},
        {&CDruhSource, "CDruhSource"},     {&OkruhSource, "OkruhSource"},
        {&SilniceSource, "SilniceSource"}, {&SilniceVSource, "SilniceVSource"},
        {&TydenSource, "TydenSource"},     {&ProtokolSource, "ProtokolSource"},
        {&ZavadySource, "ZavadySource"},   {&PocetSource, "PocetSource"},
        {&PocetNSource, "PocetNSource"},   {&ZavadyQSource, "ZavadyQSource"}};
    for (const auto &[object, name] : names)
        object->setObjectName(QString::fromLatin1(name));

    setUpTables();
    setUpQueries();
    bindHandlers();

    m_reportDataSets = {{QStringLiteral("Silnice"), &SilniceSource, nullptr, false},
                        {QStringLiteral("Protokol"), &ProtokolSource, nullptr, true},
                        {QStringLiteral("Tyden"), &TydenSource, nullptr, false},
                        {QStringLiteral("Okruh"), &OkruhSource, nullptr, true},
                        {QStringLiteral("Zavady"), &ZavadySource, nullptr, false},
                        {QStringLiteral("ZavadyQ"), nullptr, &ZavadyQuery, false}};

    SilniceVTable.open();
}

TDataModule1::~TDataModule1() = default;

void TDataModule1::setUpTables()
{
    // PARAM lives in the workstation's directory; the centres it names are in the shared one.
    Field::LookupDef centre{{QStringLiteral("OS")},
                            QStringLiteral("Os"),
                            {QStringLiteral("OS")},
                            QStringLiteral("STREDISKO"),
                            true,
                            DataAlias};
    ParamTable.addLookupField(QStringLiteral("OS_Popis"), FieldType::Text, 20, centre);

    OSTable.setIndexFieldNames(QStringLiteral("OS"));
    label(OSTable, "STREDISKO", QStringLiteral("Středisko"));

    CDruhTable.setIndexFieldNames(QStringLiteral("DRUH"));
    label(CDruhTable, "DRUH", QStringLiteral("Druh"));
    label(CDruhTable, "Popis", QStringLiteral("Popis druhu závad"));
    label(CDruhTable, "Vyber", QStringLiteral("Výběr"));
    label(CDruhTable, "Poznamka", QStringLiteral("Poznámka"));

    OkruhTable.setIndexFieldNames(QStringLiteral("OKRUH"));
    label(OkruhTable, "OKRUH", QStringLiteral("Okruh"));
    label(OkruhTable, "POCTYDEN", QStringLiteral("Poč.týden"));
    label(OkruhTable, "PRICTI", QStringLiteral("Příčti"));
    label(OkruhTable, "CESTMISTR", QStringLiteral("Cestmistr"));
    label(OkruhTable, "DELKA", QStringLiteral("Délka"));
    OkruhTable.fieldByName(QStringLiteral("DELKA")).setDisplayFormat(QStringLiteral("0.000"));
    OkruhTable.addLookupField(QStringLiteral("OS_Popis"), FieldType::Text, 20,
                              lookup(QStringLiteral("OS"), QStringLiteral("Os"), QStringLiteral("OS"),
                                     QStringLiteral("STREDISKO"), false));

    SilniceTable.setIndexFieldNames(QStringLiteral("OKRUH;PORADI"));
    label(SilniceTable, "OKRUH", QStringLiteral("Okruh"));
    label(SilniceTable, "TRIDA", QStringLiteral("Třída"));
    label(SilniceTable, "SILNICE1", QStringLiteral("Silnice"));
    label(SilniceTable, "PORADI", QStringLiteral("Pořadí"));
    label(SilniceTable, "POPIS", QStringLiteral("Popis"));
    SilniceTable.addCalculatedField(QStringLiteral("Silnicee"), FieldType::Text, 12);

    SilniceVTable.setIndexFieldNames(QStringLiteral("OKRUH;PORADI"));
    SilniceVTable.setFieldNames({QStringLiteral("OKRUH"), QStringLiteral("PORADI"), QStringLiteral("TRIDA"),
                                 QStringLiteral("SILNICE1"), QStringLiteral("POPIS"),
                                 QStringLiteral("Silnice")});

    TydenTable.setIndexFieldNames(QStringLiteral("Okruh"));

    ProtokolTable.setIndexFieldNames(QStringLiteral("CISLO;OS;DATUM;OKRUH"));
    label(ProtokolTable, "CISLO", QStringLiteral("Číslo"));
    label(ProtokolTable, "OSP", QStringLiteral("OS-P"));
    label(ProtokolTable, "OKRUH", QStringLiteral("Okruh"));
    label(ProtokolTable, "DATUM", QStringLiteral("Datum"));
    label(ProtokolTable, "JMENO", QStringLiteral("Jméno"));
    ProtokolTable.addLookupField(QStringLiteral("OS_Popis"), FieldType::Text, 20,
                                 lookup(QStringLiteral("OS"), QStringLiteral("Os"), QStringLiteral("OS"),
                                        QStringLiteral("STREDISKO"), true));
    ProtokolTable.addCalculatedField(QStringLiteral("Rok"), FieldType::Integer);
    ProtokolTable.addCalculatedField(QStringLiteral("Mesic"), FieldType::Integer, 0, QStringLiteral("Měsíc"));
    ProtokolTable.addLookupField(QStringLiteral("Cestmistr"), FieldType::Text, 25,
                                 lookup(QStringLiteral("OKRUH"), QStringLiteral("Okruh"),
                                        QStringLiteral("OKRUH"), QStringLiteral("CESTMISTR"), false));
    ProtokolTable.addCalculatedField(QStringLiteral("Tyden"), FieldType::Integer);

    ZavadyTable.setFieldNames(zavadyFieldNames());
    ZavadyTable.setIndexFieldNames(QStringLiteral("CISLO;OS;DATUM;OKRUH;IN"));
    label(ZavadyTable, "CISLO", QStringLiteral("Protokol"));
    label(ZavadyTable, "DATUM", QStringLiteral("Datum"));
    label(ZavadyTable, "OKRUH", QStringLiteral("Okruh"));
    label(ZavadyTable, "SILNICE", QStringLiteral("Silnice"));
    label(ZavadyTable, "PORADI", QStringLiteral("Pořadí"));
    label(ZavadyTable, "USEK", QStringLiteral("Úsek"));
    label(ZavadyTable, "DRUH", QStringLiteral("Druh"));
    label(ZavadyTable, "CAS", QStringLiteral("Čas"));
    label(ZavadyTable, "ODSTRANENO", QStringLiteral("Odstraněno"));
    label(ZavadyTable, "DATUMO", QStringLiteral("Dat.odstranění"));
    label(ZavadyTable, "ZAVADA", QStringLiteral("Závada"));
    label(ZavadyTable, "POPIS", QStringLiteral("Popis"));
    label(ZavadyTable, "KM", QStringLiteral("km"));
    ZavadyTable.addLookupField(QStringLiteral("Silnicee"), FieldType::Text, 10,
                               lookup(QStringLiteral("Okruh;PORADI"), QStringLiteral("Silnice"),
                                      QStringLiteral("Okruh;PORADI"), QStringLiteral("Silnice"), false));
    ZavadyTable.addLookupField(QStringLiteral("CisZavada"), FieldType::Text, 50,
                               lookup(QStringLiteral("DRUH"), QStringLiteral("Ciszav"),
                                      QStringLiteral("DRUH"), QStringLiteral("Popis"), true));
    ZavadyTable.addCalculatedField(QStringLiteral("Dnu"), FieldType::Number);
    ZavadyTable.addCalculatedField(QStringLiteral("Mesic"), FieldType::Number, 0, QStringLiteral("Měsíc"));
    ZavadyTable.addCalculatedField(QStringLiteral("Rok"), FieldType::Number);
    ZavadyTable.addLookupField(QStringLiteral("Vyber"), FieldType::Logical, 0,
                               lookup(QStringLiteral("DRUH"), QStringLiteral("Ciszav"),
                                      QStringLiteral("DRUH"), QStringLiteral("Vyber"), true));
}

void TDataModule1::setUpQueries()
{
    PocetQuery.setSql({QStringLiteral("SELECT Cislo,OS,Datum,Okruh,count(*) As PZ"),
                       QStringLiteral("FROM ZAVADY"), QStringLiteral("GROUP BY Cislo,OS,Datum,Okruh")});
    PocetNQuery.setSql({QStringLiteral("SELECT Cislo,OS,Datum,Okruh,count(*) As PN"),
                        QStringLiteral("FROM ZAVADY"), QStringLiteral("WHERE Odstraneno=false"),
                        QStringLiteral("GROUP BY Cislo,OS,Datum,Okruh")});

    ZavadyQuery.setSql({QStringLiteral("SELECT * FROM \":DevaReru:Zavady.DB\""),
                        QStringLiteral("ORDER BY Okruh,Poradi,KM,Datum")});
    label(ZavadyQuery, "CISLO", QStringLiteral("Číslo"));
    label(ZavadyQuery, "DATUM", QStringLiteral("Datum"));
    label(ZavadyQuery, "OKRUH", QStringLiteral("Okruh"));
    label(ZavadyQuery, "SILNICE", QStringLiteral("Silnice"));
    label(ZavadyQuery, "PORADI", QStringLiteral("Pořadí"));
    label(ZavadyQuery, "USEK", QStringLiteral("Úsek"));
    label(ZavadyQuery, "DRUH", QStringLiteral("Druh"));
    label(ZavadyQuery, "CAS", QStringLiteral("Čas"));
    label(ZavadyQuery, "ODSTRANENO", QStringLiteral("Odstraněno"));
    label(ZavadyQuery, "DATUMO", QStringLiteral("Datum odstranění"));
    label(ZavadyQuery, "ZAVADA", QStringLiteral("Závada"));
    label(ZavadyQuery, "TERMINO", QStringLiteral("Termín odstranění"));
    label(ZavadyQuery, "KM", QStringLiteral("km"));
    ZavadyQuery.addCalculatedField(QStringLiteral("Rok"), FieldType::Text, 4);
    ZavadyQuery.addCalculatedField(QStringLiteral("Mesic"), FieldType::Text, 2, QStringLiteral("Měsíc"));
    ZavadyQuery.addCalculatedField(QStringLiteral("Dnu"), FieldType::Integer, 0, QStringLiteral("Dnů"));
    ZavadyQuery.addLookupField(QStringLiteral("Silnicee"), FieldType::Text, 10,
                               lookup(QStringLiteral("OKRUH;Poradi"), QStringLiteral("Silnice"),
                                      QStringLiteral("OKRUH;Poradi"), QStringLiteral("Silnice"), false));
}

void TDataModule1::bindHandlers()
{
    auto change = [this](DataSet &dataSet, const char *field, void (TDataModule1::*handler)(Field &)) {
        dataSet.fieldByName(QString::fromLatin1(field)).onChange = [this, handler](Field &f) {
            (this->*handler)(f);
        };
    };
    auto postError = [this](DataSet &dataSet,
                            DataAction (TDataModule1::*handler)(DataSet &, const EngineError &)) {
        dataSet.onPostError = [this, handler](DataSet &d, const EngineError &e) {
            return (this->*handler)(d, e);
        };
    };
    auto calc = [this](DataSet &dataSet, void (TDataModule1::*handler)(DataSet &)) {
        dataSet.onCalcFields = [this, handler](DataSet &d) { (this->*handler)(d); };
    };

    postError(OSTable, &TDataModule1::OSTablePostError);
    postError(CDruhTable, &TDataModule1::CDruhTablePostError);
    postError(OkruhTable, &TDataModule1::OkruhTablePostError);
    OkruhTable.onDeleteError = [this](DataSet &d, const EngineError &e) {
        return OkruhTableDeleteError(d, e);
    };

    calc(SilniceTable, &TDataModule1::SilniceTableCalcFields);
    postError(SilniceTable, &TDataModule1::SilniceTablePostError);
    change(SilniceTable, "TRIDA", &TDataModule1::SilniceTableTRIDAChange);
    change(SilniceTable, "SILNICE1", &TDataModule1::SilniceTableSILNICE1Change);
    change(SilniceTable, "PORADI", &TDataModule1::SilniceTablePORADIChange);

    calc(ProtokolTable, &TDataModule1::ProtokolTableCalcFields);
    ProtokolTable.onNewRecord = [this](DataSet &d) { ProtokolTableNewRecord(d); };
    postError(ProtokolTable, &TDataModule1::ProtokolTablePostError);
    ProtokolTable.onDeleteError = [this](DataSet &d, const EngineError &e) {
        return ProtokolTableDeleteError(d, e);
    };
    ProtokolTable.fieldByName(QStringLiteral("DATUM")).onValidate = [this](Field &f, QVariant &v) {
        ProtokolTableDATUMValidate(f, v);
    };

    calc(ZavadyTable, &TDataModule1::ZavadyTableCalcFields);
    ZavadyTable.onNewRecord = [this](DataSet &d) { ZavadyTableNewRecord(d); };
    change(ZavadyTable, "DRUH", &TDataModule1::ZavadyTableDRUHChange);
    change(ZavadyTable, "ODSTRANENO", &TDataModule1::ZavadyTableODSTRANENOChange);
    change(ZavadyTable, "PORADI", &TDataModule1::ZavadyTablePORADIChange);

    calc(ZavadyQuery, &TDataModule1::ZavadyQueryCalcFields);

    // Views of a detail table that a confirmed cascade emptied are re-read once the master is gone.
    connect(&ProtokolTable, &DataSet::rowsReset, this, &TDataModule1::refreshAfterCascade);
    connect(&OkruhTable, &DataSet::rowsReset, this, &TDataModule1::refreshAfterCascade);
}

std::optional<TDataModule1::ReportDataSet> TDataModule1::reportDataSet(const QString &name) const
{
    for (const ReportDataSet &r : m_reportDataSets)
        if (r.name.compare(name, Qt::CaseInsensitive) == 0)
            return r;
    return std::nullopt;
}

// ---------------------------------------------------------------------------------------------------
// operations

void TDataModule1::OpenTables()
{
    for (Table *t : {&ParamTable, &UzivatelTable, &PodnikTable, &OSTable, &OkruhTable, &SilniceTable,
                     &CDruhTable, &ProtokolTable, &ZavadyTable})
        t->open();
}

void TDataModule1::CloseTables()
{
    for (Table *t : {&ParamTable, &UzivatelTable, &PodnikTable, &OSTable, &OkruhTable, &SilniceTable,
                     &CDruhTable, &ProtokolTable, &ZavadyTable})
        t->close();
}

void TDataModule1::SetReadOnlyTables()
{
    for (Table *t :
         {&PodnikTable, &OSTable, &OkruhTable, &SilniceTable, &CDruhTable, &ProtokolTable, &ZavadyTable})
        t->setReadOnly(true);
}

// ---------------------------------------------------------------------------------------------------
// derived fields

void TDataModule1::SilniceTableCalcFields(DataSet &dataSet)
{
    dataSet.fieldByName(QStringLiteral("Silnicee"))
        .setValue(RoadDesignation(dataSet.fieldByName(QStringLiteral("TRIDA")).asString(),
                                  dataSet.fieldByName(QStringLiteral("SILNICE1")).asString()));
}

void TDataModule1::ProtokolTableCalcFields(DataSet &dataSet)
{
    const QDate datum = dataSet.fieldByName(QStringLiteral("DATUM")).asDate();
    Field &rok = dataSet.fieldByName(QStringLiteral("Rok"));
    Field &mesic = dataSet.fieldByName(QStringLiteral("Mesic"));
    Field &tyden = dataSet.fieldByName(QStringLiteral("Tyden"));
    if (!datum.isValid()) {
        rok.clear();
        mesic.clear();
        tyden.clear();
        return;
    }
    rok.setValue(datum.year());
    mesic.setValue(datum.month());
    tyden.setValue(WeekOfYear(datum));
}

void TDataModule1::ZavadyTableCalcFields(DataSet &dataSet)
{
    const QDate datum = dataSet.fieldByName(QStringLiteral("DATUM")).asDate();
    Field &dnu = dataSet.fieldByName(QStringLiteral("Dnu"));
    Field &mesic = dataSet.fieldByName(QStringLiteral("Mesic"));
    Field &rok = dataSet.fieldByName(QStringLiteral("Rok"));
    if (!datum.isValid()) {
        dnu.clear();
        mesic.clear();
        rok.clear();
        return;
    }
    const QDate removed = dataSet.fieldByName(QStringLiteral("DATUMO")).asDate();
    const QDate end = removed.isValid() ? removed : Clock::today();
    dnu.setValue(double(datum.daysTo(end)));
    mesic.setValue(double(datum.month()));
    rok.setValue(double(datum.year()));
}

void TDataModule1::ZavadyQueryCalcFields(DataSet &dataSet)
{
    const QDate datum = dataSet.fieldByName(QStringLiteral("DATUM")).asDate();
    Field &rok = dataSet.fieldByName(QStringLiteral("Rok"));
    Field &mesic = dataSet.fieldByName(QStringLiteral("Mesic"));
    Field &dnu = dataSet.fieldByName(QStringLiteral("Dnu"));
    if (!datum.isValid()) {
        rok.clear();
        mesic.clear();
        dnu.clear();
        return;
    }
    const QDate removed = dataSet.fieldByName(QStringLiteral("DATUMO")).asDate();
    const QDate end = removed.isValid() ? removed : Clock::today();
    rok.setValue(QString::number(datum.year()));
    mesic.setValue(QString::number(datum.month()));
    dnu.setValue(datum.daysTo(end));
}

// ---------------------------------------------------------------------------------------------------
// change rules

void TDataModule1::SilniceTableTRIDAChange(Field &field)
{
    DataSet &dataSet = field.dataSet();
    bool isNumber = false;
    const int roadClass = field.asString().trimmed().toInt(&isNumber);
    if (!isNumber || roadClass <= 0 || roadClass >= 4) {
        m_ui.information(QStringLiteral("Špatné číslo třídy - 1, 2, 3 !!!"));
        field.setValue(QStringLiteral("1")); // runs this rule again with the valid class
    }
    dataSet.fieldByName(QStringLiteral("Silnice"))
        .setValue(dataSet.fieldByName(QStringLiteral("Silnicee")).value());
}

void TDataModule1::SilniceTableSILNICE1Change(Field &field)
{
    DataSet &dataSet = field.dataSet();
    dataSet.fieldByName(QStringLiteral("Silnice"))
        .setValue(dataSet.fieldByName(QStringLiteral("Silnicee")).value());
}

void TDataModule1::SilniceTablePORADIChange(Field &field)
{
    if (field.isNull() || field.asInteger() < 1)
        m_ui.information(QStringLiteral("Zadejte pořadí úseku !!!"));
}

void TDataModule1::ZavadyTablePORADIChange(Field &field)
{
    DataSet &dataSet = field.dataSet();
    dataSet.fieldByName(QStringLiteral("SILNICE"))
        .setValue(dataSet.fieldByName(QStringLiteral("Silnicee")).value());
}

void TDataModule1::ZavadyTableODSTRANENOChange(Field &field)
{
    if (m_settingDefaults)
        return; // a default of a new record is no change of the mark
    DataSet &dataSet = field.dataSet();
    dataSet.fieldByName(QStringLiteral("DATUMO"))
        .setValue(dataSet.fieldByName(QStringLiteral("DATUM")).value());
}

void TDataModule1::ZavadyTableDRUHChange(Field &field)
{
    DataSet &dataSet = field.dataSet();
    Field &zavada = dataSet.fieldByName(QStringLiteral("ZAVADA"));
    if (zavada.asString().isEmpty())
        zavada.setValue(dataSet.fieldByName(QStringLiteral("CisZavada")).value());
}

// ---------------------------------------------------------------------------------------------------
// integrity rules

DataAction TDataModule1::duplicateWarning(const EngineError &error, const QString &message)
{
    if (error.code() != ErrorCode::KeyViolation)
        return DataAction::Fail;
    m_ui.warning(message);
    return DataAction::Abort;
}

DataAction TDataModule1::OSTablePostError(DataSet &, const EngineError &error)
{
    return duplicateWarning(error, QStringLiteral(" Duplicitní číslo - OS !!! "));
}

DataAction TDataModule1::CDruhTablePostError(DataSet &, const EngineError &error)
{
    return duplicateWarning(error, QStringLiteral(" Duplicitní věta - Druh !!! "));
}

DataAction TDataModule1::SilniceTablePostError(DataSet &, const EngineError &error)
{
    return duplicateWarning(error, QStringLiteral(" Duplicitní číslo - Okruh, Třída, Silnice, Pořadí !!! "));
}

DataAction TDataModule1::OkruhTablePostError(DataSet &, const EngineError &error)
{
    return duplicateWarning(error, QStringLiteral(" Duplicitní číslo - OS, Okruh, Poč.týden !!! "));
}

DataAction TDataModule1::ProtokolTablePostError(DataSet &, const EngineError &error)
{
    return duplicateWarning(error, QStringLiteral(" Duplicitní Protokol !!! "));
}

DataAction TDataModule1::ProtokolTableDeleteError(DataSet &, const EngineError &error)
{
    return cascadeDelete(ProtokolTable, error, QStringLiteral("Smazat protokol a závady - relaci"), Zavady,
                         ProtocolKey, {&ZavadyTable, &ZavadyQuery});
}

DataAction TDataModule1::OkruhTableDeleteError(DataSet &, const EngineError &error)
{
    return cascadeDelete(OkruhTable, error, QStringLiteral("Smazat okruh a silnice - relaci"),
                         QStringLiteral("Silnice"), {QStringLiteral("OKRUH")},
                         {&SilniceTable, &SilniceVTable});
}

// The engine runs this handler and the repeated delete of the master in one transaction, so the details
// deleted here come back if the master cannot be deleted after all.
DataAction TDataModule1::cascadeDelete(Table &master, const EngineError &error, const QString &question,
                                       const QString &detailTable, const QStringList &keyFields,
                                       const QList<DataSet *> &readers)
{
    if (error.code() != ErrorCode::DetailRecordsExist)
        return DataAction::Fail;
    if (!m_ui.question(question))
        return DataAction::Abort;
    Database &db = master.database();
    QStringList terms;
    QVariantList binds;
    for (const QString &name : keyFields) {
        const Field &f = master.fieldByName(name);
        terms << quoteIdentifier(name) + QStringLiteral(" = ?");
        binds << DataSet::toStorage(f.value(), f.type());
    }
    db.exec(QStringLiteral("DELETE FROM %1 WHERE %2")
                .arg(quoteIdentifier(db.tableDef(detailTable).name), terms.join(QStringLiteral(" AND "))),
            binds, detailTable);
    db.notifyChanged(detailTable);
    for (DataSet *reader : readers)
        m_refreshAfterDelete << reader;
    return DataAction::Retry;
}

void TDataModule1::refreshAfterCascade()
{
    const QList<QPointer<DataSet>> pending = std::exchange(m_refreshAfterDelete, {});
    for (const QPointer<DataSet> &d : pending)
        if (d && d->isActive())
            d->refresh();
}

void TDataModule1::ProtokolTableNewRecord(DataSet &dataSet)
{
    dataSet.fieldByName(QStringLiteral("DATUM")).setValue(Clock::today());
    dataSet.fieldByName(QStringLiteral("CISLO")).setValue(QStringLiteral("0"));
    dataSet.fieldByName(QStringLiteral("OKRUH")).setValue(QStringLiteral("0"));
    dataSet.fieldByName(QStringLiteral("OS")).setValue(QStringLiteral(".."));
    dataSet.fieldByName(QStringLiteral("PZ")).setValue(0);
    dataSet.fieldByName(QStringLiteral("PN")).setValue(0);
}

void TDataModule1::ZavadyTableNewRecord(DataSet &dataSet)
{
    m_settingDefaults = true;
    try {
        dataSet.fieldByName(QStringLiteral("ODSTRANENO")).setValue(false);
    } catch (...) {
        m_settingDefaults = false;
        throw;
    }
    m_settingDefaults = false;
}

void TDataModule1::ProtokolTableDATUMValidate(Field &, QVariant &value)
{
    static const QDate DateZero(1899, 12, 30);
    const QDate date = value.toDate();
    if (value.isNull() || !date.isValid() || date <= DateZero) {
        m_ui.information(QStringLiteral("      Zadejte datum !!!      "));
        value = Clock::today();
    }
}

// ---------------------------------------------------------------------------------------------------
// counts of protocols

QString TDataModule1::ProtocolCountFilter(const QString &cislo, const QString &os, const QDate &datum,
                                          const QString &okruh, const Formats &formats)
{
    return QStringLiteral("Cislo='") + filterText(cislo) + QStringLiteral("' AND OS='") + filterText(os) +
           QStringLiteral("' AND DATUM='") + filterText(formats.formatDate(datum)) +
           QStringLiteral("' AND OKRUH='") + filterText(okruh) + QLatin1Char('\'');
}

QString TDataModule1::ProtocolCountFilter()
{
    return ProtocolCountFilter(ProtokolTable.fieldByName(QStringLiteral("CISLO")).asString(),
                               ProtokolTable.fieldByName(QStringLiteral("OS")).asString(),
                               ProtokolTable.fieldByName(QStringLiteral("DATUM")).asDate(),
                               ProtokolTable.fieldByName(QStringLiteral("OKRUH")).asString(),
                               m_session.formats());
}

void TDataModule1::openCountQuery(Query &query, const QString &filter)
{
    query.close();
    query.setFilter(filter);
    query.setFiltered(true);
    query.open();
}

void TDataModule1::RecountProtocol()
{
    if (ProtokolTable.isEmpty())
        return;
    const QString filter = ProtocolCountFilter();
    openCountQuery(PocetQuery, filter);
    ProtokolTable.edit();
    ProtokolTable.fieldByName(QStringLiteral("PZ"))
        .setValue(PocetQuery.isEmpty() ? QVariant(0) : PocetQuery.fieldByName(QStringLiteral("PZ")).value());
    openCountQuery(PocetNQuery, filter);
    ProtokolTable.fieldByName(QStringLiteral("PN"))
        .setValue(PocetNQuery.isEmpty() ? QVariant(0)
                                        : PocetNQuery.fieldByName(QStringLiteral("PN")).value());
}

void TDataModule1::RecountProtocolShown(int shownDefects)
{
    if (ProtokolTable.isEmpty())
        return;
    const QString filter = ProtocolCountFilter();
    ProtokolTable.edit();
    ProtokolTable.fieldByName(QStringLiteral("PZ")).setValue(shownDefects);
    openCountQuery(PocetNQuery, filter);
    ProtokolTable.fieldByName(QStringLiteral("PN"))
        .setValue(PocetNQuery.isEmpty() ? QVariant(0)
                                        : PocetNQuery.fieldByName(QStringLiteral("PN")).value());
}

int TDataModule1::RecountAllProtocols()
{
    if (ProtokolTable.isActive())
        ProtokolTable.checkBrowseMode();
    const int changed = recountAllProtocols(m_session.database(DataAlias));
    if (changed > 0 && ProtokolTable.isActive())
        ProtokolTable.refresh();
    return changed;
}

} // namespace lerk
