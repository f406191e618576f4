#include "MainWindowFixture.h"

#include "grants/chosedb.h"
#include "grants/progpas.h"

#include <QAbstractItemView>
#include <QAccessible>
#include <QAccessibleActionInterface>
#include <QHeaderView>
#include <QScreen>
#include <QScrollBar>

using controls::MessageKind;

namespace {

// Shows the window with "U" and makes it the active one, as the user's click would.
void openWindow()
{
    MainWindowFixture::activate(); // "U" is pressed in the main window
    Form1->BitBtn2->click();
    QVERIFY(FormProg->isVisible());
    FormProg->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(FormProg));
}

// Types a name into the user field and leaves it with Tab.
void loadUser(const QString &typed)
{
    FormProg->Edit1->setFocus();
    QTRY_COMPARE(QApplication::focusWidget(), static_cast<QWidget *>(FormProg->Edit1));
    FormProg->Edit1->selectAll();
    QTest::keyClicks(FormProg->Edit1, typed);
    QTest::keyClick(FormProg->Edit1, Qt::Key_Tab);
}

QStringList names(const controls::DBGrid *grid)
{
    QStringList list;
    const QAbstractItemModel *model = grid->model();
    for (int row = 0; row < model->rowCount(); ++row)
        list.append(model->index(row, 1).data().toString());
    return list;
}

QStringList available() { return names(FormProg->DBGrid1); }
QStringList granted() { return names(FormProg->DBGrid2); }

// The program name of the row a grid stands on.
QString current(const controls::DBGrid *grid)
{
    return grid->currentIndex().isValid() ? grid->model()->index(grid->currentIndex().row(), 1).data().toString() : QString();
}

void clickRow(controls::DBGrid *grid, const QString &name)
{
    const int row = int(names(grid).indexOf(name));
    QVERIFY2(row >= 0, qPrintable(name));
    const QModelIndex index = grid->model()->index(row, 1);
    grid->scrollTo(index);
    QTest::mouseClick(grid->viewport(), Qt::LeftButton, {}, grid->visualRect(index).center());
    QCOMPARE(current(grid), name);
}

// The programs a user holds in a company, by number.
QList<int> stored(MainWindowFixture &f, const QString &user, int company)
{
    auto c = f.servers.connect();
    QList<int> ids;
    for (const QString &id : testsupport::column(*c, QStringLiteral("select vortalix_prog_id from user_prog_db where "
                                                                    "username = '%1' and database_id = %2 order by 1")
                                                         .arg(user)
                                                         .arg(company)))
        ids.append(id.toInt());
    return ids;
}

void execute(MainWindowFixture &f, const QString &sql)
{
    f.servers.connect()->backend().execute(sql, {});
}

// Chooses a company in the main window's selector as a user does.
void chooseCompany(int row)
{
    Form1->DBLookupComboBox1->choose(row);
    Form1->DBLookupComboBox1->hidePopup();
    QTest::qWait(20);
}

struct Buttons {
    bool grant, revoke, copy;
    bool operator==(const Buttons &) const = default;
};

Buttons buttons()
{
    return {FormProg->ExcludeBtn->isEnabled(), FormProg->IncludeBtn->isEnabled(), FormProg->BitBtn1->isEnabled()};
}

const QStringList mariGranted{QStringLiteral("Current accounts"), QStringLiteral("Loan application"),
                              QStringLiteral("Loan schedule"), QStringLiteral("Internet bank")};

// The copy dialog, answered by the action; "U" window stays.
void copyWith(const std::function<void()> &action)
{
    testsupport::ModalDriver driver;
    driver.then([=](QWidget *dialog) {
        QCOMPARE(dialog, static_cast<QWidget *>(FormChoseDB));
        action();
    });
    FormProg->BitBtn1->click();
}

// Clicks a line of the copy dialog's list.
void chooseLine(int row)
{
    QListWidget *list = FormChoseDB->DBLookupListBox1;
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, list->visualItemRect(list->item(row)).center());
    QVERIFY(list->item(row)->isSelected());
}

QStringList offered()
{
    QStringList list;
    for (int i = 0; i < FormChoseDB->DBLookupListBox1->count(); ++i)
        list.append(FormChoseDB->DBLookupListBox1->item(i)->text());
    return list;
}

} // namespace

class TestProgPas : public QObject {
    Q_OBJECT
private slots:
    void theWindowRightAfterShowing();
    void aNameInLowerCaseLoadsBothLists();
    void aUserWithNoGrant();
    void theRegisterFilter_data();
    void theRegisterFilter();
    void aFilterOnColumnsTheGrantsLack();
    void grantAndRevokeOneProgramEach();
    void noWriteWithoutANameOrARow();
    void grantingTheLastAvailableProgramDisablesTheCopy();
    void theListsAndTheWritesFollowTheCompany();
    void hidingClosesTheLists();
    void theResizeRule();
    void copyCancelledOrWithNothingToOffer();
    void copyInsertsOnlyTheMissingGrants();
    void copyOfAUserWithNothingToCopy();
    void copyRefusedWithoutAChoiceOrAName();
    void aListThatCannotOpenShowsOneErrorAndOffersNoWrite();
    void aFailingWriteShowsWhatTheDatabaseHolds();
    void anAssistiveToolGrantsTheRowItSelected();
    void theCopyDialogByKeysAndAssistiveTools();
};

