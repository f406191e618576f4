#include "MainWindowFixture.h"

#include "accounts/adduser.h"
#include "accounts/createDrop.h"
#include "accounts/newusers.h"
#include "platform/db/AccountStatement.h"

#include <QAccessible>
#include <QDir>
#include <QFile>

using controls::MessageKind;

namespace {

const QString failed = QStringLiteral("Failed to execute following SQL statement:\r");

const QStringList dealers{QStringLiteral("ANNE"), QStringLiteral("JAAN"), QStringLiteral("KALLE"),
                          QStringLiteral("KATRIN"), QStringLiteral("LIIS"), QStringLiteral("MARGUS"),
                          QStringLiteral("MARI"), QStringLiteral("PEETER"), QStringLiteral("TOOMAS")};

QStringList items(const QListWidget *list)
{
    QStringList names;
    for (int i = 0; i < list->count(); ++i)
        names.append(list->item(i)->text());
    return names;
}

void select(QListWidget *list, const QStringList &names)
{
    for (int i = 0; i < list->count(); ++i)
        list->item(i)->setSelected(names.contains(list->item(i)->text()));
}

// Runs statements as a login on one of the temporary servers.
void run(MainWindowFixture &f, const QString &server, const QString &login, const QString &password,
         const QStringList &statements)
{
    auto c = f.servers.connect(login, password, server);
    for (const QString &s : statements)
        c->backend().execute(s, {});
}

void asSystem(MainWindowFixture &f, const QString &server, const QStringList &statements)
{
    run(f, server, QStringLiteral("system"), QStringLiteral("manager"), statements);
}

QStringList rolesOf(MainWindowFixture &f, const QString &server, const QString &user)
{
    auto c = f.servers.connect(QStringLiteral("system"), QStringLiteral("manager"), server);
    return testsupport::column(*c, QStringLiteral("select granted_role from dba_role_privs where grantee = '%1' "
                                                  "order by granted_role").arg(user));
}

bool accountExists(MainWindowFixture &f, const QString &server, const QString &user)
{
    auto c = f.servers.connect(QStringLiteral("system"), QStringLiteral("manager"), server);
    return testsupport::countRows(*c, QStringLiteral("select username from all_users where username = '%1'").arg(user)) == 1;
}

// Shows the account window for the server named in the login dialog, answering the
// prompt for the password of "system".
void openAccountWindow(const QString &server, const QString &password = QStringLiteral("manager"))
{
    LoginForm->ConnComboBox->setEditText(server);
    testsupport::ModalDriver driver;
    driver.then([=](QWidget *dialog) {
        QCOMPARE(dialog, static_cast<QWidget *>(LoginForm));
        QCOMPARE(LoginForm->Label4->text(), QStringLiteral("Provide password for system"));
        QVERIFY(LoginForm->ConnComboBox->isHidden());
        LoginForm->PasswdEdit->setText(password);
        LoginForm->BitBtn1->click();
    });
    Form1->SpeedButtonUSR->click();
    QVERIFY(FormCreateUser->isVisible());
}

void chooseUser(const QString &user)
{
    const QList<QListWidgetItem *> found = FormCreateUser->DBLookupListBox1->findItems(user, Qt::MatchExactly);
    QVERIFY2(found.size() == 1, qPrintable(user));
    FormCreateUser->DBLookupListBox1->setCurrentItem(found.first());
    QCOMPARE(FormCreateUser->Label3->text(), QLatin1Char(' ') + user);
}

// Presses "<" for the chosen user and databases; the action answers the runner.
void create(const QStringList &databases, const std::function<void()> &action)
{
    select(FormCreateUser->ListBox2, databases);
    testsupport::ModalDriver driver;
    driver.then([=](QWidget *dialog) {
        QCOMPARE(dialog, static_cast<QWidget *>(FormCr));
        action();
    });
    FormCreateUser->IncludeBtn->click();
}

// The window on TEST, with MARI's account gone from there.
void openWithoutMari(MainWindowFixture &f)
{
    f.connectAs();
    asSystem(f, QStringLiteral("TEST"), {QStringLiteral("drop user MARI cascade")});
    openAccountWindow(QStringLiteral("TEST"));
    chooseUser(QStringLiteral("MARI"));
}

QString generatedStatements(const QString &user)
{
    return QStringLiteral("create user %1 identified by kevaro\n"
                          "default tablespace users\n"
                          "temporary tablespace temp\n"
                          " \n"
                          "grant resource, connect, dealer to %1\n"
                          " \n"
                          "grant execute on vortalix.GET_CUSTOMER_NAME to %1\n"
                          " \n"
                          "grant execute on vortalix.ACCOUNT_BALANCE to %1\n"
                          " \n"
                          "grant execute on vortalix.CURRENCY_RATES to %1\n"
                          " ")
        .arg(user);
}

} // namespace

class TestAccounts : public QObject {
    Q_OBJECT
private slots:
    void theDictionaryOfUsersAndDatabases();
    void theDictionaryStaysConsistentWhenLinesChange();
    void plainUserNames_data();
    void plainUserNames();
    void theMainWindowShowsBothButtons();
    void aUserWithAnAccount();
    void aUserWithoutAnAccountAndItsCreation();
    void cancelRunsNothingAndDisconnects();
    void okToAllDoesTheOtherDatabasesUnseen();
    void anAccountMadeMeanwhileIsReportedOnceAndGranted();
    void grantStatementsRunAsTheOwner();
    void anEmptyListOfProgramUnits();
    void dropConfirmedAndRefused();
    void aDropOfAnAccountAlreadyGone();
    void wrongPasswordAnsweredNoAndYes();
    void aScanStopsAtAnUnreachableServer();
    void aWindowThatCannotBeFilledKeepsNoSession();
    void disconnectEndsTheAccountSession();
    void refusedUserNamesReachNoStatement();
    void aRefusedNameIsRefusedOnceForAllDatabases();
    void aFailedOwnerLoginLeavesTheWindowAsSystem();
    void passwordsInShownStatements_data();
    void passwordsInShownStatements();
    void aProgramUnitNameThatIsNotPlain();
    void theWindowKeepsItsWidth();
    void pressingAMoveButtonWithNothingChosen();
    void assistiveToolsAndTheKeyboardReachEveryChoice();
};

