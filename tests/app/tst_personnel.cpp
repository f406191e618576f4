#include "MainWindowFixture.h"

#include "accounts/newusers.h"

#include <QAccessible>
#include <QScreen>

using controls::MessageKind;

namespace {

// Shows the personnel window; the action works in it and closes it.
core::ModalResult personnel(const std::function<void()> &action)
{
    testsupport::ModalDriver driver;
    driver.then([=](QWidget *dialog) {
        QCOMPARE(dialog, static_cast<QWidget *>(FormNewusers));
        action();
    });
    return FormNewusers->showModal();
}

// Chooses a person in the picker as a user does.
void choosePerson(const QString &name)
{
    const int row = FormNewusers->DBLookupComboBox1->findText(name);
    QVERIFY2(row >= 0, qPrintable(name));
    FormNewusers->DBLookupComboBox1->choose(row);
}

void type(const QString &text)
{
    FormNewusers->DBEdit1->setFocus();
    FormNewusers->DBEdit1->selectAll();
    QTest::keyClicks(FormNewusers->DBEdit1, text);
}

QString storedUser(MainWindowFixture &f, int customer)
{
    auto c = f.servers.connect();
    const QStringList v = testsupport::column(*c, QStringLiteral("select c_user from customer where customer_id = %1").arg(customer));
    return v.isEmpty() ? QStringLiteral("(no row)") : v.first();
}

} // namespace

class TestPersonnel : public QObject {
    Q_OBJECT
private slots:
    void theWindowAndClosingWithoutTyping();
    void aNameTypedInLowerCaseIsStoredInUpperCase();
    void choosingAnotherPersonSavesFirst();
    void aPersonWithoutACustomerRowGetsOne();
    void escapeLeavesThroughTheCloseButton();
    void aRefusedSaveStillCloses_data();
    void aRefusedSaveStillCloses();
    void aNameSetByAnAssistiveToolIsSaved();
    void aFailedShowingLeavesNothingOpen();
};

void TestPersonnel::theWindowAndClosingWithoutTyping()
{
    MainWindowFixture f;
    f.connectAs();
    const core::ModalResult result = personnel([] {
        QCOMPARE(FormNewusers->windowTitle(), QStringLiteral("New users"));
        QVERIFY(FormNewusers->minimumSize() == FormNewusers->maximumSize());
        QVERIFY(!(FormNewusers->windowFlags() & Qt::WindowCloseButtonHint));
        const QPoint centre = FormNewusers->screen()->availableGeometry().center();
        QVERIFY((FormNewusers->frameGeometry().center() - centre).manhattanLength() <= 4);
        QCOMPARE(FormNewusers->Label1->text(), QStringLiteral("User's name"));
        QCOMPARE(FormNewusers->Label2->text(), QStringLiteral("username"));
        QCOMPARE(FormNewusers->BitBtn1->text(), QStringLiteral("&Close"));
        // The company name covers the picker's text and leaves its drop-down button free.
        const QRect picker = FormNewusers->DBLookupComboBox1->geometry();
        QCOMPARE(FormNewusers->DBEdit2->geometry(), picker.adjusted(0, 0, -17, 0));
        QCOMPARE(FormNewusers->childAt(picker.center() - QPoint(picker.width() / 4, 0)),
                 static_cast<QWidget *>(FormNewusers->DBEdit2));
        QCOMPARE(FormNewusers->childAt(QPoint(picker.right() - 6, picker.center().y())),
                 static_cast<QWidget *>(FormNewusers->DBLookupComboBox1));
        QVERIFY(FormNewusers->DBEdit2->isReadOnly());
        // The first person the statement returned, with that person's customer row.
        QCOMPARE(FormNewusers->DBLookupComboBox1->text(), QStringLiteral("Mari Maasikas"));
        QCOMPARE(FormNewusers->DBLookupComboBox1->count(), 11);
        QCOMPARE(FormNewusers->DBEdit2->text(), QStringLiteral("Mari Maasikas"));
        QCOMPARE(FormNewusers->DBEdit1->text(), QStringLiteral("MARI"));
        QVERIFY(!FormNewusers->Posted);
        testsupport::screenshot(FormNewusers, QStringLiteral("personnel-window"));
        FormNewusers->BitBtn1->click();
    });
    QCOMPARE(result, core::ModalResult::OK);
    QVERIFY(!FormNewusers->Posted);
    QVERIFY(!FormNewusers->Table1->active() && !FormNewusers->QueryPersonnel->active());
    QVERIFY(f.messages.entries().isEmpty());
}

