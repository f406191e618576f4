#include "MainWindowFixture.h"

#include "lookup/find.h"

#include <QAccessible>
#include <QHeaderView>

namespace {

// Runs the find window from the main window: the action searches and chooses, then
// presses OK or Cancel, or leaves the window some other way.
void find(const std::function<void()> &action)
{
    testsupport::ModalDriver driver;
    driver.then([=](QWidget *) { action(); });
    Form1->SpeedButton3->click();
    MainWindowFixture::activate();
}

QStringList column(int c)
{
    QStringList values;
    auto *model = FormFind->DBGrid1->model();
    for (int row = 0; row < model->rowCount(); ++row)
        values.append(model->index(row, c).data().toString());
    return values;
}

void search(const QString &text, bool byUser = false)
{
    (byUser ? FormFind->RadioButtonUser : FormFind->RadioButtonExe)->setChecked(true);
    FormFind->EditFind->setText(text);
    FormFind->BitBtn3->click();
}

void selectRow(int row)
{
    FormFind->DBGrid1->setCurrentIndex(FormFind->DBGrid1->model()->index(row, 0));
}

} // namespace

class TestFind : public QObject {
    Q_OBJECT
private slots:
    void theWindow();
    void searchingByExecutableName();
    void searchingByUserName();
    void anEmptyTextOrNoCompanyFindsNothing();
    void okMovesTheRegister();
    void doubleClickIsOk();
    void whatLeavesTheRegisterWhereItIs();
};

void TestFind::theWindow()
{
    MainWindowFixture f;
    QCOMPARE(FormFind->windowTitle(), QStringLiteral("FormFind"));
    QCOMPARE(FormFind->EditFind->text(), QStringLiteral("%"));
    QVERIFY(FormFind->RadioButtonExe->isChecked());
    QCOMPARE(FormFind->RadioButtonExe->text(), QStringLiteral("EXE. name"));
    QCOMPARE(FormFind->RadioButtonUser->text(), QStringLiteral("Username"));
    QCOMPARE(FormFind->BitBtn3->text(), QStringLiteral("Otsi"));
    QVERIFY(FormFind->BitBtn3->isDefault());
    QVERIFY(!FormFind->ResultQuery);
    // A screen reader can name every control that takes the focus.
    for (QWidget *w : FormFind->findChildren<QWidget *>()) {
        if (w->focusPolicy() != Qt::NoFocus && w->isVisibleTo(FormFind))
            QVERIFY2(!QAccessible::queryAccessibleInterface(w)->text(QAccessible::Name).isEmpty(), qPrintable(w->objectName()));
    }
    // Letters typed in capitals arrive in small letters.
    FormFind->EditFind->clear();
    FormFind->EditFind->setFocus();
    QTest::keyClicks(FormFind->EditFind, QStringLiteral("LoanApp%"));
    QCOMPARE(FormFind->EditFind->text(), QStringLiteral("loanapp%"));
}

