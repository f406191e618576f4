#include "platform/embedded/EmbeddedBackend.h"

#include "platform/db/Params.h"
#include "platform/embedded/AccountStatements.h"
#include "platform/embedded/Dictionary.h"
#include "platform/embedded/EmbeddedServer.h"
#include "platform/embedded/ServerErrors.h"
#include "platform/embedded/Sqlite.h"

#include <QDir>
#include <QFile>

#include <sqlite3.h>

// An account statement runs in a transaction of its own on the dictionary, or in a
// savepoint of the caller's transaction.
namespace embedded {

using db::DbError;

qint64 EmbeddedBackend::runAccountStatement(const QString &sql)
{
    if (!m_handle)
        throw serverError(3114, QStringLiteral("not connected to the server"));
    // The statements kept were authorized for the privileges and schemas the session had;
    // an account statement may change both.
    struct Forget {
        EmbeddedBackend &backend;
        ~Forget() { backend.forgetStatements(); }
    } forget{*this};
    forgetStatements();
    Internal scope(*this);
    const QString dictionaryFile = EmbeddedServer::dictionaryPath(m_folder);
    Dictionary dictionary(m_handle, QLatin1String(dictionarySchema));
    // Schema files of dropped owners go once the dictionary no longer names them.
    QStringList droppedSchemas;
    AccountSession session;
    session.login = m_login;
    session.schemaObjectType = [this](const QString &owner, const QString &name) -> std::optional<QString> {
        if (!m_schemas.contains(owner))
            return std::nullopt;
        SqliteStatement q(m_handle, QStringLiteral("select upper(type) from \"%1\".sqlite_master "
                                                   "where upper(name) = ?1 and type in ('table', 'view')").arg(owner));
        q.bind(1, name);
        if (!q.step())
            return std::nullopt;
        return q.text(0);
    };
    session.dropSchema = [&droppedSchemas](const QString &owner) { droppedSchemas.append(owner); };
    AccountStatements statements(dictionary, session);
    // One statement changes the dictionary as a whole or not at all. SQLite's own texts
    // (a locked, full or read-only dictionary) become the server's errors naming the file.
    const QString keyword = db::sql::firstKeyword(sql);
    auto translated = [&](const DbError &e) {
        return e.code() != 0 ? e : translateSqliteError(e.text(), keyword, dictionaryFile);
    };
    // Outside a transaction of the caller's, the savepoint is the transaction: a failure
    // to release it (the dictionary busy at the end) rolls it back whole, so the session
    // keeps no lock on the dictionary.
    const bool outermost = sqlite3_get_autocommit(m_handle) != 0;
    try {
        runScript(m_handle, QStringLiteral("savepoint account_statement"));
    } catch (const DbError &e) {
        throw translated(e);
    }
    auto rollback = [this, outermost] {
        try {
            runScript(m_handle, outermost ? QStringLiteral("rollback")
                                          : QStringLiteral("rollback to account_statement; release account_statement"));
        } catch (const DbError &) {
            // the statement's own error is what the caller needs to see
        }
    };
    QString confirmation;
    try {
        confirmation = statements.run(sql);
        // A dropped schema's file goes at once, and a schema cannot be detached inside
        // a transaction: a rollback of the caller's would bring the account back without
        // its file. Such a drop is refused there, before anything changed.
        if (!outermost && !droppedSchemas.isEmpty())
            throw serverError(errors::DdlInTransaction,
                              QStringLiteral("cannot drop a user that owns a schema inside a transaction; "
                                             "commit or roll back first"));
        runScript(m_handle, QStringLiteral("release account_statement"));
    } catch (const DbError &e) {
        rollback();
        throw translated(e);
    } catch (...) {
        rollback();
        throw;
    }
    for (const QString &owner : std::as_const(droppedSchemas)) {
        const QString file = QDir(m_folder).filePath(EmbeddedServer::schemaFileName(owner));
        if (m_schemas.contains(owner)) {
            onServerFile(file, [&] { runScript(m_handle, QStringLiteral("detach database \"%1\"").arg(owner)); });
            m_schemas.remove(owner);
        }
        QFile::remove(file);
    }
    m_dba = onServerFile(dictionaryFile, [&] { return dictionary.isDba(m_login); });
    m_confirmation = confirmation;
    return 0;
}

} // namespace embedded
