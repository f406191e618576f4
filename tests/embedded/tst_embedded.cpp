#include "TempServers.h"

#include "platform/db/DbError.h"
#include "platform/db/Query.h"
#include "platform/embedded/EmbeddedBackend.h"
#include "platform/embedded/PasswordHash.h"
#include "platform/embedded/ServerErrors.h"
#include "platform/embedded/SqlFunctions.h"
#include "platform/embedded/Sqlite.h"

#include <QDir>
#include <QProcess>
#include <QTest>

using testsupport::TempServers;
using testsupport::column;
using testsupport::countRows;

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

QString codeOf(const std::function<void()> &f)
{
    return errorOf(f).left(9);
}

QString dictionaryOf(const TempServers &servers)
{
    return servers.serverFolder(QStringLiteral("LIVE")) + QStringLiteral("/_dictionary.sqlite");
}

QString schemaFileOf(const TempServers &servers)
{
    return servers.serverFolder(QStringLiteral("LIVE")) + QStringLiteral("/VORTALIX.sqlite");
}

// Makes a file read-only for this process while it lives. Without write permission is
// enough for an ordinary user; the superuser writes such files all the same, and for it
// the file is made immutable where the file system allows. ok() tells whether it worked.
class ReadOnlyFile {
public:
    explicit ReadOnlyFile(const QString &path) : m_path(path), m_permissions(QFile::permissions(path))
    {
        QFile::setPermissions(path, QFileDevice::ReadOwner | QFileDevice::ReadGroup | QFileDevice::ReadOther);
        if (writable())
            m_immutable = QProcess::execute(QStringLiteral("chattr"), {QStringLiteral("+i"), path}) == 0;
    }
    ~ReadOnlyFile()
    {
        if (m_immutable)
            QProcess::execute(QStringLiteral("chattr"), {QStringLiteral("-i"), m_path});
        QFile::setPermissions(m_path, m_permissions);
    }
    ReadOnlyFile(const ReadOnlyFile &) = delete;
    ReadOnlyFile &operator=(const ReadOnlyFile &) = delete;
    bool ok() const { return !writable(); }

private:
    bool writable() const
    {
        QFile f(m_path);
        return f.open(QIODevice::ReadWrite);
    }
    QString m_path;
    QFileDevice::Permissions m_permissions;
    bool m_immutable = false;
};

} // namespace

class TestEmbedded : public QObject {
    Q_OBJECT
private slots:
    void logins_data();
    void logins();
    void aCreatedUserCanLogIn();
    void onlyADbaKeepsAccounts();
    void accountStatementErrors_data();
    void accountStatementErrors();
    void dropUserCascade();
    void roles();
    void objectGrants();
    void dictionaryViews();
    void theDictionaryIsReadOnlyThroughItsViews();
    void serverFunctions();
    void likeComparesWithCaseAndEmptyMeansNothing();
    void derivedColumnNames();
    void orderByListNamesIsAdapted();
    void missingValuesSortAsTheServerSortsThem_data();
    void missingValuesSortAsTheServerSortsThem();
    void oneStatementAtATime();
    void stringSizesAreChecked();
    void repeatedTextsReadBackExactly();
    void passwordHashesAreReadByNoRoute_data();
    void passwordHashesAreReadByNoRoute();
    void aViewCannotReachTheDictionary();
    void everyLoginCountsTheDictionaryViews();
    void accountNamesFitTheSchema();
    void quotedNamesKeepTheirCaseAtLogin();
    void anUnknownAccountCostsTheSameWork();
    void aRepeatedLoginIsCheckedWithoutDerivingAgain();
    void aStatementRunAgainSeesTheSchemaAsItIsNow();
    void onlyTheServersFunctionsAreCalled_data();
    void onlyTheServersFunctionsAreCalled();
    void theServersFunctionsAnswer();
    void aMissingSchemaFileFailsTheLogin();
    void anUnusableServerFolderIsNamed();
    void aDamagedDictionaryIsNamed_data();
    void aDamagedDictionaryIsNamed();
    void aLockedDictionaryIsReportedAndLeftAsItWas();
    void aDropThatFailsKeepsTheSchemaFile();
    void aReadOnlyFileIsNamed();
    void sqliteFileErrorsBecomeServerErrors_data();
    void sqliteFileErrorsBecomeServerErrors();
};

void TestEmbedded::logins_data()
{
    QTest::addColumn<QString>("user");
    QTest::addColumn<QString>("password");
    QTest::addColumn<QString>("error");
    QTest::newRow("owner") << "vortalix" << "lumivar" << "";
    QTest::newRow("name in any case") << "VortaliX" << "lumivar" << "";
    QTest::newRow("system") << "SYSTEM" << "manager" << "";
    QTest::newRow("wrong password") << "vortalix" << "LUMIVAR" << "ORA-01017: invalid username/password; logon denied";
    QTest::newRow("unknown account") << "nobody" << "lumivar" << "ORA-01017: invalid username/password; logon denied";
    QTest::newRow("no password") << "vortalix" << "" << "ORA-01005: null password given; logon denied";
    QTest::newRow("no user") << "" << "x" << "ORA-01017: invalid username/password; logon denied";
}

void TestEmbedded::logins()
{
    QFETCH(QString, user);
    QFETCH(QString, password);
    QFETCH(QString, error);
    TempServers servers;
    const QString got = errorOf([&] { servers.connect(user, password); });
    QCOMPARE(got, error);
    QVERIFY(!got.contains(password) || password.isEmpty() || error.isEmpty());
}

void TestEmbedded::aCreatedUserCanLogIn()
{
    TempServers servers;
    auto system = servers.connect(QStringLiteral("system"), QStringLiteral("manager"));
    system->backend().execute(QStringLiteral("create user newbie identified by Secret1 default tablespace users temporary tablespace temp"), {});
    auto newbie = servers.connect(QStringLiteral("NEWBIE"), QStringLiteral("Secret1"));
    QVERIFY(newbie->connected());
    QCOMPARE(codeOf([&] { servers.connect(QStringLiteral("NEWBIE"), QStringLiteral("secret1")); }), QStringLiteral("ORA-01017"));
    // An account changes its own password.
    newbie->backend().execute(QStringLiteral("alter user newbie identified by Other2"), {});
    QVERIFY(servers.connect(QStringLiteral("newbie"), QStringLiteral("Other2"))->connected());
    QCOMPARE(codeOf([&] { newbie->backend().execute(QStringLiteral("alter user mari identified by x"), {}); }),
             QStringLiteral("ORA-01031"));
    // The password is kept as a salted hash, never as text.
    QFile dictionary(servers.serverFolder(QStringLiteral("LIVE")) + QStringLiteral("/_dictionary.sqlite"));
    QVERIFY(dictionary.open(QIODevice::ReadOnly));
    QVERIFY(!dictionary.readAll().contains("Other2"));
}