void TestFind::searchingByExecutableName()
{
    MainWindowFixture f;
    f.connectAs();
    find([&] {
        search(QStringLiteral("%"));
        QCOMPARE(FormFind->ResultQuery, FormFind->QueryExe);
        QCOMPARE(FormFind->DBGrid1->model()->rowCount(), 30);
        QCOMPARE(FormFind->DBGrid1->titles(), (QStringList{QStringLiteral("PROG_GROUP"), QStringLiteral("PROG_EXE"),
                                                           QStringLiteral("PROG_NAME"), QStringLiteral("PROG_AUTHOR")}));
        // Each column as wide as its display width in digits, and never narrower than its title.
        const controls::DBGrid *grid = FormFind->DBGrid1;
        const int digit = grid->fontMetrics().horizontalAdvance(QLatin1Char('0'));
        const QList<int> widths{8, 32, 32, 8};
        for (int c = 0; c < widths.size(); ++c) {
            QVERIFY(grid->columnWidth(c) >= widths.at(c) * digit);
            QVERIFY(grid->columnWidth(c) > grid->horizontalHeader()->fontMetrics().horizontalAdvance(grid->titles().at(c)));
        }
        QVERIFY(grid->columnWidth(0) < grid->columnWidth(1));
        // Ordered by group, then executable, without regard to case; no group comes last.
        const QStringList groups = column(0);
        QCOMPARE(groups.first(), QStringLiteral("Accounts"));
        QCOMPARE(column(1).first(), QStringLiteral("ACCOUNTS.EXE"));
        QVERIFY(groups.last().isEmpty());
        // Enter in the search text searches too.
        FormFind->EditFind->setText(QStringLiteral("card%"));
        FormFind->EditFind->setFocus();
        QTest::keyClick(FormFind->EditFind, Qt::Key_Return);
        QCOMPARE(column(1), (QStringList{QStringLiteral("CARDISS.EXE"), QStringLiteral("CARDLIM.EXE"), QStringLiteral("CARDTRX.EXE")}));
        search(QStringLiteral("_oanapp.exe"));
        QCOMPARE(column(2), QStringList{QStringLiteral("Loan application")});
        testsupport::screenshot(FormFind, QStringLiteral("find-window"));
        // At its smallest the window keeps room for a pattern in the search text.
        FormFind->resize(1, 1);
        QVERIFY(FormFind->EditFind->width() > FormFind->fontMetrics().horizontalAdvance(QStringLiteral("%loanapp.exe%")));
        testsupport::screenshot(FormFind, QStringLiteral("find-window-smallest"));
        FormFind->BitBtn2->click();
    });
}

void TestFind::searchingByUserName()
{
    MainWindowFixture f;
    f.connectAs();
    find([&] {
        search(QStringLiteral("%"), true);
        QCOMPARE(FormFind->ResultQuery, FormFind->QueryUsr);
        QCOMPARE(FormFind->DBGrid1->titles(), (QStringList{QStringLiteral("USERNAME"), QStringLiteral("PROG_GROUP"), QStringLiteral("PROG_EXE")}));
        QCOMPARE(FormFind->DBGrid1->model()->rowCount(), 23); // every grant in company 1
        QCOMPARE(column(0).first(), QStringLiteral("ANNE"));
        // Capitals typed are searched in small letters: the same rows.
        FormFind->EditFind->clear();
        FormFind->EditFind->setFocus();
        QTest::keyClicks(FormFind->EditFind, QStringLiteral("MA%"));
        FormFind->BitBtn3->click();
        QCOMPARE(column(0), (QStringList{QStringLiteral("MARGUS"), QStringLiteral("MARI"), QStringLiteral("MARI"),
                                         QStringLiteral("MARI"), QStringLiteral("MARI")}));
        QCOMPARE(column(2), (QStringList{QStringLiteral("NETBANK.EXE"), QStringLiteral("ACCOUNTS.EXE"), QStringLiteral("LOANAPP.EXE"),
                                         QStringLiteral("LOANSCH.EXE"), QStringLiteral("NETBANK.EXE")}));
        FormFind->BitBtn2->click();
    });
    // The text and the mode stay for the next showing; the result is closed.
    find([] {
        QCOMPARE(FormFind->EditFind->text(), QStringLiteral("ma%"));
        QVERIFY(FormFind->RadioButtonUser->isChecked());
        QCOMPARE(FormFind->DBGrid1->model()->rowCount(), 0);
        FormFind->BitBtn2->click();
    });
}

