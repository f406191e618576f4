#pragma once

#include "platform/db/Row.h"

#include <QList>
#include <QString>
#include <QVariant>

#include <memory>
#include <vector>

namespace db {

enum class FieldType { Float, String, DateTime, Memo };

// A column of a result as the server describes it. A size of 0 means no limit.
struct ColumnInfo {
    QString name;
    FieldType type = FieldType::String;
    int size = 0;
};


struct ResultSet {
    QList<ColumnInfo> columns;
    std::vector<Row> rows;
};

// A named statement parameter with the value it carries at every occurrence.
struct BoundParam {
    QString name; // without the colon, as the statement spells it
    QVariant value;
};
using BoundParams = QList<BoundParam>;

// How a server kind differs, as plain data the engine asks instead of testing names.
struct Dialect {
    enum class NewKey {
        RowIdLookup, // the server reports the row id of an insert; the key is read by it
        Returning,   // the insert statement returns the key itself
    };
    bool emptyStringIsNull = true; // the system's statements rely on '' meaning no value
    NewKey newKey = NewKey::RowIdLookup;
    QString rowIdColumn = QStringLiteral("rowid");
};

class Backend;

// The rows of a query, read from the server a packet at a time as they are asked for,
// as database tools show a long result: the first rows without waiting for the last.
// A session has at most one such result open, and reads the rest of it into memory
// before it runs any other statement, so its other statements behave as always.
class RowCursor {
public:
    RowCursor(const RowCursor &) = delete;
    RowCursor &operator=(const RowCursor &) = delete;
    virtual ~RowCursor();

    const QList<ColumnInfo> &columns() const { return m_columns; }
    // Moves up to count rows (all that remain when count < 0) to the end of rows; false
    // when no row remains after them.
    bool fetch(std::vector<Row> &rows, int count);
    bool atEnd() const { return m_readyAt == m_ready.size() && m_exhausted; }
    // Whether an open result may hold something on the server (a read lock, a cursor's
    // transaction) until its rest is read; a result read in parts of statements of their
    // own holds nothing between them.
    virtual bool holdsServer() const { return true; }

protected:
    RowCursor() = default;
    // Reads up to count more rows (every one when count < 0) from the server to the end of
    // rows; false once the result has no more.
    virtual bool read(std::vector<Row> &rows, int count) = 0;
    // Lets go of what the result holds on the server, once no row remains to be read or
    // the rest was read into memory. A cursor dropped before that lets go in its own
    // destructor, while attached() tells that its session is still there.
    virtual void release() {}
    bool attached() const { return m_session != nullptr; }
    // Rows already read, handed out before any read() of more.
    void hold(std::vector<Row> &&rows);

    QList<ColumnInfo> m_columns;

private:
    friend class Backend;
    // Reads every remaining row into memory and lets go of the session.
    void settle();

    Backend *m_session = nullptr;
    std::vector<Row> m_ready; // read from the server, not yet fetched
    std::size_t m_readyAt = 0;
    bool m_exhausted = false;
};

// One open session on one server. Every statement commits as it completes unless a
// transaction was started. All failures are thrown as DbError.
class Backend {
public:
    virtual ~Backend();

    virtual const Dialect &dialect() const = 0;
    virtual void open(const QString &user, const QString &password) = 0;
    virtual void close() = 0;
    virtual bool isOpen() const = 0;
    // The server's own answer to the last statement execute ran, as its prompt shows it
    // ("User created."); empty when the server answers with the rows it touched alone.
    virtual QString confirmation() const { return QString(); }

    // Runs a statement that yields rows and fetches all of them.
    virtual ResultSet select(const QString &sql, const BoundParams &params) = 0;
    // Opens a query whose rows are read as they are fetched; firstRows are read at once.
    // A session that cannot read a result piecemeal reads it whole.
    virtual std::unique_ptr<RowCursor> openCursor(const QString &sql, const BoundParams &params, int firstRows);
    // Runs a statement without result rows; returns the number of rows it touched.
    virtual qint64 execute(const QString &sql, const BoundParams &params) = 0;
    // Runs the statement once for each set of parameters, in order, as one round trip to
    // the server where the server allows; returns the rows touched in all. The table
    // receives exactly the rows the runs one by one would give, or none of them.
    virtual qint64 executeBatch(const QString &sql, const QList<BoundParams> &runs);
    // Runs an insert and returns the value of keyColumn of the inserted row.
    virtual QVariant insertReturningKey(const QString &sql, const BoundParams &params,
                                        const QString &table, const QString &keyColumn) = 0;

    virtual void beginTransaction() = 0;
    // Starts a transaction that its caller rolls back whole when any statement in it
    // fails: a failed statement need not be undone alone, which spares a server that
    // would undo it with a savepoint of its own two round trips per statement.
    virtual void beginTransactionUndoneWhole() { beginTransaction(); }
    virtual void commit() = 0;
    virtual void rollback() = 0;

protected:
    // Reads the rest of the open cursor, if any, into memory: the session is then free
    // for another statement. Every statement of a session that opens cursors starts so.
    void settleCursor();
    // The cursor now open on this session.
    void adoptCursor(RowCursor *cursor);

private:
    friend class RowCursor;
    RowCursor *m_cursor = nullptr;
};

} // namespace db
