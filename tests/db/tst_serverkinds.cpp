#include "platform/db/PostgreSqlKind.h"
#include "platform/db/ServerRules.h"

#include "platform/db/DbError.h"

#include <QDateTime>
#include <QTest>

// What each kind of server receives for the system's statements, without a server.
class TestServerKinds : public QObject {
    Q_OBJECT
private slots:
    void anOracleServerGetsEverythingAsWritten();
    void accountStatementsForPostgreSql_data();
    void accountStatementsForPostgreSql();
    void aPasswordTravelsAsItsVerifier();
    void loginNamesForPostgreSql_data();
    void loginNamesForPostgreSql();
    void onlyQueriesAndRowChangesArePrepared();
    void datesTravelAsTheClientsWallClockTime();
    void derivedColumnNames_data();
    void derivedColumnNames();
    void theRetryOfAnAmbiguousOrder();
    void manyInsertsAsOneStatement_data();
    void manyInsertsAsOneStatement();
};

void TestServerKinds::anOracleServerGetsEverythingAsWritten()
{
    for (const char *driver : {"QOCI", "QODBC"}) {
        const auto kind = db::ServerKind::forDriver(QLatin1String(driver));
        QVERIFY(!kind->savepointPerStatement);
        const QString create = QStringLiteral("create user MARI identified by kevaro\ndefault tablespace users");
        QCOMPARE(kind->translate(create), create);
        QVERIFY(kind->prepares(create));
        QCOMPARE(kind->loginName(QStringLiteral("vortalix")), QStringLiteral("vortalix"));
        const QDateTime at(QDate(2024, 5, 31), QTime(0, 0));
        QCOMPARE(kind->boundValue(at), QVariant(at));
    }
    QVERIFY(db::ServerKind::forDriver(QStringLiteral("QPSQL"))->savepointPerStatement);
}

void TestServerKinds::accountStatementsForPostgreSql_data()
{
    QTest::addColumn<QString>("statement");
    QTest::addColumn<QString>("sent");
    QTest::newRow("create user with tablespaces")
        << "create user MARI identified by kevaro\ndefault tablespace users\ntemporary tablespace temp"
        << "select sys.create_user('mari', '%1 of kevaro')";
    QTest::newRow("a quoted password keeps its letters, a quote is doubled")
        << "CREATE USER \"Kaja\" IDENTIFIED BY \"Pa'ss Word\""
        << "select sys.create_user('Kaja', '%1 of Pa'ss Word')";
    QTest::newRow("alter user") << "alter user system identified by changed"
                                << "select sys.alter_user('system', '%1 of changed')";
    QTest::newRow("grant roles") << "grant resource, connect, dealer to MARI"
                                 << "grant \"resource\", \"connect\", \"dealer\" to \"mari\"";
    QTest::newRow("grant over lines with the admin option") << "GRANT dealer2,\n  resource to MARI, JAAN with admin option"
                                                            << "grant \"dealer2\", \"resource\" to \"mari\", \"jaan\" with admin option";
    QTest::newRow("revoke roles, each checked") << "revoke dealer, dealer2 from KALLE"
                                                << "select sys.revoke_role('dealer', 'kalle'), sys.revoke_role('dealer2', 'kalle')";
    QTest::newRow("grant execute") << "grant execute on vortalix.GET_CUSTOMER_NAME to MARI"
                                   << "select sys.grant_execute('vortalix', 'get_customer_name', 'mari')";
    QTest::newRow("grant execute on one's own unit") << "grant execute on currency_rates to MARI, PUBLIC"
                                                     << "select sys.grant_execute('', 'currency_rates', 'mari'), "
                                                        "sys.grant_execute('', 'currency_rates', 'public')";
    QTest::newRow("revoke execute, checked") << "revoke execute on vortalix.account_balance from MARI"
                                             << "select sys.revoke_execute('vortalix', 'account_balance', 'mari')";
    // An account statement that does not read is refused with the reader's error.
    QTest::newRow("table privileges") << "grant select, insert on vortalix.customer to AUDITOR" << "ORA-00990";
    QTest::newRow("drop user cascade") << "drop user MARI cascade" << "select sys.drop_user('mari', true)";
    QTest::newRow("drop user") << "drop user \"Kaja\"" << "select sys.drop_user('Kaja', false)";
    QTest::newRow("create and drop role") << "create role AUDITORS" << "select sys.create_role('auditors')";
    QTest::newRow("drop role") << "drop role \"O'Neil\"" << "select sys.drop_role('O''Neil')";
    QTest::newRow("a grant that does not read") << "grant all privileges on t to x" << "ORA-00990";
    // What is not one of Oracle's account statements goes as written.
    QTest::newRow("not an account statement") << "create table t (a numeric)" << "create table t (a numeric)";
    QTest::newRow("a query") << "select username from all_users" << "select username from all_users";
}

