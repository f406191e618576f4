#include "MemoryDataSet.h"
#include "TempServers.h"

#include "platform/db/DataSource.h"
#include "platform/db/DbError.h"
#include "platform/db/Query.h"
#include "platform/db/Table.h"

#include <QTest>

using namespace db;
using testsupport::TempServers;

namespace {

// The companies table as the companies window defines it.
std::unique_ptr<Table> companies(Connection &c, Table::UpdateMode mode)
{
    auto t = std::make_unique<Table>();
    t->setConnection(&c);
    t->setTableName(QStringLiteral("V_SYSPARAMS"));
    t->setIndexFieldNames(QStringLiteral("V_COMPANY"));
    t->setUpdateMode(mode);
    t->addField(QStringLiteral("ID"), FieldType::Float).setRange(1, 1);
    t->addField(QStringLiteral("SYSTEM_DATE"), FieldType::DateTime);
    t->addField(QStringLiteral("REPORT_DATE"), FieldType::DateTime);
    t->addField(QStringLiteral("FIRMA_NIMI"), FieldType::String, 50);
    t->addField(QStringLiteral("COMPANY_NAME"), FieldType::String, 50);
    t->addField(QStringLiteral("V_COMPANY"), FieldType::Float).setRequired(true);
    t->addField(QStringLiteral("DB_NAME"), FieldType::String, 20).setRequired(true);
    return t;
}

std::unique_ptr<Table> programs(Connection &c)
{
    auto t = std::make_unique<Table>();
    t->setConnection(&c);
    t->setTableName(QStringLiteral("VORTALIX_PROG"));
    t->setIndexFieldNames(QStringLiteral("PROG_ID"));
    return t;
}

std::unique_ptr<Query> query(Connection &c, const QString &sql)
{
    auto q = std::make_unique<Query>();
    q->setConnection(&c);
    q->setSql({sql});
    return q;
}

QString errorOf(const std::function<void()> &f)
{
    try {
        f();
    } catch (const DbError &e) {
        return e.text();
    }
    return QString();
}

// Writes a pending value on UpdateRecord, as an edit control does before a post.
class PendingText : public DataLink {
public:
    QString field;
    QString text;
    int updates = 0;

protected:
    void dataEvent(DataEvent event, Field *) override
    {
        if (event == DataEvent::UpdateRecord && !text.isNull()) {
            ++updates;
            dataSet()->fieldByName(field).setEditText(text);
            text.clear();
        }
    }
};

} // namespace

class TestDataSet : public QObject {
    Q_OBJECT
private slots:
    void browsingAQuery();
    void closingTheConnectionClosesItsDataSets();
    void fieldsAreFoundInAnyCaseAndNumbersAreFloats();
    void editingAndCancelling();
    void anInsertedRowGetsItsKeyFromTheServer();
    void aRefusedPostStaysInItsState();
    void requiredAndRangeChecks();
    void anUpdateNamesTheValuesItReplaces_data();
    void anUpdateNamesTheValuesItReplaces();
    void allValuesUpdatesRefuseOtherChanges();
    void allValuesNameTheRowByEveryOldValue_data();
    void allValuesNameTheRowByEveryOldValue();
    void deletingARowAnotherConnectionDeleted();
    void refreshPostsAndKeepsTheRow();
    void bookmarksFindTheirRowAgain();
    void findKey();
    void masterDetailQueryReopens();
    void detailTableTakesTheMasterKey();
    void parameters();
    void transactions();
    void controlsWriteBeforeAPost();
    void emptyDataSetEditStartsARow();
    void hooksRunAroundOpeningPostingAndNewRows();
    void aResultReadOnDemand_data();
    void aResultReadOnDemand();
};

void TestDataSet::browsingAQuery()
{
    TempServers servers;
    auto c = servers.connect();
    auto q = query(*c, QStringLiteral("select prog_id, prog_exe from vortalix_prog where prog_id <= 3 order by prog_id"));
    QCOMPARE(q->state(), DataSetState::Inactive);
    q->open();
    QCOMPARE(q->state(), DataSetState::Browse);
    QCOMPARE(q->recordCount(), 3);
    QVERIFY(q->bof());
    QVERIFY(!q->eof());
    QStringList exes;
    for (q->first(); !q->eof(); q->next())
        exes.append(q->fieldByName(QStringLiteral("prog_exe")).asString());
    QCOMPARE(exes, (QStringList{QStringLiteral("LOANAPP.EXE"), QStringLiteral("LOANSCH.EXE"), QStringLiteral("LOANOVD.EXE")}));
    QCOMPARE(q->recNo(), 2);
    q->prior();
    q->prior();
    q->prior();
    QVERIFY(q->bof());
    QCOMPARE(q->recNo(), 0);
    QVERIFY(!errorOf([&] { q->edit(); }).isEmpty()); // a query is read-only
    q->close();
    QCOMPARE(q->fieldCount(), 0);
    QVERIFY(errorOf([&] { q->next(); }).contains(QLatin1String("closed dataset")));

    auto empty = query(*c, QStringLiteral("select prog_id from vortalix_prog where 1 = 0"));
    empty->open();
    QVERIFY(empty->isEmpty());
    QVERIFY(empty->bof() && empty->eof());
    QVERIFY(empty->fieldByName(QStringLiteral("PROG_ID")).isNull());
}

