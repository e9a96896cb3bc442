#include "BatchMove.h"
#include "EngineError.h"
#include "EngineFixture.h"
#include "LocalSqlValues.h"
#include "TransferFileReader.h"

#include <QFile>
#include <QSignalSpy>
#include <QSqlDatabase>
#include <QTest>

using namespace lerk;
using namespace lerk::test;

namespace {

QList<QVariantList> readAll(FileTableReader &reader)
{
    QList<QVariantList> rows;
    reader.readRows([&](const QVariantList &row) { rows << row; });
    return rows;
}

// The rows of a table as a reader should hand them over: typed, in row id order.
QList<QVariantList> typedRows(Database &db, const QString &table)
{
    const TableDef &def = db.tableDef(table);
    QStringList columns;
    for (const FieldDef &f : def.fields)
        columns << quoteIdentifier(f.name);
    QList<QVariantList> rows;
    for (const QVariantList &stored :
         selectRows(db, QStringLiteral("SELECT %1 FROM %2 ORDER BY %3")
                            .arg(columns.join(QLatin1Char(',')), quoteIdentifier(def.name),
                                 quoteIdentifier(db.rowIdColumn(table))))) {
        QVariantList row;
        for (int i = 0; i < def.fields.size(); ++i)
            row << fromStoredValue(stored.at(i), def.fields.at(i).type);
        rows << row;
    }
    return rows;
}

int expectError(const std::function<void()> &run)
{
    try {
        run();
    } catch (const EngineError &e) {
        return e.code();
    }
    return 0;
}

} // namespace

class TestBatchMove : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void roundTrip_data();
    void roundTrip();
    void valuesKeepTheirTypes();
    void replacesExistingFile();
    void emptyTable();
    void copyErrors();
    void foreignFilesAreRefused_data();
    void foreignFilesAreRefused();
    void append();
    void appendUpdateReplacesByKey();
    void autoIncrementGetsNewValues();
    void fieldsMatchByName();

private:
    QString file(const QString &name) const { return QDir(m_fx->filesDir()).filePath(name); }

    std::unique_ptr<EngineFixture> m_fx;
};

void TestBatchMove::init()
{
    m_fx = std::make_unique<EngineFixture>();
    tables::createSampleTables(m_fx->deva());

    TableDef shifts;
    shifts.name = QStringLiteral("Smeny");
    shifts.fields = {field(QStringLiteral("ZACATEK"), FieldType::Time),
                     field(QStringLiteral("POCET"), FieldType::Short), textField(QStringLiteral("POZN"), 30)};
    m_fx->deva().createTable(shifts);
    insertRows(m_fx->deva(), shifts.name,
               {QStringLiteral("ZACATEK"), QStringLiteral("POCET"), QStringLiteral("POZN")},
               {{QTime(6, 30), -3, "it's Žďár; DROP TABLE Smeny"}, {QVariant(), QVariant(), QVariant()}});
}

void TestBatchMove::cleanup()
{
    m_fx.reset();
}

void TestBatchMove::roundTrip_data()
{
    QTest::addColumn<QString>("table");
    QTest::addColumn<QString>("fileName");
    QTest::addColumn<int>("rows");

    QTest::newRow("defects") << "zavady"
                             << "ZavadyE.DB" << 6;
    QTest::newRow("protocols") << "Protokol"
                               << "ProtokolE.db" << 3;
    QTest::newRow("logical values") << "Ciszav"
                                    << "Ciszav.db" << 2;
    QTest::newRow("times, negative numbers, odd text") << "Smeny"
                                                       << "Smeny.db" << 2;
}

void TestBatchMove::roundTrip()
{
    QFETCH(QString, table);
    QFETCH(QString, fileName);
    QFETCH(int, rows);

    Database &db = m_fx->deva();
    QCOMPARE(copyTableToFile(db, table, file(fileName)), rows);

    std::unique_ptr<FileTableReader> reader = m_fx->session().readers().open(file(fileName));
    const TableDef def = reader->definition();
    const TableDef &source = db.tableDef(table);
    QCOMPARE(def.name, QFileInfo(fileName).completeBaseName());
    QCOMPARE(def.fields.size(), source.fields.size());
    for (int i = 0; i < def.fields.size(); ++i) {
        QCOMPARE(def.fields.at(i).name, source.fields.at(i).name);
        QCOMPARE(def.fields.at(i).type, source.fields.at(i).type);
        QCOMPARE(def.fields.at(i).size, source.fields.at(i).size);
    }
    QCOMPARE(def.indexes.size(), source.indexes.size());
    for (int i = 0; i < def.indexes.size(); ++i) {
        QCOMPARE(def.indexes.at(i).fields, source.indexes.at(i).fields);
        QCOMPARE(def.indexes.at(i).unique, source.indexes.at(i).unique);
    }

    const QList<QVariantList> read = readAll(*reader);
    const QList<QVariantList> expected = typedRows(db, table);
    QCOMPARE(read.size(), rows);
    for (int r = 0; r < read.size(); ++r) {
        for (int i = 0; i < def.fields.size(); ++i) {
            QCOMPARE(read.at(r).at(i).metaType(), expected.at(r).at(i).metaType());
            QCOMPARE(read.at(r).at(i), expected.at(r).at(i));
        }
    }
}

