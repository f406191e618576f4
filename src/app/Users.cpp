#include "app/Users.h"

#include "accounts/adduser.h"
#include "app/VortalixLogin.h"
#include "app/filter.h"
#include "app/help1.h"
#include "grants/Rights.h"
#include "grants/progpas.h"
#include "lookup/dbs.h"
#include "lookup/find.h"
#include "lookup/history.h"
#include "data/Connections.h"
#include "data/History.h"
#include "data/Statements.h"
#include "platform/controls/Glyphs.h"
#include "platform/controls/Messages.h"
#include "platform/shell/ExeIcon.h"

#include <QApplication>
#include <QFontDatabase>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QPainter>
#include <QResizeEvent>
#include <QVBoxLayout>

#include <cmath>

TForm1 *Form1 = nullptr;

using controls::guard;
using controls::Messages;

namespace {

constexpr int rightColumnWidth = 219;
constexpr int longEditMargin = 124;
constexpr int labelWidth = 110;
constexpr int controlLeft = 112;
constexpr int rowHeight = 23;

const QString grantsChangedMeanwhile = QStringLiteral(
    "Another user changed the grants of this program in this company while the list was open. "
    "Nothing was saved; the list now shows the grants as they are stored.");

// A right-aligned label to the left of its control, which it names for assistive tools.
void labelControl(QWidget *control, const QString &text, int x, int width = labelWidth)
{
    auto *label = new QLabel(text, control->parentWidget());
    label->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    label->setGeometry(x, control->y(), width - 4, 22);
    label->setBuddy(control);
}

template <typename Control>
Control *place(Control *control, const QString &name, int x, int y, int width)
{
    control->setObjectName(name);
    control->setGeometry(x, y, width, 22);
    return control;
}

// A font whose letters are all as wide, whatever fonts the machine has: the system's
// fixed font when it truly is one, otherwise the first fixed-pitch family installed.
QFont fixedPitchFont()
{
    const QFont system = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    if (QFontInfo(system).fixedPitch())
        return system;
    for (const QString &family : QFontDatabase::families()) {
        if (!QFontDatabase::isFixedPitch(family))
            continue;
        QFont candidate(family);
        candidate.setPointSizeF(system.pointSizeF());
        if (QFontInfo(candidate).fixedPitch())
            return candidate;
    }
    QFont hinted = system;
    hinted.setStyleHint(QFont::Monospace);
    hinted.setFixedPitch(true);
    return hinted;
}

QToolButton *glyphButton(QWidget *parent, const QString &name, controls::Glyph glyph, const QString &hint)
{
    auto *b = new QToolButton(parent);
    b->setObjectName(name);
    b->setIcon(controls::glyph(glyph));
    b->setToolTip(hint);
    b->setAccessibleName(hint); // an icon alone names nothing to an assistive tool
    return b;
}

} // namespace

TForm1::TForm1(QWidget *parent) : QMainWindow(parent)
{
    setObjectName(QStringLiteral("Form1"));
    setWindowTitle(QStringLiteral("Banking system user manager for "));
    auto *central = new QWidget(this);
    auto *columns = new QHBoxLayout(central);
    columns->setContentsMargins(0, 0, 0, 0);
    columns->setSpacing(0);
    setCentralWidget(central);

    Panel1 = new QWidget(central);
    Panel1->setObjectName(QStringLiteral("Panel1"));
    Panel2 = new QWidget(central);
    Panel2->setObjectName(QStringLiteral("Panel2"));
    Panel2->setFixedWidth(rightColumnWidth);
    columns->addWidget(Panel1, 1);
    columns->addWidget(Panel2);

    buildData();
    buildRightColumn();
    buildRegister();

    StatusBar1 = statusBar();
    StatusBar1->setObjectName(QStringLiteral("StatusBar1"));
    StatusBar1->setSizeGripEnabled(false);

    setConnectedButtons(false);
    Panel1->installEventFilter(this);
    // 600 by 400 at the least, or as high as the controls need with a larger font.
    setMinimumSize(600, std::max(400, minimumSizeHint().height()));
    resize(600, 516);
    FormCreate();
}

TForm1::~TForm1()
{
    // The datasets go before their connection and sources.
    m_registerWatch.onChange = nullptr;
    m_registerWatch.setDataSource(nullptr);
    Database1->close();
    Database2->close();
}

