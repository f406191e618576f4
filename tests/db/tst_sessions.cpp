#include "TempServers.h"

#include "data/Statements.h"
#include "platform/db/AccountStatement.h"
#include "platform/db/DbError.h"
#include "platform/db/Field.h"
#include "platform/db/Params.h"
#include "platform/db/Query.h"
#include "platform/db/ServerDirectory.h"
#include "platform/db/Table.h"

#include <QFile>
#include <QTemporaryDir>
#include <QSettings>
#include <QTest>

using testsupport::TempServers;
using testsupport::column;
using testsupport::isServerError;
using testsupport::countRows;

// A session on a server as the windows rely on it, the same on every server kind: login
// names, transactions, dates in the client's zone, the names and types of columns, the
// account statements and the server's errors.
class TestSessions : public QObject {
    Q_OBJECT
private slots:
    void loginNamesAreReadAsTheServerReadsThem();
    void aFailedStatementLeavesTheTransactionUsable();
    void aFailedCommitEndsTheTransaction();
    void aFailedCommitIsRolledBackWhereTheDriverKeepsIt();
    void aDateKeepsTheClientsWallClockTime();
    void columnsAreNamedAndTypedAsTheWindowsExpect();
    void valuesAreReadAsTheServerHoldsThem_data();
    void valuesAreReadAsTheServerHoldsThem();
    void aStatementRefusedAsAmbiguousIsOrderedOutside_data();
    void aStatementRefusedAsAmbiguousIsOrderedOutside();
    void aBatchWritesTheRowsOfItsRuns_data();
    void aBatchWritesTheRowsOfItsRuns();
    void aLongResultIsReadAsItIsFetched_data();
    void aLongResultIsReadAsItIsFetched();
    void aSessionPreparesAStatementOnce();
    void theCandidatesAreJoinedByHashing();
    void accountStatementsAndTheirRefusals();
    void anAccountStatementReadsAlikeOnEveryServer_data();
    void anAccountStatementReadsAlikeOnEveryServer();
    void executeIsGrantedAndRevokedByItsOwnerOrADba_data();
    void executeIsGrantedAndRevokedByItsOwnerOrADba();
    void theDbaReachesNothingBeyondTheDatabase_data();
    void theDbaReachesNothingBeyondTheDatabase();
    void theServersErrorKeepsItsCode();
};

namespace {

db::DbError errorOf(const std::function<void()> &f)
{
    try {
        f();
    } catch (const db::DbError &e) {
        return e;
    }
    return db::DbError(QString());
}

int count(db::Connection &c, const QString &sql)
{
    return int(c.backend().select(sql, {}).rows.front().value(0).toDouble());
}

} // namespace

void TestSessions::loginNamesAreReadAsTheServerReadsThem()
{
    TempServers servers;
    for (const char *login : {"vortalix", "VORTALIX", " Vortalix "})
        QVERIFY2(servers.connect(QLatin1String(login))->connected(), login);
    QVERIFY(!errorOf([&] { servers.connect(QStringLiteral("VORTALIX"), QStringLiteral("LUMIVAR")); }).text().isEmpty());
    // A name quoted with letters of both cases keeps them, and is another account than
    // the same letters unquoted.
    auto system = servers.connect(QStringLiteral("system"), QStringLiteral("manager"));
    system->backend().execute(QStringLiteral("create user \"Kaja\" identified by Pw1"), {});
    QVERIFY(servers.connect(QStringLiteral("\"Kaja\""), QStringLiteral("Pw1"))->connected());
    QVERIFY(!errorOf([&] { servers.connect(QStringLiteral("Kaja"), QStringLiteral("Pw1")); }).text().isEmpty());
    QCOMPARE(column(*system, QStringLiteral("select username from all_users where upper(username) = 'KAJA'")),
             QStringList{QStringLiteral("Kaja")});
    // The dictionary shows the other accounts as the server reads their names.
    QVERIFY(column(*system, QStringLiteral("select username from all_users")).contains(QStringLiteral("VORTALIX")));
    system->backend().execute(QStringLiteral("drop user \"Kaja\" cascade"), {});
    QVERIFY(column(*system, QStringLiteral("select username from all_users where upper(username) = 'KAJA'")).isEmpty());
}

