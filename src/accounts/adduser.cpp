#include "accounts/adduser.h"

#include "accounts/createDrop.h"
#include "accounts/newusers.h"
#include "app/Users.h"
#include "app/VortalixLogin.h"
#include "data/Connections.h"
#include "data/Statements.h"
#include "platform/controls/Messages.h"

#include <QHBoxLayout>
#include <QResizeEvent>
#include <QSet>
#include <QStyle>
#include <QVBoxLayout>

TFormCreateUser *FormCreateUser = nullptr;

using controls::guard;
using controls::Messages;

// ---- TDict ----------------------------------------------------------------------------

void TDict::clear()
{
    core::StringList::clear();
    m_index.clear();
}

void TDict::append(const QString &line)
{
    core::StringList::append(line);
    index(count() - 1);
}

void TDict::index(int line)
{
    const QString &text = (*this)[line];
    const qsizetype eq = text.indexOf(QLatin1Char('='));
    if (eq < 0)
        return;
    // A name met again keeps its first line, as a search from the top would find it.
    const QString k = key(text.left(eq));
    if (!m_index.contains(k))
        m_index.insert(k, line);
}

void TDict::reindex()
{
    m_index.clear();
    for (int i = 0; i < count(); ++i)
        index(i);
}

int TDict::indexOfName(const QString &name) const
{
    return m_index.value(key(name), -1);
}

QString TDict::value(const QString &name) const
{
    const int i = indexOfName(name);
    return i < 0 ? QString() : valueAt(i);
}

void TDict::setValue(const QString &name, const QString &value)
{
    const int i = indexOfName(name);
    if (value.isEmpty()) {
        if (i >= 0) {
            removeAt(i);
            reindex();
        }
        return;
    }
    const QString line = name + QLatin1Char('=') + value;
    if (i >= 0)
        setLine(i, line); // in place: the name's index stays
    else
        append(line);
}

void TDict::AppendValue(const QString &name, const QString &item)
{
    const QString old = value(name);
    const QString quoted = core::StringList::quoted(item);
    setValue(name, old.size() < 2 ? quoted : old + QLatin1Char(',') + quoted);
}

QStringList TDict::items(const QString &name) const
{
    const QString v = value(name);
    return v.isEmpty() ? QStringList() : core::StringList::parseCommaText(v);
}

// ---- TFormCreateUser ------------------------------------------------------------------

namespace {

QListWidget *databaseList(QWidget *parent, const QString &name, const QString &accessibleName)
{
    auto *list = new QListWidget(parent);
    list->setObjectName(name);
    list->setAccessibleName(accessibleName);
    list->setSelectionMode(QAbstractItemView::ExtendedSelection);
    return list;
}

QPushButton *moveButton(QWidget *parent, const QString &name, const QString &caption, const QString &hint)
{
    auto *b = new QPushButton(caption, parent);
    b->setObjectName(name);
    b->setToolTip(hint);
    b->setAccessibleName(hint);
    QFont font = b->font();
    font.setBold(true);
    b->setFont(font);
    b->setAutoDefault(false);
    b->setFixedWidth(30);
    return b;
}

} // namespace

