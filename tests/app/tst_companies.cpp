#include "MainWindowFixture.h"

#include "lookup/dbs.h"

#include <QApplication>
#include <QHeaderView>

using controls::MessageKind;

namespace {

// Opens the companies window from the main window; the action works in it and closes it.
// A window the action left open (a failed check) is closed without saving.
core::ModalResult companies(const std::function<void()> &action)
{
    core::ModalResult result = core::ModalResult::None;
    testsupport::ModalDriver driver;
    driver.then([&](QWidget *dialog) {
        QCOMPARE(dialog, static_cast<QWidget *>(FormDBs));
        action();
        if (FormDBs->isVisible()) {
            FormDBs->Table1->close(); // nothing left to save: the window closes
            FormDBs->reject();
            QTest::qFail("the companies window was left open", __FILE__, __LINE__);
        }
    });
    QObject::connect(FormDBs, &QDialog::finished, FormDBs, [&](int code) { result = core::toModalResult(code); },
                     Qt::SingleShotConnection);
    Form1->SpeedButtonDB->click();
    MainWindowFixture::activate();
    return result;
}

QAbstractItemModel *grid()
{
    return FormDBs->DBGrid1->model();
}

// The column of the grid: 0 number, 1 short name, 2 English name, 3 Estonian name.
QStringList shown(int column)
{
    QStringList texts;
    for (int row = 0; row < grid()->rowCount(); ++row)
        texts.append(grid()->index(row, column).data().toString());
    return texts;
}

QWidget *focused()
{
    return QApplication::focusWidget();
}

// Types into the grid's current cell as a user does: the first key opens the cell's
// editor, the rest go to it; the editor stays open.
void typeInto(const QString &text)
{
    QTRY_VERIFY(focused() == FormDBs->DBGrid1);
    QTest::keyClick(FormDBs->DBGrid1, text.at(0).toLatin1());
    QWidget *editor = focused();
    QVERIFY(editor && editor != FormDBs->DBGrid1);
    QTest::keyClicks(editor, text.mid(1));
}

// Types a cell and ends it with Enter.
void typeCell(const QString &text)
{
    typeInto(text);
    QTest::keyClick(focused(), Qt::Key_Return);
    QTRY_VERIFY(focused() == FormDBs->DBGrid1);
}

void goTo(int row, int column)
{
    FormDBs->DBGrid1->setCurrentIndex(grid()->index(row, column));
}

// Presses Close with the mouse, as a user does: the grid loses the focus first.
void pressClose()
{
    QTest::mouseClick(FormDBs->BitBtn1, Qt::LeftButton);
}

// Every stored company, one line of all its columns each, in number order.
QStringList stored(MainWindowFixture &f)
{
    auto c = f.servers.connect();
    const db::ResultSet rs = c->backend().select(
        QStringLiteral("select v_company, db_name, company_name, firma_nimi, id, system_date, report_date "
                       "from v_sysparams order by v_company"),
        {});
    QStringList lines;
    for (const db::Row &row : rs.rows) {
        QStringList values;
        for (int i = 0; i < row.size(); ++i)
            values.append(row.at(i).isNull() ? QStringLiteral("-") : db::Field::textOf(row.at(i), rs.columns.at(i).type));
        lines.append(values.join(QLatin1Char('|')));
    }
    return lines;
}

void execute(MainWindowFixture &f, const QString &sql)
{
    f.servers.connect()->backend().execute(sql, {});
}

QString errors(MainWindowFixture &f)
{
    return f.messages.texts(MessageKind::Error).join(QLatin1Char('\n'));
}

const QString changedByOthers = QStringLiteral("The row was changed or deleted by another user since it was read");

} // namespace

class TestCompanies : public QObject {
    Q_OBJECT
private slots:
    void theWindowShowsTheCompanies();
    void closingWithoutAChangeRewritesNothing();
    void newCompaniesAreNumberedAboveTheLargest();
    void anEmptyTableStartsAtZeroAndClosesOnlyOnceSaved();
    void requiredFieldsAndTheRangeOfId();
    void aRowChangedByAnotherUserIsNotOverwritten();
    void aCompanyWithGrantsIsNotDeleted();
    void theKeyboardWorksTheGrid();
    void theTitleBarAndEscapeCloseByTheSameRule();
    void theSelectorShowsTheChanges();
    void aCompanyNumberIsAWholeNumber_data();
    void aCompanyNumberIsAWholeNumber();
    void theUsersGridHoldsTheChosenCompanyAlone_data();
    void theUsersGridHoldsTheChosenCompanyAlone();
    void aFailureToReadTheTableShowsNoWindow();
};

