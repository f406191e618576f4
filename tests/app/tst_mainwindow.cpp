#include "MainWindowFixture.h"

#include "data/Connections.h"
#include "platform/db/DbError.h"

#include <QAbstractItemView>
#include <QAccessible>
#include <QWheelEvent>
#include <QFocusFrame>

using controls::MessageKind;

namespace {

// The central connection's parameter lines as the system states them before any login.
const QStringList oracleAtStart{
    QStringLiteral("SERVER NAME=LIVE"),        QStringLiteral("USER NAME=vortalix"),
    QStringLiteral("NET PROTOCOL=TCP/IP"),     QStringLiteral("OPEN MODE=READ/WRITE"),
    QStringLiteral("SCHEMA CACHE SIZE=8"),     QStringLiteral("LANGDRIVER=DBWINWE0"),
    QStringLiteral("SQLQRYMODE=SERVER"),       QStringLiteral("SQLPASSTHRU MODE=SHARED AUTOCOMMIT"),
    QStringLiteral("SCHEMA CACHE TIME=-1"),    QStringLiteral("MAX ROWS=-1"),
    QStringLiteral("BATCH COUNT=200"),         QStringLiteral("ENABLE SCHEMA CACHE=FALSE"),
    QStringLiteral("SCHEMA CACHE DIR="),       QStringLiteral("ENABLE BCD=FALSE"),
    QStringLiteral("ENABLE INTEGERS=FALSE"),   QStringLiteral("LIST SYNONYMS=NONE"),
    QStringLiteral("ROWSET SIZE=20"),          QStringLiteral("BLOBS TO CACHE=64"),
    QStringLiteral("BLOB SIZE=32"),            QStringLiteral("PASSWORD=lumivar"),
};

QList<QWidget *> connectedButtons()
{
    return {Form1->SpeedButton3, Form1->SpeedButtonFilter, Form1->BitBtn1, Form1->BitBtn2,
            Form1->SpeedButtonDB, Form1->SpeedButtonUSR};
}

bool allEnabled(bool enabled)
{
    for (QWidget *b : connectedButtons()) {
        if (b->isEnabled() != enabled)
            return false;
    }
    return true;
}

} // namespace

class TestMainWindow : public QObject {
    Q_OBJECT
private slots:
    void aFreshStart();
    void connectingWithTheDemoLogin();
    void aWrongPasswordIsAnInvalidLogin();
    void anEmptyPasswordRemovesThePasswordLines();
    void aCancelledLoginChangesNothing();
    void disconnectingAndConnectingAgain();
    void movingInTheRegisterRefreshesTheUsers();
    void choosingACompany();
    void closingTheCompanyListWithoutAChoice();
    void choosingACompanyByWheelOrKeys();
    void assistiveToolsNameEveryControl();
    void findUsersOnAnUnreachableServer();
    void loginAsUsesTheCache();
    void loginAsWithACancelledPrompt();
    void loginAsOnAConnectedComponent();
    void theWindowKeepsItsSmallestSize();
    void theLongEditsFollowTheLeftArea();
};