void TestEmbedded::onlyADbaKeepsAccounts()
{
    TempServers servers;
    auto owner = servers.connect();
    for (const char *statement : {"create user x identified by y", "drop user mari", "alter user mari identified by z",
                                  "create role boss", "drop role dealer2"}) {
        QCOMPARE(codeOf([&] { owner->backend().execute(QLatin1String(statement), {}); }), QStringLiteral("ORA-01031"));
    }
    QCOMPARE(column(*owner, QStringLiteral("select count(*) from all_users where username = 'X'")), QStringList{QStringLiteral("0")});
}

void TestEmbedded::accountStatementErrors_data()
{
    QTest::addColumn<QString>("statement");
    QTest::addColumn<QString>("error");
    QTest::newRow("user exists") << "create user mari identified by x" << "ORA-01920: user name 'MARI' conflicts with another user or role name";
    QTest::newRow("user named as a role") << "create user dealer identified by x" << "ORA-01920: user name 'DEALER' conflicts with another user or role name";
    QTest::newRow("no tablespace") << "create user z identified by x default tablespace nowhere" << "ORA-00959: tablespace 'NOWHERE' does not exist";
    QTest::newRow("no password") << "create user z identified by" << "ORA-00988: missing or invalid password(s)";
    QTest::newRow("bad option") << "create user z identified by x quota" << "ORA-00922: missing or invalid option";
    QTest::newRow("alter missing user") << "alter user ghost identified by x" << "ORA-01918: user 'GHOST' does not exist";
    QTest::newRow("drop missing user") << "drop user ghost" << "ORA-01918: user 'GHOST' does not exist";
    QTest::newRow("drop self") << "drop user system cascade" << "ORA-01940: cannot drop a user that is currently connected";
    QTest::newRow("drop owner without cascade") << "drop user vortalix" << "ORA-01922: CASCADE must be specified to drop 'VORTALIX'";
    QTest::newRow("role exists") << "create role dealer" << "ORA-01921: role name 'DEALER' conflicts with another user or role name";
    QTest::newRow("drop missing role") << "drop role ghost" << "ORA-01919: role 'GHOST' does not exist";
    QTest::newRow("grant missing role") << "grant ghost to mari" << "ORA-01919: role 'GHOST' does not exist";
    QTest::newRow("grant to missing user") << "grant dealer to ghost" << "ORA-01917: user or role 'GHOST' does not exist";
    QTest::newRow("revoke not granted") << "revoke dealer2 from mari" << "ORA-01951: ROLE 'DEALER2' not granted to 'MARI'";
    QTest::newRow("circular grant") << "grant dealer to dealer" << "ORA-01934: circular role grant detected";
    QTest::newRow("execute on missing unit") << "grant execute on vortalix.nothing to mari" << "ORA-04042: procedure, function, package, or package body does not exist";
    QTest::newRow("execute on a table") << "grant execute on vortalix.user_prog_db to mari" << "ORA-02224: EXECUTE privilege not allowed for tables";
    QTest::newRow("execute to missing user") << "grant execute on vortalix.get_customer_name to ghost" << "ORA-01917: user or role 'GHOST' does not exist";
    QTest::newRow("revoke execute not granted") << "revoke execute on vortalix.currency_rates from mari" << "ORA-01927: cannot REVOKE privileges you did not grant";
    QTest::newRow("not a statement") << "grant" << "ORA-00990: missing or invalid privilege";
    const QString tooLong = QStringLiteral("ORA-00972: identifier is too long");
    QTest::newRow("user name of 31") << QStringLiteral("create user %1 identified by x").arg(QString(31, QLatin1Char('A'))) << tooLong;
    QTest::newRow("user name of 200") << QStringLiteral("create user %1 identified by x").arg(QString(200, QLatin1Char('b'))) << tooLong;
    QTest::newRow("quoted name of 31") << QStringLiteral("create user \"%1\" identified by x").arg(QString(31, QLatin1Char('c'))) << tooLong;
    QTest::newRow("role name of 31") << QStringLiteral("create role %1").arg(QString(31, QLatin1Char('R'))) << tooLong;
    QTest::newRow("grantee of 31") << QStringLiteral("grant dealer to %1").arg(QString(31, QLatin1Char('G'))) << tooLong;
}

void TestEmbedded::accountStatementErrors()
{
    QFETCH(QString, statement);
    QFETCH(QString, error);
    TempServers servers;
    auto system = servers.connect(QStringLiteral("system"), QStringLiteral("manager"));
    QCOMPARE(errorOf([&] { system->backend().execute(statement, {}); }), error);
}

void TestEmbedded::dropUserCascade()
{
    TempServers servers;
    auto system = servers.connect(QStringLiteral("system"), QStringLiteral("manager"));
    system->backend().execute(QStringLiteral("drop user mari"), {}); // owns nothing: no cascade needed
    QCOMPARE(column(*system, QStringLiteral("select count(*) from dba_role_privs where grantee = 'MARI'")), QStringList{QStringLiteral("0")});
    QCOMPARE(codeOf([&] { servers.connect(QStringLiteral("mari"), QStringLiteral("kevaro")); }), QStringLiteral("ORA-01017"));
    // The program's own grants of the administration schema are not the server's.
    QCOMPARE(column(*system, QStringLiteral("select count(*) from vortalix.user_prog_db where username = 'MARI'")),
             QStringList{QStringLiteral("5")});

    // Inside a transaction the drop is refused whole: a rollback could not bring the file back.
    system->startTransaction();
    QCOMPARE(codeOf([&] { system->backend().execute(QStringLiteral("drop user vortalix cascade"), {}); }),
             QStringLiteral("ORA-14552"));
    system->rollback();
    QVERIFY(QFile::exists(servers.serverFolder(QStringLiteral("LIVE")) + QStringLiteral("/VORTALIX.sqlite")));
    QCOMPARE(column(*system, QStringLiteral("select count(*) from all_users where username = 'VORTALIX'")), QStringList{QStringLiteral("1")});

    system->backend().execute(QStringLiteral("drop user vortalix cascade"), {});
    QVERIFY(!QFile::exists(servers.serverFolder(QStringLiteral("LIVE")) + QStringLiteral("/VORTALIX.sqlite")));
    QCOMPARE(codeOf([&] { column(*system, QStringLiteral("select * from vortalix.vortalix_prog")); }), QStringLiteral("ORA-00942"));
    QCOMPARE(column(*system, QStringLiteral("select count(*) from all_users where username = 'VORTALIX'")), QStringList{QStringLiteral("0")});
    // A new session finds the server without the dropped schema.
    auto again = servers.connect(QStringLiteral("system"), QStringLiteral("manager"));
    QCOMPARE(codeOf([&] { column(*again, QStringLiteral("select * from user_prog_db")); }), QStringLiteral("ORA-00942"));
}

