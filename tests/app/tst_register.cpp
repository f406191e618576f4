#include "MainWindowFixture.h"

#include "../shell/PeBuilder.h"

#include <QAccessible>
#include <QAccessibleActionInterface>
#include <QApplication>
#include <QComboBox>
#include <QFile>
#include <QLineEdit>
#include <QRegularExpression>
#include <QTemporaryDir>

using controls::MessageKind;

namespace {

QString storedValue(MainWindowFixture &f, const QString &sql)
{
    auto c = f.servers.connect();
    return testsupport::column(*c, sql).value(0);
}

// Types into a control as a user does and leaves it for the next one.
void typeInto(QWidget *control, const QString &text)
{
    control->setFocus();
    auto *line = qobject_cast<QLineEdit *>(control);
    if (!line)
        line = qobject_cast<QComboBox *>(control)->lineEdit();
    line->selectAll();
    QTest::keyClicks(line, text);
}

// Writes a file for the icon box to read.
bool writeFile(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

void leave()
{
    Form1->DBEdit5->setFocus();
}

} // namespace

class TestRegister : public QObject {
    Q_OBJECT
private slots:
    void theControlsShowTheCurrentProgram();
    void theVersionFormat();
    void typingEditsAndMovingSaves();
    void aNewGroupIsListedAfterLeavingTheBox();
    void theTypeChoicesStoreTheirCodes();
    void everyWayOfChoosingATypeIsSaved();
    void tabMovesThroughTheRegisterInItsOrder();
    void anInsertedProgramIsNumberedByTheServer();
    void aRefusedPostKeepsTheRowInEdit();
    void navigatorButtonsFollowTheState();
    void anIconIsReadFromAnExecutable();
    void aFileWithoutAnIconLeavesTheBoxWhite_data();
    void aFileWithoutAnIconLeavesTheBoxWhite();
    void aNoteGivesWayToTheRegistersNextAction();
    void loadingAnIconWhileClosedChangesNothing();
    void theIconBoxAsksForAnExecutable();
};

void TestRegister::theControlsShowTheCurrentProgram()
{
    MainWindowFixture f;
    f.connectAs();
    QCOMPARE(Form1->DBEdit1->text(), QStringLiteral("Loan application"));
    QCOMPARE(Form1->DBEdit6->text(), QStringLiteral("LOANAPP.EXE"));
    QCOMPARE(Form1->DBEdit3->text(), QStringLiteral("Tamm"));
    QCOMPARE(Form1->DBEdit4->text(), QStringLiteral("14/03/23"));
    QVERIFY(!Form1->DBEdit4->isEnabled());
    QCOMPARE(Form1->DBComboBox2->currentText(), QStringLiteral("MONTH"));
    QCOMPARE(Form1->DBComboBox2->items(), (QStringList{QStringLiteral("DAY"), QStringLiteral("DECADE"), QStringLiteral("MONTH"),
                                                       QStringLiteral("QUARTER"), QStringLiteral("YEAR")}));
    QCOMPARE(Form1->DBComboBox1->currentText(), QStringLiteral("Loans"));
    QCOMPARE(Form1->DBEdit5->text(), QStringLiteral("C:\\VORTALIX\\LOANS"));
    QCOMPARE(Form1->DBEdit10->text(), QStringLiteral("MARI"));
    QCOMPARE(Form1->DBMemo1->toPlainText(), QStringLiteral("Entering and checking new loan applications"));
    QCOMPARE(Form1->DBRadioGroup1->itemIndex(), 0); // "Win"
    QCOMPARE(Form1->DBEdit1->maxLength(), 255);
    QCOMPARE(Form1->DBEdit3->maxLength(), 20);
    QCOMPARE(Form1->DBEdit10->maxLength(), 32);
    QCOMPARE(Form1->LabelDescription->text(), QStringLiteral("Description    "));
    // The groups of the register, with one empty entry for the program without a group.
    QStringList groups = Form1->DBComboBox1->items();
    QCOMPARE(groups.size(), 9);
    QVERIFY(groups.contains(QString()));
    QVERIFY(groups.contains(QStringLiteral("Reports")));
    // A type code outside the choices shows none chosen.
    Form1->userprogTable->locate(QStringLiteral("PROG_ID"), 30);
    QCOMPARE(Form1->userprogTable->fieldByName(QStringLiteral("PROG_TYPE")).asString(), QStringLiteral("9"));
    QCOMPARE(Form1->DBRadioGroup1->itemIndex(), -1);
    Form1->userprogTable->locate(QStringLiteral("PROG_ID"), 29);
    QVERIFY(Form1->DBComboBox1->currentText().isEmpty());
    QVERIFY(!Form1->DBEdit4->text().contains(QRegularExpression(QStringLiteral("[0-9]"))));
}

void TestRegister::theVersionFormat()
{
    MainWindowFixture f;
    f.connectAs();
    QCOMPARE(Form1->DBEdit2->text(), QStringLiteral("1.500"));
    Form1->userprogTable->locate(QStringLiteral("PROG_ID"), 3);
    QCOMPARE(Form1->DBEdit2->text(), QStringLiteral(".500"));
    Form1->userprogTable->locate(QStringLiteral("PROG_ID"), 10);
    QCOMPARE(Form1->DBEdit2->text(), QStringLiteral("5.020"));
    typeInto(Form1->DBEdit2, QStringLiteral("2.25"));
    leave();
    Form1->DBNavigator1->click(controls::DBNavigator::Post);
    QCOMPARE(storedValue(f, QStringLiteral("select version from vortalix_prog where prog_id = 10")), QStringLiteral("2.25"));
    QCOMPARE(Form1->DBEdit2->text(), QStringLiteral("2.250"));
    // Text that is no number is refused and the row stays in edit.
    typeInto(Form1->DBEdit2, QStringLiteral("abc"));
    leave();
    QVERIFY(f.messages.texts(MessageKind::Error).value(0).contains(QLatin1String("not a valid floating point value")));
    QCOMPARE(Form1->userprogTable->state(), db::DataSetState::Edit);
}

void TestRegister::typingEditsAndMovingSaves()
{
    MainWindowFixture f;
    f.connectAs();
    typeInto(Form1->DBEdit1, QStringLiteral("Loan applications"));
    QCOMPARE(Form1->userprogTable->state(), db::DataSetState::Edit);
    Form1->DBMemo1->setFocus();
    Form1->DBMemo1->setPlainText(QStringLiteral("A new description"));
    Form1->DBNavigator1->click(controls::DBNavigator::Next);
    QCOMPARE(Form1->userprogTable->state(), db::DataSetState::Browse);
    QCOMPARE(storedValue(f, QStringLiteral("select prog_name || '|' || prog_description from vortalix_prog where prog_id = 1")),
             QStringLiteral("Loan applications|A new description"));
    // The navigator's cancel drops what was typed.
    typeInto(Form1->DBEdit3, QStringLiteral("Nobody"));
    Form1->DBNavigator1->click(controls::DBNavigator::Cancel);
    QCOMPARE(Form1->DBEdit3->text(), QStringLiteral("Tamm"));
    QCOMPARE(storedValue(f, QStringLiteral("select prog_author from vortalix_prog where prog_id = 2")), QStringLiteral("Tamm"));
}

void TestRegister::aNewGroupIsListedAfterLeavingTheBox()
{
    MainWindowFixture f;
    f.connectAs();
    QVERIFY(!Form1->DBComboBox1->items().contains(QStringLiteral("Treasury")));
    typeInto(Form1->DBComboBox1, QStringLiteral("Treasury"));
    leave();
    QCOMPARE(Form1->userprogTable->state(), db::DataSetState::Browse);
    QVERIFY(Form1->DBComboBox1->items().contains(QStringLiteral("Treasury")));
    QCOMPARE(storedValue(f, QStringLiteral("select prog_group from vortalix_prog where prog_id = 1")), QStringLiteral("Treasury"));
    QCOMPARE(Form1->userprogTablePROG_ID->asFloat(), 1.0);
    // Leaving the box without a change posts nothing and keeps the row.
    Form1->DBComboBox2->setFocus();
    leave();
    QCOMPARE(Form1->userprogTable->state(), db::DataSetState::Browse);
}

void TestRegister::theTypeChoicesStoreTheirCodes()
{
    MainWindowFixture f;
    f.connectAs();
    const QStringList captions{QStringLiteral("Win"), QStringLiteral("WebRep"), QStringLiteral("WebProg"),
                               QStringLiteral("WebBank"), QStringLiteral("Script"), QStringLiteral("Other")};
    for (int i = 0; i < captions.size(); ++i)
        QCOMPARE(Form1->DBRadioGroup1->button(i)->text(), captions.at(i));
    QCOMPARE(Form1->DBRadioGroup1->title(), QStringLiteral("Type"));
    Form1->DBRadioGroup1->button(2)->click(); // WebProg
    Form1->DBNavigator1->click(controls::DBNavigator::Post);
    QCOMPARE(storedValue(f, QStringLiteral("select prog_type from vortalix_prog where prog_id = 1")), QStringLiteral("5"));
    Form1->DBRadioGroup1->button(4)->click(); // Script
    Form1->DBNavigator1->click(controls::DBNavigator::Post);
    QCOMPARE(storedValue(f, QStringLiteral("select prog_type from vortalix_prog where prog_id = 1")), QStringLiteral("3"));
    QCOMPARE(Form1->DBRadioGroup1->itemIndex(), 4);
}

void TestRegister::everyWayOfChoosingATypeIsSaved()
{
    MainWindowFixture f;
    f.connectAs();
    const QString stored = QStringLiteral("select prog_type from vortalix_prog where prog_id = 1");
    QCOMPARE(storedValue(f, stored), QStringLiteral("1"));
    // An assistive tool toggles a choice: the register goes into edit with the new value.
    QAccessibleInterface *webBank = QAccessible::queryAccessibleInterface(Form1->DBRadioGroup1->button(3));
    QVERIFY(webBank && webBank->actionInterface());
    QVERIFY(webBank->actionInterface()->actionNames().contains(QAccessibleActionInterface::toggleAction()));
    webBank->actionInterface()->doAction(QAccessibleActionInterface::toggleAction());
    QCOMPARE(Form1->userprogTable->state(), db::DataSetState::Edit);
    QCOMPARE(Form1->userprogTable->fieldByName(QStringLiteral("PROG_TYPE")).asString(), QStringLiteral("6"));
    // Moving on saves it, and coming back shows it.
    Form1->DBNavigator1->click(controls::DBNavigator::Next);
    Form1->DBNavigator1->click(controls::DBNavigator::Prior);
    QCOMPARE(storedValue(f, stored), QStringLiteral("6"));
    QCOMPARE(Form1->DBRadioGroup1->itemIndex(), 3);
    // The arrow keys move the choice as the mouse does.
    QAbstractButton *chosen = Form1->DBRadioGroup1->button(3);
    chosen->setFocus();
    QTRY_VERIFY(chosen->hasFocus());
    QTest::keyClick(chosen, Qt::Key_Right); // WebBank -> Script
    QCOMPARE(Form1->DBRadioGroup1->itemIndex(), 4);
    QCOMPARE(Form1->userprogTable->state(), db::DataSetState::Edit);
    Form1->DBNavigator1->click(controls::DBNavigator::Post);
    QCOMPARE(storedValue(f, stored), QStringLiteral("3"));
    // Showing another row sets the choice without choosing anything.
    Form1->DBNavigator1->click(controls::DBNavigator::Next);
    QCOMPARE(Form1->userprogTable->state(), db::DataSetState::Browse);
}

void TestRegister::tabMovesThroughTheRegisterInItsOrder()
{
    MainWindowFixture f;
    f.connectAs();
    const QString description = Form1->DBMemo1->toPlainText();
    const QList<QWidget *> order{Form1->DBEdit1, Form1->DBEdit6, Form1->DBEdit3, Form1->DBEdit2,
                                 Form1->DBComboBox2, Form1->DBComboBox1, Form1->DBEdit5, Form1->DBEdit7,
                                 Form1->DBEdit8, Form1->DBEdit9, Form1->DBEdit10, Form1->DBNavigator1,
                                 Form1->DBRadioGroup1, Form1->DBImage1, Form1->DBMemo1};
    // The control of the register that holds the focus (a combo box's edit, a group's button).
    auto focused = [&]() -> QWidget * {
        for (QWidget *w = QApplication::focusWidget(); w; w = w->parentWidget()) {
            if (order.contains(w))
                return w;
        }
        return nullptr;
    };
    Form1->DBEdit1->setFocus();
    for (int i = 0; i + 1 < order.size(); ++i) {
        QTRY_COMPARE(focused(), order.at(i));
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    }
    QTRY_COMPARE(focused(), Form1->DBMemo1);
    // Tab leaves the memo rather than typing into it, and Shift+Tab goes back the same way.
    QTest::keyClick(Form1->DBMemo1, Qt::Key_Tab);
    QTRY_VERIFY(focused() != Form1->DBMemo1);
    QCOMPARE(Form1->DBMemo1->toPlainText(), description);
    QCOMPARE(Form1->userprogTable->state(), db::DataSetState::Browse);
    Form1->DBMemo1->setFocus();
    QTRY_COMPARE(focused(), Form1->DBMemo1);
    QTest::keyClick(Form1->DBMemo1, Qt::Key_Backtab, Qt::ShiftModifier);
    QTRY_COMPARE(focused(), static_cast<QWidget *>(Form1->DBImage1));
    QCOMPARE(Form1->DBMemo1->toPlainText(), description);
    // In the navigator the arrow keys choose a button and Space presses it.
    Form1->DBNavigator1->setFocus();
    QTRY_VERIFY(Form1->DBNavigator1->hasFocus());
    QCOMPARE(Form1->DBNavigator1->focusedButton(), controls::DBNavigator::First);
    QTest::keyClick(Form1->DBNavigator1, Qt::Key_Right);
    QTest::keyClick(Form1->DBNavigator1, Qt::Key_Right);
    QCOMPARE(Form1->DBNavigator1->focusedButton(), controls::DBNavigator::Next);
    // A screen reader hears which button the arrows chose.
    QCOMPARE(QAccessible::queryAccessibleInterface(Form1->DBNavigator1)->text(QAccessible::Name),
             QStringLiteral("Record navigator: Next record"));
    QTest::keyClick(Form1->DBNavigator1, Qt::Key_Space);
    QCOMPARE(Form1->userprogTable->recNo(), 1);
    QCOMPARE(Form1->userprogTable->state(), db::DataSetState::Browse);
}

void TestRegister::anInsertedProgramIsNumberedByTheServer()
{
    MainWindowFixture f;
    f.connectAs();
    Form1->DBNavigator1->click(controls::DBNavigator::Insert);
    QCOMPARE(Form1->userprogTable->state(), db::DataSetState::Insert);
    QVERIFY(Form1->DBEdit1->text().isEmpty());
    QVERIFY(MainWindowFixture::gridUsers().isEmpty()); // a new program has no grants
    typeInto(Form1->DBEdit1, QStringLiteral("Treasury desk"));
    typeInto(Form1->DBEdit6, QStringLiteral("TREASURY.EXE"));
    Form1->DBRadioGroup1->button(3)->click();
    Form1->DBNavigator1->click(controls::DBNavigator::Post);
    QCOMPARE(Form1->userprogTable->state(), db::DataSetState::Browse);
    QCOMPARE(Form1->userprogTablePROG_ID->asFloat(), 31.0);
    QCOMPARE(Form1->DBEdit6->text(), QStringLiteral("TREASURY.EXE"));
    QCOMPARE(storedValue(f, QStringLiteral("select prog_name || '|' || prog_type from vortalix_prog where prog_id = 31")),
             QStringLiteral("Treasury desk|6"));
    // The navigator's delete asks first; No keeps the program.
    f.messages.answer({false, true});
    Form1->DBNavigator1->click(controls::DBNavigator::Delete);
    QCOMPARE(f.messages.texts(MessageKind::Question), QStringList{QStringLiteral("Delete record?")});
    QVERIFY(!f.messages.entries().last().yesByDefault); // Enter keeps the program
    QCOMPARE(storedValue(f, QStringLiteral("select count(*) from vortalix_prog where prog_id = 31")), QStringLiteral("1"));
    Form1->DBNavigator1->click(controls::DBNavigator::Delete);
    QCOMPARE(storedValue(f, QStringLiteral("select count(*) from vortalix_prog where prog_id = 31")), QStringLiteral("0"));
}

void TestRegister::aRefusedPostKeepsTheRowInEdit()
{
    MainWindowFixture f;
    f.connectAs();
    Form1->userprogTable->locate(QStringLiteral("PROG_ID"), 5);
    typeInto(Form1->DBEdit3, QStringLiteral("Someone"));
    auto other = f.servers.connect();
    other->backend().execute(QStringLiteral("delete from vortalix_prog where prog_id = 5"), {});
    Form1->DBNavigator1->click(controls::DBNavigator::Post);
    QCOMPARE(f.messages.entries().size(), 1);
    QVERIFY(f.messages.texts(MessageKind::Error).value(0).contains(QLatin1String("changed or deleted by another user")));
    QCOMPARE(Form1->userprogTable->state(), db::DataSetState::Edit);
    QCOMPARE(Form1->DBEdit3->text(), QStringLiteral("Someone"));
    Form1->DBNavigator1->click(controls::DBNavigator::Cancel);
    Form1->DBNavigator1->click(controls::DBNavigator::Refresh);
    QVERIFY(!Form1->userprogTable->findKey(5.0));
}

void TestRegister::navigatorButtonsFollowTheState()
{
    MainWindowFixture f;
    using N = controls::DBNavigator;
    auto enabled = [](N::Button b) { return Form1->DBNavigator1->button(b)->isEnabled(); };
    QVERIFY(!enabled(N::First) && !enabled(N::Insert) && !enabled(N::Refresh));
    f.connectAs();
    QVERIFY(!enabled(N::First) && !enabled(N::Prior)); // on the first row
    QVERIFY(enabled(N::Next) && enabled(N::Last) && enabled(N::Insert) && enabled(N::Delete) && enabled(N::Edit));
    QVERIFY(!enabled(N::Post) && !enabled(N::Cancel));
    Form1->DBNavigator1->click(N::Last);
    QVERIFY(!enabled(N::Next) && !enabled(N::Last) && enabled(N::First));
    Form1->DBNavigator1->click(N::Edit);
    QVERIFY(enabled(N::Post) && enabled(N::Cancel) && !enabled(N::Edit));
    Form1->DBNavigator1->click(N::Cancel);
    QCOMPARE(Form1->DBNavigator1->button(N::Delete)->toolTip(), QStringLiteral("Delete record"));
}

void TestRegister::anIconIsReadFromAnExecutable()
{
    MainWindowFixture f;
    f.connectAs();
    QTemporaryDir dir;
    const QString exe = dir.filePath(QStringLiteral("LOANAPP.EXE"));
    QVERIFY(writeFile(exe, testpe::build(testpe::twoIconImage(testpe::Format::Pe32)).bytes));
    typeInto(Form1->DBEdit3, QStringLiteral("Pending"));
    Form1->LoadIcon(exe);
    const QImage picture = Form1->DBImage1->picture();
    QCOMPARE(picture.size(), QSize(32, 32));
    QCOMPARE(QColor(picture.pixel(16, 16)), QColor(testpe::kRed));
    // The icon is shown, never stored; the pending change was posted by the refresh.
    QCOMPARE(Form1->userprogTable->state(), db::DataSetState::Browse);
    QCOMPARE(storedValue(f, QStringLiteral("select prog_author from vortalix_prog where prog_id = 1")), QStringLiteral("Pending"));
    QVERIFY(storedValue(f, QStringLiteral("select icon from vortalix_prog where prog_id = 1")).isEmpty());
    // The box keeps the icon when the row changes.
    Form1->DBNavigator1->click(controls::DBNavigator::Next);
    QCOMPARE(Form1->DBImage1->picture().size(), QSize(32, 32));
    QVERIFY(f.messages.entries().isEmpty());
    testsupport::screenshot(Form1, QStringLiteral("main-window-icon"));
}

void TestRegister::aFileWithoutAnIconLeavesTheBoxWhite_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QString>("status");
    testpe::Image none = testpe::oneIconImage(testpe::Format::Pe32);
    none.resources = false;
    QTest::newRow("no resources") << testpe::build(none).bytes << QStringLiteral("no resources");
    const QByteArray good = testpe::build(testpe::oneIconImage(testpe::Format::Pe32Plus)).bytes;
    QTest::newRow("truncated") << good.left(good.size() / 2) << QStringLiteral("No icon shown");
    QTest::newRow("not an executable") << QByteArray("plain text, not a program") << QStringLiteral("No icon shown");
}