void TestAccounts::theDictionaryOfUsersAndDatabases()
{
    TDict d;
    d.append(QStringLiteral("MARI="));
    d.append(QStringLiteral("JAAN="));
    d.AppendValue(QStringLiteral("MARI"), QStringLiteral("LIVE"));
    QCOMPARE(d.value(QStringLiteral("MARI")), QStringLiteral("\"LIVE\""));
    d.AppendValue(QStringLiteral("mari"), QStringLiteral("Pank AS, Tallinn"));
    d.AppendValue(QStringLiteral("Mari"), QStringLiteral("Old \"north\" DB"));
    QCOMPARE(d.value(QStringLiteral("MARI")), QStringLiteral("\"LIVE\",\"Pank AS, Tallinn\",\"Old \"\"north\"\" DB\""));
    QCOMPARE(d.items(QStringLiteral("mari")),
             (QStringList{QStringLiteral("LIVE"), QStringLiteral("Pank AS, Tallinn"), QStringLiteral("Old \"north\" DB")}));
    // A user without databases keeps the line; a user without a line has none either.
    QCOMPARE(d.lines().at(1), QStringLiteral("JAAN="));
    QVERIFY(d.items(QStringLiteral("JAAN")).isEmpty());
    QVERIFY(d.items(QStringLiteral("NOBODY")).isEmpty());
    // Lines stay in their order; a name without a line gets a new line at the end.
    d.AppendValue(QStringLiteral("KATRIN"), QStringLiteral("TEST"));
    QCOMPARE(d.count(), 3);
    QCOMPARE(d.indexOfName(QStringLiteral("MARI")), 0);
    QCOMPARE(d.lines().at(2), QStringLiteral("KATRIN=\"TEST\""));
    // A value shorter than two characters counts as none.
    d.setValue(QStringLiteral("JAAN"), QStringLiteral("x"));
    d.AppendValue(QStringLiteral("JAAN"), QStringLiteral("LIVE"));
    QCOMPARE(d.value(QStringLiteral("JAAN")), QStringLiteral("\"LIVE\""));
}

void TestAccounts::theDictionaryStaysConsistentWhenLinesChange()
{
    TDict d;
    for (int i = 0; i < 5000; ++i)
        d.append(QStringLiteral("USER%1=").arg(i));
    d.append(QStringLiteral("USER7=\"SECOND\"")); // a name met again: the first line counts
    for (int i = 0; i < 5000; i += 2)
        d.AppendValue(QStringLiteral("user%1").arg(i), QStringLiteral("LIVE"));
    QCOMPARE(d.count(), 5001);
    QCOMPARE(d.value(QStringLiteral("USER4998")), QStringLiteral("\"LIVE\""));
    QVERIFY(d.value(QStringLiteral("USER4999")).isEmpty());
    QVERIFY(d.value(QStringLiteral("USER7")).isEmpty());
    // Removing a line moves every later one up; the names still find their own lines.
    d.setValue(QStringLiteral("USER10"), QString());
    QVERIFY(!d.hasName(QStringLiteral("USER10")));
    QCOMPARE(d.nameAt(d.indexOfName(QStringLiteral("USER11"))), QStringLiteral("USER11"));
    d.AppendValue(QStringLiteral("USER4998"), QStringLiteral("TEST"));
    QCOMPARE(d.items(QStringLiteral("USER4998")), (QStringList{QStringLiteral("LIVE"), QStringLiteral("TEST")}));
    QCOMPARE(d.lines().at(d.indexOfName(QStringLiteral("USER4998"))), QStringLiteral("USER4998=\"LIVE\",\"TEST\""));
    d.clear();
    QVERIFY(!d.hasName(QStringLiteral("USER1")));
    QCOMPARE(d.count(), 0);
}

void TestAccounts::plainUserNames_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<bool>("plain");
    QTest::newRow("an account") << QStringLiteral("MARI") << true;
    QTest::newRow("digits and signs") << QStringLiteral("A1_$#") << true;
    QTest::newRow("thirty characters") << QString(30, QLatin1Char('A')) << true;
    QTest::newRow("thirty-one characters") << QString(31, QLatin1Char('A')) << false;
    QTest::newRow("empty") << QString() << false;
    QTest::newRow("lower case names another account") << QStringLiteral("mari") << false;
    QTest::newRow("a digit first") << QStringLiteral("1MARI") << false;
    QTest::newRow("an underscore first") << QStringLiteral("_MARI") << false;
    QTest::newRow("a blank") << QStringLiteral("MARI X") << false;
    QTest::newRow("a second statement") << QStringLiteral("X identified by y;drop user SYSTEM") << false;
    QTest::newRow("quoted") << QStringLiteral("\"MARI\"") << false;
    QTest::newRow("a line break") << QStringLiteral("MARI\ncascade") << false;
    QTest::newRow("a letter outside ASCII") << QStringLiteral("MÄRT") << false;
}

void TestAccounts::plainUserNames()
{
    QFETCH(QString, name);
    QFETCH(bool, plain);
    QCOMPARE(TFormCr::IsPlainUserName(name), plain);
}

void TestAccounts::theMainWindowShowsBothButtons()
{
    MainWindowFixture f;
    QToolButton *companies = Form1->SpeedButtonDB;
    QToolButton *accounts = Form1->SpeedButtonUSR;
    QVERIFY(companies->isVisible() && accounts->isVisible());
    QVERIFY(!companies->isEnabled() && !accounts->isEnabled());
    QCOMPARE(companies->accessibleName(), QStringLiteral("Configure companies"));
    QCOMPARE(accounts->accessibleName(), QStringLiteral("New user"));
    // From left to right: help, companies, accounts, connect, none covering another.
    const QList<QWidget *> row{Form1->SpeedButton2, companies, accounts, Form1->SpeedButton1};
    for (int i = 1; i < row.size(); ++i) {
        QVERIFY(row.at(i - 1)->geometry().right() < row.at(i)->geometry().left());
        QCOMPARE(row.at(i)->y(), row.at(0)->y());
    }
    QVERIFY(Form1->Panel3->rect().contains(Form1->SpeedButton1->geometry()));
    QCOMPARE(Form1->Panel3->childAt(accounts->geometry().center()), static_cast<QWidget *>(accounts));
    QCOMPARE(Form1->Panel3->childAt(companies->geometry().center()), static_cast<QWidget *>(companies));
    f.connectAs();
    QVERIFY(companies->isEnabled() && accounts->isEnabled());
    testsupport::screenshot(Form1->Panel3, QStringLiteral("main-window-top-row"));
    // The account window is modeless: the main window stays usable beside it.
    openAccountWindow(QStringLiteral("LIVE"));
    QVERIFY(!FormCreateUser->isModal());
    QVERIFY(!QApplication::activeModalWidget());
    QVERIFY(Form1->isEnabled());
    FormCreateUser->close();
    QVERIFY(!FormCreateUser->Database1->connected());
}

