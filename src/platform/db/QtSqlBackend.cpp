#include "platform/db/QtSqlBackend.h"

#include "platform/db/DbError.h"

#include <QAtomicInt>
#include <QSqlDatabase>
#include <QSqlDriver>
#include <QSqlError>
#include <QSqlField>
#include <QSqlQuery>
#include <QSqlRecord>

namespace db {

namespace {

QAtomicInt connectionCounter;

DbError errorOf(const QSqlError &error)
{
    QString text = error.text().trimmed();
    if (text.isEmpty())
        text = QStringLiteral("The server reported an error without text");
    return DbError(text, error.nativeErrorCode().toInt());
}

FieldType typeOf(const QSqlField &field)
{
    switch (field.metaType().id()) {
    case QMetaType::Double:
    case QMetaType::Float:
    case QMetaType::Int:
    case QMetaType::UInt:
    case QMetaType::LongLong:
    case QMetaType::ULongLong:
    case QMetaType::Short:
    case QMetaType::UShort:
        return FieldType::Float;
    case QMetaType::QDate:
    case QMetaType::QDateTime:
    case QMetaType::QTime:
        return FieldType::DateTime;
    case QMetaType::QByteArray:
        return FieldType::Memo;
    default:
        return FieldType::String;
    }
}

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

Dialect QtSqlBackend::dialectFor(const QString &driver)
{
    Dialect d;
    const QString upper = driver.toUpper();
    if (upper.startsWith(QLatin1String("QOCI"))) {
        d.kind = QStringLiteral("oracle");
        d.newKey = Dialect::NewKey::RowIdLookup;
        d.rowIdColumn = QStringLiteral("rowid");
    } else if (upper.startsWith(QLatin1String("QPSQL"))) {
        d.kind = QStringLiteral("postgres");
        d.newKey = Dialect::NewKey::Returning;
    } else {
        d.kind = QStringLiteral("odbc");
        d.newKey = Dialect::NewKey::RowIdLookup;
    }
    return d;
}

QtSqlBackend::QtSqlBackend(const ServerEntry &entry)
    : m_entry(entry),
      m_dialect(dialectFor(entry.driver)),
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
        if (!db.open(user, password)) {
            const DbError error = errorOf(db.lastError());
            db = QSqlDatabase();
            QSqlDatabase::removeDatabase(m_connectionName);
            throw error;
        }
    }
}

void QtSqlBackend::close()
{
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

namespace {

QSqlQuery prepared(const QString &connectionName, const QString &sql, const BoundParams &params,
                   const Dialect &dialect)
{
    QSqlDatabase db = QSqlDatabase::database(connectionName, false);
    if (!db.isOpen())
        throw DbError(QStringLiteral("The connection to the server is closed"));
    QSqlQuery q(db);
    q.setForwardOnly(true);
    q.setNumericalPrecisionPolicy(QSql::LowPrecisionDouble);
    if (!q.prepare(sql))
        throw errorOf(q.lastError());
    for (const BoundParam &p : params) {
        QVariant v = p.value;
        if (dialect.emptyStringIsNull && v.typeId() == QMetaType::QString && v.toString().isEmpty())
            v = QVariant();
        q.bindValue(QLatin1Char(':') + p.name, v);
    }
    return q;
}

} // namespace

ResultSet QtSqlBackend::select(const QString &sql, const BoundParams &params)
{
    QSqlQuery q = prepared(m_connectionName, sql, params, m_dialect);
    if (!q.exec())
        throw errorOf(q.lastError());
    ResultSet rs;
    const QSqlRecord record = q.record();
    for (int i = 0; i < record.count(); ++i) {
        const QSqlField f = record.field(i);
        const FieldType type = typeOf(f);
        rs.columns.append({f.name().toUpper(), type, type == FieldType::String ? std::max(0, f.length()) : 0});
    }
    const int n = record.count();
    while (q.next()) {
        Row row;
        row.reserve(n);
        for (int i = 0; i < n; ++i)
            row.append(storedValue(q.value(i)));
        rs.rows.push_back(std::move(row));
    }
    if (q.lastError().isValid())
        throw errorOf(q.lastError());
    return rs;
}

qint64 QtSqlBackend::execute(const QString &sql, const BoundParams &params)
{
    QSqlQuery q = prepared(m_connectionName, sql, params, m_dialect);
    if (!q.exec())
        throw errorOf(q.lastError());
    return q.numRowsAffected();
}

QVariant QtSqlBackend::insertReturningKey(const QString &sql, const BoundParams &params,
                                          const QString &table, const QString &keyColumn)
{
    if (m_dialect.newKey == Dialect::NewKey::Returning) {
        QSqlQuery q = prepared(m_connectionName, sql + QStringLiteral(" returning ") + keyColumn,
                               params, m_dialect);
        if (!q.exec())
            throw errorOf(q.lastError());
        if (!q.next())
            throw DbError(QStringLiteral("The server returned no key for the new row of %1").arg(table));
        return storedValue(q.value(0));
    }
    QSqlQuery q = prepared(m_connectionName, sql, params, m_dialect);
    if (!q.exec())
        throw errorOf(q.lastError());
    const QVariant rowId = q.lastInsertId();
    if (!rowId.isValid())
        throw DbError(QStringLiteral("The server reported no row id for the new row of %1").arg(table));
    const ResultSet rs = select(QStringLiteral("select %1 from %2 where %3 = :rid")
                                    .arg(keyColumn, table, m_dialect.rowIdColumn),
                                {{QStringLiteral("rid"), rowId}});
    if (rs.rows.empty())
        throw DbError(QStringLiteral("The new row of %1 could not be read back").arg(table));
    return rs.rows.front().value(0);
}

void QtSqlBackend::beginTransaction()
{
    QSqlDatabase db = QSqlDatabase::database(m_connectionName, false);
    if (!db.transaction())
        throw errorOf(db.lastError());
}

void QtSqlBackend::commit()
{
    QSqlDatabase db = QSqlDatabase::database(m_connectionName, false);
    if (!db.commit())
        throw errorOf(db.lastError());
}

void QtSqlBackend::rollback()
{
    QSqlDatabase db = QSqlDatabase::database(m_connectionName, false);
    if (!db.rollback())
        throw errorOf(db.lastError());
}

} // namespace db