void TestSessions::aFailedStatementLeavesTheTransactionUsable()
{
    TempServers servers;
    auto c = servers.connect();
    const QString insert = QStringLiteral("insert into user_prog_db (username, vortalix_prog_id, database_id, ordinal) "
                                          "values (:u, 3, 2, 0)");
    {
        db::Transaction t(*c);
        QCOMPARE(c->backend().execute(insert, {{QStringLiteral("u"), QStringLiteral("NEWONE")}}), 1);
        // A grant that is there already is refused; only that statement is undone.
        QVERIFY(!errorOf([&] { c->backend().execute(insert, {{QStringLiteral("u"), QStringLiteral("NEWONE")}}); })
                     .text().isEmpty());
        QCOMPARE(c->backend().execute(insert, {{QStringLiteral("u"), QStringLiteral("NEWTWO")}}), 1);
        t.commit();
    }
    QVERIFY(!c->inTransaction());
    QCOMPARE(column(*c, QStringLiteral("select username from user_prog_db where vortalix_prog_id = 3 and database_id = 2 "
                                       "order by username")),
             (QStringList{QStringLiteral("NEWONE"), QStringLiteral("NEWTWO")}));
    // A transaction rolled back leaves nothing, the refused statement's savepoint included.
    {
        db::Transaction t(*c);
        c->backend().execute(insert, {{QStringLiteral("u"), QStringLiteral("NEWTHREE")}});
        QVERIFY(!errorOf([&] { c->backend().select(QStringLiteral("select nosuch from user_prog_db"), {}); }).text().isEmpty());
    }
    QCOMPARE(count(*c, QStringLiteral("select count(*) from user_prog_db where username = 'NEWTHREE'")), 0);
}

void TestSessions::aFailedCommitEndsTheTransaction()
{
    TempServers servers;
    auto c = servers.connect();
    // A reference checked only at the commit.
    c->backend().execute(QStringLiteral("create table vortalix.deferred_check (company numeric references "
                                        "v_sysparams (v_company) deferrable initially deferred)"),
                         {});
    c->startTransaction();
    c->backend().execute(QStringLiteral("insert into vortalix.deferred_check (company) values (999)"), {});
    c->backend().execute(QStringLiteral("insert into user_prog_db (username, vortalix_prog_id, database_id, ordinal) "
                                        "values ('LOST', 3, 2, 0)"),
                         {});
    const db::DbError refused = errorOf([&] { c->commit(); });
    QVERIFY2(!refused.text().isEmpty(), "the commit was not refused");
    QVERIFY(!c->inTransaction());
    // Nothing of the transaction was kept, and the next one starts and ends as usual.
    QCOMPARE(count(*c, QStringLiteral("select count(*) from vortalix.deferred_check")), 0);
    QCOMPARE(count(*c, QStringLiteral("select count(*) from user_prog_db where username = 'LOST'")), 0);
    c->startTransaction();
    c->backend().execute(QStringLiteral("insert into vortalix.deferred_check (company) values (1)"), {});
    c->commit();
    // So does a change outside a transaction: another session sees both.
    c->backend().execute(QStringLiteral("insert into user_prog_db (username, vortalix_prog_id, database_id, ordinal) "
                                        "values ('KEPT', 3, 2, 0)"),
                         {});
    const auto other = servers.connect();
    QCOMPARE(count(*other, QStringLiteral("select count(*) from vortalix.deferred_check")), 1);
    QCOMPARE(count(*other, QStringLiteral("select count(*) from user_prog_db where username = 'KEPT'")), 1);
}

void TestSessions::aFailedCommitIsRolledBackWhereTheDriverKeepsIt()
{
    // A session that stays inside its transaction after a refused commit, as QOCI's and
    // QODBC's do: SQLite keeps the transaction open when a deferred reference fails.
    QTemporaryDir dir;
    QFile file(dir.filePath(QStringLiteral("servers.ini")));
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write("[Plain]\ndriver=QSQLITE\ndatabase=" + dir.filePath(QStringLiteral("plain.db")).toUtf8() + '\n');
    file.close();
    const db::ServerDirectory directory(file.fileName(), dir.path());
    const auto connect = [&] {
        auto c = std::make_unique<db::Connection>(QStringLiteral("Plain"));
        c->setDirectory(&directory);
        c->params().setValue(QStringLiteral("SERVER NAME"), QStringLiteral("Plain"));
        c->open();
        return c;
    };
    auto c = connect();
    for (const char *statement : {"pragma foreign_keys = on", "create table parent (id integer primary key)",
                                  "create table child (id integer references parent deferrable initially deferred)"})
        c->backend().execute(QLatin1String(statement), {});
    c->startTransaction();
    c->backend().execute(QStringLiteral("insert into child values (1)"), {});
    QVERIFY2(!errorOf([&] { c->commit(); }).text().isEmpty(), "the commit was not refused");
    // The next change is committed, not left in the refused transaction.
    c->backend().execute(QStringLiteral("insert into parent values (1)"), {});
    QCOMPARE(count(*connect(), QStringLiteral("select count(*) from parent")), 1);
    QCOMPARE(count(*connect(), QStringLiteral("select count(*) from child")), 0);
}

