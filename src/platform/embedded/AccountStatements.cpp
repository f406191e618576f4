#include "platform/embedded/AccountStatements.h"

#include "platform/embedded/ServerErrors.h"

#include <algorithm>

namespace embedded {

using db::AccountStatement;
using namespace errors;

AccountStatements::AccountStatements(Dictionary &dictionary, AccountSession session)
    : m_dictionary(dictionary), m_session(std::move(session))
{
}

QString AccountStatements::run(const QString &statement)
{
    return run(AccountStatement::parse(statement));
}

QString AccountStatements::run(const AccountStatement &st)
{
    using Kind = AccountStatement::Kind;
    m_dba = m_dictionary.isDba(m_session.login);
    switch (st.kind) {
    case Kind::CreateUser:
        createUser(st);
        break;
    case Kind::CreateRole:
        createRole(st);
        break;
    case Kind::AlterUser:
        alterUser(st);
        break;
    case Kind::DropUser:
        dropUser(st);
        break;
    case Kind::DropRole:
        dropRole(st);
        break;
    case Kind::GrantObject:
    case Kind::RevokeObject:
        grantOrRevokeExecute(st);
        break;
    case Kind::GrantRoles:
    case Kind::RevokeRoles:
        grantOrRevokeRoles(st);
        break;
    }
    return st.confirmation();
}

void AccountStatements::requireDba() const
{
    if (!m_dba)
        throw serverError(InsufficientPrivileges, QStringLiteral("insufficient privileges"));
}

void AccountStatements::requireGrantee(const QString &name) const
{
    if (!m_dictionary.accountExists(name) && !m_dictionary.roleExists(name))
        throw serverError(NoSuchGranteeUser, QStringLiteral("user or role '%1' does not exist").arg(name));
}

void AccountStatements::createUser(const AccountStatement &st)
{
    const QString &user = st.name;
    const QString defaultTs = st.defaultTablespace.isEmpty() ? QStringLiteral("USERS") : st.defaultTablespace;
    const QString temporaryTs = st.temporaryTablespace.isEmpty() ? QStringLiteral("TEMP") : st.temporaryTablespace;
    requireDba();
    if (m_dictionary.accountExists(user) || m_dictionary.roleExists(user))
        throw serverError(UserNameConflict, QStringLiteral("user name '%1' conflicts with another user or role name").arg(user));
    for (const QString &tablespace : {defaultTs, temporaryTs}) {
        if (!m_dictionary.tablespaceExists(tablespace))
            throw serverError(NoSuchTablespace, QStringLiteral("tablespace '%1' does not exist").arg(tablespace));
    }
    m_dictionary.createAccount(user, st.password, defaultTs, temporaryTs);
}

void AccountStatements::createRole(const AccountStatement &st)
{
    const QString &role = st.name;
    requireDba();
    if (m_dictionary.accountExists(role) || m_dictionary.roleExists(role))
        throw serverError(RoleNameConflict, QStringLiteral("role name '%1' conflicts with another user or role name").arg(role));
    m_dictionary.createRole(role);
    m_dictionary.grantRole(m_session.login, role, true);
}

void AccountStatements::alterUser(const AccountStatement &st)
{
    const QString &user = st.name;
    if (user != m_session.login)
        requireDba();
    if (!m_dictionary.accountExists(user))
        throw serverError(NoSuchUser, QStringLiteral("user '%1' does not exist").arg(user));
    m_dictionary.setPassword(user, st.password);
}

void AccountStatements::dropUser(const AccountStatement &st)
{
    const QString &user = st.name;
    requireDba();
    if (!m_dictionary.accountExists(user))
        throw serverError(NoSuchUser, QStringLiteral("user '%1' does not exist").arg(user));
    if (user == m_session.login)
        throw serverError(UserConnected, QStringLiteral("cannot drop a user that is currently connected"));
    if (m_dictionary.ownsObjects(user) && !st.cascade)
        throw serverError(CascadeRequired, QStringLiteral("CASCADE must be specified to drop '%1'").arg(user));
    const QList<Dictionary::SchemaFile> files = m_dictionary.schemaFiles();
    const bool hasSchema = std::any_of(files.begin(), files.end(), [&](const Dictionary::SchemaFile &f) { return f.owner == user; });
    m_dictionary.dropAccount(user);
    if (hasSchema && m_session.dropSchema)
        m_session.dropSchema(user);
}

void AccountStatements::dropRole(const AccountStatement &st)
{
    const QString &role = st.name;
    if (!m_dictionary.roleExists(role))
        throw serverError(NoSuchRole, QStringLiteral("role '%1' does not exist").arg(role));
    if (!m_dba && !m_dictionary.holdsWithAdmin(m_session.login, role))
        throw serverError(InsufficientPrivileges, QStringLiteral("insufficient privileges"));
    m_dictionary.dropRole(role);
}

void AccountStatements::grantOrRevokeExecute(const AccountStatement &st)
{
    // The reader takes no object privilege but EXECUTE.
    const QString execute = QStringLiteral("EXECUTE");
    const QString &login = m_session.login;
    const QString owner = st.owner.isEmpty() ? login : st.owner;
    const QString &object = st.object;
    std::optional<QString> type = m_dictionary.objectType(owner, object);
    if (!type && m_session.schemaObjectType)
        type = m_session.schemaObjectType(owner, object);
    if (!type)
        throw serverError(NoSuchProgramUnit, QStringLiteral("procedure, function, package, or package body does not exist"));
    if (*type == QLatin1String("TABLE") || *type == QLatin1String("VIEW"))
        throw serverError(ExecuteOnTable, QStringLiteral("EXECUTE privilege not allowed for tables"));
    if (owner != login && !m_dba)
        throw serverError(InsufficientPrivileges, QStringLiteral("insufficient privileges"));
    for (const QString &g : st.grantees)
        requireGrantee(g);
    if (st.kind == AccountStatement::Kind::GrantObject) {
        for (const QString &g : st.grantees)
            m_dictionary.grantObject(owner, object, g, execute, login);
        return;
    }
    for (const QString &g : st.grantees) {
        if (!m_dictionary.revokeObject(owner, object, g, execute))
            throw serverError(RevokeNotGranted, QStringLiteral("cannot REVOKE privileges you did not grant"));
    }
}

void AccountStatements::grantOrRevokeRoles(const AccountStatement &st)
{
    const bool granting = st.kind == AccountStatement::Kind::GrantRoles;
    for (const QString &role : st.privileges) {
        if (!m_dictionary.roleExists(role))
            throw serverError(NoSuchRole, QStringLiteral("role '%1' does not exist").arg(role));
        if (!m_dba && !m_dictionary.holdsWithAdmin(m_session.login, role))
            throw serverError(AdminOptionMissing, QStringLiteral("ADMIN option not granted for role '%1'").arg(role));
    }
    for (const QString &g : st.grantees) {
        requireGrantee(g);
        for (const QString &role : st.privileges) {
            if (granting && (g == role || m_dictionary.holdsRole(role, g)))
                throw serverError(CircularRoleGrant, QStringLiteral("circular role grant detected"));
            if (!granting && !m_dictionary.directGrant(g, role))
                throw serverError(RoleNotGranted, QStringLiteral("ROLE '%1' not granted to '%2'").arg(role, g));
        }
    }
    for (const QString &g : st.grantees) {
        for (const QString &role : st.privileges) {
            if (granting)
                m_dictionary.grantRole(g, role, st.adminOption);
            else
                m_dictionary.revokeRole(g, role);
        }
    }
}

} // namespace embedded
