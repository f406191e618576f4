#include "MemoryDataSet.h"
#include "TempServers.h"
#include "WindowDriver.h"

#include "platform/controls/DBGrid.h"
#include "platform/controls/DBLookup.h"
#include "platform/controls/DataControls.h"
#include "platform/controls/Form.h"
#include "platform/db/DbError.h"
#include "platform/db/Query.h"
#include "platform/db/Table.h"

#include <QApplication>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>

using namespace controls;
using controls::MessageKind;

namespace {

// A window holding the controls under test, shown and active so that focus moves as a
// user's does.
struct Window {
    // Counts the events of one type that reach an object.
    class Counter : public QObject {
    public:
        Counter(QObject *parent, QEvent::Type type, int *count) : QObject(parent), m_type(type), m_count(count) {}
        bool eventFilter(QObject *, QEvent *event) override
        {
            if (event->type() == m_type)
                ++*m_count;
            return false;
        }

    private:
        QEvent::Type m_type;
        int *m_count;
    };

    QWidget widget;
    void show()
    {
        widget.resize(400, 300);
        widget.show();
        widget.activateWindow();
        if (!QTest::qWaitForWindowActive(&widget))
            QTest::qFail("the window did not become active", __FILE__, __LINE__);
    }
};

std::unique_ptr<db::Table> companies(db::Connection &c)
{
    auto t = std::make_unique<db::Table>();
    t->setConnection(&c);
    t->setTableName(QStringLiteral("V_SYSPARAMS"));
    t->setIndexFieldNames(QStringLiteral("V_COMPANY"));
    t->setUpdateMode(db::Table::UpdateMode::WhereAll);
    return t;
}

// The companies table open on a fresh server, behind a data source.
struct Companies {
    testsupport::TempServers servers;
    std::unique_ptr<db::Connection> c = servers.connect();
    std::unique_ptr<db::Table> t = companies(*c);
    db::DataSource source;
    Companies()
    {
        source.setDataSet(t.get());
        t->open();
    }
};

} // namespace

class TestControls : public QObject {
    Q_OBJECT
private slots:
    void inputMasks_data();
    void inputMasks();
    void anUpperCaseEditStoresCapitals();
    void lookupControlsKeyTheirRows();
    void aGridEditsInPlace();
    void tabLeavesAGrid_data();
    void tabLeavesAGrid();
    void aGridStartsAndDropsNewRows();
    void typingIntoAnyRowWritesThatRow();
    void aSaveTakesTheTextOfAnOpenCell();
    void theGridFollowsTheCursorAndMovesIt();
    void aGridReadsMoreRowsAsItIsScrolled_data();
    void aGridReadsMoreRowsAsItIsScrolled();
    void aFailingShowHandlerStopsTheShowing();
    void theBusyCursorShowsWhileTheProgramWorks_data();
    void theBusyCursorShowsWhileTheProgramWorks();
};

void TestControls::inputMasks_data()
{
    QTest::addColumn<QString>("editMask");
    QTest::addColumn<QString>("inputMask");
    QTest::newRow("date") << "!99/99/00;1;_" << "00/00/99;_";
    QTest::newRow("no mask") << "" << "";
    QTest::newRow("letters and literal") << "LL-000;0; " << "AA-999; ";
    QTest::newRow("a mask character as a literal") << "00\\D" << "99\\D;_";
}

void TestControls::inputMasks()
{
    QFETCH(QString, editMask);
    QFETCH(QString, inputMask);
    QCOMPARE(inputMaskOf(editMask), inputMask);
}

void TestControls::anUpperCaseEditStoresCapitals()
{
    Companies fixture;
    auto &c = fixture.c;
    auto &t = fixture.t;
    db::DataSource &source = fixture.source;
    Window w;
    auto *edit = new DBEdit(&w.widget);
    auto *other = new DBEdit(&w.widget);
    edit->setDataSource(&source);
    edit->setDataField(QStringLiteral("DB_NAME"));
    edit->setCharCase(CharCase::Upper);
    w.show();
    QCOMPARE(edit->text(), QStringLiteral("VORTA"));
    QCOMPARE(edit->maxLength(), 20);
    edit->setFocus();
    edit->selectAll();
    QTest::keyClicks(edit, QStringLiteral("pank"));
    QCOMPARE(edit->text(), QStringLiteral("PANK"));
    QCOMPARE(t->state(), db::DataSetState::Edit);
    other->setFocus(); // leaving writes the text into the field
    QCOMPARE(t->fieldByName(QStringLiteral("DB_NAME")).asString(), QStringLiteral("PANK"));
    t->post();
    QCOMPARE(testsupport::column(*c, QStringLiteral("select db_name from v_sysparams where v_company = 1")),
             QStringList{QStringLiteral("PANK")});
}