void TestSessions::aDateKeepsTheClientsWallClockTime()
{
    // CTest runs this test in a zone other than the servers' UTC.
    QVERIFY2(QDateTime(QDate(2024, 5, 31), QTime(0, 0)).offsetFromUtc() != 0, "run with TZ=Europe/Tallinn");
    TempServers servers;
    auto c = servers.connect();
    // The companies window names a row by all its old values, dates among them.
    db::Table companies;
    companies.setConnection(c.get());
    companies.setTableName(statements::SysParamsTable);
    companies.setIndexFieldNames(QStringLiteral("V_COMPANY"));
    companies.setUpdateMode(db::Table::UpdateMode::WhereAll);
    companies.open();
    QVERIFY(companies.findKey(1.0));
    QCOMPARE(companies.fieldByName(QStringLiteral("SYSTEM_DATE")).dataType(), db::FieldType::DateTime);
    QCOMPARE(companies.fieldByName(QStringLiteral("SYSTEM_DATE")).asDateTime(), QDateTime(QDate(2024, 5, 31), QTime(0, 0)));
    companies.edit();
    companies.fieldByName(QStringLiteral("COMPANY_NAME")).setAsString(QStringLiteral("Vortalix Bank plc"));
    const QString saved = errorOf([&] { companies.post(); }).text();
    QVERIFY2(saved.isEmpty(), qPrintable(saved));
    companies.edit();
    companies.fieldByName(QStringLiteral("REPORT_DATE")).setAsDateTime(QDateTime(QDate(2024, 6, 1), QTime(23, 30)));
    const QString savedAgain = errorOf([&] { companies.post(); }).text();
    QVERIFY2(savedAgain.isEmpty(), qPrintable(savedAgain));
    // Another session reads the times as typed, and finds the row by them.
    auto other = servers.connect();
    const db::BoundParams at{{QStringLiteral("d"), QDateTime(QDate(2024, 6, 1), QTime(23, 30))}};
    const db::ResultSet rs = other->backend().select(
        QStringLiteral("select company_name, report_date from v_sysparams where v_company = 1 and report_date = :d"), at);
    QCOMPARE(int(rs.rows.size()), 1);
    QCOMPARE(rs.rows.front().value(0).toString(), QStringLiteral("Vortalix Bank plc"));
    QCOMPARE(db::Field::dateTimeOf(rs.rows.front().value(1)), QDateTime(QDate(2024, 6, 1), QTime(23, 30)));
    // A row another session changed meanwhile is refused by all its old values.
    other->backend().execute(QStringLiteral("update v_sysparams set report_date = :d where v_company = 1"),
                             {{QStringLiteral("d"), QDateTime(QDate(2024, 6, 2), QTime(0, 0))}});
    companies.edit();
    companies.fieldByName(QStringLiteral("FIRMA_NIMI")).setAsString(QStringLiteral("Vortalix Pank"));
    const db::DbError refused = errorOf([&] { companies.post(); });
    QVERIFY2(refused.text().contains(QLatin1String("changed or deleted by another user")), qPrintable(refused.text()));
}

void TestSessions::columnsAreNamedAndTypedAsTheWindowsExpect()
{
    TempServers servers;
    auto c = servers.connect();
    const db::ResultSet rs = c->backend().select(
        QStringLiteral("select personnel_id, f_name||' '||l_name, lower(l_name) low, upper(f_name) "
                       "from vortalix.personnel order by personnel_id"),
        {});
    QStringList names;
    for (const db::ColumnInfo &column : rs.columns)
        names.append(column.name);
    QCOMPARE(names, (QStringList{QStringLiteral("PERSONNEL_ID"), QStringLiteral("F_NAME||''||L_NAME"), QStringLiteral("LOW"),
                                 QStringLiteral("UPPER(F_NAME)")}));
    QCOMPARE(rs.rows.front().value(1).toString(), QStringLiteral("Mari Maasikas"));
    QCOMPARE(rs.columns.at(0).type, db::FieldType::Float);
    QCOMPARE(rs.columns.at(1).type, db::FieldType::String);
    // A long text of a table is a memo; texts with a size keep it.
    const db::ResultSet programs = c->backend().select(QStringLiteral("select icon, prog_name, prog_last_comp from vortalix_prog"), {});
    QCOMPARE(programs.columns.at(0).type, db::FieldType::Memo);
    QCOMPARE(programs.columns.at(1).type, db::FieldType::String);
    QCOMPARE(programs.columns.at(1).size, 255);
    QCOMPARE(programs.columns.at(2).type, db::FieldType::DateTime);
    // Letters beyond ASCII change case too.
    QCOMPARE(column(*c, QStringLiteral("select lower(l_name) from personnel where personnel_id = 110")),
             QStringList{QStringLiteral("pärn")});
}