void TestCompanies::theWindowShowsTheCompanies()
{
    MainWindowFixture f;
    QVERIFY(!Form1->SpeedButtonDB->isEnabled());
    f.connectAs();
    QVERIFY(Form1->SpeedButtonDB->isEnabled());
    const QStringList before = stored(f);
    const core::ModalResult result = companies([] {
        QCOMPARE(FormDBs->windowTitle(), QStringLiteral("Companies"));
        QVERIFY(FormDBs->isModal());
        QCOMPARE(FormDBs->DBGrid1->titles(), (QStringList{QStringLiteral("ID"), QStringLiteral("Short name"),
                                                           QStringLiteral("Name (english)"),
                                                           QStringLiteral("Name (eesti keeles)")}));
        QVERIFY(FormDBs->DBGrid1->verticalHeader()->isVisible());
        QVERIFY(FormDBs->DBGrid1->horizontalHeader()->isVisible());
        QCOMPARE(shown(0), (QStringList{QStringLiteral("1"), QStringLiteral("2"), QStringLiteral("10")}));
        QCOMPARE(shown(1), (QStringList{QStringLiteral("VORTA"), QStringLiteral("LIISING"), QStringLiteral("FONDID")}));
        QCOMPARE(shown(2).first(), QStringLiteral("Vortalix Bank Ltd"));
        QCOMPARE(shown(3).first(), QStringLiteral("Vortalix Pank AS"));
        QCOMPARE(grid()->headerData(0, Qt::Vertical, Qt::DisplayRole).toString(), QStringLiteral("▶"));
        QVERIFY(grid()->flags(grid()->index(1, 1)) & Qt::ItemIsEditable);
        QCOMPARE(FormDBs->BitBtn1->text(), QStringLiteral("&Close"));
        QVERIFY(FormDBs->Panel2->isVisible() && FormDBs->Panel2->y() < FormDBs->DBGrid1->y());
        QVERIFY(FormDBs->Panel2->findChildren<QWidget *>().isEmpty());
        QTRY_COMPARE(focused(), static_cast<QWidget *>(FormDBs->DBGrid1));

        // The table's fields in their order.
        db::Table *t = FormDBs->Table1;
        QStringList names;
        for (int i = 0; i < t->fieldCount(); ++i)
            names.append(t->field(i).fieldName());
        QCOMPARE(names, (QStringList{QStringLiteral("ID"), QStringLiteral("SYSTEM_DATE"), QStringLiteral("REPORT_DATE"),
                                     QStringLiteral("FIRMA_NIMI"), QStringLiteral("COMPANY_NAME"),
                                     QStringLiteral("V_COMPANY"), QStringLiteral("DB_NAME")}));

        testsupport::screenshot(FormDBs, QStringLiteral("companies-window"));
        const QSize size = FormDBs->size();
        FormDBs->resize(FormDBs->minimumSize());
        QTRY_COMPARE(FormDBs->size(), FormDBs->minimumSize());
        // At its smallest the window still shows its rows and its Close button whole.
        QVERIFY(FormDBs->rect().contains(FormDBs->Panel1->geometry()));
        QVERIFY(FormDBs->DBGrid1->viewport()->height() >= 3 * FormDBs->DBGrid1->rowHeight(0));
        testsupport::screenshot(FormDBs, QStringLiteral("companies-window-smallest"));
        FormDBs->resize(size);
        pressClose();
    });
    QCOMPARE(result, core::ModalResult::Cancel);
    QVERIFY(!FormDBs->isVisible());
    QVERIFY(!FormDBs->Table1->active() && !FormDBs->QueryMAXID->active());
    QCOMPARE(f.messages.texts(), QStringList());
    QCOMPARE(stored(f), before);
}

