#include "platform/embedded/EmbeddedBackend.h"

#include "platform/db/AccountStatement.h"
#include "platform/db/Params.h"
#include "platform/embedded/ServerErrors.h"

#include <QDateTime>

#include <sqlite3.h>

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

ResultSet EmbeddedBackend::select(const QString &sql, const BoundParams &params)
{
    if (!m_kept.contains(sql) && db::AccountStatement::recognizes(sql)) {
        runAccountStatement(sql);
        return {};
    }
    Prepared st(*this, sql);
    sqlite3_stmt *stmt = st.get();
    bindAll(stmt, params);
    // A statement kept from an earlier run is prepared again at its first step when a
    // schema changed since: its columns are known after that step.
    int rc = sqlite3_step(stmt);
    if (rc != SQLITE_ROW && rc != SQLITE_DONE)
        fail(sql);
    ResultSet rs;
    const int n = sqlite3_column_count(stmt);
    QList<bool> typed;
    for (int i = 0; i < n; ++i) {
        db::ColumnInfo info = columnFromDeclaration(sqlite3_column_decltype(stmt, i));
        info.name = db::sql::derivedColumnName(QString::fromUtf8(sqlite3_column_name(stmt, i)));
        typed.append(sqlite3_column_decltype(stmt, i) != nullptr);
        rs.columns.append(info);
    }
    // Each row is written value by value into one buffer and taken as one block.
    db::RowWriter writer;
    for (; rc == SQLITE_ROW; rc = sqlite3_step(stmt)) {
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
        rs.rows.push_back(writer.take());
    }
    if (rc != SQLITE_DONE)
        fail(sql);
    // An expression has no declared type: its first value tells.
    for (int i = 0; i < n; ++i) {
        if (typed.at(i))
            continue;
        for (const db::Row &row : rs.rows) {
            const QVariant &v = row.at(i);
            if (v.isNull())
                continue;
            rs.columns[i].type = v.typeId() == QMetaType::Double ? FieldType::Float : FieldType::String;
            break;
        }
    }
    return rs;
}

qint64 EmbeddedBackend::execute(const QString &sql, const BoundParams &params)
{
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