void TestDataSet::closingTheConnectionClosesItsDataSets()
{
    TempServers servers;
    auto c = servers.connect();
    auto q = query(*c, QStringLiteral("select * from v_sysparams"));
    auto t = companies(*c, Table::UpdateMode::WhereAll);
    q->open();
    t->open();
    c->close();
    QVERIFY(!q->active());
    QVERIFY(!t->active());
    QVERIFY(!c->connected());
    QVERIFY(errorOf([&] { q->open(); }).contains(QLatin1String("not connected")));
}

void TestDataSet::fieldsAreFoundInAnyCaseAndNumbersAreFloats()
{
    TempServers servers;
    auto c = servers.connect();
    auto q = query(*c, QStringLiteral("select v_company, db_name, id from v_sysparams order by v_company"));
    q->open();
    const Field &company = q->fieldByName(QStringLiteral("V_Company"));
    QCOMPARE(company.dataType(), FieldType::Float);
    QCOMPARE(company.value().typeId(), int(QMetaType::Double));
    QCOMPARE(q->fieldByName(QStringLiteral("db_name")).size(), 20);
    QVERIFY(!q->findField(QStringLiteral("nothing")));
    QCOMPARE(errorOf([&] { q->fieldByName(QStringLiteral("nothing")); }), QStringLiteral("Field 'nothing' not found"));
}

void TestDataSet::editingAndCancelling()
{
    TempServers servers;
    auto c = servers.connect();
    auto t = companies(*c, Table::UpdateMode::WhereAll);
    t->open();
    Field &name = t->fieldByName(QStringLiteral("COMPANY_NAME"));
    const QString before = name.asString();
    QVERIFY(!errorOf([&] { name.setAsString(QStringLiteral("x")); }).isEmpty()); // not in edit
    t->edit();
    QCOMPARE(t->state(), DataSetState::Edit);
    name.setAsString(QStringLiteral("Changed"));
    QVERIFY(t->modified());
    t->cancel();
    QCOMPARE(t->state(), DataSetState::Browse);
    QCOMPARE(name.asString(), before);

    // Moving to another row saves a pending change.
    t->edit();
    name.setAsString(QStringLiteral("Saved by moving"));
    t->next();
    QCOMPARE(t->state(), DataSetState::Browse);
    auto other = servers.connect();
    QCOMPARE(testsupport::column(*other, QStringLiteral("select company_name from v_sysparams where v_company = 1")),
             QStringList{QStringLiteral("Saved by moving")});

    // Too long a text is refused, not cut.
    t->edit();
    QVERIFY(errorOf([&] { name.setAsString(QString(51, QLatin1Char('x'))); }).contains(QLatin1String("at most 50")));
    t->cancel();
}

void TestDataSet::anInsertedRowGetsItsKeyFromTheServer()
{
    TempServers servers;
    auto c = servers.connect();
    auto t = programs(*c);
    t->open();
    const int before = t->recordCount();
    t->first();
    t->insert();
    QCOMPARE(t->state(), DataSetState::Insert);
    QCOMPARE(t->recNo(), 0);
    QVERIFY(t->fieldByName(QStringLiteral("PROG_ID")).isNull());
    t->fieldByName(QStringLiteral("PROG_EXE")).setAsString(QStringLiteral("NEWPROG.EXE"));
    t->fieldByName(QStringLiteral("VERSION")).setAsString(QStringLiteral("0.5"));
    t->post();
    QCOMPARE(t->state(), DataSetState::Browse);
    QCOMPARE(t->recordCount(), before + 1);
    const double id = t->fieldByName(QStringLiteral("PROG_ID")).asFloat();
    QCOMPARE(id, 31.0); // one above the demonstration programs
    QCOMPARE(t->recNo(), t->recordCount() - 1); // in key order
    QCOMPARE(t->fieldByName(QStringLiteral("VERSION")).asFloat(), 0.5);
    auto other = servers.connect();
    QCOMPARE(testsupport::column(*other, QStringLiteral("select prog_exe from vortalix_prog where prog_id = 31")),
             QStringList{QStringLiteral("NEWPROG.EXE")});
    t->remove();
    QCOMPARE(testsupport::countRows(*other, QStringLiteral("select 1 from vortalix_prog where prog_id = 31")), 0);
}

