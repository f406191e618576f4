#include "grants/progpas.h"

#include "app/Users.h"
#include "data/History.h"
#include "data/Statements.h"
#include "grants/chosedb.h"
#include "grants/printlist.h"
#include "platform/controls/Glyphs.h"
#include "platform/controls/Messages.h"
#include "platform/db/AccountStatement.h"
#include "platform/db/DbError.h"
#include "platform/db/RecordFilter.h"
#include "platform/report/Output.h"

#include <QFocusEvent>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QResizeEvent>
#include <QScrollBar>
#include <QVBoxLayout>

TFormProg *FormProg = nullptr;

using controls::guard;

namespace {

QLabel *titleLabel(const QString &text, const QString &name, QWidget *parent)
{
    auto *label = new QLabel(text, parent);
    label->setObjectName(name);
    label->setAlignment(Qt::AlignCenter);
    return label;
}

controls::DBGrid *programGrid(const QString &name, const QString &accessibleName, db::DataSource *source, QWidget *parent)
{
    auto *grid = new controls::DBGrid(parent);
    grid->setObjectName(name);
    grid->setAccessibleName(accessibleName);
    grid->setDataSource(source);
    grid->setReadOnly(true);
    grid->setRowSelect(true);
    grid->setIndicator(false);
    grid->setColumns({{QStringLiteral("PROG_GROUP"), QStringLiteral("Group"), 9},
                      {QStringLiteral("PROG_NAME"), QString(), 19},
                      {QStringLiteral("PROG_EXE"), QString(), 12}});
    grid->horizontalHeader()->setStretchLastSection(true);
    // No name or executable is cut: the columns take their widest value when the lists open.
    grid->setFitToContents(true);
    return grid;
}

QPushButton *arrowButton(const QString &name, const QString &caption, const QString &accessibleName, QWidget *parent)
{
    auto *b = new QPushButton(caption, parent);
    b->setObjectName(name);
    b->setAccessibleName(accessibleName);
    QFont font = b->font();
    font.setBold(true);
    b->setFont(font);
    b->setAutoDefault(false);
    b->setFixedWidth(30);
    // A click acts on the row the grid shows; it does not take the focus, so leaving the
    // user name field does not read the lists again under the pointer first.
    b->setFocusPolicy(Qt::TabFocus);
    return b;
}

void addGrantFields(db::Query *q)
{
    using db::FieldType;
    q->addField(QStringLiteral("USERNAME"), FieldType::String, columns::UserName);
    q->addField(QStringLiteral("VORTALIX_PROG_ID"), FieldType::Float);
    q->addField(QStringLiteral("PROG_EXE"), FieldType::String, columns::ProgExe);
    q->addField(QStringLiteral("PROG_GROUP"), FieldType::String, columns::ProgGroup);
    q->addField(QStringLiteral("PROG_NAME"), FieldType::String, columns::ProgName);
    q->addField(QStringLiteral("SERVERPATH"), FieldType::String, 64);
    q->addField(QStringLiteral("CLIENTPATH"), FieldType::String, 64);
    q->addField(QStringLiteral("DATABASE_ID"), FieldType::Float);
    q->addField(QStringLiteral("DB_NAME"), FieldType::String, 20);
    q->addField(QStringLiteral("CONNSTR"), FieldType::String, 13);
    q->addField(QStringLiteral("WEBCONNSTR"), FieldType::String, 25);
    q->addField(QStringLiteral("NLS_LANG"), FieldType::String, 1);
    q->addField(QStringLiteral("ORA_HOME"), FieldType::String, 1);
    q->addField(QStringLiteral("ORA_SID"), FieldType::String, 1);
    q->addField(QStringLiteral("PROG_TYPE"), FieldType::String, columns::ProgType);
}

void addProgramFields(db::Query *q)
{
    using db::FieldType;
    q->addField(QStringLiteral("PROG_ID"), FieldType::Float);
    q->addField(QStringLiteral("PROG_NAME"), FieldType::String, columns::ProgName);
    q->addField(QStringLiteral("PROG_EXE"), FieldType::String, columns::ProgExe);
    q->addField(QStringLiteral("PROG_AUTHOR"), FieldType::String, columns::ProgAuthor);
    q->addField(QStringLiteral("PROG_VERSION"), FieldType::String, columns::ProgVersion);
    q->addField(QStringLiteral("PROG_LAST_COMP"), FieldType::DateTime);
    q->addField(QStringLiteral("PROG_DESCRIPTION"), FieldType::String, columns::ProgDescription);
    q->addField(QStringLiteral("PROG_GROUP"), FieldType::String, columns::ProgGroup);
    q->addField(QStringLiteral("PROG_TYPE"), FieldType::String, columns::ProgType);
    q->addField(QStringLiteral("REPORTING_FREQ"), FieldType::String, 10);
    q->addField(QStringLiteral("VERSION"), FieldType::Float);
    q->addField(QStringLiteral("SERVERPATH"), FieldType::String, 64);
    q->addField(QStringLiteral("CLIENTPATH"), FieldType::String, 64);
    q->addField(QStringLiteral("ICON"), FieldType::Memo);
    q->addField(QStringLiteral("USER_NAME"), FieldType::String, 32);
    q->addField(QStringLiteral("HELP_PATH"), FieldType::String, 64);
    q->addField(QStringLiteral("REF_PATH"), FieldType::String, 64);
}

} // namespace