TFormCreateUser::TFormCreateUser(QWidget *parent) : controls::Form(parent)
{
    setObjectName(QStringLiteral("FormCreateUser"));
    setWindowTitle(QStringLiteral("Create User"));

    Database1 = new db::Connection(QStringLiteral("ORAUSER"), this);
    Database1->setObjectName(QStringLiteral("Database1"));
    Database1->params().setLines(connections::orauserParameters());
    Query1 = new db::Query(QStringLiteral("Query1"), Form1->Database1, statements::AddUserQuery1, this);
    Query1->addField(QStringLiteral("USER_NAME"), db::FieldType::String, columns::UserName);
    DataSource1 = new db::DataSource(this);
    DataSource1->setDataSet(Query1);
    Query3 = new db::Query(QStringLiteral("Query3"), Database1, statements::AddUserQuery3, this);
    Query3->addField(QStringLiteral("USERNAME"), db::FieldType::String, columns::UserName);

    BitBtn1 = new QPushButton(QStringLiteral("Click here to manage personnel usernames"), this);
    BitBtn1->setObjectName(QStringLiteral("BitBtn1"));
    BitBtn1->setIcon(style()->standardIcon(QStyle::SP_FileDialogDetailedView));
    BitBtn1->setAutoDefault(false);

    Label1 = new QLabel(QStringLiteral("  All users:"), this);
    Label1->setObjectName(QStringLiteral("Label1"));
    DBLookupListBox1 = new controls::DBLookupListBox(this);
    DBLookupListBox1->setObjectName(QStringLiteral("DBLookupListBox1"));
    DBLookupListBox1->setAccessibleName(QStringLiteral("All users"));
    DBLookupListBox1->setListSource(DataSource1);
    DBLookupListBox1->setKeyField(QStringLiteral("USER_NAME"));
    DBLookupListBox1->setListField(QStringLiteral("USER_NAME"));
    Label1->setBuddy(DBLookupListBox1);

    Panel3 = new QWidget(this);
    Panel3->setObjectName(QStringLiteral("Panel3"));
    Panel3->setFixedWidth(6);

    Label3 = new QLabel(QStringLiteral(" "), this);
    Label3->setObjectName(QStringLiteral("Label3"));
    ListBox1 = databaseList(this, QStringLiteral("ListBox1"), QStringLiteral("Databases with an account"));
    Label3->setBuddy(ListBox1);

    ExcludeBtn = moveButton(this, QStringLiteral("ExcludeBtn"), QStringLiteral(">"),
                            QStringLiteral("Drop user from selected database(s)"));
    IncludeBtn = moveButton(this, QStringLiteral("IncludeBtn"), QStringLiteral("<"),
                            QStringLiteral("Create user in selected database(s)"));

    Label2 = new QLabel(QStringLiteral("  Available databases"), this);
    Label2->setObjectName(QStringLiteral("Label2"));
    ListBox2 = databaseList(this, QStringLiteral("ListBox2"), QStringLiteral("Available databases"));
    Label2->setBuddy(ListBox2);

    auto *window = new QVBoxLayout(this);
    window->setContentsMargins(4, 4, 4, 4);
    window->setSpacing(4);
    window->addWidget(BitBtn1);
    auto *columns = new QHBoxLayout;
    columns->setSpacing(2);
    auto *users = new QVBoxLayout;
    users->addWidget(Label1);
    users->addWidget(DBLookupListBox1, 1);
    columns->addLayout(users, 12);
    columns->addWidget(Panel3);
    auto *accounts = new QVBoxLayout;
    accounts->addWidget(Label3);
    accounts->addWidget(ListBox1, 1);
    columns->addLayout(accounts, 10);
    auto *moves = new QVBoxLayout;
    moves->addStretch();
    moves->addWidget(ExcludeBtn);
    moves->addWidget(IncludeBtn);
    moves->addStretch();
    columns->addLayout(moves);
    auto *available = new QVBoxLayout;
    available->addWidget(Label2);
    available->addWidget(ListBox2, 1);
    columns->addLayout(available, 12);
    window->addLayout(columns, 1);

    setTabOrder(BitBtn1, DBLookupListBox1);
    setTabOrder(DBLookupListBox1, ListBox1);
    setTabOrder(ListBox1, ExcludeBtn);
    setTabOrder(ExcludeBtn, IncludeBtn);
    setTabOrder(IncludeBtn, ListBox2);

    setMinimumSize(FixedWidth, MinimumHeight);
    setMaximumWidth(FixedWidth);
    resize(FixedWidth, 320);

    connect(BitBtn1, &QPushButton::clicked, this, [this] { guard([this] { BitBtn1Click(); }); });
    connect(DBLookupListBox1, &controls::DBLookupListBox::chosen, this,
            [this] { guard([this] { DBLookupListBox1Click(); }); });
    connect(ExcludeBtn, &QPushButton::clicked, this, [this] { guard([this] { ExcludeBtnClick(); }); });
    connect(IncludeBtn, &QPushButton::clicked, this, [this] { guard([this] { IncludeBtnClick(); }); });
    FormCreate();
}