void TestDataSet::aRefusedPostStaysInItsState()
{
    TempServers servers;
    auto c = servers.connect();
    auto t = companies(*c, Table::UpdateMode::WhereAll);
    t->open();
    t->append();
    t->fieldByName(QStringLiteral("ID")).setAsFloat(1);
    t->fieldByName(QStringLiteral("V_COMPANY")).setAsFloat(11);
    t->fieldByName(QStringLiteral("DB_NAME")).setAsString(QStringLiteral("VORTA")); // taken
    const QString error = errorOf([&] { t->post(); });
    QVERIFY2(error.startsWith(QLatin1String("ORA-00001")), qPrintable(error));
    QCOMPARE(t->state(), DataSetState::Insert);
    QCOMPARE(t->fieldByName(QStringLiteral("DB_NAME")).asString(), QStringLiteral("VORTA"));
    t->fieldByName(QStringLiteral("DB_NAME")).setAsString(QStringLiteral("UUS"));
    t->post();
    QCOMPARE(t->fieldByName(QStringLiteral("V_COMPANY")).asFloat(), 11.0);
    QCOMPARE(t->recNo(), t->recordCount() - 1);

    // A company that still has grants cannot be deleted.
    t->first();
    QVERIFY(errorOf([&] { t->remove(); }).startsWith(QLatin1String("ORA-02292")));
    QCOMPARE(t->fieldByName(QStringLiteral("V_COMPANY")).asFloat(), 1.0);
}

void TestDataSet::requiredAndRangeChecks()
{
    TempServers servers;
    auto c = servers.connect();
    auto t = companies(*c, Table::UpdateMode::WhereAll);
    t->open();
    t->append();
    t->fieldByName(QStringLiteral("ID")).setAsFloat(1);
    QCOMPARE(errorOf([&] { t->post(); }), QStringLiteral("Field 'V_COMPANY' must have a value"));
    t->fieldByName(QStringLiteral("V_COMPANY")).setAsFloat(12);
    QCOMPARE(errorOf([&] { t->post(); }), QStringLiteral("Field 'DB_NAME' must have a value"));
    t->fieldByName(QStringLiteral("DB_NAME")).setAsString(QStringLiteral("X"));
    t->fieldByName(QStringLiteral("ID")).setAsFloat(2);
    QCOMPARE(errorOf([&] { t->post(); }),
             QStringLiteral("2 is not a valid value for field 'ID'. The allowed range is 1 to 1"));
    QCOMPARE(t->state(), DataSetState::Insert);
    QVERIFY(errorOf([&] { t->fieldByName(QStringLiteral("ID")).setAsString(QStringLiteral("one")); })
                .contains(QLatin1String("not a valid floating point value")));
    t->cancel();
}

void TestDataSet::anUpdateNamesTheValuesItReplaces_data()
{
    QTest::addColumn<QString>("other");  // what another connection changes after the read
    QTest::addColumn<QString>("stored"); // name/author of program 1 after the post
    QTest::addColumn<bool>("refused");
    QTest::newRow("nothing") << QString() << QStringLiteral("Mine/Tamm") << false;
    QTest::newRow("another column") << QStringLiteral("prog_author = 'Other'") << QStringLiteral("Mine/Other") << false;
    QTest::newRow("the same column") << QStringLiteral("prog_name = 'Theirs'") << QStringLiteral("Theirs/Tamm") << true;
    QTest::newRow("the same column, emptied") << QStringLiteral("prog_name = null") << QStringLiteral("/Tamm") << true;
}

