#pragma once

#include <QString>
#include <QStringList>

#include <optional>

struct sqlite3;

namespace embedded {

struct PasswordHash;

// The server's dictionary: accounts with their password hashes, roles, the roles each
// account or role holds (with or without the right to pass them on), the objects that
// can be granted and the grants on them. Names are stored in upper case; callers pass
// them normalised.
class Dictionary {
public:
    // schema is the name under which the dictionary file is attached to the handle
    // ("main" when the file itself is open).
    Dictionary(sqlite3 *handle, const QString &schema);

    static QString definitionScript();

    // Accounts
    bool accountExists(const QString &user) const;
    bool roleExists(const QString &role) const;
    void createAccount(const QString &user, const QString &password,
                       const QString &defaultTablespace, const QString &temporaryTablespace);
    // The same with a hash already derived: tools that make many accounts of one
    // password derive it once.
    void createAccount(const QString &user, const PasswordHash &hash,
                       const QString &defaultTablespace, const QString &temporaryTablespace);
    void setPassword(const QString &user, const QString &password);
    bool passwordMatches(const QString &user, const QString &password) const;
    void dropAccount(const QString &user);
    bool tablespaceExists(const QString &name) const;

    // Roles
    void createRole(const QString &role);
    void dropRole(const QString &role);
    // The admin option of a role held directly, or nothing when it is not held directly.
    std::optional<bool> directGrant(const QString &grantee, const QString &role) const;
    void grantRole(const QString &grantee, const QString &role, bool adminOption);
    void revokeRole(const QString &grantee, const QString &role);
    // Held directly or through a role that holds it.
    bool holdsRole(const QString &grantee, const QString &role) const;
    bool holdsWithAdmin(const QString &grantee, const QString &role) const;
    bool isDba(const QString &user) const { return holdsRole(user, QStringLiteral("DBA")); }

    // Objects
    void registerObject(const QString &owner, const QString &name, const QString &type);
    std::optional<QString> objectType(const QString &owner, const QString &name) const;
    void grantObject(const QString &owner, const QString &name, const QString &grantee,
                     const QString &privilege, const QString &grantor);
    bool revokeObject(const QString &owner, const QString &name, const QString &grantee,
                      const QString &privilege);
    bool ownsObjects(const QString &user) const;

    // Schema files: owners whose tables live in a file of their own.
    struct SchemaFile {
        QString owner;
        QString fileName;
    };
    QList<SchemaFile> schemaFiles() const;
    void addSchemaFile(const QString &owner, const QString &fileName);
    void removeSchemaFile(const QString &owner);

private:
    QString t(const char *table) const;
    QStringList rolesHeldBy(const QString &grantee) const;

    sqlite3 *m_handle;
    QString m_schema;
};

} // namespace embedded
