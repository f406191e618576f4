#include "platform/db/Table.h"

#include "platform/db/Connection.h"
#include "platform/db/DbError.h"

namespace db {

namespace {

// Orders key values: nulls first, numbers by value, text by code point.
int compareKeys(const QVariant &a, const QVariant &b)
{
    if (a.isNull() || b.isNull())
        return int(!a.isNull()) - int(!b.isNull());
    if (Row::isNumber(a) && Row::isNumber(b)) {
        const double x = a.toDouble();
        const double y = b.toDouble();
        return x < y ? -1 : (x > y ? 1 : 0);
    }
    return QString::compare(a.toString(), b.toString());
}

const QString changedByOthers = QStringLiteral(
    "The row was changed or deleted by another user since it was read; nothing was %1. "
    "Refresh to see the row as it is now.");

} // namespace

Table::Table(QObject *parent) : DataSet(parent) {}

void Table::setTableName(const QString &name)
{
    if (active())
        throw DbError(QStringLiteral("Cannot change the table of an open dataset"));
    m_tableName = name;
}

void Table::setIndexFieldNames(const QString &names)
{
    if (active())
        throw DbError(QStringLiteral("Cannot change the key of an open dataset"));
    m_indexFieldNames = names;
}

Backend &Table::backend() const
{
    if (!connection())
        throw DbError(QStringLiteral("The table %1 has no connection").arg(m_tableName));
    return connection()->backend();
}

QStringList Table::keyNames() const
{
    QStringList names;
    for (const QString &n : m_indexFieldNames.split(QLatin1Char(';'), Qt::SkipEmptyParts))
        names.append(n.trimmed());
    return names;
}

QString Table::selectList() const
{
    QStringList names;
    for (int i = 0; i < fieldCount(); ++i) {
        if (field(i).isPersistent())
            names.append(field(i).fieldName());
    }
    return names.isEmpty() ? QStringLiteral("*") : names.join(QStringLiteral(", "));
}

QVariant Table::masterValue() const
{
    const DataSet *master = m_master.dataSet();
    if (!master || !master->active() || m_masterFields.isEmpty())
        return QVariant();
    const Field *f = master->findField(m_masterFields);
    return f ? f->value() : QVariant();
}

ResultSet Table::fetchRows()
{
    if (m_tableName.isEmpty())
        throw DbError(QStringLiteral("No table name given"));
    QString sql = QStringLiteral("select %1 from %2").arg(selectList(), m_tableName);
    BoundParams params;
    const QStringList keys = keyNames();
    if (masterSource() && !keys.isEmpty()) {
        m_openedWithMaster = masterValue();
        sql += QStringLiteral(" where %1 = :master").arg(keys.first());
        params.append({QStringLiteral("master"), m_openedWithMaster});
    }
    if (!keys.isEmpty())
        sql += QStringLiteral(" order by ") + keys.join(QStringLiteral(", "));
    return backend().select(sql, params);
}

QList<int> Table::identityColumns() const
{
    QList<int> cols;
    for (const QString &k : keyNames()) {
        const int c = columnOf(k);
        if (c >= 0)
            cols.append(c);
    }
    return cols;
}

void Table::initNewRow(Row &row)
{
    if (!masterSource())
        return;
    const QStringList keys = keyNames();
    const int c = keys.isEmpty() ? -1 : columnOf(keys.first());
    if (c >= 0 && c < row.size())
        row[c] = masterValue();
}

int Table::sortedPosition(const Row &row, int currentIndex) const
{
    const QList<int> cols = identityColumns();
    if (cols.isEmpty())
        return -1;
    const std::vector<Row> &rows = allRows();
    for (int i = 0; i < int(rows.size()); ++i) {
        if (i == currentIndex)
            continue;
        for (int c : cols) {
            const int cmp = compareKeys(rows[std::size_t(i)].value(c), row.value(c));
            if (cmp > 0)
                return i;
            if (cmp < 0)
                break;
        }
    }
    return int(rows.size());
}

QString Table::whereClause(const Row &old, BoundParams &params, const QList<int> &changed) const
{
    QStringList terms;
    auto term = [&](int c) {
        const QString &name = columns().at(c).name;
        const QVariant &value = old.value(c);
        if (value.isNull()) {
            terms.append(name + QStringLiteral(" is null"));
        } else if (value.typeId() == QMetaType::QString && value.toString().isEmpty()) {
            // An empty text is no value to the server when bound; a row written by other
            // tools may still hold one literally.
            terms.append(QStringLiteral("(%1 is null or %1 = '')").arg(name));
        } else {
            const QString p = QStringLiteral("old%1").arg(c);
            terms.append(QStringLiteral("%1 = :%2").arg(name, p));
            params.append({p, old.value(c)});
        }
    };
    if (m_updateMode == UpdateMode::WhereChanged) {
        const QList<int> cols = identityColumns();
        if (cols.isEmpty())
            throw DbError(QStringLiteral("The table %1 has no key to name its rows by").arg(m_tableName));
        for (int c : cols)
            term(c);
        // The values an update replaces must still be the ones read.
        for (int c : changed) {
            if (!cols.contains(c) && columns().at(c).type != FieldType::Memo)
                term(c);
        }
    } else {
        // Long texts cannot be compared by the server; they take no part in the test.
        for (int c = 0; c < columns().size(); ++c) {
            if (columns().at(c).type != FieldType::Memo)
                term(c);
        }
    }
    return terms.join(QStringLiteral(" and "));
}

Row Table::readBack(const QList<QVariant> &keyValues) const
{
    const QList<int> cols = identityColumns();
    QStringList terms;
    BoundParams params;
    for (int i = 0; i < cols.size(); ++i) {
        const QString p = QStringLiteral("key%1").arg(i);
        terms.append(QStringLiteral("%1 = :%2").arg(columns().at(cols.at(i)).name, p));
        params.append({p, keyValues.value(i)});
    }
    QStringList names;
    for (const ColumnInfo &c : columns())
        names.append(c.name);
    const ResultSet rs = backend().select(QStringLiteral("select %1 from %2 where %3")
                                              .arg(names.join(QStringLiteral(", ")), m_tableName,
                                                   terms.join(QStringLiteral(" and "))),
                                          params);
    return rs.rows.empty() ? Row() : rs.rows.front();
}

void Table::applyInsert(Row &row)
{
    QStringList names;
    QStringList values;
    BoundParams params;
    for (int c = 0; c < columns().size(); ++c) {
        if (row.value(c).isNull())
            continue;
        const QString p = QStringLiteral("new%1").arg(c);
        names.append(columns().at(c).name);
        values.append(QLatin1Char(':') + p);
        params.append({p, row.value(c)});
    }
    const QString sql = names.isEmpty()
        ? QStringLiteral("insert into %1 default values").arg(m_tableName)
        : QStringLiteral("insert into %1 (%2) values (%3)")
              .arg(m_tableName, names.join(QStringLiteral(", ")), values.join(QStringLiteral(", ")));
    const QList<int> keys = identityColumns();
    QList<QVariant> keyValues;
    for (int c : keys)
        keyValues.append(row.value(c));
    if (keys.size() == 1 && keyValues.first().isNull()) {
        // The server numbers the row; learn its key to read it back.
        keyValues[0] = backend().insertReturningKey(sql, params, m_tableName, columns().at(keys.first()).name);
    } else {
        backend().execute(sql, params);
    }
    if (keys.isEmpty())
        return;
    const Row stored = readBack(keyValues);
    if (!stored.isEmpty())
        row = stored;
    else
        for (int i = 0; i < keys.size(); ++i)
            row[keys.at(i)] = keyValues.at(i);
}

void Table::applyUpdate(const Row &old, Row &row)
{
    QStringList sets;
    QList<int> changed;
    BoundParams params;
    for (int c = 0; c < columns().size(); ++c) {
        if (Row::same(old, c, row, c))
            continue;
        const QString p = QStringLiteral("new%1").arg(c);
        sets.append(QStringLiteral("%1 = :%2").arg(columns().at(c).name, p));
        params.append({p, row.value(c)});
        changed.append(c);
    }
    if (sets.isEmpty())
        return;
    const QString where = whereClause(old, params, changed);
    const qint64 n = backend().execute(QStringLiteral("update %1 set %2 where %3")
                                           .arg(m_tableName, sets.join(QStringLiteral(", ")), where),
                                       params);
    if (n == 0)
        throw DbError(changedByOthers.arg(QStringLiteral("saved")));
    QList<QVariant> keyValues;
    for (int c : identityColumns())
        keyValues.append(row.value(c));
    if (!keyValues.isEmpty()) {
        const Row stored = readBack(keyValues);
        if (!stored.isEmpty())
            row = stored;
    }
}

void Table::applyDelete(const Row &old)
{
    BoundParams params;
    const QString where = whereClause(old, params);
    const qint64 n = backend().execute(QStringLiteral("delete from %1 where %2").arg(m_tableName, where), params);
    if (n == 0)
        throw DbError(changedByOthers.arg(QStringLiteral("deleted")));
}

bool Table::findKey(const QVariant &value)
{
    requireActive();
    const QList<int> cols = identityColumns();
    if (cols.isEmpty())
        throw DbError(QStringLiteral("The table %1 has no key").arg(m_tableName));
    const QStringList keys = keyNames();
    return locate(keys.first(), value);
}

void Table::masterChanged()
{
    const DataSet *master = m_master.dataSet();
    if (!active() || (master && !master->active()))
        return;
    if (Row::same(masterValue(), m_openedWithMaster))
        return;
    checkBrowseMode(); // a pending change of the old master row is saved first
    close();
    open();
}

void Table::MasterLink::dataEvent(DataEvent event, Field *)
{
    if (event == DataEvent::DataChanged || event == DataEvent::Scrolled)
        m_table.masterChanged();
}

} // namespace db
