#include "TempServers.h"

#include "data/Statements.h"
#include "platform/db/Params.h"
#include "platform/db/Query.h"
#include "platform/db/Table.h"

#include <QTest>

using testsupport::TempServers;

namespace {

// How a window runs a statement: as which login, with which parameter values, and what it
// reads back. A statement without columns is executed; rows then counts the rows touched.
struct Use {
    QString login;
    QVariantMap params;
    QStringList columns; // the columns the window reads, in order
    int rows;
};

const QString owner = QStringLiteral("vortalix");
const QString dba = QStringLiteral("system");

QHash<QString, Use> uses()
{
    return {
        {QStringLiteral("TForm1.QueryDBs"), {owner, {}, {"DATABASE_ID", "DB_NAME", "SERVER"}, 3}},
        {QStringLiteral("TForm1.QueryUsers"), {owner, {{"prog_id", 1.0}}, {"USERNAME", "DATABASE_ID", "DB_NAME"}, 6}},
        {QStringLiteral("TForm1.Query2"), {owner, {}, {"PROG_GROUP"}, 9}},
        {QStringLiteral("TForm1.QueryDBusers"), {owner, {}, {"USERNAME"}, 14}},
        {QStringLiteral("TForm1.QueryDelete"), {owner, {{"p_id", 1.0}, {"d_id", 1.0}}, {}, 4}},
        {QStringLiteral("TForm1.QueryAdd"), {owner, {{"uname", "NEWUSER"}, {"p_id", 1.0}, {"d_id", 1.0}}, {}, 1}},
        {QStringLiteral("TForm1.QueryGranted"), {owner, {{"p_id", 1.0}, {"d_id", 1.0}}, {"USERNAME"}, 4}},
        {QStringLiteral("TDualListDlg.gruserQuery"), {owner, {{"p_id", 1.0}, {"d_name", "VORTA"}}, {"USERNAME"}, 4}},
        {QStringLiteral("TDualListDlg.userQuery"), {owner, {{"p_id", 1.0}, {"d_name", "VORTA"}}, {"USERNAME"}, 8}},
        {QStringLiteral("TFormProg.QueryuserProg"),
         {owner, {{"user", "MARI"}, {"db_name", "VORTA"}}, {"USERNAME", "VORTALIX_PROG_ID", "PROG_EXE", "PROG_GROUP", "PROG_NAME"}, 4}},
        {QStringLiteral("TFormProg.QueryAllProg"),
         {owner, {{"user", "MARI"}, {"db_name", "VORTA"}}, {"PROG_ID", "PROG_NAME", "PROG_EXE"}, 26}},
        {QStringLiteral("TFormProg.QueryAdd"), {owner, {{"username", "MARI"}, {"prog_id", 3.0}, {"database_id", 1.0}}, {}, 1}},
        {QStringLiteral("TFormProg.QueryDelete"), {owner, {{"username", "MARI"}, {"prog_id", 1.0}, {"database_id", 1.0}}, {}, 1}},
        {QStringLiteral("TFormChoseDB.Query1"), {owner, {{"database_id", 1.0}}, {"DATABASE_ID", "DB_NAME"}, 2}},
        {QStringLiteral("TFormProg.QueryCopyAll"), {owner, {{"to_db", 2.0}, {"username", "MARI"}, {"from_db", 1.0}}, {}, 3}},
        {QStringLiteral("TFormCreateUser.Query1"), {owner, {}, {"USER_NAME"}, 9}},
        {QStringLiteral("TFormCreateUser.Query3"), {dba, {}, {"USERNAME"}, 14}},
        {QStringLiteral("TFormCr.QueryFuncGrants"), {dba, {}, {"FUNC_NAME"}, 3}},
        {QStringLiteral("TFormNewusers.QueryPersonnel"), {owner, {}, {"PERSONNEL_ID", "F_NAME||''||L_NAME"}, 11}},
        {QStringLiteral("TFormFind.QueryExe"), {owner, {{"exe", "%"}}, {"PROG_ID", "PROG_NAME", "PROG_EXE", "PROG_GROUP", "PROG_AUTHOR"}, 30}},
        {QStringLiteral("TFormFind.QueryUsr"), {owner, {{"usr", "%"}, {"dname", "VORTA"}}, {"PROG_ID", "PROG_EXE", "PROG_GROUP", "USERNAME"}, 23}},
        {QStringLiteral("TFormDBs.QueryMAXID"), {owner, {}, {"MAXID"}, 1}},
    };
}

} // namespace

