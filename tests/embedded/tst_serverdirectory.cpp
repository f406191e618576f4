#include "TempServers.h"

#include "platform/db/DbError.h"
#include "platform/db/ServerDirectory.h"

#include <QDir>
#include <QSqlDatabase>
#include <QTest>

using testsupport::TempServers;

namespace {

QString errorOf(const std::function<void()> &f)
{
    try {
        f();
    } catch (const db::DbError &e) {
        return e.text();
    }
    return QString();
}

} // namespace

class TestServerDirectory : public QObject {
    Q_OBJECT
private slots:
    void anAliasWithoutEntryIsAnEmbeddedServer();
    void anUnknownAliasCreatesNothing();
    void badNamesAreRefused_data();
    void badNamesAreRefused();
    void theServersFileNamesADriver();
    void parameterLinesPassThrough();
};

void TestServerDirectory::anAliasWithoutEntryIsAnEmbeddedServer()
{
    TempServers servers;
    const db::ServerEntry e = db::ServerDirectory::standard().resolve(QStringLiteral("live"));
    QCOMPARE(e.kind, QStringLiteral("embedded"));
    QCOMPARE(QDir(e.folder).canonicalPath(), QDir(servers.serverFolder(QStringLiteral("LIVE"))).canonicalPath());
    QVERIFY(servers.connect(QStringLiteral("vortalix"), QStringLiteral("lumivar"), QStringLiteral("test"))->connected());
}

void TestServerDirectory::anUnknownAliasCreatesNothing()
{
    TempServers servers;
    const QStringList before = QDir(servers.dataFolder()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot);
    const QString error = errorOf([&] { servers.connect(QStringLiteral("vortalix"), QStringLiteral("lumivar"), QStringLiteral("LIEV")); });
    QVERIFY2(error.startsWith(QLatin1String("Server 'LIEV' is not known")), qPrintable(error));
    QVERIFY(error.contains(servers.serversFile()));
    QCOMPARE(QDir(servers.dataFolder()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot), before);
}

void TestServerDirectory::badNamesAreRefused_data()
{
    QTest::addColumn<QString>("alias");
    QTest::newRow("parent folder") << "../LIVE";
    QTest::newRow("path") << "LIVE/../TEST";
    QTest::newRow("blank") << "LI VE";
    QTest::newRow("digit first") << "1LIVE";
}

void TestServerDirectory::badNamesAreRefused()
{
    QFETCH(QString, alias);
    TempServers servers;
    QCOMPARE(errorOf([&] { db::ServerDirectory::standard().resolve(alias); }),
             QStringLiteral("'%1' is not a valid server name").arg(alias));
    QCOMPARE(errorOf([&] { db::ServerDirectory::standard().resolve(QString()); }), QStringLiteral("No server is named"));
}

void TestServerDirectory::theServersFileNamesADriver()
{
    TempServers servers;
    const QString elsewhere = servers.serverFolder(QStringLiteral("TEST"));
    servers.writeServersFile(QStringLiteral("[Prod]\ndriver=QPSQL\nhost=127.0.0.1\nport=1\ndatabase=vortalix\n"
                                            "[live]\ndriver=embedded\nfolder=%1\n"
                                            "[broken]\nhost=x\n").arg(elsewhere));
    const db::ServerDirectory &dir = db::ServerDirectory::standard();
    const db::ServerEntry prod = dir.resolve(QStringLiteral("PROD"));
    QVERIFY(prod.kind.isEmpty());
    QCOMPARE(prod.driver, QStringLiteral("QPSQL"));
    QCOMPARE(prod.host, QStringLiteral("127.0.0.1"));
    QCOMPARE(prod.port, 1);
    QCOMPARE(prod.databaseName, QStringLiteral("vortalix"));
    // A refused connection reports the server's reason and never the password.
    if (QSqlDatabase::isDriverAvailable(QStringLiteral("QPSQL"))) {
        const QString error = errorOf([&] { servers.connect(QStringLiteral("vortalix"), QStringLiteral("s3cret-pw"), QStringLiteral("prod")); });
        QVERIFY(!error.isEmpty());
        QVERIFY(!error.contains(QLatin1String("s3cret-pw")));
    }
    // An entry for an alias takes precedence over the embedded server of that name.
    QCOMPARE(QDir(dir.resolve(QStringLiteral("LIVE")).folder).canonicalPath(), QDir(elsewhere).canonicalPath());
    QVERIFY(errorOf([&] { dir.resolve(QStringLiteral("broken")); }).contains(QLatin1String("names no driver")));
}

void TestServerDirectory::parameterLinesPassThrough()
{
    TempServers servers;
    db::Connection c(QStringLiteral("ORACLE"));
    const QStringList lines{QStringLiteral("SERVER NAME=LIVE"), QStringLiteral("USER NAME=vortalix"),
                            QStringLiteral("NET PROTOCOL=TCP/IP"), QStringLiteral("SCHEMA CACHE DIR="),
                            QStringLiteral("PASSWORD=lumivar")};
    c.params().setLines(lines);
    c.open();
    QVERIFY(c.connected());
    c.close();
    QCOMPARE(c.params().lines(), lines);
    c.params().setValue(QStringLiteral("password"), QStringLiteral("wrong"));
    QVERIFY(errorOf([&] { c.open(); }).startsWith(QLatin1String("ORA-01017")));
    QVERIFY(!c.connected());
}

QTEST_GUILESS_MAIN(TestServerDirectory)
#include "tst_serverdirectory.moc"