void TestProgPas::theWindowRightAfterShowing()
{
    MainWindowFixture f;
    f.connectAs();
    openWindow();
    QVERIFY(!FormProg->isModal());
    QVERIFY(Form1->isEnabled());
    const QList<std::pair<QWidget *, QString>> captions{
        {FormProg->DBText1, QStringLiteral("VORTA")},          {FormProg->BitBtn1, QStringLiteral("Copy from other DB")},
        {FormProg->Label1, QStringLiteral("user")},            {FormProg->SpeedButton1, QString()},
        {FormProg->SpeedButton2, QStringLiteral("Print")},     {FormProg->CheckBox1, QStringLiteral("Apply filter")},
        {FormProg->Label2, QStringLiteral("Available")},       {FormProg->Label3, QStringLiteral("Granted")},
        {FormProg->ExcludeBtn, QStringLiteral(">")},           {FormProg->IncludeBtn, QStringLiteral("<")}};
    for (const auto &[widget, caption] : captions)
        QCOMPARE(widget->property("text").toString(), caption);
    QCOMPARE(FormProg->BitBtn1->toolTip(), QStringLiteral("Copy all grants from other DB"));
    QCOMPARE(FormProg->SpeedButton2->toolTip(), QStringLiteral("Print list of granted programs"));
    QVERIFY(!FormProg->SpeedButton1->accessibleName().isEmpty());
    // A screen reader reads the company out, not only that there is one.
    QCOMPARE(QAccessible::queryAccessibleInterface(FormProg->DBText1)->text(QAccessible::Name), QStringLiteral("VORTA"));
    QVERIFY(FormProg->ExcludeBtn->font().bold() && FormProg->IncludeBtn->font().bold());

    // The first row left to right, the check box under it; "Available" left of the
    // arrows, ">" above "<", "Granted" on the right.
    auto x = [](QWidget *w) { return w->mapTo(FormProg, QPoint()).x(); };
    auto y = [](QWidget *w) { return w->mapTo(FormProg, QPoint()).y(); };
    const QList<QWidget *> firstRow{FormProg->DBText1, FormProg->BitBtn1, FormProg->Label1,
                                    FormProg->Edit1, FormProg->SpeedButton1, FormProg->SpeedButton2};
    for (int i = 1; i < firstRow.size(); ++i)
        QVERIFY2(x(firstRow.at(i - 1)) < x(firstRow.at(i)), qPrintable(firstRow.at(i)->objectName()));
    QVERIFY(y(FormProg->CheckBox1) > y(FormProg->Edit1));
    QVERIFY(x(FormProg->CheckBox1) < x(FormProg->BitBtn1));
    QVERIFY(x(FormProg->DBGrid1) < x(FormProg->ExcludeBtn));
    QVERIFY(x(FormProg->ExcludeBtn) < x(FormProg->DBGrid2));
    QVERIFY(y(FormProg->ExcludeBtn) < y(FormProg->IncludeBtn));
    QVERIFY(y(FormProg->Label2) < y(FormProg->DBGrid1) && y(FormProg->Label3) < y(FormProg->DBGrid2));

    for (controls::DBGrid *grid : {FormProg->DBGrid1, FormProg->DBGrid2}) {
        QCOMPARE(grid->titles(), (QStringList{QStringLiteral("Group"), QStringLiteral("PROG_NAME"), QStringLiteral("PROG_EXE")}));
        QCOMPARE(grid->selectionBehavior(), QAbstractItemView::SelectRows);
        QCOMPARE(grid->editTriggers(), QAbstractItemView::NoEditTriggers);
        QVERIFY(!grid->verticalHeader()->isVisible());
        QCOMPARE(grid->model()->rowCount(), 0);
    }

    // Empty name, empty grids, no write offered; the check box ticked but disabled, since
    // the register is not filtered.
    QVERIFY(FormProg->Edit1->text().isEmpty());
    QCOMPARE(buttons(), (Buttons{false, false, false}));
    QVERIFY(FormProg->CheckBox1->isChecked());
    QVERIFY(!FormProg->CheckBox1->isEnabled());
    QCOMPARE(FormProg->DatabaseId, 1.0);
    QCOMPARE(QApplication::focusWidget(), static_cast<QWidget *>(FormProg->Edit1));

    // The main window stays usable, and "U" again only brings the window forward.
    FormProg->Edit1->setText(QStringLiteral("MARI"));
    Form1->BitBtn2->click();
    QCOMPARE(FormProg->Edit1->text(), QStringLiteral("MARI"));
    QVERIFY(f.messages.entries().isEmpty());
}

void TestProgPas::aNameInLowerCaseLoadsBothLists()
{
    MainWindowFixture f;
    f.connectAs();
    openWindow();
    FormProg->Edit1->setFocus();
    QTest::keyClicks(FormProg->Edit1, QStringLiteral("mAri"));
    QCOMPARE(FormProg->Edit1->text(), QStringLiteral("MARI"));
    QCOMPARE(FormProg->DBGrid1->model()->rowCount(), 0); // typing alone loads nothing
    QTest::keyClick(FormProg->Edit1, Qt::Key_Tab);
    QCOMPARE(granted(), mariGranted);
    const QStringList all = available();
    QCOMPARE(all.size(), 26);
    QVERIFY(!all.contains(QStringLiteral("Loan application")));
    // Group, then name; the program without a group comes last.
    QCOMPARE(all.mid(0, 3), (QStringList{QStringLiteral("Account statement"), QStringLiteral("Payment orders"),
                                         QStringLiteral("SWIFT import")}));
    QCOMPARE(all.last(), QStringLiteral("Scratch tool"));
    QCOMPARE(FormProg->DBGrid1->model()->index(0, 0).data().toString(), QStringLiteral("Accounts"));
    QCOMPARE(FormProg->DBGrid1->model()->index(0, 2).data().toString(), QStringLiteral("ACCSTMT.EXE"));
    QCOMPARE(buttons(), (Buttons{true, true, true}));
    QCOMPARE(current(FormProg->DBGrid1), all.first());
    QCOMPARE(current(FormProg->DBGrid2), mariGranted.first());
    // At the default size every column holds its widest value, and nothing scrolls sideways.
    FormProg->resize(680, 480);
    for (controls::DBGrid *grid : {FormProg->DBGrid1, FormProg->DBGrid2}) {
        QCOMPARE(grid->horizontalScrollBar()->maximum(), 0);
        for (int row = 0; row < grid->model()->rowCount(); ++row)
            for (int c = 0; c < 3; ++c)
                QVERIFY(grid->fontMetrics().horizontalAdvance(grid->model()->index(row, c).data().toString())
                        < grid->columnWidth(c) - 6);
    }
    testsupport::screenshot(FormProg, QStringLiteral("programs-of-one-user"));
    FormProg->resize(300, 480);
    testsupport::screenshot(FormProg, QStringLiteral("programs-of-one-user-narrowest"));

    // Enter in the field, the reload button and the check box read the lists again.
    execute(f, QStringLiteral("insert into user_prog_db values ('MARI', 3, 1, 0)"));
    FormProg->SpeedButton1->click();
    QCOMPARE(granted().size(), 5);
    execute(f, QStringLiteral("delete from user_prog_db where username = 'MARI' and vortalix_prog_id = 3"));
    QTest::keyClick(FormProg->Edit1, Qt::Key_Return);
    QCOMPARE(granted(), mariGranted);

    // Enter reads the lists; leaving the field then, for the name they were read for, reads
    // nothing again: a click on a row far down lands on that row, and Tab keeps the lists.
    FormProg->resize(680, 300);
    FormProg->Edit1->setFocus();
    QTRY_COMPARE(QApplication::focusWidget(), static_cast<QWidget *>(FormProg->Edit1));
    QTest::keyClick(FormProg->Edit1, Qt::Key_Return);
    execute(f, QStringLiteral("insert into user_prog_db values ('MARI', 3, 1, 0)"));
    clickRow(FormProg->DBGrid1, all.last());
    QVERIFY(FormProg->DBGrid1->verticalScrollBar()->value() > 0);
    QCOMPARE(granted(), mariGranted);
    FormProg->Edit1->setFocus();
    QTRY_COMPARE(QApplication::focusWidget(), static_cast<QWidget *>(FormProg->Edit1));
    QTest::keyClick(FormProg->Edit1, Qt::Key_Tab);
    QCOMPARE(granted(), mariGranted);
    QCOMPARE(current(FormProg->DBGrid1), all.last());
    QVERIFY(f.messages.entries().isEmpty());
}