void TForm1::buildData()
{
    Database1 = new db::Connection(QStringLiteral("ORACLE"), this);
    Database1->params().setLines(connections::oracleParameters());
    Database2 = new db::Connection(QStringLiteral("ORATMP"), this);
    Database2->params().setLines(connections::oratmpParameters());

    userprogTable = new db::Table(this);
    userprogTable->setObjectName(QStringLiteral("userprogTable"));
    userprogTable->setConnection(Database1);
    userprogTable->setTableName(statements::VortalixProgTable);
    userprogTable->setIndexFieldNames(QStringLiteral("PROG_ID"));
    userprogTable->setUpdateMode(db::Table::UpdateMode::WhereChanged);
    userprogTable->setFilterCaseInsensitive(true);
    using db::FieldType;
    userprogTablePROG_ID = &userprogTable->addField(QStringLiteral("PROG_ID"), FieldType::Float);
    userprogTable->addField(QStringLiteral("PROG_AUTHOR"), FieldType::String, columns::ProgAuthor);
    userprogTable->addField(QStringLiteral("PROG_VERSION"), FieldType::String, columns::ProgVersion);
    userprogTable->addField(QStringLiteral("PROG_LAST_COMP"), FieldType::DateTime)
        .setEditMask(QStringLiteral("!99/99/00;1;_"))
        .setDisplayFormat(QStringLiteral("dd/MM/yy"));
    userprogTable->addField(QStringLiteral("PROG_DESCRIPTION"), FieldType::String, columns::ProgDescription);
    userprogTable->addField(QStringLiteral("PROG_GROUP"), FieldType::String, columns::ProgGroup);
    userprogTable->addField(QStringLiteral("PROG_TYPE"), FieldType::String, columns::ProgType);
    userprogTable->addField(QStringLiteral("REPORTING_FREQ"), FieldType::String, 10);
    userprogTable->addField(QStringLiteral("VERSION"), FieldType::Float)
        .setDisplayFormat(QStringLiteral("#.000"))
        .setEditFormat(QStringLiteral("#.000"));
    userprogTable->addField(QStringLiteral("PROG_NAME"), FieldType::String, columns::ProgName);
    userprogTable->addField(QStringLiteral("PROG_EXE"), FieldType::String, columns::ProgExe);
    userprogTable->addField(QStringLiteral("SERVERPATH"), FieldType::String, 64);
    userprogTable->addField(QStringLiteral("CLIENTPATH"), FieldType::String, 64);
    userprogTable->addField(QStringLiteral("USER_NAME"), FieldType::String, 32);
    userprogTable->addField(QStringLiteral("HELP_PATH"), FieldType::String, 64);
    userprogTable->addField(QStringLiteral("REF_PATH"), FieldType::String, 64);
    DataSource1 = new db::DataSource(this);
    DataSource1->setDataSet(userprogTable);
    m_registerWatch.onChange = [this] { registerActed(); };
    m_registerWatch.setDataSource(DataSource1);

    QueryDBs = new db::Query(QStringLiteral("QueryDBs"), Database1, statements::QueryDBs, this);
    DataSourceDBs = new db::DataSource(this);
    DataSourceDBs->setDataSet(QueryDBs);

    QueryUsers = new db::Query(QStringLiteral("QueryUsers"), Database1, statements::QueryUsers, this);
    QueryUsers->addField(QStringLiteral("USERNAME"), FieldType::String, columns::UserName);
    QueryUsers->addField(QStringLiteral("DATABASE_ID"), FieldType::Float);
    QueryUsers->addField(QStringLiteral("DB_NAME"), FieldType::String, 20);
    QueryUsers->setMasterSource(DataSource1);
    QueryUsers->setFiltered(true);
    DataSourceUsers = new db::DataSource(this);
    DataSourceUsers->setDataSet(QueryUsers);

    Query2 = new db::Query(QStringLiteral("Query2"), Database1, statements::Query2, this);
    DataSource3 = new db::DataSource(this);
    DataSource3->setDataSet(Query2);

    QueryDBusers = new db::Query(QStringLiteral("QueryDBusers"), Database2, statements::QueryDBusers, this);

    QueryDelete = new db::Query(QStringLiteral("QueryDelete"), Database1, statements::MainQueryDelete, this);
    QueryAdd = new db::Query(QStringLiteral("QueryAdd"), Database1, statements::MainQueryAdd, this);
    QueryGranted = new db::Query(QStringLiteral("QueryGranted"), Database1, statements::MainQueryGranted, this);

    OpenDialog1 = new QFileDialog(this);
    OpenDialog1->setObjectName(QStringLiteral("OpenDialog1"));
    OpenDialog1->setFileMode(QFileDialog::ExistingFile);
    OpenDialog1->setNameFilter(QStringLiteral("programmid (*.exe)"));
    OpenDialog1->setDefaultSuffix(QStringLiteral("exe"));
}

