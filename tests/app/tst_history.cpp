#include "MainWindowFixture.h"

#include "accounts/adduser.h"
#include "accounts/createDrop.h"
#include "grants/Rights.h"
#include "grants/chosedb.h"
#include "grants/progpas.h"
#include "lookup/dbs.h"
#include "lookup/history.h"
#include "platform/db/Field.h"
#include "platform/report/Layout.h"

#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QSysInfo>

#include <pwd.h>
#include <unistd.h>

namespace {

// The rows of the history, oldest first, as "LOGIN WHAT|PROGRAM|COMPANY|USER|DETAIL".
QStringList recorded(MainWindowFixture &f)
{
    auto c = f.servers.connect();
    const db::ResultSet rs = c->backend().select(
        QStringLiteral("select changed_by, action, prog_exe, db_name, username, detail, os_user, host_name "
                       "from vortalix.grant_history order by history_id"), {});
    const passwd *me = getpwuid(geteuid());
    QStringList rows;
    for (const db::Row &row : rs.rows) {
        // Every row names this workstation.
        if (row.value(6).toString() != QString::fromLocal8Bit(me->pw_name) || row.value(7).toString() != QSysInfo::machineHostName())
            rows.append(QStringLiteral("another workstation"));
        QStringList fields;
        for (int i = 1; i < 6; ++i)
            fields.append(row.value(i).toString());
        rows.append(row.value(0).toString() + QLatin1Char(' ') + fields.join(QLatin1Char('|')));
    }
    return rows;
}

void asOwner(MainWindowFixture &f, const QString &sql)
{
    f.servers.connect()->backend().execute(sql, {});
}

// "P" on the register's current program, moving names both ways, then OK.
void grantWithP(const QStringList &toRight, const QStringList &toLeft)
{
    testsupport::ModalDriver driver;
    driver.then([=](QWidget *) {
        for (auto [list, names] : {std::pair{DualListDlg->SrcList, toRight}, std::pair{DualListDlg->DstList, toLeft}}) {
            list->clearSelection();
            for (const QString &name : names)
                list->findItems(name, Qt::MatchExactly).value(0)->setSelected(true);
            (list == DualListDlg->SrcList ? DualListDlg->IncludeBtn : DualListDlg->ExcludeBtn)->click();
        }
        DualListDlg->OKBtn->click();
    });
    Form1->BitBtn1->click();
}

// The programs of one user, with a program of a list made current.
void programsOf(const QString &user, db::Query *list, int program)
{
    Form1->BitBtn2->click();
    FormProg->Edit1->setText(user);
    FormProg->SpeedButton1->click();
    const QString key = list == FormProg->QueryAllProg ? QStringLiteral("PROG_ID") : QStringLiteral("VORTALIX_PROG_ID");
    QVERIFY(list->locate(key, program));
}

// The copy of the programs of one user from LIISING.
void copyFromLiising()
{
    testsupport::ModalDriver driver;
    driver.then([](QWidget *) {
        FormChoseDB->DBLookupListBox1->setCurrentItem(
            FormChoseDB->DBLookupListBox1->findItems(QStringLiteral("LIISING"), Qt::MatchExactly).value(0));
        FormChoseDB->BitBtn2->click();
    });
    FormProg->BitBtn1->click();
}

// An account statement as the runner and the drop run it, as "system" on LIVE.
void runAsSystem(const QString &statement)
{
    db::Connection *database = FormCreateUser->Database1;
    database->params().setValue(QStringLiteral("SERVER NAME"), QStringLiteral("LIVE"));
    database->params().setValue(QStringLiteral("USER NAME"), QStringLiteral("system"));
    database->params().setValue(QStringLiteral("PASSWORD"), QStringLiteral("manager"));
    database->open();
    FormCr->Query1->setSql({statement});
    FormCr->ExecBuffer();
}

// The companies' table as the window edits it.
void editCompanies(const std::function<void(db::Table *)> &edit)
{
    FormDBs->Table1->open();
    edit(FormDBs->Table1);
    FormDBs->Table1->close();
}

QStringList gridColumn(const QString &field)
{
    QStringList values;
    const QAbstractItemModel *model = FormHistory->DBGrid1->model();
    int column = 0;
    while (column < model->columnCount() && FormHistory->DBGrid1->dataModel()->fieldAt(column)->fieldName() != field)
        ++column;
    for (int row = 0; row < model->rowCount(); ++row)
        values.append(model->index(row, column).data().toString());
    return values;
}

const QString byOwner = QStringLiteral("VORTALIX ");
const QString bySystem = QStringLiteral("SYSTEM ");

} // namespace

