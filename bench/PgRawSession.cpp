#include "PgRawSession.h"

#include "platform/db/DbError.h"
#include "platform/db/ServerRules.h"

#include <QElapsedTimer>

#include <libpq-fe.h>

#include <memory>

namespace bench {

namespace {

using Result = std::unique_ptr<PGresult, decltype(&PQclear)>;

Result wrap(PGresult *r)
{
    return Result(r, &PQclear);
}

[[noreturn]] void failed(PGconn *conn, const PGresult *result, const QString &what)
{
    const QString message = QString::fromUtf8(result ? PQresultErrorMessage(result) : PQerrorMessage(conn)).trimmed();
    const char *state = result ? PQresultErrorField(result, PG_DIAG_SQLSTATE) : nullptr;
    throw db::DbError(what + QStringLiteral(": ") + message, 0, state ? QString::fromLatin1(state) : QString());
}

bool succeeded(const PGresult *r)
{
    const ExecStatusType status = PQresultStatus(r);
    return status == PGRES_COMMAND_OK || status == PGRES_TUPLES_OK || status == PGRES_SINGLE_TUPLE;
}

// The statement with its :name parameters as $1, $2, ... (one number per name), by the
// rule the program reads parameters with; the names in the order of their numbers.
QString positional(const QString &sql, QStringList &names)
{
    const QList<db::sql::Piece> pieces = db::sql::piecesOf(sql);
    QString text;
    qsizetype copied = 0;
    for (qsizetype i = 0; i + 1 < pieces.size(); ++i) {
        const db::sql::Piece &colon = pieces.at(i);
        const db::sql::Piece &next = pieces.at(i + 1);
        if (!db::sql::isOther(sql, colon, ':') || colon.end != next.start
            || (next.kind != db::sql::Piece::Word && next.kind != db::sql::Piece::Number))
            continue;
        if (i > 0 && db::sql::isOther(sql, pieces.at(i - 1), ':') && pieces.at(i - 1).end == colon.start)
            continue; // a cast (::)
        const QString name = sql.mid(next.start, next.end - next.start).toLower();
        qsizetype number = names.indexOf(name);
        if (number < 0) {
            names.append(name);
            number = names.size() - 1;
        }
        text += sql.mid(copied, colon.start - copied) + QLatin1Char('$') + QString::number(number + 1);
        copied = next.end;
    }
    return text + sql.mid(copied);
}

// COPY's text format: backslash, tab and line breaks escaped.
QByteArray copyText(const QVariant &v)
{
    if (v.isNull())
        return QByteArrayLiteral("\\N");
    QByteArray text = v.typeId() == QMetaType::Double ? QByteArray::number(v.toDouble(), 'g', 15) : v.toString().toUtf8();
    text.replace('\\', "\\\\").replace('\t', "\\t").replace('\n', "\\n").replace('\r', "\\r");
    return text;
}

} // namespace

PgRawSession::PgRawSession(const QString &host, int port, const QString &user, const QString &password,
                           const QString &database)
{
    const QByteArray h = host.toUtf8();
    const QByteArray p = QByteArray::number(port);
    const QByteArray u = user.toUtf8();
    const QByteArray w = password.toUtf8();
    const QByteArray d = database.toUtf8();
    const char *keys[] = {"host", "port", "user", "password", "dbname", nullptr};
    const char *values[] = {h.constData(), p.constData(), u.constData(), w.constData(), d.constData(), nullptr};
    m_conn = PQconnectdbParams(keys, values, 0);
    if (PQstatus(m_conn) != CONNECTION_OK) {
        const QString message = QString::fromUtf8(PQerrorMessage(m_conn)).trimmed();
        PQfinish(m_conn);
        m_conn = nullptr;
        throw db::DbError(QStringLiteral("connect as %1: %2").arg(user, message));
    }
}

PgRawSession::~PgRawSession()
{
    PQfinish(m_conn);
}

const PgRawSession::Prepared &PgRawSession::prepared(const QString &sql)
{
    const auto kept = m_statements.constFind(sql);
    if (kept != m_statements.constEnd())
        return *kept;
    Prepared p;
    p.name = "raw" + QByteArray::number(m_statements.size() + 1);
    auto prepare = [&](const QString &text) {
        p.params.clear();
        p.text = positional(text, p.params).toUtf8();
        return wrap(PQprepare(m_conn, p.name.constData(), p.text.constData(), int(p.params.size()), nullptr));
    };
    Result r = prepare(sql);
    if (!succeeded(r.get())) {
        const char *state = PQresultErrorField(r.get(), PG_DIAG_SQLSTATE);
        const QString ordered = db::sql::orderedAsDerivedTable(sql, QStringLiteral("ordered_result"));
        if (!state || qstrcmp(state, "42702") != 0 || ordered.isEmpty())
            failed(m_conn, r.get(), sql);
        r = prepare(ordered);
        if (!succeeded(r.get()))
            failed(m_conn, r.get(), ordered);
    }
    return *m_statements.insert(sql, p);
}

QList<QByteArray> PgRawSession::values(const Prepared &p, const db::BoundParams &params) const
{
    QList<QByteArray> result;
    for (const QString &name : p.params) {
        QByteArray value;
        for (const db::BoundParam &b : params) {
            if (b.name.compare(name, Qt::CaseInsensitive) != 0)
                continue;
            const QVariant &v = b.value;
            // An empty text is no value, as the program binds it.
            if (v.isNull() || (v.typeId() == QMetaType::QString && v.toString().isEmpty()))
                break;
            value = v.typeId() == QMetaType::Double ? QByteArray::number(v.toDouble(), 'g', 15) : v.toString().toUtf8();
            if (value.isNull())
                value = QByteArray("");
            break;
        }
        result.append(value);
    }
    return result;
}

qint64 PgRawSession::run(const QString &sql, const db::BoundParams &params)
{
    const Prepared &p = prepared(sql);
    const QList<QByteArray> v = values(p, params);
    std::vector<const char *> pointers;
    for (const QByteArray &b : v)
        pointers.push_back(b.isNull() ? nullptr : b.constData());
    Result r = wrap(PQexecPrepared(m_conn, p.name.constData(), int(pointers.size()), pointers.data(), nullptr, nullptr, 0));
    if (!succeeded(r.get()))
        failed(m_conn, r.get(), sql);
    if (PQresultStatus(r.get()) == PGRES_COMMAND_OK)
        return QByteArray(PQcmdTuples(r.get())).toLongLong();
    const int rows = PQntuples(r.get());
    const int columns = PQnfields(r.get());
    std::size_t bytes = 0;
    for (int row = 0; row < rows; ++row) {
        for (int c = 0; c < columns; ++c) {
            const int length = PQgetlength(r.get(), row, c);
            bytes += std::size_t(length) + (length > 0 ? std::size_t(static_cast<unsigned char>(PQgetvalue(r.get(), row, c)[0])) : 0);
        }
    }
    m_checksum += double(bytes);
    return rows;
}

double PgRawSession::timeToRow(const QString &sql, const db::BoundParams &params, int rows)
{
    const Prepared &p = prepared(sql); // its form the server takes, prepared before the timing
    const QList<QByteArray> v = values(p, params);
    std::vector<const char *> pointers;
    for (const QByteArray &b : v)
        pointers.push_back(b.isNull() ? nullptr : b.constData());
    const QByteArray declare = "declare raw_rows no scroll cursor for " + p.text;
    const QByteArray fetch = "fetch forward " + QByteArray::number(rows) + " from raw_rows";
    QElapsedTimer t;
    t.start();
    exec(QStringLiteral("begin"));
    Result declared = wrap(PQexecParams(m_conn, declare.constData(), int(pointers.size()), nullptr, pointers.data(), nullptr,
                                        nullptr, 0));
    if (!succeeded(declared.get()))
        failed(m_conn, declared.get(), sql);
    Result fetched = wrap(PQexec(m_conn, fetch.constData()));
    if (!succeeded(fetched.get()))
        failed(m_conn, fetched.get(), sql);
    std::size_t bytes = 0;
    for (int r = 0; r < PQntuples(fetched.get()); ++r) {
        for (int c = 0; c < PQnfields(fetched.get()); ++c)
            bytes += std::size_t(PQgetlength(fetched.get(), r, c));
    }
    const double ms = double(t.nsecsElapsed()) / 1e6;
    m_checksum += double(bytes);
    exec(QStringLiteral("close raw_rows; commit"));
    return ms;
}

void PgRawSession::exec(const QString &script)
{
    const QByteArray utf8 = script.toUtf8();
    Result r = wrap(PQexec(m_conn, utf8.constData()));
    if (!succeeded(r.get()))
        failed(m_conn, r.get(), script.left(200));
}

qint64 PgRawSession::number(const QString &sql)
{
    const Prepared &p = prepared(sql);
    Result r = wrap(PQexecPrepared(m_conn, p.name.constData(), 0, nullptr, nullptr, nullptr, 0));
    if (!succeeded(r.get()))
        failed(m_conn, r.get(), sql);
    return PQntuples(r.get()) > 0 ? QByteArray(PQgetvalue(r.get(), 0, 0)).toLongLong() : 0;
}

void PgRawSession::copyIn(const QString &copyStatement, const std::vector<QVariantList> &rows)
{
    const QByteArray utf8 = copyStatement.toUtf8();
    Result started = wrap(PQexec(m_conn, utf8.constData()));
    if (PQresultStatus(started.get()) != PGRES_COPY_IN)
        failed(m_conn, started.get(), copyStatement);
    QByteArray data;
    for (const QVariantList &row : rows) {
        for (int c = 0; c < row.size(); ++c) {
            if (c > 0)
                data += '\t';
            data += copyText(row.at(c));
        }
        data += '\n';
    }
    if (PQputCopyData(m_conn, data.constData(), int(data.size())) != 1 || PQputCopyEnd(m_conn, nullptr) != 1)
        failed(m_conn, nullptr, copyStatement);
    while (PGresult *raw = PQgetResult(m_conn)) {
        Result r = wrap(raw);
        if (!succeeded(r.get()))
            failed(m_conn, r.get(), copyStatement);
    }
}

} // namespace bench