void TForm1::buildRightColumn()
{
    auto *column = new QVBoxLayout(Panel2);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(0);

    Panel3 = new QWidget(Panel2);
    Panel3->setObjectName(QStringLiteral("Panel3"));
    Panel3->setFixedHeight(100);
    column->addWidget(Panel3);

    SpeedButton2 = glyphButton(Panel3, QStringLiteral("SpeedButton2"), controls::Glyph::Help, QStringLiteral("Help"));
    SpeedButton2->setGeometry(4, 4, 26, 26);
    // The companies and account buttons stand side by side after the help button; the
    // connect button takes the rest of the row. The companies window is modal: the
    // selector is read again when it closes.
    SpeedButtonDB = glyphButton(Panel3, QStringLiteral("SpeedButtonDB"), controls::Glyph::Companies,
                                QStringLiteral("Configure companies"));
    SpeedButtonDB->setGeometry(32, 4, 26, 26);
    SpeedButtonUSR = glyphButton(Panel3, QStringLiteral("SpeedButtonUSR"), controls::Glyph::User, QStringLiteral("New user"));
    SpeedButtonUSR->setGeometry(60, 4, 26, 26);
    SpeedButtonHistory = glyphButton(Panel3, QStringLiteral("SpeedButtonHistory"), controls::Glyph::History,
                                     QStringLiteral("Grant history"));
    SpeedButtonHistory->setGeometry(88, 4, 26, 26);
    SpeedButton1 = new QToolButton(Panel3);
    SpeedButton1->setObjectName(QStringLiteral("SpeedButton1"));
    SpeedButton1->setText(QStringLiteral("Connect"));
    SpeedButton1->setGeometry(118, 4, 94, 26);

    GroupBox1 = new QGroupBox(QStringLiteral("Company "), Panel3);
    GroupBox1->setObjectName(QStringLiteral("GroupBox1"));
    GroupBox1->setGeometry(4, 34, 211, 62);
    DBLookupComboBox1 = new controls::DBLookupComboBox(GroupBox1);
    DBLookupComboBox1->setObjectName(QStringLiteral("DBLookupComboBox1"));
    DBLookupComboBox1->setGeometry(8, 26, 130, 26);
    DBLookupComboBox1->setListSource(DataSourceDBs);
    DBLookupComboBox1->setKeyField(QStringLiteral("DATABASE_ID"));
    DBLookupComboBox1->setListField(QStringLiteral("DB_NAME"));
    DBLookupComboBox1->setAccessibleName(QStringLiteral("Company"));
    QFont fixed = fixedPitchFont();
    fixed.setBold(true);
    BitBtn2 = new QPushButton(QStringLiteral("U"), GroupBox1);
    BitBtn2->setObjectName(QStringLiteral("BitBtn2"));
    BitBtn2->setFont(fixed);
    BitBtn2->setGeometry(142, 26, 30, 26);
    BitBtn1 = new QPushButton(QStringLiteral("P"), GroupBox1);
    BitBtn1->setObjectName(QStringLiteral("BitBtn1"));
    BitBtn1->setFont(fixed);
    BitBtn1->setGeometry(175, 26, 30, 26);

    DBGrid1 = new controls::DBGrid(Panel2);
    DBGrid1->setObjectName(QStringLiteral("DBGrid1"));
    DBGrid1->setDataSource(DataSourceUsers);
    DBGrid1->setReadOnly(true);
    DBGrid1->setColumns({{QStringLiteral("USERNAME"), QString(), 20}});
    DBGrid1->setAccessibleName(QStringLiteral("Users of the program in the company"));
    DBGrid1->horizontalHeader()->setStretchLastSection(true);
    column->addWidget(DBGrid1, 1);

    connect(SpeedButton1, &QToolButton::clicked, this, [this] { guard([this] { SpeedButton1Click(); }); });
    connect(SpeedButton2, &QToolButton::clicked, this, [this] { guard([this] { SpeedButton2Click(); }); });
    connect(SpeedButtonDB, &QToolButton::clicked, this, [this] { guard([this] { SpeedButtonDBClick(); }); });
    connect(SpeedButtonUSR, &QToolButton::clicked, this, [this] { guard([this] { SpeedButtonUSRClick(); }); });
    connect(SpeedButtonHistory, &QToolButton::clicked, this, [this] { guard([this] { SpeedButtonHistoryClick(); }); });
    connect(BitBtn1, &QPushButton::clicked, this, [this] { guard([this] { BitBtn1Click(); }); });
    connect(BitBtn2, &QPushButton::clicked, this, [this] { guard([this] { BitBtn2Click(); }); });
    connect(DBLookupComboBox1, &controls::DBLookupComboBox::closeUp, this,
            [this] { guard([this] { DBLookupComboBox1CloseUp(); }); });
}