void TestMainWindow::aFreshStart()
{
    MainWindowFixture f;
    QCOMPARE(Form1->windowTitle(), QStringLiteral("Banking system user manager for "));
    QCOMPARE(Form1->StatusBar1->currentMessage(), QStringLiteral("Welcome!"));
    QCOMPARE(Form1->SpeedButton1->text(), QStringLiteral("Connect"));
    QVERIFY(allEnabled(false));
    QVERIFY(Form1->SpeedButton2->isEnabled());
    QVERIFY(Form1->DBImage1->isEnabled());
    QVERIFY(Form1->SpeedButtonDB->isVisible());
    QVERIFY(Form1->SpeedButtonUSR->isVisible());
    QCOMPARE(Form1->size(), QSize(600, 516));
    QCOMPARE(Form1->Panel2->width(), 219);
    QCOMPARE(Form1->SpeedButton2->toolTip(), QStringLiteral("Help"));
    QCOMPARE(Form1->SpeedButtonDB->toolTip(), QStringLiteral("Configure companies"));
    QCOMPARE(Form1->SpeedButtonUSR->toolTip(), QStringLiteral("New user"));
    QCOMPARE(Form1->SpeedButton3->toolTip(), QStringLiteral("Otsing"));
    QCOMPARE(Form1->SpeedButtonFilter->toolTip(), QStringLiteral("Define Filter"));
    QCOMPARE(Form1->GroupBox1->title(), QStringLiteral("Company "));
    for (QPushButton *b : {Form1->BitBtn1, Form1->BitBtn2}) {
        QVERIFY(b->font().bold());
        QVERIFY(QFontInfo(b->font()).fixedPitch());
    }
    QCOMPARE(Form1->BitBtn1->text(), QStringLiteral("P"));
    QCOMPARE(Form1->BitBtn2->text(), QStringLiteral("U"));
    QVERIFY(Form1->DBEdit1->text().isEmpty());
    // The three connection components start with their twenty lines.
    QCOMPARE(Form1->Database1->params().lines(), oracleAtStart);
    QCOMPARE(Form1->Database1->params().count(), 20);
    QCOMPARE(Form1->Database2->params().value(QStringLiteral("SERVER NAME")), QStringLiteral("TEST"));
    QCOMPARE(Form1->Database2->params().lines().last(), QStringLiteral("PASSWORD="));
    testsupport::screenshot(Form1, QStringLiteral("main-window-fresh"));
}

void TestMainWindow::connectingWithTheDemoLogin()
{
    MainWindowFixture f;
    f.connectAs();
    QCOMPARE(Form1->windowTitle(), QStringLiteral("users: Connected to LIVE as vortalix"));
    QCOMPARE(Form1->StatusBar1->currentMessage(), QStringLiteral("ok"));
    QCOMPARE(f.statuses.mid(f.statuses.indexOf(QStringLiteral("Connecting"))),
             (QStringList{QStringLiteral("Connecting"), QStringLiteral("DB login ok, connected"),
                          QStringLiteral("userprogTable active"), QStringLiteral("QueryDB-s active"),
                          QStringLiteral("Query users active"), QStringLiteral("Fillcombo complete"),
                          QStringLiteral("quering DB users"), QStringLiteral(" "), QStringLiteral("Find users complete"),
                          QStringLiteral("ok")}));
    QCOMPARE(Form1->SpeedButton1->text(), QStringLiteral("Disconnect"));
    QVERIFY(allEnabled(true));
    // Company 1, its users of the first program, and the company's name in the header.
    QCOMPARE(Form1->DBLookupComboBox1->text(), QStringLiteral("VORTA"));
    QCOMPARE(Form1->DBLookupComboBox1->keyValue().toInt(), 1);
    QCOMPARE(Form1->QueryDBs->fieldByName(QStringLiteral("db_name")).asString(), QStringLiteral("VORTA"));
    QCOMPARE(Form1->DBText1->text(), QStringLiteral("VORTA (1)"));
    QCOMPARE(Form1->userprogTablePROG_ID->asFloat(), 1.0);
    QCOMPARE(Form1->DBEdit1->text(), QStringLiteral("Loan application"));
    QCOMPARE(MainWindowFixture::gridUsers(), (QStringList{QStringLiteral("JAAN"), QStringLiteral("KATRIN"),
                                                          QStringLiteral("MARI"), QStringLiteral("OLDUSER")}));
    QCOMPARE(Form1->DBGrid1->titles(), QStringList{QStringLiteral("USERNAME")});
    QCOMPARE(Form1->QueryUsers->filter(), QStringLiteral("database_id=1"));
    // The companies in the text order of their numbers.
    QCOMPARE(Form1->DBLookupComboBox1->count(), 3);
    QCOMPARE(Form1->DBLookupComboBox1->itemText(1), QStringLiteral("FONDID"));
    QCOMPARE(Form1->serverUsers().count(), 14);
    QVERIFY(Form1->serverUsers().contains(QStringLiteral("mari")));
    QCOMPARE(Form1->passwords().value(QStringLiteral("vortalix")), QStringLiteral("lumivar"));
    QVERIFY(!Form1->Database2->connected());
    QVERIFY(f.messages.entries().isEmpty());
    testsupport::screenshot(Form1, QStringLiteral("main-window-connected"));
}