void TestControls::lookupControlsKeyTheirRows()
{
    testsupport::TempServers servers;
    auto c = servers.connect();
    db::Query list(QStringLiteral("list"), c.get(),
                   {QStringLiteral("select to_char(v_company) database_id, db_name from v_sysparams order by database_id")}, nullptr);
    db::DataSource source;
    source.setDataSet(&list);
    DBLookupListBox box;
    box.setListSource(&source);
    box.setKeyField(QStringLiteral("DATABASE_ID"));
    box.setListField(QStringLiteral("DB_NAME"));
    DBLookupComboBox combo;
    combo.setListSource(&source);
    combo.setKeyField(QStringLiteral("DATABASE_ID"));
    combo.setListField(QStringLiteral("DB_NAME"));
    QCOMPARE(box.count(), 0); // the list is closed
    list.open();
    QCOMPARE(box.count(), 3);
    QCOMPARE(box.item(1)->text(), QStringLiteral("FONDID"));
    QVERIFY(box.keyValue().isNull());
    QSignalSpy chosen(&box, &DBLookupListBox::chosen);
    box.choose(2);
    QCOMPARE(chosen.count(), 1);
    QCOMPARE(box.keyValue().toString(), QStringLiteral("2"));
    QCOMPARE(list.fieldByName(QStringLiteral("DB_NAME")).asString(), QStringLiteral("LIISING")); // the list moved
    // A key given as a number finds the row keyed by its text.
    combo.setKeyValue(10);
    QCOMPARE(combo.text(), QStringLiteral("FONDID"));
    QCOMPARE(list.fieldByName(QStringLiteral("DB_NAME")).asString(), QStringLiteral("FONDID"));
    combo.setKeyValue(7);
    QCOMPARE(combo.text(), QString());
    QCOMPARE(combo.keyValue().toInt(), 7);
    // Reopened rows keep the chosen line.
    box.setKeyValue(QStringLiteral("1"));
    list.close();
    list.open();
    QCOMPARE(box.currentRow(), 0);
    combo.setKeyValue(2);
    list.close();
    list.open();
    QCOMPARE(combo.text(), QStringLiteral("LIISING"));
    QCOMPARE(list.fieldByName(QStringLiteral("DB_NAME")).asString(), QStringLiteral("LIISING"));
    QSignalSpy closed(&combo, &DBLookupComboBox::closeUp);
    combo.hidePopup();
    QVERIFY(closed.wait(500));
}

void TestControls::aGridEditsInPlace()
{
    Companies fixture;
    auto &c = fixture.c;
    auto &t = fixture.t;
    db::DataSource &source = fixture.source;
    Window w;
    auto *grid = new DBGrid(&w.widget);
    grid->setDataSource(&source);
    grid->setColumns({{QStringLiteral("V_COMPANY"), QStringLiteral("ID"), 4}, {QStringLiteral("DB_NAME"), QStringLiteral("Short name"), 0}});
    w.show();
    QCOMPARE(grid->titles(), (QStringList{QStringLiteral("ID"), QStringLiteral("Short name")}));
    QCOMPARE(grid->model()->rowCount(), 3);
    QVERIFY(grid->model()->flags(grid->model()->index(1, 1)) & Qt::ItemIsEditable);
    QVERIFY(grid->model()->setData(grid->model()->index(1, 1), QStringLiteral("FONDID2"), Qt::EditRole));
    QCOMPARE(t->recNo(), 1);
    QCOMPARE(t->state(), db::DataSetState::Edit);
    QCOMPARE(grid->model()->headerData(1, Qt::Vertical, Qt::DisplayRole).toString(), QStringLiteral("✎"));
    t->post();
    QCOMPARE(testsupport::column(*c, QStringLiteral("select db_name from v_sysparams where v_company = 2")),
             QStringList{QStringLiteral("FONDID2")});
    grid->setReadOnly(true);
    QVERIFY(!(grid->model()->flags(grid->model()->index(1, 1)) & Qt::ItemIsEditable));
}

