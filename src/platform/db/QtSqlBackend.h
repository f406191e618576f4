#pragma once

#include "platform/db/Backend.h"
#include "platform/db/ServerDirectory.h"
#include "platform/db/ServerKind.h"

#include <functional>
#include <memory>

class QSqlDatabase;
class QSqlQuery;

namespace db {

// A real server reached through a Qt SQL driver (QOCI or QODBC for Oracle, QPSQL). How
// the statements reach the server is its kind's business: an Oracle server gets every
// statement exactly as written.
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
    qint64 execute(const QString &sql, const BoundParams &params) override;
    QVariant insertReturningKey(const QString &sql, const BoundParams &params,
                                const QString &table, const QString &keyColumn) override;

    void beginTransaction() override;
    void commit() override;
    void rollback() override;

private:
    QSqlDatabase database() const;
    // Runs one statement of the system: translated by the kind, under a savepoint of its
    // own inside a transaction where the kind asks for one, tried again once where the
    // kind says so.
    QSqlQuery run(const QString &sql, const BoundParams &params);
    QSqlQuery send(const QString &text, const BoundParams &params, const std::function<void()> &undo);
    void sendPlain(const QString &text);

    ServerEntry m_entry;
    std::unique_ptr<ServerKind> m_kind;
    QString m_connectionName;
    bool m_inTransaction = false;
};

} // namespace db
