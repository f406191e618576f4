#include "platform/embedded/EmbeddedBackend.h"

#include "platform/db/AccountStatement.h"
#include "platform/db/Params.h"
#include "platform/embedded/ServerErrors.h"

#include <QDateTime>

#include <sqlite3.h>

#include <optional>
#include <utility>

// Running a statement: binding its parameters, fetching its rows, naming and typing its
// columns as the real server does.
namespace embedded {

using db::BoundParams;
using db::DbError;
using db::FieldType;
using db::ResultSet;

namespace {

// The type and size a declared column type stands for.
db::ColumnInfo columnFromDeclaration(const char *declared)
{
    db::ColumnInfo info;
    if (!declared)
        return info;
    const QString d = QString::fromUtf8(declared).toUpper();
    auto sizeIn = [&]() {
        const qsizetype open = d.indexOf(QLatin1Char('('));
        const qsizetype close = d.indexOf(QLatin1Char(')'), open);
        return open >= 0 && close > open ? d.mid(open + 1, close - open - 1).trimmed().toInt() : 0;
    };
    if (d.contains(QLatin1String("CLOB")) || d.startsWith(QLatin1String("LONG")) || d.contains(QLatin1String("MEMO"))) {
        info.type = FieldType::Memo;
    } else if (d.contains(QLatin1String("CHAR")) || d.contains(QLatin1String("TEXT"))) {
        info.type = FieldType::String;
        info.size = sizeIn();
    } else if (d.startsWith(QLatin1String("DATE")) || d.startsWith(QLatin1String("TIMESTAMP"))) {
        info.type = FieldType::DateTime;
    } else if (d.contains(QLatin1String("INT")) || d.startsWith(QLatin1String("NUMBER"))
               || d.startsWith(QLatin1String("FLOAT")) || d.startsWith(QLatin1String("REAL"))
               || d.startsWith(QLatin1String("DOUBLE")) || d.startsWith(QLatin1String("NUMERIC"))
               || d.startsWith(QLatin1String("DECIMAL"))) {
        info.type = FieldType::Float;
    } else if (d.contains(QLatin1String("BLOB"))) {
        info.type = FieldType::Memo;
    }
    return info;
}

} // namespace

void EmbeddedBackend::fail(const QString &sql)
{
    const QString message = QString::fromUtf8(sqlite3_errmsg(m_handle));
    throw translateSqliteError(message, db::sql::firstKeyword(sql), filesOf(message));
}

void EmbeddedBackend::bindAll(sqlite3_stmt *stmt, const BoundParams &params)
{
    for (const db::BoundParam &p : params) {
        const QByteArray name = (QLatin1Char(':') + p.name).toUtf8();
        const int position = sqlite3_bind_parameter_index(stmt, name.constData());
        if (position <= 0)
            continue;
        QVariant v = p.value;
        // The real server takes an empty string for no value.
        if (v.typeId() == QMetaType::QString && v.toString().isEmpty())
            v = QVariant();
        int rc = SQLITE_OK;
        if (v.isNull()) {
            rc = sqlite3_bind_null(stmt, position);
        } else if (v.typeId() == QMetaType::Double || v.typeId() == QMetaType::Float) {
            rc = sqlite3_bind_double(stmt, position, v.toDouble());
        } else if (v.typeId() == QMetaType::Int || v.typeId() == QMetaType::LongLong
                   || v.typeId() == QMetaType::UInt || v.typeId() == QMetaType::ULongLong
                   || v.typeId() == QMetaType::Bool) {
            rc = sqlite3_bind_double(stmt, position, v.toDouble());
        } else if (v.typeId() == QMetaType::QByteArray) {
            const QByteArray bytes = v.toByteArray();
            rc = sqlite3_bind_blob(stmt, position, bytes.constData(), int(bytes.size()), SQLITE_TRANSIENT);
        } else {
            QString text;
            if (v.typeId() == QMetaType::QDateTime)
                text = v.toDateTime().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"));
            else if (v.typeId() == QMetaType::QDate)
                text = v.toDate().toString(QStringLiteral("yyyy-MM-dd 00:00:00"));
            else
                text = v.toString();
            const QByteArray utf8 = text.toUtf8();
            rc = sqlite3_bind_text(stmt, position, utf8.constData(), int(utf8.size()), SQLITE_TRANSIENT);
        }
        if (rc != SQLITE_OK)
            throw DbError(QStringLiteral("Parameter %1 could not be bound: %2").arg(p.name, QString::fromUtf8(sqlite3_errmsg(m_handle))));
    }
}

namespace {

// The columns of a statement as its first step describes them (a statement kept from an
// earlier run is prepared again at its first step when a schema changed since); typed
// tells which have a declared type.
QList<db::ColumnInfo> columnsOf(sqlite3_stmt *stmt, QList<bool> &typed)
{
    QList<db::ColumnInfo> columns;
    const int n = sqlite3_column_count(stmt);
    for (int i = 0; i < n; ++i) {
        db::ColumnInfo info = columnFromDeclaration(sqlite3_column_decltype(stmt, i));
        info.name = db::sql::derivedColumnName(QString::fromUtf8(sqlite3_column_name(stmt, i)));
        typed.append(sqlite3_column_decltype(stmt, i) != nullptr);
        columns.append(info);
    }
    return columns;
}

// An expression has no declared type: its first value among the rows tells.
void settleTypes(QList<db::ColumnInfo> &columns, const QList<bool> &typed, const std::vector<db::Row> &rows)
{
    for (int i = 0; i < columns.size(); ++i) {
        if (typed.at(i))
            continue;
        for (const db::Row &row : rows) {
            const QVariant &v = row.at(i);
            if (v.isNull())
                continue;
            columns[i].type = v.typeId() == QMetaType::Double ? FieldType::Float : FieldType::String;
            break;
        }
    }
}

// The row the statement stands on, written value by value into one block.
db::Row readRow(sqlite3_stmt *stmt, int n, db::RowWriter &writer)
{
    for (int i = 0; i < n; ++i) {
        switch (sqlite3_column_type(stmt, i)) {
        case SQLITE_NULL:
            writer.null();
            break;
        case SQLITE_INTEGER:
            writer.number(double(sqlite3_column_int64(stmt, i)));
            break;
        case SQLITE_FLOAT:
            writer.number(sqlite3_column_double(stmt, i));
            break;
        // The value first, then its size: the size then counts the bytes handed out.
        case SQLITE_BLOB: {
            const auto *blob = static_cast<const char *>(sqlite3_column_blob(stmt, i));
            writer.bytes(blob, sqlite3_column_bytes(stmt, i));
            break;
        }
        default: {
            const auto *text = reinterpret_cast<const char *>(sqlite3_column_text(stmt, i));
            writer.text(text, sqlite3_column_bytes(stmt, i));
            break;
        }
        }
    }
    return writer.take();
}

} // namespace

ResultSet EmbeddedBackend::select(const QString &sql, const BoundParams &params)
{
    settleCursor();
    if (!m_kept.contains(sql) && db::AccountStatement::recognizes(sql)) {
        runAccountStatement(sql);
        return {};
    }
    Prepared st(*this, sql);
    sqlite3_stmt *stmt = st.get();
    bindAll(stmt, params);
    int rc = sqlite3_step(stmt);
    if (rc != SQLITE_ROW && rc != SQLITE_DONE)
        fail(sql);
    ResultSet rs;
    QList<bool> typed;
    rs.columns = columnsOf(stmt, typed);
    const int n = int(rs.columns.size());
    db::RowWriter writer;
    for (; rc == SQLITE_ROW; rc = sqlite3_step(stmt))
        rs.rows.push_back(readRow(stmt, n, writer));
    if (rc != SQLITE_DONE)
        fail(sql);
    settleTypes(rs.columns, typed, rs.rows);
    return rs;
}

// A query stepped as its rows are fetched. While it is open the session holds the schema
// files' shared lock: the dataset reading it reads on in the background, and any other
// statement of the session reads the rest first.
class EmbeddedBackend::Cursor : public db::RowCursor {
public:
    Cursor(EmbeddedBackend &backend, const QString &sql) : m_backend(backend), m_sql(sql), m_stmt(backend.acquire(sql)) {}
    ~Cursor() override { finish(); }