// The round trip compares with the engine's own reading; this pins the types a reader promises.
void TestBatchMove::valuesKeepTheirTypes()
{
    QCOMPARE(copyTableToFile(m_fx->deva(), QStringLiteral("Zavady"), file(QStringLiteral("Zavady.db"))), 6);
    QCOMPARE(copyTableToFile(m_fx->deva(), QStringLiteral("Smeny"), file(QStringLiteral("Smeny.db"))), 2);
    TransferFileReader defects(file(QStringLiteral("Zavady.db")));
    const QList<QVariantList> rows = readAll(defects);
    // CISLO OS DATUM OKRUH IN SILNICE PORADI ODSTRANENO DATUMO ZAVADA KM of IN 102 and 103
    const QVariantList removed = rows.at(1);
    QCOMPARE(removed.at(0), QVariant(QStringLiteral("12")));
    QCOMPARE(removed.at(2), QVariant(QDate(2008, 5, 3)));
    QCOMPARE(removed.at(4), QVariant(qlonglong(102)));
    QCOMPARE(removed.at(6), QVariant(qlonglong(2)));
    QCOMPARE(removed.at(7), QVariant(true));
    QCOMPARE(removed.at(8), QVariant(QDate(2008, 6, 1)));
    QCOMPARE(removed.at(10), QVariant(2.0));
    const QVariantList open = rows.at(2);
    QVERIFY(open.at(7).isNull());
    QVERIFY(open.at(8).isNull());
    QCOMPARE(rows.at(0).at(7), QVariant(false));

    TransferFileReader shifts(file(QStringLiteral("Smeny.db")));
    const QList<QVariantList> shiftRows = readAll(shifts);
    QCOMPARE(shiftRows.at(0),
             (QVariantList{QTime(6, 30), qlonglong(-3), QStringLiteral("it's Žďár; DROP TABLE Smeny")}));
    for (const QVariant &v : shiftRows.at(1))
        QVERIFY(v.isNull());
}

void TestBatchMove::replacesExistingFile()
{
    Database &db = m_fx->deva();
    const QString path = file(QStringLiteral("Os.DB"));
    QCOMPARE(copyTableToFile(db, QStringLiteral("Os"), path), 2);
    {
        // A reader still holding the old file must not stop the replacement.
        TransferFileReader old(path);
        db.exec(QStringLiteral("DELETE FROM Os WHERE OS = '01'"));
        QCOMPARE(copyTableToFile(db, QStringLiteral("Os"), path), 1);
    }
    TransferFileReader reader(path);
    QCOMPARE(rowsAsText(readAll(reader)), QStringList{"02|Brno"});
    // Nothing of the temporary file is left beside it.
    QCOMPARE(QDir(m_fx->filesDir()).entryList(QDir::Files | QDir::Hidden), QStringList{"Os.DB"});
}

void TestBatchMove::emptyTable()
{
    QCOMPARE(copyTableToFile(m_fx->deva(), QStringLiteral("ProtokolE"), file(QStringLiteral("ProtokolE.DB"))),
             0);
    TransferFileReader reader(file(QStringLiteral("ProtokolE.DB")));
    QCOMPARE(reader.definition().name, QStringLiteral("ProtokolE"));
    QCOMPARE(reader.definition().fields.size(), 8);
    QVERIFY(readAll(reader).isEmpty());
    QCOMPARE(moveFileToTable(m_fx->session(), m_fx->deva(), file(QStringLiteral("ProtokolE.DB")),
                             QStringLiteral("Protokol"), BatchMode::AppendUpdate),
             0);
}

void TestBatchMove::copyErrors()
{
    Database &db = m_fx->deva();
    const QString missingDir = m_fx->path(QStringLiteral("nowhere"));
    try {
        copyTableToFile(db, QStringLiteral("Os"), missingDir + QStringLiteral("/Os.db"));
        QFAIL("no error");
    } catch (const EngineError &e) {
        QCOMPARE(e.code(), ErrorCode::NoDirectory);
        QVERIFY2(e.message().contains(QDir::toNativeSeparators(missingDir)), qPrintable(e.message()));
    }
    QCOMPARE(
        expectError([&] { copyTableToFile(db, QStringLiteral("Neni"), file(QStringLiteral("Neni.db"))); }),
        ErrorCode::UnknownTable);
    QVERIFY(QDir(m_fx->filesDir()).isEmpty());
    QCOMPARE(expectError([&] {
                 moveFileToTable(m_fx->session(), db, file(QStringLiteral("Neni.db")), QStringLiteral("Os"),
                                 BatchMode::Append);
             }),
             ErrorCode::Io);
}

