#include "MainWindowFixture.h"

#include "app/DemoServers.h"
#include "app/help1.h"
#include "platform/embedded/EmbeddedServer.h"

#include <QAccessible>
#include <QFile>
#include <QFileInfo>
#include <QStyle>

class TestLogin : public QObject {
    Q_OBJECT
private slots:
    void theDialogsLook();
    void everyShowingStartsWithAnEmptyFocusedPassword();
    void afterAPromptTheNextConnectShowsTheServerRow();
    void theHelpText();
    void everyWindowShowsTheProgramsIcon();
    void aFreshAccountIsOfferedTheDemoServers_data();
    void aFreshAccountIsOfferedTheDemoServers();
};

void TestLogin::theDialogsLook()
{
    MainWindowFixture f;
    QCOMPARE(LoginForm->windowTitle(), QStringLiteral("Vortalix login"));
    // The labels name their fields for a screen reader, and Alt and the underlined letter
    // lead to them.
    QCOMPARE(LoginForm->Label1->text(), QStringLiteral("&Server"));
    QCOMPARE(LoginForm->Label2->text(), QStringLiteral("&Login name"));
    QCOMPARE(LoginForm->Label3->text(), QStringLiteral("&Password"));
    for (const auto &[field, label] : {std::pair<QWidget *, QLabel *>{LoginForm->ConnComboBox, LoginForm->Label1},
                                       {LoginForm->LoginEdit, LoginForm->Label2}, {LoginForm->PasswdEdit, LoginForm->Label3}}) {
        const auto labels = QAccessible::queryAccessibleInterface(field)->relations(QAccessible::Label);
        QVERIFY(!labels.isEmpty() && labels.first().first == QAccessible::queryAccessibleInterface(label));
    }
    QCOMPARE(LoginForm->ConnComboBox->count(), 2);
    QCOMPARE(LoginForm->ConnComboBox->itemText(0), QStringLiteral("LIVE"));
    QCOMPARE(LoginForm->ConnComboBox->itemText(1), QStringLiteral("TEST"));
    QCOMPARE(LoginForm->ConnComboBox->currentText(), QStringLiteral("LIVE"));
    QVERIFY(LoginForm->ConnComboBox->isEditable());
    QVERIFY(LoginForm->BitBtn1->isDefault());
    QCOMPARE(LoginForm->PasswdEdit->echoMode(), QLineEdit::Password);
    QCOMPARE(LoginForm->PasswdEdit->style()->styleHint(QStyle::SH_LineEdit_PasswordCharacter, nullptr, LoginForm->PasswdEdit),
             int('*'));
    QVERIFY(LoginForm->minimumSize() == LoginForm->maximumSize()); // a fixed dialog border
    // Olive, with bold white text.
    LoginForm->ensurePolished();
    LoginForm->Label2->ensurePolished();
    QCOMPARE(LoginForm->Label2->palette().color(QPalette::WindowText), QColor(Qt::white));
    QVERIFY(LoginForm->Label2->font().bold());
    const QImage picture = LoginForm->grab().toImage();
    QCOMPARE(QColor(picture.pixel(3, 3)), QColor(0x80, 0x80, 0x00));
    {
        testsupport::ModalDriver driver;
        driver.then([](QWidget *dialog) {
            // Tab order: server, login name, password, OK, Cancel. Focus moves when the
            // window system says so; each step is waited for.
            QVERIFY(QTest::qWaitForWindowActive(dialog));
            LoginForm->ConnComboBox->setFocus();
            const QList<QWidget *> order{LoginForm->ConnComboBox, LoginForm->LoginEdit, LoginForm->PasswdEdit,
                                         LoginForm->BitBtn1, LoginForm->BitBtn2, LoginForm->ConnComboBox};
            for (int i = 0; i + 1 < order.size(); ++i) {
                QTRY_COMPARE(QApplication::focusWidget(), order.at(i));
                QTest::keyClick(order.at(i), Qt::Key_Tab);
            }
            QTRY_COMPARE(QApplication::focusWidget(), order.last());
            QTest::keyClick(dialog, Qt::Key_L, Qt::AltModifier);
            QTRY_COMPARE(QApplication::focusWidget(), static_cast<QWidget *>(LoginForm->LoginEdit));
            QTest::keyClick(dialog, Qt::Key_P, Qt::AltModifier);
            QTRY_COMPARE(QApplication::focusWidget(), static_cast<QWidget *>(LoginForm->PasswdEdit));
            LoginForm->PasswdEdit->setText(QStringLiteral("secret"));
            testsupport::screenshot(dialog, QStringLiteral("login-dialog"));
            LoginForm->BitBtn2->click();
        });
        Form1->SpeedButton1->click();
    }
}

