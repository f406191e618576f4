#include "platform/db/Backend.h"

namespace db {

namespace {

// A result read whole, handed out as a cursor.
class ReadCursor : public RowCursor {
public:
    explicit ReadCursor(ResultSet &&rs) : m_rows(std::move(rs.rows))
    {
        m_columns = std::move(rs.columns);
    }

protected:
    bool read(std::vector<Row> &rows, int count) override
    {
        const std::size_t n = count < 0 ? m_rows.size() - m_at : std::min(m_rows.size() - m_at, std::size_t(count));
        std::move(m_rows.begin() + qsizetype(m_at), m_rows.begin() + qsizetype(m_at + n), std::back_inserter(rows));
        m_at += n;
        return m_at < m_rows.size();
    }

private:
    std::vector<Row> m_rows;
    std::size_t m_at = 0;
};

} // namespace

RowCursor::~RowCursor()
{
    if (m_session)
        m_session->m_cursor = nullptr;
}

void RowCursor::hold(std::vector<Row> &&rows)
{
    m_ready = std::move(rows);
    m_readyAt = 0;
}

bool RowCursor::fetch(std::vector<Row> &rows, int count)
{
    std::size_t wanted = count < 0 ? std::size_t(-1) : std::size_t(count);
    while (wanted > 0 && m_readyAt < m_ready.size()) {
        rows.push_back(std::move(m_ready[m_readyAt++]));
        --wanted;
    }
    if (m_readyAt == m_ready.size()) {
        m_ready.clear();
        m_readyAt = 0;
    }
    if (wanted > 0 && !m_exhausted) {
        m_exhausted = !read(rows, count < 0 ? -1 : int(wanted));
        if (m_exhausted && m_session) {
            m_session->m_cursor = nullptr;
            m_session = nullptr;
            release();
        }
    }
    return !atEnd();
}

void RowCursor::settle()
{
    if (!m_exhausted) {
        read(m_ready, -1);
        m_exhausted = true;
    }
    if (m_session) {
        m_session->m_cursor = nullptr;
        m_session = nullptr;
        release();
    }
}

Backend::~Backend()
{
    if (m_cursor)
        m_cursor->m_session = nullptr;
}

std::unique_ptr<RowCursor> Backend::openCursor(const QString &sql, const BoundParams &params, int)
{
    return std::make_unique<ReadCursor>(select(sql, params));
}

qint64 Backend::executeBatch(const QString &sql, const QList<BoundParams> &runs)
{
    qint64 rows = 0;
    for (const BoundParams &params : runs)
        rows += execute(sql, params);
    return rows;
}

void Backend::settleCursor()
{
    if (m_cursor)
        m_cursor->settle();
}

void Backend::adoptCursor(RowCursor *cursor)
{
    settleCursor();
    m_cursor = cursor;
    cursor->m_session = this;
}

} // namespace db