Q_DECLARE_METATYPE(std::function<void(MainWindowFixture &)>)

class TestHistory : public QObject {
    Q_OBJECT
private slots:
    void eachChangeLeavesItsRows_data();
    void eachChangeLeavesItsRows();
    void onlyTheOwnerAndDbaReadIt_data();
    void onlyTheOwnerAndDbaReadIt();
    void aServerWithoutTheHistoryWorksAsBefore();
    void theWindowNarrows_data();
    void theWindowNarrows();
    void theRowsComeAsTheGridScrollsAndAllAreExported();
    void theWindowPrints();
};

void TestHistory::eachChangeLeavesItsRows_data()
{
    using Change = std::function<void(MainWindowFixture &)>;
    QTest::addColumn<Change>("change");
    QTest::addColumn<QStringList>("rows");
    QTest::newRow("P, one name each way") << Change([](MainWindowFixture &) {
        grantWithP({QStringLiteral("ANNE")}, {QStringLiteral("OLDUSER")});
    }) << QStringList{byOwner + "REVOKE|LOANAPP.EXE|VORTA|OLDUSER|", byOwner + "GRANT|LOANAPP.EXE|VORTA|ANNE|"};
    QTest::newRow("P, nothing moved") << Change([](MainWindowFixture &) { grantWithP({}, {}); }) << QStringList();
    QTest::newRow("U, >") << Change([](MainWindowFixture &) {
        programsOf(QStringLiteral("MARI"), FormProg->QueryAllProg, 12);
        FormProg->ExcludeBtn->click();
    }) << QStringList{byOwner + "GRANT|CASHDESK.EXE|VORTA|MARI|"};
    QTest::newRow("U, <") << Change([](MainWindowFixture &) {
        programsOf(QStringLiteral("MARI"), FormProg->QueryuserProg, 2);
        FormProg->IncludeBtn->click();
    }) << QStringList{byOwner + "REVOKE|LOANSCH.EXE|VORTA|MARI|"};
    QTest::newRow("copy from LIISING") << Change([](MainWindowFixture &) {
        programsOf(QStringLiteral("KATRIN"), FormProg->QueryuserProg, 1);
        copyFromLiising();
    }) << QStringList(); // KATRIN holds LIISING's one program in VORTA already
    QTest::newRow("copy adding one") << Change([](MainWindowFixture &) {
        programsOf(QStringLiteral("PEETER"), FormProg->QueryuserProg, 8);
        copyFromLiising();
    }) << QStringList{byOwner + "GRANT|LOANAPP.EXE|VORTA|PEETER|"};
    QTest::newRow("account created") << Change([](MainWindowFixture &) {
        runAsSystem(QStringLiteral("create user NEWBIE identified by \"Secret1\""));
    }) << QStringList{bySystem + "CREATE USER|||NEWBIE|"};
    QTest::newRow("roles granted") << Change([](MainWindowFixture &) {
        runAsSystem(QStringLiteral("grant connect, dealer to AUDITOR"));
    }) << QStringList{bySystem + "GRANT ROLE|||AUDITOR|CONNECT, DEALER"};
    QTest::newRow("a role revoked") << Change([](MainWindowFixture &) {
        runAsSystem(QStringLiteral("revoke dealer from MARI"));
    }) << QStringList{bySystem + "REVOKE ROLE|||MARI|DEALER"};
    QTest::newRow("account dropped") << Change([](MainWindowFixture &) {
        runAsSystem(QStringLiteral("drop user AUDITOR cascade"));
    }) << QStringList{bySystem + "DROP USER|||AUDITOR|cascade"};
    QTest::newRow("company added") << Change([](MainWindowFixture &) {
        editCompanies([](db::Table *t) {
            t->append();
            FormDBs->Table1DB_NAME->setAsString(QStringLiteral("UUS"));
            t->post();
        });
    }) << QStringList{byOwner + "ADD COMPANY||UUS||"};
    QTest::newRow("company renamed") << Change([](MainWindowFixture &) {
        editCompanies([](db::Table *t) {
            t->locate(QStringLiteral("DB_NAME"), QStringLiteral("FONDID"));
            t->edit();
            FormDBs->Table1DB_NAME->setAsString(QStringLiteral("FUNDS"));
            t->post();
        });
    }) << QStringList{byOwner + "RENAME COMPANY||FUNDS||DB_NAME: FONDID -> FUNDS"};
    QTest::newRow("company deleted") << Change([](MainWindowFixture &f) {
        asOwner(f, QStringLiteral("insert into v_sysparams (id, v_company, db_name) values (1, 20, 'EXTRA')"));
        editCompanies([](db::Table *t) {
            t->locate(QStringLiteral("DB_NAME"), QStringLiteral("EXTRA"));
            t->remove();
        });
    }) << QStringList{byOwner + "DELETE COMPANY||EXTRA||"};
    // A change that fails leaves no row.
    QTest::newRow("company with grants not deleted") << Change([](MainWindowFixture &) {
        editCompanies([](db::Table *t) {
            t->locate(QStringLiteral("DB_NAME"), QStringLiteral("FONDID"));
            QVERIFY_THROWS_EXCEPTION(db::DbError, t->remove());
        });
    }) << QStringList();
    QTest::newRow("existing account not created") << Change([](MainWindowFixture &f) {
        runAsSystem(QStringLiteral("create user MARI identified by kevaro"));
        QVERIFY(f.messages.texts().value(0).startsWith(QLatin1String("Failed to execute following SQL statement:")));
    }) << QStringList();
    QTest::newRow("P's grant refused") << Change([](MainWindowFixture &f) {
        asOwner(f, f.servers.onPostgreSql()
                       ? QStringLiteral("alter table user_prog_db add constraint no_anne check (username <> 'ANNE' or vortalix_prog_id <> 1)")
                       : QStringLiteral("create trigger vortalix.no_anne before insert on user_prog_db "
                                        "when new.username = 'ANNE' begin select raise(abort, 'no ANNE'); end"));
        grantWithP({QStringLiteral("ANNE")}, {QStringLiteral("OLDUSER")});
        QCOMPARE(f.messages.entries().size(), 1);
    }) << QStringList();
}