class TestCatalogue : public QObject {
    Q_OBJECT
private slots:
    void everyStatementRuns_data();
    void everyStatementRuns();
    void theTablesOpenWithTheirFields();
};

void TestCatalogue::everyStatementRuns_data()
{
    QTest::addColumn<QString>("key");
    QTest::addColumn<QStringList>("sql");
    for (const statements::CatalogueEntry &e : statements::catalogue()) {
        const QString key = e.window + QLatin1Char('.') + e.component;
        QTest::newRow(qPrintable(key)) << key << *e.sql;
    }
}

void TestCatalogue::everyStatementRuns()
{
    QFETCH(QString, key);
    QFETCH(QStringList, sql);
    const QHash<QString, Use> all = uses();
    QVERIFY2(all.contains(key), "a statement of the catalogue has no use described here");
    const Use use = all.value(key);
    TempServers servers;
    auto connection = servers.connect(use.login, use.login == dba ? QStringLiteral("manager") : QStringLiteral("lumivar"));
    db::Query q;
    q.setConnection(connection.get());
    q.setSql(sql);
    QCOMPARE(q.params().count(), use.params.size());
    for (auto it = use.params.begin(); it != use.params.end(); ++it)
        q.paramByName(it.key()).setValue(it.value());
    if (use.columns.isEmpty()) {
        q.execSql();
        QCOMPARE(int(q.rowsAffected()), use.rows);
        return;
    }
    q.open();
    QCOMPARE(q.recordCount(), use.rows);
    QStringList names;
    for (int i = 0; i < q.fieldCount(); ++i)
        names.append(q.field(i).fieldName());
    for (const QString &c : use.columns)
        QVERIFY2(q.findField(c), qPrintable(c + QStringLiteral(" missing from ") + names.join(QLatin1Char(','))));
    // The first column is the one the windows take by position.
    QCOMPARE(q.field(0).fieldName(), use.columns.first());
}

void TestCatalogue::theTablesOpenWithTheirFields()
{
    TempServers servers;
    auto c = servers.connect();
    struct TableUse {
        QString table;
        QString key;
        QStringList fields;
    };
    const QList<TableUse> tables = {
        {statements::VortalixProgTable, QStringLiteral("PROG_ID"),
         {"PROG_ID", "PROG_AUTHOR", "PROG_VERSION", "PROG_LAST_COMP", "PROG_DESCRIPTION", "PROG_GROUP", "PROG_TYPE",
          "REPORTING_FREQ", "VERSION", "PROG_NAME", "PROG_EXE", "SERVERPATH", "CLIENTPATH", "USER_NAME", "HELP_PATH", "REF_PATH"}},
        {statements::SysParamsTable, QStringLiteral("V_COMPANY"),
         {"ID", "SYSTEM_DATE", "REPORT_DATE", "FIRMA_NIMI", "COMPANY_NAME", "V_COMPANY", "DB_NAME"}},
        {statements::CustomerTable, QStringLiteral("CUSTOMER_ID"), {"CUSTOMER_ID", "C_USER", "COMPANY_NAME"}},
    };
    for (const TableUse &use : tables) {
        db::Table t;
        t.setConnection(c.get());
        t.setTableName(use.table);
        t.setIndexFieldNames(use.key);
        for (const QString &f : use.fields)
            t.addField(f, db::FieldType::String, 255);
        t.open();
        QVERIFY(!t.isEmpty());
    }
}

QTEST_GUILESS_MAIN(TestCatalogue)
#include "tst_catalogue.moc"
