#include "accounts/createDrop.h"

#include "accounts/adduser.h"
#include "app/Users.h"
#include "data/History.h"
#include "data/Statements.h"
#include "platform/controls/Messages.h"
#include "platform/db/AccountStatement.h"

#include <QFontDatabase>
#include <QHBoxLayout>
#include <QPainter>
#include <QStyle>
#include <QVBoxLayout>

TFormCr *FormCr = nullptr;

using controls::Messages;

namespace {

bool isAsciiUpper(QChar c) { return c >= QLatin1Char('A') && c <= QLatin1Char('Z'); }
bool isAsciiLetter(QChar c) { return isAsciiUpper(c) || (c >= QLatin1Char('a') && c <= QLatin1Char('z')); }
bool isAsciiDigit(QChar c) { return c >= QLatin1Char('0') && c <= QLatin1Char('9'); }

// Letters of the allowed case first, then letters, digits, '_', '$' and '#'.
bool isPlainName(const QString &name, bool upperOnly)
{
    if (name.isEmpty())
        return false;
    auto letter = [upperOnly](QChar c) { return upperOnly ? isAsciiUpper(c) : isAsciiLetter(c); };
    if (!letter(name.front()))
        return false;
    for (QChar c : name) {
        if (!letter(c) && !isAsciiDigit(c) && c != QLatin1Char('_') && c != QLatin1Char('$') && c != QLatin1Char('#'))
            return false;
    }
    return true;
}

// The style's "all" picture, or two of its OK marks side by side where it has none.
QIcon allGlyph(const QStyle *style)
{
    QIcon icon = style->standardIcon(QStyle::SP_DialogYesToAllButton);
    if (!icon.availableSizes().isEmpty())
        return icon;
    const QPixmap ok = style->standardIcon(QStyle::SP_DialogOkButton).pixmap(16, 16);
    QPixmap both(26, 16);
    both.fill(Qt::transparent);
    QPainter painter(&both);
    painter.drawPixmap(0, 0, ok);
    painter.drawPixmap(10, 0, ok);
    painter.end();
    return QIcon(both);
}

} // namespace

TFormCr::TFormCr(QWidget *parent) : controls::Form(parent)
{
    setObjectName(QStringLiteral("FormCr"));
    setWindowTitle(QStringLiteral("FormCr"));

    Panel1 = new QLabel(this);
    Panel1->setObjectName(QStringLiteral("Panel1"));
    Panel1->setAlignment(Qt::AlignCenter);
    Panel1->setFrameStyle(QFrame::Panel | QFrame::Raised);
    Panel1->setMinimumHeight(30);
    QFont bold = Panel1->font();
    bold.setBold(true);
    Panel1->setFont(bold);

    Memo1 = new QPlainTextEdit(this);
    Memo1->setObjectName(QStringLiteral("Memo1"));
    Memo1->setAccessibleName(QStringLiteral("Statements"));
    Memo1->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    Memo1->setLineWrapMode(QPlainTextEdit::NoWrap);
    // Tab goes on to the buttons: a statement needs no tab character, and the keyboard
    // must reach OK.
    Memo1->setTabChangesFocus(true);
    Memo1->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));

    BitBtn2 = new QPushButton(style()->standardIcon(QStyle::SP_DialogCancelButton), QStringLiteral("Cancel"), this);
    BitBtn2->setObjectName(QStringLiteral("BitBtn2"));
    BitBtn2->setAutoDefault(false);
    BitBtn1 = new QPushButton(style()->standardIcon(QStyle::SP_DialogOkButton), QStringLiteral("OK"), this);
    BitBtn1->setObjectName(QStringLiteral("BitBtn1"));
    BitBtn1->setDefault(true);
    BitBtn3 = new QPushButton(allGlyph(style()), QStringLiteral("&OK to All"), this);
    BitBtn3->setIconSize(QSize(26, 16));
    BitBtn3->setObjectName(QStringLiteral("BitBtn3"));
    BitBtn3->setAutoDefault(false);
    // Escape rejects the dialog, which is the Cancel button's result.
    setButtonResult(BitBtn2, core::ModalResult::Cancel);
    setButtonResult(BitBtn1, core::ModalResult::OK, [this] { BitBtn1Click(); });
    setButtonResult(BitBtn3, core::ModalResult::All, [this] { BitBtn1Click(); });

    auto *column = new QVBoxLayout(this);
    column->setContentsMargins(4, 4, 4, 4);
    column->addWidget(Panel1);
    column->addWidget(Memo1, 1);
    auto *buttons = new QHBoxLayout;
    buttons->addWidget(BitBtn2);
    buttons->addStretch();
    buttons->addWidget(BitBtn1);
    buttons->addStretch();
    buttons->addWidget(BitBtn3);
    column->addLayout(buttons);
    setTabOrder(Memo1, BitBtn1);
    setTabOrder(BitBtn1, BitBtn3);
    setTabOrder(BitBtn3, BitBtn2);
    setFixedSize(520, 340);

    // The account window's own connection, pointed at each target database in turn.
    Q_ASSERT(FormCreateUser);
    QueryFuncGrants = new db::Query(QStringLiteral("QueryFuncGrants"), FormCreateUser->Database1,
                                    statements::QueryFuncGrants, this);
    QueryFuncGrants->addField(QStringLiteral("FUNC_NAME"), db::FieldType::String, 32);
    Query1 = new db::Query(QStringLiteral("Query1"), FormCreateUser->Database1, {}, this);
}

// ---- names ----------------------------------------------------------------------------

bool TFormCr::IsPlainUserName(const QString &user)
{
    return user.size() <= db::names::maxLength && isPlainName(user, true);
}