TFormProg::TFormProg(QWidget *parent) : controls::Form(parent)
{
    setObjectName(QStringLiteral("FormProg"));
    setWindowTitle(QStringLiteral("FormProg"));
    setSizeGripEnabled(true);

    buildData();
    auto *window = new QVBoxLayout(this);
    window->setContentsMargins(0, 0, 0, 0);
    window->setSpacing(0);
    // The columns are placed by the resize rule, not by the layout's minimum sizes.
    window->setSizeConstraint(QLayout::SetNoConstraint);
    buildTopStrip();
    buildColumns();
    window->addWidget(Panel1);
    window->addWidget(m_columns, 1);

    setMinimumSize(smallestWidth, smallestHeight());
    resize(680, 480);
}

int TFormProg::smallestHeight() const
{
    // The top strip whole, and under it each list's title, its column titles, a few rows
    // and its scroll bar, beside both arrows.
    constexpr int rowsShown = 3;
    const int grid = DBGrid1->horizontalHeader()->sizeHint().height()
                     + rowsShown * DBGrid1->verticalHeader()->defaultSectionSize()
                     + DBGrid1->horizontalScrollBar()->sizeHint().height() + 2 * DBGrid1->frameWidth();
    const QMargins side = Panel3->layout()->contentsMargins();
    const int list = side.top() + Label2->sizeHint().height() + Panel3->layout()->spacing() + grid + side.bottom();
    const int arrows = ExcludeBtn->sizeHint().height() + Panel2->layout()->spacing() + IncludeBtn->sizeHint().height();
    return Panel1->sizeHint().height() + std::max(list, arrows);
}

void TFormProg::buildData()
{
    db::Connection *database = Form1->Database1;

    QueryuserProg = new db::Query(QStringLiteral("QueryuserProg"), database, statements::QueryuserProg, this);
    addGrantFields(QueryuserProg);
    QueryuserProgVORTALIX_PROG_ID = &QueryuserProg->fieldByName(QStringLiteral("VORTALIX_PROG_ID"));
    QueryuserProg->beforeOpen = [this](db::DataSet &) { QueryuserProgBeforeOpen(); };
    DataSource2 = new db::DataSource(this);
    DataSource2->setDataSet(QueryuserProg);

    QueryAllProg = new db::Query(QStringLiteral("QueryAllProg"), database, statements::QueryAllProg, this);
    addProgramFields(QueryAllProg);
    QueryAllProgPROG_ID = &QueryAllProg->field(0);
    QueryAllProg->beforeOpen = [this](db::DataSet &) { QueryAllProgBeforeOpen(); };
    QueryAllProg->afterOpen = [this](db::DataSet &) { QueryAllProgAfterOpen(); };
    DataSource1 = new db::DataSource(this);
    DataSource1->setDataSet(QueryAllProg);

    QueryAdd = new db::Query(QStringLiteral("QueryAdd"), database, statements::ProgQueryAdd, this);
    QueryDelete = new db::Query(QStringLiteral("QueryDelete"), database, statements::ProgQueryDelete, this);
    QueryCopyAll = new db::Query(QStringLiteral("QueryCopyAll"), database, statements::QueryCopyAll, this);
}