void TestAccounts::aUserWithAnAccount()
{
    MainWindowFixture f;
    f.connectAs();
    f.busyStatuses.clear();
    openAccountWindow(QStringLiteral("LIVE"));
    // The scan's steps in the status text, with the busy cursor; then the status from before.
    QCOMPARE(f.busyStatuses, (QStringList{QStringLiteral("Reading the users"),
                                          QStringLiteral("Looking for the users in LIVE (1 of 1)"), QStringLiteral("ok")}));
    QCOMPARE(Form1->StatusBar1->currentMessage(), QStringLiteral("ok"));
    QCOMPARE(FormCreateUser->windowTitle(), QStringLiteral("Create User"));
    QCOMPARE(FormCreateUser->BitBtn1->text(), QStringLiteral("Click here to manage personnel usernames"));
    QCOMPARE(FormCreateUser->Label1->text(), QStringLiteral("  All users:"));
    QCOMPARE(FormCreateUser->Label2->text(), QStringLiteral("  Available databases"));
    QCOMPARE(FormCreateUser->ExcludeBtn->text(), QStringLiteral(">"));
    QCOMPARE(FormCreateUser->ExcludeBtn->toolTip(), QStringLiteral("Drop user from selected database(s)"));
    QCOMPARE(FormCreateUser->IncludeBtn->text(), QStringLiteral("<"));
    QCOMPARE(FormCreateUser->IncludeBtn->toolTip(), QStringLiteral("Create user in selected database(s)"));
    QCOMPARE(FormCreateUser->IncludeBtn->accessibleName(), FormCreateUser->IncludeBtn->toolTip());
    QVERIFY(FormCreateUser->ExcludeBtn->y() < FormCreateUser->IncludeBtn->y());
    // Left to right: users, databases with an account, the move buttons, the others.
    const QList<QWidget *> columns{FormCreateUser->DBLookupListBox1, FormCreateUser->ListBox1,
                                   FormCreateUser->ExcludeBtn, FormCreateUser->ListBox2};
    for (int i = 1; i < columns.size(); ++i)
        QVERIFY(columns.at(i - 1)->geometry().right() < columns.at(i)->geometry().left());
    // The dealers without the role's admin option, sorted; the first one is shown.
    QCOMPARE(items(FormCreateUser->DBLookupListBox1), dealers);
    QCOMPARE(FormCreateUser->UserDbs.count(), dealers.size());
    QCOMPARE(FormCreateUser->DbServers.lines(), QStringList{QStringLiteral("LIVE=LIVE")});
    QCOMPARE(FormCreateUser->Label3->text(), QStringLiteral(" ANNE"));
    QCOMPARE(FormCreateUser->UserDbs.value(QStringLiteral("ANNE")), QStringLiteral("\"LIVE\""));
    QCOMPARE(items(FormCreateUser->ListBox1), QStringList{QStringLiteral("LIVE")});
    QVERIFY(items(FormCreateUser->ListBox2).isEmpty());
    QVERIFY(FormCreateUser->ExcludeBtn->isEnabled());
    QVERIFY(!FormCreateUser->IncludeBtn->isEnabled());
    QVERIFY(FormCreateUser->AskEach);
    // Connected to the database last scanned, as "system".
    QVERIFY(FormCreateUser->Database1->connected());
    QCOMPARE(FormCreateUser->Database1->params().value(QStringLiteral("USER NAME")), QStringLiteral("system"));
    QCOMPARE(Form1->passwords().value(QStringLiteral("SYSTEM")), QStringLiteral("manager"));
    // Keys move the selection and the lists follow.
    FormCreateUser->DBLookupListBox1->setFocus();
    QTest::keyClick(FormCreateUser->DBLookupListBox1, Qt::Key_Down);
    QCOMPARE(FormCreateUser->Label3->text(), QStringLiteral(" JAAN"));
    QCOMPARE(FormCreateUser->Query1->fieldByName(QStringLiteral("USER_NAME")).asString(), QStringLiteral("JAAN"));
    testsupport::screenshot(FormCreateUser, QStringLiteral("account-window"));
    QVERIFY(f.messages.entries().isEmpty());
}

void TestAccounts::aUserWithoutAnAccountAndItsCreation()
{
    MainWindowFixture f;
    openWithoutMari(f);
    QVERIFY(items(FormCreateUser->ListBox1).isEmpty());
    QCOMPARE(items(FormCreateUser->ListBox2), QStringList{QStringLiteral("TEST")});
    QVERIFY(!FormCreateUser->ExcludeBtn->isEnabled());
    QVERIFY(FormCreateUser->IncludeBtn->isEnabled());
    create({QStringLiteral("TEST")}, [] {
        QCOMPARE(FormCr->windowTitle(), QStringLiteral("FormCr"));
        QCOMPARE(FormCr->Panel1->text(), QStringLiteral("Creating user MARI in database TEST(TEST)"));
        QCOMPARE(FormCr->Memo1->toPlainText(), generatedStatements(QStringLiteral("MARI")));
        QVERIFY(!FormCr->Memo1->isReadOnly());
        QCOMPARE(FormCr->BitBtn3->text(), QStringLiteral("&OK to All"));
        QVERIFY(FormCr->BitBtn1->isDefault());
        QVERIFY(FormCr->minimumSize() == FormCr->maximumSize());
        testsupport::screenshot(FormCr, QStringLiteral("statement-runner"));
        FormCr->BitBtn1->click();
    });
    QVERIFY2(f.messages.entries().isEmpty(), qPrintable(f.messages.texts().join(QLatin1Char('|'))));
    // The new account logs in with the initial password and holds what the statements gave.
    auto mari = f.servers.connect(QStringLiteral("MARI"), QStringLiteral("kevaro"), QStringLiteral("TEST"));
    QVERIFY(mari->connected());
    QCOMPARE(rolesOf(f, QStringLiteral("TEST"), QStringLiteral("MARI")),
             (QStringList{QStringLiteral("CONNECT"), QStringLiteral("DEALER"), QStringLiteral("RESOURCE")}));
    for (const char *unit : {"GET_CUSTOMER_NAME", "ACCOUNT_BALANCE", "CURRENCY_RATES"})
        QVERIFY(testsupport::holdsExecute(f.servers, QStringLiteral("MARI"), QLatin1String(unit), QStringLiteral("TEST")));
    // The lists are rebuilt: the database has moved to the left, and the login is "system" again.
    QCOMPARE(FormCreateUser->Label3->text(), QStringLiteral(" MARI"));
    QCOMPARE(items(FormCreateUser->ListBox1), QStringList{QStringLiteral("TEST")});
    QVERIFY(items(FormCreateUser->ListBox2).isEmpty());
    QCOMPARE(FormCreateUser->Database1->params().value(QStringLiteral("USER NAME")), QStringLiteral("system"));
}