void TestLogin::everyShowingStartsWithAnEmptyFocusedPassword()
{
    MainWindowFixture f;
    for (int i = 0; i < 2; ++i) {
        testsupport::ModalDriver driver;
        driver.then([](QWidget *dialog) {
            QVERIFY(LoginForm->PasswdEdit->text().isEmpty());
            QVERIFY(QTest::qWaitForWindowActive(dialog));
            QTRY_COMPARE(QApplication::focusWidget(), static_cast<QWidget *>(LoginForm->PasswdEdit));
            QCOMPARE(LoginForm->LoginEdit->text(), QStringLiteral("vortalix"));
            LoginForm->PasswdEdit->setText(QStringLiteral("typed"));
            LoginForm->BitBtn2->click();
        });
        Form1->SpeedButton1->click();
    }
}

void TestLogin::afterAPromptTheNextConnectShowsTheServerRow()
{
    MainWindowFixture f;
    f.connectAs(QStringLiteral("lumivar"), QStringLiteral("vortalix"), QStringLiteral("TEST"));
    QCOMPARE(Form1->windowTitle(), QStringLiteral("users: Connected to TEST as vortalix"));
    {
        testsupport::ModalDriver driver;
        driver.then([](QWidget *) { LoginForm->BitBtn2->click(); });
        Form1->AskPassword(QStringLiteral("system"));
    }
    Form1->SpeedButton1->click(); // disconnect
    testsupport::ModalDriver driver;
    driver.then([](QWidget *) {
        QVERIFY(!LoginForm->ConnComboBox->isHidden());
        QVERIFY(!LoginForm->Label1->isHidden());
        QVERIFY(LoginForm->Label4->text().isEmpty());
        QCOMPARE(LoginForm->ConnComboBox->currentText(), QStringLiteral("TEST"));
        QCOMPARE(LoginForm->LoginEdit->text(), QStringLiteral("vortalix"));
        LoginForm->BitBtn2->click();
    });
    Form1->SpeedButton1->click();
}

void TestLogin::theHelpText()
{
    MainWindowFixture f;
    Form1->SpeedButton2->click();
    QVERIFY(FormHelp->isVisible());
    QVERIFY(!FormHelp->isModal());
    QCOMPARE(FormHelp->windowTitle(), QStringLiteral("Help"));
    QCOMPARE(FormHelp->Label1->text(), QStringLiteral("Help and hints..."));
    const QStringList lines = FormHelp->Memo1->toPlainText().split(QLatin1Char('\n'));
    QCOMPARE(lines.size(), 15);
    QCOMPARE(lines.at(0), QStringLiteral("Hints for creating a new user:"));
    QVERIFY(lines.at(1).isEmpty());
    QCOMPARE(lines.at(3), QStringLiteral("2) Grant role \"dealer\" to this user"));
    QCOMPARE(lines.at(5), QStringLiteral("    If this is done username will appear in listboxes of current program and "));
    QCOMPARE(lines.at(6), QStringLiteral("    granting could be done!"));
    QCOMPARE(lines.at(9), QStringLiteral("(CUSTOMER.C_USER                NB! in UPPERCASE). "));
    QCOMPARE(lines.at(14), QStringLiteral("        DEALER  (e.g. DEALER2 etc)"));
    QVERIFY(FormHelp->Memo1->isReadOnly());
    // The main window stays usable beside it.
    f.connectAs();
    QCOMPARE(Form1->StatusBar1->currentMessage(), QStringLiteral("ok"));
    QVERIFY(FormHelp->isVisible());
    testsupport::screenshot(FormHelp, QStringLiteral("help-window"));
}