void TestProgPas::aUserWithNoGrant()
{
    MainWindowFixture f;
    f.connectAs();
    openWindow();
    loadUser(QStringLiteral("auditor"));
    QVERIFY(granted().isEmpty());
    auto c = f.servers.connect();
    QCOMPARE(available(), testsupport::column(*c, QStringLiteral("select prog_name from vortalix_prog "
                                                                 "order by prog_group nulls last, prog_name")));
    QCOMPARE(buttons(), (Buttons{true, false, true}));
}

void TestProgPas::theRegisterFilter_data()
{
    QTest::addColumn<QString>("filter");
    QTest::addColumn<bool>("registerFiltered");
    QTest::addColumn<bool>("ticked");
    // What the lists show with the filter applied.
    QTest::addColumn<QStringList>("availableFiltered");
    QTest::addColumn<QStringList>("grantedFiltered");

    const QStringList loansAvailable{QStringLiteral("Collateral register"), QStringLiteral("Overdue loans")};
    const QStringList loansGranted{QStringLiteral("Loan application"), QStringLiteral("Loan schedule")};
    const QString loans = QStringLiteral("prog_group='Loans'");
    QTest::newRow("register not filtered, ticked") << loans << false << true << loansAvailable << loansGranted;
    QTest::newRow("register not filtered, not ticked") << loans << false << false << loansAvailable << loansGranted;
    QTest::newRow("filtered, ticked") << loans << true << true << loansAvailable << loansGranted;
    QTest::newRow("filtered, not ticked") << loans << true << false << loansAvailable << loansGranted;
    // The register ignores letter case, the two lists do not.
    QTest::newRow("other letter case") << QStringLiteral("prog_group='loans'") << true << true << QStringList()
                                       << QStringList();
    QTest::newRow("prefix") << QStringLiteral("prog_exe='LOAN*' and prog_type='1'") << true << true << QStringList()
                            << loansGranted;
}

void TestProgPas::theRegisterFilter()
{
    QFETCH(QString, filter);
    QFETCH(bool, registerFiltered);
    QFETCH(bool, ticked);
    QFETCH(QStringList, availableFiltered);
    QFETCH(QStringList, grantedFiltered);

    MainWindowFixture f;
    f.connectAs();
    openWindow();
    loadUser(QStringLiteral("MARI"));
    const QStringList allAvailable = available();
    FormProg->hide();

    Form1->userprogTable->setFilter(filter);
    Form1->userprogTable->setFiltered(registerFiltered);
    if (registerFiltered)
        QCOMPARE(Form1->userprogTable->recordCount(), filter.contains(QLatin1String("oans")) ? 4 : 2);
    FormProg->CheckBox1->setChecked(ticked);
    openWindow();
    QCOMPARE(FormProg->CheckBox1->isEnabled(), registerFiltered);
    QCOMPARE(FormProg->CheckBox1->isChecked(), ticked);
    loadUser(QStringLiteral("MARI"));
    const bool applied = registerFiltered && ticked;
    QCOMPARE(available(), applied ? availableFiltered : allAvailable);
    QCOMPARE(granted(), applied ? grantedFiltered : mariGranted);
    QCOMPARE(buttons().copy, applied ? !availableFiltered.isEmpty() : true);
    QVERIFY(f.messages.entries().isEmpty());
    QVERIFY(FormProg->LabelStatus->text().isEmpty());

    if (registerFiltered) {
        // Clicking the box reloads both lists with the filter, or without it.
        QTest::mouseClick(FormProg->CheckBox1, Qt::LeftButton);
        QCOMPARE(FormProg->CheckBox1->isChecked(), !ticked);
        QCOMPARE(available(), !applied ? availableFiltered : allAvailable);
        QCOMPARE(granted(), !applied ? grantedFiltered : mariGranted);
    }

    // The main window turns its filter the other way while the window stays open: the next
    // reload follows the register as it is now, the box and the printed list with it.
    Form1->userprogTable->setFiltered(!registerFiltered);
    FormProg->SpeedButton1->click();
    QCOMPARE(FormProg->CheckBox1->isEnabled(), !registerFiltered);
    const bool nowApplied = !registerFiltered && FormProg->CheckBox1->isChecked();
    QCOMPARE(available(), nowApplied ? availableFiltered : allAvailable);
    QCOMPARE(granted(), nowApplied ? grantedFiltered : mariGranted);
    QCOMPARE(FormProg->QueryuserProg->filtered(), nowApplied);
}

