#pragma once

#include "RawEngine.h"

#include <QHash>
#include <QString>
#include <QStringList>

typedef struct pg_conn PGconn;

namespace bench {

// A PostgreSQL server used directly through libpq: one connection, each statement
// prepared once (PQprepare) and executed with its parameters as text (PQexecPrepared),
// every value of every row read. A statement the server refuses as ambiguous in its
// ORDER BY is prepared as the program's server kind sends it again: ordered outside an
// aliased derived table.
class PgRawSession : public RawEngine {
public:
    PgRawSession(const QString &host, int port, const QString &user, const QString &password,
                 const QString &database = QStringLiteral("vortalix"));
    PgRawSession(const PgRawSession &) = delete;
    PgRawSession &operator=(const PgRawSession &) = delete;
    ~PgRawSession() override;

    qint64 run(const QString &sql, const db::BoundParams &params = {}) override;
    void exec(const QString &script) override;
    qint64 number(const QString &sql) override;
    // Through a cursor of the server's, as the program reads a long result: the rows up
    // to that one are fetched at once.
    double timeToRow(const QString &sql, const db::BoundParams &params, int rows) override;

    // Sends rows to COPY ... FROM STDIN in its text format: each row's values in order,
    // a null value as \N.
    void copyIn(const QString &copyStatement, const std::vector<QVariantList> &rows);

    PGconn *handle() const { return m_conn; }
    double checksum() const { return m_checksum; }

private:
    struct Prepared {
        QByteArray name;
        QByteArray text;    // as the server took it
        QStringList params; // the names of $1, $2, ...
    };
    const Prepared &prepared(const QString &sql);
    QList<QByteArray> values(const Prepared &p, const db::BoundParams &params) const;

    PGconn *m_conn = nullptr;
    double m_checksum = 0;
    QHash<QString, Prepared> m_statements;
};

} // namespace bench