void TestSessions::valuesAreReadAsTheServerHoldsThem_data()
{
    QTest::addColumn<QString>("item");
    QTest::addColumn<QString>("from");
    QTest::addColumn<QString>("text"); // as a field shows it
    const QString program = QStringLiteral("vortalix_prog where prog_id = 1");
    QTest::newRow("a fraction") << "12.5" << "dual" << "12.5";
    QTest::newRow("a whole number") << "prog_id * 1000000" << program << "1000000";
    QTest::newRow("a text beyond ASCII") << "'Pärn \"ö\" 元'" << "dual" << "Pärn \"ö\" 元";
    QTest::newRow("no value") << "cast(null as varchar(5))" << "dual" << "";
    QTest::newRow("a time of day") << "prog_last_comp" << program << "2023-03-14";
    QTest::newRow("a long text of a table") << "prog_description" << program << "Entering and checking new loan applications";
}

void TestSessions::valuesAreReadAsTheServerHoldsThem()
{
    QFETCH(QString, item);
    QFETCH(QString, from);
    QFETCH(QString, text);
    TempServers servers;
    auto c = servers.connect();
    db::Query q;
    q.setConnection(c.get());
    q.setSql({QStringLiteral("select %1 value from %2").arg(item, from)});
    q.open();
    QCOMPARE(q.recordCount(), 1);
    QCOMPARE(q.fieldByName(QStringLiteral("VALUE")).asString(), text);
    QCOMPARE(q.fieldByName(QStringLiteral("VALUE")).isNull(), text.isEmpty());
}

void TestSessions::aStatementRefusedAsAmbiguousIsOrderedOutside_data()
{
    QTest::addColumn<db::Connection::OnFailure>("onFailure");
    QTest::addColumn<bool>("onDemand");
    QTest::newRow("failed statements undone alone") << db::Connection::OnFailure::UndoStatement << false;
    QTest::newRow("the transaction undone whole on a failure") << db::Connection::OnFailure::UndoTransaction << false;
    QTest::newRow("read on demand") << db::Connection::OnFailure::UndoStatement << true;
}

void TestSessions::aStatementRefusedAsAmbiguousIsOrderedOutside()
{
    QFETCH(db::Connection::OnFailure, onFailure);
    QFETCH(bool, onDemand);
    TempServers servers;
    auto c = servers.connect();
    db::Query q;
    q.setConnection(c.get());
    q.setSql(statements::QueryUsr);
    q.setFetchOnDemand(onDemand);
    q.paramByName(QStringLiteral("usr")).setAsString(QStringLiteral("ma%"));
    q.paramByName(QStringLiteral("dname")).setAsString(QStringLiteral("VORTA"));
    // Inside a transaction too, where the refusal must not spoil what follows.
    db::Transaction t(*c, onFailure);
    q.open();
    QStringList rows;
    for (q.first(); !q.eof(); q.next())
        rows.append(q.fieldByName(QStringLiteral("USERNAME")).asString() + QLatin1Char(' ')
                    + q.fieldByName(QStringLiteral("PROG_EXE")).asString());
    QCOMPARE(rows, (QStringList{QStringLiteral("MARGUS NETBANK.EXE"), QStringLiteral("MARI ACCOUNTS.EXE"),
                                QStringLiteral("MARI LOANAPP.EXE"), QStringLiteral("MARI LOANSCH.EXE"),
                                QStringLiteral("MARI NETBANK.EXE")}));
    q.close();
    QCOMPARE(count(*c, QStringLiteral("select count(*) from user_prog_db")), 33);
}

void TestSessions::aBatchWritesTheRowsOfItsRuns_data()
{
    QTest::addColumn<QStringList>("names");
    QTest::addColumn<bool>("refused");
    QTest::newRow("names in the order given")
        << QStringList{QStringLiteral("ZED"), QStringLiteral("O'BRIEN"), QStringLiteral("JÜRI \"Ö\""), QStringLiteral("ADA")}
        << false;
    QTest::newRow("one name") << QStringList{QStringLiteral("SOLO")} << false;
    QTest::newRow("a name twice, refused whole") << QStringList{QStringLiteral("ONCE"), QStringLiteral("TWICE"), QStringLiteral("TWICE")}
                                                 << true;
}