    // The first rows; the types of untyped columns are those of their first values there.
    void start(const BoundParams &params, int firstRows)
    {
        m_backend.bindAll(m_stmt, params);
        m_rc = sqlite3_step(m_stmt);
        if (m_rc != SQLITE_ROW && m_rc != SQLITE_DONE) {
            finish();
            m_backend.fail(m_sql);
        }
        QList<bool> typed;
        m_columns = columnsOf(m_stmt, typed);
        std::vector<db::Row> rows;
        read(rows, firstRows);
        settleTypes(m_columns, typed, rows);
        hold(std::move(rows));
    }
    bool more() const { return m_stmt != nullptr; }

protected:
    bool read(std::vector<db::Row> &rows, int count) override
    {
        if (m_failed)
            throw *m_failed; // the rest cannot be read: no reader takes the rows so far for all
        const int n = int(m_columns.size());
        db::RowWriter writer;
        for (int read = 0; m_stmt && m_rc == SQLITE_ROW && (count < 0 || read < count); ++read) {
            rows.push_back(readRow(m_stmt, n, writer));
            m_rc = sqlite3_step(m_stmt);
        }
        if (m_stmt && m_rc != SQLITE_ROW) {
            const bool failed = m_rc != SQLITE_DONE;
            if (failed) {
                const QString message = QString::fromUtf8(sqlite3_errmsg(m_backend.m_handle));
                finish();
                m_failed = translateSqliteError(message, db::sql::firstKeyword(m_sql), m_backend.filesOf(message));
                throw *m_failed;
            }
            finish();
        }
        return m_stmt != nullptr;
    }
    void release() override { finish(); }

private:
    void finish()
    {
        if (m_stmt)
            m_backend.release(m_sql, std::exchange(m_stmt, nullptr));
    }

