#include "platform/embedded/EmbeddedBackend.h"

#include "platform/embedded/SqlFunctions.h"

#include <QSet>

#include <sqlite3.h>

// What a login's statements may read, change and call: SQLite asks at every prepare.
namespace embedded {

namespace {

// The columns of the dictionary that its views show; a statement of a login reads
// nothing else of the dictionary, whatever names its views, subqueries and common table
// expressions carry. Password salts, hashes and rounds are never among them.
bool isViewColumn(const QString &table, const QString &column)
{
    static const QSet<QString> columns{
        QStringLiteral("accounts.username"),     QStringLiteral("accounts.user_id"),
        QStringLiteral("accounts.created"),      QStringLiteral("role_grants.grantee"),
        QStringLiteral("role_grants.granted_role"), QStringLiteral("role_grants.admin_option"),
        QStringLiteral("role_grants.default_role"), QStringLiteral("roles.role"),
    };
    return columns.contains(table.toLower() + QLatin1Char('.') + column.toLower());
}

// A read of a table's rows without any of its columns (count(*), select 1): allowed on
// the tables behind the views, whose number of rows the views tell anyway.
bool isViewTable(const QString &table)
{
    static const QSet<QString> tables{QStringLiteral("accounts"), QStringLiteral("role_grants"), QStringLiteral("roles")};
    return tables.contains(table.toLower());
}

// The history of grants: read by its schema's owner and DBA alone.
bool isHistory(const char *table)
{
    return table && qstricmp(table, "grant_history") == 0;
}

} // namespace


int EmbeddedBackend::authorize(void *self, int action, const char *a3, const char *a4, const char *database,
                               const char *view)
{
    auto *b = static_cast<EmbeddedBackend *>(self);
    if (b->m_internal > 0)
        return SQLITE_OK;
    const QString schema = database ? QString::fromUtf8(database).toUpper() : QString();
    const bool inDictionary = schema == QString::fromLatin1(dictionarySchema).toUpper();
    const bool ownSchema = b->m_schemas.contains(schema) && (schema == b->m_login || b->m_dba);
    switch (action) {
    case SQLITE_SELECT:
    case SQLITE_RECURSIVE:
    case SQLITE_TRANSACTION:
    case SQLITE_SAVEPOINT:
        return SQLITE_OK;
    case SQLITE_FUNCTION:
        return isOfferedFunction(a4) ? SQLITE_OK : SQLITE_DENY;
    case SQLITE_READ: {
        if (!inDictionary)
            return !isHistory(a3) || ownSchema ? SQLITE_OK : SQLITE_DENY;
        // The dictionary is read through its views only.
        const QString table = a3 ? QString::fromUtf8(a3) : QString();
        const QString column = a4 ? QString::fromUtf8(a4) : QString();
        if (column.isEmpty())
            return isViewTable(table) ? SQLITE_OK : SQLITE_DENY;
        return view && isViewColumn(table, column) ? SQLITE_OK : SQLITE_DENY;
    }
    case SQLITE_INSERT:
    case SQLITE_UPDATE:
    case SQLITE_DELETE: {
        const QString table = a3 ? QString::fromUtf8(a3) : QString();
        if (inDictionary || schema == QLatin1String("TEMP"))
            return SQLITE_DENY;
        // A row of the history is never changed; its owner may drop it whole (a drop
        // deletes its rows), nobody else.
        if (isHistory(a3) && (action == SQLITE_UPDATE || (action == SQLITE_DELETE && !ownSchema)))
            return SQLITE_DENY;
        if (table == QLatin1String("sqlite_master") || table == QLatin1String("sqlite_schema"))
            return ownSchema ? SQLITE_OK : SQLITE_DENY;
        return SQLITE_OK;
    }
    case SQLITE_CREATE_TABLE:
    case SQLITE_CREATE_INDEX:
    case SQLITE_CREATE_TRIGGER:
    case SQLITE_CREATE_VIEW:
    case SQLITE_DROP_TABLE:
    case SQLITE_DROP_INDEX:
    case SQLITE_DROP_TRIGGER:
    case SQLITE_DROP_VIEW:
    case SQLITE_ALTER_TABLE:
    case SQLITE_REINDEX:
    case SQLITE_ANALYZE:
        // Objects are made in a schema by its owner or a DBA, never in the session's own.
        return ownSchema ? SQLITE_OK : SQLITE_DENY;
    default:
        // Temporary objects, attaching files, pragmas, virtual tables.
        return SQLITE_DENY;
    }
}

} // namespace embedded