void TestDataSet::anUpdateNamesTheValuesItReplaces()
{
    QFETCH(QString, other);
    QFETCH(QString, stored);
    QFETCH(bool, refused);
    TempServers servers;
    auto a = servers.connect();
    auto b = servers.connect();
    auto t = programs(*a);
    t->setUpdateMode(Table::UpdateMode::WhereChanged);
    t->open();
    if (!other.isEmpty())
        b->backend().execute(QStringLiteral("update vortalix_prog set %1 where prog_id = 1").arg(other), {});
    t->edit();
    t->fieldByName(QStringLiteral("PROG_NAME")).setAsString(QStringLiteral("Mine"));
    const QString error = errorOf([&] { t->post(); });
    QCOMPARE(error.contains(QLatin1String("changed or deleted by another user")), refused);
    QCOMPARE(t->state(), refused ? DataSetState::Edit : DataSetState::Browse);
    // Only the changed column is written, and never over another user's value of it.
    QCOMPARE(testsupport::column(*b, QStringLiteral("select nvl(prog_name, '') || '/' || prog_author from vortalix_prog "
                                                    "where prog_id = 1")),
             QStringList{stored});
    if (!refused)
        QCOMPARE(t->fieldByName(QStringLiteral("PROG_AUTHOR")).asString(), stored.section(QLatin1Char('/'), 1)); // read back
}

void TestDataSet::allValuesUpdatesRefuseOtherChanges()
{
    TempServers servers;
    auto a = servers.connect();
    auto b = servers.connect();
    auto t = companies(*a, Table::UpdateMode::WhereAll);
    t->open();
    b->backend().execute(QStringLiteral("update v_sysparams set firma_nimi = 'Teine' where v_company = 1"), {});
    t->edit();
    t->fieldByName(QStringLiteral("COMPANY_NAME")).setAsString(QStringLiteral("Mine"));
    const QString error = errorOf([&] { t->post(); });
    QVERIFY2(error.contains(QLatin1String("changed or deleted by another user")), qPrintable(error));
    QCOMPARE(t->state(), DataSetState::Edit);
    QCOMPARE(testsupport::column(*b, QStringLiteral("select firma_nimi || '/' || company_name from v_sysparams where v_company = 1")),
             QStringList{QStringLiteral("Teine/Vortalix Bank Ltd")});
    t->cancel();
    t->refresh();
    t->edit();
    t->fieldByName(QStringLiteral("COMPANY_NAME")).setAsString(QStringLiteral("Mine"));
    t->post();
    QCOMPARE(testsupport::column(*b, QStringLiteral("select company_name from v_sysparams where v_company = 1")),
             QStringList{QStringLiteral("Mine")});
}

void TestDataSet::allValuesNameTheRowByEveryOldValue_data()
{
    QTest::addColumn<QString>("before");   // how company 1 stands when it is read
    QTest::addColumn<QString>("other");    // what another connection changes afterwards
    QTest::addColumn<bool>("deleting");    // a delete instead of an update
    QTest::addColumn<bool>("refused");

    const QString noValue = QStringLiteral("update v_sysparams set company_name = null where v_company = 1");
    const QString emptyText = QStringLiteral("update v_sysparams set firma_nimi = '' where v_company = 1");
    const QString dated = QStringLiteral("update v_sysparams set system_date = :d where v_company = 1");
    QTest::newRow("an empty text") << emptyText << QString() << false << false;
    QTest::newRow("an empty text, deleted") << emptyText << QString() << true << false;
    QTest::newRow("a missing value") << noValue << QString() << false << false;
    QTest::newRow("a missing value filled in")
        << noValue << QStringLiteral("update v_sysparams set company_name = 'X' where v_company = 1") << false << true;
    QTest::newRow("a text emptied by the other")
        << QString() << QStringLiteral("update v_sysparams set firma_nimi = '' where v_company = 1") << false << true;
    QTest::newRow("a date changed") << dated << dated << false << true;
    QTest::newRow("a number changed") << QString() << QStringLiteral("update v_sysparams set id = 7 where v_company = 1")
                                      << false << true;
    QTest::newRow("a row changed, then deleted")
        << QString() << QStringLiteral("update v_sysparams set firma_nimi = 'Teine' where v_company = 1") << true << true;
    QTest::newRow("an unchanged row deleted") << QString() << QString() << true << false;
}