void TestEmbedded::roles()
{
    TempServers servers;
    auto system = servers.connect(QStringLiteral("system"), QStringLiteral("manager"));
    system->backend().execute(QStringLiteral("create role tellers"), {});
    system->backend().execute(QStringLiteral("grant tellers, dealer2 to mari, jaan with admin option"), {});
    QCOMPARE(column(*system, QStringLiteral("select grantee || ':' || granted_role || ':' || admin_option from dba_role_privs "
                                            "where granted_role in ('TELLERS', 'DEALER2') order by 1")),
             (QStringList{QStringLiteral("EVELIN:DEALER2:NO"), QStringLiteral("JAAN:DEALER2:YES"), QStringLiteral("JAAN:TELLERS:YES"),
                          QStringLiteral("KALLE:DEALER2:NO"), QStringLiteral("MARI:DEALER2:YES"), QStringLiteral("MARI:TELLERS:YES"),
                          QStringLiteral("SYSTEM:TELLERS:YES")}));

    // A holder with the admin option passes the role on; one without it cannot.
    auto haldur = servers.connect(QStringLiteral("haldur"), QStringLiteral("kevaro"));
    haldur->backend().execute(QStringLiteral("grant dealer to auditor"), {});
    haldur->backend().execute(QStringLiteral("revoke dealer from auditor"), {});
    auto katrin = servers.connect(QStringLiteral("katrin"), QStringLiteral("kevaro"));
    QCOMPARE(errorOf([&] { katrin->backend().execute(QStringLiteral("grant dealer to auditor"), {}); }),
             QStringLiteral("ORA-01932: ADMIN option not granted for role 'DEALER'"));
    // The schema owner hands out the roles new accounts get.
    auto owner = servers.connect();
    owner->backend().execute(QStringLiteral("grant resource, connect, dealer to AUDITOR"), {});
    QCOMPARE(column(*owner, QStringLiteral("select granted_role from dba_role_privs where grantee = 'AUDITOR' order by 1")),
             (QStringList{QStringLiteral("CONNECT"), QStringLiteral("DEALER"), QStringLiteral("RESOURCE")}));

    // A failing statement changes nothing, not even its first names.
    QCOMPARE(codeOf([&] { system->backend().execute(QStringLiteral("grant dealer2 to anne, ghost"), {}); }), QStringLiteral("ORA-01917"));
    QCOMPARE(column(*system, QStringLiteral("select count(*) from dba_role_privs where grantee = 'ANNE' and granted_role = 'DEALER2'")),
             QStringList{QStringLiteral("0")});

    system->backend().execute(QStringLiteral("drop role tellers"), {});
    QCOMPARE(column(*system, QStringLiteral("select count(*) from dba_role_privs where granted_role = 'TELLERS'")), QStringList{QStringLiteral("0")});
    QCOMPARE(column(*system, QStringLiteral("select count(*) from dba_roles where role = 'TELLERS'")), QStringList{QStringLiteral("0")});
}

void TestEmbedded::objectGrants()
{
    TempServers servers;
    auto owner = servers.connect();
    owner->backend().execute(QStringLiteral("grant execute on currency_rates to mari, jaan"), {}); // the owner's own unit
    owner->backend().execute(QStringLiteral("revoke execute on vortalix.currency_rates from jaan"), {});
    auto mari = servers.connect(QStringLiteral("mari"), QStringLiteral("kevaro"));
    QCOMPARE(errorOf([&] { mari->backend().execute(QStringLiteral("grant execute on vortalix.currency_rates to jaan"), {}); }),
             QStringLiteral("ORA-01031: insufficient privileges"));
    auto system = servers.connect(QStringLiteral("system"), QStringLiteral("manager"));
    system->backend().execute(QStringLiteral("grant execute on vortalix.post_transaction to jaan"), {});
    // Dropping an account takes its grants with it.
    system->backend().execute(QStringLiteral("drop user jaan"), {});
    system->backend().execute(QStringLiteral("create user jaan identified by kevaro"), {});
    QCOMPARE(errorOf([&] { system->backend().execute(QStringLiteral("revoke execute on vortalix.post_transaction from jaan"), {}); }),
             QStringLiteral("ORA-01927: cannot REVOKE privileges you did not grant"));
}

void TestEmbedded::dictionaryViews()
{
    TempServers servers;
    auto owner = servers.connect();
    const db::ResultSet users = owner->backend().select(QStringLiteral("select * from all_users where username = 'MARI'"), {});
    QCOMPARE(users.columns.size(), 3);
    QCOMPARE(users.columns.at(0).name, QStringLiteral("USERNAME"));
    QCOMPARE(users.columns.at(0).size, 30);
    QCOMPARE(users.columns.at(1).name, QStringLiteral("USER_ID"));
    QCOMPARE(users.columns.at(1).type, db::FieldType::Float);
    QCOMPARE(users.columns.at(2).name, QStringLiteral("CREATED"));
    QCOMPARE(users.columns.at(2).type, db::FieldType::DateTime);
    QCOMPARE(users.rows.size(), std::size_t(1));

    const db::ResultSet privs = owner->backend().select(QStringLiteral("select * from dba_role_privs where grantee = 'HALDUR' order by granted_role"), {});
    QStringList names;
    for (const db::ColumnInfo &c : privs.columns)
        names.append(c.name);
    QCOMPARE(names, (QStringList{QStringLiteral("GRANTEE"), QStringLiteral("GRANTED_ROLE"), QStringLiteral("ADMIN_OPTION"), QStringLiteral("DEFAULT_ROLE")}));
    QCOMPARE(privs.rows.size(), std::size_t(2));
    QCOMPARE(privs.rows.at(1).at(1).toString(), QStringLiteral("DEALER"));
    QCOMPARE(privs.rows.at(1).at(2).toString(), QStringLiteral("YES"));
    QCOMPARE(privs.rows.at(0).at(2).toString(), QStringLiteral("NO"));
    QCOMPARE(column(*owner, QStringLiteral("select role from dba_roles order by role")),
             (QStringList{QStringLiteral("CONNECT"), QStringLiteral("DBA"), QStringLiteral("DEALER"), QStringLiteral("DEALER2"), QStringLiteral("RESOURCE")}));
}

void TestEmbedded::theDictionaryIsReadOnlyThroughItsViews()
{
    TempServers servers;
    auto system = servers.connect(QStringLiteral("system"), QStringLiteral("manager"));
    const QString denied = QStringLiteral("ORA-01031");
    QCOMPARE(codeOf([&] { column(*system, QStringLiteral("select password_hash from userpr_dictionary.accounts")); }), denied);
    QCOMPARE(codeOf([&] { system->backend().execute(QStringLiteral("delete from userpr_dictionary.role_grants"), {}); }), denied);
    QCOMPARE(codeOf([&] { system->backend().execute(QStringLiteral("attach database '/tmp/x.sqlite' as x"), {}); }), denied);
    QCOMPARE(codeOf([&] { system->backend().execute(QStringLiteral("pragma foreign_keys = off"), {}); }), denied);
    QCOMPARE(codeOf([&] { system->backend().execute(QStringLiteral("create table scratch (a number)"), {}); }), denied);
    auto mari = servers.connect(QStringLiteral("mari"), QStringLiteral("kevaro"));
    QCOMPARE(codeOf([&] { mari->backend().execute(QStringLiteral("drop table vortalix.func_grants"), {}); }), denied);
    // The owner and a DBA make objects in the owner's schema.
    auto owner = servers.connect();
    owner->backend().execute(QStringLiteral("create table vortalix.scratch (a number)"), {});
    system->backend().execute(QStringLiteral("drop table vortalix.scratch"), {});
}

