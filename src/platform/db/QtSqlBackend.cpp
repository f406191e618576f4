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

#include <algorithm>

#include <functional>

namespace db {

namespace {

QAtomicInt connectionCounter;

const QString statementSavepoint = QStringLiteral("userpr_statement");
// The one cursor a session reads a long result through.
const QString cursorName = QStringLiteral("userpr_rows");

} // namespace

// A result read through a cursor of the server's, inside a transaction of its own that
// ends when the cursor closes; the session reads the rest before any other statement.
class QtSqlBackend::Cursor : public RowCursor {
public:
    Cursor(QtSqlBackend &session, const QString &statement) : m_session(session), m_statement(statement) {}
    ~Cursor() override
    {
        // Rows no longer wanted: the cursor ends on the server, if the session is still there.
        if (attached())
            closeOnServer();
    }

    // Declares the cursor and reads the first rows; a result that ends with them closes
    // at once.
    void open(const QString &declaration, int firstRows)
    {
        std::vector<Row> rows;
        QSqlDatabase db = m_session.database();
        if (!db.transaction())
            throw m_session.m_kind->errorOf(db.lastError());
        try {
            m_session.sendPlain(declaration);
            QSqlQuery first = m_session.sendPlain(m_session.m_kind->fetchFrom(cursorName, std::max(1, firstRows)));
            m_columns = m_session.m_kind->resultColumns(m_statement, first);
            m_session.readRows(first, rows);
            m_more = int(rows.size()) == std::max(1, firstRows);
        } catch (const DbError &) {
            db.rollback();
            throw;
        }
        m_open = true;
        hold(std::move(rows));
        if (!m_more)
            closeOnServer();
    }
    bool more() const { return m_more; }

protected:
    bool read(std::vector<Row> &rows, int count) override
    {
        if (!m_more)
            return false;
        const std::size_t before = rows.size();
        QSqlQuery q = m_session.sendPlain(m_session.m_kind->fetchFrom(cursorName, count));
        m_session.readRows(q, rows);
        m_more = count >= 0 && rows.size() - before == std::size_t(count);
        return m_more;
    }
    void release() override { closeOnServer(); }

private:
    void closeOnServer()
    {
        if (!m_open)
            return;
        m_open = false;
        m_more = false;
        try {
            m_session.sendPlain(m_session.m_kind->closeOf(cursorName));
            QSqlDatabase db = m_session.database();
            if (!db.commit())
                db.rollback();
        } catch (const DbError &) {
            // a session that has gone took its cursor with it
        }
    }

    QtSqlBackend &m_session;
    QString m_statement;
    bool m_open = false;
    bool m_more = false;
};

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
    m_undoneWhole = false;
}