void TestPersonnel::aNameTypedInLowerCaseIsStoredInUpperCase()
{
    MainWindowFixture f;
    f.connectAs();
    personnel([] {
        choosePerson(QStringLiteral("Peeter Saar"));
        QCOMPARE(FormNewusers->DBEdit2->text(), QStringLiteral("Peeter Saar"));
        QVERIFY(FormNewusers->DBEdit1->text().isEmpty());
        type(QStringLiteral("psaar"));
        QCOMPARE(FormNewusers->DBEdit1->text(), QStringLiteral("PSAAR"));
        FormNewusers->BitBtn1->click();
    });
    QVERIFY(FormNewusers->Posted);
    QCOMPARE(storedUser(f, 104), QStringLiteral("PSAAR"));
}

void TestPersonnel::choosingAnotherPersonSavesFirst()
{
    MainWindowFixture f;
    f.connectAs();
    personnel([&] {
        choosePerson(QStringLiteral("Peeter Saar"));
        type(QStringLiteral("peeter"));
        choosePerson(QStringLiteral("Jaan Tamm"));
        QCOMPARE(storedUser(f, 104), QStringLiteral("PEETER"));
        QVERIFY(FormNewusers->Posted);
        QCOMPARE(FormNewusers->DBEdit1->text(), QStringLiteral("JAAN"));
        // With the keyboard: back to the picker, and down to the next person.
        type(QStringLiteral("jtamm"));
        FormNewusers->DBLookupComboBox1->setFocus();
        QTest::keyClick(FormNewusers->DBLookupComboBox1, Qt::Key_Down);
        QCOMPARE(FormNewusers->DBEdit2->text(), QStringLiteral("Katrin Kask"));
        QCOMPARE(storedUser(f, 102), QStringLiteral("JTAMM"));
        FormNewusers->BitBtn1->click();
    });
    QVERIFY(FormNewusers->Posted);
    QCOMPARE(storedUser(f, 103), QStringLiteral("KATRIN"));
    // The next showing starts again with nothing saved.
    personnel([] {
        QVERIFY(!FormNewusers->Posted);
        FormNewusers->BitBtn1->click();
    });
    QVERIFY(!FormNewusers->Posted);
}

void TestPersonnel::aPersonWithoutACustomerRowGetsOne()
{
    MainWindowFixture f;
    f.connectAs();
    QCOMPARE(storedUser(f, 111), QStringLiteral("(no row)"));
    personnel([] {
        choosePerson(QStringLiteral("Haldur Vaher"));
        QVERIFY(FormNewusers->DBEdit2->text().isEmpty());
        QVERIFY(FormNewusers->DBEdit1->text().isEmpty());
        type(QStringLiteral("haldur"));
        FormNewusers->BitBtn1->click();
    });
    QVERIFY(FormNewusers->Posted);
    QCOMPARE(storedUser(f, 111), QStringLiteral("HALDUR"));
    auto c = f.servers.connect();
    QCOMPARE(testsupport::countRows(*c, QStringLiteral("select * from customer where customer_id = 111 and company_name is null")), 1);
}