void TestProgPas::aFilterOnColumnsTheGrantsLack()
{
    MainWindowFixture f;
    f.connectAs();
    Form1->userprogTable->setFilter(QStringLiteral("Prog_Author='Kask' and User_Name='JAAN'"));
    Form1->userprogTable->setFiltered(true);
    openWindow();
    loadUser(QStringLiteral("MARI"));
    QCOMPARE(available(), (QStringList{QStringLiteral("Collateral register"), QStringLiteral("Overdue loans")}));
    // The grants carry no author and no responsible user: they are shown unfiltered, and
    // the window says so, without an error at each reload.
    QCOMPARE(granted(), mariGranted);
    QVERIFY2(FormProg->LabelStatus->text().contains(QLatin1String("Prog_Author, User_Name")),
             qPrintable(FormProg->LabelStatus->text()));
    FormProg->SpeedButton1->click();
    QCOMPARE(granted(), mariGranted);
    QVERIFY(f.messages.entries().isEmpty());
    // Without the filter the note goes.
    QTest::mouseClick(FormProg->CheckBox1, Qt::LeftButton);
    QVERIFY(FormProg->LabelStatus->text().isEmpty());
    QCOMPARE(available().size(), 26);
}

void TestProgPas::grantAndRevokeOneProgramEach()
{
    MainWindowFixture f;
    f.connectAs();
    openWindow();
    loadUser(QStringLiteral("MARI"));
    clickRow(FormProg->DBGrid2, QStringLiteral("Loan schedule"));
    clickRow(FormProg->DBGrid1, QStringLiteral("Deposit contracts"));

    // ">" grants exactly the current row: it leaves "Available", which stands on its last
    // row, and joins "Granted" in its place, which stays on its row.
    FormProg->ExcludeBtn->click();
    QCOMPARE(stored(f, QStringLiteral("MARI"), 1), (QList<int>{1, 2, 5, 8, 18}));
    auto c = f.servers.connect();
    QCOMPARE(testsupport::column(*c, QStringLiteral("select ordinal from user_prog_db where username = 'MARI' "
                                                    "and vortalix_prog_id = 5")),
             QStringList{QStringLiteral("0")});
    QCOMPARE(stored(f, QStringLiteral("MARI"), 2), QList<int>{2});
    QCOMPARE(granted(), (QStringList{QStringLiteral("Current accounts"), QStringLiteral("Deposit contracts"),
                                     QStringLiteral("Loan application"), QStringLiteral("Loan schedule"),
                                     QStringLiteral("Internet bank")}));
    QCOMPARE(available().size(), 25);
    QVERIFY(!available().contains(QStringLiteral("Deposit contracts")));
    QCOMPARE(current(FormProg->DBGrid2), QStringLiteral("Loan schedule"));
    QCOMPARE(current(FormProg->DBGrid1), QStringLiteral("Scratch tool"));

    // "<" revokes exactly the current row: "Granted" falls back to its first row,
    // "Available" returns to its row.
    clickRow(FormProg->DBGrid1, QStringLiteral("Cash desk"));
    clickRow(FormProg->DBGrid2, QStringLiteral("Loan application"));
    FormProg->IncludeBtn->click();
    QCOMPARE(stored(f, QStringLiteral("MARI"), 1), (QList<int>{2, 5, 8, 18}));
    QCOMPARE(FormProg->LabelStatus->text(), QStringLiteral("Revoked LOANAPP.EXE from MARI in VORTA"));
    QCOMPARE(current(FormProg->DBGrid2), QStringLiteral("Current accounts"));
    QCOMPARE(current(FormProg->DBGrid1), QStringLiteral("Cash desk"));
    QVERIFY(available().contains(QStringLiteral("Loan application")));
    // Another user's grant of the same program stays.
    QCOMPARE(stored(f, QStringLiteral("JAAN"), 1), (QList<int>{1, 2, 3}));

    // From the keyboard: a row of "Available", Tab to ">", Space; then "<" the same way.
    FormProg->DBGrid1->setFocus();
    QTest::keyClick(FormProg->DBGrid1, Qt::Key_Home, Qt::ControlModifier);
    QTest::keyClick(FormProg->DBGrid1, Qt::Key_Down);
    QCOMPARE(current(FormProg->DBGrid1), QStringLiteral("Payment orders"));
    QTest::keyClick(FormProg->DBGrid1, Qt::Key_Tab);
    QCOMPARE(QApplication::focusWidget(), static_cast<QWidget *>(FormProg->ExcludeBtn));
    QTest::keyClick(FormProg->ExcludeBtn, Qt::Key_Space);
    QVERIFY(stored(f, QStringLiteral("MARI"), 1).contains(10));
    QCOMPARE(QApplication::focusWidget(), static_cast<QWidget *>(FormProg->ExcludeBtn)); // the focus stays
    QTest::keyClick(FormProg->ExcludeBtn, Qt::Key_Tab);
    QTest::keyClick(FormProg->IncludeBtn, Qt::Key_Tab);
    QCOMPARE(QApplication::focusWidget(), static_cast<QWidget *>(FormProg->DBGrid2));
    QTest::keyClick(FormProg->DBGrid2, Qt::Key_End, Qt::ControlModifier);
    QCOMPARE(current(FormProg->DBGrid2), QStringLiteral("Internet bank"));
    QTest::keyClick(FormProg->DBGrid2, Qt::Key_Backtab, Qt::ShiftModifier);
    QTest::keyClick(FormProg->IncludeBtn, Qt::Key_Space);
    QVERIFY(!stored(f, QStringLiteral("MARI"), 1).contains(18));
    // Tab goes the way the controls stand on the screen, the copy button first.
    FormProg->BitBtn1->setFocus();
    for (QWidget *next : {static_cast<QWidget *>(FormProg->Edit1), static_cast<QWidget *>(FormProg->SpeedButton1),
                          static_cast<QWidget *>(FormProg->SpeedButton2), static_cast<QWidget *>(FormProg->DBGrid1)}) {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        QTRY_COMPARE(QApplication::focusWidget(), next);
    }
    QVERIFY(f.messages.entries().isEmpty());
}

void TestProgPas::noWriteWithoutANameOrARow()
{
    MainWindowFixture f;
    f.connectAs();
    openWindow();
    // The lists of no one: every program is available, and nothing may be granted.
    FormProg->SpeedButton1->click();
    QCOMPARE(available().size(), 30);
    QCOMPARE(buttons(), (Buttons{false, false, true}));
    // A name typed but not yet loaded: a click reads the lists for it and writes nothing.
    FormProg->Edit1->setFocus();
    QTest::keyClicks(FormProg->Edit1, QStringLiteral("anne"));
    QCOMPARE(buttons(), (Buttons{true, false, true}));
    FormProg->ExcludeBtn->click();
    QVERIFY(FormProg->LabelStatus->text().contains(QLatin1String("nothing was granted")));
    QCOMPARE(stored(f, QStringLiteral("ANNE"), 1), QList<int>{15});
    QCOMPARE(granted(), QStringList{QStringLiteral("Card issuing")});
    // Emptying the name takes both arrows away.
    FormProg->Edit1->clear();
    QCOMPARE(buttons(), (Buttons{false, false, true}));
    QVERIFY(f.messages.entries().isEmpty());
}

