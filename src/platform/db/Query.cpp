#include "platform/db/Query.h"

#include "platform/db/Connection.h"
#include "platform/db/DbError.h"

#include <utility>

namespace db {

namespace {

bool sameParams(const BoundParams &a, const BoundParams &b)
{
    if (a.size() != b.size())
        return false;
    for (int i = 0; i < a.size(); ++i) {
        const QVariant &x = a.at(i).value;
        const QVariant &y = b.at(i).value;
        if (x.isNull() != y.isNull() || (!x.isNull() && x != y))
            return false;
    }
    return true;
}

} // namespace

Query::Query(QObject *parent) : DataSet(parent) {}

Query::Query(const QString &name, Connection *connection, const QStringList &sql, QObject *parent)
    : DataSet(parent)
{
    setObjectName(name);
    setConnection(connection);
    setSql(sql);
}

void Query::setSql(const QStringList &lines)
{
    if (active())
        close();
    m_sql = lines;
    m_params.rebuild(sql::parameterNames(text()));
}

QString Query::text() const
{
    return sql::joinLines(m_sql);
}

BoundParams Query::effectiveParams() const
{
    BoundParams result = m_params.bound();
    const DataSet *master = m_master.dataSet();
    for (int i = 0; i < result.size(); ++i) {
        if (m_params[i].isBound() || !master)
            continue;
        if (const Field *f = master->findField(result.at(i).name); f && master->active())
            result[i].value = f->value();
        else if (f)
            result[i].value = QVariant();
    }
    return result;
}

ResultSet Query::fetchRows()
{
    if (!connection())
        throw DbError(QStringLiteral("The query has no connection"));
    const BoundParams params = effectiveParams();
    ResultSet rs = connection()->backend().select(text(), params);
    m_openedWith = params;
    return rs;
}

std::unique_ptr<RowCursor> Query::openRows(int firstRows)
{
    if (!connection())
        throw DbError(QStringLiteral("The query has no connection"));
    const BoundParams params = effectiveParams();
    std::unique_ptr<RowCursor> rows = connection()->backend().openCursor(text(), params, firstRows);
    m_openedWith = params;
    return rows;
}

void Query::execSql()
{
    if (active())
        throw DbError(QStringLiteral("Cannot execute a statement while the query is open"));
    if (!connection())
        throw DbError(QStringLiteral("The query has no connection"));
    m_rowsAffected = connection()->backend().execute(text(), effectiveParams());
}

void Query::addBatch()
{
    m_batch.append(effectiveParams());
}

void Query::execBatch()
{
    const QList<BoundParams> batch = std::exchange(m_batch, {});
    if (active())
        throw DbError(QStringLiteral("Cannot execute a statement while the query is open"));
    if (!connection())
        throw DbError(QStringLiteral("The query has no connection"));
    m_rowsAffected = connection()->backend().executeBatch(text(), batch);
}

void Query::masterChanged()
{
    // A master that closes takes nothing new to show; the detail keeps its rows.
    const DataSet *master = m_master.dataSet();
    if (!active() || (master && !master->active()))
        return;
    if (sameParams(effectiveParams(), m_openedWith))
        return;
    close();
    open();
}

void Query::MasterLink::dataEvent(DataEvent event, Field *)
{
    if (event == DataEvent::DataChanged || event == DataEvent::Scrolled)
        m_query.masterChanged();
}

} // namespace db
