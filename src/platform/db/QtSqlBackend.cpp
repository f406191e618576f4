#include "platform/db/QtSqlBackend.h"

#include "platform/db/DbError.h"
#include "platform/db/Params.h"

#include <QAtomicInt>
#include <QSqlDatabase>
#include <QSqlDriver>
#include <QSqlError>
#include <QSqlField>
#include <QSqlQuery>
#include <QSqlRecord>

#include <functional>

namespace db {

namespace {

QAtomicInt connectionCounter;

const QString statementSavepoint = QStringLiteral("userpr_statement");

QVariant storedValue(const QVariant &v)
{
    if (v.isNull())
        return QVariant();
    switch (v.typeId()) {
    case QMetaType::Int:
    case QMetaType::UInt:
    case QMetaType::LongLong:
    case QMetaType::ULongLong:
    case QMetaType::Float:
    case QMetaType::Short:
    case QMetaType::UShort:
        return v.toDouble();
    default:
        return v;
    }
}

} // namespace

QtSqlBackend::QtSqlBackend(const ServerEntry &entry)
    : m_entry(entry),
      m_kind(ServerKind::forDriver(entry.driver)),
      m_connectionName(QStringLiteral("userpr-%1-%2").arg(entry.alias).arg(connectionCounter.fetchAndAddRelaxed(1)))
{
}

QtSqlBackend::~QtSqlBackend()
{
    close();
}

void QtSqlBackend::open(const QString &user, const QString &password)
{
    close();
    if (!QSqlDatabase::isDriverAvailable(m_entry.driver)) {
        throw DbError(QStringLiteral("The database driver %1 for server '%2' is not installed")
                          .arg(m_entry.driver, m_entry.alias));
    }
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(m_entry.driver, m_connectionName);
        db.setDatabaseName(m_entry.databaseName.isEmpty() ? m_entry.alias : m_entry.databaseName);
        if (!m_entry.host.isEmpty())
            db.setHostName(m_entry.host);
        if (m_entry.port > 0)
            db.setPort(m_entry.port);
        if (!m_entry.options.isEmpty())
            db.setConnectOptions(m_entry.options);
        if (!db.open(m_kind->loginName(user), password)) {
            const DbError error = m_kind->errorOf(db.lastError());
            db = QSqlDatabase();
            QSqlDatabase::removeDatabase(m_connectionName);
            throw error;
        }
    }
    m_inTransaction = false;
}

void QtSqlBackend::close()
{
    m_inTransaction = false;
    if (!QSqlDatabase::contains(m_connectionName))
        return;
    {
        QSqlDatabase db = QSqlDatabase::database(m_connectionName, false);
        db.close();
    }
    QSqlDatabase::removeDatabase(m_connectionName);
}

bool QtSqlBackend::isOpen() const
{
    return QSqlDatabase::contains(m_connectionName)
           && QSqlDatabase::database(m_connectionName, false).isOpen();
}

QSqlDatabase QtSqlBackend::database() const
{
    QSqlDatabase db = QSqlDatabase::database(m_connectionName, false);
    if (!db.isOpen())
        throw DbError(QStringLiteral("The connection to the server is closed"));
    return db;
}

QSqlQuery QtSqlBackend::send(const QString &text, const BoundParams &params, const std::function<void()> &undo)
{
    QSqlQuery q(database());
    q.setForwardOnly(m_kind->forwardOnly);
    q.setNumericalPrecisionPolicy(QSql::LowPrecisionDouble);
    // The statement is undone before the query that ran it goes, so that the driver can
    // still tidy up after it on the server.
    auto refused = [&] {
        const DbError error = m_kind->errorOf(q.lastError());
        undo();
        return error;
    };
    if (!m_kind->prepares(text)) {
        if (!params.isEmpty() && !sql::parameterNames(text).isEmpty())
            throw DbError(QStringLiteral("The server takes parameters only in queries and in statements that "
                                         "insert, update or delete rows"));
        if (!q.exec(text))
            throw refused();
        return q;
    }
    if (!q.prepare(text))
        throw refused();
    const bool emptyIsNull = m_kind->dialect().emptyStringIsNull;
    for (const BoundParam &p : params) {
        QVariant v = p.value;
        if (emptyIsNull && v.typeId() == QMetaType::QString && v.toString().isEmpty())
            v = QVariant();
        q.bindValue(QLatin1Char(':') + p.name, v.isNull() ? v : m_kind->boundValue(v));
    }
    if (!q.exec())
        throw refused();
    return q;
}