void TestProgPas::grantingTheLastAvailableProgramDisablesTheCopy()
{
    MainWindowFixture f;
    f.connectAs();
    Form1->userprogTable->setFilter(QStringLiteral("prog_group='Web'"));
    Form1->userprogTable->setFiltered(true);
    openWindow();
    loadUser(QStringLiteral("MARI"));
    QCOMPARE(available(), (QStringList{QStringLiteral("Internet bank admin"), QStringLiteral("Web forms")}));
    FormProg->ExcludeBtn->click();
    QCOMPARE(available(), QStringList{QStringLiteral("Web forms")});
    QCOMPARE(buttons(), (Buttons{true, true, true}));
    FormProg->ExcludeBtn->click();
    QVERIFY(available().isEmpty());
    QCOMPARE(granted(), (QStringList{QStringLiteral("Internet bank"), QStringLiteral("Internet bank admin"),
                                     QStringLiteral("Web forms")}));
    QCOMPARE(buttons(), (Buttons{false, true, false}));
    QCOMPARE(stored(f, QStringLiteral("MARI"), 1).size(), 6);
}

void TestProgPas::theListsAndTheWritesFollowTheCompany()
{
    MainWindowFixture f;
    f.connectAs();
    openWindow();
    loadUser(QStringLiteral("MARI"));
    clickRow(FormProg->DBGrid1, QStringLiteral("Cash desk"));
    chooseCompany(2); // LIISING
    QCOMPARE(FormProg->DBText1->text(), QStringLiteral("LIISING"));
    // The lists show VORTA still: a grant now would not mean the company shown. The
    // click reads them again for LIISING and writes nothing.
    FormProg->ExcludeBtn->click();
    QCOMPARE(stored(f, QStringLiteral("MARI"), 1).size(), 4);
    QCOMPARE(stored(f, QStringLiteral("MARI"), 2), QList<int>{2});
    QCOMPARE(granted(), QStringList{QStringLiteral("Loan schedule")});
    QCOMPARE(FormProg->DatabaseId, 2.0);
    QVERIFY(FormProg->LabelStatus->text().contains(QLatin1String("nothing was granted")));
    clickRow(FormProg->DBGrid1, QStringLiteral("Cash desk"));
    FormProg->ExcludeBtn->click();
    QCOMPARE(stored(f, QStringLiteral("MARI"), 2), (QList<int>{2, 12}));
    QCOMPARE(stored(f, QStringLiteral("MARI"), 1).size(), 4);
    QCOMPARE(FormProg->LabelStatus->text(), QStringLiteral("Granted CASHDESK.EXE to MARI in LIISING"));

    // With no company chosen the lists stay closed and say why; nothing can be written,
    // and a grant over the lists shown says no more than that.
    Form1->DBLookupComboBox1->setKeyValue(99);
    FormProg->ExcludeBtn->click();
    QVERIFY2(FormProg->LabelStatus->text().contains(QLatin1String("Choose a company")),
             qPrintable(FormProg->LabelStatus->text()));
    QCOMPARE(stored(f, QStringLiteral("MARI"), 2), (QList<int>{2, 12}));
    FormProg->SpeedButton1->click();
    QCOMPARE(FormProg->DBGrid1->model()->rowCount(), 0);
    QCOMPARE(buttons(), (Buttons{false, false, false}));
    QVERIFY(FormProg->LabelStatus->text().contains(QLatin1String("Choose a company")));

    // A disconnect in the main window closes the lists; a reload says what is missing.
    chooseCompany(0);
    FormProg->SpeedButton1->click();
    QCOMPARE(buttons(), (Buttons{true, true, true}));
    Form1->SpeedButton1->click();
    QCOMPARE(FormProg->DBGrid2->model()->rowCount(), 0);
    QCOMPARE(buttons(), (Buttons{false, false, false}));
    FormProg->SpeedButton1->click();
    QVERIFY(FormProg->LabelStatus->text().contains(QLatin1String("Connect")));
    QVERIFY(f.messages.entries().isEmpty());
}

void TestProgPas::hidingClosesTheLists()
{
    MainWindowFixture f;
    f.connectAs();
    openWindow();
    loadUser(QStringLiteral("MARI"));
    FormProg->CheckBox1->setChecked(false);
    FormProg->Edit1->setFocus(); // leaving the field by closing the window reads nothing
    QTRY_COMPARE(QApplication::focusWidget(), static_cast<QWidget *>(FormProg->Edit1));
    QTest::keyClick(FormProg->Edit1, Qt::Key_Escape);
    QVERIFY(!FormProg->isVisible());
    QVERIFY(!FormProg->QueryuserProg->active());
    QVERIFY(!FormProg->QueryAllProg->active());
    chooseCompany(1); // FONDID
    openWindow();
    QVERIFY(FormProg->Edit1->text().isEmpty());
    QCOMPARE(FormProg->DBGrid1->model()->rowCount(), 0);
    QCOMPARE(FormProg->DBGrid2->model()->rowCount(), 0);
    QCOMPARE(buttons(), (Buttons{false, false, false}));
    QVERIFY(!FormProg->CheckBox1->isChecked()); // the tick survives
    QCOMPARE(FormProg->DatabaseId, 10.0);
    QCOMPARE(FormProg->DBText1->text(), QStringLiteral("FONDID"));
}

