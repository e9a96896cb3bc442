// The workstation's alias configuration and the default aliases.
#include "AliasConfig.h"
#include "DefaultAliases.h"
#include "EngineError.h"
#include "Session.h"

#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

using namespace lerk;

class TestAliasConfig : public QObject
{
    Q_OBJECT

private slots:
    void addReadModifySave();
    void configDirFromEnvironment();
    void defaultAliasesBesideTheProgram();
    void missingDirectoryIsRefused();
};

void TestAliasConfig::addReadModifySave()
{
    QTemporaryDir dir;
    AliasConfig config(dir.path());
    QVERIFY(!config.exists(QStringLiteral("DevaReru")));
    config.add(QStringLiteral("DevaReru"), QStringLiteral("SQLITE"), {QStringLiteral("PATH=/srv/lerk/data")});
    QVERIFY(config.exists(QStringLiteral("devareru")));
    QVERIFY(config.exists(QStringLiteral("DEVARERU")));
    QCOMPARE(config.params(QStringLiteral("devaReru")).first(), QStringLiteral("PATH=/srv/lerk/data"));
    config.modify(QStringLiteral("DevaReru"), {QStringLiteral("PATH=/mnt/share/data")});
    Formats formats;
    formats.shortDate = QStringLiteral("dd.MM.yyyy");
    config.setFormats(formats);
    config.save();

    AliasConfig reread(dir.path());
    QCOMPARE(reread.aliasNames(), QStringList{QStringLiteral("DevaReru")});
    QCOMPARE(reread.path(QStringLiteral("DevaReru")), QStringLiteral("/mnt/share/data"));
    QCOMPARE(reread.driver(QStringLiteral("DevaReru")), QStringLiteral("SQLITE"));
    QCOMPARE(reread.formats().shortDate, QStringLiteral("dd.MM.yyyy"));
    QCOMPARE(reread.formats().longTime, QStringLiteral("H:mm:ss"));
    QVERIFY_THROWS_EXCEPTION(EngineError, reread.modify(QStringLiteral("Nic"), {QStringLiteral("PATH=/x")}));
}

void TestAliasConfig::configDirFromEnvironment()
{
    QTemporaryDir dir;
    qputenv("LERK_CONFIG_DIR", dir.path().toUtf8());
    QCOMPARE(AliasConfig::defaultConfigDir(), dir.path());
    qunsetenv("LERK_CONFIG_DIR");
    QVERIFY(AliasConfig::defaultConfigDir().endsWith(QStringLiteral("/.config/lerk")));
}

void TestAliasConfig::defaultAliasesBesideTheProgram()
{
    QTemporaryDir program;
    QTemporaryDir config;
    AliasConfig aliases(config.path());
    QVERIFY(ensureDefaultAliases(aliases, program.path()));
    QCOMPARE(aliases.path(DataAlias), program.filePath(QStringLiteral("data")));
    QCOMPARE(aliases.path(LocalAlias), program.filePath(QStringLiteral("dataLO")));
    QVERIFY(QFileInfo(program.filePath(QStringLiteral("dataLO"))).isDir());
    QVERIFY(QFile::exists(aliases.filePath()));
    // An existing alias is kept as the workstation set it.
    aliases.modify(DataAlias, {QStringLiteral("PATH=/elsewhere")});
    QVERIFY(!ensureDefaultAliases(aliases, program.path()));
    QCOMPARE(aliases.path(DataAlias), QStringLiteral("/elsewhere"));
}

void TestAliasConfig::missingDirectoryIsRefused()
{
    QTemporaryDir config;
    Session session(config.path());
    session.aliases().add(DataAlias, QStringLiteral("SQLITE"),
                          {QStringLiteral("PATH=/nonexistent/lerk/data")});
    try {
        session.database(DataAlias);
        QFAIL("a missing directory was accepted");
    } catch (const EngineError &e) {
        QCOMPARE(e.code(), ErrorCode::NoDirectory);
        QVERIFY(e.message().contains(QStringLiteral("/nonexistent/lerk/data")));
    }
    QVERIFY_THROWS_EXCEPTION(EngineError, session.database(QStringLiteral("Nic")));
}

QTEST_GUILESS_MAIN(TestAliasConfig)
#include "tst_aliasconfig.moc"