void TestBatchMove::foreignFilesAreRefused_data()
{
    QTest::addColumn<QString>("kind");
    QTest::newRow("text file") << "text";
    QTest::newRow("empty file") << "empty";
    QTest::newRow("database with two tables") << "two tables";
}

void TestBatchMove::foreignFilesAreRefused()
{
    QFETCH(QString, kind);
    const QString path = file(QStringLiteral("Cizi.db"));
    if (kind == QLatin1String("two tables")) {
        {
            QSqlDatabase other =
                QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("foreign"));
            other.setDatabaseName(path);
            QVERIFY(other.open());
            QSqlQuery q(other);
            QVERIFY(q.exec(QStringLiteral("CREATE TABLE a (x)")));
            QVERIFY(q.exec(QStringLiteral("CREATE TABLE b (y)")));
        }
        QSqlDatabase::removeDatabase(QStringLiteral("foreign"));
    } else {
        QFile f(path);
        QVERIFY(f.open(QIODevice::WriteOnly));
        if (kind == QLatin1String("text"))
            f.write("OS;STREDISKO\n01;Praha\n");
    }
    const QByteArray before = [&] {
        QFile f(path);
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }();
    try {
        m_fx->session().readers().open(path);
        QFAIL("no error");
    } catch (const EngineError &e) {
        QCOMPARE(e.code(), ErrorCode::Io);
        QVERIFY2(e.message().contains(path), qPrintable(e.message()));
    }
    // Looking at a file never changes it.
    QFile after(path);
    QVERIFY(after.open(QIODevice::ReadOnly));
    QCOMPARE(after.readAll(), before);
}

void TestBatchMove::append()
{
    Database &db = m_fx->deva();
    const QString path = file(QStringLiteral("Protokol.db"));
    QCOMPARE(copyTableToFile(db, QStringLiteral("Protokol"), path), 3);

    QSignalSpy changed(&db, &Database::tableChanged);
    QCOMPARE(moveFileToTable(m_fx->session(), db, path, QStringLiteral("protokole"), BatchMode::Append), 3);
    QCOMPARE(changed.count(), 1);
    QCOMPARE(changed.first().first().toString(), QStringLiteral("ProtokolE"));
    const QString columns = QStringLiteral("CISLO, OSP, OKRUH, DATUM, JMENO, PZ, PN, OS, _RowVer");
    QCOMPARE(
        rowsAsText(selectRows(db, QStringLiteral("SELECT %1 FROM ProtokolE ORDER BY rowid").arg(columns))),
        rowsAsText(selectRows(db, QStringLiteral("SELECT %1 FROM Protokol ORDER BY rowid").arg(columns))));

    // Appending keys that exist fails as a whole.
    insertRows(db, QStringLiteral("Protokol"), {QStringLiteral("CISLO"), QStringLiteral("OS")},
               {{"15", "02"}});
    QCOMPARE(copyTableToFile(db, QStringLiteral("Protokol"), path), 4);
    QCOMPARE(expectError([&] {
                 moveFileToTable(m_fx->session(), db, path, QStringLiteral("ProtokolE"), BatchMode::Append);
             }),
             ErrorCode::KeyViolation);
    QCOMPARE(rowCount(db, QStringLiteral("ProtokolE")), 3);
    QCOMPARE(db.transactionDepth(), 0);
}

void TestBatchMove::appendUpdateReplacesByKey()
{
    Database &db = m_fx->deva();
    const QString path = file(QStringLiteral("Protokol.db"));
    QCOMPARE(copyTableToFile(db, QStringLiteral("Protokol"), path), 3);
    const QStringList fields = {QStringLiteral("CISLO"), QStringLiteral("OSP"),   QStringLiteral("OKRUH"),
                                QStringLiteral("DATUM"), QStringLiteral("JMENO"), QStringLiteral("PZ"),
                                QStringLiteral("PN"),    QStringLiteral("OS")};
    insertRows(db, QStringLiteral("ProtokolE"), fields,
               {{"12", "09", "0105", QDate(2008, 5, 3), "Starý", 9, 9, "01"},
                {"99", "01", "0101", QDate(2008, 1, 1), "Jiný", 1, 1, "01"}});

    QCOMPARE(moveFileToTable(m_fx->session(), db, path, QStringLiteral("ProtokolE"), BatchMode::AppendUpdate),
             3);
    QCOMPARE(rowsAsText(
                 selectRows(db, "SELECT CISLO, OSP, OKRUH, DATUM, JMENO, PZ, PN, OS, _RowVer FROM ProtokolE "
                                "ORDER BY rowid")),
             (QStringList{"12|01|0105|2008-05-03|Novák|3|1|01|1", "99|01|0101|2008-01-01|Jiný|1|1|01|0",
                          "13|02|0201|2008-05-04|Svoboda|2|2|02|0", "14|01|0106|2008-05-05|Novák|0|0|01|0"}));

    // Moving the same file again only replaces.
    QCOMPARE(moveFileToTable(m_fx->session(), db, path, QStringLiteral("ProtokolE"), BatchMode::AppendUpdate),
             3);
    QCOMPARE(rowCount(db, QStringLiteral("ProtokolE")), 4);
}