void TestProgPas::theResizeRule()
{
    MainWindowFixture f;
    f.connectAs();
    openWindow();
    // The rule speaks of the outer width, frame included.
    const int frame = FormProg->frameGeometry().width() - FormProg->width();
    FormProg->resize(500 - frame, 400);
    QCOMPARE(FormProg->frameGeometry().width(), 500);
    QCOMPARE(FormProg->Panel3->width(), 231);
    QCOMPARE(FormProg->Panel4->width(), 231);
    QCOMPARE(FormProg->Panel4->mapTo(FormProg, QPoint()).x() + 231, FormProg->width());
    QVERIFY(FormProg->ExcludeBtn->isVisible());
    QVERIFY(FormProg->ExcludeBtn->width() <= FormProg->width() - 2 * 231);
    FormProg->resize(300, 120);
    QCOMPARE(FormProg->frameGeometry().width(), 408);
    // At its smallest the window still shows both arrows, and rows of both grids.
    auto bottom = [](QWidget *w) { return w->mapTo(FormProg, QPoint(0, w->height())).y(); };
    for (controls::DBGrid *grid : {FormProg->DBGrid1, FormProg->DBGrid2})
        QVERIFY(grid->viewport()->height() >= 2 * grid->verticalHeader()->defaultSectionSize() && bottom(grid) <= FormProg->height());
    QVERIFY(bottom(FormProg->IncludeBtn) <= FormProg->height());
    QCOMPARE(FormProg->Panel3->width(), 185);
    QCOMPARE(FormProg->Panel4->width(), 185);
    FormProg->resize(901 - frame, 400);
    QCOMPARE(FormProg->Panel3->width(), 431);
}

void TestProgPas::copyCancelledOrWithNothingToOffer()
{
    MainWindowFixture f;
    f.connectAs();
    openWindow();
    loadUser(QStringLiteral("MARI"));
    clickRow(FormProg->DBGrid1, QStringLiteral("Cash desk"));
    const QList<int> before = stored(f, QStringLiteral("MARI"), 1);
    copyWith([] {
        QCOMPARE(FormChoseDB->windowTitle(), QStringLiteral("Choose DB"));
        QCOMPARE(FormChoseDB->Memo1->toPlainText(),
                 QStringLiteral("\nChoose database from where to \ncopy all grants for chosen user"));
        QVERIFY(FormChoseDB->Memo1->isReadOnly());
        // The window's own company is not offered.
        QCOMPARE(offered(), (QStringList{QStringLiteral("LIISING"), QStringLiteral("FONDID")}));
        QVERIFY(FormChoseDB->BitBtn2->isEnabled());
        QCOMPARE(FormChoseDB->BitBtn1->text(), QStringLiteral("Cancel"));
        QCOMPARE(FormChoseDB->BitBtn2->text(), QStringLiteral("OK"));
        testsupport::screenshot(FormChoseDB, QStringLiteral("choose-database"));
        // In the middle of the screen, not over the window it was opened from.
        QCOMPARE(FormChoseDB->frameGeometry().center(), FormChoseDB->screen()->availableGeometry().center());
        chooseLine(0);
        FormChoseDB->BitBtn1->click();
    });
    QCOMPARE(FormChoseDB->ChosenDatabaseId, -1.0);
    QVERIFY(!FormChoseDB->Query1->active());
    QCOMPARE(stored(f, QStringLiteral("MARI"), 1), before);
    QCOMPARE(current(FormProg->DBGrid1), QStringLiteral("Cash desk")); // the lists stay as they were
    QVERIFY(FormProg->LabelStatus->text().isEmpty());

    // No other database: the list is empty and only Cancel closes the dialog.
    execute(f, QStringLiteral("delete from databases where database_id <> 1"));
    copyWith([] {
        QVERIFY(offered().isEmpty());
        QVERIFY(!FormChoseDB->BitBtn2->isEnabled());
        FormChoseDB->BitBtn1->click();
    });
    QCOMPARE(stored(f, QStringLiteral("MARI"), 1), before);
    QVERIFY(f.messages.entries().isEmpty());
}

void TestProgPas::copyInsertsOnlyTheMissingGrants()
{
    MainWindowFixture f;
    // In LIISING, MARI holds program 2 (which VORTA has too) and 30 (which VORTA has not).
    execute(f, QStringLiteral("insert into user_prog_db values ('MARI', 30, 2, 7)"));
    f.connectAs();
    chooseCompany(2);
    openWindow();
    loadUser(QStringLiteral("mari"));
    QCOMPARE(granted(), (QStringList{QStringLiteral("Old importer"), QStringLiteral("Loan schedule")}));
    const QString status = Form1->StatusBar1->currentMessage();
    f.busyStatuses.clear();
    copyWith([] {
        QCOMPARE(offered(), (QStringList{QStringLiteral("VORTA"), QStringLiteral("FONDID")}));
        chooseLine(0);
        FormChoseDB->BitBtn2->click();
    });
    QCOMPARE(FormChoseDB->ChosenDatabaseId, 1.0);
    // Its steps in the status text, with the busy cursor; then the status from before.
    QCOMPARE(f.busyStatuses, (QStringList{QStringLiteral("Copying the grants of MARI"),
                                          QStringLiteral("Reading the lists of MARI again"), status}));
    QCOMPARE(Form1->StatusBar1->currentMessage(), status);
    QCOMPARE(stored(f, QStringLiteral("MARI"), 2), (QList<int>{1, 2, 8, 18, 30}));
    auto c = f.servers.connect();
    QCOMPARE(testsupport::column(*c, QStringLiteral("select ordinal from user_prog_db where username = 'MARI' "
                                                    "and database_id = 2 order by vortalix_prog_id")),
             QStringLiteral("0 0 0 0 7").split(QLatin1Char(' ')));
    QCOMPARE(stored(f, QStringLiteral("MARI"), 1).size(), 4); // the source stays
    // Both lists read again, in group and name order, standing on their first rows.
    QCOMPARE(granted(), (QStringList{QStringLiteral("Current accounts"), QStringLiteral("Old importer"),
                                     QStringLiteral("Loan application"), QStringLiteral("Loan schedule"),
                                     QStringLiteral("Internet bank")}));
    QCOMPARE(available().size(), 25);
    QCOMPARE(current(FormProg->DBGrid2), QStringLiteral("Current accounts"));
    QCOMPARE(current(FormProg->DBGrid1), available().first());

    // The same copy again inserts nothing twice; the line chosen before is chosen again.
    copyWith([] {
        QCOMPARE(FormChoseDB->DBLookupListBox1->currentRow(), 0);
        FormChoseDB->BitBtn2->click();
    });
    QCOMPARE(stored(f, QStringLiteral("MARI"), 2).size(), 5);
    QVERIFY(f.messages.entries().isEmpty());
}