void TForm1::buildRegister()
{
    auto *area = new QVBoxLayout(Panel1);
    area->setContentsMargins(0, 0, 0, 0);
    area->setSpacing(0);
    Panel5 = new QWidget(Panel1);
    Panel5->setObjectName(QStringLiteral("Panel5"));
    area->addWidget(Panel5);
    Panel4 = new QWidget(Panel1);
    Panel4->setObjectName(QStringLiteral("Panel4"));
    area->addWidget(Panel4, 1);

    DBNavigator1 = new controls::DBNavigator(Panel5);
    DBNavigator1->setObjectName(QStringLiteral("DBNavigator1"));
    DBNavigator1->setGeometry(4, 4, 220, 22);
    DBNavigator1->setDataSource(DataSource1);
    SpeedButton3 = glyphButton(Panel5, QStringLiteral("SpeedButton3"), controls::Glyph::Find, QStringLiteral("Otsing"));
    SpeedButton3->setGeometry(228, 4, 24, 22);
    SpeedButtonFilter = glyphButton(Panel5, QStringLiteral("SpeedButtonFilter"), controls::Glyph::Filter,
                                    QStringLiteral("Define Filter"));
    SpeedButtonFilter->setGeometry(254, 4, 24, 22);
    connect(SpeedButton3, &QToolButton::clicked, this, [this] { guard([this] { SpeedButton3Click(); }); });
    connect(SpeedButtonFilter, &QToolButton::clicked, this, [this] { guard([this] { SpeedButtonFilterClick(); }); });
    DBText1 = new controls::DBText(Panel5);
    DBText1->setObjectName(QStringLiteral("DBText1"));
    DBText1->setGeometry(284, 4, 92, 22);
    DBText1->setDataSource(DataSourceDBs);
    DBText1->setDataField(QStringLiteral("SERVER"));
    QFont bold = DBText1->font();
    bold.setBold(true);
    DBText1->setFont(bold);

    auto edit = [this](const QString &name, const QString &field, int x, int y, int width) {
        auto *e = place(new controls::DBEdit(Panel5), name, x, y, width);
        e->setDataSource(DataSource1);
        e->setDataField(field);
        return e;
    };
    int y = 32;
    DBEdit1 = edit(QStringLiteral("DBEdit1"), QStringLiteral("PROG_NAME"), controlLeft, y, 250);
    labelControl(DBEdit1, QStringLiteral("Prog name"), 2);
    y += rowHeight;
    DBEdit6 = edit(QStringLiteral("DBEdit6"), QStringLiteral("PROG_EXE"), controlLeft, y, 250);
    labelControl(DBEdit6, QStringLiteral("Exe name"), 2);
    y += rowHeight;
    DBEdit3 = edit(QStringLiteral("DBEdit3"), QStringLiteral("PROG_AUTHOR"), controlLeft, y, 250);
    labelControl(DBEdit3, QStringLiteral("Author"), 2);
    y += rowHeight;
    DBEdit2 = edit(QStringLiteral("DBEdit2"), QStringLiteral("VERSION"), controlLeft, y, 70);
    labelControl(DBEdit2, QStringLiteral("Version"), 2);
    DBEdit4 = edit(QStringLiteral("DBEdit4"), QStringLiteral("PROG_LAST_COMP"), 248, y, 76);
    labelControl(DBEdit4, QStringLiteral("Modified"), 184, 64);
    DBEdit4->setEnabled(false);
    y += rowHeight;
    DBComboBox2 = place(new controls::DBComboBox(Panel5), QStringLiteral("DBComboBox2"), controlLeft, y, 90);
    labelControl(DBComboBox2, QStringLiteral("Reporting freq"), 2);
    DBComboBox2->setDataSource(DataSource1);
    DBComboBox2->setDataField(QStringLiteral("REPORTING_FREQ"));
    DBComboBox2->setItems({QStringLiteral("DAY"), QStringLiteral("DECADE"), QStringLiteral("MONTH"),
                           QStringLiteral("QUARTER"), QStringLiteral("YEAR")});
    DBComboBox1 = place(new controls::DBComboBox(Panel5), QStringLiteral("DBComboBox1"), 248, y, 112);
    labelControl(DBComboBox1, QStringLiteral("Group"), 202, 46);
    DBComboBox1->setDataSource(DataSource1);
    DBComboBox1->setDataField(QStringLiteral("PROG_GROUP"));
    y += rowHeight;
    DBEdit5 = edit(QStringLiteral("DBEdit5"), QStringLiteral("CLIENTPATH"), controlLeft, y, 250);
    labelControl(DBEdit5, QStringLiteral("Client path"), 2);
    y += rowHeight;
    DBEdit7 = edit(QStringLiteral("DBEdit7"), QStringLiteral("SERVERPATH"), controlLeft, y, 250);
    labelControl(DBEdit7, QStringLiteral("Server path"), 2);
    y += rowHeight;
    DBEdit8 = edit(QStringLiteral("DBEdit8"), QStringLiteral("HELP_PATH"), controlLeft, y, 250);
    labelControl(DBEdit8, QStringLiteral("Help path"), 2);
    y += rowHeight;
    DBEdit9 = edit(QStringLiteral("DBEdit9"), QStringLiteral("REF_PATH"), controlLeft, y, 250);
    labelControl(DBEdit9, QStringLiteral("Ref. path"), 2);
    y += rowHeight;
    DBEdit10 = edit(QStringLiteral("DBEdit10"), QStringLiteral("USER_NAME"), controlLeft, y, 250);
    labelControl(DBEdit10, QStringLiteral("Responsible user"), 2);
    y += rowHeight + 1;

    DBRadioGroup1 = new controls::DBRadioGroup(Panel5);
    DBRadioGroup1->setObjectName(QStringLiteral("DBRadioGroup1"));
    DBRadioGroup1->setTitle(QStringLiteral("Type"));
    DBRadioGroup1->setItems({QStringLiteral("Win"), QStringLiteral("WebRep"), QStringLiteral("WebProg"),
                             QStringLiteral("WebBank"), QStringLiteral("Script"), QStringLiteral("Other")},
                            {QStringLiteral("1"), QStringLiteral("2"), QStringLiteral("5"), QStringLiteral("6"),
                             QStringLiteral("3"), QStringLiteral("4")},
                            3);
    DBRadioGroup1->setDataSource(DataSource1);
    DBRadioGroup1->setDataField(QStringLiteral("PROG_TYPE"));
    // Two rows of choices under the caption, as tall as the font needs.
    DBRadioGroup1->setGeometry(controlLeft, y, 250, std::max(56, DBRadioGroup1->sizeHint().height()));
    DBImage1 = new controls::DBImage(Panel5);
    DBImage1->setObjectName(QStringLiteral("DBImage1"));
    DBImage1->setGeometry(controlLeft - 48, y + (DBRadioGroup1->height() - 34) / 2 + 4, 34, 34);
    DBImage1->setAccessibleName(QStringLiteral("Icon of the program's executable"));
    Panel5->setFixedHeight(DBRadioGroup1->geometry().bottom() + 3);

    auto *bottom = new QVBoxLayout(Panel4);
    bottom->setContentsMargins(4, 0, 4, 4);
    bottom->setSpacing(2);
    LabelDescription = new QLabel(QStringLiteral("Description    "), Panel4);
    LabelDescription->setObjectName(QStringLiteral("LabelDescription"));
    DBMemo1 = new controls::DBMemo(Panel4);
    DBMemo1->setObjectName(QStringLiteral("DBMemo1"));
    DBMemo1->setDataSource(DataSource1);
    DBMemo1->setDataField(QStringLiteral("PROG_DESCRIPTION"));
    // The memo gives up height first when the window is made small, down to one line.
    DBMemo1->setMinimumHeight(DBMemo1->fontMetrics().lineSpacing() + 2 * DBMemo1->frameWidth() + 8);
    LabelDescription->setBuddy(DBMemo1);
    bottom->addWidget(LabelDescription);
    bottom->addWidget(DBMemo1, 1);

    // The icon box is a button: a stop after the type choice, Space opens the file dialog.
    const QList<QWidget *> order{DBEdit1, DBEdit6, DBEdit3, DBEdit2, DBEdit4, DBComboBox2, DBComboBox1, DBEdit5,
                                 DBEdit7, DBEdit8, DBEdit9, DBEdit10, DBNavigator1, DBRadioGroup1, DBImage1, DBMemo1};
    for (int i = 1; i < order.size(); ++i)
        setTabOrder(order.at(i - 1), order.at(i));

    connect(DBImage1, &controls::DBImage::clicked, this, [this] { guard([this] { DBImage1Click(); }); });
    for (controls::DBComboBox *combo : {DBComboBox1, DBComboBox2})
        connect(combo, &controls::DBComboBox::exited, this, [this] { guard([this] { DBComboBox1Exit(); }); });
}