void TestSessions::aBatchWritesTheRowsOfItsRuns()
{
    QFETCH(QStringList, names);
    QFETCH(bool, refused);
    TempServers servers;
    auto c = servers.connect();
    const QString grants = QStringLiteral("select username from user_prog_db where vortalix_prog_id = 3 and database_id = 2 "
                                          "and ordinal is null order by ") + testsupport::insertionOrder();
    const QStringList before = column(*c, grants);
    db::Query insert;
    insert.setConnection(c.get());
    insert.setSql(statements::MainQueryAdd);
    {
        // As the users of one program are written: one transaction, undone whole.
        db::Transaction t(*c, db::Connection::OnFailure::UndoTransaction);
        for (const QString &name : names) {
            insert.paramByName(QStringLiteral("uname")).setAsString(name);
            insert.paramByName(QStringLiteral("p_id")).setAsFloat(3);
            insert.paramByName(QStringLiteral("d_id")).setAsFloat(2);
            insert.addBatch();
        }
        const QString error = errorOf([&] { insert.execBatch(); }).text();
        QCOMPARE(!error.isEmpty(), refused);
        if (!refused) {
            QCOMPARE(insert.rowsAffected(), qint64(names.size()));
            t.commit();
        }
    }
    QCOMPARE(column(*c, grants), refused ? before : before + names);
}

void TestSessions::aLongResultIsReadAsItIsFetched_data()
{
    // How many of the 250 rows are read before another statement of the session runs.
    QTest::addColumn<int>("readFirst");
    QTest::newRow("the first packet") << 100;
    QTest::newRow("none, the result closed") << 0;
    QTest::newRow("every row") << 250;
}

void TestSessions::aLongResultIsReadAsItIsFetched()
{
    QFETCH(int, readFirst);
    TempServers servers;
    auto c = servers.connect();
    db::Query rows;
    rows.setConnection(c.get());
    rows.setSql({QStringLiteral("with recursive n (i) as (select 1 from dual union all select i + 1 from n where i < 250) "
                                "select i from n order by i")});
    rows.setFetchOnDemand(true);
    rows.open();
    QCOMPARE(rows.recordCount(), 100);
    if (readFirst == 0)
        rows.close();
    else if (readFirst > 100)
        rows.last();
    // Another statement of the session meanwhile is committed as it completes.
    c->backend().execute(QStringLiteral("insert into user_prog_db (username, vortalix_prog_id, database_id, ordinal) "
                                        "values ('MEANWHILE', 3, 2, 0)"),
                         {});
    QCOMPARE(countRows(*servers.connect(), QStringLiteral("select username from user_prog_db where username = 'MEANWHILE'")), 1);
    if (readFirst == 0)
        return;
    // The rest is there to read, in order.
    rows.last();
    QCOMPARE(rows.recordCount(), 250);
    double sum = 0;
    for (rows.first(); !rows.eof(); rows.next())
        sum += rows.field(0).asFloat() * rows.recNo();
    QCOMPARE(sum, 5208250.0); // the sum of i * (i - 1) for i up to 250
}

void TestSessions::aSessionPreparesAStatementOnce()
{
    if (!TempServers::onPostgreSql())
        QSKIP("the server's view of a session's prepared statements");
    TempServers servers;
    auto c = servers.connect();
    // The row changes whose text ends so (which this statement's own text does not).
    const QString prepared = QStringLiteral("select count(*) from pg_prepared_statements where statement like '%where prog_id = %1'");
    const QString touch = QStringLiteral("update vortalix_prog set prog_name = prog_name where prog_id = %1");
    for (int i = 0; i < 3; ++i)
        QCOMPARE(c->backend().execute(touch.arg(3), {}), 1);
    QCOMPARE(count(*c, prepared.arg(3)), 1);
    // A session keeps so many, the least recently used going first.
    for (int i = 10; i < 80; ++i)
        c->backend().execute(touch.arg(i), {});
    QCOMPARE(count(*c, prepared.arg(12)), 0);
    QCOMPARE(count(*c, prepared.arg(79)), 1);
}

void TestSessions::theCandidatesAreJoinedByHashing()
{
    if (!TempServers::onPostgreSql())
        QSKIP("the plan of the server's dictionary views");
    TempServers servers;
    auto c = servers.connect();
    // On a fresh cluster nobody analysed: the accounts and their roles are joined by
    // hashing, never scanned again for each other's rows.
    const QString candidates = db::sql::joinLines(statements::userQuery)
                                   .replace(QStringLiteral(":p_id"), QStringLiteral("1"))
                                   .replace(QStringLiteral(":d_name"), QStringLiteral("'VORTA'"));
    const QStringList plan = column(*c, QStringLiteral("explain (costs off) ") + candidates);
    QVERIFY2(plan.first().trimmed().startsWith(QLatin1String("Hash Join")), qPrintable(plan.join(QLatin1Char('\n'))));
    QCOMPARE(plan.filter(QStringLiteral("Function Scan on all_users_rows")).size(), 1);
    QCOMPARE(plan.filter(QStringLiteral("Function Scan on dba_role_privs_rows")).size(), 1);
}

