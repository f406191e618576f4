#pragma once

#include "platform/db/ServerKind.h"

namespace db {

// A PostgreSQL server with the administration schema, orafce and the small dictionary
// schema of schema/postgresql. Every difference from the real Oracle server that the
// system's statements meet is here:
// - names: the server folds unquoted names to lower case where Oracle folds them to upper
//   case, so an account MARI (or "MARI") is the role mari, and a name with lower-case
//   letters, such as "Kaja", stays as written (loginName, serverName);
// - account statements: Oracle's are read by the one reader of them (AccountStatement)
//   and translated into the server's own (translate), every name quoted; a password goes
//   as the server's SCRAM-SHA-256 verifier of it, never as typed, since the server writes
//   a statement it refuses into its log. An account statement that does not read is
//   refused with the reader's error and reaches no server;
// - the driver prepares a statement with PREPARE, which takes only queries and row
//   changes: any other statement is sent unprepared (prepares). A query goes unprepared
//   too, its values written in as the driver writes them into an EXECUTE: the server
//   collects the whole result of an EXECUTE before it sends the first row, which took a
//   third longer for the register than the query itself (writesValuesIn);
// - a date is bound as the wall-clock time of the client's own zone, without a zone, as
//   Oracle's DATE holds it; the driver would send the time in UTC with its zone, and the
//   server would store another hour (boundValue, fetchedValue);
// - a column that is an expression is named as Oracle names it, not ?column? (columns);
// - a long text column of a table (text) is a memo field (columns);
// - an ORDER BY expression naming a column that both the select list and the joined
//   tables have is refused as ambiguous: the statement is tried once more as an aliased
//   derived table ordered outside (retryOf);
// - a failed statement spoils the whole transaction: each statement inside one runs
//   under its own savepoint, as Oracle rolls back a failed statement alone
//   (savepointPerStatement), unless the transaction is rolled back whole on a failure
//   anyway; a statement that may be retried keeps its savepoint even then (mayRetry);
// - the error keeps the SQLSTATE, which is no number (errorOf);
// - many runs of an insert go as one statement over json_populate_recordset, which
//   reads each value as the column's type reads it, as an insert of the value itself
//   does (batchOf, batchValue);
// - a long result is read through a cursor of the server's, a packet per FETCH
//   (cursorOf, fetchFrom, closeOf);
// - the rows of a result are read from the driver's own libpq result, texts and numbers
//   straight from the server's text of them; the driver's value by value conversion took
//   three times as long as the server's answer (readResult).
class PostgreSqlKind : public ServerKind {
public:
    PostgreSqlKind();

    // The server's name for a name of an account, role, schema or program unit as
    // Oracle reads it (upper case, or as written within double quotes).
    static QString serverName(const QString &oracleName);
    // The server's SCRAM-SHA-256 verifier of a password with that salt, as the server
    // keeps a password and as its own clients send one (4096 rounds).
    static QString passwordVerifier(const QString &password, const QByteArray &salt);

    QString loginName(const QString &typed) const override;
    QString translate(const QString &statement) const override;
    bool prepares(const QString &text) const override;
    bool writesValuesIn(const QString &text) const override;
    QVariant boundValue(const QVariant &value) const override;
    QVariant fetchedValue(const QVariant &value) const override;
    bool readResult(const QSqlQuery &query, std::vector<Row> &rows) const override;
    QList<ColumnInfo> columns(const QString &statement, const QSqlRecord &record) const override;
    QList<ColumnInfo> resultColumns(const QString &statement, const QSqlQuery &query) const override;
    QString retryOf(const QString &text, const DbError &error) const override;
    bool mayRetry(const QString &text) const override;
    DbError errorOf(const QSqlError &error) const override;
    Batch batchOf(const QString &statement) const override;
    QVariant batchValue(const Batch &batch, const QList<BoundParams> &runs) const override;
    QString cursorOf(const QString &name, const QString &query) const override;
    QString fetchFrom(const QString &name, int count) const override;
    QString closeOf(const QString &name) const override;
};

} // namespace db
