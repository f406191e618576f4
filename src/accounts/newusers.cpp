#include "accounts/newusers.h"

#include "app/Users.h"
#include "data/Statements.h"

#include <QGuiApplication>
#include <QScreen>
#include <QStyle>

TFormNewusers *FormNewusers = nullptr;

namespace {

constexpr int controlLeft = 96;
constexpr int controlWidth = 210;
constexpr int controlHeight = 24;

} // namespace

TFormNewusers::TFormNewusers(QWidget *parent) : controls::Form(parent)
{
    setObjectName(QStringLiteral("FormNewusers"));
    setWindowTitle(QStringLiteral("New users"));
    // A title bar without a close box: the Close button is the way out.
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowMinMaxButtonsHint);

    QueryPersonnel = new db::Query(QStringLiteral("QueryPersonnel"), Form1->Database1, statements::QueryPersonnel, this);
    DataSource1 = new db::DataSource(this);
    DataSource1->setDataSet(QueryPersonnel);
    Table1 = new db::Table(this);
    Table1->setObjectName(QStringLiteral("Table1"));
    Table1->setConnection(Form1->Database1);
    Table1->setTableName(statements::CustomerTable);
    Table1->setIndexFieldNames(QStringLiteral("CUSTOMER_ID"));
    Table1->setMasterSource(DataSource1);
    Table1->setMasterFields(QStringLiteral("PERSONNEL_ID"));
    Table1->setUpdateMode(db::Table::UpdateMode::WhereChanged);
    Table1->addField(QStringLiteral("CUSTOMER_ID"), db::FieldType::Float);
    Table1->addField(QStringLiteral("C_USER"), db::FieldType::String, columns::UserName);
    Table1->addField(QStringLiteral("COMPANY_NAME"), db::FieldType::String, 50).setReadOnly(true);
    Table1->afterPost = [this](db::DataSet &) { Table1AfterPost(); };
    DataSource2 = new db::DataSource(this);
    DataSource2->setDataSet(Table1);

    Label1 = new QLabel(QStringLiteral("User's name"), this);
    Label1->setObjectName(QStringLiteral("Label1"));
    Label1->setGeometry(12, 16, controlLeft - 16, controlHeight);
    DBLookupComboBox1 = new controls::DBLookupComboBox(this);
    DBLookupComboBox1->setObjectName(QStringLiteral("DBLookupComboBox1"));
    DBLookupComboBox1->setGeometry(controlLeft, 16, controlWidth, controlHeight);
    DBLookupComboBox1->setListSource(DataSource1);
    DBLookupComboBox1->setKeyField(QStringLiteral("PERSONNEL_ID"));
    DBLookupComboBox1->setListField(QStringLiteral("F_NAME||''||L_NAME"));
    Label1->setBuddy(DBLookupComboBox1);

    // The company name of the linked customer row lies over the picker's text.
    DBEdit2 = new controls::DBEdit(this);
    DBEdit2->setObjectName(QStringLiteral("DBEdit2"));
    DBEdit2->setGeometry(controlLeft, 16, controlWidth - DropDownButtonWidth, controlHeight);
    DBEdit2->setDataSource(DataSource2);
    DBEdit2->setDataField(QStringLiteral("COMPANY_NAME"));
    DBEdit2->setFocusPolicy(Qt::NoFocus);
    DBEdit2->setAccessibleName(QStringLiteral("Company name"));
    DBEdit2->raise();

    Label2 = new QLabel(QStringLiteral("username"), this);
    Label2->setObjectName(QStringLiteral("Label2"));
    Label2->setGeometry(12, 52, controlLeft - 16, controlHeight);
    DBEdit1 = new controls::DBEdit(this);
    DBEdit1->setObjectName(QStringLiteral("DBEdit1"));
    DBEdit1->setGeometry(controlLeft, 52, controlWidth, controlHeight);
    DBEdit1->setDataSource(DataSource2);
    DBEdit1->setDataField(QStringLiteral("C_USER"));
    DBEdit1->setCharCase(controls::CharCase::Upper);
    Label2->setBuddy(DBEdit1);

    BitBtn1 = new QPushButton(style()->standardIcon(QStyle::SP_DialogCloseButton), QStringLiteral("&Close"), this);
    BitBtn1->setObjectName(QStringLiteral("BitBtn1"));
    BitBtn1->setGeometry(controlLeft + (controlWidth - 100) / 2, 92, 100, 28);
    BitBtn1->setDefault(true);
    setButtonResult(BitBtn1, core::ModalResult::OK, [this] { BitBtn1Click(); });

    setTabOrder(DBLookupComboBox1, DBEdit1);
    setTabOrder(DBEdit1, BitBtn1);
    setFixedSize(controlLeft + controlWidth + 16, 132);
}

TFormNewusers::~TFormNewusers()
{
    Table1->close();
    QueryPersonnel->close();
}

void TFormNewusers::reject()
{
    BitBtn1->click();
}

// ---- handlers -------------------------------------------------------------------------

void TFormNewusers::FormShow()
{
    if (const QScreen *screen = QGuiApplication::primaryScreen())
        move(screen->availableGeometry().center() - rect().center());
    // A failure stops the showing; the hide handler closes both, and the next showing
    // reads them again.
    QueryPersonnel->open();
    Table1->open();
    Posted = false;
    // The picker names the person the window opened on.
    if (!QueryPersonnel->isEmpty())
        DBLookupComboBox1->setKeyValue(QueryPersonnel->fieldByName(QStringLiteral("PERSONNEL_ID")).value());
    DBLookupComboBox1->setFocus();
}

void TFormNewusers::BitBtn1Click()
{
    // The window closes with OK whether or not the save succeeds.
    Table1->checkBrowseMode();
}

void TFormNewusers::Table1AfterPost()
{
    Posted = true;
}

void TFormNewusers::FormClose()
{
    Table1->close();
    QueryPersonnel->close();
}