void TestControls::tabLeavesAGrid_data()
{
    QTest::addColumn<bool>("readOnly");
    QTest::addColumn<bool>("typing"); // in the row's last cell
    QTest::newRow("read-only") << true << false;
    QTest::newRow("edited in place") << false << false;
    QTest::newRow("from the last cell being typed") << false << true;
}

void TestControls::tabLeavesAGrid()
{
    QFETCH(bool, readOnly);
    QFETCH(bool, typing);
    Companies fixture;
    Window w;
    auto *grid = new DBGrid(&w.widget);
    auto *next = new QLineEdit(&w.widget);
    grid->setDataSource(&fixture.source);
    grid->setReadOnly(readOnly);
    w.show();
    grid->setFocus();
    grid->setCurrentIndex(grid->model()->index(0, typing ? grid->model()->columnCount() - 1 : 0));
    if (typing)
        QTest::keyClick(grid, Qt::Key_F2);
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    QTRY_VERIFY(next->hasFocus());
    QTest::keyClick(next, Qt::Key_Backtab, Qt::ShiftModifier);
    QTRY_VERIFY(grid->hasFocus());
    QTest::keyClick(grid, Qt::Key_Down); // the arrows move inside
    QCOMPARE(fixture.t->recNo(), 1);
}

void TestControls::aGridStartsAndDropsNewRows()
{
    Companies fixture;
    testsupport::MessageLog messages;
    auto &t = fixture.t;
    db::DataSource &source = fixture.source;
    Window w;
    auto *grid = new DBGrid(&w.widget);
    auto *elsewhere = new QLineEdit(&w.widget);
    grid->setDataSource(&source);
    w.show();
    grid->setFocus();
    QTest::keyClick(grid, Qt::Key_Insert);
    QCOMPARE(t->state(), db::DataSetState::Insert);
    QCOMPARE(grid->model()->rowCount(), 4);
    elsewhere->setFocus(); // nothing typed: the new row goes
    QCOMPARE(t->state(), db::DataSetState::Browse);
    QCOMPARE(grid->model()->rowCount(), 3);
    // Down from the last row starts a new row too.
    grid->setFocus();
    t->last();
    QTest::keyClick(grid, Qt::Key_Down);
    QCOMPARE(t->state(), db::DataSetState::Insert);
    QCOMPARE(t->recNo(), 3);
    QTest::keyClick(grid, Qt::Key_Escape);
    QCOMPARE(grid->model()->rowCount(), 3);
    // Ctrl+Delete asks first.
    messages.answer({false});
    QTest::keyClick(grid, Qt::Key_Delete, Qt::ControlModifier);
    QCOMPARE(messages.texts(), QStringList{QStringLiteral("Delete record?")});
    QCOMPARE(t->recordCount(), 3);
}

namespace {

// Types a text into the grid's current cell as a user does: the first key opens the
// editor, the rest go to it, Enter ends the editing.
void typeIntoCell(DBGrid *grid, const QString &text)
{
    QTest::keyClick(grid, text.at(0).toLatin1());
    QWidget *editor = QApplication::focusWidget();
    QVERIFY(editor && editor != grid);
    QTest::keyClicks(editor, text.mid(1));
    QTest::keyClick(editor, Qt::Key_Return);
    QTRY_VERIFY(QApplication::focusWidget() == grid); // the editor commits and closes once the key is handled
}

QStringList shortNames(const db::Table &t)
{
    QStringList names;
    const db::Field &f = t.fieldByName(QStringLiteral("DB_NAME"));
    for (int row = 0; row < t.recordCount(); ++row)
        names.append(f.displayTextFor(t.rowValue(row, f)));
    return names;
}

// The companies in a grid of their number and short name, shown with the focus.
struct CompaniesGrid {
    Companies fixture;
    Window w;
    DBGrid *grid = new DBGrid(&w.widget);
    CompaniesGrid()
    {
        grid->setDataSource(&fixture.source);
        grid->setColumns({{QStringLiteral("V_COMPANY"), QStringLiteral("ID"), 4},
                          {QStringLiteral("DB_NAME"), QStringLiteral("Short name"), 0}});
        w.show();
        grid->setFocus();
    }
};

} // namespace