void TestCompanies::closingWithoutAChangeRewritesNothing()
{
    MainWindowFixture f;
    f.connectAs();
    // A row another tool stored with a value the window's fields would refuse.
    execute(f, QStringLiteral("update v_sysparams set id = 2 where v_company = 10"));
    const QStringList before = stored(f);
    int updates = 0;
    companies([&] {
        goTo(2, 1);
        QCOMPARE(FormDBs->Table1V_COMPANY->asFloat(), 10.0);
        // A cell opened and left as it was changes nothing either.
        QTest::keyClick(FormDBs->DBGrid1, Qt::Key_F2);
        QTest::keyClick(focused(), Qt::Key_Return);
        QTRY_VERIFY(focused() == FormDBs->DBGrid1);
        FormDBs->Table1->afterPost = [&](db::DataSet &) { ++updates; };
        pressClose();
    });
    FormDBs->Table1->afterPost = nullptr;
    QCOMPARE(errors(f), QString());
    QCOMPARE(stored(f), before);
    QCOMPARE(updates, 0);

    // A row changed and posted is saved with its dates kept.
    companies([] {
        goTo(1, 2);
        typeCell(QStringLiteral("Leasing"));
        pressClose();
    });
    QCOMPARE(errors(f), QString());
    QStringList expected = before;
    expected[1].replace(QStringLiteral("Vortalix Leasing Ltd"), QStringLiteral("Leasing"));
    QCOMPARE(stored(f), expected);
}

void TestCompanies::newCompaniesAreNumberedAboveTheLargest()
{
    MainWindowFixture f;
    f.connectAs();
    companies([&] {
        db::Table *t = FormDBs->Table1;
        // Numbers 1, 2 and 10: the next is 11, by number and not by the order of text.
        goTo(0, 1);
        QTest::keyClick(FormDBs->DBGrid1, Qt::Key_Insert);
        QCOMPARE(t->state(), db::DataSetState::Insert);
        QCOMPARE(t->recNo(), 0);
        QCOMPARE(FormDBs->Table1V_COMPANY->asFloat(), 11.0);
        QCOMPARE(FormDBs->Table1ID->asFloat(), 1.0);
        QVERIFY(FormDBs->Table1SYSTEM_DATE->isNull() && FormDBs->Table1REPORT_DATE->isNull());
        QVERIFY(FormDBs->Table1DB_NAME->isNull() && FormDBs->Table1FIRMA_NIMI->isNull());
        QCOMPARE(grid()->index(0, 0).data().toString(), QStringLiteral("11"));
        QVERIFY(!FormDBs->QueryMAXID->active());
        typeCell(QStringLiteral("UUS"));
        // The next new row saves this one first, so it is numbered after it.
        QTest::keyClick(FormDBs->DBGrid1, Qt::Key_Insert);
        QCOMPARE(FormDBs->Table1V_COMPANY->asFloat(), 12.0);
        typeCell(QStringLiteral("TEINE"));
        // A company stored meanwhile by another user counts too.
        execute(f, QStringLiteral("insert into v_sysparams (id, v_company, db_name) values (1, 20, 'MUU')"));
        QTest::keyClick(FormDBs->DBGrid1, Qt::Key_Insert);
        QCOMPARE(FormDBs->Table1V_COMPANY->asFloat(), 21.0);
        // The number may be typed over before the row is saved.
        goTo(t->recNo(), 0);
        typeCell(QStringLiteral("30"));
        goTo(t->recNo(), 1);
        typeCell(QStringLiteral("KOLMAS"));
        pressClose();
    });
    QCOMPARE(errors(f), QString());
    QCOMPARE(stored(f).filter(QStringLiteral("|1|-|-")),
             (QStringList{QStringLiteral("11|UUS|-|-|1|-|-"), QStringLiteral("12|TEINE|-|-|1|-|-"),
                          QStringLiteral("20|MUU|-|-|1|-|-"), QStringLiteral("30|KOLMAS|-|-|1|-|-")}));
}

void TestCompanies::anEmptyTableStartsAtZeroAndClosesOnlyOnceSaved()
{
    MainWindowFixture f;
    f.connectAs();
    execute(f, QStringLiteral("delete from user_prog_db"));
    execute(f, QStringLiteral("delete from v_sysparams"));
    companies([&] {
        db::Table *t = FormDBs->Table1;
        QCOMPARE(grid()->rowCount(), 0);
        // Closing posts the current row: in an empty table that is a new one, numbered 0,
        // whose short name is missing. The window stays, with the row in editing.
        pressClose();
        QVERIFY(FormDBs->isVisible());
        QCOMPARE(f.messages.texts(MessageKind::Error), QStringList{QStringLiteral("Field 'DB_NAME' must have a value")});
        QCOMPARE(t->state(), db::DataSetState::Insert);
        QVERIFY(t->active());
        QCOMPARE(FormDBs->Table1V_COMPANY->asFloat(), 0.0);
        QCOMPARE(shown(0), QStringList{QStringLiteral("0")});
        FormDBs->DBGrid1->setFocus(Qt::MouseFocusReason);
        goTo(0, 1);
        typeCell(QStringLiteral("ESIMENE"));
        pressClose();
    });
    QCOMPARE(f.messages.texts(MessageKind::Error).size(), 1);
    QCOMPARE(stored(f), QStringList{QStringLiteral("0|ESIMENE|-|-|1|-|-")});
}

