#include "platform/db/Connection.h"

#include "platform/db/DataSet.h"
#include "platform/db/DbError.h"
#include "platform/db/ServerDirectory.h"

namespace db {

Connection::Connection(const QString &aliasName, QObject *parent)
    : QObject(parent), m_alias(aliasName)
{
}

Connection::~Connection()
{
    const auto dataSets = m_dataSets;
    for (const QPointer<DataSet> &ds : dataSets) {
        if (ds) {
            ds->close();
            ds->setConnection(nullptr);
        }
    }
    if (m_backend) {
        try {
            m_backend->close();
        } catch (const DbError &) {
            // nothing more to do for a session that is going away
        }
    }
}

const ServerDirectory &Connection::directory() const
{
    return m_directory ? *m_directory : ServerDirectory::standard();
}

void Connection::open()
{
    if (connected())
        return;
    const QString server = m_params.value(QStringLiteral("SERVER NAME"));
    std::unique_ptr<Backend> backend = directory().createBackend(server);
    backend->open(m_params.value(QStringLiteral("USER NAME")), m_params.value(QStringLiteral("PASSWORD")));
    m_backend = std::move(backend);
    m_inTransaction = false;
}

void Connection::close()
{
    if (!m_backend)
        return;
    const auto dataSets = m_dataSets;
    for (const QPointer<DataSet> &ds : dataSets) {
        if (ds)
            ds->close();
    }
    std::unique_ptr<Backend> backend = std::move(m_backend);
    m_inTransaction = false;
    backend->close();
}

bool Connection::connected() const
{
    return m_backend && m_backend->isOpen();
}

Backend &Connection::backend() const
{
    if (!connected())
        throw DbError(QStringLiteral("Database '%1' is not connected").arg(m_alias));
    return *m_backend;
}

void Connection::startTransaction(OnFailure onFailure)
{
    if (m_inTransaction)
        throw DbError(QStringLiteral("A transaction is already active on '%1'").arg(m_alias));
    if (onFailure == OnFailure::UndoTransaction)
        backend().beginTransactionUndoneWhole();
    else
        backend().beginTransaction();
    m_inTransaction = true;
}

void Connection::commit()
{
    if (!m_inTransaction)
        throw DbError(QStringLiteral("No transaction is active on '%1'").arg(m_alias));
    // A commit that fails ends the transaction too: what the server did not keep is rolled
    // back, so the connection is not left inside a transaction nobody can end.
    m_inTransaction = false;
    try {
        backend().commit();
    } catch (const DbError &) {
        try {
            backend().rollback();
        } catch (const DbError &) {
            // the session is gone, or the server ended the transaction itself
        }
        throw;
    }
}

void Connection::rollback()
{
    if (!m_inTransaction)
        return;
    m_inTransaction = false;
    backend().rollback();
}

void Connection::registerDataSet(DataSet *dataSet)
{
    if (!m_dataSets.contains(dataSet))
        m_dataSets.append(dataSet);
}

void Connection::unregisterDataSet(DataSet *dataSet)
{
    m_dataSets.removeAll(dataSet);
}

Transaction::Transaction(Connection &connection, Connection::OnFailure onFailure) : m_connection(connection)
{
    m_connection.startTransaction(onFailure);
}

Transaction::~Transaction()
{
    if (!m_done) {
        try {
            m_connection.rollback();
        } catch (const DbError &) {
            // the session is gone; its changes went with it
        }
    }
}

void Transaction::commit()
{
    m_connection.commit();
    m_done = true;
}

} // namespace db