void TestProgPas::copyOfAUserWithNothingToCopy()
{
    MainWindowFixture f;
    f.connectAs();
    openWindow();
    loadUser(QStringLiteral("ANNE"));
    execute(f, QStringLiteral("insert into user_prog_db values ('ANNE', 3, 1, 0)")); // not yet in the lists
    copyWith([] {
        chooseLine(1); // FONDID, where ANNE holds nothing
        FormChoseDB->BitBtn2->click();
    });
    QCOMPARE(stored(f, QStringLiteral("ANNE"), 1), (QList<int>{3, 15}));
    // The lists are read again all the same.
    QCOMPARE(granted(), (QStringList{QStringLiteral("Card issuing"), QStringLiteral("Overdue loans")}));
}

void TestProgPas::copyRefusedWithoutAChoiceOrAName()
{
    MainWindowFixture f;
    f.connectAs();
    openWindow();
    // No name: the copy is refused before any dialog, and the window says why.
    FormProg->SpeedButton1->click();
    QVERIFY(FormProg->BitBtn1->isEnabled());
    FormProg->BitBtn1->click(); // no modal window may appear
    QVERIFY(FormProg->LabelStatus->text().contains(QLatin1String("user name")));

    loadUser(QStringLiteral("MARI"));
    const QList<int> before = stored(f, QStringLiteral("MARI"), 1);
    // OK with no line chosen is no choice.
    copyWith([] {
        QCOMPARE(FormChoseDB->DBLookupListBox1->selectedItems().size(), 0);
        FormChoseDB->BitBtn2->click();
    });
    QCOMPARE(FormChoseDB->ChosenDatabaseId, -1.0);
    QVERIFY(FormProg->LabelStatus->text().contains(QLatin1String("nothing was copied")));
    QCOMPARE(stored(f, QStringLiteral("MARI"), 1), before);

    // FONDID chosen once, then the window's own company: it is not offered, and OK on it
    // is no choice.
    copyWith([] {
        chooseLine(1);
        FormChoseDB->BitBtn2->click();
    });
    QCOMPARE(FormChoseDB->ChosenDatabaseId, 10.0);
    // A line chosen and then unselected with Ctrl+click is no choice either.
    copyWith([] {
        chooseLine(1);
        QListWidget *list = FormChoseDB->DBLookupListBox1;
        QTest::mouseClick(list->viewport(), Qt::LeftButton, Qt::ControlModifier, list->visualItemRect(list->item(1)).center());
        QCOMPARE(list->selectedItems().size(), 0);
        FormChoseDB->BitBtn2->click();
    });
    QCOMPARE(FormChoseDB->ChosenDatabaseId, -1.0);
    QVERIFY(FormProg->LabelStatus->text().contains(QLatin1String("nothing was copied")));
    chooseCompany(1); // FONDID
    FormProg->SpeedButton1->click();
    copyWith([] {
        QCOMPARE(offered(), (QStringList{QStringLiteral("VORTA"), QStringLiteral("LIISING")}));
        QCOMPARE(FormChoseDB->DBLookupListBox1->selectedItems().size(), 0);
        FormChoseDB->BitBtn2->click();
    });
    QCOMPARE(FormChoseDB->ChosenDatabaseId, -1.0);
    QCOMPARE(stored(f, QStringLiteral("MARI"), 1), before);
    QVERIFY(stored(f, QStringLiteral("MARI"), 10).isEmpty());
    QVERIFY(f.messages.entries().isEmpty());
}

void TestProgPas::aListThatCannotOpenShowsOneErrorAndOffersNoWrite()
{
    MainWindowFixture f;
    f.connectAs();
    Form1->userprogTable->setFilter(QString()); // the register counts as filtered: the box is offered
    Form1->userprogTable->setFiltered(true);
    openWindow();
    loadUser(QStringLiteral("MARI"));
    QCOMPARE(buttons(), (Buttons{true, true, true}));
    execute(f, QStringLiteral("drop view user_list_db"));

    FormProg->SpeedButton1->click();
    QStringList errors = f.messages.texts(MessageKind::Error);
    QCOMPARE(errors.size(), 1);
    QVERIFY2(testsupport::isServerError(errors.first(), QStringLiteral("ORA-00942"), QStringLiteral("(42P01)")),
             qPrintable(errors.first()));
    QVERIFY(FormProg->isVisible());
    QVERIFY(!FormProg->QueryuserProg->active() && !FormProg->QueryAllProg->active());
    QCOMPARE(FormProg->DBGrid1->model()->rowCount(), 0);
    QCOMPARE(buttons(), (Buttons{false, false, false}));

    // Leaving the field, or clicking the box while in it, shows the error once each.
    f.messages.clear();
    FormProg->Edit1->setFocus();
    QTRY_COMPARE(QApplication::focusWidget(), static_cast<QWidget *>(FormProg->Edit1));
    QTest::mouseClick(FormProg->CheckBox1, Qt::LeftButton);
    QCOMPARE(f.messages.texts(MessageKind::Error).size(), 1);
    QTest::keyClick(FormProg->Edit1, Qt::Key_Tab);
    QCOMPARE(f.messages.texts(MessageKind::Error).size(), 2);
    QCOMPARE(buttons(), (Buttons{false, false, false}));
}