void TestHistory::eachChangeLeavesItsRows()
{
    using Change = std::function<void(MainWindowFixture &)>;
    QFETCH(Change, change);
    QFETCH(QStringList, rows);
    MainWindowFixture f;
    f.connectAs();
    change(f);
    QCOMPARE(recorded(f), rows);
}

void TestHistory::onlyTheOwnerAndDbaReadIt_data()
{
    QTest::addColumn<QString>("login");
    QTest::addColumn<QString>("password");
    QTest::addColumn<QString>("statement");
    QTest::addColumn<bool>("refused");
    const QString read = QStringLiteral("select count(*) from vortalix.grant_history");
    QTest::newRow("the owner reads") << "vortalix" << "lumivar" << read << false;
    QTest::newRow("DBA reads") << "system" << "manager" << read << false;
    QTest::newRow("a dealer does not") << "mari" << "kevaro" << read << true;
    QTest::newRow("no one changes a row") << "vortalix" << "lumivar"
                                          << "update vortalix.grant_history set action = 'GRANT'" << true;
}

void TestHistory::onlyTheOwnerAndDbaReadIt()
{
    QFETCH(QString, login);
    QFETCH(QString, password);
    QFETCH(QString, statement);
    QFETCH(bool, refused);
    testsupport::TempServers servers;
    auto c = servers.connect(login, password);
    QString error;
    try {
        c->backend().execute(statement, {});
    } catch (const db::DbError &e) {
        error = e.text();
    }
    QVERIFY2(refused ? testsupport::isServerError(error, QStringLiteral("ORA-01031"), QStringLiteral("42501"))
                     : error.isEmpty(),
             qPrintable(error));
}

void TestHistory::aServerWithoutTheHistoryWorksAsBefore()
{
    MainWindowFixture f;
    f.connectAs();
    Form1->SpeedButtonHistory->click();
    QVERIFY(FormHistory->isVisible());
    QVERIFY(FormHistory->LabelNote->isHidden());
    // Dropped by another session while the window shows it.
    asOwner(f, QStringLiteral("drop table vortalix.grant_history"));
    grantWithP({QStringLiteral("ANNE")}, {});
    QVERIFY2(f.messages.entries().isEmpty(), qPrintable(f.messages.texts().join(QLatin1Char('\n'))));
    QCOMPARE(testsupport::countRows(*f.servers.connect(), QStringLiteral("select username from user_prog_db where "
                                                                          "username = 'ANNE' and vortalix_prog_id = 1")),
             1);
    QTest::keyClick(FormHistory->EditUser, Qt::Key_Return);
    QVERIFY(FormHistory->LabelNote->isVisible());
    QVERIFY(FormHistory->LabelNote->text().contains(QLatin1String("userpr-db history LIVE")));
    QVERIFY(!FormHistory->BtnExport->isEnabled() && !FormHistory->BtnPrint->isEnabled());
    testsupport::screenshot(FormHistory, QStringLiteral("history-window-without-history"));
    if (f.servers.onPostgreSql())
        return;
    QProcess console;
    console.start(qEnvironmentVariable("USERPR_DB"), {QStringLiteral("history"), QStringLiteral("LIVE")});
    QVERIFY(console.waitForFinished());
    QCOMPARE(console.exitCode(), 0);
    QTest::keyClick(FormHistory->EditUser, Qt::Key_Return);
    QVERIFY(FormHistory->LabelNote->isHidden());
    QCOMPARE(FormHistory->LabelStatus->text(), QStringLiteral("0 changes"));
}