void TestSessions::accountStatementsAndTheirRefusals()
{
    TempServers servers;
    auto system = servers.connect(QStringLiteral("system"), QStringLiteral("manager"));
    auto owner = servers.connect();
    system->backend().execute(QStringLiteral("create user NEWBIE identified by \"First Pass\"\n"
                                             "default tablespace users\ntemporary tablespace temp"),
                              {});
    // A create the server refuses is written into the server's log without its password.
    const db::DbError refused =
        errorOf([&] { system->backend().execute(QStringLiteral("create user NEWBIE identified by \"First Pass\""), {}); });
    QVERIFY(!refused.text().isEmpty() && !refused.text().contains(QLatin1String("First Pass")));
    if (TempServers::onPostgreSql()) {
        QFile log(QSettings(servers.serversFile(), QSettings::IniFormat).value(QStringLiteral("LIVE/host")).toString()
                  + QStringLiteral("/server.log"));
        QVERIFY(log.open(QIODevice::ReadOnly));
        const QByteArray logged = log.readAll();
        QVERIFY(logged.contains("role \"newbie\" already exists"));
        QVERIFY(!logged.contains("First Pass"));
    }
    owner->backend().execute(QStringLiteral("grant resource, connect, dealer to NEWBIE"), {});
    owner->backend().execute(QStringLiteral("grant execute on vortalix.CURRENCY_RATES to NEWBIE"), {});
    QVERIFY(servers.connect(QStringLiteral("newbie"), QStringLiteral("First Pass"))->connected());
    QCOMPARE(column(*system, QStringLiteral("select granted_role from dba_role_privs where grantee = 'NEWBIE' "
                                            "order by granted_role")),
             (QStringList{QStringLiteral("CONNECT"), QStringLiteral("DEALER"), QStringLiteral("RESOURCE")}));
    // The owner may not hand out a role it holds without the admin option, nor create one.
    QVERIFY(!errorOf([&] { owner->backend().execute(QStringLiteral("grant dealer2 to NEWBIE"), {}); }).text().isEmpty());
    QVERIFY(!errorOf([&] { owner->backend().execute(QStringLiteral("create role AUDITORS"), {}); }).text().isEmpty());
    // What was not granted cannot be revoked; what was, can, once.
    owner->backend().execute(QStringLiteral("revoke execute on vortalix.currency_rates from NEWBIE"), {});
    QVERIFY(!errorOf([&] { owner->backend().execute(QStringLiteral("revoke execute on vortalix.currency_rates from NEWBIE"), {}); })
                 .text().isEmpty());
    QVERIFY(!errorOf([&] { owner->backend().execute(QStringLiteral("revoke execute on vortalix.account_balance from NEWBIE"), {}); })
                 .text().isEmpty());
    system->backend().execute(QStringLiteral("revoke dealer from NEWBIE"), {});
    QVERIFY(!errorOf([&] { system->backend().execute(QStringLiteral("revoke dealer from NEWBIE"), {}); }).text().isEmpty());
    system->backend().execute(QStringLiteral("alter user NEWBIE identified by other"), {});
    QVERIFY(servers.connect(QStringLiteral("NEWBIE"), QStringLiteral("other"))->connected());
    // Only a DBA drops an account; the drop takes its grants with it.
    owner->backend().execute(QStringLiteral("grant execute on vortalix.get_customer_name to NEWBIE"), {});
    QVERIFY(!errorOf([&] { owner->backend().execute(QStringLiteral("drop user NEWBIE cascade"), {}); }).text().isEmpty());
    system->backend().execute(QStringLiteral("drop user NEWBIE cascade"), {});
    QVERIFY(column(*system, QStringLiteral("select username from all_users where username = 'NEWBIE'")).isEmpty());
    QVERIFY(!errorOf([&] { servers.connect(QStringLiteral("NEWBIE"), QStringLiteral("other")); }).text().isEmpty());
    QVERIFY(!errorOf([&] { system->backend().execute(QStringLiteral("drop user NEWBIE cascade"), {}); }).text().isEmpty());
}