void TestDataSet::allValuesNameTheRowByEveryOldValue()
{
    QFETCH(QString, before);
    QFETCH(QString, other);
    QFETCH(bool, deleting);
    QFETCH(bool, refused);
    TempServers servers;
    auto a = servers.connect();
    auto b = servers.connect();
    b->backend().execute(QStringLiteral("delete from user_prog_db where database_id = 1"), {});
    auto run = [&](const QString &sql, const QDateTime &date) {
        BoundParams params;
        if (sql.contains(QLatin1String(":d")))
            params.append({QStringLiteral("d"), date});
        b->backend().execute(sql, params);
    };
    if (!before.isEmpty())
        run(before, QDateTime(QDate(2024, 3, 1), QTime(9, 30)));
    auto t = companies(*a, Table::UpdateMode::WhereAll);
    t->open();
    QCOMPARE(t->fieldByName(QStringLiteral("V_COMPANY")).asFloat(), 1.0);
    if (!other.isEmpty())
        run(other, QDateTime(QDate(2024, 3, 2), QTime(9, 30)));

    const QString error = errorOf([&] {
        if (deleting) {
            t->remove();
        } else {
            t->edit();
            t->fieldByName(QStringLiteral("DB_NAME")).setAsString(QStringLiteral("MINE"));
            t->post();
        }
    });
    const QStringList stored = testsupport::column(*b, QStringLiteral("select db_name from v_sysparams where v_company = 1"));
    if (refused) {
        QVERIFY2(error.contains(QLatin1String("changed or deleted by another user")), qPrintable(error));
        QCOMPARE(stored, QStringList{QStringLiteral("VORTA")});
    } else {
        QVERIFY2(error.isEmpty(), qPrintable(error));
        QCOMPARE(stored, deleting ? QStringList() : QStringList{QStringLiteral("MINE")});
    }
}

void TestDataSet::deletingARowAnotherConnectionDeleted()
{
    TempServers servers;
    auto a = servers.connect();
    auto b = servers.connect();
    for (Table::UpdateMode mode : {Table::UpdateMode::WhereChanged, Table::UpdateMode::WhereAll}) {
        auto t = programs(*a);
        t->setUpdateMode(mode);
        t->open();
        t->last();
        const QString id = t->fieldByName(QStringLiteral("PROG_ID")).asString();
        b->backend().execute(QStringLiteral("delete from vortalix_prog where prog_id = ") + id, {});
        QVERIFY(errorOf([&] { t->remove(); }).contains(QLatin1String("nothing was deleted")));
        QCOMPARE(t->fieldByName(QStringLiteral("PROG_ID")).asString(), id);
    }
}

void TestDataSet::refreshPostsAndKeepsTheRow()
{
    TempServers servers;
    auto a = servers.connect();
    auto b = servers.connect();
    auto t = programs(*a);
    t->open();
    t->setRecNo(4);
    const double id = t->fieldByName(QStringLiteral("PROG_ID")).asFloat();
    t->edit();
    t->fieldByName(QStringLiteral("PROG_GROUP")).setAsString(QStringLiteral("Pending"));
    b->backend().execute(QStringLiteral("delete from vortalix_prog where prog_id = 1"), {});
    t->refresh();
    QCOMPARE(t->state(), DataSetState::Browse);
    QCOMPARE(t->fieldByName(QStringLiteral("PROG_ID")).asFloat(), id);
    QCOMPARE(t->recNo(), 3); // the row before it went away
    QCOMPARE(t->recordCount(), 29);
    QCOMPARE(testsupport::column(*b, QStringLiteral("select prog_group from vortalix_prog where prog_id = 5")),
             QStringList{QStringLiteral("Pending")});

    // An edit without any change is cancelled, not written.
    t->edit();
    t->refresh();
    QCOMPARE(t->state(), DataSetState::Browse);

    // A table whose key is not its first column finds the row by the key too, after
    // another user's insert moved it down.
    db::Table companies;
    companies.setConnection(a.get());
    companies.setTableName(QStringLiteral("V_SYSPARAMS"));
    companies.setIndexFieldNames(QStringLiteral("V_COMPANY"));
    companies.open();
    QVERIFY(companies.findKey(2.0));
    QCOMPARE(companies.recNo(), 1);
    b->backend().execute(QStringLiteral("insert into v_sysparams (id, v_company, db_name) values (1, 0, 'ESIMENE')"), {});
    companies.refresh();
    QCOMPARE(companies.recNo(), 2);
    QCOMPARE(companies.fieldByName(QStringLiteral("DB_NAME")).asString(), QStringLiteral("LIISING"));
}

