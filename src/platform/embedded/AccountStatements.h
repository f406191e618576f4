#pragma once

#include "platform/embedded/Dictionary.h"

#include <QString>
#include <QStringList>

#include <functional>
#include <optional>

namespace embedded {

// The session an account statement runs in: who is logged in, and how the session reaches
// the owners' schema files.
struct AccountSession {
    QString login;
    // The type of a table or view in an owner's schema file ("TABLE", "VIEW"), if any.
    std::function<std::optional<QString>(const QString &owner, const QString &name)> schemaObjectType;
    // Detaches the owner's schema file and deletes it.
    std::function<void(const QString &owner)> dropSchema;
};

// One account statement as read: what it does and the names it gives, each as the server
// reads names (upper case, or as written within double quotes). Reading a statement
// checks its words and the length of its names, nothing about the server.
struct AccountStatement {
    enum class Kind { CreateUser, AlterUser, DropUser, CreateRole, DropRole, GrantRoles, RevokeRoles, GrantObject, RevokeObject };
    Kind kind = Kind::CreateUser;
    QString name;                // the user or role created, altered or dropped
    QString password;            // as typed
    QString defaultTablespace;   // empty when the statement names none
    QString temporaryTablespace; // empty when the statement names none
    bool cascade = false;
    QStringList privileges;      // the roles granted or revoked, or the object privileges
    QString owner;               // the object's owner; empty for the login's own object
    QString object;
    QStringList grantees;
    bool adminOption = false;

    // Whether the statement is one of the account statements (judged by its first words).
    static bool recognizes(const QString &statement);
    // Reads it; a statement that does not read throws DbError with the server's code.
    static AccountStatement parse(const QString &statement);
};

// The statements with which accounts and roles are kept, run by the server itself with
// its privilege checks:
//   create user U identified by P [default tablespace T] [temporary tablespace T]
//   alter user U identified by P
//   drop user U [cascade]
//   create role R / drop role R
//   grant R[, R...] to U[, U...] [with admin option] / revoke R[, R...] from U[, U...]
//   grant execute on [owner.]object to U[, U...] / revoke execute on [owner.]object from U[, ...]
// Words are read without regard to case; names in double quotes keep theirs.
class AccountStatements {
public:
    AccountStatements(Dictionary &dictionary, AccountSession session);

    // Whether the statement is one of the above (judged by its first words).
    static bool recognizes(const QString &statement);

    // Runs it; returns the server's confirmation ("User created."). Throws DbError.
    QString run(const QString &statement);
    QString run(const AccountStatement &statement);

private:
    Dictionary &m_dictionary;
    AccountSession m_session;
};

} // namespace embedded
