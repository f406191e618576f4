#include "platform/embedded/Dictionary.h"

#include "platform/embedded/PasswordHash.h"
#include "platform/embedded/Sqlite.h"

#include <QDateTime>
#include <QFile>
#include <QSet>

#include <sqlite3.h>

namespace embedded {

Dictionary::Dictionary(sqlite3 *handle, const QString &schema) : m_handle(handle), m_schema(schema) {}

QString Dictionary::definitionScript()
{
    QFile file(QStringLiteral(":/schema/embedded/dictionary.sql"));
    if (!file.open(QIODevice::ReadOnly))
        return QString();
    return QString::fromUtf8(file.readAll());
}

QString Dictionary::t(const char *table) const
{
    return m_schema + QLatin1Char('.') + QLatin1String(table);
}

bool Dictionary::accountExists(const QString &user) const
{
    SqliteStatement q(m_handle, QStringLiteral("select 1 from %1 where username = ?1").arg(t("accounts")));
    q.bind(1, user);
    return q.step();
}

bool Dictionary::roleExists(const QString &role) const
{
    SqliteStatement q(m_handle, QStringLiteral("select 1 from %1 where role = ?1").arg(t("roles")));
    q.bind(1, role);
    return q.step();
}

bool Dictionary::tablespaceExists(const QString &name) const
{
    SqliteStatement q(m_handle, QStringLiteral("select 1 from %1 where tablespace_name = ?1").arg(t("tablespaces")));
    q.bind(1, name);
    return q.step();
}

void Dictionary::createAccount(const QString &user, const QString &password,
                               const QString &defaultTablespace, const QString &temporaryTablespace)
{
    const PasswordHash h = PasswordHash::make(password);
    SqliteStatement q(m_handle, QStringLiteral(
        "insert into %1 (username, user_id, password_salt, password_hash, password_rounds, created, "
        "default_tablespace, temporary_tablespace) "
        "values (?1, (select coalesce(max(user_id), 100) + 1 from %1), ?2, ?3, ?4, ?5, ?6, ?7)").arg(t("accounts")));
    q.bind(1, user).bind(2, h.salt).bind(3, h.hash).bind(4, h.rounds)
        .bind(5, QDateTime::currentDateTime().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")))
        .bind(6, defaultTablespace).bind(7, temporaryTablespace);
    q.run();
}

void Dictionary::setPassword(const QString &user, const QString &password)
{
    const PasswordHash h = PasswordHash::make(password);
    SqliteStatement q(m_handle, QStringLiteral(
        "update %1 set password_salt = ?2, password_hash = ?3, password_rounds = ?4 where username = ?1").arg(t("accounts")));
    q.bind(1, user).bind(2, h.salt).bind(3, h.hash).bind(4, h.rounds);
    q.run();
}

bool Dictionary::passwordMatches(const QString &user, const QString &password) const
{
    SqliteStatement q(m_handle, QStringLiteral(
        "select password_salt, password_hash, password_rounds from %1 where username = ?1").arg(t("accounts")));
    q.bind(1, user);
    // An account that does not exist costs the same derivation as a wrong password.
    const bool found = q.step();
    PasswordHash h = PasswordHash::unmatchable();
    if (found) {
        h.salt = q.value(0).toByteArray();
        h.hash = q.value(1).toByteArray();
        h.rounds = int(q.integer(2));
    }
    const bool matches = h.matches(password);
    return found && matches;
}

void Dictionary::dropAccount(const QString &user)
{
    {
        SqliteStatement q(m_handle, QStringLiteral("delete from %1 where grantee = ?1").arg(t("role_grants")));
        q.bind(1, user).run();
    }
    {
        SqliteStatement q(m_handle, QStringLiteral("delete from %1 where grantee = ?1 or owner = ?1").arg(t("object_grants")));
        q.bind(1, user).run();
    }
    {
        SqliteStatement q(m_handle, QStringLiteral("delete from %1 where owner = ?1").arg(t("objects")));
        q.bind(1, user).run();
    }
    removeSchemaFile(user);
    SqliteStatement q(m_handle, QStringLiteral("delete from %1 where username = ?1").arg(t("accounts")));
    q.bind(1, user).run();
}

void Dictionary::createRole(const QString &role)
{
    SqliteStatement q(m_handle, QStringLiteral("insert into %1 (role, created) values (?1, ?2)").arg(t("roles")));
    q.bind(1, role).bind(2, QDateTime::currentDateTime().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"))).run();
}

void Dictionary::dropRole(const QString &role)
{
    SqliteStatement g(m_handle, QStringLiteral("delete from %1 where granted_role = ?1 or grantee = ?1").arg(t("role_grants")));
    g.bind(1, role).run();
    SqliteStatement o(m_handle, QStringLiteral("delete from %1 where grantee = ?1").arg(t("object_grants")));
    o.bind(1, role).run();
    SqliteStatement q(m_handle, QStringLiteral("delete from %1 where role = ?1").arg(t("roles")));
    q.bind(1, role).run();
}

std::optional<bool> Dictionary::directGrant(const QString &grantee, const QString &role) const
{
    SqliteStatement q(m_handle, QStringLiteral(
        "select admin_option from %1 where grantee = ?1 and granted_role = ?2").arg(t("role_grants")));
    q.bind(1, grantee).bind(2, role);
    if (!q.step())
        return std::nullopt;
    return q.text(0) == QLatin1String("YES");
}

void Dictionary::grantRole(const QString &grantee, const QString &role, bool adminOption)
{
    // A grant again keeps an admin option already held and adds one that is asked for.
    SqliteStatement q(m_handle, QStringLiteral(
        "insert into %1 (grantee, granted_role, admin_option, default_role) values (?1, ?2, ?3, 'YES') "
        "on conflict (grantee, granted_role) do update set admin_option = "
        "case when excluded.admin_option = 'YES' then 'YES' else admin_option end").arg(t("role_grants")));
    q.bind(1, grantee).bind(2, role).bind(3, adminOption ? QStringLiteral("YES") : QStringLiteral("NO")).run();
}

void Dictionary::revokeRole(const QString &grantee, const QString &role)
{
    SqliteStatement q(m_handle, QStringLiteral("delete from %1 where grantee = ?1 and granted_role = ?2").arg(t("role_grants")));
    q.bind(1, grantee).bind(2, role).run();
}

QStringList Dictionary::rolesHeldBy(const QString &grantee) const
{
    QStringList held;
    QSet<QString> seen{grantee};
    QStringList pending{grantee};
    while (!pending.isEmpty()) {
        const QString next = pending.takeFirst();
        SqliteStatement q(m_handle, QStringLiteral("select granted_role from %1 where grantee = ?1").arg(t("role_grants")));
        q.bind(1, next);
        while (q.step()) {
            const QString role = q.text(0);
            if (!seen.contains(role)) {
                seen.insert(role);
                held.append(role);
                pending.append(role);
            }
        }
    }
    return held;
}

bool Dictionary::holdsRole(const QString &grantee, const QString &role) const
{
    return rolesHeldBy(grantee).contains(role);
}

bool Dictionary::holdsWithAdmin(const QString &grantee, const QString &role) const
{
    QStringList holders = rolesHeldBy(grantee);
    holders.prepend(grantee);
    for (const QString &h : holders) {
        if (directGrant(h, role).value_or(false))
            return true;
    }
    return false;
}

void Dictionary::registerObject(const QString &owner, const QString &name, const QString &type)
{
    SqliteStatement q(m_handle, QStringLiteral(
        "insert or replace into %1 (owner, object_name, object_type) values (?1, ?2, ?3)").arg(t("objects")));
    q.bind(1, owner).bind(2, name).bind(3, type).run();
}

std::optional<QString> Dictionary::objectType(const QString &owner, const QString &name) const
{
    SqliteStatement q(m_handle, QStringLiteral(
        "select object_type from %1 where owner = ?1 and object_name = ?2").arg(t("objects")));
    q.bind(1, owner).bind(2, name);
    if (!q.step())
        return std::nullopt;
    return q.text(0);
}

void Dictionary::grantObject(const QString &owner, const QString &name, const QString &grantee,
                             const QString &privilege, const QString &grantor)
{
    SqliteStatement q(m_handle, QStringLiteral(
        "insert or ignore into %1 (owner, object_name, grantee, privilege, grantor) "
        "values (?1, ?2, ?3, ?4, ?5)").arg(t("object_grants")));
    q.bind(1, owner).bind(2, name).bind(3, grantee).bind(4, privilege).bind(5, grantor).run();
}

bool Dictionary::revokeObject(const QString &owner, const QString &name, const QString &grantee,
                              const QString &privilege)
{
    SqliteStatement q(m_handle, QStringLiteral(
        "delete from %1 where owner = ?1 and object_name = ?2 and grantee = ?3 and privilege = ?4")
        .arg(t("object_grants")));
    q.bind(1, owner).bind(2, name).bind(3, grantee).bind(4, privilege).run();
    return sqlite3_changes(m_handle) > 0;
}

bool Dictionary::ownsObjects(const QString &user) const
{
    SqliteStatement q(m_handle, QStringLiteral(
        "select 1 from %1 where owner = ?1 union all select 1 from %2 where owner = ?1")
        .arg(t("objects"), t("schemas")));
    q.bind(1, user);
    return q.step();
}

QList<Dictionary::SchemaFile> Dictionary::schemaFiles() const
{
    QList<SchemaFile> files;
    SqliteStatement q(m_handle, QStringLiteral("select owner, file_name from %1 order by owner").arg(t("schemas")));
    while (q.step())
        files.append({q.text(0), q.text(1)});
    return files;
}

void Dictionary::addSchemaFile(const QString &owner, const QString &fileName)
{
    SqliteStatement q(m_handle, QStringLiteral("insert or replace into %1 (owner, file_name) values (?1, ?2)").arg(t("schemas")));
    q.bind(1, owner).bind(2, fileName).run();
}

void Dictionary::removeSchemaFile(const QString &owner)
{
    SqliteStatement q(m_handle, QStringLiteral("delete from %1 where owner = ?1").arg(t("schemas")));
    q.bind(1, owner).run();
}

} // namespace embedded