void TestAccounts::cancelRunsNothingAndDisconnects()
{
    MainWindowFixture f;
    openWithoutMari(f);
    FormCr->UserName = QStringLiteral("MARI");
    FormCr->DbName = QStringLiteral("TEST");
    FormCr->ServerName = QStringLiteral("TEST");
    core::ModalResult result = core::ModalResult::None;
    {
        testsupport::ModalDriver driver;
        driver.then([](QWidget *) {
            QVERIFY(FormCreateUser->Database1->connected());
            QTest::keyClick(FormCr->Memo1, Qt::Key_Escape);
        });
        result = FormCr->showModal();
    }
    QCOMPARE(result, core::ModalResult::Cancel);
    QVERIFY(!FormCreateUser->Database1->connected());
    QVERIFY(!accountExists(f, QStringLiteral("TEST"), QStringLiteral("MARI")));
    // Through the window: Cancel for the one database, and the lists are rebuilt.
    create({QStringLiteral("TEST")}, [] { FormCr->BitBtn2->click(); });
    QVERIFY(!accountExists(f, QStringLiteral("TEST"), QStringLiteral("MARI")));
    QCOMPARE(items(FormCreateUser->ListBox2), QStringList{QStringLiteral("TEST")});
    QVERIFY(f.messages.entries().isEmpty());
}

void TestAccounts::okToAllDoesTheOtherDatabasesUnseen()
{
    MainWindowFixture f;
    f.servers.addServer(QStringLiteral("THIRD"));
    asSystem(f, QStringLiteral("THIRD"), {QStringLiteral("drop user MARI cascade")});
    openWithoutMari(f);
    FormCreateUser->DbServers.append(QStringLiteral("THIRD=THIRD"));
    FormCreateUser->RefreshLists();
    QCOMPARE(items(FormCreateUser->ListBox2), (QStringList{QStringLiteral("TEST"), QStringLiteral("THIRD")}));
    // The first database's statements are edited; the second gets freshly generated ones.
    testsupport::ModalDriver driver;
    driver.then([](QWidget *) {
        QCOMPARE(FormCr->Panel1->text(), QStringLiteral("Creating user MARI in database TEST(TEST)"));
        FormCr->Memo1->setPlainText(QStringLiteral("create user MARI identified by kevaro\n \ngrant connect to MARI"));
        FormCr->BitBtn3->click();
    });
    select(FormCreateUser->ListBox2, {QStringLiteral("TEST"), QStringLiteral("THIRD")});
    FormCreateUser->IncludeBtn->click();
    QCOMPARE(driver.handled().size(), 1);
    QVERIFY(!FormCreateUser->AskEach);
    QVERIFY2(f.messages.entries().isEmpty(), qPrintable(f.messages.texts().join(QLatin1Char('|'))));
    QCOMPARE(rolesOf(f, QStringLiteral("TEST"), QStringLiteral("MARI")), QStringList{QStringLiteral("CONNECT")});
    QCOMPARE(rolesOf(f, QStringLiteral("THIRD"), QStringLiteral("MARI")),
             (QStringList{QStringLiteral("CONNECT"), QStringLiteral("DEALER"), QStringLiteral("RESOURCE")}));
    QVERIFY(testsupport::holdsExecute(f.servers, QStringLiteral("MARI"), QStringLiteral("CURRENCY_RATES"), QStringLiteral("THIRD")));
    QCOMPARE(items(FormCreateUser->ListBox1), (QStringList{QStringLiteral("TEST"), QStringLiteral("THIRD")}));
    // A silent run leaves the connection open, logged in as "system".
    QVERIFY(FormCreateUser->Database1->connected());
    QCOMPARE(FormCreateUser->Database1->params().value(QStringLiteral("USER NAME")), QStringLiteral("system"));
}

void TestAccounts::anAccountMadeMeanwhileIsReportedOnceAndGranted()
{
    MainWindowFixture f;
    openWithoutMari(f);
    // Another administrator creates the account after the window read the lists.
    asSystem(f, QStringLiteral("TEST"),
             {QStringLiteral("create user MARI identified by other"), QStringLiteral("grant connect to MARI")});
    create({QStringLiteral("TEST")}, [] { FormCr->BitBtn1->click(); });
    QCOMPARE(f.messages.texts(),
             QStringList{failed + QStringLiteral("create user MARI identified by ********\ndefault tablespace users\n"
                                                 "temporary tablespace temp\n")});
    QCOMPARE(f.messages.entries().first().kind, MessageKind::Plain);
    QCOMPARE(rolesOf(f, QStringLiteral("TEST"), QStringLiteral("MARI")),
             (QStringList{QStringLiteral("CONNECT"), QStringLiteral("DEALER"), QStringLiteral("RESOURCE")}));
    QVERIFY(testsupport::holdsExecute(f.servers, QStringLiteral("MARI"), QStringLiteral("ACCOUNT_BALANCE"), QStringLiteral("TEST")));
    // Its password stays the other administrator's.
    QVERIFY(f.servers.connect(QStringLiteral("MARI"), QStringLiteral("other"), QStringLiteral("TEST"))->connected());
}

