#pragma once

#include <QList>
#include <QString>
#include <QStringList>

#include <utility>

namespace db {

// The names of accounts, roles, tablespaces and program units as the real server reads
// them.
namespace names {

// The longest name of an account, a role, a tablespace or a program unit, in characters.
// It is also the size of USERNAME in the administration schema, so every account can be
// granted programs.
constexpr int maxLength = 30;

// A name as a login or a statement gives it, read as the server reads names: within
// double quotes as written, otherwise in upper case. Blanks around it do not count.
QString fromTyped(const QString &typed);

// Refuses a name the server cannot hold: ORA-00972 when it is longer than maxLength.
void validate(const QString &name);

} // namespace names

// One account statement as the real server reads it, the one reader of these statements
// for every server:
//   create user U identified by P [default tablespace T] [temporary tablespace T]
//   alter user U identified by P
//   drop user U [cascade]
//   create role R / drop role R
//   grant R[, R...] to U[, U...] [with admin option] / revoke R[, R...] from U[, U...]
//   grant execute on [owner.]object to U[, U...] / revoke execute on [owner.]object from U[, ...]
// Words are read without regard to case, blanks and comments (-- to the end of the line,
// /* */) may stand between any two of them, names in double quotes keep their letters,
// and one ';' may end the statement. Reading checks the words and the names' length,
// nothing about the server: each name is kept as the server reads names (upper case, or
// as written within double quotes).
struct AccountStatement {
    enum class Kind { CreateUser, AlterUser, DropUser, CreateRole, DropRole, GrantRoles, RevokeRoles, GrantObject, RevokeObject };
    Kind kind = Kind::CreateUser;
    QString name;                // the user or role created, altered or dropped
    QString password;            // as typed
    QString defaultTablespace;   // empty when the statement names none
    QString temporaryTablespace; // empty when the statement names none
    bool cascade = false;
    QStringList privileges;      // the roles granted or revoked; EXECUTE for an object
    QString owner;               // the object's owner; empty for the login's own object
    QString object;
    QStringList grantees;
    bool adminOption = false;

    // Whether the statement is one of the account statements (judged by its first words).
    static bool recognizes(const QString &statement);
    // Reads it; a statement that does not read throws DbError with the server's code.
    static AccountStatement parse(const QString &statement);

    // What the server answers when it has run the statement: "User created.".
    QString confirmation() const;
};

// Where the passwords of a text lie, as the start and end (one past the last character)
// of each: the one after every "identified by", and the old one after its "replace",
// whether the text reads as a statement or not. A quoted password left open runs to
// the end of the text; an unquoted one runs to the next blank.
QList<std::pair<qsizetype, qsizetype>> passwordsIn(const QString &text);

// The text as it may be shown: every password in it reads ********.
QString withPasswordsHidden(const QString &text);

} // namespace db
