#pragma once

#include "platform/db/Backend.h"
#include "platform/db/DbError.h"

#include <QSqlError>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QString>
#include <QVariant>

#include <memory>
#include <utility>

namespace db {

// How one kind of real server reached through a Qt SQL driver takes the system's
// statements and answers them. The statements are written for the real Oracle server;
// this kind, the one for Oracle, sends everything exactly as written. A server of another
// kind holds every difference in its own object: the backend asks it and never tests a
// driver's name.
class ServerKind {
public:
    ServerKind();
    virtual ~ServerKind();
    ServerKind(const ServerKind &) = delete;
    ServerKind &operator=(const ServerKind &) = delete;

    // The kind of server a driver of the servers file reaches.
    static std::unique_ptr<ServerKind> forDriver(const QString &driver);

    const Dialect &dialect() const { return m_dialect; }

    // Each statement inside a transaction runs under a savepoint of its own, so that a
    // statement that fails is undone alone and the transaction goes on, as it does on a
    // server that rolls back failed statements by itself.
    bool savepointPerStatement = false;
    // Results are read row by row as they come; otherwise whole, with the tables their
    // columns come from.
    bool forwardOnly = true;

    // The login name to send for a name as the user typed it.
    virtual QString loginName(const QString &typed) const;
    // The text the server is to receive for one statement of the system.
    virtual QString translate(const QString &statement) const;
    // Whether a text goes to the server prepared, its parameters bound; otherwise it is
    // sent as it is and takes no parameters.
    virtual bool prepares(const QString &text) const;
    // Whether a text the kind prepares is sent unprepared instead, each parameter written
    // in as the driver writes a value: for queries where a prepared one would cost more
    // than its planning saves.
    virtual bool writesValuesIn(const QString &text) const;
    // A parameter's value as it is bound.
    virtual QVariant boundValue(const QVariant &value) const;
    // A value of a result as the engine keeps it.
    virtual QVariant fetchedValue(const QVariant &value) const;
    // A driver's value of a result as a row of the engine holds it: fetchedValue, with
    // every kind of number as a double.
    QVariant keptValue(const QVariant &driverValue) const;
    // Reads every row of an executed query's whole result straight from the driver's own
    // result, where the kind knows it, each value as keptValue would give it; false when
    // it does not (the rows are then read value by value through the query).
    virtual bool readResult(const QSqlQuery &query, std::vector<Row> &rows) const;
    // The columns of a result: the names and types the engine gives its fields.
    virtual QList<ColumnInfo> columns(const QString &statement, const QSqlRecord &record) const;
    // The columns of an executed query's result; by default those of its record.
    virtual QList<ColumnInfo> resultColumns(const QString &statement, const QSqlQuery &query) const;
    // The text to try once more after the server refused a text with that error; empty
    // when the refusal stands.
    virtual QString retryOf(const QString &text, const DbError &error) const;
    // Whether the server may refuse the text in a way retryOf answers: such a statement
    // keeps its savepoint even in a transaction that is rolled back whole on a failure.
    virtual bool mayRetry(const QString &text) const;

    // A statement that runs an insert once for each of many sets of parameters in one
    // round trip: the sets go as the one parameter batchParameter, whose value
    // batchValue makes. Empty where the server has no such form for the statement.
    struct Batch {
        QString statement;
        QList<std::pair<QString, QString>> columns; // a column as the server names it, and its parameter
    };
    static constexpr const char *batchParameter = "userpr_rows";
    virtual Batch batchOf(const QString &statement) const;
    virtual QVariant batchValue(const Batch &batch, const QList<BoundParams> &runs) const;

    // The statement that opens a query's rows as a cursor of that name on the server, to
    // be fetched a packet at a time inside a transaction (fetchFrom, closeOf); empty
    // where the server keeps no such cursor.
    virtual QString cursorOf(const QString &name, const QString &query) const;
    virtual QString fetchFrom(const QString &name, int count) const;
    virtual QString closeOf(const QString &name) const;
    // The engine's error for a driver's.
    virtual DbError errorOf(const QSqlError &error) const;

protected:
    explicit ServerKind(const Dialect &dialect);

    // The field type a driver's description of a column implies.
    static FieldType typeOf(const QSqlField &field);

private:
    Dialect m_dialect;
};

} // namespace db