void TestControls::typingIntoAnyRowWritesThatRow()
{
    testsupport::MessageLog messages;
    CompaniesGrid g;
    Companies &fixture = g.fixture;
    auto &t = fixture.t;
    DBGrid *grid = g.grid;
    auto *model = grid->model();
    const QStringList stored{QStringLiteral("VORTA"), QStringLiteral("LIISING"), QStringLiteral("FONDID")};
    QCOMPARE(shortNames(*t), stored);

    // An inserted row, still empty when the typing starts.
    grid->setCurrentIndex(model->index(0, 1));
    QTest::keyClick(grid, Qt::Key_Insert);
    QCOMPARE(t->state(), db::DataSetState::Insert);
    typeIntoCell(grid, QStringLiteral("NEW1"));
    QCOMPARE(messages.texts().join(QLatin1Char('\n')), QString());
    QCOMPARE(t->state(), db::DataSetState::Insert);
    QCOMPARE(t->recNo(), 0);
    QCOMPARE(shortNames(*t), QStringList{QStringLiteral("NEW1")} + stored);
    t->cancel();

    // An appended row.
    grid->setCurrentIndex(model->index(2, 1));
    QTest::keyClick(grid, Qt::Key_Down);
    QCOMPARE(t->state(), db::DataSetState::Insert);
    QCOMPARE(t->recNo(), 3);
    typeIntoCell(grid, QStringLiteral("NEW2"));
    QCOMPARE(shortNames(*t), stored + QStringList{QStringLiteral("NEW2")});
    t->cancel();

    // A row in the middle.
    grid->setCurrentIndex(model->index(1, 1));
    typeIntoCell(grid, QStringLiteral("MID"));
    QCOMPARE(t->state(), db::DataSetState::Edit);
    QCOMPARE(shortNames(*t), (QStringList{QStringLiteral("VORTA"), QStringLiteral("MID"), QStringLiteral("FONDID")}));
    t->cancel();

    // A value written into another row while an empty new row stands above it reaches the
    // row that was shown there, not the one that moves into its place.
    grid->setCurrentIndex(model->index(0, 1));
    QTest::keyClick(grid, Qt::Key_Insert);
    QVERIFY(model->setData(model->index(2, 1), QStringLiteral("LIIS2"), Qt::EditRole));
    QCOMPARE(t->state(), db::DataSetState::Edit);
    QCOMPARE(shortNames(*t), (QStringList{QStringLiteral("VORTA"), QStringLiteral("LIIS2"), QStringLiteral("FONDID")}));
    t->cancel();
    QCOMPARE(testsupport::column(*fixture.c, QStringLiteral("select db_name from v_sysparams order by v_company")), stored);
}

void TestControls::aSaveTakesTheTextOfAnOpenCell()
{
    testsupport::MessageLog messages;
    CompaniesGrid g;
    Companies &fixture = g.fixture;
    auto &t = fixture.t;
    DBGrid *grid = g.grid;
    auto *model = grid->model();
    auto openCell = [&](int row, int column, const QString &text) {
        grid->setCurrentIndex(model->index(row, column));
        QTest::keyClick(grid, text.at(0).toLatin1());
        QWidget *editor = QApplication::focusWidget();
        QVERIFY(editor && editor != grid);
        QTest::keyClicks(editor, text.mid(1));
    };

    // A cell opened and closed as it was starts no editing.
    grid->setCurrentIndex(model->index(1, 1));
    QTest::keyClick(grid, Qt::Key_F2);
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
    QTRY_VERIFY(QApplication::focusWidget() == grid);
    QCOMPARE(t->state(), db::DataSetState::Browse);

    // A post takes the text a cell's editor still holds.
    openCell(1, 1, QStringLiteral("OPEN"));
    t->edit();
    t->post();
    QCOMPARE(testsupport::column(*fixture.c, QStringLiteral("select db_name from v_sysparams where v_company = 2")),
             QStringList{QStringLiteral("OPEN")});

    // A text the field refuses stops the post, and the row stays in editing.
    openCell(1, 0, QStringLiteral("abc"));
    t->edit();
    QVERIFY_THROWS_EXCEPTION(db::DbError, t->post());
    QCOMPARE(t->state(), db::DataSetState::Edit);
    QCOMPARE(testsupport::countRows(*fixture.c, QStringLiteral("select 1 from v_sysparams where v_company = 2")), 1);
    t->cancel();
    QCOMPARE(messages.texts(), QStringList());
}

