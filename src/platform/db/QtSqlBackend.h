#pragma once

#include "platform/db/Backend.h"
#include "platform/db/ServerDirectory.h"

namespace db {

// A real server reached through a Qt SQL driver (QOCI or QODBC for Oracle, QPSQL). Every
// statement goes to the server exactly as written.
class QtSqlBackend : public Backend {
public:
    explicit QtSqlBackend(const ServerEntry &entry);
    ~QtSqlBackend() override;

    const Dialect &dialect() const override { return m_dialect; }
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

    // The dialect a driver name implies.
    static Dialect dialectFor(const QString &driver);

private:
    ServerEntry m_entry;
    Dialect m_dialect;
    QString m_connectionName;
};

} // namespace db
