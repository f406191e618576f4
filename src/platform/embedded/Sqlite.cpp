#include "platform/embedded/Sqlite.h"

#include "platform/db/DbError.h"

#include <QDateTime>

#include <sqlite3.h>

namespace embedded {

QString lastError(sqlite3 *handle)
{
    return QString::fromUtf8(sqlite3_errmsg(handle));
}

SqliteStatement::SqliteStatement(sqlite3 *handle, const QString &sql) : m_handle(handle)
{
    const QByteArray utf8 = sql.toUtf8();
    if (sqlite3_prepare_v2(handle, utf8.constData(), int(utf8.size()), &m_stmt, nullptr) != SQLITE_OK) {
        const QString error = lastError(handle);
        sqlite3_finalize(m_stmt);
        m_stmt = nullptr;
        throw db::DbError(error);
    }
    if (!m_stmt)
        throw db::DbError(QStringLiteral("empty statement"));
}

SqliteStatement::~SqliteStatement()
{
    sqlite3_finalize(m_stmt);
}

SqliteStatement &SqliteStatement::bind(int position, const QVariant &value)
{
    int rc = SQLITE_OK;
    if (value.isNull()) {
        rc = sqlite3_bind_null(m_stmt, position);
    } else {
        switch (value.typeId()) {
        case QMetaType::Double:
        case QMetaType::Float:
            rc = sqlite3_bind_double(m_stmt, position, value.toDouble());
            break;
        case QMetaType::Int:
        case QMetaType::UInt:
        case QMetaType::LongLong:
        case QMetaType::ULongLong:
        case QMetaType::Bool:
            rc = sqlite3_bind_int64(m_stmt, position, value.toLongLong());
            break;
        case QMetaType::QByteArray: {
            const QByteArray bytes = value.toByteArray();
            rc = sqlite3_bind_blob(m_stmt, position, bytes.constData(), int(bytes.size()), SQLITE_TRANSIENT);
            break;
        }
        case QMetaType::QDateTime:
            rc = sqlite3_bind_text(m_stmt, position,
                                   value.toDateTime().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")).toUtf8().constData(),
                                   -1, SQLITE_TRANSIENT);
            break;
        case QMetaType::QDate:
            rc = sqlite3_bind_text(m_stmt, position,
                                   value.toDate().toString(QStringLiteral("yyyy-MM-dd 00:00:00")).toUtf8().constData(),
                                   -1, SQLITE_TRANSIENT);
            break;
        default: {
            const QByteArray text = value.toString().toUtf8();
            rc = sqlite3_bind_text(m_stmt, position, text.constData(), int(text.size()), SQLITE_TRANSIENT);
            break;
        }
        }
    }
    if (rc != SQLITE_OK)
        throw db::DbError(lastError(m_handle));
    return *this;
}

SqliteStatement &SqliteStatement::bind(const QString &name, const QVariant &value)
{
    const int position = sqlite3_bind_parameter_index(m_stmt, name.toUtf8().constData());
    if (position > 0)
        bind(position, value);
    return *this;
}

bool SqliteStatement::step()
{
    const int rc = sqlite3_step(m_stmt);
    if (rc == SQLITE_ROW)
        return true;
    if (rc == SQLITE_DONE)
        return false;
    const QString error = lastError(m_handle);
    sqlite3_reset(m_stmt);
    throw db::DbError(error);
}

void SqliteStatement::run()
{
    while (step()) {
    }
}

int SqliteStatement::columnCount() const
{
    return sqlite3_column_count(m_stmt);
}

QVariant SqliteStatement::value(int column) const
{
    switch (sqlite3_column_type(m_stmt, column)) {
    case SQLITE_NULL: return QVariant();
    case SQLITE_INTEGER: return double(sqlite3_column_int64(m_stmt, column));
    case SQLITE_FLOAT: return sqlite3_column_double(m_stmt, column);
    case SQLITE_BLOB:
        return QByteArray(static_cast<const char *>(sqlite3_column_blob(m_stmt, column)),
                          sqlite3_column_bytes(m_stmt, column));
    default:
        return text(column);
    }
}

QString SqliteStatement::text(int column) const
{
    const auto *p = reinterpret_cast<const char *>(sqlite3_column_text(m_stmt, column));
    return p ? QString::fromUtf8(p, sqlite3_column_bytes(m_stmt, column)) : QString();
}

qint64 SqliteStatement::integer(int column) const
{
    return sqlite3_column_int64(m_stmt, column);
}

void runScript(sqlite3 *handle, const QString &script)
{
    char *error = nullptr;
    if (sqlite3_exec(handle, script.toUtf8().constData(), nullptr, nullptr, &error) != SQLITE_OK) {
        const QString text = error ? QString::fromUtf8(error) : lastError(handle);
        sqlite3_free(error);
        throw db::DbError(text);
    }
}

SqliteFile::SqliteFile(const QString &path, bool create)
{
    const int flags = SQLITE_OPEN_READWRITE | (create ? SQLITE_OPEN_CREATE : 0);
    if (sqlite3_open_v2(path.toUtf8().constData(), &m_handle, flags, nullptr) != SQLITE_OK) {
        const QString error = m_handle ? lastError(m_handle) : QStringLiteral("out of memory");
        sqlite3_close(m_handle);
        m_handle = nullptr;
        throw db::DbError(QStringLiteral("Cannot open %1: %2").arg(path, error));
    }
    sqlite3_busy_timeout(m_handle, 5000);
    sqlite3_exec(m_handle, "PRAGMA foreign_keys = ON", nullptr, nullptr, nullptr);
}

SqliteFile::~SqliteFile()
{
    sqlite3_close(m_handle);
}

} // namespace embedded
