#pragma once

// Shared set-up of data-module tests: a scratch data directory and local directory behind the two aliases,
// the program's tables created in them, a scripted Ui, and the data module on top. Rows are put in with
// plain statements so that tests do not depend on the code under test for their starting data.

#include "Clock.h"
#include "Database.h"
#include "DefaultAliases.h"
#include "EngineError.h"
#include "Schema.h"
#include "ScriptedUi.h"
#include "Session.h"
#include "TDataModule1.h"

#include <QDir>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QTemporaryDir>
#include <QTest>
#include <functional>
#include <memory>

namespace lerk::test {

class DataFixture
{
public:
    // A fresh pair of directories with the schema; the module is created unless told otherwise.
    void setUp(bool withModule = true)
    {
        tearDown();
        dir = std::make_unique<QTemporaryDir>();
        QVERIFY(dir->isValid());
        const QString root = dir->path();
        QVERIFY(QDir(root).mkpath(QStringLiteral("config")));
        QVERIFY(QDir(root).mkpath(QStringLiteral("data")));
        QVERIFY(QDir(root).mkpath(QStringLiteral("dataLO")));
        session = std::make_unique<Session>(root + QStringLiteral("/config"));
        session->aliases().add(DataAlias, QStringLiteral("SQLITE"),
                               {QStringLiteral("PATH=") + root + QStringLiteral("/data")});
        session->aliases().add(LocalAlias, QStringLiteral("SQLITE"),
                               {QStringLiteral("PATH=") + root + QStringLiteral("/dataLO")});
        ensureSchema(*session);
        if (withModule)
            dm = std::make_unique<TDataModule1>(*session, ui);
    }

    void tearDown()
    {
        dm.reset();
        session.reset();
        dir.reset();
        ui = ScriptedUi();
        Clock::unpin();
    }

    Database &db() { return session->database(DataAlias); }
    Database &localDb() { return session->database(LocalAlias); }

    // Inserts rows, fields given once; QDate and bool are stored as the engine stores them.
    void insert(const QString &table, const QStringList &fields, const QList<QVariantList> &rows)
    {
        QStringList columns;
        QStringList marks;
        for (const QString &f : fields) {
            columns << quoteIdentifier(f);
            marks << QStringLiteral("?");
        }
        const QString sql =
            QStringLiteral("INSERT INTO %1 (%2) VALUES (%3)")
                .arg(quoteIdentifier(table), columns.join(QLatin1Char(',')), marks.join(QLatin1Char(',')));
        for (const QVariantList &row : rows) {
            QVariantList binds;
            for (const QVariant &v : row)
                binds << stored(v);
            db().exec(sql, binds);
        }
        db().notifyChanged(table);
    }

    // Defects of one protocol key: (PORADI, ODSTRANENO) pairs, ODSTRANENO may be null.
    void insertDefects(const QString &cislo, const QString &os, const QDate &datum, const QString &okruh,
                       const QList<QVariant> &removedMarks)
    {
        QList<QVariantList> rows;
        for (const QVariant &mark : removedMarks)
            rows << QVariantList{cislo, os, datum, okruh, mark};
        insert(QStringLiteral("Zavady"),
               {QStringLiteral("CISLO"), QStringLiteral("OS"), QStringLiteral("DATUM"),
                QStringLiteral("OKRUH"), QStringLiteral("ODSTRANENO")},
               rows);
    }

    void insertProtocol(const QString &cislo, const QString &os, const QDate &datum, const QString &okruh,
                        const QVariant &pz = QVariant(), const QVariant &pn = QVariant())
    {
        insert(QStringLiteral("Protokol"),
               {QStringLiteral("CISLO"), QStringLiteral("OS"), QStringLiteral("DATUM"),
                QStringLiteral("OKRUH"), QStringLiteral("PZ"), QStringLiteral("PN")},
               {{cislo, os, datum, okruh, pz, pn}});
    }

    QVariant value(const QString &sql, const QVariantList &binds = {})
    {
        QSqlQuery q = db().exec(sql, binds);
        return q.next() ? q.value(0) : QVariant();
    }

    int count(const QString &table, const QString &where = {}, const QVariantList &binds = {})
    {
        return value(QStringLiteral("SELECT count(*) FROM ") + quoteIdentifier(table) +
                         (where.isEmpty() ? QString() : QStringLiteral(" WHERE ") + where),
                     binds)
            .toInt();
    }

    // Runs an action that a handler is expected to cancel silently; returns the error code it ended with,
    // 0 when it did not throw.
    static int errorCode(const std::function<void()> &action)
    {
        try {
            action();
        } catch (const EngineError &e) {
            return e.code();
        }
        return 0;
    }

    static QVariant stored(const QVariant &v)
    {
        switch (v.metaType().id()) {
        case QMetaType::QDate:
            return v.toDate().toString(Qt::ISODate);
        case QMetaType::Bool:
            return v.toBool() ? 1 : 0;
        default:
            return v;
        }
    }

    std::unique_ptr<QTemporaryDir> dir;
    std::unique_ptr<Session> session;
    ScriptedUi ui;
    std::unique_ptr<TDataModule1> dm;
};

inline void pinToday(const QDate &date)
{
    Clock::pin(QDateTime(date, QTime(10, 0)));
}

} // namespace lerk::test