void TestAccounts::grantStatementsRunAsTheOwner()
{
    // The owner may not hand out DEALER2 or create roles; "system" may: what a statement
    // could do shows under which login it ran.
    MainWindowFixture f;
    openWithoutMari(f);
    create({QStringLiteral("TEST")}, [] {
        FormCr->Memo1->setPlainText(QStringLiteral("create user MARI identified by kevaro\n"
                                                   " \n"
                                                   "GRANT dealer2,\n"
                                                   "  resource to MARI\n"
                                                   " \n"
                                                   " \n"
                                                   "grant dealer2 to AUDITOR\n"
                                                   " \n"
                                                   "grant dealer2 to KATRIN\n"
                                                   "\t\n"
                                                   "create role AUDITORS\n"
                                                   "  \n"
                                                   "  \n"
                                                   "  \n"
                                                   "grant connect to MARI"));
        FormCr->BitBtn1->click();
    });
    // Upper-case "GRANT" ran as "system", which had just created the account, as one
    // statement over two lines. After two blank lines the next statement began with the
    // second one, so it did not count as a grant and ran as "system" too. The lower-case
    // grant switched to the owner and failed, and the statement after it ran as the owner
    // as well. Blank lines alone ran as nothing; the last grant ran as the owner.
    QCOMPARE(f.messages.texts(), (QStringList{failed + QStringLiteral("grant dealer2 to KATRIN\n"),
                                              failed + QStringLiteral("create role AUDITORS\n")}));
    QCOMPARE(rolesOf(f, QStringLiteral("TEST"), QStringLiteral("MARI")),
             (QStringList{QStringLiteral("CONNECT"), QStringLiteral("DEALER2"), QStringLiteral("RESOURCE")}));
    QCOMPARE(rolesOf(f, QStringLiteral("TEST"), QStringLiteral("AUDITOR")),
             (QStringList{QStringLiteral("CONNECT"), QStringLiteral("DEALER2")}));
    QCOMPARE(rolesOf(f, QStringLiteral("TEST"), QStringLiteral("KATRIN")),
             (QStringList{QStringLiteral("CONNECT"), QStringLiteral("DEALER")}));
    QCOMPARE(FormCreateUser->Database1->params().value(QStringLiteral("USER NAME")), QStringLiteral("system"));
}

void TestAccounts::anEmptyListOfProgramUnits()
{
    MainWindowFixture f;
    run(f, QStringLiteral("TEST"), QStringLiteral("vortalix"), QStringLiteral("lumivar"),
        {QStringLiteral("delete from func_grants")});
    openWithoutMari(f);
    create({QStringLiteral("TEST")}, [] {
        QCOMPARE(FormCr->Memo1->toPlainText(),
                 QStringLiteral("create user MARI identified by kevaro\ndefault tablespace users\ntemporary tablespace temp\n"
                                " \ngrant resource, connect, dealer to MARI\n "));
        FormCr->BitBtn1->click();
    });
    QVERIFY(f.messages.entries().isEmpty());
    QCOMPARE(rolesOf(f, QStringLiteral("TEST"), QStringLiteral("MARI")),
             (QStringList{QStringLiteral("CONNECT"), QStringLiteral("DEALER"), QStringLiteral("RESOURCE")}));
    QVERIFY(!testsupport::holdsExecute(f.servers, QStringLiteral("MARI"), QStringLiteral("GET_CUSTOMER_NAME"), QStringLiteral("TEST")));
}

void TestAccounts::dropConfirmedAndRefused()
{
    MainWindowFixture f;
    f.connectAs();
    openAccountWindow(QStringLiteral("TEST"));
    chooseUser(QStringLiteral("ANNE"));
    select(FormCreateUser->ListBox1, {QStringLiteral("TEST")});
    f.messages.answer({false});
    FormCreateUser->ExcludeBtn->click();
    QCOMPARE(f.messages.texts(MessageKind::Question), QStringList{QStringLiteral("Drop ANNE from TEST(TEST)")});
    QVERIFY(!f.messages.entries().last().yesByDefault); // Enter drops nothing
    QVERIFY(accountExists(f, QStringLiteral("TEST"), QStringLiteral("ANNE")));
    QCOMPARE(items(FormCreateUser->ListBox1), QStringList{QStringLiteral("TEST")});
    f.messages.clear();
    select(FormCreateUser->ListBox1, {QStringLiteral("TEST")});
    f.messages.answer({true});
    FormCreateUser->ExcludeBtn->click();
    QCOMPARE(f.messages.texts(), QStringList{QStringLiteral("Drop ANNE from TEST(TEST)")});
    QVERIFY(!accountExists(f, QStringLiteral("TEST"), QStringLiteral("ANNE")));
    // Still a user of the central server, now without an account in TEST.
    QCOMPARE(FormCreateUser->Label3->text(), QStringLiteral(" ANNE"));
    QVERIFY(items(FormCreateUser->ListBox1).isEmpty());
    QCOMPARE(items(FormCreateUser->ListBox2), QStringList{QStringLiteral("TEST")});
    QVERIFY(accountExists(f, QStringLiteral("LIVE"), QStringLiteral("ANNE")));
}

void TestAccounts::aDropOfAnAccountAlreadyGone()
{
    MainWindowFixture f;
    f.connectAs();
    openAccountWindow(QStringLiteral("TEST"));
    chooseUser(QStringLiteral("JAAN"));
    asSystem(f, QStringLiteral("TEST"), {QStringLiteral("drop user JAAN cascade")});
    select(FormCreateUser->ListBox1, {QStringLiteral("TEST")});
    FormCreateUser->ExcludeBtn->click();
    QCOMPARE(f.messages.texts(), (QStringList{QStringLiteral("Drop JAAN from TEST(TEST)"),
                                              failed + QStringLiteral("drop user JAAN cascade\n")}));
    QCOMPARE(items(FormCreateUser->ListBox2), QStringList{QStringLiteral("TEST")});
}