void TestCompanies::requiredFieldsAndTheRangeOfId()
{
    MainWindowFixture f;
    f.connectAs();
    const QStringList before = stored(f);
    companies([&] {
        db::Table *t = FormDBs->Table1;
        goTo(2, 2);
        QTest::keyClick(FormDBs->DBGrid1, Qt::Key_Down);
        QCOMPARE(t->state(), db::DataSetState::Insert);
        typeCell(QStringLiteral("Without a short name"));
        pressClose();
        QVERIFY(FormDBs->isVisible());
        QCOMPARE(errors(f), QStringLiteral("Field 'DB_NAME' must have a value"));
        QCOMPARE(t->state(), db::DataSetState::Insert);
        QCOMPARE(FormDBs->Table1COMPANY_NAME->asString(), QStringLiteral("Without a short name"));
        // The number is required as well.
        f.messages.clear();
        FormDBs->Table1DB_NAME->setAsString(QStringLiteral("NIMI"));
        FormDBs->Table1V_COMPANY->clear();
        pressClose();
        QVERIFY(FormDBs->isVisible());
        QCOMPARE(errors(f), QStringLiteral("Field 'V_COMPANY' must have a value"));
        QCOMPARE(t->state(), db::DataSetState::Insert);
        // ID takes 1 and nothing else.
        f.messages.clear();
        FormDBs->Table1V_COMPANY->setAsFloat(11);
        FormDBs->Table1ID->setAsFloat(2);
        pressClose();
        QVERIFY(FormDBs->isVisible());
        QCOMPARE(errors(f), QStringLiteral("2 is not a valid value for field 'ID'. The allowed range is 1 to 1"));
        QCOMPARE(t->state(), db::DataSetState::Insert);
        QCOMPARE(stored(f), before);
        FormDBs->Table1ID->setAsFloat(1);
        pressClose();
    });
    QCOMPARE(stored(f).size(), before.size() + 1);
    QCOMPARE(stored(f).last(), QStringLiteral("11|NIMI|Without a short name|-|1|-|-"));
}

void TestCompanies::aRowChangedByAnotherUserIsNotOverwritten()
{
    MainWindowFixture f;
    f.connectAs();
    execute(f, QStringLiteral("insert into v_sysparams (id, v_company, db_name) values (1, 30, 'AJUTINE')"));
    companies([&] {
        db::Table *t = FormDBs->Table1;
        execute(f, QStringLiteral("update v_sysparams set company_name = 'Renamed elsewhere' where v_company = 2"));
        execute(f, QStringLiteral("update v_sysparams set firma_nimi = 'Muudetud' where v_company = 30"));
        goTo(1, 3);
        typeCell(QStringLiteral("Minu nimi"));
        QTest::keyClick(FormDBs->DBGrid1, Qt::Key_Up); // leaving the row saves it
        QVERIFY2(errors(f).startsWith(changedByOthers), qPrintable(errors(f)));
        QCOMPARE(f.messages.texts(MessageKind::Error).size(), 1);
        QCOMPARE(t->state(), db::DataSetState::Edit);
        QCOMPARE(t->recNo(), 1);
        // The grid shows the row that stays in editing, and no other, as the selected one.
        QCOMPARE(FormDBs->DBGrid1->currentIndex().row(), 1);
        const QModelIndexList selected = FormDBs->DBGrid1->selectionModel()->selectedIndexes();
        QVERIFY(!selected.isEmpty());
        for (const QModelIndex &index : selected)
            QCOMPARE(index.row(), 1);
        // A row nobody else touched is saved, dates and all.
        t->cancel();
        f.messages.clear();
        goTo(0, 3);
        typeCell(QStringLiteral("Pank"));
        QTest::keyClick(FormDBs->DBGrid1, Qt::Key_Down);
        QCOMPARE(errors(f), QString());
        QCOMPARE(t->recNo(), 1);
        // Nor is a row another user changed deleted.
        goTo(3, 1);
        QTest::keyClick(FormDBs->DBGrid1, Qt::Key_Delete, Qt::ControlModifier);
        QVERIFY2(errors(f).startsWith(changedByOthers), qPrintable(errors(f)));
        QCOMPARE(grid()->rowCount(), 4);
        pressClose();
    });
    const QStringList now = stored(f);
    QVERIFY(now.at(0).startsWith(QStringLiteral("1|VORTA|Vortalix Bank Ltd|Pank|1|")));
    QVERIFY(now.at(1).startsWith(QStringLiteral("2|LIISING|Renamed elsewhere|Vortalix Liising AS|1|")));
    QCOMPARE(now.at(3), QStringLiteral("30|AJUTINE|-|Muudetud|1|-|-"));
}