void TestDataSet::bookmarksFindTheirRowAgain()
{
    TempServers servers;
    auto a = servers.connect();
    auto q = query(*a, QStringLiteral("select * from user_list_db where username = 'MARI' and db_name = 'VORTA' order by prog_group, prog_name"));
    q->open();
    q->setRecNo(1);
    Bookmark mark = q->bookmark();
    const QString name = q->fieldByName(QStringLiteral("PROG_NAME")).asString();
    q->close();
    q->open();
    QCOMPARE(q->recNo(), 0);
    QVERIFY(q->bookmarkValid(mark));
    q->gotoBookmark(mark);
    QCOMPARE(q->fieldByName(QStringLiteral("PROG_NAME")).asString(), name);

    a->backend().execute(QStringLiteral("delete from user_prog_db where username = 'MARI' and database_id = 1 and vortalix_prog_id = ")
                             + q->fieldByName(QStringLiteral("VORTALIX_PROG_ID")).asString(), {});
    q->close();
    q->open();
    QVERIFY(!q->bookmarkValid(mark));
    QCOMPARE(errorOf([&] { q->gotoBookmark(mark); }), QStringLiteral("Record not found"));
    QCOMPARE(q->recNo(), 0);
    mark.free();
    QVERIFY(!mark.isValid());
    QVERIFY(!errorOf([&] { q->gotoBookmark(mark); }).isEmpty());
}

void TestDataSet::findKey()
{
    TempServers servers;
    auto a = servers.connect();
    auto t = programs(*a);
    t->open();
    QVERIFY(t->findKey(12.0));
    QCOMPARE(t->fieldByName(QStringLiteral("PROG_EXE")).asString(), QStringLiteral("CASHDESK.EXE"));
    QVERIFY(!t->findKey(999.0));
    QCOMPARE(t->fieldByName(QStringLiteral("PROG_ID")).asFloat(), 12.0);
}

void TestDataSet::masterDetailQueryReopens()
{
    TempServers servers;
    auto a = servers.connect();
    auto master = programs(*a);
    DataSource source;
    source.setDataSet(master.get());
    auto users = query(*a, QStringLiteral("select username ,database_id ,db_name from user_list_db where vortalix_prog_id=:prog_id order by username"));
    users->setMasterSource(&source);
    master->open();
    users->open();
    auto names = [&] {
        QStringList n;
        for (users->first(); !users->eof(); users->next())
            n.append(users->fieldByName(QStringLiteral("USERNAME")).asString());
        return n;
    };
    QCOMPARE(names(), (QStringList{QStringLiteral("JAAN"), QStringLiteral("KATRIN"), QStringLiteral("LIIS"),
                                   QStringLiteral("MARI"), QStringLiteral("OLDUSER"), QStringLiteral("PEETER")}));
    master->next();
    QCOMPARE(names(), (QStringList{QStringLiteral("JAAN"), QStringLiteral("MARI"), QStringLiteral("MARI")}));
    // The filter survives the reopening.
    users->setFilter(QStringLiteral("database_id=1"));
    users->setFiltered(true);
    master->prior();
    QCOMPARE(names(), (QStringList{QStringLiteral("JAAN"), QStringLiteral("KATRIN"), QStringLiteral("MARI"), QStringLiteral("OLDUSER")}));
    master->insert();
    QVERIFY(users->isEmpty()); // a new program has no grants
    master->cancel();
    QCOMPARE(users->recordCount(), 4);
}

void TestDataSet::detailTableTakesTheMasterKey()
{
    TempServers servers;
    auto a = servers.connect();
    auto people = query(*a, QStringLiteral("select personnel_id, f_name from personnel order by personnel_id"));
    DataSource source;
    source.setDataSet(people.get());
    Table customer;
    customer.setConnection(a.get());
    customer.setTableName(QStringLiteral("CUSTOMER"));
    customer.setIndexFieldNames(QStringLiteral("CUSTOMER_ID"));
    customer.setMasterSource(&source);
    customer.setMasterFields(QStringLiteral("PERSONNEL_ID"));
    people->open();
    customer.open();
    QCOMPARE(customer.recordCount(), 1);
    QCOMPARE(customer.fieldByName(QStringLiteral("C_USER")).asString(), QStringLiteral("MARI"));
    QVERIFY(people->locate(QStringLiteral("PERSONNEL_ID"), 111));
    QVERIFY(customer.isEmpty());
    customer.edit(); // an empty detail starts its row
    QCOMPARE(customer.state(), DataSetState::Insert);
    QCOMPARE(customer.fieldByName(QStringLiteral("CUSTOMER_ID")).asFloat(), 111.0);
    customer.fieldByName(QStringLiteral("C_USER")).setAsString(QStringLiteral("HALDUR"));
    people->first(); // saves the pending row
    QCOMPARE(testsupport::column(*a, QStringLiteral("select c_user from customer where customer_id = 111")),
             QStringList{QStringLiteral("HALDUR")});
}

