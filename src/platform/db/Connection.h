#pragma once

#include "platform/core/StringList.h"
#include "platform/db/Backend.h"

#include <QObject>
#include <QPointer>

#include <memory>

namespace db {

class DataSet;
class ServerDirectory;

// A connection component: an alias with its parameter set. Opening it resolves the
// "SERVER NAME" through the server directory and logs in with "USER NAME" and
// "PASSWORD"; closing it closes every dataset on it. The other parameter lines are
// carried unchanged.
class Connection : public QObject {
    Q_OBJECT
public:
    explicit Connection(const QString &aliasName = QString(), QObject *parent = nullptr);
    ~Connection() override;

    const QString &aliasName() const { return m_alias; }

    core::StringList &params() { return m_params; }
    const core::StringList &params() const { return m_params; }

    // Tests and tools may point a connection at a directory of their own.
    void setDirectory(const ServerDirectory *directory) { m_directory = directory; }
    const ServerDirectory &directory() const;

    void open();
    void close();
    bool connected() const;
    void setConnected(bool on) { on ? open() : close(); }

    // The open session; throws DbError when the connection is closed.
    Backend &backend() const;

    // For the few places that must change several rows as one. A statement that fails in
    // the transaction is undone alone, as the real server undoes it, or the caller rolls
    // the whole transaction back on any failure, which spares the session the undoing
    // of single statements.
    enum class OnFailure { UndoStatement, UndoTransaction };
    void startTransaction(OnFailure onFailure = OnFailure::UndoStatement);
    void commit();
    void rollback();
    bool inTransaction() const { return m_inTransaction; }

    void registerDataSet(DataSet *dataSet);
    void unregisterDataSet(DataSet *dataSet);

private:
    QString m_alias;
    core::StringList m_params;
    const ServerDirectory *m_directory = nullptr;
    std::unique_ptr<Backend> m_backend;
    bool m_inTransaction = false;
    QList<QPointer<DataSet>> m_dataSets;
};

// Runs a group of statements as one: rolled back unless commit() was called.
class Transaction {
public:
    explicit Transaction(Connection &connection, Connection::OnFailure onFailure = Connection::OnFailure::UndoStatement);
    Transaction(const Transaction &) = delete;
    Transaction &operator=(const Transaction &) = delete;
    ~Transaction();
    void commit();

private:
    Connection &m_connection;
    bool m_done = false;
};

} // namespace db