void TestCompanies::aCompanyWithGrantsIsNotDeleted()
{
    MainWindowFixture f;
    f.connectAs();
    execute(f, QStringLiteral("insert into v_sysparams (id, v_company, db_name) values (1, 30, 'AJUTINE')"));
    companies([&] {
        goTo(0, 1);
        // Asked first; No keeps it.
        f.messages.answer({false});
        QTest::keyClick(FormDBs->DBGrid1, Qt::Key_Delete, Qt::ControlModifier);
        QCOMPARE(f.messages.texts(MessageKind::Question), QStringList{QStringLiteral("Delete record?")});
        QCOMPARE(grid()->rowCount(), 4);
        // Yes: the server refuses, since grants are given in the company.
        QTest::keyClick(FormDBs->DBGrid1, Qt::Key_Delete, Qt::ControlModifier);
        QVERIFY2(testsupport::isServerError(errors(f), QStringLiteral("ORA-02292"), QStringLiteral("(23503)")),
                 qPrintable(errors(f)));
        QCOMPARE(f.messages.texts(MessageKind::Error).size(), 1);
        QCOMPARE(shown(1).first(), QStringLiteral("VORTA"));
        // A company without grants goes.
        goTo(3, 1);
        QTest::keyClick(FormDBs->DBGrid1, Qt::Key_Delete, Qt::ControlModifier);
        QCOMPARE(shown(1), (QStringList{QStringLiteral("VORTA"), QStringLiteral("LIISING"), QStringLiteral("FONDID")}));
        pressClose();
    });
    QCOMPARE(f.messages.texts(MessageKind::Error).size(), 1);
    QCOMPARE(stored(f).size(), 3);
    QCOMPARE(testsupport::countRows(*f.servers.connect(), QStringLiteral("select 1 from user_prog_db where database_id = 1")), 23);
}