void TestMainWindow::aWrongPasswordIsAnInvalidLogin()
{
    MainWindowFixture f;
    f.connectAs(QStringLiteral("wrong"));
    QCOMPARE(f.messages.texts(MessageKind::Information), QStringList{QStringLiteral("Invalid login")});
    QCOMPARE(f.messages.entries().size(), 1);
    // Under it the server's reason, which names no password.
    const QString reason = f.messages.entries().first().detail;
    QVERIFY2(testsupport::isServerError(reason, QStringLiteral("ORA-01017"), QStringLiteral("password authentication failed"))
                 && !reason.contains(QLatin1String("wrong")), qPrintable(reason));
    QCOMPARE(Form1->windowTitle(), QStringLiteral("users: Disconnected"));
    QCOMPARE(Form1->StatusBar1->currentMessage(), QStringLiteral("Connecting"));
    QCOMPARE(Form1->SpeedButton1->text(), QStringLiteral("Connect"));
    QVERIFY(allEnabled(false));
    QVERIFY(!Form1->Database1->connected());
    QVERIFY(!Form1->passwords().hasName(QStringLiteral("vortalix")));
    // An unknown server fails the same way and creates nothing.
    f.messages.clear();
    f.connectAs(QStringLiteral("lumivar"), QStringLiteral("vortalix"), QStringLiteral("NOSUCH"));
    QCOMPARE(f.messages.texts(), QStringList{QStringLiteral("Invalid login")});
    QVERIFY(f.messages.entries().first().detail.contains(QLatin1String("Server 'NOSUCH' is not known")));
    QVERIFY(!QDir(f.servers.serverFolder(QStringLiteral("NOSUCH"))).exists());
    // So does a server that is down.
    f.messages.clear();
    f.servers.writeServersFile(QStringLiteral("[DOWN]\ndriver=QPSQL\nhost=127.0.0.1\nport=1\ndatabase=vortalix\n"));
    f.connectAs(QStringLiteral("lumivar"), QStringLiteral("vortalix"), QStringLiteral("DOWN"));
    QVERIFY2(f.messages.entries().first().detail.contains(QLatin1String("Connection refused")), qPrintable(f.messages.entries().first().detail));
}

void TestMainWindow::anEmptyPasswordRemovesThePasswordLines()
{
    MainWindowFixture f;
    f.connectAs(QString());
    QCOMPARE(f.messages.texts(), QStringList{QStringLiteral("Invalid login")});
    QVERIFY(!Form1->Database1->params().hasName(QStringLiteral("PASSWORD")));
    QVERIFY(!Form1->Database2->params().hasName(QStringLiteral("PASSWORD")));
    QCOMPARE(Form1->Database1->params().count(), 19);
}

void TestMainWindow::aCancelledLoginChangesNothing()
{
    MainWindowFixture f;
    f.connectAs(QStringLiteral("lumivar"), QStringLiteral("vortalix"), QStringLiteral("LIVE"), false);
    QCOMPARE(Form1->StatusBar1->currentMessage(), QStringLiteral("ok"));
    QCOMPARE(Form1->windowTitle(), QStringLiteral("Banking system user manager for "));
    QVERIFY(!Form1->Database1->connected());
    QVERIFY(allEnabled(false));
    QCOMPARE(Form1->Database1->params().lines(), oracleAtStart);
    QCOMPARE(LoginForm->LoginEdit->text(), QStringLiteral("vortalix"));
}

