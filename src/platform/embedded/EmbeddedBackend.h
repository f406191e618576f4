#pragma once

#include "platform/db/Backend.h"
#include "platform/db/ServerRules.h"

#include <QHash>
#include <QSet>
#include <QString>

struct sqlite3;
struct sqlite3_stmt;

namespace embedded {

// A session on an embedded server: SQLite files behind the engine, answering like the
// real server. The connection is made by Qt's QSQLITE driver; statements run on the
// SQLite handle it exposes. Each owner's schema file is attached under the owner's name,
// so "vortalix.t" and "t" both resolve; ALL_USERS, DBA_ROLE_PRIVS and DBA_ROLES come from
// the dictionary; account statements are run by the server itself.
// Its parts live by name: EmbeddedBackend.cpp logs in and attaches the files,
// Authorizer.cpp decides what a login may do, StatementCache.cpp prepares and keeps
// statements, RowFetching.cpp runs them and fetches rows, AccountStatementRun.cpp runs
// an account statement in its own transaction.
class EmbeddedBackend : public db::Backend {
public:
    explicit EmbeddedBackend(const QString &folder);
    ~EmbeddedBackend() override;

    static constexpr const char *dictionarySchema = "userpr_dictionary";

    const db::Dialect &dialect() const override { return m_dialect; }
    void open(const QString &user, const QString &password) override;
    void close() override;
    bool isOpen() const override { return m_handle != nullptr; }
    QString confirmation() const override { return m_confirmation; }

    db::ResultSet select(const QString &sql, const db::BoundParams &params) override;
    std::unique_ptr<db::RowCursor> openCursor(const QString &sql, const db::BoundParams &params, int firstRows) override;
    qint64 execute(const QString &sql, const db::BoundParams &params) override;
    QVariant insertReturningKey(const QString &sql, const db::BoundParams &params,
                                const QString &table, const QString &keyColumn) override;

    void beginTransaction() override;
    void commit() override;
    void rollback() override;

    const QString &login() const { return m_login; }

    // A statement whose ORDER BY puts missing values where the real server does: last in
    // ascending order, first in descending order.
    static QString orderedLikeTheServer(const QString &sql);
    // A query ending in "fetch first N rows only", as the real server takes it, in
    // SQLite's words: "limit N". Any other statement stays as it is.
    static QString limitedLikeTheServer(const QString &sql);

    // How much of each schema file a session keeps in memory, in KiB (SQLite's own
    // default is 2 MiB): enough for the pages one change of a bank's grants writes, so
    // that a transaction never spills to the file before it commits.
    static constexpr int schemaCacheKiB = 32 * 1024;

private:
    // Statements the server runs for itself pass the privilege checks.
    struct Internal {
        explicit Internal(EmbeddedBackend &b) : backend(b) { ++backend.m_internal; }
        ~Internal() { --backend.m_internal; }
        EmbeddedBackend &backend;
    };
    // A statement of the session for one run: reset and given back when it goes out of
    // scope.
    class Prepared {
    public:
        Prepared(EmbeddedBackend &b, const QString &sql) : m_backend(b), m_sql(sql), m_stmt(b.acquire(sql)) {}
        Prepared(const Prepared &) = delete;
        Prepared &operator=(const Prepared &) = delete;
        ~Prepared() { m_backend.release(m_sql, m_stmt); }
        sqlite3_stmt *get() const { return m_stmt; }

    private:
        EmbeddedBackend &m_backend;
        const QString &m_sql;
        sqlite3_stmt *m_stmt;
    };
    class Cursor;

    sqlite3_stmt *prepare(const QString &sql);
    // A prepared statement for the text: the session's own from an earlier run (reset,
    // without bindings) or a new one, which the session keeps. Given back by release.
    sqlite3_stmt *acquire(const QString &sql);
    void release(const QString &sql, sqlite3_stmt *stmt);
    void forgetStatements();
    void bindAll(sqlite3_stmt *stmt, const db::BoundParams &params);
    qint64 runAccountStatement(const QString &sql);
    // Attaches an existing file under the name; a missing file fails, naming it.
    void attachFile(const QString &schema, const QString &path);
    void attachSchemas();
    // The files a failure with SQLite's text is about, as the error names them.
    QString filesOf(const QString &sqliteMessage) const;
    void createDictionaryViews();
    void internalExec(const QString &sql);
    [[noreturn]] void fail(const QString &sql);
    static int authorize(void *self, int action, const char *a3, const char *a4,
                         const char *database, const char *view);

    QString m_folder;
    QString m_connectionName;
    db::Dialect m_dialect;
    sqlite3 *m_handle = nullptr;
    QString m_login;
    bool m_dba = false;
    int m_internal = 0;
    QSet<QString> m_schemas; // owners attached, upper case
    QString m_confirmation;  // of the last account statement run

    // The statements this session has run, by their text, most recently used last. A
    // statement is authorized when it is prepared: the session forgets them all whenever
    // its privileges or schemas may have changed (an account statement, a new login).
    // SQLite prepares one again by itself, authorizing it anew, when a schema changed.
    struct Kept {
        sqlite3_stmt *stmt = nullptr;
        bool busy = false;
        quint64 used = 0;
    };
    QHash<QString, Kept> m_kept;
    quint64 m_uses = 0;
    static constexpr qsizetype keptStatements = 64;
};

} // namespace embedded