void TestSessions::anAccountStatementReadsAlikeOnEveryServer_data()
{
    QTest::addColumn<QString>("login");
    QTest::addColumn<QString>("before");    // run first as SYSTEM
    QTest::addColumn<QString>("statement");
    QTest::addColumn<QString>("refusal");   // the real server's code, or empty for success
    QTest::addColumn<QString>("onPostgreSql"); // PostgreSQL's words for the same refusal
    QTest::addColumn<QString>("shown");     // the statement as an error box shows it
    QTest::addColumn<QString>("check");     // a count that tells the statement's effect
    QTest::addColumn<int>("expected");
    const QString system = QStringLiteral("system");
    const QString owner = QStringLiteral("vortalix");
    const QString users = QStringLiteral("select count(*) from all_users where username = '%1'");
    const QString roles = QStringLiteral("select count(*) from dba_role_privs where grantee = '%1' and granted_role = '%2'");
    QTest::newRow("a password right after by") << system << QString() << "create user JAAN identified by\"S3cretPwA\""
                                               << "ORA-01920" << "(42710)" << "create user JAAN identified by********"
                                               << users.arg("JAAN") << 1;
    QTest::newRow("a new user whose password follows by") << system << QString()
                                                           << "create user NEWBIE identified by\"S3cretPwA\"" << QString()
                                                           << QString() << "create user NEWBIE identified by********"
                                                           << users.arg("NEWBIE") << 1;
    QTest::newRow("a comment between identified and by") << owner << QString()
                                                         << "alter user MARI identified -- new\n by\"S3cretPwA\""
                                                         << "ORA-01031" << "(42501)"
                                                         << "alter user MARI identified -- new\n by********" << QString() << 0;
    QTest::newRow("a note between words") << system << QString() << "grant dealer2 -- note\n to MARI" << QString() << QString()
                                          << QString() << roles.arg("MARI", "DEALER2") << 1;
    QTest::newRow("a comment first") << system << QString() << "/* note */ revoke DEALER from AUDITOR;" << "ORA-01951"
                                     << "(42704)" << QString() << roles.arg("AUDITOR", "DEALER") << 0;
    QTest::newRow("text after the end") << system << QString() << "drop user mari; drop user jaan" << "ORA-00911"
                                        << "ORA-00911" << QString() << users.arg("MARI") << 1;
    QTest::newRow("a quoted name with a quote") << system << "create user \"O'Neil\" identified by kevaro"
                                                << "drop user \"O'Neil\"" << QString() << QString() << QString()
                                                << users.arg("O''Neil") << 0;
    QTest::newRow("a quoted privilege") << owner << QString() << "grant \"all on func_grants to mari--\" on a to b"
                                        << "ORA-00990" << "ORA-00990" << QString() << QString() << 0;
}

void TestSessions::anAccountStatementReadsAlikeOnEveryServer()
{
    QFETCH(QString, login);
    QFETCH(QString, before);
    QFETCH(QString, statement);
    QFETCH(QString, refusal);
    QFETCH(QString, onPostgreSql);
    QFETCH(QString, shown);
    QFETCH(QString, check);
    QFETCH(int, expected);
    TempServers servers;
    auto system = servers.connect(QStringLiteral("system"), QStringLiteral("manager"));
    if (!before.isEmpty())
        system->backend().execute(before, {});
    auto c = login == QLatin1String("system") ? std::move(system) : servers.connect(login, QStringLiteral("lumivar"));
    const QString error = errorOf([&] { c->backend().execute(statement, {}); }).text();
    if (refusal.isEmpty())
        QVERIFY2(error.isEmpty(), qPrintable(error));
    else
        QVERIFY2(isServerError(error, refusal, onPostgreSql), qPrintable(error));
    // A password is shown neither in the server's refusal nor in the statement as shown.
    QVERIFY(!error.contains(QLatin1String("S3cretPwA")));
    if (!shown.isEmpty())
        QCOMPARE(db::withPasswordsHidden(statement), shown);
    if (!check.isEmpty())
        QCOMPARE(count(*servers.connect(QStringLiteral("system"), QStringLiteral("manager")), check), expected);
}