void TestMainWindow::disconnectingAndConnectingAgain()
{
    MainWindowFixture f;
    f.connectAs();
    Form1->userprogTable->setFilter(QStringLiteral("prog_group='loans'"));
    Form1->userprogTable->setFiltered(true);
    Form1->DBLookupComboBox1->choose(2); // LIISING
    Form1->DBLookupComboBox1->hidePopup();
    QTest::qWait(20);
    QCOMPARE(MainWindowFixture::gridUsers(), QStringList{QStringLiteral("PEETER")});

    Form1->SpeedButton1->click();
    QCOMPARE(Form1->windowTitle(), QStringLiteral("users: Disconnected"));
    QCOMPARE(Form1->StatusBar1->currentMessage(), QStringLiteral("Disconnected"));
    QCOMPARE(f.statuses.mid(f.statuses.size() - 2), (QStringList{QStringLiteral("Disconnecting"), QStringLiteral("Disconnected")}));
    QCOMPARE(Form1->SpeedButton1->text(), QStringLiteral("Connect"));
    QVERIFY(allEnabled(false));
    QVERIFY(!Form1->userprogTable->active());
    QVERIFY(!Form1->QueryDBs->active());
    QVERIFY(!Form1->QueryUsers->active());
    QVERIFY(Form1->DBEdit1->text().isEmpty());
    QVERIFY(MainWindowFixture::gridUsers().isEmpty());

    f.connectAs();
    QCOMPARE(Form1->windowTitle(), QStringLiteral("users: Connected to LIVE as vortalix"));
    QVERIFY(Form1->userprogTable->filtered());
    QCOMPARE(Form1->userprogTable->recordCount(), 4); // the filter applies again
    QCOMPARE(Form1->DBLookupComboBox1->text(), QStringLiteral("VORTA"));
    QCOMPARE(MainWindowFixture::gridUsers(), (QStringList{QStringLiteral("JAAN"), QStringLiteral("KATRIN"),
                                                          QStringLiteral("MARI"), QStringLiteral("OLDUSER")}));
}

void TestMainWindow::movingInTheRegisterRefreshesTheUsers()
{
    MainWindowFixture f;
    f.connectAs();
    Form1->DBNavigator1->click(controls::DBNavigator::Next);
    QCOMPARE(Form1->DBEdit6->text(), QStringLiteral("LOANSCH.EXE"));
    QCOMPARE(MainWindowFixture::gridUsers(), (QStringList{QStringLiteral("JAAN"), QStringLiteral("MARI")}));
    Form1->DBNavigator1->click(controls::DBNavigator::Last);
    QVERIFY(MainWindowFixture::gridUsers().isEmpty());
    Form1->userprogTable->locate(QStringLiteral("PROG_ID"), 8);
    QCOMPARE(MainWindowFixture::gridUsers(), (QStringList{QStringLiteral("LIIS"), QStringLiteral("MARI"), QStringLiteral("PEETER")}));
}

void TestMainWindow::choosingACompany()
{
    MainWindowFixture f;
    f.connectAs();
    // Another administrator adds an account meanwhile: choosing a company reads the accounts again.
    auto other = f.servers.connect(QStringLiteral("system"), QStringLiteral("manager"));
    other->backend().execute(QStringLiteral("create user newcomer identified by x"), {});
    Form1->DBLookupComboBox1->showPopup();
    Form1->DBLookupComboBox1->choose(1); // FONDID, company 10
    Form1->DBLookupComboBox1->hidePopup();
    QTest::qWait(20);
    QCOMPARE(Form1->QueryUsers->filter(), QStringLiteral("database_id=10"));
    QCOMPARE(MainWindowFixture::gridUsers(), QStringList{QStringLiteral("LIIS")});
    QCOMPARE(Form1->QueryDBs->fieldByName(QStringLiteral("DATABASE_ID")).asString(), QStringLiteral("10"));
    QCOMPARE(Form1->DBText1->text(), QStringLiteral("FONDID (10)"));
    QVERIFY(Form1->serverUsers().contains(QStringLiteral("NEWCOMER")));
}

void TestMainWindow::closingTheCompanyListWithoutAChoice()
{
    MainWindowFixture f;
    f.connectAs();
    auto other = f.servers.connect();
    other->backend().execute(QStringLiteral("insert into user_prog_db values ('AUDITOR', 1, 1, 0)"), {});
    QVERIFY(!MainWindowFixture::gridUsers().contains(QStringLiteral("AUDITOR")));
    const int before = f.statuses.count(QStringLiteral("quering DB users"));
    Form1->DBLookupComboBox1->showPopup();
    Form1->DBLookupComboBox1->hidePopup();
    QTest::qWait(20);
    QVERIFY(MainWindowFixture::gridUsers().contains(QStringLiteral("AUDITOR")));
    QCOMPARE(f.statuses.count(QStringLiteral("quering DB users")), before + 1);
}