void TestCompanies::theKeyboardWorksTheGrid()
{
    MainWindowFixture f;
    f.connectAs();
    companies([&] {
        db::Table *t = FormDBs->Table1;
        controls::DBGrid *g = FormDBs->DBGrid1;
        QTRY_VERIFY(focused() == g);
        // Down the rows to the last, and below it: a new row, numbered.
        QTest::keyClick(g, Qt::Key_Down);
        QTest::keyClick(g, Qt::Key_Down);
        QCOMPARE(t->recNo(), 2);
        QTest::keyClick(g, Qt::Key_Down);
        QCOMPARE(t->state(), db::DataSetState::Insert);
        QCOMPARE(t->recNo(), 3);
        QCOMPARE(g->currentIndex().row(), 3);
        QCOMPARE(grid()->headerData(3, Qt::Vertical, Qt::DisplayRole).toString(), QStringLiteral("✱"));
        // The short name, then Tab on to the names.
        QTest::keyClick(g, Qt::Key_Right);
        QCOMPARE(g->currentIndex().column(), 1);
        typeInto(QStringLiteral("KLAVA"));
        QTest::keyClick(focused(), Qt::Key_Tab);
        QTRY_COMPARE(g->currentIndex().column(), 2);
        QTest::keyClicks(focused(), QStringLiteral("Keyboard Ltd"));
        QTest::keyClick(focused(), Qt::Key_Tab);
        QTRY_COMPARE(g->currentIndex().column(), 3);
        QTest::keyClicks(focused(), QStringLiteral("Klaviatuur AS"));
        QTest::keyClick(focused(), Qt::Key_Return);
        QTRY_VERIFY(focused() == g);
        QCOMPARE(FormDBs->Table1DB_NAME->asString(), QStringLiteral("KLAVA"));
        QCOMPARE(FormDBs->Table1COMPANY_NAME->asString(), QStringLiteral("Keyboard Ltd"));
        QCOMPARE(FormDBs->Table1FIRMA_NIMI->asString(), QStringLiteral("Klaviatuur AS"));
        testsupport::screenshot(FormDBs, QStringLiteral("companies-new-row"));
        // Enter outside an editor leaves the window open; Up saves the row.
        QTest::keyClick(g, Qt::Key_Return);
        QVERIFY(FormDBs->isVisible());
        QTest::keyClick(g, Qt::Key_Up);
        QCOMPARE(t->state(), db::DataSetState::Browse);
        QCOMPARE(errors(f), QString());
        QCOMPARE(stored(f).last(), QStringLiteral("11|KLAVA|Keyboard Ltd|Klaviatuur AS|1|-|-"));

        // Escape in an editor takes back the cell, then the row's change.
        goTo(0, 1);
        typeInto(QStringLiteral("XYZ"));
        QTest::keyClick(focused(), Qt::Key_Escape);
        QTRY_VERIFY(focused() == g);
        QCOMPARE(t->state(), db::DataSetState::Browse);
        QCOMPARE(grid()->index(0, 1).data().toString(), QStringLiteral("VORTA"));
        typeCell(QStringLiteral("XYZ"));
        QTest::keyClick(g, Qt::Key_Escape);
        QCOMPARE(t->state(), db::DataSetState::Browse);
        QCOMPARE(grid()->index(0, 1).data().toString(), QStringLiteral("VORTA"));
        QVERIFY(FormDBs->isVisible());

        // Insert starts a new row above; leaving the grid with nothing typed drops it.
        QTest::keyClick(g, Qt::Key_Insert);
        QCOMPARE(t->state(), db::DataSetState::Insert);
        QCOMPARE(grid()->rowCount(), 5);
        QTest::keyClick(g, Qt::Key_Escape);
        QCOMPARE(grid()->rowCount(), 4);
        QTest::keyClick(g, Qt::Key_Insert);
        QCOMPARE(grid()->rowCount(), 5);
        FormDBs->BitBtn1->setFocus(Qt::TabFocusReason);
        QCOMPARE(t->state(), db::DataSetState::Browse);
        QCOMPARE(grid()->rowCount(), 4);
        g->setFocus(Qt::TabFocusReason);

        // Ctrl+Delete asks and deletes the company without grants.
        goTo(3, 1);
        QTest::keyClick(g, Qt::Key_Delete, Qt::ControlModifier);
        QCOMPARE(f.messages.texts(MessageKind::Question), QStringList{QStringLiteral("Delete record?")});
        QVERIFY(!f.messages.entries().last().yesByDefault);
        QCOMPARE(grid()->rowCount(), 3);

        // Tab past the last cell, and Shift+Tab back, leave the grid for the Close button
        // and return.
        goTo(2, 3);
        QTest::keyClick(g, Qt::Key_Tab);
        QTRY_COMPARE(focused(), static_cast<QWidget *>(FormDBs->BitBtn1));
        QTest::keyClick(FormDBs->BitBtn1, Qt::Key_Backtab, Qt::ShiftModifier);
        QTRY_COMPARE(focused(), static_cast<QWidget *>(g));
        QCOMPARE(g->currentIndex(), grid()->index(2, 3));
        QCOMPARE(t->recordCount(), 3);

        // Escape with nothing pending closes the window.
        QTest::keyClick(g, Qt::Key_Escape);
    });
    QVERIFY(!FormDBs->isVisible());
    QCOMPARE(errors(f), QString());
    QCOMPARE(stored(f).size(), 3);
}

