#pragma once

#include "platform/db/DataSet.h"

#include <QStringList>

#include <algorithm>
#include <memory>

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
    // The rows the dataset has read from its result so far, when it reads on demand.
    int rowsRead() const { return m_read; }

protected:
    db::ResultSet fetchRows() override { return m_result; }
    std::unique_ptr<db::RowCursor> openRows(int) override
    {
        m_read = 0;
        return std::make_unique<Cursor>(m_result, m_read);
    }

private:
    // Hands the rows out as they are asked for, counting them.
    class Cursor : public db::RowCursor {
    public:
        Cursor(const db::ResultSet &result, int &read) : m_rows(result.rows), m_read(read) { m_columns = result.columns; }

    protected:
        bool read(std::vector<db::Row> &rows, int count) override
        {
            const int n = count < 0 ? int(m_rows.size()) - m_read : std::min(count, int(m_rows.size()) - m_read);
            rows.insert(rows.end(), m_rows.begin() + m_read, m_rows.begin() + m_read + n);
            m_read += n;
            return m_read < int(m_rows.size());
        }

    private:
        const std::vector<db::Row> &m_rows;
        int &m_read;
    };

    db::ResultSet m_result;
    int m_read = 0;
};

} // namespace testsupport