void TestMainWindow::choosingACompanyByWheelOrKeys()
{
    MainWindowFixture f;
    f.connectAs();
    controls::DBLookupComboBox *selector = Form1->DBLookupComboBox1;
    // The closed box, turned by the wheel: the grid and the server's accounts follow.
    f.statuses.clear();
    QWheelEvent wheel(QPointF(10, 10), selector->mapToGlobal(QPointF(10, 10)), QPoint(), QPoint(0, -120), Qt::NoButton,
                      Qt::NoModifier, Qt::NoScrollPhase, false);
    QApplication::sendEvent(selector, &wheel);
    QCOMPARE(selector->text(), QStringLiteral("FONDID"));
    QCOMPARE(Form1->DBText1->text(), QStringLiteral("FONDID (10)"));
    QCOMPARE(Form1->QueryUsers->filter(), QStringLiteral("database_id=10"));
    QVERIFY(Form1->QueryUsers->active());
    QVERIFY(f.statuses.contains(QStringLiteral("quering DB users")));
    // The arrow keys on the closed box do the same.
    f.statuses.clear();
    selector->setFocus();
    QTRY_VERIFY(selector->hasFocus());
    QTest::keyClick(selector, Qt::Key_Down);
    QCOMPARE(selector->text(), QStringLiteral("LIISING"));
    QCOMPARE(Form1->QueryUsers->filter(), QStringLiteral("database_id=2"));
    QCOMPARE(Form1->QueryDBs->fieldByName(QStringLiteral("db_name")).asString(), QStringLiteral("LIISING"));
    QCOMPARE(f.statuses.count(QStringLiteral("quering DB users")), 1);
    QVERIFY(f.messages.entries().isEmpty());
}

void TestMainWindow::assistiveToolsNameEveryControl()
{
    MainWindowFixture f;
    auto name = [](QWidget *w) {
        QAccessibleInterface *iface = QAccessible::queryAccessibleInterface(w);
        return iface ? iface->text(QAccessible::Name).trimmed() : QString();
    };
    // Icon-only buttons by their hints.
    for (QToolButton *b : {Form1->SpeedButton2, Form1->SpeedButtonDB, Form1->SpeedButtonUSR, Form1->SpeedButton3,
                           Form1->SpeedButtonFilter})
        QCOMPARE(name(b), b->toolTip());
    QCOMPARE(name(Form1->DBNavigator1->button(controls::DBNavigator::Post)), QStringLiteral("Post edit"));
    // Fields by their labels, and those without one by what they hold.
    QCOMPARE(name(Form1->DBEdit1), QStringLiteral("Prog name"));
    QCOMPARE(name(Form1->DBEdit10), QStringLiteral("Responsible user"));
    QCOMPARE(name(Form1->DBComboBox1), QStringLiteral("Group"));
    QCOMPARE(name(Form1->DBMemo1), QStringLiteral("Description"));
    QCOMPARE(name(Form1->DBLookupComboBox1), QStringLiteral("Company"));
    QVERIFY(!name(Form1->DBGrid1).isEmpty());
    QVERIFY(!name(Form1->DBImage1).isEmpty());
    // Disabled, the icon-only buttons look it, as the navigator's do.
    QVERIFY(!Form1->SpeedButton3->isEnabled());
    const QImage enabled =
        Form1->SpeedButton3->icon().pixmap(16, QIcon::Normal).toImage().convertToFormat(QImage::Format_ARGB32);
    const QImage disabled =
        Form1->SpeedButton3->icon().pixmap(16, QIcon::Disabled).toImage().convertToFormat(QImage::Format_ARGB32);
    auto darkest = [](const QImage &image) {
        int least = 255;
        for (int y = 0; y < image.height(); ++y)
            for (int x = 0; x < image.width(); ++x)
                if (qAlpha(image.pixel(x, y)) > 128)
                    least = std::min(least, qGray(image.pixel(x, y)));
        return least;
    };
    QVERIFY(darkest(enabled) < 100);
    QVERIFY2(darkest(disabled) > 140, qPrintable(QString::number(darkest(disabled))));
}

void TestMainWindow::findUsersOnAnUnreachableServer()
{
    MainWindowFixture f;
    f.connectAs();
    Form1->Database2->params().setValue(QStringLiteral("SERVER NAME"), QStringLiteral("NOWHERE"));
    Form1->FindUsers();
    QCOMPARE(f.messages.texts(MessageKind::Plain), QStringList{QStringLiteral("Could not connect to NOWHERE")});
    QVERIFY(Form1->serverUsers().isEmpty());
    QCOMPARE(Form1->StatusBar1->currentMessage(), QStringLiteral(" "));
    // A reachable server but a refused login: the same message.
    f.messages.clear();
    Form1->Database2->params().setValue(QStringLiteral("SERVER NAME"), QStringLiteral("LIVE"));
    Form1->Database2->params().setValue(QStringLiteral("PASSWORD"), QStringLiteral("bad"));
    Form1->FindUsers();
    QCOMPARE(f.messages.texts(), QStringList{QStringLiteral("Could not connect to LIVE")});
}