void TestAccounts::wrongPasswordAnsweredNoAndYes()
{
    MainWindowFixture f;
    f.connectAs();
    LoginForm->ConnComboBox->setEditText(QStringLiteral("LIVE"));
    {
        // A wrong password and No: the window shows, with nothing loaded.
        testsupport::ModalDriver driver;
        driver.then([](QWidget *) {
            QCOMPARE(LoginForm->Label4->text(), QStringLiteral("Provide password for system"));
            LoginForm->PasswdEdit->setText(QStringLiteral("wrong"));
            LoginForm->BitBtn1->click();
        });
        f.messages.answer({false});
        Form1->SpeedButtonUSR->click();
    }
    QCOMPARE(f.messages.texts(), QStringList{QStringLiteral("Wrong password! Try again?")});
    QCOMPARE(f.messages.entries().first().kind, MessageKind::Question);
    QVERIFY(FormCreateUser->isVisible());
    QCOMPARE(FormCreateUser->DBLookupListBox1->count(), 0);
    QVERIFY(FormCreateUser->DbServers.isEmpty());
    QVERIFY(FormCreateUser->ListBox2->count() == 0);
    QVERIFY(!FormCreateUser->Database1->connected());
    FormCreateUser->close();
    // The next showing tries the cached password first; Yes asks again.
    f.messages.clear();
    {
        testsupport::ModalDriver driver;
        driver.then([](QWidget *) {
            LoginForm->PasswdEdit->setText(QStringLiteral("manager"));
            LoginForm->BitBtn1->click();
        });
        f.messages.answer({true});
        Form1->SpeedButtonUSR->click();
    }
    QCOMPARE(f.messages.texts(), QStringList{QStringLiteral("Wrong password! Try again?")});
    QCOMPARE(items(FormCreateUser->DBLookupListBox1), dealers);
    // A No once loaded keeps what the window shows, and AskEach with it; the user list
    // is empty, its query having been closed with the window.
    chooseUser(QStringLiteral("KATRIN"));
    FormCreateUser->AskEach = false;
    FormCreateUser->close();
    asSystem(f, QStringLiteral("LIVE"), {QStringLiteral("alter user system identified by changed")});
    f.messages.clear();
    f.messages.answer({false});
    Form1->SpeedButtonUSR->click();
    QCOMPARE(f.messages.texts(), QStringList{QStringLiteral("Wrong password! Try again?")});
    QVERIFY(FormCreateUser->isVisible());
    QCOMPARE(FormCreateUser->Label3->text(), QStringLiteral(" KATRIN"));
    QCOMPARE(items(FormCreateUser->ListBox1), QStringList{QStringLiteral("LIVE")});
    QCOMPARE(FormCreateUser->UserDbs.count(), dealers.size());
    QVERIFY(!FormCreateUser->AskEach);
}

void TestAccounts::aScanStopsAtAnUnreachableServer()
{
    MainWindowFixture f;
    f.connectAs();
    openAccountWindow(QStringLiteral("LIVE"));
    // A database that cannot be reached, scanned before one that can.
    FormCreateUser->DbServers.clear();
    FormCreateUser->DbServers.append(QStringLiteral("GONE=NOWHERE"));
    FormCreateUser->DbServers.append(QStringLiteral("LIVE=LIVE"));
    FormCreateUser->RefreshLists();
    QCOMPARE(f.messages.texts(MessageKind::Plain),
             (QStringList{QStringLiteral("Could not connect to GONE (NOWHERE) !?!"),
                          QStringLiteral("Database GONE is not available any more...\rExit and try again later ...")}));
    // Neither the failed database nor the later one was scanned: nobody has an account there.
    QCOMPARE(FormCreateUser->Label3->text(), QStringLiteral(" ANNE"));
    QVERIFY(items(FormCreateUser->ListBox1).isEmpty());
    QCOMPARE(items(FormCreateUser->ListBox2), (QStringList{QStringLiteral("GONE"), QStringLiteral("LIVE")}));
    QVERIFY(FormCreateUser->UserDbs.value(QStringLiteral("ANNE")).isEmpty());
    QVERIFY(!FormCreateUser->Database1->connected());
}

void TestAccounts::aWindowThatCannotBeFilledKeepsNoSession()
{
    MainWindowFixture f;
    f.connectAs();
    openAccountWindow(QStringLiteral("LIVE"));
    FormCreateUser->hide();
    // The accounts of a database cannot be read: the window does not appear, and the
    // session it had opened as system for the scan is closed again.
    FormCreateUser->Query3->setSql({QStringLiteral("select username from no_such_view")});
    f.messages.clear();
    controls::guard([] { FormCreateUser->showModeless(); });
    QCOMPARE(f.messages.texts(MessageKind::Error).size(), 1);
    QVERIFY(!FormCreateUser->isVisible());
    QVERIFY(!FormCreateUser->Database1->connected());
    QVERIFY(!FormCreateUser->Query1->active());
}

void TestAccounts::disconnectEndsTheAccountSession()
{
    MainWindowFixture f;
    f.connectAs(QStringLiteral("manager"), QStringLiteral("system"));
    Form1->SpeedButtonUSR->click(); // system's password is known from the login
    QVERIFY(FormCreateUser->isVisible());
    QVERIFY(FormCreateUser->Database1->connected());
    Form1->SpeedButton1->click(); // Disconnect
    QVERIFY(!FormCreateUser->isVisible());
    QVERIFY(!FormCreateUser->Database1->connected());
    // Another login does not inherit the passwords told under the one before.
    f.connectAs();
    f.messages.answer({false}); // "Wrong password! Try again?" after the prompt is cancelled
    testsupport::ModalDriver driver;
    QString asked;
    driver.then([&](QWidget *) {
        asked = LoginForm->Label4->text();
        LoginForm->BitBtn2->click();
    });
    Form1->SpeedButtonUSR->click();
    QCOMPARE(asked, QStringLiteral("Provide password for system"));
    QVERIFY(!FormCreateUser->Database1->connected());
}