QList<QWidget *> TForm1::longEdits() const
{
    return {DBEdit1, DBEdit6, DBEdit3, DBEdit5, DBEdit7, DBEdit8, DBEdit9, DBEdit10};
}

void TForm1::setConnectedButtons(bool enabled)
{
    for (QWidget *b : std::initializer_list<QWidget *>{SpeedButton3, SpeedButtonFilter, BitBtn1, BitBtn2,
                                                        SpeedButtonDB, SpeedButtonUSR, SpeedButtonHistory}) {
        b->setEnabled(enabled);
    }
}

// ---- operations ---------------------------------------------------------------------

TForm1::Company TForm1::chosenCompany() const
{
    Company company;
    const QString shown = DBLookupComboBox1->text();
    const QVariant key = DBLookupComboBox1->keyValue();
    if (shown.isEmpty() || key.isNull() || !QueryDBs->active())
        return company;
    // The selector's text, its key and the company list's current row name the same
    // company.
    const db::Field &number = QueryDBs->fieldByName(QStringLiteral("database_id"));
    if (QueryDBs->fieldByName(QStringLiteral("DB_NAME")).asString() != shown
        || db::Field::floatOf(number.value()) != db::Field::floatOf(key))
        return company;
    company.id = db::Field::floatOf(number.value());
    company.name = shown;
    return company;
}

QString TForm1::Company::filter() const
{
    // No company chosen matches no grant.
    if (!valid() || !std::isfinite(id))
        return QStringLiteral("database_id=''");
    // A whole number is written with all its digits, however large; any other as
    // exactly as a double holds it, so that the filter holds the rows of that number.
    const QString number = std::floor(id) == id ? QString::number(id, 'f', 0) : QString::number(id, 'g', 17);
    return QStringLiteral("database_id=") + number;
}

void TForm1::ShowStatus(const QString &text)
{
    m_noteShown = false; // a newer status replaces a note for good
    StatusBar1->showMessage(text);
    QApplication::processEvents();
}

void TForm1::ShowNote(const QString &text)
{
    const QString before = m_noteShown ? m_statusBeforeNote : StatusBar1->currentMessage();
    ShowStatus(text);
    m_statusBeforeNote = before;
    m_noteShown = true;
}