void TestProgPas::aFailingWriteShowsWhatTheDatabaseHolds()
{
    MainWindowFixture f;
    f.connectAs();
    openWindow();
    loadUser(QStringLiteral("MARI"));
    clickRow(FormProg->DBGrid1, QStringLiteral("Cash desk"));
    // Another session grants the program after the lists were read: the insert is refused.
    execute(f, QStringLiteral("insert into user_prog_db values ('MARI', 12, 1, 0)"));
    FormProg->ExcludeBtn->click();
    QStringList errors = f.messages.texts(MessageKind::Error);
    QCOMPARE(errors.size(), 1);
    QVERIFY2(testsupport::isServerError(errors.first(), QStringLiteral("ORA-00001"), QStringLiteral("(23505)")),
             qPrintable(errors.first()));
    QVERIFY(granted().contains(QStringLiteral("Cash desk")));
    QVERIFY(!available().contains(QStringLiteral("Cash desk")));
    QCOMPARE(buttons(), (Buttons{true, true, true}));

    // A revoke of a grant another session revoked already says so and shows the lists anew.
    f.messages.clear();
    clickRow(FormProg->DBGrid2, QStringLiteral("Loan schedule"));
    execute(f, QStringLiteral("delete from user_prog_db where username = 'MARI' and vortalix_prog_id = 2 and database_id = 1"));
    FormProg->IncludeBtn->click();
    QVERIFY(f.messages.entries().isEmpty());
    QVERIFY(!granted().contains(QStringLiteral("Loan schedule")));
    QVERIFY(available().contains(QStringLiteral("Loan schedule")));
    QVERIFY2(FormProg->LabelStatus->text().contains(QLatin1String("Another user had revoked this grant")),
             qPrintable(FormProg->LabelStatus->text()));

    // A copy into a company that was taken away meanwhile writes nothing.
    f.messages.clear();
    execute(f, QStringLiteral("delete from user_prog_db where database_id = 10"));
    chooseCompany(1); // FONDID
    FormProg->SpeedButton1->click();
    QVERIFY(granted().isEmpty());
    execute(f, QStringLiteral("delete from v_sysparams where v_company = 10"));
    copyWith([] {
        chooseLine(0); // VORTA
        FormChoseDB->BitBtn2->click();
    });
    errors = f.messages.texts(MessageKind::Error);
    QCOMPARE(errors.size(), 1);
    QVERIFY2(testsupport::isServerError(errors.first(), QStringLiteral("ORA-02291"), QStringLiteral("(23503)")),
             qPrintable(errors.first()));
    QVERIFY(stored(f, QStringLiteral("MARI"), 10).isEmpty());
    QVERIFY(FormProg->isVisible());
}

void TestProgPas::anAssistiveToolGrantsTheRowItSelected()
{
    MainWindowFixture f;
    f.connectAs();
    openWindow();
    loadUser(QStringLiteral("MARI"));
    const QList<int> before = stored(f, QStringLiteral("MARI"), 1);
    const int row = int(available().indexOf(QStringLiteral("Cash desk")));
    QVERIFY(row > 0);
    // A screen reader selects a row of "Available" and presses ">": the row it selected is
    // the one the grid stands on, and the one granted.
    QAccessibleInterface *grid = QAccessible::queryAccessibleInterface(FormProg->DBGrid1);
    QVERIFY(grid && grid->tableInterface());
    QVERIFY(grid->tableInterface()->selectRow(row));
    QCOMPARE(current(FormProg->DBGrid1), QStringLiteral("Cash desk"));
    QAccessibleInterface *grant = QAccessible::queryAccessibleInterface(FormProg->ExcludeBtn);
    grant->actionInterface()->doAction(QAccessibleActionInterface::pressAction());
    QList<int> expected = before;
    expected.append(12); // Cash desk
    std::sort(expected.begin(), expected.end());
    // The press clicks a moment later, as a button pressed on the screen does.
    QTRY_COMPARE(stored(f, QStringLiteral("MARI"), 1), expected);
    QTRY_VERIFY(granted().contains(QStringLiteral("Cash desk")));

    // The same in "Granted": the cell's own action selects it, "<" revokes it.
    const int grantedRow = int(granted().indexOf(QStringLiteral("Loan schedule")));
    QAccessibleInterface *cell = QAccessible::queryAccessibleInterface(FormProg->DBGrid2)->tableInterface()->cellAt(grantedRow, 1);
    QVERIFY(cell && cell->actionInterface());
    cell->actionInterface()->doAction(QAccessibleActionInterface::toggleAction());
    QCOMPARE(current(FormProg->DBGrid2), QStringLiteral("Loan schedule"));
    FormProg->IncludeBtn->click();
    QVERIFY(!granted().contains(QStringLiteral("Loan schedule")));
    QVERIFY(granted().contains(QStringLiteral("Current accounts")));
    QVERIFY(f.messages.entries().isEmpty());
}

void TestProgPas::theCopyDialogByKeysAndAssistiveTools()
{
    MainWindowFixture f;
    f.connectAs();
    auto c = f.servers.connect();
    auto idOf = [&](const QString &name) {
        return testsupport::column(*c, QStringLiteral("select database_id from databases where db_name = '%1'").arg(name))
            .value(0)
            .toDouble();
    };
    openWindow();
    loadUser(QStringLiteral("MARI"));
    // The dialog opens with no line chosen, none framed as the current one; the first
    // arrow key chooses the first line, and Enter is OK.
    QString first;
    copyWith([&] {
        QListWidget *list = FormChoseDB->DBLookupListBox1;
        QTRY_COMPARE(QApplication::focusWidget(), static_cast<QWidget *>(list));
        QCOMPARE(list->currentRow(), -1);
        QVERIFY(list->selectedItems().isEmpty());
        QTest::keyClick(list, Qt::Key_Down);
        first = offered().value(0);
        QCOMPARE(list->selectedItems().size(), 1);
        QCOMPARE(list->selectedItems().first()->text(), first);
        QTest::keyClick(list, Qt::Key_Return);
    });
    QVERIFY(!FormChoseDB->isVisible());
    QCOMPARE(FormChoseDB->ChosenDatabaseId, idOf(first));

    // A screen reader selects the second line: OK copies from it.
    QString second;
    copyWith([&] {
        QAccessibleInterface *list = QAccessible::queryAccessibleInterface(FormChoseDB->DBLookupListBox1);
        QVERIFY(list && list->tableInterface());
        QVERIFY(list->tableInterface()->selectRow(1));
        second = offered().value(1);
        QCOMPARE(FormChoseDB->DBLookupListBox1->currentRow(), 1);
        FormChoseDB->BitBtn2->click();
    });
    QCOMPARE(FormChoseDB->ChosenDatabaseId, idOf(second));
    QVERIFY(f.messages.entries().isEmpty());

    // However narrow the dialog is made, its three lines of text stay whole.
    copyWith([] {
        FormChoseDB->resize(1, 1);
        QTest::qWait(10);
        QTextEdit *memo = FormChoseDB->Memo1;
        const QSizeF text = memo->document()->size();
        QVERIFY2(text.height() <= memo->viewport()->height(), qPrintable(QString::number(text.height())));
        QVERIFY2(text.width() <= memo->viewport()->width(), qPrintable(QString::number(text.width())));
        testsupport::screenshot(FormChoseDB, QStringLiteral("choose-db-narrowest"));
        FormChoseDB->BitBtn1->click();
    });
}

QTEST_MAIN(TestProgPas)
#include "tst_progpas.moc"