void TestServerKinds::accountStatementsForPostgreSql()
{
    QFETCH(QString, statement);
    QFETCH(QString, sent);
    const db::PostgreSqlKind kind;
    if (sent.startsWith(QLatin1String("ORA-"))) {
        try {
            kind.translate(statement);
            QFAIL("translated");
        } catch (const db::DbError &e) {
            QVERIFY2(e.text().startsWith(sent), qPrintable(e.text()));
        }
        return;
    }
    const QString translated = kind.translate(statement);
    // A password goes as the server's verifier of it ('%1 of <password>' above), each time
    // with another salt of 16 bytes.
    const qsizetype of = sent.indexOf(QLatin1String("'%1 of "));
    if (of < 0) {
        QCOMPARE(translated, sent);
        return;
    }
    const qsizetype end = sent.lastIndexOf(QLatin1Char('\''));
    const QString password = sent.mid(of + 7, end - of - 7);
    const QByteArray salt = QByteArray::fromBase64(translated.mid(of + 20, 24).toLatin1());
    QCOMPARE(translated, sent.left(of + 1) + db::PostgreSqlKind::passwordVerifier(password, salt) + sent.mid(end));
    QVERIFY(!translated.contains(password));
    QVERIFY(kind.translate(statement) != translated);
}

void TestServerKinds::aPasswordTravelsAsItsVerifier()
{
    // Worked out apart from the program, by PBKDF2 and HMAC as the server's SCRAM takes them.
    QCOMPARE(db::PostgreSqlKind::passwordVerifier(QStringLiteral("kevaro"), QByteArray::fromHex("000102030405060708090a0b0c0d0e0f")),
             QStringLiteral("SCRAM-SHA-256$4096:AAECAwQFBgcICQoLDA0ODw==$EJAc/UyMTJ3/uLBn8WA53Z58Rw+HZJ2NBqI6o6yeyfc=:"
                            "HSjNRlX2xtmsY3/+UNy2jxcw3mmOo2VFZdSu5fphOfA="));
    // A statement with a password that does not read is refused with the reader's error
    // and goes nowhere, its password with it.
    for (const char *statement : {"create user X", "create user x identified by Sala.1", "ALTER USER x IDENTIFIED BY Sala.1"}) {
        try {
            db::PostgreSqlKind().translate(QLatin1String(statement));
            QFAIL(statement);
        } catch (const db::DbError &e) {
            QVERIFY2(e.code() != 0 && !e.text().contains(QLatin1String("Sala")), statement);
        }
    }
}

void TestServerKinds::loginNamesForPostgreSql_data()
{
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("login");
    QTest::newRow("upper case") << "VORTALIX" << "vortalix";
    QTest::newRow("lower case") << "vortalix" << "vortalix";
    QTest::newRow("mixed, blanks around") << " Vortalix " << "vortalix";
    QTest::newRow("quoted upper case") << "\"MARI\"" << "mari";
    QTest::newRow("quoted mixed case") << "\"Kaja\"" << "Kaja";
    QTest::newRow("letters beyond ASCII") << "märt" << "märt";
}

void TestServerKinds::loginNamesForPostgreSql()
{
    QFETCH(QString, typed);
    QFETCH(QString, login);
    QCOMPARE(db::PostgreSqlKind().loginName(typed), login);
}

void TestServerKinds::onlyQueriesAndRowChangesArePrepared()
{
    const db::PostgreSqlKind kind;
    for (const char *prepared : {"select 1", "  Insert into t values (1)", "update t set a = 1", "delete from t",
                                 "with x as (select 1) select * from x", "(select 1) union (select 2)",
                                 "select sys.drop_user('mari', true)"})
        QVERIFY2(kind.prepares(QLatin1String(prepared)), prepared);
    for (const char *plain : {"create role \"mari\" login password 'kevaro'", "grant \"dealer\" to \"mari\"",
                              "alter role x password 'y'", "-- comment\ndrop role x", "revoke x from y"})
        QVERIFY2(!kind.prepares(QLatin1String(plain)), plain);
}