TFormCreateUser::~TFormCreateUser()
{
    Query1->close();
    Database1->close();
}

// ---- handlers, in the order the user meets them ---------------------------------------

void TFormCreateUser::FormCreate()
{
    UserDbs.clear();
    DbServers.clear();
}

void TFormCreateUser::FormShow()
{
    Database1->params().setValue(QStringLiteral("SERVER NAME"), LoginForm->ConnComboBox->currentText());
    // Only tests the login: the connection is closed at this point and stays closed.
    while (!Form1->LoginAs(Database1, QStringLiteral("system"))) {
        if (!Messages::askYesNo(QStringLiteral("Wrong password! Try again?")))
            return; // the window shows what it showed before
        Form1->AskPassword(QStringLiteral("system"));
    }
    BuildDatabaseList();
    RefreshLists();
    AskEach = true;
}

void TFormCreateUser::resizeEvent(QResizeEvent *event)
{
    controls::Form::resizeEvent(event);
    FormResize();
}

void TFormCreateUser::FormResize()
{
    if (width() != FixedWidth || height() < MinimumHeight)
        resize(FixedWidth, std::max(height(), MinimumHeight));
}

void TFormCreateUser::DBLookupListBox1Click()
{
    ShowUser(Query1->fieldByName(QStringLiteral("USER_NAME")).asString());
}

void TFormCreateUser::IncludeBtnClick()
{
    AskEach = true;
    bool chosen = false;
    try {
        chosen = CreateSelected();
    } catch (...) {
        // The accounts made before the error stopped the creation are shown too.
        RefreshLists();
        throw;
    }
    if (chosen)
        RefreshLists();
}

void TFormCreateUser::ExcludeBtnClick()
{
    if (DropSelected())
        RefreshLists();
}

void TFormCreateUser::BitBtn1Click()
{
    FormNewusers->showModal();
    if (FormNewusers->Posted)
        RefreshLists();
}

void TFormCreateUser::FormClose()
{
    Query1->close();
    Query3->close();
    Database1->close();
}

// ---- operations -----------------------------------------------------------------------

void TFormCreateUser::RefreshLists()
{
    TForm1::Progress progress(*Form1);
    progress.step(QStringLiteral("Reading the users"));
    LoadUsers();
    ScanDatabases();
    // The user chosen before, while still listed; otherwise the first one.
    QString user;
    if (DBLookupListBox1->currentRow() >= 0) {
        user = SelectedUser();
        Query1->locate(QStringLiteral("USER_NAME"), user);
    } else if (!Query1->isEmpty()) {
        Query1->first();
        user = Query1->fieldByName(QStringLiteral("USER_NAME")).asString();
        DBLookupListBox1->setKeyValue(user);
    }
    ShowUser(user);
}

void TFormCreateUser::LoadUsers()
{
    if (Query1->active())
        Query1->close();
    UserDbs.clear();
    Query1->open();
    for (Query1->first(); !Query1->eof(); Query1->next())
        UserDbs.append(Query1->field(0).asString() + QLatin1Char('='));
    Query1->first();
}

void TFormCreateUser::BuildDatabaseList()
{
    DbServers.clear();
    const QString server = Database1->params().value(QStringLiteral("SERVER NAME"));
    DbServers.append(server + QLatin1Char('=') + server);
}

void TFormCreateUser::ScanDatabases()
{
    TForm1::Progress progress(*Form1);
    for (int i = 0; i < DbServers.count(); ++i) {
        const QString name = DbServers.nameAt(i);
        const QString server = DbServers.valueAt(i);
        progress.step(QStringLiteral("Looking for the users in %1 (%2 of %3)").arg(name).arg(i + 1).arg(DbServers.count()));
        if (!SelectServer(name, server)) {
            Messages::plain(QStringLiteral("Database ") + name + QStringLiteral(" is not available any more...")
                            + QLatin1Char('\r') + QStringLiteral("Exit and try again later ..."));
            return;
        }
        ScanUsers(name);
    }
}

