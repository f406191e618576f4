#include "RawSession.h"

#include "platform/db/DbError.h"
#include "platform/embedded/EmbeddedBackend.h"
#include "platform/embedded/EmbeddedServer.h"
#include "platform/embedded/SqlFunctions.h"
#include "platform/embedded/Sqlite.h"

#include <QCryptographicHash>
#include <QDir>
#include <QElapsedTimer>
#include <QPasswordDigestor>

#include <sqlite3.h>

namespace bench {

namespace {

[[noreturn]] void failed(sqlite3 *handle, const QString &what)
{
    throw db::DbError(what + QStringLiteral(": ") + QString::fromUtf8(sqlite3_errmsg(handle)));
}

} // namespace

RawSession::RawSession(const QString &folder)
{
    if (sqlite3_open_v2(":memory:", &m_handle, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, nullptr) != SQLITE_OK)
        failed(m_handle, QStringLiteral("open"));
    sqlite3_busy_timeout(m_handle, 5000);
    const QString dictionary = QString::fromLatin1(embedded::EmbeddedBackend::dictionarySchema);
    auto attach = [&](const QString &path, const QString &name) {
        run(QStringLiteral("attach database :path as \"%1\"").arg(name), {{QStringLiteral("path"), path}});
    };
    attach(embedded::EmbeddedServer::dictionaryPath(folder), dictionary);
    attach(QDir(folder).filePath(embedded::EmbeddedServer::schemaFileName(QStringLiteral("VORTALIX"))),
           QStringLiteral("VORTALIX"));
    exec(QStringLiteral(
             "create temp view all_users as select username as USERNAME, user_id as USER_ID, created as CREATED "
             "from %1.accounts;"
             "create temp view dba_role_privs as select grantee as GRANTEE, granted_role as GRANTED_ROLE, "
             "admin_option as ADMIN_OPTION, default_role as DEFAULT_ROLE from %1.role_grants;"
             "create temp view dual as select 'X' as DUMMY;"
             "pragma foreign_keys = on;"
             "pragma \"VORTALIX\".cache_size = -%2;")
             .arg(dictionary)
             .arg(embedded::EmbeddedBackend::schemaCacheKiB));
    embedded::registerServerFunctions(m_handle);
    embedded::registerSessionContext(m_handle, &m_login);
}

RawSession::~RawSession()
{
    for (sqlite3_stmt *stmt : std::as_const(m_statements))
        sqlite3_finalize(stmt);
    sqlite3_close(m_handle);
}

void RawSession::exec(const QString &script)
{
    if (sqlite3_exec(m_handle, script.toUtf8().constData(), nullptr, nullptr, nullptr) != SQLITE_OK)
        failed(m_handle, script);
}

sqlite3_stmt *RawSession::prepared(const QString &sql)
{
    if (sqlite3_stmt *stmt = m_statements.value(sql))
        return stmt;
    // The statement as the server hands it to SQLite: missing values ordered as the real
    // server orders them, and an ordering by select-list names that SQLite calls
    // ambiguous done outside a derived table. The result is then the one the windows get.
    auto prepare = [&](const QString &text, sqlite3_stmt **stmt) {
        const QByteArray utf8 = text.toUtf8();
        return sqlite3_prepare_v2(m_handle, utf8.constData(), int(utf8.size()), stmt, nullptr);
    };
    const QString ordered = embedded::EmbeddedBackend::orderedLikeTheServer(sql);
    sqlite3_stmt *stmt = nullptr;
    if (prepare(ordered, &stmt) != SQLITE_OK) {
        sqlite3_finalize(stmt);
        stmt = nullptr;
        const QString adapted = db::sql::orderedAsDerivedTable(ordered);
        if (!QString::fromUtf8(sqlite3_errmsg(m_handle)).startsWith(QLatin1String("ambiguous column name"))
            || adapted.isEmpty() || prepare(adapted, &stmt) != SQLITE_OK) {
            sqlite3_finalize(stmt);
            failed(m_handle, sql);
        }
    }
    m_statements.insert(sql, stmt);
    return stmt;
}

void RawSession::bind(sqlite3_stmt *stmt, const db::BoundParams &params)
{
    for (const db::BoundParam &p : params) {
        const QByteArray name = (QLatin1Char(':') + p.name).toUtf8();
        const int at = sqlite3_bind_parameter_index(stmt, name.constData());
        if (at <= 0)
            continue;
        const QVariant &v = p.value;
        if (v.isNull() || (v.typeId() == QMetaType::QString && v.toString().isEmpty())) {
            sqlite3_bind_null(stmt, at);
        } else if (v.typeId() == QMetaType::QString) {
            const QByteArray text = v.toString().toUtf8();
            sqlite3_bind_text(stmt, at, text.constData(), int(text.size()), SQLITE_TRANSIENT);
        } else {
            sqlite3_bind_double(stmt, at, v.toDouble());
        }
    }
}

void RawSession::readRow(sqlite3_stmt *stmt)
{
    const int n = sqlite3_column_count(stmt);
    qint64 integers = 0;
    double reals = 0;
    std::size_t bytes = 0;
    for (int i = 0; i < n; ++i) {
        switch (sqlite3_column_type(stmt, i)) {
        case SQLITE_NULL:
            break;
        case SQLITE_INTEGER:
            integers += sqlite3_column_int64(stmt, i);
            break;
        case SQLITE_FLOAT:
            reals += sqlite3_column_double(stmt, i);
            break;
        case SQLITE_BLOB:
            bytes += std::size_t(sqlite3_column_bytes(stmt, i)) + (sqlite3_column_blob(stmt, i) ? 1 : 0);
            break;
        default: {
            const unsigned char *text = sqlite3_column_text(stmt, i);
            const int length = sqlite3_column_bytes(stmt, i);
            bytes += std::size_t(length) + (length > 0 ? text[0] : 0);
            break;
        }
        }
    }
    // The values read go somewhere, so no compiler leaves the reading out.
    m_checksum += double(integers) + reals + double(bytes);
}

qint64 RawSession::run(const QString &sql, const db::BoundParams &params)
{
    sqlite3_stmt *stmt = prepared(sql);
    bind(stmt, params);
    const int n = sqlite3_column_count(stmt);
    qint64 rows = 0;
    int rc;
    while ((rc = sqlite3_step(stmt)) == SQLITE_ROW) {
        readRow(stmt);
        ++rows;
    }
    const bool done = rc == SQLITE_DONE;
    sqlite3_reset(stmt);
    sqlite3_clear_bindings(stmt);
    if (!done)
        failed(m_handle, sql);
    return n > 0 ? rows : sqlite3_changes64(m_handle);
}

double RawSession::timeToRow(const QString &sql, const db::BoundParams &params, int rows)
{
    QElapsedTimer t;
    t.start();
    sqlite3_stmt *stmt = prepared(sql);
    bind(stmt, params);
    int rc = SQLITE_ROW;
    for (int read = 0; read < rows && (rc = sqlite3_step(stmt)) == SQLITE_ROW; ++read)
        readRow(stmt);
    const double ms = double(t.nsecsElapsed()) / 1e6;
    sqlite3_reset(stmt);
    sqlite3_clear_bindings(stmt);
    if (rc != SQLITE_ROW && rc != SQLITE_DONE)
        failed(m_handle, sql);
    return ms;
}

qint64 RawSession::number(const QString &sql)
{
    sqlite3_stmt *stmt = prepared(sql);
    const bool row = sqlite3_step(stmt) == SQLITE_ROW;
    const qint64 value = row ? sqlite3_column_int64(stmt, 0) : 0;
    sqlite3_reset(stmt);
    return value;
}

void RawSession::deriveLogin(const QString &folder, const QString &user, const QString &password)
{
    embedded::SqliteFile dictionary(embedded::EmbeddedServer::dictionaryPath(folder));
    embedded::SqliteStatement q(dictionary.handle(),
                                QStringLiteral("select password_salt, password_rounds from accounts where username = ?1"));
    q.bind(1, user);
    if (!q.step())
        throw db::DbError(QStringLiteral("no account ") + user);
    const QByteArray salt = q.value(0).toByteArray();
    QPasswordDigestor::deriveKeyPbkdf2(QCryptographicHash::Sha256, password.toUtf8(), salt, int(q.integer(1)), 32);
}

} // namespace bench