void TestBatchMove::autoIncrementGetsNewValues()
{
    Database &db = m_fx->deva();
    const QString path = file(QStringLiteral("Zavady.db"));
    QCOMPARE(copyTableToFile(db, QStringLiteral("Zavady"), path), 6); // IN 101..106
    QCOMPARE(moveFileToTable(m_fx->session(), db, path, QStringLiteral("ZavadyE"), BatchMode::Append), 6);
    QCOMPARE(rowsAsText(selectRows(db, "SELECT \"IN\" FROM ZavadyE ORDER BY \"IN\"")).join(QLatin1Char(',')),
             QStringLiteral("1,2,3,4,5,6,7"));
    // The only key of ZavadyE is IN itself: nothing identifies a row, so every row is added.
    QCOMPARE(moveFileToTable(m_fx->session(), db, path, QStringLiteral("ZavadyE"), BatchMode::AppendUpdate),
             6);
    QCOMPARE(rowCount(db, QStringLiteral("ZavadyE")), 13);
    const QString columns =
        QStringLiteral("CISLO, OS, DATUM, OKRUH, SILNICE, PORADI, ODSTRANENO, DATUMO, ZAVADA, KM");
    QCOMPARE(
        rowsAsText(selectRows(db, QStringLiteral("SELECT %1 FROM ZavadyE WHERE \"IN\" BETWEEN 2 AND 7 "
                                                 "ORDER BY \"IN\"")
                                      .arg(columns))),
        rowsAsText(selectRows(db, QStringLiteral("SELECT %1 FROM Zavady ORDER BY \"IN\"").arg(columns))));
}

void TestBatchMove::fieldsMatchByName()
{
    Database &db = m_fx->deva();
    // A file with some of the table's fields in another order and type, and one the table lacks.
    TableDef partial;
    partial.name = QStringLiteral("Castecny");
    partial.fields = {textField(QStringLiteral("pz"), 5), textField(QStringLiteral("Os"), 2),
                      textField(QStringLiteral("CISLO"), 5), textField(QStringLiteral("NAVIC"), 10)};
    db.createTable(partial);
    insertRows(db, partial.name,
               {QStringLiteral("pz"), QStringLiteral("Os"), QStringLiteral("CISLO"), QStringLiteral("NAVIC")},
               {{"5", "01", "20", "x"}, {"", "02", "21", "y"}});
    const QString path = file(QStringLiteral("Castecny.db"));
    QCOMPARE(copyTableToFile(db, partial.name, path), 2);

    QCOMPARE(moveFileToTable(m_fx->session(), db, path, QStringLiteral("ProtokolE"), BatchMode::Append), 2);
    QCOMPARE(rowsAsText(selectRows(db, "SELECT CISLO, OSP, OKRUH, DATUM, JMENO, PZ, PN, OS FROM ProtokolE "
                                       "ORDER BY rowid")),
             (QStringList{"20|∅|∅|∅|∅|5|∅|01", "21|∅|∅|∅|∅|∅|∅|02"}));

    // A value that does not fit the table's type stops the whole move.
    db.exec(QStringLiteral("UPDATE Castecny SET pz = 'pět' WHERE CISLO = '21'"));
    QCOMPARE(copyTableToFile(db, partial.name, path), 2);
    db.exec(QStringLiteral("DELETE FROM ProtokolE"));
    try {
        moveFileToTable(m_fx->session(), db, path, QStringLiteral("ProtokolE"), BatchMode::Append);
        QFAIL("no error");
    } catch (const EngineError &e) {
        QCOMPARE(e.code(), ErrorCode::InvalidValue);
        for (const QString &part : {QStringLiteral("pět"), QStringLiteral("PZ"), path})
            QVERIFY2(e.message().contains(part), qPrintable(e.message()));
    }
    QCOMPARE(rowCount(db, QStringLiteral("ProtokolE")), 0);
}

QTEST_GUILESS_MAIN(TestBatchMove)
#include "tst_batchmove.moc"