void TestEmbedded::serverFunctions()
{
    TempServers servers;
    auto c = servers.connect();
    QCOMPARE(column(*c, QStringLiteral("select to_char(10) from dual")), QStringList{QStringLiteral("10")});
    QCOMPARE(column(*c, QStringLiteral("select to_char(1.5) || '|' || to_char(0.5) || '|' || to_char(-0.25) from dual")),
             QStringList{QStringLiteral("1.5|.5|-.25")});
    QCOMPARE(column(*c, QStringLiteral("select to_char(prog_last_comp, 'DD.MM.YYYY') from vortalix_prog where prog_id = 1")),
             QStringList{QStringLiteral("14.03.2023")});
    QCOMPARE(column(*c, QStringLiteral("select upper('pärn') || lower('ÕUN') from dual")), QStringList{QStringLiteral("PÄRNõun")});
    QCOMPARE(column(*c, QStringLiteral("select nvl(null, 'x') from dual")), QStringList{QStringLiteral("x")});
    QCOMPARE(column(*c, QStringLiteral("select db_name||' ('||v_company||')' from v_sysparams where v_company = 10")),
             QStringList{QStringLiteral("FONDID (10)")});
    QCOMPARE(embedded::oracleNumberText(100.0), QStringLiteral("100"));
    QVERIFY(embedded::likeMatches(QStringLiteral("a_b%c"), QStringLiteral("a!_b!%%"), QLatin1Char('!')));
    QVERIFY(!embedded::likeMatches(QStringLiteral("axb"), QStringLiteral("a!_b"), QLatin1Char('!')));
}

void TestEmbedded::likeComparesWithCaseAndEmptyMeansNothing()
{
    TempServers servers;
    auto c = servers.connect();
    db::Query q;
    q.setConnection(c.get());
    q.setSql({QStringLiteral("select prog_exe from vortalix_prog where prog_exe like :exe")});
    auto count = [&](const QString &pattern) {
        q.close();
        q.paramByName(QStringLiteral("exe")).setAsString(pattern);
        q.open();
        return q.recordCount();
    };
    QCOMPARE(count(QStringLiteral("LOAN%")), 3);
    QCOMPARE(count(QStringLiteral("loan%")), 0);
    QCOMPARE(count(QStringLiteral("%")), 30);
    QCOMPARE(count(QStringLiteral("_ASHDESK.EXE")), 1);
    QCOMPARE(count(QString()), 0);
    QCOMPARE(count(QStringLiteral("")), 0);
    // An empty string is stored as no value.
    c->backend().execute(QStringLiteral("update vortalix_prog set prog_group = :g where prog_id = 1"),
                         {{QStringLiteral("g"), QStringLiteral("")}});
    QCOMPARE(column(*c, QStringLiteral("select count(*) from vortalix_prog where prog_group is null")), QStringList{QStringLiteral("2")});
}

void TestEmbedded::derivedColumnNames()
{
    TempServers servers;
    auto c = servers.connect();
    const db::ResultSet rs = c->backend().select(QStringLiteral("select\n personnel_id\n,f_name||' '||l_name\nfrom\n vortalix.personnel"), {});
    QCOMPARE(rs.columns.at(0).name, QStringLiteral("PERSONNEL_ID"));
    QCOMPARE(rs.columns.at(1).name, QStringLiteral("F_NAME||''||L_NAME"));
    QCOMPARE(rs.rows.at(0).at(1).toString(), QStringLiteral("Mari Maasikas"));
    QCOMPARE(db::sql::derivedColumnName(QStringLiteral("count( * )")), QStringLiteral("COUNT(*)"));
}

void TestEmbedded::orderByListNamesIsAdapted()
{
    TempServers servers;
    auto c = servers.connect();
    db::Query q;
    q.setConnection(c.get());
    q.setSql({QStringLiteral("select b.prog_id ,b.prog_exe ,b.prog_group ,u.username from vortalix_prog b,user_list_db u "
                             "where lower(u.username) like :usr and b.prog_id = u.vortalix_prog_id and u.db_name=:dname "
                             "order by username,lower(prog_group),lower(prog_exe)")});
    q.paramByName(QStringLiteral("usr")).setAsString(QStringLiteral("ma%"));
    q.paramByName(QStringLiteral("dname")).setAsString(QStringLiteral("VORTA"));
    q.open();
    QStringList rows;
    for (q.first(); !q.eof(); q.next())
        rows.append(q.fieldByName(QStringLiteral("USERNAME")).asString() + QLatin1Char(' ') + q.fieldByName(QStringLiteral("PROG_EXE")).asString());
    QCOMPARE(rows, (QStringList{QStringLiteral("MARGUS NETBANK.EXE"), QStringLiteral("MARI ACCOUNTS.EXE"), QStringLiteral("MARI LOANAPP.EXE"),
                                QStringLiteral("MARI LOANSCH.EXE"), QStringLiteral("MARI NETBANK.EXE")}));
    QCOMPARE(db::sql::orderedAsDerivedTable(QStringLiteral("select a from (select a from t order by a) x Order  By a")),
             QStringLiteral("select * from (select a from (select a from t order by a) x ) Order  By a"));
    QCOMPARE(db::sql::orderedAsDerivedTable(QStringLiteral("select 'order by' from t")), QString());
    QCOMPARE(db::sql::orderedAsDerivedTable(QStringLiteral("select a /* order by a */ from t -- order by a")),
             QString());
    // The program without a group comes after the groups, as on the real server.
    const QStringList groups = column(*c, QStringLiteral("select prog_group from vortalix_prog order by prog_group, prog_name"));
    QVERIFY(groups.last().isEmpty());
    QCOMPARE(groups.first(), QStringLiteral("Accounts"));
}