    EmbeddedBackend &m_backend;
    QString m_sql;
    sqlite3_stmt *m_stmt;
    int m_rc = SQLITE_DONE;
    std::optional<DbError> m_failed;
};

std::unique_ptr<db::RowCursor> EmbeddedBackend::openCursor(const QString &sql, const BoundParams &params, int firstRows)
{
    settleCursor();
    if (!m_kept.contains(sql) && db::AccountStatement::recognizes(sql))
        return Backend::openCursor(sql, params, firstRows);
    auto cursor = std::make_unique<Cursor>(*this, sql);
    cursor->start(params, firstRows);
    if (cursor->more())
        adoptCursor(cursor.get());
    return cursor;
}

qint64 EmbeddedBackend::execute(const QString &sql, const BoundParams &params)
{
    settleCursor();
    m_confirmation.clear();
    if (!m_kept.contains(sql) && db::AccountStatement::recognizes(sql))
        return runAccountStatement(sql);
    Prepared st(*this, sql);
    bindAll(st.get(), params);
    for (;;) {
        const int rc = sqlite3_step(st.get());
        if (rc == SQLITE_DONE)
            break;
        if (rc != SQLITE_ROW)
            fail(sql);
    }
    return sqlite3_changes64(m_handle);
}

QVariant EmbeddedBackend::insertReturningKey(const QString &sql, const BoundParams &params,
                                             const QString &table, const QString &keyColumn)
{
    execute(sql, params);
    const qint64 rowId = sqlite3_last_insert_rowid(m_handle);
    const ResultSet rs = select(QStringLiteral("select %1 from %2 where rowid = :rid").arg(keyColumn, table),
                                {{QStringLiteral("rid"), double(rowId)}});
    if (rs.rows.empty() || rs.rows.front().value(0).isNull())
        throw DbError(QStringLiteral("The server gave the new row of %1 no %2").arg(table, keyColumn));
    return rs.rows.front().value(0);
}

} // namespace embedded
