#pragma once

#include "platform/db/DataSet.h"
#include "platform/db/DataSource.h"
#include "platform/db/Params.h"

#include <QStringList>

namespace db {

// A statement of several lines with named parameters. Open runs it and stands on its
// first row; execSql runs a statement without rows and is allowed only while closed.
// With a master data source, parameters that were not set take the master's column of
// the same name, and the query runs again when the master's row changes.
class Query : public DataSet {
    Q_OBJECT
public:
    explicit Query(QObject *parent = nullptr);
    // A named query of a window on a connection, with its statement.
    Query(const QString &name, Connection *connection, const QStringList &sql, QObject *parent);

    const QStringList &sql() const { return m_sql; }
    void setSql(const QStringList &lines);
    QString text() const;

    Params &params() { return m_params; }
    Param &paramByName(const QString &name) { return m_params.byName(name); }

    DataSource *masterSource() const { return m_master.dataSource(); }
    void setMasterSource(DataSource *source) { m_master.setDataSource(source); }

    void execSql();
    qint64 rowsAffected() const { return m_rowsAffected; }
    // Runs the statement for many sets of values at once: addBatch keeps the values the
    // parameters carry now; execBatch runs the statement once for each set kept, in
    // order, as one round trip where the server allows, and forgets them.
    void addBatch();
    void execBatch();

protected:
    ResultSet fetchRows() override;
    std::unique_ptr<RowCursor> openRows(int firstRows) override;
    void masterChanged() override;

private:
    class MasterLink : public DataLink {
    public:
        explicit MasterLink(Query &query) : m_query(query) {}

    protected:
        void dataEvent(DataEvent event, Field *field) override;

    private:
        Query &m_query;
    };

    BoundParams effectiveParams() const;

    QStringList m_sql;
    Params m_params;
    MasterLink m_master{*this};
    BoundParams m_openedWith;
    qint64 m_rowsAffected = 0;
    QList<BoundParams> m_batch;
};

} // namespace db