void TestEmbedded::missingValuesSortAsTheServerSortsThem_data()
{
    QTest::addColumn<QString>("sql");
    QTest::addColumn<QString>("adapted");
    QTest::newRow("ascending") << "select a from t order by a, lower(b)" << "select a from t order by a nulls last, lower(b) nulls last";
    QTest::newRow("descending") << "select a from t order by a desc" << "select a from t order by a desc nulls first";
    QTest::newRow("already said") << "select a from t order by a nulls first" << "select a from t order by a nulls first";
    QTest::newRow("inner order kept") << "select * from (select a from t order by a) x" << "select * from (select a from t order by a) x";
    QTest::newRow("function with commas") << "select a from t order by nvl(a, 'x,y')" << "select a from t order by nvl(a, 'x,y') nulls last";
    QTest::newRow("semicolon") << "select a from t order by a;" << "select a from t order by a nulls last;";
    // Comments are no part of the statement: an ORDER BY or a quote within one counts for
    // nothing, and a term is told after its last word, not inside the comment after it.
    QTest::newRow("order by in a comment") << "select username -- names, order by none\nfrom all_users where username like 'S%'"
                                           << "select username -- names, order by none\nfrom all_users where username like 'S%'";
    QTest::newRow("a quote in a comment") << "select a, b -- don't\nfrom t order by a" << "select a, b -- don't\nfrom t order by a nulls last";
    QTest::newRow("comments after terms") << "select a from t order /* by x */ by a -- first\n, b desc /* then b */"
                                          << "select a from t order /* by x */ by a nulls last -- first\n, b desc nulls first /* then b */";
    QTest::newRow("a limit after it") << "select a from t order by a, b limit 5" << "select a from t order by a nulls last, b nulls last limit 5";
}

void TestEmbedded::missingValuesSortAsTheServerSortsThem()
{
    QFETCH(QString, sql);
    QFETCH(QString, adapted);
    QCOMPARE(embedded::EmbeddedBackend::orderedLikeTheServer(sql), adapted);
}

void TestEmbedded::oneStatementAtATime()
{
    TempServers servers;
    auto c = servers.connect();
    QCOMPARE(codeOf([&] { c->backend().execute(QStringLiteral("delete from func_grants; delete from user_prog_db"), {}); }),
             QStringLiteral("ORA-00911"));
    QCOMPARE(column(*c, QStringLiteral("select count(*) from func_grants")), QStringList{QStringLiteral("3")});
    c->backend().execute(QStringLiteral("delete from func_grants where func_name = 'X';"), {});
}

void TestEmbedded::stringSizesAreChecked()
{
    TempServers servers;
    auto c = servers.connect();
    QCOMPARE(errorOf([&] { c->backend().execute(QStringLiteral("insert into user_prog_db values ('%1', 1, 1, 0)").arg(QString(31, QLatin1Char('A'))), {}); }),
             QStringLiteral("ORA-12899: value too large for column \"USERNAME\" (maximum: 30)"));
    QCOMPARE(codeOf([&] { c->backend().execute(QStringLiteral("insert into user_prog_db values ('MARI', 999, 1, 0)"), {}); }),
             QStringLiteral("ORA-02291"));
    QCOMPARE(codeOf([&] { c->backend().execute(QStringLiteral("insert into v_sysparams (v_company) values (5)"), {}); }),
             QStringLiteral("ORA-01400"));
    // Deleting a program takes its grants with it.
    c->backend().execute(QStringLiteral("delete from vortalix_prog where prog_id = 1"), {});
    QCOMPARE(column(*c, QStringLiteral("select count(*) from user_prog_db where vortalix_prog_id = 1")), QStringList{QStringLiteral("0")});
}

void TestEmbedded::repeatedTextsReadBackExactly()
{
    TempServers servers;
    auto c = servers.connect();
    // Many different short texts in one column, repeats among them, letters beyond ASCII,
    // an empty string (stored as no value) and a long text.
    c->backend().execute(QStringLiteral("delete from func_grants"), {});
    QStringList written;
    for (int i = 0; i < 600; ++i) {
        const QString name = i % 3 == 0 ? QStringLiteral("ÕUN_%1").arg(i % 7) : QStringLiteral("F%1").arg(i);
        written.append(name);
        c->backend().execute(QStringLiteral("insert into func_grants values (:n)"), {{QStringLiteral("n"), name}});
    }
    c->backend().execute(QStringLiteral("insert into func_grants values (:n)"), {{QStringLiteral("n"), QString(32, QChar(0x0416))}});
    written.append(QString(32, QChar(0x0416)));
    const db::ResultSet rs = c->backend().select(QStringLiteral("select func_name from func_grants order by rowid"), {});
    QStringList read;
    for (const db::Row &row : rs.rows)
        read.append(row.at(0).toString());
    QCOMPARE(read, written);
    db::ResultSet copy = rs;
    copy.rows[1][0] = QStringLiteral("changed");
    QCOMPARE(rs.rows.at(1).at(0).toString(), written.at(1)); // values are the rows' own
}

void TestEmbedded::passwordHashesAreReadByNoRoute_data()
{
    QTest::addColumn<QString>("login");
    QTest::addColumn<QString>("password");
    QTest::addColumn<QString>("statement");
    const QStringList statements{
        QStringLiteral("with x as (select * from userpr_dictionary.accounts) select * from x"),
        QStringLiteral("with all_users as (select username, password_hash from userpr_dictionary.accounts) select * from all_users"),
        QStringLiteral("with x as (select password_salt, password_rounds from userpr_dictionary.accounts) select * from x"),
        QStringLiteral("select * from (select * from userpr_dictionary.accounts)"),
        QStringLiteral("select * from (with x as (select * from userpr_dictionary.accounts) select * from x) y"),
        QStringLiteral("select username, (select password_hash from userpr_dictionary.accounts a where a.username = u.username) "
                       "from all_users u"),
        QStringLiteral("select username from all_users union all select password_hash from userpr_dictionary.accounts"),
        QStringLiteral("with x as (select username, default_tablespace from userpr_dictionary.accounts) select * from x"),
    };
    const QList<std::pair<const char *, const char *>> logins{{"system", "manager"}, {"mari", "kevaro"}};
    for (const auto &[login, password] : logins) {
        for (int i = 0; i < statements.size(); ++i)
            QTest::addRow("%s %d", login, i + 1) << QString::fromLatin1(login) << QString::fromLatin1(password) << statements.at(i);
    }
}

void TestEmbedded::passwordHashesAreReadByNoRoute()
{
    QFETCH(QString, login);
    QFETCH(QString, password);
    QFETCH(QString, statement);
    TempServers servers;
    auto c = servers.connect(login, password);
    QCOMPARE(codeOf([&] { c->backend().select(statement, {}); }), QStringLiteral("ORA-01031"));
}

void TestEmbedded::aViewCannotReachTheDictionary()
{
    TempServers servers;
    auto owner = servers.connect();
    for (const char *view : {"create view vortalix.leak as select * from userpr_dictionary.accounts",
                             "create view vortalix.leak as with x as (select * from userpr_dictionary.accounts) select * from x"}) {
        QVERIFY(!errorOf([&] { owner->backend().execute(QLatin1String(view), {}); }).isEmpty());
        QCOMPARE(codeOf([&] { owner->backend().select(QStringLiteral("select * from vortalix.leak"), {}); }), QStringLiteral("ORA-00942"));
    }
    // The server's own views answer, and show no hash.
    const db::ResultSet users = owner->backend().select(QStringLiteral("with x as (select * from all_users) select * from x"), {});
    QCOMPARE(users.columns.size(), 3);
    QVERIFY(users.rows.size() > 10);
}