void TestDataSet::parameters()
{
    TempServers servers;
    auto a = servers.connect();
    Query copy;
    copy.setConnection(a.get());
    copy.setSql({QStringLiteral("insert into user_prog_db (username,vortalix_prog_id,database_id,ordinal) "
                                "select username,vortalix_prog_id,:to_db,0 from user_prog_db where username=:username "
                                "and database_id=:from_db and vortalix_prog_id not in (select vortalix_prog_id from "
                                "user_prog_db where username=:username and database_id=:to_db)")});
    QCOMPARE(copy.params().count(), 3);
    QCOMPARE(copy.params()[0].name(), QStringLiteral("to_db"));
    copy.paramByName(QStringLiteral("TO_DB")).setAsFloat(2);
    copy.params()[1].setAsString(QStringLiteral("MARI"));
    copy.paramByName(QStringLiteral("from_db")).setAsFloat(1);
    copy.execSql();
    QCOMPARE(copy.rowsAffected(), 3); // MARI already holds program 2 in company 2
    copy.execSql();
    QCOMPARE(copy.rowsAffected(), 0);
    QVERIFY(!errorOf([&] { copy.paramByName(QStringLiteral("nope")); }).isEmpty());

    // Quoted text and "::" hold no parameters.
    Query q;
    q.setSql({QStringLiteral("select ':x' from dual where 'a::b' = :y -- :z")});
    QCOMPARE(q.params().count(), 1);
    QCOMPARE(q.params()[0].name(), QStringLiteral("y"));
    q.setSql({QStringLiteral("select a::int, 'it''s :b' from t /* :c's */ where d := :e and f = :y or g = : h")});
    QCOMPARE(q.params().count(), 2);
    QCOMPARE(q.params()[0].name(), QStringLiteral("e"));

    Query open;
    open.setConnection(a.get());
    open.setSql({QStringLiteral("select * from dual")});
    open.open();
    QVERIFY(errorOf([&] { open.execSql(); }).contains(QLatin1String("while the query is open")));
}

void TestDataSet::transactions()
{
    TempServers servers;
    auto a = servers.connect();
    auto b = servers.connect();
    const QString count = QStringLiteral("select 1 from user_prog_db where vortalix_prog_id = 4");
    {
        Transaction t(*a);
        a->backend().execute(QStringLiteral("insert into user_prog_db values ('MARI', 4, 1, 0)"), {});
        QCOMPARE(testsupport::countRows(*a, count), 1);
    } // not committed
    QCOMPARE(testsupport::countRows(*b, count), 0);
    {
        Transaction t(*a);
        a->backend().execute(QStringLiteral("insert into user_prog_db values ('MARI', 4, 1, 0)"), {});
        t.commit();
    }
    QCOMPARE(testsupport::countRows(*b, count), 1);
    QVERIFY(!a->inTransaction());
}

void TestDataSet::controlsWriteBeforeAPost()
{
    TempServers servers;
    auto a = servers.connect();
    auto t = programs(*a);
    DataSource source;
    source.setDataSet(t.get());
    PendingText control;
    control.setDataSource(&source);
    t->open();
    t->edit();
    control.field = QStringLiteral("VERSION");
    control.text = QStringLiteral("2.25");
    t->post();
    QCOMPARE(control.updates, 1);
    QCOMPARE(t->fieldByName(QStringLiteral("VERSION")).asFloat(), 2.25);

    // Text that does not convert stops the post with the field's message.
    t->edit();
    t->fieldByName(QStringLiteral("PROG_NAME")).setAsString(QStringLiteral("changed"));
    control.text = QStringLiteral("abc");
    QVERIFY(errorOf([&] { t->post(); }).contains(QLatin1String("not a valid floating point value")));
    QCOMPARE(t->state(), DataSetState::Edit);
    t->cancel();
    QCOMPARE(testsupport::column(*a, QStringLiteral("select prog_name from vortalix_prog where prog_id = 1")),
             QStringList{QStringLiteral("Loan application")});
}

void TestDataSet::emptyDataSetEditStartsARow()
{
    TempServers servers;
    auto a = servers.connect();
    a->backend().execute(QStringLiteral("delete from user_prog_db"), {});
    a->backend().execute(QStringLiteral("delete from v_sysparams"), {});
    auto t = companies(*a, Table::UpdateMode::WhereAll);
    t->open();
    QVERIFY(t->isEmpty());
    t->edit();
    QCOMPARE(t->state(), DataSetState::Insert);
    QCOMPARE(t->recordCount(), 1);
    t->checkBrowseMode(); // nothing typed: the row is dropped
    QVERIFY(t->isEmpty());
}