TForm1::Progress::Progress(TForm1 &form)
    : m_form(form), m_before(form.StatusBar1->currentMessage()), m_outermost(form.m_progressDepth++ == 0)
{
}

TForm1::Progress::~Progress()
{
    --m_form.m_progressDepth;
    if (m_outermost)
        m_form.StatusBar1->showMessage(m_before);
}

void TForm1::Progress::step(const QString &text)
{
    m_form.StatusBar1->showMessage(text);
    QApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
}

void TForm1::registerActed()
{
    // A note says what the user's last action could not do; the register's next action
    // makes it stale, and the status it stood over comes back.
    if (!m_noteShown)
        return;
    // Called while the register tells its controls of a change: the status comes back
    // without letting other events run in the middle of that.
    m_noteShown = false;
    StatusBar1->showMessage(m_statusBeforeNote);
}

void TForm1::FillCombo(bool refreshRegister)
{
    if (refreshRegister)
        userprogTable->refresh();
    Query2->open();
    QStringList groups;
    for (Query2->first(); !Query2->eof(); Query2->next())
        groups.append(Query2->field(0).asString());
    DBComboBox1->setItems(groups);
    Query2->close();
}

bool TForm1::LoginAs(db::Connection *database, const QString &user)
{
    return connections::loginAs(*database, user, Passwords, [this](const QString &u) { AskPassword(u); });
}

void TForm1::AskPassword(const QString &user)
{
    struct Restore {
        ~Restore()
        {
            LoginForm->Label1->show();
            LoginForm->ConnComboBox->show();
            LoginForm->Label4->clear();
        }
    } restore;
    LoginForm->Label1->hide();
    LoginForm->ConnComboBox->hide();
    LoginForm->Label4->setText(QStringLiteral("Provide password for ") + user);
    LoginForm->LoginEdit->setText(user);
    if (LoginForm->showModal() == core::ModalResult::OK)
        Passwords.setValue(user, LoginForm->PasswdEdit->text());
}

void TForm1::FindUsers()
{
    ServerUsers.clear();
    m_serverUserKeys.clear();
    Database2->close();
    try {
        Database2->open();
        QueryDBusers->open();
        ShowStatus(QStringLiteral("quering DB users"));
        const db::Field &name = QueryDBusers->field(0);
        for (QueryDBusers->first(); !QueryDBusers->eof(); QueryDBusers->next()) {
            const QString user = name.asString();
            ServerUsers.append(user);
            m_serverUserKeys.insert(user.toCaseFolded());
        }
        QueryDBusers->close();
        Database2->close();
    } catch (const std::exception &) {
        Messages::plain(QStringLiteral("Could not connect to ") + Database2->params().value(QStringLiteral("SERVER NAME")));
    }
    ShowStatus(QStringLiteral(" "));
}

void TForm1::LoadIcon(const QString &fileName)
{
    userprogTable->edit();
    const shell::ExeIcon icon = shell::firstIcon(fileName);
    QImage picture = DBImage1->picture();
    if (picture.isNull())
        picture = QImage(DBImage1->contentsRect().size(), QImage::Format_ARGB32);
    picture.fill(Qt::white);
    if (icon.ok()) {
        picture = QImage(icon.image.size(), QImage::Format_ARGB32);
        picture.fill(Qt::white);
        QPainter painter(&picture);
        painter.drawImage(0, 0, icon.image);
    }
    DBImage1->setPicture(picture);
    userprogTable->refresh();
    if (!icon.ok())
        ShowNote(QStringLiteral("No icon shown for %1: %2").arg(fileName, icon.detail));
}

// ---- handlers -------------------------------------------------------------------------

void TForm1::FormCreate()
{
    Passwords.clear();
}

void TForm1::showEvent(QShowEvent *event)
{
    QMainWindow::showEvent(event);
    if (!event->spontaneous())
        guard([this] { FormShow(); });
}

void TForm1::FormShow()
{
    ShowStatus(QStringLiteral("Welcome!"));
    ServerUsers.clear();
    m_serverUserKeys.clear();
}

void TForm1::resizeEvent(QResizeEvent *event)
{
    QMainWindow::resizeEvent(event);
    FormResize();
}

void TForm1::FormResize()
{
    if (width() < 600)
        resize(600, height());
    if (height() < 400)
        resize(width(), 400);
}

bool TForm1::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == Panel1 && event->type() == QEvent::Resize)
        Panel1Resize();
    return QMainWindow::eventFilter(watched, event);
}

void TForm1::Panel1Resize()
{
    const int width = Panel1->width() - longEditMargin;
    for (QWidget *e : longEdits())
        e->resize(width, e->height());
    DBText1->resize(std::max(60, Panel1->width() - DBText1->x() - 4), DBText1->height());
}