void TestControls::theGridFollowsTheCursorAndMovesIt()
{
    testsupport::TempServers servers;
    auto c = servers.connect();
    db::Query q(QStringLiteral("q"), c.get(), {QStringLiteral("select prog_id, prog_exe from vortalix_prog order by prog_id")}, nullptr);
    db::DataSource source;
    source.setDataSet(&q);
    Window w;
    auto *grid = new DBGrid(&w.widget);
    grid->setDataSource(&source);
    grid->setRowSelect(true);
    w.show();
    q.open();
    QCOMPARE(grid->currentIndex().row(), 0);
    q.setRecNo(5);
    QCOMPARE(grid->currentIndex().row(), 5);
    QCOMPARE(grid->model()->headerData(5, Qt::Vertical, Qt::DisplayRole).toString(), QStringLiteral("▶"));
    QCOMPARE(grid->model()->headerData(4, Qt::Vertical, Qt::DisplayRole).toString(), QString());
    grid->setCurrentIndex(grid->model()->index(8, 1));
    QCOMPARE(q.recNo(), 8);
    QCOMPARE(q.fieldByName(QStringLiteral("PROG_EXE")).asString(), grid->model()->index(8, 1).data().toString());
    q.setFilter(QStringLiteral("prog_exe='CARD*'"));
    q.setFiltered(true);
    QCOMPARE(grid->model()->rowCount(), 3);
}

namespace {

// A window whose show handler fails, closes it, or fills it, as told.
class ShowProbe : public Form {
public:
    enum class Then { Fill, Fail, Close };
    Then then = Then::Fill;
    int shows = 0;
    int hides = 0;

protected:
    void formShow() override
    {
        ++shows;
        if (then == Then::Fail)
            throw db::DbError(QStringLiteral("ORA-00942: table or view does not exist"));
        if (then == Then::Close)
            setModalResult(core::ModalResult::Cancel);
    }
    void formHide() override { ++hides; }
};

} // namespace

void TestControls::aFailingShowHandlerStopsTheShowing()
{
    testsupport::MessageLog messages;
    ShowProbe probe;
    int appeared = 0;
    probe.installEventFilter(new Window::Counter(&probe, QEvent::Show, &appeared));

    // Modal: the error goes on to the caller, the window never appears and says Cancel.
    probe.then = ShowProbe::Then::Fail;
    QString caught;
    try {
        probe.showModal();
    } catch (const db::DbError &e) {
        caught = e.text();
    }
    QCOMPARE(caught, QStringLiteral("ORA-00942: table or view does not exist"));
    QCOMPARE(probe.modalResult(), core::ModalResult::Cancel);
    QCOMPARE(appeared, 0);
    QVERIFY(!probe.isVisible());
    QCOMPARE(probe.hides, 1); // what the handler opened before it failed is closed again

    // Shown from a handler, the handler stops there and the guard shows the error once.
    bool after = false;
    guard([&] {
        probe.showModal();
        after = true;
    });
    QVERIFY(!after);
    QCOMPARE(messages.texts(MessageKind::Error), QStringList{QStringLiteral("ORA-00942: table or view does not exist")});

    // Modeless: not shown, and the caller learns of it.
    QVERIFY_THROWS_EXCEPTION(db::DbError, probe.show());
    QVERIFY_THROWS_EXCEPTION(db::DbError, probe.showModeless());
    QVERIFY(!probe.isVisible());
    QCOMPARE(appeared, 0);
    QCOMPARE(probe.hides, 4);

    // A handler that closes the window: the result comes back without the window showing,
    // and the hide handler still runs.
    probe.then = ShowProbe::Then::Close;
    QCOMPARE(probe.showModal(), core::ModalResult::Cancel);
    QCOMPARE(appeared, 0);
    QCOMPARE(probe.hides, 5);

    // A handler that succeeds runs once per showing, before the window appears.
    probe.then = ShowProbe::Then::Fill;
    probe.shows = 0;
    probe.hides = 0;
    QTimer::singleShot(0, &probe, [&] { probe.setModalResult(core::ModalResult::OK); });
    QCOMPARE(probe.showModal(), core::ModalResult::OK);
    QCOMPARE(probe.shows, 1);
    QCOMPARE(appeared, 1);
    QCOMPARE(probe.hides, 1);
    probe.show();
    QVERIFY(probe.isVisible());
    QCOMPARE(probe.shows, 2);
    probe.hide();
    QCOMPARE(probe.hides, 2);
    probe.showModeless();
    QVERIFY(probe.isVisible());
    QCOMPARE(probe.shows, 3);
    probe.showModeless(); // already on the screen: the handler does not run again
    QCOMPARE(probe.shows, 3);
    probe.hide();
}