void TestFind::anEmptyTextOrNoCompanyFindsNothing()
{
    MainWindowFixture f;
    f.connectAs();
    find([] {
        search(QString());
        QCOMPARE(FormFind->DBGrid1->model()->rowCount(), 0);
        search(QString(), true);
        QCOMPARE(FormFind->DBGrid1->model()->rowCount(), 0);
        FormFind->BitBtn2->click();
    });
    Form1->DBLookupComboBox1->setKeyValue(99);
    QVERIFY(Form1->DBLookupComboBox1->text().isEmpty());
    find([] {
        search(QStringLiteral("%"), true);
        QCOMPARE(FormFind->DBGrid1->model()->rowCount(), 0);
        FormFind->BitBtn1->click();
    });
    QCOMPARE(Form1->userprogTablePROG_ID->asFloat(), 1.0);
}

void TestFind::okMovesTheRegister()
{
    MainWindowFixture f;
    f.connectAs();
    find([] {
        search(QStringLiteral("accounts.exe"));
        QCOMPARE(FormFind->DBGrid1->model()->rowCount(), 1);
        FormFind->BitBtn1->click();
    });
    QCOMPARE(Form1->userprogTablePROG_ID->asFloat(), 8.0);
    QCOMPARE(Form1->DBEdit6->text(), QStringLiteral("ACCOUNTS.EXE"));
    QCOMPARE(MainWindowFixture::gridUsers(), (QStringList{QStringLiteral("LIIS"), QStringLiteral("MARI"), QStringLiteral("PEETER")}));
    QVERIFY(!FormFind->QueryExe->active());
    // By user name: the program of the chosen grant.
    find([] {
        search(QStringLiteral("evelin"), true);
        QCOMPARE(column(2), (QStringList{QStringLiteral("CUSTREG.EXE"), QStringLiteral("BALANCE.EXE")}));
        selectRow(1);
        FormFind->BitBtn1->click();
    });
    QCOMPARE(Form1->DBEdit6->text(), QStringLiteral("BALANCE.EXE"));
    QVERIFY(!FormFind->QueryUsr->active());
}

void TestFind::doubleClickIsOk()
{
    MainWindowFixture f;
    f.connectAs();
    find([] {
        search(QStringLiteral("%"));
        selectRow(2);
        const QModelIndex cell = FormFind->DBGrid1->model()->index(2, 1);
        QCOMPARE(cell.data().toString(), QStringLiteral("PAYORD.EXE"));
        const QRect rect = FormFind->DBGrid1->visualRect(cell);
        QTest::mousePress(FormFind->DBGrid1->viewport(), Qt::LeftButton, {}, rect.center());
        QTest::mouseRelease(FormFind->DBGrid1->viewport(), Qt::LeftButton, {}, rect.center());
        QTest::mouseDClick(FormFind->DBGrid1->viewport(), Qt::LeftButton, {}, rect.center());
    });
    QCOMPARE(Form1->DBEdit6->text(), QStringLiteral("PAYORD.EXE"));
}

void TestFind::whatLeavesTheRegisterWhereItIs()
{
    MainWindowFixture f;
    f.connectAs();
    Form1->userprogTable->locate(QStringLiteral("PROG_ID"), 5);
    // Cancel.
    find([] {
        search(QStringLiteral("accounts.exe"));
        FormFind->BitBtn2->click();
    });
    QCOMPARE(Form1->userprogTablePROG_ID->asFloat(), 5.0);
    // OK on an empty result.
    find([] {
        search(QStringLiteral("nothing%"));
        FormFind->BitBtn1->click();
    });
    QCOMPARE(Form1->userprogTablePROG_ID->asFloat(), 5.0);
    // A program the filter hides.
    Form1->userprogTable->setFilter(QStringLiteral("prog_group='deposits'"));
    Form1->userprogTable->setFiltered(true);
    find([] {
        search(QStringLiteral("accounts.exe"));
        FormFind->BitBtn1->click();
    });
    QCOMPARE(Form1->userprogTablePROG_ID->asFloat(), 5.0);
    QVERIFY(f.messages.entries().isEmpty());
    // No search at all.
    find([] { FormFind->BitBtn1->click(); });
}

QTEST_MAIN(TestFind)
#include "tst_find.moc"