void TFormProg::buildTopStrip()
{
    Panel1 = new QWidget(this);
    Panel1->setObjectName(QStringLiteral("Panel1"));
    auto *rows = new QVBoxLayout(Panel1);
    rows->setContentsMargins(4, 4, 4, 2);
    rows->setSpacing(2);
    auto *first = new QHBoxLayout;
    first->setSpacing(4);
    rows->addLayout(first);
    auto *second = new QHBoxLayout;
    second->setSpacing(8);
    rows->addLayout(second);

    DBText1 = new controls::DBText(Panel1);
    DBText1->setObjectName(QStringLiteral("DBText1"));
    DBText1->setDataSource(Form1->DataSourceDBs);
    DBText1->setDataField(QStringLiteral("DB_NAME"));
    // A screen reader reads the company itself, and what it is.
    DBText1->setAccessibleDescription(QStringLiteral("Company"));
    QFont bold = DBText1->font();
    bold.setBold(true);
    DBText1->setFont(bold);
    DBText1->setMinimumWidth(64);

    BitBtn1 = new QPushButton(QStringLiteral("Copy from other DB"), Panel1);
    BitBtn1->setObjectName(QStringLiteral("BitBtn1"));
    BitBtn1->setToolTip(QStringLiteral("Copy all grants from other DB"));
    BitBtn1->setAutoDefault(false);

    Label1 = new QLabel(QStringLiteral("user"), Panel1);
    Label1->setObjectName(QStringLiteral("Label1"));
    Edit1 = new QLineEdit(Panel1);
    Edit1->setObjectName(QStringLiteral("Edit1"));
    Edit1->setAccessibleName(QStringLiteral("user"));
    Edit1->setMaxLength(db::names::maxLength);
    Edit1->setMinimumWidth(60);
    controls::setCharCase(Edit1, controls::CharCase::Upper);
    Label1->setBuddy(Edit1);

    SpeedButton1 = new QToolButton(Panel1);
    SpeedButton1->setObjectName(QStringLiteral("SpeedButton1"));
    SpeedButton1->setIcon(controls::glyph(controls::Glyph::Reload));
    SpeedButton1->setToolTip(QStringLiteral("Reload the lists"));
    SpeedButton1->setAccessibleName(QStringLiteral("Reload the lists"));
    SpeedButton1->setFixedSize(24, 24);

    SpeedButton2 = new QToolButton(Panel1);
    SpeedButton2->setObjectName(QStringLiteral("SpeedButton2"));
    SpeedButton2->setText(QStringLiteral("Print"));
    SpeedButton2->setToolTip(QStringLiteral("Print list of granted programs"));
    SpeedButton2->setFixedHeight(24);

    first->addWidget(DBText1);
    first->addWidget(BitBtn1);
    first->addWidget(Label1);
    first->addWidget(Edit1, 1);
    first->addWidget(SpeedButton1);
    first->addWidget(SpeedButton2);

    CheckBox1 = new QCheckBox(QStringLiteral("Apply filter"), Panel1);
    CheckBox1->setObjectName(QStringLiteral("CheckBox1"));
    CheckBox1->setChecked(true);
    // A click reloads the lists; it does not take the focus, so that leaving the user name
    // field does not reload them a second time.
    CheckBox1->setFocusPolicy(Qt::TabFocus);
    LabelStatus = new QLabel(Panel1);
    LabelStatus->setObjectName(QStringLiteral("LabelStatus"));
    LabelStatus->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    second->addWidget(CheckBox1);
    second->addWidget(LabelStatus, 1);

    connect(BitBtn1, &QPushButton::clicked, this, [this] { guard([this] { BitBtn1Click(); }); });
    connect(SpeedButton1, &QToolButton::clicked, this, [this] { guard([this] { SpeedButton1Click(); }); });
    connect(SpeedButton2, &QToolButton::clicked, this, [this] { guard([this] { SpeedButton2Click(); }); });
    connect(CheckBox1, &QCheckBox::clicked, this, [this] { guard([this] { SpeedButton1Click(); }); });
    connect(Edit1, &QLineEdit::returnPressed, this, [this] { guard([this] { SpeedButton1Click(); }); });
    connect(Edit1, &QLineEdit::textChanged, this, [this] { SetButtons(); });
    Edit1->installEventFilter(this);
}