void TestEmbedded::everyLoginCountsTheDictionaryViews()
{
    TempServers servers;
    const QList<std::pair<QString, QString>> logins{{QStringLiteral("system"), QStringLiteral("manager")},
                                                    {QStringLiteral("vortalix"), QStringLiteral("lumivar")},
                                                    {QStringLiteral("mari"), QStringLiteral("kevaro")}};
    for (const auto &[login, password] : logins) {
        auto c = servers.connect(login, password);
        for (const char *view : {"all_users", "dba_roles", "dba_role_privs", "user_role_privs"}) {
            const int rows = countRows(*c, QStringLiteral("select * from %1").arg(QLatin1String(view)));
            QVERIFY2(rows > 0, view);
            QCOMPARE(column(*c, QStringLiteral("select count(*) from %1").arg(QLatin1String(view))),
                     QStringList{QString::number(rows)});
            QCOMPARE(countRows(*c, QStringLiteral("select 1 from %1").arg(QLatin1String(view))), rows);
        }
    }
}

void TestEmbedded::accountNamesFitTheSchema()
{
    TempServers servers;
    auto system = servers.connect(QStringLiteral("system"), QStringLiteral("manager"));
    const QString longest(30, QLatin1Char('L'));
    system->backend().execute(QStringLiteral("create user %1 identified by kevaro").arg(longest.toLower()), {});
    system->backend().execute(QStringLiteral("grant connect, dealer to %1").arg(longest), {});
    QVERIFY(servers.connect(longest, QStringLiteral("kevaro"))->connected());
    // Every account can be granted a program.
    auto owner = servers.connect();
    owner->backend().execute(QStringLiteral("insert into user_prog_db values (:u, 1, 1, 0)"), {{QStringLiteral("u"), longest}});
    QCOMPARE(column(*owner, QStringLiteral("select count(*) from user_prog_db where username = '%1'").arg(longest)),
             QStringList{QStringLiteral("1")});
    // A name refused leaves no account behind.
    QCOMPARE(codeOf([&] { system->backend().execute(QStringLiteral("create user %1 identified by x").arg(longest + QLatin1Char('X')), {}); }),
             QStringLiteral("ORA-00972"));
    QCOMPARE(column(*system, QStringLiteral("select count(*) from all_users where length(username) > 30")), QStringList{QStringLiteral("0")});
}

void TestEmbedded::quotedNamesKeepTheirCaseAtLogin()
{
    TempServers servers;
    auto system = servers.connect(QStringLiteral("system"), QStringLiteral("manager"));
    system->backend().execute(QStringLiteral("create user \"kaja\" identified by Pw1"), {});
    system->backend().execute(QStringLiteral("grant connect to \"kaja\""), {});
    auto kaja = servers.connect(QStringLiteral(" \"kaja\" "), QStringLiteral("Pw1"));
    QCOMPARE(column(*kaja, QStringLiteral("select username || ':' || granted_role from user_role_privs")),
             QStringList{QStringLiteral("kaja:CONNECT")});
    kaja->backend().execute(QStringLiteral("alter user \"kaja\" identified by Pw2"), {});
    QVERIFY(servers.connect(QStringLiteral("\"kaja\""), QStringLiteral("Pw2"))->connected());
    // Unquoted, the name is another one: KAJA.
    QCOMPARE(codeOf([&] { servers.connect(QStringLiteral("kaja"), QStringLiteral("Pw2")); }), QStringLiteral("ORA-01017"));
    QCOMPARE(codeOf([&] { servers.connect(QStringLiteral("\"VORTALIX\""), QStringLiteral("lumivar")); }), QString());
    QCOMPARE(codeOf([&] { servers.connect(QStringLiteral("\"vortalix\""), QStringLiteral("lumivar")); }), QStringLiteral("ORA-01017"));
}

void TestEmbedded::anUnknownAccountCostsTheSameWork()
{
    TempServers servers;
    // The rounds of password derivation a refused login costs.
    auto workOf = [&](const QString &login) -> std::pair<QString, quint64> {
        const quint64 before = embedded::PasswordHash::roundsDerived();
        const QString error = errorOf([&] { servers.connect(login, QStringLiteral("not-the-password")); });
        return {error.left(9), embedded::PasswordHash::roundsDerived() - before};
    };
    const auto wrongPassword = workOf(QStringLiteral("mari"));
    QCOMPARE(wrongPassword.first, QStringLiteral("ORA-01017"));
    QVERIFY(wrongPassword.second > 0);
    QCOMPARE(workOf(QStringLiteral("nobody")), wrongPassword);
    QCOMPARE(workOf(QString(40, QLatin1Char('N'))), wrongPassword);
    QCOMPARE(workOf(QString()), wrongPassword);
}

void TestEmbedded::aRepeatedLoginIsCheckedWithoutDerivingAgain()
{
    TempServers servers;
    embedded::PasswordHash::forgetVerified();
    quint64 rounds = embedded::PasswordHash::roundsDerived();
    auto derived = [&] {
        const quint64 now = embedded::PasswordHash::roundsDerived();
        const quint64 work = now - rounds;
        rounds = now;
        return work;
    };
    QVERIFY(servers.connect(QStringLiteral("mari"), QStringLiteral("kevaro"))->connected());
    const quint64 full = derived();
    QVERIFY(full > 0);
    // The same password for the same account again: known, and not derived.
    QVERIFY(servers.connect(QStringLiteral("MARI"), QStringLiteral("kevaro"))->connected());
    QCOMPARE(derived(), quint64(0));
    // A wrong one is refused after the whole derivation, however often the right one came.
    QCOMPARE(codeOf([&] { servers.connect(QStringLiteral("mari"), QStringLiteral("kevaro2")); }), QStringLiteral("ORA-01017"));
    QCOMPARE(derived(), full);
    QCOMPARE(codeOf([&] { servers.connect(QStringLiteral("mari"), QStringLiteral("Kevaro")); }), QStringLiteral("ORA-01017"));
    QCOMPARE(derived(), full);
    // Another account of the same password has a salt of its own: derived for itself.
    QVERIFY(servers.connect(QStringLiteral("jaan"), QStringLiteral("kevaro"))->connected());
    QCOMPARE(derived(), full);
    // A changed password: the old one no longer opens the account, the new one does.
    servers.connect(QStringLiteral("system"), QStringLiteral("manager"))
        ->backend()
        .execute(QStringLiteral("alter user mari identified by Newer1"), {});
    derived();
    QCOMPARE(codeOf([&] { servers.connect(QStringLiteral("mari"), QStringLiteral("kevaro")); }), QStringLiteral("ORA-01017"));
    QCOMPARE(derived(), full);
    QVERIFY(servers.connect(QStringLiteral("mari"), QStringLiteral("Newer1"))->connected());
    QCOMPARE(derived(), full);
    // Forgotten, the password is derived again.
    embedded::PasswordHash::forgetVerified();
    QVERIFY(servers.connect(QStringLiteral("mari"), QStringLiteral("Newer1"))->connected());
    QCOMPARE(derived(), full);
}