void TForm1::SpeedButton1Click()
{
    LoginForm->LoginEdit->setText(QStringLiteral("vortalix"));
    if (SpeedButton1->text() == QLatin1String("Disconnect")) {
        ShowStatus(QStringLiteral("Disconnecting"));
        Database1->close();
        // The account window works as "system" on a session of its own, which ends with
        // the connection it was opened under.
        FormCreateUser->hide();
        FormCreateUser->Database1->close();
        FormHistory->hide(); // its rows were read under the login that is leaving
        setConnectedButtons(false);
        SpeedButton1->setText(QStringLiteral("Connect"));
        setWindowTitle(QStringLiteral("users: Disconnected"));
        ShowStatus(QStringLiteral("Disconnected"));
        return;
    }
    if (LoginForm->showModal() == core::ModalResult::OK) {
        try {
            ShowStatus(QStringLiteral("Connecting"));
            Database1->close();
            const QString server = LoginForm->ConnComboBox->currentText();
            const QString login = LoginForm->LoginEdit->text();
            const QString password = LoginForm->PasswdEdit->text();
            // The passwords told during one login's run are not another login's to use.
            if (QString::compare(login, m_passwordsOf, Qt::CaseInsensitive) != 0) {
                Passwords.clear();
                m_passwordsOf = login;
            }
            connections::applyLogin(*Database1, server, login, password);
            connections::applyLogin(*Database2, server, login, password);
            Database1->open();
            setWindowTitle(QStringLiteral("users: Connected to ") + server + QStringLiteral(" as ") + login);
            SpeedButton1->setText(QStringLiteral("Disconnect"));
            ShowStatus(QStringLiteral("DB login ok, connected"));
            userprogTable->open();
            ShowStatus(QStringLiteral("userprogTable active"));
            setConnectedButtons(true);
            QueryDBs->open();
            ShowStatus(QStringLiteral("QueryDB-s active"));
            DBLookupComboBox1->setKeyValue(1);
            QueryUsers->setFilter(chosenCompany().filter());
            QueryUsers->open();
            ShowStatus(QStringLiteral("Query users active"));
            Passwords.setValue(login, password);
            // The register was opened in this sequence: read again, it gives the same rows.
            FillCombo(false);
            ShowStatus(QStringLiteral("Fillcombo complete"));
            FindUsers();
            ShowStatus(QStringLiteral("Find users complete"));
        } catch (const std::exception &e) {
            // The server's reason goes under the message: a wrong password, an alias the
            // servers file does not know and a server that is down each say so.
            Messages::information(QStringLiteral("Invalid login"), controls::errorText(e));
            Database1->close();
            setWindowTitle(QStringLiteral("users: Disconnected"));
            return;
        }
    }
    ShowStatus(QStringLiteral("ok"));
}

void TForm1::DBLookupComboBox1CloseUp()
{
    QueryUsers->close();
    QueryUsers->setFilter(chosenCompany().filter());
    QueryUsers->open();
    FindUsers();
}

void TForm1::SpeedButton2Click()
{
    FormHelp->showModeless();
    FormHelp->raise();
}

void TForm1::SpeedButtonDBClick()
{
    FormDBs->showModal();
    // Whatever the window's result, the company list is read again; the selector stands on
    // the chosen company again when it is still stored.
    QueryDBs->close();
    QueryDBs->open();
    if (!DBLookupComboBox1->keyValue().isNull() && DBLookupComboBox1->currentIndex() < 0) {
        // The chosen company is gone (deleted or renumbered): no company is chosen now,
        // rather than a number that another company may come to carry.
        DBLookupComboBox1->setKeyValue(QVariant());
        ShowNote(QStringLiteral("The chosen company is no longer stored; choose a company"));
    }
    QueryUsers->close();
    QueryUsers->setFilter(chosenCompany().filter());
    QueryUsers->open();
}

void TForm1::SpeedButtonUSRClick()
{
    FormCreateUser->showModeless();
    FormCreateUser->raise();
    FormCreateUser->activateWindow();
}

void TForm1::SpeedButtonHistoryClick()
{
    FormHistory->showModeless();
    FormHistory->raise();
    FormHistory->activateWindow();
}

void TForm1::SpeedButton3Click()
{
    const core::ModalResult result = FormFind->showModal();
    db::Query *found = FormFind->ResultQuery;
    if (!found)
        return; // no search has run
    // A program the register's filter hides is not found: the register stays.
    if (result == core::ModalResult::OK && found->active() && !found->isEmpty())
        userprogTable->findKey(found->fieldByName(QStringLiteral("prog_id")).asFloat());
    found->close();
}

QString TForm1::filterText(const QList<QLineEdit *> &edits, int type)
{
    QString expression;
    for (const QLineEdit *edit : edits) {
        const QString text = edit->text();
        if (text.isEmpty() || text == QLatin1String("*"))
            continue;
        // A quote in a pattern is doubled so that the pattern matches itself.
        QString value = text;
        value.replace(QLatin1Char('\''), QStringLiteral("''"));
        expression += QStringLiteral(" and ") + edit->objectName().mid(4) + QStringLiteral("='") + value + QLatin1Char('\'');
    }
    if (type > 0)
        expression += QStringLiteral(" and prog_type='") + QString::number(type) + QLatin1Char('\'');
    return expression.mid(5);
}