void TestPersonnel::escapeLeavesThroughTheCloseButton()
{
    MainWindowFixture f;
    f.connectAs();
    const core::ModalResult result = personnel([] {
        choosePerson(QStringLiteral("Liis Lepp"));
        type(QStringLiteral("llepp"));
        QTest::keyClick(FormNewusers->DBEdit1, Qt::Key_Escape); // drops the typing, as in any edit
        QCOMPARE(FormNewusers->DBEdit1->text(), QStringLiteral("LIIS"));
        type(QStringLiteral("llepp"));
        FormNewusers->DBEdit1->clearFocus(); // the edit keeps its text in the field
        QTest::keyClick(FormNewusers, Qt::Key_Escape);
    });
    QCOMPARE(result, core::ModalResult::OK);
    QVERIFY(FormNewusers->Posted);
    QCOMPARE(storedUser(f, 105), QStringLiteral("LLEPP"));
}

void TestPersonnel::aRefusedSaveStillCloses_data()
{
    QTest::addColumn<QString>("other"); // what another administrator does while the name is typed
    QTest::addColumn<QString>("stored");
    QTest::newRow("the row deleted") << QStringLiteral("delete from customer where customer_id = 107")
                                     << QStringLiteral("(no row)");
    QTest::newRow("another name linked") << QStringLiteral("update customer set c_user = 'ANNEI' where customer_id = 107")
                                         << QStringLiteral("ANNEI");
}

void TestPersonnel::aRefusedSaveStillCloses()
{
    QFETCH(QString, other);
    QFETCH(QString, stored);
    MainWindowFixture f;
    f.connectAs();
    const core::ModalResult result = personnel([&] {
        choosePerson(QStringLiteral("Anne Ilves"));
        type(QStringLiteral("ailves"));
        f.servers.connect()->backend().execute(other, {});
        FormNewusers->BitBtn1->click();
    });
    QCOMPARE(result, core::ModalResult::OK);
    QVERIFY(!FormNewusers->Posted);
    const QStringList errors = f.messages.texts(MessageKind::Error);
    QCOMPARE(errors.size(), 1);
    QVERIFY2(errors.first().contains(QLatin1String("changed or deleted by another user")), qPrintable(errors.first()));
    QVERIFY(!FormNewusers->Table1->active());
    QCOMPARE(storedUser(f, 107), stored);
}

void TestPersonnel::aNameSetByAnAssistiveToolIsSaved()
{
    MainWindowFixture f;
    f.connectAs();
    personnel([] {
        choosePerson(QStringLiteral("Toomas Mets"));
        // A screen reader's edit sets the text without typing it.
        QAccessibleInterface *edit = QAccessible::queryAccessibleInterface(FormNewusers->DBEdit1);
        QVERIFY(edit);
        edit->setText(QAccessible::Value, QStringLiteral("torg"));
        QCOMPARE(FormNewusers->DBEdit1->text(), QStringLiteral("TORG"));
        // The company name is read-only to it as to the keyboard.
        QAccessible::queryAccessibleInterface(FormNewusers->DBEdit2)->setText(QAccessible::Value, QStringLiteral("X"));
        QCOMPARE(FormNewusers->DBEdit2->text(), QStringLiteral("Toomas Mets"));
        FormNewusers->BitBtn1->click();
    });
    QVERIFY(FormNewusers->Posted);
    QCOMPARE(storedUser(f, 106), QStringLiteral("TORG"));
    QVERIFY(f.messages.entries().isEmpty());
}

void TestPersonnel::aFailedShowingLeavesNothingOpen()
{
    MainWindowFixture f;
    f.connectAs();
    f.servers.connect()->backend().execute(QStringLiteral("drop table customer"), {});
    {
        testsupport::ModalDriver driver; // no window may appear
        QVERIFY_THROWS_EXCEPTION(std::exception, FormNewusers->showModal());
    }
    QVERIFY(!FormNewusers->isVisible());
    // The list of persons is closed again, so that the next showing reads it anew
    // rather than offering the persons of this attempt.
    QVERIFY(!FormNewusers->QueryPersonnel->active());
    QVERIFY(!FormNewusers->Table1->active());
}

QTEST_MAIN(TestPersonnel)
#include "tst_personnel.moc"