void TestHistory::theWindowNarrows_data()
{
    QTest::addColumn<QString>("field");
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QStringList>("users");
    const QString today = QDate::currentDate().toString(QStringLiteral("dd/MM/yyyy"));
    const QStringList all{QStringLiteral("JAAN"), QStringLiteral("MARGUS"), QStringLiteral("PEETER"), QStringLiteral("MARI")};
    QTest::newRow("nothing, newest first") << "EditUser" << "" << all;
    QTest::newRow("a user, typed in small letters") << "EditUser" << "jaan" << QStringList{QStringLiteral("JAAN")};
    QTest::newRow("users by pattern") << "EditUser" << "mar%" << QStringList{QStringLiteral("MARGUS"), QStringLiteral("MARI")};
    QTest::newRow("a program by name") << "EditProgram" << "loan%" << QStringList{QStringLiteral("JAAN"), QStringLiteral("MARI")};
    QTest::newRow("a program by number") << "EditProgram" << "18" << QStringList{QStringLiteral("MARGUS")};
    QTest::newRow("a company") << "EditCompany" << "liising" << QStringList{QStringLiteral("PEETER")};
    QTest::newRow("from today") << "EditFrom" << today << all;
    QTest::newRow("to yesterday") << "EditTo" << QDate::currentDate().addDays(-1).toString(QStringLiteral("dd/MM/yy"))
                                  << QStringList();
    QTest::newRow("from tomorrow") << "EditFrom" << QDate::currentDate().addDays(1).toString(QStringLiteral("yyyy-MM-dd"))
                                   << QStringList();
    QTest::newRow("not a date keeps the rows") << "EditTo" << "31/02/2024" << all;
}

void TestHistory::theWindowNarrows()
{
    QFETCH(QString, field);
    QFETCH(QString, typed);
    QFETCH(QStringList, users);
    MainWindowFixture f;
    f.connectAs();
    // MARI's LOANAPP.EXE in VORTA, PEETER's ACCOUNTS.EXE in LIISING, MARGUS's NETBANK.EXE
    // and JAAN's LOANSCH.EXE in VORTA revoked, in this order.
    grantWithP({}, {QStringLiteral("MARI")});
    Form1->userprogTable->locate(QStringLiteral("PROG_ID"), 8);
    for (int company : {2, 0}) { // LIISING, then VORTA again
        if (company == 0)
            Form1->userprogTable->locate(QStringLiteral("PROG_ID"), 18);
        Form1->DBLookupComboBox1->choose(company);
        Form1->DBLookupComboBox1->hidePopup();
        grantWithP({}, {company == 2 ? QStringLiteral("PEETER") : QStringLiteral("MARGUS")});
    }
    Form1->userprogTable->locate(QStringLiteral("PROG_ID"), 2);
    grantWithP({}, {QStringLiteral("JAAN")});

    Form1->SpeedButtonHistory->click();
    QTRY_VERIFY(FormHistory->isActiveWindow());
    auto *edit = FormHistory->findChild<QLineEdit *>(field);
    edit->setFocus();
    QTest::keyClicks(edit, typed);
    QTest::keyClick(edit, Qt::Key_Return);
    QCOMPARE(gridColumn(QStringLiteral("USERNAME")), users);
    QCOMPARE(FormHistory->LabelStatus->text().contains(QLatin1String("is not a date")), typed == QLatin1String("31/02/2024"));
    QTest::keyClick(edit, Qt::Key_Escape);
    QVERIFY(!FormHistory->isVisible());
}