bool TFormCreateUser::SelectServer(const QString &name, const QString &server)
{
    Database1->close();
    Database1->params().setValue(QStringLiteral("SERVER NAME"), server);
    try {
        Database1->open();
    } catch (const std::exception &) {
        Messages::plain(QStringLiteral("Could not connect to ") + name + QStringLiteral(" (") + server
                        + QStringLiteral(") !?!"));
    }
    return Database1->connected();
}

void TFormCreateUser::ScanUsers(const QString &name)
{
    Query3->open();
    const db::Field &user = Query3->fieldByName(QStringLiteral("USERNAME"));
    for (Query3->first(); !Query3->eof(); Query3->next()) {
        const QString account = user.asString();
        if (UserDbs.hasName(account))
            UserDbs.AppendValue(account, name);
    }
    Query3->close();
}

void TFormCreateUser::ShowUser(const QString &user)
{
    ExcludeBtn->setEnabled(false);
    ListBox1->clear();
    const QStringList databases = UserDbs.items(user);
    ListBox1->addItems(databases);
    const QSet<QString> held(databases.begin(), databases.end());
    ListBox2->clear();
    for (int i = 0; i < DbServers.count(); ++i) {
        const QString name = DbServers.nameAt(i);
        if (held.contains(name))
            ExcludeBtn->setEnabled(true);
        else
            ListBox2->addItem(name);
    }
    IncludeBtn->setEnabled(ListBox2->count() > 0);
    Label3->setText(QLatin1Char(' ') + user);
}

QString TFormCreateUser::SelectedUser() const
{
    return DBLookupListBox1->currentRow() >= 0 ? DBLookupListBox1->keyValue().toString() : QString();
}

QStringList TFormCreateUser::selectedItems(const QListWidget *list) const
{
    QStringList items;
    for (int i = 0; i < list->count(); ++i) {
        if (list->item(i)->isSelected())
            items.append(list->item(i)->text());
    }
    return items;
}

bool TFormCreateUser::CreateSelected()
{
    const QStringList chosen = selectedItems(ListBox2);
    const QString user = SelectedUser();
    // A name refused is refused once, whatever the number of databases chosen.
    if (chosen.isEmpty() || !TFormCr::CheckUserName(user))
        return false;
    for (const QString &name : chosen)
        CreateUserIn(user, DbServers.value(name), name);
    return true;
}

void TFormCreateUser::CreateUserIn(const QString &user, const QString &server, const QString &name)
{
    // The runner checks the name before it prepares a statement.
    FormCr->ServerName = server;
    FormCr->UserName = user;
    FormCr->DbName = name;
    if (AskEach && FormCr->showModal() == core::ModalResult::All)
        AskEach = false; // the other chosen databases are done without the dialog
    else if (!AskEach)
        FormCr->PrepareAndRun();
}

bool TFormCreateUser::DropSelected()
{
    const QStringList chosen = selectedItems(ListBox1);
    const QString user = SelectedUser();
    if (chosen.isEmpty() || !TFormCr::CheckUserName(user))
        return false;
    for (const QString &name : chosen)
        DropUserFrom(user, DbServers.value(name), name);
    return true;
}

void TFormCreateUser::DropUserFrom(const QString &user, const QString &server, const QString &name)
{
    if (!TFormCr::CheckUserName(user))
        return;
    if (!Messages::askYesNo(QStringLiteral("Drop ") + user + QStringLiteral(" from ") + name + QLatin1Char('(')
                                + server + QLatin1Char(')'),
                            Messages::Default::No))
        return;
    if (!SelectServer(name, server))
        return;
    FormCr->Query1->setSql({QStringLiteral("drop user ") + user + QStringLiteral(" cascade")});
    FormCr->ExecBuffer();
}