void TestRegister::aFileWithoutAnIconLeavesTheBoxWhite()
{
    QFETCH(QByteArray, bytes);
    QFETCH(QString, status);
    MainWindowFixture f;
    f.connectAs();
    QTemporaryDir dir;
    // A long name works as well as a short one.
    const QString exe = dir.filePath(QString(200, QLatin1Char('n')) + QStringLiteral(".exe"));
    QVERIFY(writeFile(exe, bytes));
    Form1->LoadIcon(exe);
    const QImage picture = Form1->DBImage1->picture();
    QVERIFY(!picture.isNull());
    for (int y = 0; y < picture.height(); y += 7)
        for (int x = 0; x < picture.width(); x += 7)
            QCOMPARE(QColor(picture.pixel(x, y)), QColor(Qt::white));
    QVERIFY2(Form1->StatusBar1->currentMessage().contains(status), qPrintable(Form1->StatusBar1->currentMessage()));
    QVERIFY(Form1->StatusBar1->currentMessage().contains(exe));
    QCOMPARE(Form1->userprogTable->state(), db::DataSetState::Browse);
    QVERIFY(f.messages.entries().isEmpty());
}

void TestRegister::aNoteGivesWayToTheRegistersNextAction()
{
    MainWindowFixture f;
    f.connectAs();
    QTemporaryDir dir;
    const QString exe = dir.filePath(QStringLiteral("EMPTY.EXE"));
    QVERIFY(writeFile(exe, QByteArray("MZ")));
    Form1->LoadIcon(exe);
    QVERIFY(Form1->StatusBar1->currentMessage().startsWith(QLatin1String("No icon shown for ")));
    Form1->DBNavigator1->click(controls::DBNavigator::Next);
    QCOMPARE(Form1->StatusBar1->currentMessage(), QStringLiteral("ok"));
    Form1->DBNavigator1->click(controls::DBNavigator::Insert);
    Form1->BitBtn1->click();
    QVERIFY(Form1->StatusBar1->currentMessage().contains(QLatin1String("not saved yet")));
    Form1->DBNavigator1->click(controls::DBNavigator::Cancel);
    QCOMPARE(Form1->StatusBar1->currentMessage(), QStringLiteral("ok"));
    // A note that another note replaces still gives back the status from before both.
    Form1->DBLookupComboBox1->setKeyValue(99);
    Form1->BitBtn1->click();
    QCOMPARE(Form1->StatusBar1->currentMessage(), QStringLiteral("Choose a company first"));
    Form1->LoadIcon(exe);
    QVERIFY(Form1->StatusBar1->currentMessage().startsWith(QLatin1String("No icon shown for ")));
    Form1->DBNavigator1->click(controls::DBNavigator::Next);
    QCOMPARE(Form1->StatusBar1->currentMessage(), QStringLiteral("ok"));
    // A status shown after a note replaces it for good: the next action keeps it.
    Form1->LoadIcon(exe);
    Form1->ShowStatus(QStringLiteral("Find users complete"));
    Form1->DBNavigator1->click(controls::DBNavigator::Prior);
    QCOMPARE(Form1->StatusBar1->currentMessage(), QStringLiteral("Find users complete"));
}