void TFormProg::buildColumns()
{
    m_columns = new QWidget(this);
    m_columns->setObjectName(QStringLiteral("Columns"));
    m_columns->installEventFilter(this);

    Panel3 = new QWidget(m_columns);
    Panel3->setObjectName(QStringLiteral("Panel3"));
    Label2 = titleLabel(QStringLiteral("Available"), QStringLiteral("Label2"), Panel3);
    DBGrid1 = programGrid(QStringLiteral("DBGrid1"), QStringLiteral("Available"), DataSource1, Panel3);
    auto *left = new QVBoxLayout(Panel3);
    left->setContentsMargins(4, 0, 0, 4);
    left->setSpacing(2);
    left->addWidget(Label2);
    left->addWidget(DBGrid1, 1);

    Panel2 = new QWidget(m_columns);
    Panel2->setObjectName(QStringLiteral("Panel2"));
    ExcludeBtn = arrowButton(QStringLiteral("ExcludeBtn"), QStringLiteral(">"), QStringLiteral("Grant"), Panel2);
    IncludeBtn = arrowButton(QStringLiteral("IncludeBtn"), QStringLiteral("<"), QStringLiteral("Revoke"), Panel2);
    auto *middle = new QVBoxLayout(Panel2);
    middle->setContentsMargins(0, 0, 0, 0);
    middle->setSpacing(6);
    middle->addStretch();
    middle->addWidget(ExcludeBtn, 0, Qt::AlignHCenter);
    middle->addWidget(IncludeBtn, 0, Qt::AlignHCenter);
    middle->addStretch();

    Panel4 = new QWidget(m_columns);
    Panel4->setObjectName(QStringLiteral("Panel4"));
    Label3 = titleLabel(QStringLiteral("Granted"), QStringLiteral("Label3"), Panel4);
    DBGrid2 = programGrid(QStringLiteral("DBGrid2"), QStringLiteral("Granted"), DataSource2, Panel4);
    auto *right = new QVBoxLayout(Panel4);
    right->setContentsMargins(0, 0, 4, 4);
    right->setSpacing(2);
    right->addWidget(Label3);
    right->addWidget(DBGrid2, 1);

    setTabOrder(CheckBox1, DBGrid1);
    setTabOrder(DBGrid1, ExcludeBtn);
    setTabOrder(ExcludeBtn, IncludeBtn);
    setTabOrder(IncludeBtn, DBGrid2);

    connect(ExcludeBtn, &QPushButton::clicked, this, [this] { guard([this] { ExcludeBtnClick(); }); });
    connect(IncludeBtn, &QPushButton::clicked, this, [this] { guard([this] { IncludeBtnClick(); }); });
    for (controls::DBGrid *grid : {DBGrid1, DBGrid2})
        connect(grid->model(), &QAbstractItemModel::modelReset, this, [this] { SetButtons(); });
    SetButtons();
}

// ---- the window's own operations ------------------------------------------------------

void TFormProg::takeCompany()
{
    const TForm1::Company company = Form1->chosenCompany();
    if (!company.valid())
        throw db::DbError(QStringLiteral("Choose a company in the main window first"));
    DatabaseId = company.id;
    m_dbName = company.name;
}

bool TFormProg::listsOutdated() const
{
    const TForm1::Company company = Form1->chosenCompany();
    return m_listUser != Edit1->text() || company.name != m_dbName || company.id != DatabaseId;
}