void TestMainWindow::loginAsUsesTheCache()
{
    MainWindowFixture f;
    f.connectAs();
    db::Connection probe(QStringLiteral("ORAUSER"));
    probe.params().setLines(connections::orauserParameters());
    probe.params().setValue(QStringLiteral("SERVER NAME"), QStringLiteral("LIVE"));
    // The owner's password typed at login is used: no prompt.
    QVERIFY(Form1->LoginAs(&probe, QStringLiteral("vortalix")));
    QVERIFY(!probe.connected()); // it was not connected, so it only tested the login
    QCOMPARE(probe.params().value(QStringLiteral("USER NAME")), QStringLiteral("vortalix"));
    QCOMPARE(probe.params().value(QStringLiteral("PASSWORD")), QStringLiteral("lumivar"));

    // A prompt for "system" caches the password under that name; "SYSTEM" finds it.
    {
        testsupport::ModalDriver driver;
        driver.then([](QWidget *) {
            QCOMPARE(LoginForm->Label4->text(), QStringLiteral("Provide password for system"));
            QVERIFY(LoginForm->ConnComboBox->isHidden());
            QVERIFY(LoginForm->Label1->isHidden());
            QCOMPARE(LoginForm->LoginEdit->text(), QStringLiteral("system"));
            QVERIFY(LoginForm->PasswdEdit->text().isEmpty());
            LoginForm->LoginEdit->setText(QStringLiteral("someone else")); // ignored
            LoginForm->PasswdEdit->setText(QStringLiteral("manager"));
            LoginForm->BitBtn1->click();
        });
        QVERIFY(Form1->LoginAs(&probe, QStringLiteral("system")));
    }
    QCOMPARE(Form1->passwords().value(QStringLiteral("system")), QStringLiteral("manager"));
    QVERIFY(!LoginForm->ConnComboBox->isHidden());
    QVERIFY(LoginForm->Label4->text().isEmpty());
    QVERIFY(Form1->LoginAs(&probe, QStringLiteral("SYSTEM"))); // no prompt: the driver has no action
    QCOMPARE(probe.params().value(QStringLiteral("PASSWORD")), QStringLiteral("manager"));
}

void TestMainWindow::loginAsWithACancelledPrompt()
{
    MainWindowFixture f;
    db::Connection probe(QStringLiteral("ORAUSER"));
    probe.params().setLines(connections::orauserParameters());
    probe.params().setValue(QStringLiteral("SERVER NAME"), QStringLiteral("LIVE"));
    probe.params().setValue(QStringLiteral("PASSWORD"), QStringLiteral("left over"));
    {
        testsupport::ModalDriver driver;
        driver.then([](QWidget *) { LoginForm->BitBtn2->click(); });
        QVERIFY(!Form1->LoginAs(&probe, QStringLiteral("mari")));
    }
    QVERIFY(!probe.params().hasName(QStringLiteral("PASSWORD")));
    QVERIFY(!Form1->passwords().hasName(QStringLiteral("mari")));
    // An empty password is never stored: the next call asks again.
    {
        testsupport::ModalDriver driver;
        driver.then([](QWidget *) { LoginForm->BitBtn1->click(); });
        QVERIFY(!Form1->LoginAs(&probe, QStringLiteral("mari")));
        QCOMPARE(driver.handled().size(), 1);
    }
    QVERIFY(f.messages.entries().isEmpty()); // LoginAs reports nothing itself
}