void TestAccounts::refusedUserNamesReachNoStatement()
{
    MainWindowFixture f;
    f.connectAs();
    openAccountWindow(QStringLiteral("TEST"));
    const QString injected = QStringLiteral("MARI cascade\n \ndrop user VORTALIX");
    FormCreateUser->Database1->close();
    FormCr->Query1->setSql({});
    {
        testsupport::ModalDriver driver; // no dialog may appear
        FormCreateUser->CreateUserIn(injected, QStringLiteral("TEST"), QStringLiteral("TEST"));
        FormCreateUser->AskEach = false;
        FormCreateUser->CreateUserIn(QStringLiteral("mari"), QStringLiteral("TEST"), QStringLiteral("TEST"));
        f.messages.answer({true});
        FormCreateUser->DropUserFrom(injected, QStringLiteral("TEST"), QStringLiteral("TEST"));
        FormCr->UserName = QString(31, QLatin1Char('M'));
        FormCr->PrepareAndRun();
    }
    const QStringList texts = f.messages.texts();
    QCOMPARE(texts.size(), 4);
    for (const testsupport::MessageLog::Entry &e : f.messages.entries()) {
        QVERIFY2(e.text.contains(QLatin1String("cannot be used in an account statement")), qPrintable(e.text));
        QCOMPARE(e.kind, MessageKind::Plain);
    }
    QVERIFY(texts.at(1).startsWith(QLatin1String("The user name \"mari\"")));
    QVERIFY(f.messages.texts(MessageKind::Question).isEmpty()); // refused before the confirmation
    QVERIFY(!FormCreateUser->Database1->connected());
    QVERIFY(FormCr->Query1->sql().isEmpty());
    QVERIFY(accountExists(f, QStringLiteral("TEST"), QStringLiteral("VORTALIX")));
    QVERIFY(accountExists(f, QStringLiteral("TEST"), QStringLiteral("MARI")));
}

void TestAccounts::aRefusedNameIsRefusedOnceForAllDatabases()
{
    MainWindowFixture f;
    f.servers.addServer(QStringLiteral("THIRD"));
    const QString create = QStringLiteral("create user \"Olev\" identified by kevaro");
    asSystem(f, QStringLiteral("LIVE"), {create, QStringLiteral("grant dealer to \"Olev\"")});
    f.connectAs();
    openAccountWindow(QStringLiteral("TEST"));
    FormCreateUser->DbServers.append(QStringLiteral("THIRD=THIRD"));
    FormCreateUser->RefreshLists();
    chooseUser(QStringLiteral("Olev"));
    auto refusedOnce = [&](QPushButton *button, QListWidget *list) {
        testsupport::ModalDriver driver; // no dialog may appear
        select(list, {QStringLiteral("TEST"), QStringLiteral("THIRD")});
        button->click();
        QCOMPARE(f.messages.texts().size(), 1);
        QVERIFY(f.messages.texts().first().startsWith(QLatin1String("The user name \"Olev\" cannot be used")));
        f.messages.clear();
    };
    refusedOnce(FormCreateUser->IncludeBtn, FormCreateUser->ListBox2);
    asSystem(f, QStringLiteral("TEST"), {create});
    asSystem(f, QStringLiteral("THIRD"), {create});
    FormCreateUser->RefreshLists();
    QCOMPARE(items(FormCreateUser->ListBox1), (QStringList{QStringLiteral("TEST"), QStringLiteral("THIRD")}));
    refusedOnce(FormCreateUser->ExcludeBtn, FormCreateUser->ListBox1); // asked nothing
    QVERIFY(accountExists(f, QStringLiteral("THIRD"), QStringLiteral("Olev")));
}

void TestAccounts::aFailedOwnerLoginLeavesTheWindowAsSystem()
{
    // On THIRD the owner's password is no longer the one the program holds.
    MainWindowFixture f;
    f.servers.addServer(QStringLiteral("THIRD"));
    asSystem(f, QStringLiteral("THIRD"), {QStringLiteral("drop user MARI cascade"), QStringLiteral("drop user JAAN cascade"),
                                          QStringLiteral("alter user vortalix identified by changed")});
    openWithoutMari(f);
    FormCreateUser->DbServers.append(QStringLiteral("THIRD=THIRD"));
    FormCreateUser->RefreshLists();
    // The failed login is reported once; the account made before it is listed, without
    // its grants, and the connection is back as "system".
    auto stoppedAtTheGrants = [&](const QString &user) {
        QCOMPARE(f.messages.entries().size(), 1);
        QCOMPARE(f.messages.entries().first().kind, MessageKind::Error);
        f.messages.clear();
        QVERIFY(FormCreateUser->Database1->connected());
        QCOMPARE(FormCreateUser->Database1->params().value(QStringLiteral("USER NAME")), QStringLiteral("system"));
        QCOMPARE(FormCreateUser->Label3->text(), QLatin1Char(' ') + user);
        QCOMPARE(items(FormCreateUser->ListBox1), (QStringList{QStringLiteral("TEST"), QStringLiteral("THIRD")}));
        QVERIFY(rolesOf(f, QStringLiteral("THIRD"), user).isEmpty());
    };
    // Unseen, after OK to All on TEST.
    create({QStringLiteral("TEST"), QStringLiteral("THIRD")}, [] { FormCr->BitBtn3->click(); });
    stoppedAtTheGrants(QStringLiteral("MARI"));
    QCOMPARE(rolesOf(f, QStringLiteral("TEST"), QStringLiteral("MARI")),
             (QStringList{QStringLiteral("CONNECT"), QStringLiteral("DEALER"), QStringLiteral("RESOURCE")}));
    // Through the dialog's OK.
    chooseUser(QStringLiteral("JAAN"));
    create({QStringLiteral("THIRD")}, [] { FormCr->BitBtn1->click(); });
    stoppedAtTheGrants(QStringLiteral("JAAN"));
}

void TestAccounts::passwordsInShownStatements_data()
{
    QTest::addColumn<QString>("statement");
    QTest::addColumn<QString>("shown");
    QTest::newRow("word") << QStringLiteral("create user MARI identified by kevaro\ndefault tablespace users\n")
                          << QStringLiteral("create user MARI identified by ********\ndefault tablespace users\n");
    QTest::newRow("quoted, over lines") << QStringLiteral("alter user MARI\nIDENTIFIED\n  By \"se cret\";")
                                        << QStringLiteral("alter user MARI\nIDENTIFIED\n  By ********;");
    QTest::newRow("old one too") << QStringLiteral("alter user MARI identified by new1 Replace old1")
                                 << QStringLiteral("alter user MARI identified by ******** Replace ********");
    QTest::newRow("quote left open") << QStringLiteral("create user MARI identified by \"se cret\ngrant x to MARI")
                                     << QStringLiteral("create user MARI identified by ********");
    QTest::newRow("two") << QStringLiteral("create user A identified by a1 create user B identified by b1")
                         << QStringLiteral("create user A identified by ******** create user B identified by ********");
    QTest::newRow("none") << QStringLiteral("create user MARI identified externally\ngrant connect to MARI")
                          << QStringLiteral("create user MARI identified externally\ngrant connect to MARI");
}