void TFormProg::closeLists()
{
    QueryuserProg->close();
    QueryAllProg->close();
}

void TFormProg::note(const QString &text)
{
    LabelStatus->setText(text);
    LabelStatus->setToolTip(text);
}

// While the lists are read again the buttons keep their state, so that the focus stays
// on the button that was pressed; they are set once at the end.
class TFormProg::ButtonsHeld {
public:
    explicit ButtonsHeld(TFormProg &form) : m_form(form), m_outer(!form.m_buttonsHeld) { form.m_buttonsHeld = true; }
    ~ButtonsHeld()
    {
        if (!m_outer)
            return;
        m_form.m_buttonsHeld = false;
        m_form.SetButtons();
    }
    ButtonsHeld(const ButtonsHeld &) = delete;
    ButtonsHeld &operator=(const ButtonsHeld &) = delete;

private:
    TFormProg &m_form;
    bool m_outer;
};

void TFormProg::SetButtons()
{
    if (m_buttonsHeld)
        return;
    // A grant or a revoke needs a user name and a row of its grid.
    const bool named = !Edit1->text().isEmpty();
    ExcludeBtn->setEnabled(named && QueryAllProg->active() && !QueryAllProg->isEmpty());
    IncludeBtn->setEnabled(named && QueryuserProg->active() && !QueryuserProg->isEmpty());
    // The printed list is the granted list as loaded: nothing to print before it is.
    SpeedButton2->setEnabled(QueryuserProg->active());
    // The copy is offered over loaded lists only; when "Available" opens it decides.
    if (!QueryuserProg->active() || !QueryAllProg->active())
        BitBtn1->setEnabled(false);
}

bool TFormProg::ReopenLists()
{
    const ButtonsHeld held(*this);
    note(QString());
    // The box is offered while the main window's register is filtered, as it is now.
    CheckBox1->setEnabled(Form1->userprogTable->filtered());
    if (!Form1->Database1->connected()) {
        closeLists();
        note(QStringLiteral("Connect in the main window, then reload"));
        return false;
    }
    if (!Form1->chosenCompany().valid()) {
        closeLists();
        note(QStringLiteral("Choose a company in the main window, then reload"));
        return false;
    }
    QueryuserProg->close();
    QueryAllProg->close();
    try {
        QueryuserProg->open();
        QueryAllProg->open();
    } catch (...) {
        closeLists(); // no half-loaded window offers a write
        throw;
    }
    return true;
}

void TFormProg::ReopenAtBookmarks()
{
    const ButtonsHeld held(*this);
    note(QString());
    CheckBox1->setEnabled(Form1->userprogTable->filtered());
    db::Bookmark granted = QueryuserProg->bookmark();
    db::Bookmark available = QueryAllProg->bookmark();
    QueryuserProg->close();
    QueryAllProg->close();
    try {
        QueryuserProg->open();
        try {
            QueryuserProg->gotoBookmark(granted);
        } catch (const std::exception &) {
            QueryuserProg->first(); // the row is gone: a revoked grant
        }
        granted.free();
        QueryAllProg->open();
        try {
            QueryAllProg->gotoBookmark(available);
        } catch (const std::exception &) {
            QueryAllProg->last(); // the row is gone: a granted program
        }
        available.free();
    } catch (...) {
        closeLists();
        throw;
    }
}

void TFormProg::ApplyRegisterFilter(db::Query *list)
{
    list->setFiltered(false);
    // The register's filter as the main window holds it now, not as it was when this
    // window was shown.
    if (!CheckBox1->isChecked() || !Form1->userprogTable->filtered())
        return;
    const QString text = Form1->userprogTable->filter();
    list->setFilter(text);
    // The grants carry only some of the program's columns. A filter naming another one
    // (author, version, responsible user) cannot be applied to them: the granted list then
    // shows every grant, and says so.
    QStringList missing;
    if (list == QueryuserProg) {
        const db::RecordFilter parsed = db::RecordFilter::parse(text);
        for (const db::RecordFilter::Term &term : parsed.terms()) {
            if (!list->findField(term.column))
                missing.append(term.column);
        }
    }
    if (!missing.isEmpty()) {
        note(QStringLiteral("Granted: not filtered, it has no %1").arg(missing.join(QStringLiteral(", "))));
        return;
    }
    list->setFiltered(true);
}