void QtSqlBackend::close()
{
    if (QSqlDatabase::contains(m_connectionName)) {
        try {
            settleCursor();
        } catch (const DbError &) {
            // the rows of a session that is going are not read
        }
    }
    m_inTransaction = false;
    m_undoneWhole = false;
    // The kept statements go while their connection is there to free them.
    m_unprepared.reset();
    m_kept.clear();
    m_retried.clear();
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

QSqlQuery &QtSqlBackend::kept(const QString &text)
{
    auto found = m_kept.find(text);
    if (found == m_kept.end()) {
        auto q = std::make_shared<QSqlQuery>(database());
        q->setForwardOnly(m_kind->forwardOnly);
        q->setNumericalPrecisionPolicy(QSql::LowPrecisionDouble);
        if (!q->prepare(text))
            throw m_kind->errorOf(q->lastError());
        if (m_kept.size() >= keptStatements) {
            const auto oldest = std::min_element(m_kept.begin(), m_kept.end(),
                                                 [](const Kept &a, const Kept &b) { return a.used < b.used; });
            m_kept.erase(oldest);
        }
        found = m_kept.insert(text, Kept{std::move(q), 0});
    }
    found->used = ++m_uses;
    return *found->query;
}

QSqlQuery &QtSqlBackend::send(const QString &text, const BoundParams &params, const std::function<void()> &undo)
{
    const bool prepares = m_kind->prepares(text);
    if (!prepares || m_kind->writesValuesIn(text)) {
        if (!prepares && !params.isEmpty() && !sql::parameterNames(text).isEmpty())
            throw DbError(QStringLiteral("The server takes parameters only in queries and in statements that "
                                         "insert, update or delete rows"));
        m_unprepared = std::make_unique<QSqlQuery>(database());
        QSqlQuery &q = *m_unprepared;
        q.setForwardOnly(m_kind->forwardOnly);
        q.setNumericalPrecisionPolicy(QSql::LowPrecisionDouble);
        if (!q.exec(prepares ? withValues(text, params) : text)) {
            // The statement is undone before the query that ran it goes, so that the
            // driver can still tidy up after it on the server.
            const DbError error = m_kind->errorOf(q.lastError());
            undo();
            throw error;
        }
        return q;
    }
    QSqlQuery *prepared = nullptr;
    try {
        prepared = &kept(text);
    } catch (const DbError &) {
        undo();
        throw;
    }
    QSqlQuery &q = *prepared;
    const bool emptyIsNull = m_kind->dialect().emptyStringIsNull;
    for (const BoundParam &p : params) {
        QVariant v = p.value;
        if (emptyIsNull && v.typeId() == QMetaType::QString && v.toString().isEmpty())
            v = QVariant();
        q.bindValue(QLatin1Char(':') + p.name, v.isNull() ? v : m_kind->boundValue(v));
    }
    if (!q.exec()) {
        const DbError error = m_kind->errorOf(q.lastError());
        undo();
        // A statement whose prepared form the server no longer takes (a table changed
        // under it) is prepared afresh next time.
        if (error.state() == QLatin1String("0A000"))
            m_kept.remove(text);
        throw error;
    }
    return q;
}

QSqlQuery QtSqlBackend::sendPlain(const QString &text)
{
    QSqlQuery q(database());
    q.setForwardOnly(m_kind->forwardOnly);
    q.setNumericalPrecisionPolicy(QSql::LowPrecisionDouble);
    if (!q.exec(text))
        throw m_kind->errorOf(q.lastError());
    return q;
}

QSqlQuery &QtSqlBackend::run(const QString &sql, const BoundParams &params)
{
    settleCursor();
    const QString translated = m_kind->translate(sql);
    const auto retried = m_retried.constFind(translated);
    const bool known = retried != m_retried.constEnd();
    const QString text = known ? *retried : translated;
    // In a transaction rolled back whole on a failure, only a statement the kind may try
    // again needs its savepoint.
    const bool savepoint = m_inTransaction && m_kind->savepointPerStatement
                           && (!m_undoneWhole || (!known && m_kind->mayRetry(text)));
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
        QSqlQuery &q = [&]() -> QSqlQuery & {
            try {
                return send(text, params, undo);
            } catch (const DbError &refused) {
                const QString retry = known ? QString() : m_kind->retryOf(text, refused);
                if (retry.isEmpty())
                    throw;
                try {
                    QSqlQuery &again = send(retry, params, undo);
                    m_retried.insert(translated, retry);
                    return again;
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

void QtSqlBackend::finished(QSqlQuery &q)
{
    q.finish();
    // A statement sent as it is keeps nothing for another run: its result goes now.
    if (m_unprepared && &q == m_unprepared.get())
        m_unprepared.reset();
}

void QtSqlBackend::readRows(QSqlQuery &q, std::vector<Row> &rows) const
{
    if (!m_kind->readResult(q, rows)) {
        const int n = q.record().count();
        RowWriter writer;
        while (q.next()) {
            for (int i = 0; i < n; ++i)
                writer.value(m_kind->keptValue(q.value(i)));
            rows.push_back(writer.take());
        }
        if (q.lastError().isValid())
            throw m_kind->errorOf(q.lastError());
    }
    q.finish();
}

ResultSet QtSqlBackend::select(const QString &sql, const BoundParams &params)
{
    QSqlQuery &q = run(sql, params);
    ResultSet rs;
    rs.columns = m_kind->resultColumns(sql, q);
    readRows(q, rs.rows);
    finished(q);
    return rs;
}

QString QtSqlBackend::withValues(const QString &text, const BoundParams &params) const
{
    const QSqlDatabase db = database();
    const bool emptyIsNull = m_kind->dialect().emptyStringIsNull;
    return sql::replaceParameters(text, [&](const QString &name) {
        QVariant v;
        for (const BoundParam &p : params) {
            if (p.name.compare(name, Qt::CaseInsensitive) == 0) {
                v = p.value;
                break;
            }
        }
        if (emptyIsNull && v.typeId() == QMetaType::QString && v.toString().isEmpty())
            v = QVariant();
        if (!v.isNull())
            v = m_kind->boundValue(v);
        QSqlField field(QString(), v.isValid() ? v.metaType() : QMetaType::fromType<QString>());
        field.setValue(v);
        return db.driver()->formatValue(field);
    });
}

std::unique_ptr<RowCursor> QtSqlBackend::openCursor(const QString &sql, const BoundParams &params, int firstRows)
{
    settleCursor();
    const QString translated = m_kind->translate(sql);
    const QString keyword = sql::firstKeyword(translated);
    // Inside a transaction of the caller's, a refused cursor would spoil it: the rows are
    // read whole there, as they are from a server that keeps no cursors.
    if (m_inTransaction || translated != sql || (keyword != QLatin1String("SELECT") && keyword != QLatin1String("WITH"))
        || m_kind->cursorOf(cursorName, translated).isEmpty())
        return Backend::openCursor(sql, params, firstRows);
    const auto retried = m_retried.constFind(translated);
    const bool known = retried != m_retried.constEnd();
    const QString text = known ? *retried : translated;
    auto cursor = std::make_unique<Cursor>(*this, sql);
    try {
        cursor->open(m_kind->cursorOf(cursorName, withValues(text, params)), firstRows);
    } catch (const DbError &refused) {
        const QString retry = known ? QString() : m_kind->retryOf(text, refused);
        if (retry.isEmpty())
            throw;
        try {
            cursor->open(m_kind->cursorOf(cursorName, withValues(retry, params)), firstRows);
        } catch (const DbError &) {
            throw refused;
        }
        m_retried.insert(translated, retry);
    }
    if (cursor->more())
        adoptCursor(cursor.get());
    return cursor;
}

qint64 QtSqlBackend::execute(const QString &sql, const BoundParams &params)
{
    QSqlQuery &q = run(sql, params);
    const qint64 rows = q.numRowsAffected();
    finished(q);
    return rows;
}

qint64 QtSqlBackend::executeBatch(const QString &sql, const QList<BoundParams> &runs)
{
    settleCursor();
    if (runs.size() > 1) {
        const ServerKind::Batch batch = m_kind->batchOf(m_kind->translate(sql));
        const QVariant rows = batch.statement.isEmpty() ? QVariant() : m_kind->batchValue(batch, runs);
        if (!rows.isNull())
            return execute(batch.statement, {{QLatin1String(ServerKind::batchParameter), rows}});
    }
    return Backend::executeBatch(sql, runs);
}

QVariant QtSqlBackend::insertReturningKey(const QString &sql, const BoundParams &params,
                                          const QString &table, const QString &keyColumn)
{
    if (dialect().newKey == Dialect::NewKey::Returning) {
        QSqlQuery &q = run(sql + QStringLiteral(" returning ") + keyColumn, params);
        if (!q.next())
            throw DbError(QStringLiteral("The server returned no key for the new row of %1").arg(table));
        const QVariant key = m_kind->keptValue(q.value(0));
        finished(q);
        return key;
    }
    QSqlQuery &q = run(sql, params);
    const QVariant rowId = q.lastInsertId();
    finished(q);
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
    settleCursor();
    QSqlDatabase db = database();
    if (!db.transaction())
        throw m_kind->errorOf(db.lastError());
    m_inTransaction = true;
    m_undoneWhole = false;
}

void QtSqlBackend::beginTransactionUndoneWhole()
{
    beginTransaction();
    m_undoneWhole = true;
}

void QtSqlBackend::commit()
{
    settleCursor();
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
    m_undoneWhole = false;
}

void QtSqlBackend::rollback()
{
    if (!m_inTransaction)
        return;
    settleCursor();
    m_inTransaction = false;
    m_undoneWhole = false;
    QSqlDatabase db = database();
    if (!db.rollback())
        throw m_kind->errorOf(db.lastError());
}

} // namespace db