void TestCompanies::theTitleBarAndEscapeCloseByTheSameRule()
{
    MainWindowFixture f;
    f.connectAs();
    companies([&] {
        db::Table *t = FormDBs->Table1;
        controls::DBGrid *g = FormDBs->DBGrid1;
        // An empty new row keeps the focus in the grid, so closing from the title bar
        // posts it and fails: the window stays.
        QTRY_VERIFY(focused() == g);
        QTest::keyClick(g, Qt::Key_Insert);
        FormDBs->close();
        QVERIFY(FormDBs->isVisible());
        QCOMPARE(errors(f), QStringLiteral("Field 'DB_NAME' must have a value"));
        QCOMPARE(t->state(), db::DataSetState::Insert);
        // A short name still in its cell's editor is saved as the window closes.
        QTest::keyClick(g, Qt::Key_Right);
        typeInto(QStringLiteral("AVATUD"));
        FormDBs->close();
    });
    QCOMPARE(f.messages.texts(MessageKind::Error).size(), 1);
    QVERIFY(stored(f).contains(QStringLiteral("11|AVATUD|-|-|1|-|-")));

    // Escape goes through the same rule: a pending row the server refuses keeps it open.
    f.messages.clear();
    companies([&] {
        controls::DBGrid *g = FormDBs->DBGrid1;
        goTo(1, 1);
        typeCell(QStringLiteral("VORTA")); // the short name of another company
        g->setFocus();
        FormDBs->reject();
        QVERIFY(FormDBs->isVisible());
        QCOMPARE(f.messages.texts(MessageKind::Error).size(), 1);
        QCOMPARE(FormDBs->Table1->state(), db::DataSetState::Edit);
        QTest::keyClick(g, Qt::Key_Escape); // takes back the change
        QCOMPARE(FormDBs->Table1->state(), db::DataSetState::Browse);
        QTest::keyClick(g, Qt::Key_Escape);
    });
    QVERIFY(!FormDBs->isVisible());
    QCOMPARE(f.messages.texts(MessageKind::Error).size(), 1);
    QCOMPARE(stored(f).at(1).section(QLatin1Char('|'), 1, 1), QStringLiteral("LIISING"));

    // A stored row's cell still being typed into is saved too.
    companies([] {
        goTo(2, 2);
        typeInto(QStringLiteral("Funds"));
        FormDBs->close();
    });
    QCOMPARE(f.messages.texts(MessageKind::Error).size(), 1);
    QCOMPARE(stored(f).at(2).section(QLatin1Char('|'), 0, 3), QStringLiteral("10|FONDID|Funds|Vortalix Fondid AS"));
}

void TestCompanies::aCompanyNumberIsAWholeNumber_data()
{
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("refusal");
    QTest::newRow("a decimal comma") << "2,5" << "2.5 is not a valid value for field 'V_COMPANY'. It holds whole numbers only";
    QTest::newRow("a decimal point") << "0.5" << "0.5 is not a valid value for field 'V_COMPANY'. It holds whole numbers only";
    QTest::newRow("a whole number") << "12" << QString();
}

void TestCompanies::aCompanyNumberIsAWholeNumber()
{
    QFETCH(QString, typed);
    QFETCH(QString, refusal);
    MainWindowFixture f;
    f.connectAs();
    const QStringList before = stored(f);
    companies([&] {
        goTo(2, 1);
        QTest::keyClick(FormDBs->DBGrid1, Qt::Key_Down);
        typeCell(QStringLiteral("UUS"));
        goTo(3, 0);
        typeCell(typed);
        pressClose();
        if (refusal.isEmpty())
            return;
        QVERIFY(FormDBs->isVisible());
        QCOMPARE(errors(f), refusal);
        QCOMPARE(stored(f), before);
        testsupport::screenshot(FormDBs, QStringLiteral("companies-number-refused"));
        FormDBs->Table1V_COMPANY->setAsFloat(12);
        pressClose();
    });
    QCOMPARE(stored(f).size(), before.size() + 1);
    QCOMPARE(stored(f).last(), QStringLiteral("12|UUS|-|-|1|-|-"));
}

void TestCompanies::theUsersGridHoldsTheChosenCompanyAlone_data()
{
    QTest::addColumn<QString>("number");
    QTest::newRow("not whole, stored by another tool") << "1.5";
    QTest::newRow("too large for an integer") << "1e20";
}