void TFormProg::runWrite(const std::function<void()> &write)
{
    try {
        write();
    } catch (...) {
        // Another session may have changed the grants: show what the database holds now.
        try {
            ReopenAtBookmarks();
        } catch (...) {
            closeLists();
        }
        throw;
    }
}

// ---- handlers -----------------------------------------------------------------------

void TFormProg::FormShow()
{
    Edit1->clear();
    DatabaseId = Form1->chosenCompany().id;
    CheckBox1->setEnabled(Form1->userprogTable->filtered());
    note(QString());
    SetButtons();
    Edit1->setFocus();
}

void TFormProg::FormHide()
{
    closeLists();
}

void TFormProg::resizeEvent(QResizeEvent *event)
{
    controls::Form::resizeEvent(event);
    FormResize();
}

void TFormProg::FormResize()
{
    // The rule is about the outer width; the toolkit's sizes are those inside the frame.
    // The top strip stays whole, should its controls need more than that.
    const int frame = frameGeometry().width() - width();
    const int least = std::max(smallestWidth - frame, Panel1->minimumSizeHint().width());
    if (minimumWidth() != least)
        setMinimumWidth(least);
    if (width() < least)
        resize(least, height());
    placeColumns();
}

void TFormProg::placeColumns()
{
    const int side = (std::max(frameGeometry().width(), smallestWidth) - arrowColumnWidth) / 2;
    const int height = m_columns->height();
    const int width = m_columns->width();
    Panel3->setGeometry(0, 0, side, height);
    Panel2->setGeometry(side, 0, std::max(0, width - 2 * side), height);
    Panel4->setGeometry(std::max(side, width - side), 0, side, height);
}

bool TFormProg::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == m_columns && event->type() == QEvent::Resize) {
        placeColumns();
    } else if (watched == Edit1 && event->type() == QEvent::FocusOut && isVisible()) {
        // Leaving the field for another control reloads when the lists are not those of the
        // name typed; the window losing the focus to another window (or to a message box)
        // does not. Lists that are current stay as they are, so that a click on one of
        // their rows lands on the row aimed at.
        switch (static_cast<QFocusEvent *>(event)->reason()) {
        case Qt::TabFocusReason:
        case Qt::BacktabFocusReason:
        case Qt::MouseFocusReason:
        case Qt::ShortcutFocusReason:
        case Qt::OtherFocusReason:
            if (!QueryuserProg->active() || !QueryAllProg->active() || listsOutdated())
                guard([this] { SpeedButton1Click(); });
            break;
        default:
            break;
        }
    }
    return controls::Form::eventFilter(watched, event);
}

void TFormProg::SpeedButton1Click()
{
    ReopenLists();
}

void TFormProg::ListBeforeOpen(db::Query *list)
{
    takeCompany();
    m_listUser = Edit1->text();
    list->paramByName(QStringLiteral("db_name")).setAsString(m_dbName);
    list->paramByName(QStringLiteral("user")).setAsString(m_listUser);
    ApplyRegisterFilter(list);
}

void TFormProg::QueryAllProgAfterOpen()
{
    BitBtn1->setEnabled(!QueryAllProgPROG_ID->isNull());
}

bool TFormProg::reloadWhenOutdated(const QString &nothingDone)
{
    if (!listsOutdated())
        return false;
    // Lists that cannot open keep the note that says why.
    if (ReopenLists())
        note(nothingDone);
    return true;
}