void TestDataSet::hooksRunAroundOpeningPostingAndNewRows()
{
    TempServers servers;
    auto a = servers.connect();
    QStringList calls;
    Query q;
    q.setConnection(a.get());
    q.setSql({QStringLiteral("select db_name from v_sysparams where v_company = :company")});
    q.beforeOpen = [&](DataSet &ds) {
        calls << QStringLiteral("before");
        static_cast<Query &>(ds).paramByName(QStringLiteral("company")).setAsFloat(10); // parameters are set here
    };
    q.afterOpen = [&](DataSet &ds) { calls << QStringLiteral("after:") + ds.fieldByName(QStringLiteral("DB_NAME")).asString(); };
    q.open();
    QCOMPARE(calls, (QStringList{QStringLiteral("before"), QStringLiteral("after:FONDID")}));

    // A new row's starting values come from the hook and count as no change.
    auto t = companies(*a, Table::UpdateMode::WhereAll);
    int posted = 0;
    t->onNewRecord = [](DataSet &ds) {
        ds.fieldByName(QStringLiteral("ID")).setAsFloat(1);
        ds.fieldByName(QStringLiteral("V_COMPANY")).setAsFloat(20);
    };
    t->afterPost = [&](DataSet &) { ++posted; };
    t->open();
    t->append();
    QCOMPARE(t->fieldByName(QStringLiteral("V_COMPANY")).asFloat(), 20.0);
    QVERIFY(!t->modified());
    t->checkBrowseMode();
    QCOMPARE(t->recordCount(), 3); // dropped: nothing was typed
    QCOMPARE(posted, 0);
    t->append();
    t->fieldByName(QStringLiteral("DB_NAME")).setAsString(QStringLiteral("UUS"));
    t->post();
    QCOMPARE(posted, 1);
    // A hook that fails stops the operation and leaves no half-made row.
    t->onNewRecord = [](DataSet &) { throw DbError(QStringLiteral("no numbers left")); };
    QCOMPARE(errorOf([&] { t->append(); }), QStringLiteral("no numbers left"));
    QCOMPARE(t->state(), DataSetState::Browse);
    QCOMPARE(t->recordCount(), 4);
}

void TestDataSet::aResultReadOnDemand_data()
{
    QTest::addColumn<std::function<void(DataSet &)>>("action");
    QTest::addColumn<int>("count");
    QTest::addColumn<QString>("current");
    QTest::addColumn<int>("read");
    QTest::addColumn<bool>("more");
    using Act = std::function<void(DataSet &)>;
    QTest::newRow("opened") << Act([](DataSet &) {}) << 100 << "R001" << 100 << true;
    QTest::newRow("moved past the rows read") << Act([](DataSet &d) {
        d.setRecNo(99);
        d.next();
    }) << 200 << "R101" << 200 << true;
    QTest::newRow("to the last row") << Act([](DataSet &d) { d.last(); }) << 250 << "R250" << 250 << false;
    QTest::newRow("located beyond the rows read")
        << Act([](DataSet &d) { QVERIFY(d.locate(QStringLiteral("NAME"), QStringLiteral("R240"))); }) << 250 << "R240" << 250
        << false;
    QTest::newRow("filtered over every row") << Act([](DataSet &d) {
        d.setFilter(QStringLiteral("NAME='R24*'"));
        d.setFiltered(true);
    }) << 10 << "R240" << 250 << false;
    QTest::newRow("a grid scrolled to the end") << Act([](DataSet &d) { d.fetchMore(); }) << 200 << "R001" << 200 << true;
    QTest::newRow("the program waiting for the user")
        << Act([](DataSet &d) { QTRY_VERIFY(!d.canFetchMore()); }) << 250 << "R001" << 250 << false;
}

void TestDataSet::aResultReadOnDemand()
{
    QFETCH(std::function<void(DataSet &)>, action);
    QFETCH(int, count);
    QFETCH(QString, current);
    QFETCH(int, read);
    QFETCH(bool, more);
    testsupport::MemoryDataSet rows{{QStringLiteral("NAME")}};
    for (int i = 1; i <= 250; ++i)
        rows.addRow({QStringLiteral("R%1").arg(i, 3, 10, QLatin1Char('0'))});
    rows.setFetchOnDemand(true);
    rows.open();
    action(rows);
    QCOMPARE(rows.recordCount(), count);
    QCOMPARE(rows.fieldByName(QStringLiteral("NAME")).asString(), current);
    QCOMPARE(rows.rowsRead(), read);
    QCOMPARE(rows.canFetchMore(), more);
    // Closed, it reads no more.
    rows.close();
    QCOMPARE(rows.rowsRead(), read);
}

QTEST_GUILESS_MAIN(TestDataSet)
#include "tst_dataset.moc"
