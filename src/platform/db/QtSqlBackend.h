#pragma once

#include "platform/db/Backend.h"
#include "platform/db/ServerDirectory.h"
#include "platform/db/ServerKind.h"

#include <QHash>
#include <QSqlQuery>

#include <functional>
#include <memory>

class QSqlDatabase;

namespace db {

// A real server reached through a Qt SQL driver (QOCI or QODBC for Oracle, QPSQL). How
// the statements reach the server is its kind's business: an Oracle server gets every
// statement exactly as written.
//
// A session prepares a statement once and runs it again as often as asked: it keeps the
// statements it prepared (keptStatements of them, the least recently used go), and a text
// the server took only in the form its kind retries with is sent in that form from then on.
class QtSqlBackend : public Backend {
public:
    explicit QtSqlBackend(const ServerEntry &entry);
    ~QtSqlBackend() override;

    const Dialect &dialect() const override { return m_kind->dialect(); }
    const ServerKind &kind() const { return *m_kind; }
    void open(const QString &user, const QString &password) override;
    void close() override;
    bool isOpen() const override;

    ResultSet select(const QString &sql, const BoundParams &params) override;
    std::unique_ptr<RowCursor> openCursor(const QString &sql, const BoundParams &params, int firstRows) override;
    qint64 execute(const QString &sql, const BoundParams &params) override;
    qint64 executeBatch(const QString &sql, const QList<BoundParams> &runs) override;
    QVariant insertReturningKey(const QString &sql, const BoundParams &params,
                                const QString &table, const QString &keyColumn) override;

    void beginTransaction() override;
    void beginTransactionUndoneWhole() override;
    void commit() override;
    void rollback() override;

    static constexpr qsizetype keptStatements = 64;

private:
    class Cursor;
    friend class Cursor;

    QSqlDatabase database() const;
    // Runs one statement of the system: translated by the kind, under a savepoint of its
    // own inside a transaction where the kind asks for one, tried again once where the
    // kind says so.
    // The query that ran stays the session's until its next statement.
    QSqlQuery &run(const QString &sql, const BoundParams &params);
    QSqlQuery &send(const QString &text, const BoundParams &params, const std::function<void()> &undo);
    QSqlQuery sendPlain(const QString &text);
    // The session's prepared query for a text, preparing it on first use.
    QSqlQuery &kept(const QString &text);
    // The text with each parameter written in as the driver writes a value.
    QString withValues(const QString &text, const BoundParams &params) const;
    // Reads every row of an executed query to the end of rows and lets its result go.
    void readRows(QSqlQuery &q, std::vector<Row> &rows) const;
    // Lets go of what a query that ran holds.
    void finished(QSqlQuery &q);

    ServerEntry m_entry;
    std::unique_ptr<ServerKind> m_kind;
    QString m_connectionName;
    bool m_inTransaction = false;
    bool m_undoneWhole = false;

    struct Kept {
        std::shared_ptr<QSqlQuery> query;
        quint64 used = 0;
    };
    QHash<QString, Kept> m_kept;
    std::unique_ptr<QSqlQuery> m_unprepared; // the last statement sent as it is
    quint64 m_uses = 0;
    QHash<QString, QString> m_retried; // a text as translated, and the form the server took
};

} // namespace db