void TestRegister::loadingAnIconWhileClosedChangesNothing()
{
    MainWindowFixture f;
    QTemporaryDir dir;
    const QString exe = dir.filePath(QStringLiteral("A.EXE"));
    QVERIFY(writeFile(exe, testpe::build(testpe::oneIconImage(testpe::Format::Pe32)).bytes));
    controls::guard([&] { Form1->LoadIcon(exe); });
    QCOMPARE(f.messages.texts(MessageKind::Error), QStringList{QStringLiteral("Cannot perform this operation on a closed dataset")});
    QVERIFY(Form1->DBImage1->picture().isNull());
    // Leaving a combo box of the closed register does nothing.
    f.messages.clear();
    Form1->DBComboBox2->setFocus();
    Form1->DBEdit1->setFocus();
    QVERIFY(f.messages.entries().isEmpty());
}

void TestRegister::theIconBoxAsksForAnExecutable()
{
    MainWindowFixture f;
    f.connectAs();
    QTemporaryDir dir;
    const QString exe = dir.filePath(QStringLiteral("CARDISS.EXE"));
    QVERIFY(writeFile(exe, testpe::build(testpe::twoIconImage(testpe::Format::Pe32Plus)).bytes));
    QCOMPARE(Form1->OpenDialog1->nameFilters(), QStringList{QStringLiteral("programmid (*.exe)")});
    QCOMPARE(Form1->OpenDialog1->defaultSuffix(), QStringLiteral("exe"));
    Form1->OpenDialog1->setOption(QFileDialog::DontUseNativeDialog); // a dialog the test can answer
    {
        testsupport::ModalDriver driver;
        driver.then([&](QWidget *dialog) {
            QCOMPARE(dialog, static_cast<QWidget *>(Form1->OpenDialog1));
            // Typed into the name box, as a user does (the box has the focus).
            Form1->OpenDialog1->findChild<QLineEdit *>(QStringLiteral("fileNameEdit"))->setText(exe);
            static_cast<QDialog *>(Form1->OpenDialog1)->accept(); // the file dialog hides its own
        });
        QTest::mouseClick(Form1->DBImage1, Qt::LeftButton);
    }
    QCOMPARE(Form1->DBImage1->picture().size(), QSize(32, 32));
    // Space on the box opens the dialog too; cancelling it changes nothing.
    {
        testsupport::ModalDriver driver;
        driver.then([](QWidget *) { Form1->OpenDialog1->reject(); });
        Form1->DBImage1->setFocus();
        QTest::keyClick(Form1->DBImage1, Qt::Key_Space);
    }
    QCOMPARE(QAccessible::queryAccessibleInterface(Form1->DBImage1)->role(), QAccessible::Button);
    QCOMPARE(Form1->DBImage1->picture().size(), QSize(32, 32));
    QVERIFY(f.messages.entries().isEmpty());
}

QTEST_MAIN(TestRegister)
#include "tst_register.moc"