void TestAccounts::passwordsInShownStatements()
{
    QFETCH(QString, statement);
    QFETCH(QString, shown);
    QCOMPARE(db::withPasswordsHidden(statement), shown);
}

void TestAccounts::aProgramUnitNameThatIsNotPlain()
{
    MainWindowFixture f;
    run(f, QStringLiteral("TEST"), QStringLiteral("vortalix"), QStringLiteral("lumivar"),
        {QStringLiteral("insert into func_grants (func_name) values ('X to PUBLIC')")});
    openWithoutMari(f);
    {
        testsupport::ModalDriver driver; // the dialog closes before it appears
        select(FormCreateUser->ListBox2, {QStringLiteral("TEST")});
        FormCreateUser->IncludeBtn->click();
    }
    QCOMPARE(f.messages.texts().size(), 1);
    QVERIFY2(f.messages.texts().first().startsWith(QLatin1String("The program unit name \"X to PUBLIC\"")),
             qPrintable(f.messages.texts().first()));
    QVERIFY(!accountExists(f, QStringLiteral("TEST"), QStringLiteral("MARI")));
    QCOMPARE(FormCr->modalResult(), core::ModalResult::Cancel);
}

void TestAccounts::theWindowKeepsItsWidth()
{
    MainWindowFixture f;
    f.connectAs();
    openAccountWindow(QStringLiteral("LIVE"));
    FormCreateUser->resize(600, 200);
    QCOMPARE(FormCreateUser->size(), QSize(402, 280));
    testsupport::screenshot(FormCreateUser, QStringLiteral("account-window-smallest"));
    FormCreateUser->resize(300, 500);
    QCOMPARE(FormCreateUser->size(), QSize(402, 500));
    // Every list and button still lies inside the window.
    for (QWidget *w : QList<QWidget *>{FormCreateUser->BitBtn1, FormCreateUser->DBLookupListBox1, FormCreateUser->ListBox1,
                                       FormCreateUser->ExcludeBtn, FormCreateUser->IncludeBtn, FormCreateUser->ListBox2})
        QVERIFY(FormCreateUser->rect().contains(w->geometry()));
}

void TestAccounts::pressingAMoveButtonWithNothingChosen()
{
    MainWindowFixture f;
    openWithoutMari(f);
    // Another administrator adds a dealer; a press that does nothing does not reload.
    asSystem(f, QStringLiteral("LIVE"), {QStringLiteral("create user NEWBIE identified by kevaro"),
                                         QStringLiteral("grant dealer to NEWBIE")});
    FormCreateUser->ListBox2->clearSelection();
    FormCreateUser->IncludeBtn->click();
    QCOMPARE(items(FormCreateUser->DBLookupListBox1), dealers);
    // Nor does the personnel window closed without a save; one that saved does.
    {
        testsupport::ModalDriver driver;
        driver.then([](QWidget *dialog) {
            QCOMPARE(dialog, static_cast<QWidget *>(FormNewusers));
            FormNewusers->BitBtn1->click();
        });
        FormCreateUser->BitBtn1->click();
    }
    QCOMPARE(items(FormCreateUser->DBLookupListBox1), dealers);
    {
        testsupport::ModalDriver driver;
        driver.then([](QWidget *) {
            FormNewusers->DBEdit1->setFocus();
            QTest::keyClicks(FormNewusers->DBEdit1, QStringLiteral("x"));
            FormNewusers->BitBtn1->click();
        });
        FormCreateUser->BitBtn1->click();
    }
    QVERIFY(items(FormCreateUser->DBLookupListBox1).contains(QStringLiteral("NEWBIE")));
    QCOMPARE(FormCreateUser->Label3->text(), QStringLiteral(" MARI"));
}

void TestAccounts::assistiveToolsAndTheKeyboardReachEveryChoice()
{
    MainWindowFixture f;
    openWithoutMari(f);
    // A screen reader selects a user: that user is shown, and is the one acted on.
    QAccessibleInterface *users = QAccessible::queryAccessibleInterface(FormCreateUser->DBLookupListBox1);
    QVERIFY(users && users->tableInterface());
    QVERIFY(users->tableInterface()->selectRow(int(dealers.indexOf(QStringLiteral("KATRIN")))));
    QCOMPARE(FormCreateUser->Label3->text(), QStringLiteral(" KATRIN"));
    QCOMPARE(FormCreateUser->SelectedUser(), QStringLiteral("KATRIN"));
    QCOMPARE(items(FormCreateUser->ListBox1), QStringList{QStringLiteral("TEST")});
    users->tableInterface()->selectRow(int(dealers.indexOf(QStringLiteral("MARI"))));
    QCOMPARE(FormCreateUser->SelectedUser(), QStringLiteral("MARI"));

    // In the runner Tab leaves the statements for the buttons, typing no tab into them,
    // and Enter there is OK.
    create({QStringLiteral("TEST")}, [] {
        QTRY_COMPARE(QApplication::focusWidget(), static_cast<QWidget *>(FormCr->Memo1));
        const QString statements = FormCr->Memo1->toPlainText();
        QTest::keyClick(FormCr->Memo1, Qt::Key_Tab);
        QCOMPARE(QApplication::focusWidget(), static_cast<QWidget *>(FormCr->BitBtn1));
        QCOMPARE(FormCr->Memo1->toPlainText(), statements);
        QTest::keyClick(FormCr->BitBtn1, Qt::Key_Return);
    });
    QVERIFY(!FormCr->isVisible());
    QVERIFY(accountExists(f, QStringLiteral("TEST"), QStringLiteral("MARI")));
    QVERIFY(f.messages.entries().isEmpty());
}

QTEST_MAIN(TestAccounts)
#include "tst_accounts.moc"