void TFormProg::writeOne(db::Query *list, const db::Field *id, db::Query *statement, const QString &what,
                         const QString &nothingDone, const QString &doneBefore)
{
    if (Edit1->text().isEmpty() || !list->active() || list->isEmpty())
        return;
    if (reloadWhenOutdated(nothingDone))
        return;
    const double program = id->asFloat();
    const QString exe = list->fieldByName(QStringLiteral("PROG_EXE")).asString();
    const QString user = Edit1->text();
    statement->paramByName(QStringLiteral("database_id")).setAsFloat(DatabaseId);
    statement->paramByName(QStringLiteral("prog_id")).setAsFloat(program);
    statement->paramByName(QStringLiteral("username")).setAsString(user);
    bool saved = false;
    runWrite([&] {
        // The grant and its row of the history are written together: a revoke is recorded
        // while the grant still names its program, a grant once it is there.
        db::Connection &database = *statement->connection();
        const bool recorded = history::kept(database);
        db::Transaction transaction(database);
        qint64 written = 0;
        if (recorded && what == history::action::Revoke)
            written = history::recordGrants(database, what, program, DatabaseId, {user});
        statement->execSql();
        if (recorded && what == history::action::Grant)
            written = history::recordGrants(database, what, program, DatabaseId, {user});
        // A grant another user revoked between the recording and the delete: the history
        // keeps no revoke that did not happen here.
        if (recorded && written != statement->rowsAffected())
            return;
        transaction.commit();
        saved = true;
    });
    const bool touchedNothing = !saved || statement->rowsAffected() == 0;
    ReopenAtBookmarks();
    if (touchedNothing && !doneBefore.isEmpty())
        note(doneBefore);
    else if (what == history::action::Grant)
        note(QStringLiteral("Granted %1 to %2 in %3").arg(exe, user, m_dbName));
    else
        note(QStringLiteral("Revoked %1 from %2 in %3").arg(exe, user, m_dbName));
}

void TFormProg::ExcludeBtnClick()
{
    writeOne(QueryAllProg, QueryAllProgPROG_ID, QueryAdd, history::action::Grant,
             QStringLiteral("The lists were read again; nothing was granted"));
}

void TFormProg::IncludeBtnClick()
{
    writeOne(QueryuserProg, QueryuserProgVORTALIX_PROG_ID, QueryDelete, history::action::Revoke,
             QStringLiteral("The lists were read again; nothing was revoked"),
             QStringLiteral("Another user had revoked this grant already; the lists were read again"));
}

void TFormProg::BitBtn1Click()
{
    if (Edit1->text().isEmpty()) {
        note(QStringLiteral("Type a user name first: the grants of that user are copied"));
        return;
    }
    if (!QueryuserProg->active() || !QueryAllProg->active())
        return;
    if (reloadWhenOutdated(QStringLiteral("The lists were read again; nothing was copied")))
        return;
    const double source = FormChoseDB->ChooseDatabase(DatabaseId);
    if (source < 0) {
        if (FormChoseDB->modalResult() == core::ModalResult::OK)
            note(QStringLiteral("No database was chosen; nothing was copied"));
        return;
    }
    QueryCopyAll->paramByName(QStringLiteral("from_db")).setAsFloat(source);
    QueryCopyAll->paramByName(QStringLiteral("to_db")).setAsFloat(DatabaseId);
    QueryCopyAll->paramByName(QStringLiteral("username")).setAsString(Edit1->text());
    TForm1::Progress progress(*Form1);
    progress.step(QStringLiteral("Copying the grants of %1").arg(Edit1->text()));
    runWrite([&] {
        // The grants the copy adds are recorded as it reads them, just before it runs; a
        // copy that adds other grants than those (another user's change in between)
        // writes nothing.
        db::Connection &database = *QueryCopyAll->connection();
        const bool recorded = history::kept(database);
        db::Transaction transaction(database);
        const qint64 noted = recorded ? history::recordCopy(database, Edit1->text(), source, DatabaseId) : 0;
        QueryCopyAll->execSql();
        if (recorded && QueryCopyAll->rowsAffected() != noted)
            throw db::DbError(QStringLiteral("Another user changed the grants of %1 while they were copied; nothing "
                                             "was copied")
                                  .arg(Edit1->text()));
        transaction.commit();
    });
    progress.step(QStringLiteral("Reading the lists of %1 again").arg(Edit1->text()));
    ReopenLists();
}

void TFormProg::SpeedButton2Click()
{
    report::preview(*FormQRPrintList->QuickRep1, this);
}
