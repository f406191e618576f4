#include "platform/db/ServerKind.h"

#include "platform/db/PostgreSqlKind.h"

#include <QSqlField>

namespace db {

namespace {

Dialect oracleDialect()
{
    Dialect d;
    d.newKey = Dialect::NewKey::RowIdLookup;
    d.rowIdColumn = QStringLiteral("rowid");
    return d;
}

} // namespace

ServerKind::ServerKind() : m_dialect(oracleDialect()) {}

ServerKind::ServerKind(const Dialect &dialect) : m_dialect(dialect) {}

ServerKind::~ServerKind() = default;

std::unique_ptr<ServerKind> ServerKind::forDriver(const QString &driver)
{
    if (driver.startsWith(QLatin1String("QPSQL"), Qt::CaseInsensitive))
        return std::make_unique<PostgreSqlKind>();
    // QOCI, and QODBC with Oracle's ODBC driver.
    return std::make_unique<ServerKind>();
}

QString ServerKind::loginName(const QString &typed) const
{
    return typed;
}

QString ServerKind::translate(const QString &statement) const
{
    return statement;
}

bool ServerKind::prepares(const QString &) const
{
    return true;
}

bool ServerKind::writesValuesIn(const QString &) const
{
    return false;
}

QVariant ServerKind::boundValue(const QVariant &value) const
{
    return value;
}

QVariant ServerKind::fetchedValue(const QVariant &value) const
{
    return value;
}

QVariant ServerKind::keptValue(const QVariant &driverValue) const
{
    const QVariant v = fetchedValue(driverValue);
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

bool ServerKind::readResult(const QSqlQuery &, std::vector<Row> &) const
{
    return false;
}

FieldType ServerKind::typeOf(const QSqlField &field)
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

QList<ColumnInfo> ServerKind::columns(const QString &, const QSqlRecord &record) const
{
    QList<ColumnInfo> result;
    result.reserve(record.count());
    for (int i = 0; i < record.count(); ++i) {
        const QSqlField f = record.field(i);
        const FieldType type = typeOf(f);
        result.append({f.name().toUpper(), type, type == FieldType::String ? std::max(0, f.length()) : 0});
    }
    return result;
}

QList<ColumnInfo> ServerKind::resultColumns(const QString &statement, const QSqlQuery &query) const
{
    return columns(statement, query.record());
}

QString ServerKind::retryOf(const QString &, const DbError &) const
{
    return QString();
}

bool ServerKind::mayRetry(const QString &) const
{
    return false;
}

ServerKind::Batch ServerKind::batchOf(const QString &) const
{
    return {};
}

QVariant ServerKind::batchValue(const Batch &, const QList<BoundParams> &) const
{
    return QVariant();
}

QString ServerKind::cursorOf(const QString &, const QString &) const
{
    return QString();
}

QString ServerKind::fetchFrom(const QString &, int) const
{
    return QString();
}

QString ServerKind::closeOf(const QString &) const
{
    return QString();
}

DbError ServerKind::errorOf(const QSqlError &error) const
{
    QString text = error.text().trimmed();
    if (text.isEmpty())
        text = QStringLiteral("The server reported an error without text");
    const QString state = error.nativeErrorCode();
    bool numeric = false;
    const int code = state.toInt(&numeric);
    return DbError(text, numeric ? code : 0, state);
}

} // namespace db