void TestServerKinds::datesTravelAsTheClientsWallClockTime()
{
    const db::PostgreSqlKind kind;
    const QDateTime midnight(QDate(2024, 5, 31), QTime(0, 0));
    QCOMPARE(kind.boundValue(midnight), QVariant(QStringLiteral("2024-05-31 00:00:00")));
    QCOMPARE(kind.boundValue(QDateTime(QDate(2024, 5, 31), QTime(8, 5, 9, 250))), QVariant(QStringLiteral("2024-05-31 08:05:09.250")));
    QCOMPARE(kind.boundValue(QDate(2024, 2, 29)), QVariant(QStringLiteral("2024-02-29")));
    // An instant given in UTC is bound as the client's wall-clock time of that instant.
    const QDateTime instant(QDate(2024, 5, 31), QTime(12, 0), Qt::UTC);
    QCOMPARE(kind.boundValue(instant), QVariant(instant.toLocalTime().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"))));
    QCOMPARE(kind.boundValue(1.5), QVariant(1.5));
    // A time without a zone that the driver took for UTC keeps its digits.
    const QVariant read = kind.fetchedValue(QDateTime(QDate(2024, 5, 31), QTime(0, 0), Qt::UTC));
    QCOMPARE(read.toDateTime(), midnight);
    QCOMPARE(read.toDateTime().timeSpec(), Qt::LocalTime);
    QCOMPARE(kind.fetchedValue(QVariant(midnight)), QVariant(midnight));
    QVERIFY(kind.fetchedValue(QVariant()).isNull());
}

void TestServerKinds::derivedColumnNames_data()
{
    QTest::addColumn<QString>("statement");
    QTest::addColumn<QStringList>("names"); // empty: as the server names them
    QTest::newRow("the personnel query") << "select\n personnel_id\n,f_name||' '||l_name\nfrom\n vortalix.personnel"
                                         << QStringList{QString(), "F_NAME||''||L_NAME"};
    QTest::newRow("aliases") << "select to_char(v_company) database_id ,db_name ,db_name||' ('||v_company||')' SERVER from t"
                             << QStringList{QString(), QString(), QString()};
    QTest::newRow("alias after a parenthesis or AS") << "select (max(v_company) +1) maxid, count(*) as n, a \"Mixed\" from t"
                                                     << QStringList{QString(), QString(), QString()};
    QTest::newRow("qualified columns") << "select b.prog_id, u.username from t b, u"
                                       << QStringList{QString(), QString()};
    QTest::newRow("functions and cases") << "select distinct lower( x ), count(*), case when a = 1 then 'y' else 'n' end from t"
                                         << QStringList{"LOWER(X)", "COUNT(*)", "CASEWHENA=1THEN'Y'ELSE'N'END"};
    QTest::newRow("a comma inside") << "select nvl(a, 'x, y'), substr(b, 1, 2) from t"
                                    << QStringList{"NVL(A,'X,Y')", "SUBSTR(B,1,2)"};
    QTest::newRow("a query within") << "select (select max(a) from u), b from t where c in (select d from v)"
                                    << QStringList{"(SELECTMAX(A)FROMU)", QString()};
    QTest::newRow("without a from") << "select 1+1" << QStringList{"1+1"};
}

void TestServerKinds::derivedColumnNames()
{
    QFETCH(QString, statement);
    QFETCH(QStringList, names);
    const QStringList items = db::sql::selectListItems(statement);
    QCOMPARE(items.size(), names.size());
    for (qsizetype i = 0; i < items.size(); ++i)
        QCOMPARE(db::sql::derivedNameOf(items.at(i)), names.at(i));
}

void TestServerKinds::theRetryOfAnAmbiguousOrder()
{
    // A list holding a * tells no names.
    QVERIFY(db::sql::selectListItems(QStringLiteral("select * from t")).isEmpty());
    QVERIFY(db::sql::selectListItems(QStringLiteral("select a, t.* from t")).isEmpty());
    QVERIFY(db::sql::selectListItems(QStringLiteral("update t set a = 1")).isEmpty());
    const db::PostgreSqlKind kind;
    const QString sql = QStringLiteral("select b.a, u.c from t b, u order by c, lower(a)");
    QCOMPARE(kind.retryOf(sql, db::DbError(QStringLiteral("ambiguous"), 0, QStringLiteral("42702"))),
             QStringLiteral("select * from (select b.a, u.c from t b, u ) ordered_result order by c, lower(a)"));
    QVERIFY(kind.retryOf(sql, db::DbError(QStringLiteral("other"), 0, QStringLiteral("42703"))).isEmpty());
    QVERIFY(kind.retryOf(QStringLiteral("select a from t"), db::DbError(QStringLiteral("x"), 0, QStringLiteral("42702"))).isEmpty());
    // An ORDER BY or a quote within a comment counts for nothing.
    const db::DbError ambiguous(QStringLiteral("x"), 0, QStringLiteral("42702"));
    QVERIFY(kind.retryOf(QStringLiteral("select a -- order by a\nfrom t"), ambiguous).isEmpty());
    QCOMPARE(kind.retryOf(QStringLiteral("select b.a -- don't\nfrom t b, u order by a"), ambiguous),
             QStringLiteral("select * from (select b.a -- don't\nfrom t b, u ) ordered_result order by a"));
}

void TestServerKinds::manyInsertsAsOneStatement_data()
{
    QTest::addColumn<QString>("statement");
    QTest::addColumn<QString>("sent");
    QTest::addColumn<QString>("rows"); // the value of the one parameter for two runs
    const QString twoUsers = QStringLiteral(
        R"([{"database_id":1,"username":"MARI","vortalix_prog_id":9},{"database_id":1,"username":null,"vortalix_prog_id":9}])");
    QTest::newRow("the users of a program")
        << "insert into vortalix.user_prog_db(username,vortalix_prog_id,database_id) values (:uname,:p_id,:d_id)"
        << "insert into vortalix.user_prog_db (username,vortalix_prog_id,database_id) select r.\"username\", "
           "r.\"vortalix_prog_id\", r.\"database_id\" from json_populate_recordset(null::vortalix.user_prog_db, :userpr_rows) r"
        << twoUsers;
    QTest::newRow("constants and quoted names")
        << "INSERT INTO user_prog_db (\"USERNAME\", vortalix_prog_id, database_id, ordinal) VALUES (:uname, 9, :d_id, null)"
        << "insert into user_prog_db (\"USERNAME\", vortalix_prog_id, database_id, ordinal) select r.\"USERNAME\", 9, "
           "r.\"database_id\", null from json_populate_recordset(null::user_prog_db, :userpr_rows) r"
        << R"([{"USERNAME":"MARI","database_id":1},{"USERNAME":null,"database_id":1}])";
    QTest::newRow("no column list") << "insert into user_prog_db values(:uname,:p_id,:d_id,0)" << "" << "";
    QTest::newRow("an expression") << "insert into user_prog_db (username, ordinal) values (upper(:uname), 0)" << "" << "";
    QTest::newRow("a query") << "insert into user_prog_db (username) select username from all_users" << "" << "";
    QTest::newRow("more after the values") << "insert into t (a) values (:a) returning a" << "" << "";
}

void TestServerKinds::manyInsertsAsOneStatement()
{
    QFETCH(QString, statement);
    QFETCH(QString, sent);
    QFETCH(QString, rows);
    const db::PostgreSqlKind kind;
    const db::ServerKind::Batch batch = kind.batchOf(statement);
    QCOMPARE(batch.statement, sent);
    if (sent.isEmpty())
        return;
    // An empty text is no value, as everywhere else.
    const QList<db::BoundParams> runs{
        {{QStringLiteral("uname"), QStringLiteral("MARI")}, {QStringLiteral("p_id"), 9.0}, {QStringLiteral("d_id"), 1.0}},
        {{QStringLiteral("uname"), QString()}, {QStringLiteral("p_id"), 9.0}, {QStringLiteral("d_id"), 1.0}}};
    QCOMPARE(kind.batchValue(batch, runs).toString(), rows);
}

QTEST_GUILESS_MAIN(TestServerKinds)
#include "tst_serverkinds.moc"