void TestHistory::theRowsComeAsTheGridScrollsAndAllAreExported()
{
    MainWindowFixture f;
    f.connectAs();
    // A detail a spreadsheet would take for a formula, and one with a comma and quotes.
    asOwner(f, QStringLiteral("insert into vortalix.grant_history (action, username, detail) "
                              "select 'GRANT ROLE', a.username, 'DEALER' from user_prog_db a, user_prog_db b"));
    asOwner(f, QStringLiteral("insert into vortalix.grant_history (action, username, detail) values "
                              "('GRANT ROLE', 'JAAN', '=1+2')"));
    asOwner(f, QStringLiteral("insert into vortalix.grant_history (action, username, detail) values "
                              "('DROP USER', 'KALLE', 'the \"old\" one, gone')"));
    const int rows = 33 * 33 + 2;
    Form1->SpeedButtonHistory->click();
    QCOMPARE(FormHistory->DBGrid1->model()->rowCount(), 100);
    QCOMPARE(FormHistory->LabelStatus->text(), QStringLiteral("100 changes shown, more below"));
    testsupport::screenshot(FormHistory, QStringLiteral("history-window-many"));
    const QSize size = FormHistory->size();
    FormHistory->resize(FormHistory->minimumSize());
    testsupport::screenshot(FormHistory, QStringLiteral("history-window-smallest"));
    FormHistory->resize(size);
    FormHistory->DBGrid1->scrollToBottom();
    QTRY_VERIFY(FormHistory->DBGrid1->model()->rowCount() > 100);

    const QString file = f.servers.dataFolder() + QStringLiteral("/history.csv");
    testsupport::ModalDriver driver;
    driver.then([&](QWidget *dialog) {
        QCOMPARE(dialog, static_cast<QWidget *>(FormHistory->SaveDialog1));
        auto *name = dialog->findChild<QLineEdit *>(QStringLiteral("fileNameEdit"));
        name->setText(file);
        QTest::keyClick(name, Qt::Key_Return);
    });
    FormHistory->BtnExport->click();
    QCOMPARE(FormHistory->LabelStatus->text(), QStringLiteral("%1 rows exported to %2").arg(rows).arg(file));
    QFile csv(file);
    QVERIFY(csv.open(QIODevice::ReadOnly));
    const QStringList lines = QString::fromUtf8(csv.readAll()).split(QStringLiteral("\r\n"));
    QCOMPARE(lines.size(), rows + 2); // the titles, the rows and the empty end after the last CR LF
    QCOMPARE(lines.at(0), QStringLiteral("When,What,Program,No.,Company,User,Login,OS user,Host,Detail"));
    const QString when = QStringLiteral("\\d{4}-\\d\\d-\\d\\d \\d\\d:\\d\\d:\\d\\d");
    QVERIFY2(QRegularExpression(QStringLiteral("^%1,DROP USER,,,,KALLE,VORTALIX,,,\"the \"\"old\"\" one, gone\"$").arg(when))
                 .match(lines.at(1)).hasMatch(), qPrintable(lines.at(1)));
    QVERIFY2(QRegularExpression(QStringLiteral("^%1,GRANT ROLE,,,,JAAN,VORTALIX,,,'=1\\+2$").arg(when)).match(lines.at(2)).hasMatch(),
             qPrintable(lines.at(2)));
    FormHistory->BtnShow->click();
    QCOMPARE(FormHistory->LabelStatus->text(), QStringLiteral("100 changes shown, more below"));
}

void TestHistory::theWindowPrints()
{
    MainWindowFixture f;
    f.connectAs();
    grantWithP({QStringLiteral("ANNE")}, {QStringLiteral("JAAN")});
    Form1->SpeedButtonHistory->click();
    testsupport::screenshot(FormHistory, QStringLiteral("history-window"));
    // Tab reaches every control once, in reading order.
    QTRY_COMPARE(QApplication::focusWidget(), static_cast<QWidget *>(FormHistory->EditUser));
    for (QWidget *next : std::initializer_list<QWidget *>{FormHistory->EditProgram, FormHistory->EditCompany, FormHistory->EditFrom,
                                                          FormHistory->EditTo, FormHistory->BtnShow, FormHistory->DBGrid1,
                                                          FormHistory->BtnExport, FormHistory->BtnPrint, FormHistory->BtnClose,
                                                          FormHistory->EditUser}) {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        QCOMPARE(QApplication::focusWidget(), next);
    }
    QTest::keyClicks(FormHistory->EditUser, QStringLiteral("anne"));
    QTest::keyClick(FormHistory->EditUser, Qt::Key_Return);
    const report::Pages pages = FormHistory->HistoryReport->produce();
    QCOMPARE(int(pages.pages.size()), 1);
    QStringList texts;
    for (const report::PlacedItem &item : pages.pages.front().items)
        texts.append(item.text);
    QVERIFY2(texts.contains(QStringLiteral("Changes of user ANNE on LIVE, newest first")), qPrintable(texts.join(QLatin1Char('|'))));
    QVERIFY(texts.contains(QStringLiteral("LOANAPP.EXE")) && texts.contains(QStringLiteral("ANNE")));
    QVERIFY(!texts.contains(QStringLiteral("JAAN")));
}

QTEST_MAIN(TestHistory)
#include "tst_history.moc"