void TestLogin::everyWindowShowsTheProgramsIcon()
{
    MainWindowFixture f;
    QList<QWidget *> windows{Form1};
    for (QWidget *widget : QApplication::topLevelWidgets()) {
        if (widget->inherits("controls::Form"))
            windows.append(widget);
    }
    QCOMPARE(windows.size(), 14); // the thirteen of the system and the history window
    for (int size : {16, 32, 256}) {
        const QImage drawn = QImage(QString::fromUtf8(USERPR_SOURCE_DIR "/icons/userpr-%1.png").arg(size))
                                 .convertToFormat(QImage::Format_ARGB32_Premultiplied);
        QVERIFY(!drawn.isNull());
        for (QWidget *window : windows) {
            const QImage shown = window->windowIcon().pixmap(QSize(size, size)).toImage().convertToFormat(
                QImage::Format_ARGB32_Premultiplied);
            QVERIFY2(shown == drawn, qPrintable(window->objectName() + QStringLiteral(" at %1 pixels").arg(size)));
        }
    }
}

void TestLogin::aFreshAccountIsOfferedTheDemoServers_data()
{
    QTest::addColumn<QString>("servers");  // the servers file
    QTest::addColumn<QString>("existing"); // an embedded server in the data folder already
    QTest::addColumn<bool>("blocked");     // a file stands where the data folder would be
    QTest::addColumn<bool>("answer");
    QTest::addColumn<bool>("asked");
    QTest::addColumn<QStringList>("made");
    QTest::addColumn<bool>("failureShown");

    const QStringList both{QStringLiteral("LIVE"), QStringLiteral("TEST")};
    QTest::newRow("nothing known, Yes") << QString() << QString() << false << true << true << both << false;
    QTest::newRow("nothing known, No") << QString() << QString() << false << false << true << QStringList() << false;
    QTest::newRow("LIVE is embedded") << QString() << QStringLiteral("LIVE") << false << true << false
                                      << QStringList{QStringLiteral("LIVE")} << false;
    QTest::newRow("TEST is configured") << QStringLiteral("[test]\ndriver=QPSQL\ndatabase=vortalix\n") << QString() << false
                                        << true << false << QStringList() << false;
    QTest::newRow("another alias is configured") << QStringLiteral("[PROD]\ndriver=QOCI\ndatabase=P\n") << QString()
                                                 << false << true << true << both << false;
    QTest::newRow("the data folder cannot be made") << QString() << QString() << true << true << true << QStringList()
                                                    << true;
}

void TestLogin::aFreshAccountIsOfferedTheDemoServers()
{
    QFETCH(QString, servers);
    QFETCH(QString, existing);
    QFETCH(bool, blocked);
    QFETCH(bool, answer);
    QFETCH(bool, asked);
    QFETCH(QStringList, made);
    QFETCH(bool, failureShown);

    QTemporaryDir home;
    const QString serversFile = home.filePath(QStringLiteral("servers.ini"));
    const QString dataFolder = home.filePath(QStringLiteral("data/Userpr"));
    if (!servers.isEmpty()) {
        QFile file(serversFile);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(servers.toUtf8());
    }
    if (!existing.isEmpty())
        embedded::EmbeddedServer::create(dataFolder + QLatin1Char('/') + existing);
    if (blocked) {
        QFile file(home.filePath(QStringLiteral("data")));
        QVERIFY(file.open(QIODevice::WriteOnly));
    }
    const db::ServerDirectory directory(serversFile, dataFolder);

    testsupport::MessageLog messages;
    messages.answer({answer});
    demoservers::offer(directory);

    const QStringList questions = messages.texts(controls::MessageKind::Question);
    QCOMPARE(questions.size(), asked ? 1 : 0);
    if (asked)
        QVERIFY2(questions.first().contains(QLatin1String("userpr-db init LIVE --demo")), qPrintable(questions.first()));
    QCOMPARE(messages.texts(controls::MessageKind::Error).size(), failureShown ? 1 : 0);
    QStringList found;
    for (const QString &alias : {QStringLiteral("LIVE"), QStringLiteral("TEST")}) {
        if (QFileInfo::exists(directory.embeddedFolder(alias)))
            found.append(alias);
    }
    QCOMPARE(found, made);
    if (existing.isEmpty() && !made.isEmpty()) {
        // The demonstration data with its logins: thirty programs for the schema owner.
        for (const QString &alias : made) {
            const std::unique_ptr<db::Backend> session = directory.createBackend(alias);
            session->open(QStringLiteral("vortalix"), QStringLiteral("lumivar"));
            const db::ResultSet programs = session->select(QStringLiteral("select count(*) from vortalix_prog"), {});
            QCOMPARE(programs.rows.front().value(0).toInt(), 30);
        }
    }
}

QTEST_MAIN(TestLogin)
#include "tst_login.moc"