void TestEmbedded::aStatementRunAgainSeesTheSchemaAsItIsNow()
{
    TempServers servers;
    auto session = servers.connect();
    auto other = servers.connect();
    db::Backend &b = session->backend();
    other->backend().execute(QStringLiteral("create table vortalix.scratch (n number)"), {});
    const QString all = QStringLiteral("select * from scratch");
    const QString insert = QStringLiteral("insert into scratch (n) values (:n)");
    const QString read = QStringLiteral("select n from scratch");
    QCOMPARE(b.select(all, {}).columns.size(), 1);
    b.execute(insert, {{QStringLiteral("n"), 1.0}});
    QCOMPARE(column(*session, read), QStringList{QStringLiteral("1")});
    // Gone in another session: the same statements fail as any would, and the session
    // goes on.
    other->backend().execute(QStringLiteral("drop table scratch"), {});
    QCOMPARE(codeOf([&] { b.execute(insert, {{QStringLiteral("n"), 2.0}}); }), QStringLiteral("ORA-00942"));
    QCOMPARE(codeOf([&] { b.select(read, {}); }), QStringLiteral("ORA-00942"));
    QCOMPARE(countRows(*session, QStringLiteral("select * from dual")), 1);
    // Made again with another column: the statements run on the table as it is now.
    other->backend().execute(QStringLiteral("create table vortalix.scratch (label varchar2(5), n number)"), {});
    const db::ResultSet widened = b.select(all, {});
    QCOMPARE(widened.columns.size(), 2);
    QCOMPARE(widened.columns.first().name, QStringLiteral("LABEL"));
    b.execute(insert, {{QStringLiteral("n"), 3.0}});
    QCOMPARE(column(*session, read), QStringList{QStringLiteral("3")});
    QCOMPARE(b.execute(QStringLiteral("delete from scratch where n = :n"), {{QStringLiteral("n"), 3.0}}), qint64(1));
    QCOMPARE(b.execute(QStringLiteral("delete from scratch where n = :n"), {{QStringLiteral("n"), 3.0}}), qint64(0));
}

void TestEmbedded::onlyTheServersFunctionsAreCalled_data()
{
    QTest::addColumn<QString>("expression");
    QTest::addColumn<QString>("name");
    QTest::newRow("tokenizer") << "fts3_tokenizer('simple')" << "FTS3_TOKENIZER";
    QTest::newRow("tokenizer, two arguments") << "fts3_tokenizer('mine', x'0000000000000000')" << "FTS3_TOKENIZER";
    QTest::newRow("extension") << "load_extension('/tmp/x')" << "LOAD_EXTENSION";
    QTest::newRow("engine version") << "sqlite_version()" << "SQLITE_VERSION";
    QTest::newRow("blob of zeros") << "zeroblob(1000000000)" << "ZEROBLOB";
    QTest::newRow("upper case") << "FTS3_TOKENIZER('simple')" << "FTS3_TOKENIZER";
}

void TestEmbedded::onlyTheServersFunctionsAreCalled()
{
    QFETCH(QString, expression);
    QFETCH(QString, name);
    TempServers servers;
    auto system = servers.connect(QStringLiteral("system"), QStringLiteral("manager"));
    QCOMPARE(errorOf([&] { system->backend().select(QStringLiteral("select %1 from dual").arg(expression), {}); }),
             QStringLiteral("ORA-00904: \"%1\": invalid identifier").arg(name));
    QCOMPARE(errorOf([&] { system->backend().execute(QStringLiteral("update vortalix.func_grants set func_name = %1").arg(expression), {}); }),
             QStringLiteral("ORA-00904: \"%1\": invalid identifier").arg(name));
}

void TestEmbedded::theServersFunctionsAnswer()
{
    TempServers servers;
    auto mari = servers.connect(QStringLiteral("mari"), QStringLiteral("kevaro"));
    const db::ResultSet rs = mari->backend().select(QStringLiteral(
        "select count(*), max(prog_id), min(prog_id), sum(prog_id), avg(prog_id), "
        "lower(min(prog_exe)) || upper('x') || nvl(null, 'n') || coalesce(null, 'c') || to_char(length('abc')) "
        "|| substr('abcd', 2, 2) || trim(' t ') || ltrim(' l') || rtrim('r ') || replace('ab', 'b', 'p') "
        "|| to_char(abs(-1)) || to_char(round(2.5)) || to_char(instr('abc', 'c')) || to_char(mod(7, 4)), "
        "to_char(max(prog_last_comp), 'YYYY') || strftime('%Y', max(prog_last_comp)) || date(max(prog_last_comp)), "
        "count(datetime('now')) + count(current_timestamp) + count(julianday(prog_last_comp)) "
        "from vortalix_prog where prog_exe like 'LOAN%' and nullif(prog_id, 0) is not null"), {});
    QCOMPARE(rs.rows.size(), std::size_t(1));
    QStringList values;
    for (const QVariant &v : rs.rows.front())
        values.append(v.toString());
    QCOMPARE(values, (QStringList{QStringLiteral("3"), QStringLiteral("3"), QStringLiteral("1"), QStringLiteral("6"),
                                  QStringLiteral("2"), QStringLiteral("loanapp.exeXnc3bctlrap1333"),
                                  QStringLiteral("202420242024-01-09"), QStringLiteral("9")}));
}

void TestEmbedded::aMissingSchemaFileFailsTheLogin()
{
    TempServers servers;
    const QString file = schemaFileOf(servers);
    QVERIFY(QFile::remove(file));
    for (const auto &[login, password] : {std::pair{"vortalix", "lumivar"}, std::pair{"system", "manager"}}) {
        const QString error = errorOf([&] { servers.connect(QLatin1String(login), QLatin1String(password)); });
        QCOMPARE(error, QStringLiteral("ORA-01157: cannot identify/lock data file %1 (the file does not exist)").arg(file));
    }
    QVERIFY(!QFile::exists(file));
}