void TestCompanies::theUsersGridHoldsTheChosenCompanyAlone()
{
    QFETCH(QString, number);
    MainWindowFixture f;
    f.connectAs();
    execute(f, QStringLiteral("insert into v_sysparams (id, v_company, db_name) values (1, %1, 'MUU')").arg(number));
    companies([] { pressClose(); }); // the selector reads the companies again
    QComboBox *selector = Form1->DBLookupComboBox1;
    Form1->DBLookupComboBox1->choose(selector->findText(QStringLiteral("MUU")));
    emit Form1->DBLookupComboBox1->closeUp();
    QTRY_COMPARE(selector->currentText(), QStringLiteral("MUU"));
    QCOMPARE(errors(f), QString());
    // No grant is stored for that company; LIISING (2) holds PEETER's.
    QCOMPARE(MainWindowFixture::gridUsers(), QStringList());
}

void TestCompanies::theSelectorShowsTheChanges()
{
    MainWindowFixture f;
    f.connectAs();
    QComboBox *selector = Form1->DBLookupComboBox1;
    selector->setFocus();
    Form1->DBLookupComboBox1->choose(selector->findText(QStringLiteral("LIISING")));
    emit Form1->DBLookupComboBox1->closeUp();
    QTRY_COMPARE(MainWindowFixture::gridUsers(), QStringList{QStringLiteral("PEETER")});
    companies([] {
        goTo(1, 1);
        typeCell(QStringLiteral("LIISING2"));
        QTest::keyClick(FormDBs->DBGrid1, Qt::Key_Insert);
        typeCell(QStringLiteral("UUS"));
        pressClose();
    });
    QCOMPARE(errors(f), QString());
    QStringList names;
    for (int i = 0; i < selector->count(); ++i)
        names.append(selector->itemText(i));
    // Ordered by the number as text.
    QCOMPARE(names, (QStringList{QStringLiteral("VORTA"), QStringLiteral("FONDID"), QStringLiteral("UUS"),
                                 QStringLiteral("LIISING2")}));
    // The chosen company stays chosen, under its new name, and the list stands on it.
    QCOMPARE(selector->currentText(), QStringLiteral("LIISING2"));
    QCOMPARE(Form1->QueryDBs->fieldByName(QStringLiteral("DB_NAME")).asString(), QStringLiteral("LIISING2"));
    QCOMPARE(Form1->DBText1->text(), QStringLiteral("LIISING2 (2)"));
    QCOMPARE(MainWindowFixture::gridUsers(), QStringList{QStringLiteral("PEETER")});

    // The chosen company deleted: none is chosen, and the users grid shows nobody.
    Form1->DBLookupComboBox1->choose(selector->findText(QStringLiteral("UUS")));
    emit Form1->DBLookupComboBox1->closeUp();
    QTRY_COMPARE(selector->currentText(), QStringLiteral("UUS"));
    companies([] {
        goTo(3, 1);
        QCOMPARE(grid()->index(3, 1).data().toString(), QStringLiteral("UUS"));
        QTest::keyClick(FormDBs->DBGrid1, Qt::Key_Delete, Qt::ControlModifier);
        pressClose();
    });
    QCOMPARE(errors(f), QString());
    QCOMPARE(selector->count(), 3);
    QCOMPARE(selector->currentIndex(), -1);
    QVERIFY(selector->currentText().isEmpty());
    QVERIFY(Form1->DBLookupComboBox1->keyValue().isNull());
    QVERIFY(MainWindowFixture::gridUsers().isEmpty());
    QCOMPARE(f.statuses.last(), QStringLiteral("The chosen company is no longer stored; choose a company"));
    // A company numbered as the deleted one was is not chosen behind the user's back.
    execute(f, QStringLiteral("insert into v_sysparams (id, v_company, db_name) values (1, 11, 'HILJEM')"));
    execute(f, QStringLiteral("insert into user_prog_db values ('ANNE', 1, 11, 0)"));
    companies([] { pressClose(); });
    QCOMPARE(selector->currentIndex(), -1);
    QVERIFY(MainWindowFixture::gridUsers().isEmpty());
}

void TestCompanies::aFailureToReadTheTableShowsNoWindow()
{
    MainWindowFixture f;
    f.connectAs();
    // The connection is lost behind the window's back.
    Form1->Database1->close();
    Form1->SpeedButtonDB->click();
    QVERIFY(!FormDBs->isVisible());
    QVERIFY(!FormDBs->Table1->active());
    QCOMPARE(f.messages.texts(MessageKind::Error), QStringList{QStringLiteral("Database 'ORACLE' is not connected")});

}

QTEST_MAIN(TestCompanies)
#include "tst_companies.moc"
