#pragma once

#include "platform/db/DataSet.h"

#include <QStringList>

namespace testsupport {

// A dataset over rows held in the test: every column a string, every row given as texts
// (an empty text is a missing value).
class MemoryDataSet : public db::DataSet {
public:
    explicit MemoryDataSet(const QStringList &columns, QObject *parent = nullptr) : db::DataSet(parent)
    {
        for (const QString &name : columns)
            m_result.columns.append({name, db::FieldType::String, 0});
    }

    void addRow(const QStringList &values)
    {
        db::Row row;
        for (const QString &v : values)
            row.append(v.isEmpty() ? QVariant() : QVariant(v));
        m_result.rows.push_back(row);
    }
    void clearRows() { m_result.rows.clear(); }

protected:
    db::ResultSet fetchRows() override { return m_result; }

private:
    db::ResultSet m_result;
};

} // namespace testsupport