bool TFormCr::IsPlainObjectName(const QString &name)
{
    return isPlainName(name, false);
}

bool TFormCr::CheckUserName(const QString &user)
{
    if (IsPlainUserName(user))
        return true;
    Messages::plain(QStringLiteral("The user name \"%1\" cannot be used in an account statement: an account name is "
                                   "made of upper-case letters, digits, _, $ and #, begins with a letter and is at "
                                   "most %2 characters long. Nothing was done for this user.")
                        .arg(user)
                        .arg(db::names::maxLength));
    return false;
}

bool TFormCr::IsBlank(const QString &line)
{
    return std::all_of(line.begin(), line.end(), [](QChar c) { return c.unicode() <= ' '; });
}

// ---- handlers -------------------------------------------------------------------------

void TFormCr::FormShow()
{
    Panel1->setText(QStringLiteral("Creating user ") + UserName + QStringLiteral(" in database ") + DbName
                    + QLatin1Char('(') + ServerName + QLatin1Char(')'));
    // A failure or a refused name closes the dialog before it appears; its hide
    // handler still disconnects.
    if (!PrepareStatements()) {
        setModalResult(core::ModalResult::Cancel);
        return;
    }
    Memo1->setFocus();
}

void TFormCr::BitBtn1Click()
{
    RunStatements();
}

void TFormCr::FormClose()
{
    FormCreateUser->Database1->close();
}

// ---- operations -----------------------------------------------------------------------

void TFormCr::PrepareAndRun()
{
    if (PrepareStatements())
        RunStatements();
}

bool TFormCr::PrepareStatements()
{
    if (!CheckUserName(UserName))
        return false;
    if (!FormCreateUser->SelectServer(DbName, ServerName))
        return false;
    QStringList lines{
        QStringLiteral("create user ") + UserName + QStringLiteral(" identified by kevaro"),
        QStringLiteral("default tablespace users"),
        QStringLiteral("temporary tablespace temp"),
        QStringLiteral(" "),
        QStringLiteral("grant resource, connect, dealer to ") + UserName,
        QStringLiteral(" "),
    };
    QueryFuncGrants->open();
    QString refused;
    for (QueryFuncGrants->first(); !QueryFuncGrants->eof(); QueryFuncGrants->next()) {
        const QString name = QueryFuncGrants->fieldByName(QStringLiteral("FUNC_NAME")).asString();
        if (!IsPlainObjectName(name)) {
            refused = name;
            break;
        }
        lines.append(QStringLiteral("grant execute on vortalix.") + name + QStringLiteral(" to ") + UserName);
        lines.append(QStringLiteral(" "));
    }
    QueryFuncGrants->close();
    if (!refused.isNull()) {
        Messages::plain(QStringLiteral("The program unit name \"%1\" in vortalix.func_grants is not a plain name, so no "
                                       "statement was prepared for %2 in %3. Correct the table and try again.")
                            .arg(refused, UserName, DbName));
        return false;
    }
    Memo1->setPlainText(lines.join(QLatin1Char('\n')));
    return true;
}

void TFormCr::RunStatements()
{
    Query1->setSql({});
    // The last statement is ended by a blank line too.
    Memo1->appendPlainText(QStringLiteral(" "));
    const QStringList lines = Memo1->toPlainText().split(QLatin1Char('\n'));
    db::Connection *database = FormCreateUser->Database1;
    const QString system = QStringLiteral("system");
    const QString owner = QStringLiteral("vortalix");
    QString login = database->params().value(QStringLiteral("USER NAME"));
    // However the statements end (all run, the owner's login refused or failed), the
    // window's connection is logged in as "system" again, connected as it was.
    const bool wasConnected = database->connected();
    auto backToSystem = [&] {
        if (login != system)
            Form1->LoginAs(database, system);
        if (wasConnected && !database->connected())
            database->open();
    };
    try {
        QStringList statement;
        for (const QString &line : lines) {
            if (!IsBlank(line) || statement.isEmpty()) {
                // A blank line with nothing before it begins the next statement.
                statement.append(line);
                continue;
            }
            // Statements that begin with "grant" are granted by the owner of the objects;
            // the login stays the owner's for the statements after the first of them.
            if (statement.first().left(5) == QLatin1String("grant") && login != owner) {
                login = owner;
                if (!Form1->LoginAs(database, owner))
                    break;
            }
            Query1->setSql(statement);
            ExecBuffer();
            statement.clear();
            Query1->setSql({});
        }
    } catch (...) {
        Query1->setSql({});
        backToSystem();
        throw;
    }
    backToSystem();
}

void TFormCr::ExecBuffer()
{
    const QStringList lines = Query1->sql();
    // Blank lines alone are no statement.
    if (std::all_of(lines.begin(), lines.end(), [](const QString &l) { return IsBlank(l); }))
        return;
    try {
        // An account created or dropped, or roles granted or revoked, leave their rows of
        // the history in the statement's transaction.
        const QList<history::Entry> entries = history::accountEntries(Query1->text());
        db::Connection &database = *Query1->connection();
        if (entries.isEmpty() || !history::kept(database)) {
            Query1->execSql();
        } else {
            db::Transaction transaction(database);
            Query1->execSql();
            for (const history::Entry &entry : entries)
                history::record(database, entry);
            transaction.commit();
        }
    } catch (const std::exception &) {
        QString text;
        for (const QString &line : lines)
            text += line + QLatin1Char('\n');
        Messages::plain(QStringLiteral("Failed to execute following SQL statement:") + QLatin1Char('\r')
                        + db::withPasswordsHidden(text));
    }
}