void TestMainWindow::loginAsOnAConnectedComponent()
{
    MainWindowFixture f;
    f.connectAs();
    db::Connection probe(QStringLiteral("ORAUSER"));
    probe.params().setLines(connections::orauserParameters());
    probe.params().setValue(QStringLiteral("SERVER NAME"), QStringLiteral("LIVE"));
    probe.params().setValue(QStringLiteral("USER NAME"), QStringLiteral("vortalix"));
    probe.params().setValue(QStringLiteral("PASSWORD"), QStringLiteral("lumivar"));
    probe.open();
    {
        testsupport::ModalDriver driver;
        driver.then([](QWidget *) {
            LoginForm->PasswdEdit->setText(QStringLiteral("kevaro"));
            LoginForm->BitBtn1->click();
        });
        QVERIFY(Form1->LoginAs(&probe, QStringLiteral("mari")));
    }
    QVERIFY(probe.connected()); // reconnected as the new user
    QCOMPARE(testsupport::column(probe, QStringLiteral("select username from user_role_privs")).value(0),
             QStringLiteral("MARI"));
    // New credentials that fail on a connected component raise the engine's error.
    {
        testsupport::ModalDriver driver;
        driver.then([](QWidget *) {
            LoginForm->PasswdEdit->setText(QStringLiteral("wrong"));
            LoginForm->BitBtn1->click();
        });
        bool raised = false;
        try {
            Form1->LoginAs(&probe, QStringLiteral("jaan"));
        } catch (const db::DbError &e) {
            raised = testsupport::isServerError(e.text(), QStringLiteral("ORA-01017"),
                                                QStringLiteral("password authentication failed"));
        }
        QVERIFY(raised);
    }
    QVERIFY(!probe.connected());
}

namespace {

// The controls of the register, the right column's, and where each lies in the window.
QList<QWidget *> placedControls()
{
    QList<QWidget *> list;
    for (QWidget *panel : {Form1->Panel5, Form1->Panel4, Form1->Panel3}) {
        for (QWidget *w : panel->findChildren<QWidget *>(QString(), Qt::FindDirectChildrenOnly)) {
            if (w->isVisible() && !qobject_cast<QFocusFrame *>(w))
                list.append(w);
        }
    }
    return list;
}

QRect placeOf(const QWidget *w)
{
    return QRect(w->mapTo(Form1, QPoint(0, 0)), w->size());
}

} // namespace

void TestMainWindow::theWindowKeepsItsSmallestSize()
{
    MainWindowFixture f;
    f.connectAs();
    // 600 by 400 at the least; a font too large for that raises the least height instead.
    const int least = Form1->minimumHeight();
    QVERIFY(least >= 400);
    Form1->resize(500, 300);
    QCOMPARE(Form1->size(), QSize(600, least));
    // Nothing overlaps or leaves the window at the smallest size: the memo gave up height.
    QTRY_COMPARE(Form1->Panel4->height(), Form1->centralWidget()->height() - Form1->Panel5->height());
    const QRect area(Form1->centralWidget()->mapTo(Form1, QPoint(0, 0)), Form1->centralWidget()->size());
    const QList<QWidget *> controls = placedControls();
    for (int i = 0; i < controls.size(); ++i) {
        QVERIFY2(area.contains(placeOf(controls.at(i))), qPrintable(controls.at(i)->objectName()));
        for (int j = i + 1; j < controls.size(); ++j) {
            QVERIFY2(!placeOf(controls.at(i)).intersects(placeOf(controls.at(j))),
                     qPrintable(controls.at(i)->objectName() + QLatin1Char('/') + controls.at(j)->objectName()));
        }
    }
    QVERIFY(Form1->DBMemo1->height() >= Form1->DBMemo1->fontMetrics().lineSpacing());
    testsupport::screenshot(Form1, QStringLiteral("main-window-smallest"));
    Form1->resize(800, 300);
    QCOMPARE(Form1->size(), QSize(800, least));
    Form1->resize(550, 700);
    QCOMPARE(Form1->size(), QSize(600, 700));
}

void TestMainWindow::theLongEditsFollowTheLeftArea()
{
    MainWindowFixture f;
    for (int width : {600, 900, 700}) {
        Form1->resize(width, 516);
        QTest::qWait(1);
        QCOMPARE(Form1->Panel1->width(), width - 219);
        for (QWidget *edit : Form1->longEdits())
            QCOMPARE(edit->width(), Form1->Panel1->width() - 124);
    }
    QCOMPARE(Form1->DBEdit2->width(), 70); // the short edits keep theirs
}

QTEST_MAIN(TestMainWindow)
#include "tst_mainwindow.moc"