void TestSessions::executeIsGrantedAndRevokedByItsOwnerOrADba_data()
{
    QTest::addColumn<QString>("login");
    QTest::addColumn<QString>("statement");
    QTest::addColumn<QString>("refusal");      // the real server's code, or empty for success
    QTest::addColumn<QString>("onPostgreSql"); // PostgreSQL's words for the same refusal
    QTest::addColumn<QString>("grantee");
    QTest::addColumn<bool>("holds"); // whether the grantee holds EXECUTE on GET_CUSTOMER_NAME after it
    const QString unit = QStringLiteral(" execute on vortalix.get_customer_name ");
    QTest::newRow("a holder takes it from another") << "mari" << "revoke" + unit + "from JAAN" << "ORA-01031" << "(42501)" << "JAAN" << true;
    QTest::newRow("a holder passes it on") << "mari" << "grant" + unit + "to AUDITOR" << "ORA-01031" << "(42501)" << "AUDITOR" << false;
    QTest::newRow("a DBA takes it") << "system" << "revoke" + unit + "from JAAN" << QString() << QString() << "JAAN" << false;
    QTest::newRow("a DBA gives it") << "system" << "grant" + unit + "to AUDITOR" << QString() << QString() << "AUDITOR" << true;
    QTest::newRow("the owner's own unit") << "vortalix" << "grant execute on get_customer_name to AUDITOR" << QString()
                                          << QString() << "AUDITOR" << true;
    QTest::newRow("the login's own unit") << "system" << "grant execute on get_customer_name to AUDITOR" << "ORA-04042"
                                          << "(42883)" << "AUDITOR" << false;
}

void TestSessions::executeIsGrantedAndRevokedByItsOwnerOrADba()
{
    QFETCH(QString, login);
    QFETCH(QString, statement);
    QFETCH(QString, refusal);
    QFETCH(QString, onPostgreSql);
    QFETCH(QString, grantee);
    QFETCH(bool, holds);
    TempServers servers;
    const QHash<QString, QString> passwords{{"system", "manager"}, {"vortalix", "lumivar"}, {"mari", "kevaro"}};
    const QString error = errorOf([&] { servers.connect(login, passwords[login])->backend().execute(statement, {}); }).text();
    QVERIFY2(refusal.isEmpty() ? error.isEmpty() : isServerError(error, refusal, onPostgreSql), qPrintable(error));
    QCOMPARE(testsupport::holdsExecute(servers, grantee, QStringLiteral("GET_CUSTOMER_NAME")), holds);
}

void TestSessions::theDbaReachesNothingBeyondTheDatabase_data()
{
    // The steps are run in turn as SYSTEM, and the last is refused; %1 is a file in a folder
    // that the server's operating-system user could write to.
    QTest::addColumn<QStringList>("route");
    QTest::newRow("running a program") << QStringList{"alter role system createrole", "grant pg_execute_server_program to system",
                                                      "copy (select 1) to program 'touch %1'"};
    QTest::newRow("reading files") << QStringList{"grant pg_read_server_files to system",
                                                  "copy vortalix.func_grants from '/etc/hostname'"};
    QTest::newRow("writing files") << QStringList{"grant pg_write_server_files to system", "copy (select 1) to '%1'"};
    QTest::newRow("the superuser's password") << QStringList{"alter user postgres identified by taken"};
    QTest::newRow("a catalogue of one's own") << QStringList{"create temp view pg_roles as select 'postgres'::name rolname, "
                                                             "rolcanlogin, oid from pg_catalog.pg_roles where rolname = 'mari'",
                                                             "alter user postgres identified by taken"};
    QTest::newRow("the superuser") << QStringList{"drop user postgres"};
    QTest::newRow("the cluster's functions") << QStringList{"grant execute on pg_catalog.pg_reload_conf to system"};
}

void TestSessions::theDbaReachesNothingBeyondTheDatabase()
{
    if (!TempServers::onPostgreSql())
        QSKIP("the cluster's superuser and predefined roles are PostgreSQL's");
    QFETCH(QStringList, route);
    TempServers servers;
    QTemporaryDir folder;
    QVERIFY(QFile::setPermissions(folder.path(), QFileDevice::Permissions(0x7777)));
    const QString reached = folder.filePath(QStringLiteral("reached"));
    auto system = servers.connect(QStringLiteral("system"), QStringLiteral("manager"));
    QString error;
    for (QString step : route)
        error = errorOf([&] { system->backend().execute(step.replace(QLatin1String("%1"), reached), {}); }).text();
    QVERIFY2(error.contains(QLatin1String("(42501)")), qPrintable(error));
    QVERIFY(!QFile::exists(reached));
}

void TestSessions::theServersErrorKeepsItsCode()
{
    TempServers servers;
    auto c = servers.connect();
    const db::DbError e = errorOf([&] { c->backend().select(QStringLiteral("select * from no_such_table"), {}); });
    QVERIFY(!e.text().isEmpty());
    QCOMPARE(e.state(), TempServers::onPostgreSql() ? QStringLiteral("42P01") : QStringLiteral("942"));
}

QTEST_GUILESS_MAIN(TestSessions)
#include "tst_sessions.moc"