void TestEmbedded::anUnusableServerFolderIsNamed()
{
    TempServers servers;
    const QString folder = servers.serverFolder(QStringLiteral("LIVE"));
    const QString dictionary = dictionaryOf(servers);
    // A folder whose dictionary is gone.
    QVERIFY(QFile::remove(dictionary));
    QString error = errorOf([&] { servers.connect(); });
    QVERIFY2(error.startsWith(QStringLiteral("ORA-01157: cannot identify/lock data file %1 (").arg(dictionary)), qPrintable(error));
    // A file where the folder should be.
    QVERIFY(QDir(folder).removeRecursively());
    {
        QFile file(folder);
        QVERIFY(file.open(QIODevice::WriteOnly));
    }
    error = errorOf([&] { servers.connect(); });
    QCOMPARE(error, QStringLiteral("ORA-01157: cannot identify/lock data file %1 (%2 is not a folder)").arg(dictionary, folder));
    // A folder this login may not read.
    const QString test = servers.serverFolder(QStringLiteral("TEST"));
    const QFileDevice::Permissions permissions = QFile::permissions(test);
    QVERIFY(QFile::setPermissions(test, QFileDevice::Permissions()));
    const bool readable = QFile(test + QStringLiteral("/_dictionary.sqlite")).open(QIODevice::ReadOnly);
    error = errorOf([&] { servers.connect(QStringLiteral("vortalix"), QStringLiteral("lumivar"), QStringLiteral("TEST")); });
    QFile::setPermissions(test, permissions);
    if (readable)
        QSKIP("this login reads folders without permission");
    QVERIFY2(error.startsWith(QStringLiteral("ORA-01157: cannot identify/lock data file %1/_dictionary.sqlite (").arg(test)), qPrintable(error));
}

void TestEmbedded::aDamagedDictionaryIsNamed_data()
{
    QTest::addColumn<bool>("keepFirstPage");
    QTest::addColumn<QString>("error");
    QTest::newRow("not a database") << false << "ORA-01122: database file failed verification check (file is not a database: %1)";
    QTest::newRow("damaged pages") << true << "ORA-01578: ORACLE data block corrupted (database disk image is malformed: %1)";
}

void TestEmbedded::aDamagedDictionaryIsNamed()
{
    QFETCH(bool, keepFirstPage);
    QFETCH(QString, error);
    TempServers servers;
    const QString dictionary = dictionaryOf(servers);
    {
        QFile file(dictionary);
        QVERIFY(file.open(QIODevice::ReadWrite));
        const qint64 from = keepFirstPage ? 4096 : 0;
        QVERIFY(file.size() > from);
        file.seek(from);
        file.write(QByteArray(int(file.size() - from), '\xa5'));
    }
    QCOMPARE(errorOf([&] { servers.connect(); }), error.arg(dictionary));
}

void TestEmbedded::aLockedDictionaryIsReportedAndLeftAsItWas()
{
    TempServers servers;
    auto system = servers.connect(QStringLiteral("system"), QStringLiteral("manager"));
    {
        // Another session holds the dictionary's write lock for longer than the server waits.
        embedded::SqliteFile other(dictionaryOf(servers));
        embedded::runScript(other.handle(), QStringLiteral("begin immediate"));
        QCOMPARE(errorOf([&] { system->backend().execute(QStringLiteral("create user teller identified by x"), {}); }),
                 QStringLiteral("ORA-00054: resource busy and acquire with NOWAIT specified or timeout expired "
                                "(database is locked: %1)").arg(dictionaryOf(servers)));
        embedded::runScript(other.handle(), QStringLiteral("rollback"));
    }
    QCOMPARE(column(*system, QStringLiteral("select count(*) from all_users where username = 'TELLER'")), QStringList{QStringLiteral("0")});
    system->backend().execute(QStringLiteral("create user teller identified by x"), {});
    QVERIFY(servers.connect(QStringLiteral("teller"), QStringLiteral("x"))->connected());
}

void TestEmbedded::aDropThatFailsKeepsTheSchemaFile()
{
    TempServers servers;
    auto system = servers.connect(QStringLiteral("system"), QStringLiteral("manager"));
    {
        // Another session reads the dictionary: the drop is written but cannot be released.
        embedded::SqliteFile reader(dictionaryOf(servers));
        embedded::runScript(reader.handle(), QStringLiteral("begin; select count(*) from accounts"));
        QCOMPARE(codeOf([&] { system->backend().execute(QStringLiteral("drop user vortalix cascade"), {}); }),
                 QStringLiteral("ORA-00054"));
        embedded::runScript(reader.handle(), QStringLiteral("rollback"));
    }
    QVERIFY(QFile::exists(schemaFileOf(servers)));
    auto owner = servers.connect();
    QCOMPARE(column(*owner, QStringLiteral("select count(*) from vortalix_prog")), QStringList{QStringLiteral("30")});
    QCOMPARE(column(*system, QStringLiteral("select count(*) from vortalix.vortalix_prog")), QStringList{QStringLiteral("30")});
}

void TestEmbedded::aReadOnlyFileIsNamed()
{
    TempServers servers;
    ReadOnlyFile dictionary(dictionaryOf(servers));
    ReadOnlyFile schema(schemaFileOf(servers));
    if (!dictionary.ok() || !schema.ok())
        QSKIP("the files cannot be made read-only for this login");
    auto system = servers.connect(QStringLiteral("system"), QStringLiteral("manager"));
    QCOMPARE(errorOf([&] { system->backend().execute(QStringLiteral("create user teller identified by x"), {}); }),
             QStringLiteral("ORA-00372: file cannot be modified at this time (attempt to write a readonly database: %1)")
                 .arg(dictionaryOf(servers)));
    QCOMPARE(errorOf([&] { system->backend().execute(QStringLiteral("delete from vortalix.func_grants"), {}); }),
             QStringLiteral("ORA-00372: file cannot be modified at this time (attempt to write a readonly database: %1, %2)")
                 .arg(dictionaryOf(servers), schemaFileOf(servers)));
    QCOMPARE(column(*system, QStringLiteral("select count(*) from vortalix.func_grants")), QStringList{QStringLiteral("3")});
}

void TestEmbedded::sqliteFileErrorsBecomeServerErrors_data()
{
    QTest::addColumn<QString>("sqlite");
    QTest::addColumn<QString>("error");
    QTest::newRow("full") << "database or disk is full" << "ORA-01653: unable to extend table (database or disk is full: /srv/X.sqlite)";
    QTest::newRow("i/o") << "disk I/O error" << "ORA-01115: IO error reading or writing file (disk I/O error: /srv/X.sqlite)";
    QTest::newRow("cannot open") << "unable to open database file" << "ORA-01157: cannot identify/lock data file (unable to open database file: /srv/X.sqlite)";
    QTest::newRow("other") << "out of memory" << "Embedded server error: out of memory (/srv/X.sqlite)";
}

void TestEmbedded::sqliteFileErrorsBecomeServerErrors()
{
    QFETCH(QString, sqlite);
    QFETCH(QString, error);
    QCOMPARE(embedded::translateSqliteError(sqlite, QStringLiteral("INSERT"), QStringLiteral("/srv/X.sqlite")).text(), error);
}

QTEST_GUILESS_MAIN(TestEmbedded)
#include "tst_embedded.moc"