QTEST_MAIN(TestControls)
void TestControls::aGridReadsMoreRowsAsItIsScrolled_data()
{
    QTest::addColumn<std::function<void(DBGrid *, db::DataSet &)>>("action");
    QTest::addColumn<int>("rows");
    QTest::addColumn<int>("current");
    using Act = std::function<void(DBGrid *, db::DataSet &)>;
    QTest::newRow("opened") << Act([](DBGrid *, db::DataSet &) {}) << 100 << 0;
    QTest::newRow("scrolled to the end") << Act([](DBGrid *g, db::DataSet &) { g->scrollToBottom(); }) << 200 << 0;
    QTest::newRow("the last row") << Act([](DBGrid *, db::DataSet &d) { d.last(); }) << 250 << 249;
    QTest::newRow("moved down past the rows read") << Act([](DBGrid *g, db::DataSet &d) {
        d.setRecNo(99);
        g->setFocus();
        QTest::keyClick(g, Qt::Key_Down);
    }) << 200 << 100;
}

void TestControls::aGridReadsMoreRowsAsItIsScrolled()
{
    QFETCH(std::function<void(DBGrid *, db::DataSet &)>, action);
    QFETCH(int, rows);
    QFETCH(int, current);
    testsupport::MemoryDataSet data{{QStringLiteral("NAME")}};
    for (int i = 1; i <= 250; ++i)
        data.addRow({QStringLiteral("R%1").arg(i, 3, 10, QLatin1Char('0'))});
    data.setFetchOnDemand(true);
    db::DataSource source;
    source.setDataSet(&data);
    Window w;
    auto *grid = new DBGrid(&w.widget);
    grid->setDataSource(&source);
    grid->setReadOnly(true);
    w.show();
    data.open();
    action(grid, data);
    QCOMPARE(grid->model()->rowCount(), rows);
    QCOMPARE(grid->currentIndex().row(), current);
    QCOMPARE(grid->model()->index(rows - 1, 0).data().toString(), QStringLiteral("R%1").arg(rows, 3, 10, QLatin1Char('0')));
}

namespace {

bool busyCursor()
{
    const QCursor *cursor = QApplication::overrideCursor();
    return cursor && cursor->shape() == Qt::WaitCursor;
}

} // namespace

void TestControls::theBusyCursorShowsWhileTheProgramWorks_data()
{
    // What a handler does (run by guard), and whether the busy cursor showed at each of
    // the moments it notes: in the handler, in a modal window it opens, in a handler run
    // from that window, after the window closed.
    QTest::addColumn<bool>("modal");
    QTest::addColumn<bool>("fails");
    QTest::addColumn<QList<bool>>("busy");
    QTest::newRow("a handler's work") << false << false << QList<bool>{true};
    QTest::newRow("a modal window waits for the user, a handler in it works")
        << true << false << QList<bool>{true, false, true, false, true};
    QTest::newRow("a handler that fails") << false << true << QList<bool>{true};
}

void TestControls::theBusyCursorShowsWhileTheProgramWorks()
{
    QFETCH(bool, modal);
    QFETCH(bool, fails);
    QFETCH(QList<bool>, busy);
    testsupport::MessageLog messages;
    QList<bool> seen;
    testsupport::ModalDriver driver;
    Form dialog;
    auto *inner = new QPushButton(QStringLiteral("Work"), &dialog);
    QObject::connect(inner, &QPushButton::clicked, &dialog, [&] { guard([&] { seen.append(busyCursor()); }); });
    if (modal) {
        driver.then([&](QWidget *) {
            seen.append(busyCursor());
            inner->click();
            seen.append(busyCursor());
            dialog.accept();
        });
    }
    guard([&] {
        seen.append(busyCursor());
        if (modal) {
            dialog.showModal();
            seen.append(busyCursor());
        }
        if (fails)
            throw db::DbError(QStringLiteral("refused"));
    });
    QCOMPARE(seen, busy);
    QVERIFY2(!busyCursor(), "the busy cursor stayed after the handler");
    QCOMPARE(messages.texts(), fails ? QStringList{QStringLiteral("refused")} : QStringList());
}

#include "tst_controls.moc"