bool TForm1::BuildFilter()
{
    const QString text = filterText(FormFilter->edits(), FormFilter->RadioGroup1->itemIndex());
    if (text.size() > filterLimit) {
        Messages::warning(QStringLiteral("The filter would be %1 characters long, and a filter holds at most %2. "
                                       "Shorten the patterns; the filter stays as it was.")
                            .arg(text.size())
                            .arg(filterLimit));
        return false;
    }
    userprogTable->setFiltered(false);
    userprogTable->setFilter(text);
    return true;
}

void TForm1::SpeedButtonFilterClick()
{
    switch (FormFilter->showModal()) {
    case core::ModalResult::OK:
        if (BuildFilter())
            userprogTable->setFiltered(true);
        break;
    case core::ModalResult::No:
        userprogTable->setFiltered(false);
        break;
    default:
        break;
    }
}

void TForm1::BitBtn1Click()
{
    // Grants are written for a stored program in the company the selector shows.
    if (!userprogTable->active() || userprogTablePROG_ID->isNull()) {
        ShowNote(QStringLiteral("The current program is not saved yet; save it before choosing its users"));
        return;
    }
    const Company chosen = chosenCompany();
    if (!chosen.valid()) {
        ShowNote(QStringLiteral("Choose a company first"));
        return;
    }
    const double program = userprogTablePROG_ID->asFloat();
    for (;;) {
        DualListDlg->setWindowTitle(DBEdit1->text());
        if (DualListDlg->showModal() != core::ModalResult::OK)
            return;
        const bool saved = ReplaceGrants(program, chosen.id, DualListDlg->grantedWhenShown(),
                                         TDualListDlg::names(DualListDlg->DstList));
        QueryUsers->close();
        QueryUsers->open();
        if (saved)
            return;
        // The dialog opens again over the grants as they are stored now.
        controls::Messages::warning(grantsChangedMeanwhile);
    }
}

bool TForm1::ReplaceGrants(double program, double company, const QStringList &read, const QStringList &granted)
{
    // The history records the difference: a name kept records nothing, however the
    // grants are written.
    const QSet<QString> before(read.cbegin(), read.cend());
    const QSet<QString> after(granted.cbegin(), granted.cend());
    QStringList revoked;
    QStringList added;
    for (const QString &user : read) {
        if (!after.contains(user))
            revoked.append(user);
    }
    for (const QString &user : granted) {
        if (!before.contains(user))
            added.append(user);
    }
    const bool recorded = (!revoked.isEmpty() || !added.isEmpty()) && history::kept(*Database1);
    // The new set replaces the old one as a whole, or not at all, and only when the set
    // it replaces is the one the dialog showed: another administrator's grant or revoke
    // made while the dialog was open is never undone behind their back. Any failure rolls
    // the whole transaction back, and the inserts go to the server as one.
    db::Transaction transaction(*Database1, db::Connection::OnFailure::UndoTransaction);
    QueryGranted->paramByName(QStringLiteral("p_id")).setAsFloat(program);
    QueryGranted->paramByName(QStringLiteral("d_id")).setAsFloat(company);
    QueryGranted->open();
    QStringList stored;
    stored.reserve(QueryGranted->recordCount());
    const db::Field &name = QueryGranted->field(0);
    for (QueryGranted->first(); !QueryGranted->eof(); QueryGranted->next())
        stored.append(name.asString());
    QueryGranted->close();
    QStringList shown = read;
    shown.sort();
    stored.sort();
    if (stored != shown)
        return false;
    // A revoke is recorded while its grant is still there to name the program and company.
    if (recorded)
        history::recordGrants(*Database1, history::action::Revoke, program, company, revoked);
    QueryDelete->paramByName(QStringLiteral("p_id")).setAsFloat(program);
    QueryDelete->paramByName(QStringLiteral("d_id")).setAsFloat(company);
    QueryDelete->execSql();
    // A grant made or taken away between the reading above and the delete (a server
    // that lets another session commit in between) shows in the rows the delete met.
    if (QueryDelete->rowsAffected() != stored.size())
        return false;
    for (const QString &user : granted) {
        QueryAdd->paramByName(QStringLiteral("p_id")).setAsFloat(program);
        QueryAdd->paramByName(QStringLiteral("uname")).setAsString(user);
        QueryAdd->paramByName(QStringLiteral("d_id")).setAsFloat(company);
        QueryAdd->addBatch();
    }
    QueryAdd->execBatch();
    if (recorded)
        history::recordGrants(*Database1, history::action::Grant, program, company, added);
    transaction.commit();
    return true;
}

void TForm1::BitBtn2Click()
{
    FormProg->showModeless();
    FormProg->raise();
    FormProg->activateWindow();
}

void TForm1::DBImage1Click()
{
    if (OpenDialog1->exec() == QDialog::Accepted && !OpenDialog1->selectedFiles().isEmpty())
        LoadIcon(OpenDialog1->selectedFiles().constFirst());
}

void TForm1::DBComboBox1Exit()
{
    // Leaving a combo box before connecting has no register to refresh.
    if (!userprogTable->active())
        return;
    FillCombo();
}
