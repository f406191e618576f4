#pragma once

#include "platform/db/AccountStatement.h"
#include "platform/embedded/Dictionary.h"

#include <QString>

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

// The account statements (as db::AccountStatement reads them), run by the server itself
// with its privilege checks against its dictionary.
class AccountStatements {
public:
    AccountStatements(Dictionary &dictionary, AccountSession session);

    // Runs it; returns the server's confirmation ("User created."). Throws DbError.
    QString run(const QString &statement);
    QString run(const db::AccountStatement &statement);

private:
    void createUser(const db::AccountStatement &st);
    void createRole(const db::AccountStatement &st);
    void alterUser(const db::AccountStatement &st);
    void dropUser(const db::AccountStatement &st);
    void dropRole(const db::AccountStatement &st);
    void grantOrRevokeExecute(const db::AccountStatement &st);
    void grantOrRevokeRoles(const db::AccountStatement &st);

    void requireDba() const;
    void requireGrantee(const QString &name) const;

    Dictionary &m_dictionary;
    AccountSession m_session;
    bool m_dba = false;
};

} // namespace embedded
