#pragma once

#include "platform/db/DataSet.h"
#include "platform/db/DataSource.h"

namespace db {

// One database table in the order of its key. Posts and deletes write the table at once.
// An update writes only the columns that changed and names the row by its key and the
// old values of those columns, or by all its old values; a delete names it by its key
// alone, or by all its old values. A statement that finds no row (another connection
// changed or deleted it) fails and saves nothing, so another user's change of the same
// value is never overwritten unseen.
// With a master data source it holds the rows whose key equals the master's column.
class Table : public DataSet {
    Q_OBJECT
public:
    enum class UpdateMode { WhereChanged, WhereAll };

    explicit Table(QObject *parent = nullptr);

    const QString &tableName() const { return m_tableName; }
    void setTableName(const QString &name);
    // The key's field names, separated by ';'.
    const QString &indexFieldNames() const { return m_indexFieldNames; }
    void setIndexFieldNames(const QString &names);
    UpdateMode updateMode() const { return m_updateMode; }
    void setUpdateMode(UpdateMode mode) { m_updateMode = mode; }

    DataSource *masterSource() const { return m_master.dataSource(); }
    void setMasterSource(DataSource *source) { m_master.setDataSource(source); }
    const QString &masterFields() const { return m_masterFields; }
    void setMasterFields(const QString &field) { m_masterFields = field; }

    bool canModify() const override { return true; }

    // Moves to the row whose key equals the value; when none does, the cursor stays.
    bool findKey(const QVariant &value);

protected:
    ResultSet fetchRows() override;
    void applyInsert(Row &row) override;
    void applyUpdate(const Row &old, Row &row) override;
    void applyDelete(const Row &old) override;
    QList<int> identityColumns() const override;
    void initNewRow(Row &row) override;
    int sortedPosition(const Row &row, int currentIndex) const override;
    void masterChanged() override;

private:
    class MasterLink : public DataLink {
    public:
        explicit MasterLink(Table &table) : m_table(table) {}

    protected:
        void dataEvent(DataEvent event, Field *field) override;

    private:
        Table &m_table;
    };

    QStringList keyNames() const;
    QString selectList() const;
    QVariant masterValue() const;
    QString whereClause(const Row &old, BoundParams &params, const QList<int> &changed = {}) const;
    Row readBack(const QList<QVariant> &keyValues) const;
    Backend &backend() const;

    QString m_tableName;
    QString m_indexFieldNames;
    UpdateMode m_updateMode = UpdateMode::WhereChanged;
    QString m_masterFields;
    MasterLink m_master{*this};
    QVariant m_openedWithMaster;
};

} // namespace db