void QtSqlBackend::sendPlain(const QString &text)
{
    QSqlQuery q(database());
    if (!q.exec(text))
        throw m_kind->errorOf(q.lastError());
}

QSqlQuery QtSqlBackend::run(const QString &sql, const BoundParams &params)
{
    const QString text = m_kind->translate(sql);
    const bool savepoint = m_inTransaction && m_kind->savepointPerStatement;
    auto undo = [&] {
        if (!savepoint)
            return;
        try {
            sendPlain(QStringLiteral("rollback to savepoint ") + statementSavepoint);
        } catch (const DbError &) {
            // the statement's own error is what the caller needs to see
        }
    };
    if (savepoint)
        sendPlain(QStringLiteral("savepoint ") + statementSavepoint);
    try {
        QSqlQuery q = [&] {
            try {
                return send(text, params, undo);
            } catch (const DbError &refused) {
                const QString retry = m_kind->retryOf(text, refused);
                if (retry.isEmpty())
                    throw;
                try {
                    return send(retry, params, undo);
                } catch (const DbError &) {
                    throw refused; // the server's answer to the statement as written
                }
            }
        }();
        if (savepoint)
            sendPlain(QStringLiteral("release savepoint ") + statementSavepoint);
        return q;
    } catch (const DbError &) {
        if (savepoint) {
            try {
                sendPlain(QStringLiteral("release savepoint ") + statementSavepoint);
            } catch (const DbError &) {
                // as above
            }
        }
        throw;
    }
}

ResultSet QtSqlBackend::select(const QString &sql, const BoundParams &params)
{
    QSqlQuery q = run(sql, params);
    ResultSet rs;
    const QSqlRecord record = q.record();
    rs.columns = m_kind->columns(sql, record);
    const int n = record.count();
    RowWriter writer;
    while (q.next()) {
        for (int i = 0; i < n; ++i)
            writer.value(storedValue(m_kind->fetchedValue(q.value(i))));
        rs.rows.push_back(writer.take());
    }
    if (q.lastError().isValid())
        throw m_kind->errorOf(q.lastError());
    return rs;
}

qint64 QtSqlBackend::execute(const QString &sql, const BoundParams &params)
{
    return run(sql, params).numRowsAffected();
}

QVariant QtSqlBackend::insertReturningKey(const QString &sql, const BoundParams &params,
                                          const QString &table, const QString &keyColumn)
{
    if (dialect().newKey == Dialect::NewKey::Returning) {
        QSqlQuery q = run(sql + QStringLiteral(" returning ") + keyColumn, params);
        if (!q.next())
            throw DbError(QStringLiteral("The server returned no key for the new row of %1").arg(table));
        return storedValue(m_kind->fetchedValue(q.value(0)));
    }
    QSqlQuery q = run(sql, params);
    const QVariant rowId = q.lastInsertId();
    if (!rowId.isValid())
        throw DbError(QStringLiteral("The server reported no row id for the new row of %1").arg(table));
    const ResultSet rs = select(QStringLiteral("select %1 from %2 where %3 = :rid")
                                    .arg(keyColumn, table, dialect().rowIdColumn),
                                {{QStringLiteral("rid"), rowId}});
    if (rs.rows.empty())
        throw DbError(QStringLiteral("The new row of %1 could not be read back").arg(table));
    return rs.rows.front().value(0);
}

void QtSqlBackend::beginTransaction()
{
    QSqlDatabase db = database();
    if (!db.transaction())
        throw m_kind->errorOf(db.lastError());
    m_inTransaction = true;
}

void QtSqlBackend::commit()
{
    QSqlDatabase db = database();
    // A commit that fails leaves the transaction to rollback(): a driver that keeps a
    // transaction of its own (QOCI, QODBC), or a server that keeps the transaction open,
    // leaves it only by a rollback; until then nothing the session changes is committed.
    if (!db.commit()) {
        const QSqlError error = db.lastError();
        if (error.databaseText().trimmed().isEmpty())
            throw DbError(QStringLiteral("The server did not commit the transaction: its changes were rolled back (%1)")
                              .arg(error.driverText()));
        throw m_kind->errorOf(error);
    }
    m_inTransaction = false;
}

void QtSqlBackend::rollback()
{
    if (!m_inTransaction)
        return;
    m_inTransaction = false;
    QSqlDatabase db = database();
    if (!db.rollback())
        throw m_kind->errorOf(db.lastError());
}

} // namespace db
