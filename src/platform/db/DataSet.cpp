#include "platform/db/DataSet.h"

#include "platform/db/Connection.h"
#include "platform/db/DataSource.h"
#include "platform/db/DbError.h"

#include <algorithm>

namespace db {

DataSet::DataSet(QObject *parent) : QObject(parent) {}

DataSet::~DataSet()
{
    if (m_connection)
        m_connection->unregisterDataSet(this);
    const auto sources = m_sources;
    for (const QPointer<DataSource> &source : sources) {
        if (source)
            source->m_dataSet = nullptr;
    }
}

void DataSet::setConnection(Connection *connection)
{
    if (m_connection == connection)
        return;
    if (active())
        throw DbError(QStringLiteral("Cannot change the connection of an open dataset"));
    if (m_connection)
        m_connection->unregisterDataSet(this);
    m_connection = connection;
    if (m_connection)
        m_connection->registerDataSet(this);
}

Field &DataSet::addField(const QString &name, FieldType type, int size)
{
    if (active())
        throw DbError(QStringLiteral("Cannot define fields of an open dataset"));
    if (findField(name))
        throw DbError(QStringLiteral("Duplicate field name '%1'").arg(name));
    if (type == FieldType::String && size <= 0)
        size = 20;
    m_fields.push_back(std::make_unique<Field>(this, name, type, size, true));
    return *m_fields.back();
}

Field &DataSet::field(int index) const
{
    if (index < 0 || index >= fieldCount())
        throw DbError(QStringLiteral("Field index %1 out of range").arg(index));
    return *m_fields[std::size_t(index)];
}

Field *DataSet::findField(const QString &name) const
{
    for (const auto &f : m_fields) {
        if (f->fieldName().compare(name, Qt::CaseInsensitive) == 0)
            return f.get();
    }
    return nullptr;
}

Field &DataSet::fieldByName(const QString &name) const
{
    if (Field *f = findField(name))
        return *f;
    throw DbError(QStringLiteral("Field '%1' not found").arg(name));
}

std::vector<Field *> DataSet::visibleFields() const
{
    std::vector<Field *> result;
    for (const auto &f : m_fields) {
        if (f->visible())
            result.push_back(f.get());
    }
    return result;
}

int DataSet::columnOf(const QString &name) const
{
    for (int i = 0; i < m_columns.size(); ++i) {
        if (m_columns.at(i).name.compare(name, Qt::CaseInsensitive) == 0)
            return i;
    }
    return -1;
}

void DataSet::requireActive() const
{
    if (!active())
        throw DbError(QStringLiteral("Cannot perform this operation on a closed dataset"));
}

void DataSet::attachSource(DataSource *source)
{
    if (!m_sources.contains(source))
        m_sources.append(source);
}

void DataSet::detachSource(DataSource *source)
{
    m_sources.removeAll(source);
}

void DataSet::notify(DataEvent event, Field *field)
{
    const auto sources = m_sources;
    for (const QPointer<DataSource> &source : sources) {
        if (source)
            source->dispatch(event, field);
    }
}

void DataSet::setState(DataSetState state)
{
    if (m_state == state)
        return;
    m_state = state;
    notify(DataEvent::StateChanged);
}

// ---- opening and closing ------------------------------------------------------------

void DataSet::bindFields(const QList<ColumnInfo> &columns)
{
    m_columns = columns;
    const bool persistent = std::any_of(m_fields.begin(), m_fields.end(),
                                        [](const auto &f) { return f->isPersistent(); });
    if (!persistent) {
        m_fields.clear();
        for (int i = 0; i < columns.size(); ++i) {
            const ColumnInfo &c = columns.at(i);
            auto f = std::make_unique<Field>(this, c.name, c.type, c.size, false);
            f->m_column = i;
            m_fields.push_back(std::move(f));
        }
        return;
    }
    for (const auto &f : m_fields) {
        f->m_column = columnOf(f->fieldName());
        if (f->m_column < 0) {
            for (const auto &g : m_fields)
                g->m_column = -1;
            m_columns.clear();
            throw DbError(QStringLiteral("Field '%1' not found").arg(f->fieldName()));
        }
    }
}

void DataSet::open()
{
    if (active())
        return;
    if (beforeOpen)
        beforeOpen(*this);
    if (m_filtered)
        RecordFilter::parse(m_filterText); // refuse a bad text before asking the server
    ResultSet rs;
    std::unique_ptr<RowCursor> pending = m_fetchOnDemand && !canModify() ? openRows(fetchPacket) : nullptr;
    if (pending) {
        rs.columns = pending->columns();
        if (!pending->fetch(rs.rows, fetchPacket))
            pending.reset();
    } else {
        rs = fetchRows();
    }
    bindFields(rs.columns);
    std::unique_ptr<RecordFilter> filter;
    if (m_filtered) {
        try {
            filter = std::make_unique<RecordFilter>(RecordFilter::parse(m_filterText));
            filter->bind([this](const QString &n) { return columnOf(n); },
                         [this](int c) { return m_columns.at(c).type; });
        } catch (...) {
            m_columns.clear();
            std::erase_if(m_fields, [](const auto &f) { return !f->isPersistent(); });
            throw;
        }
    }
    m_rows = std::move(rs.rows);
    m_pending = std::move(pending);
    m_filter = std::move(filter);
    m_modified = false;
    m_oldValues.clear();
    rebuildVisible();
    m_cur = m_visible.empty() ? -1 : 0;
    m_bof = true;
    m_eof = m_visible.empty();
    m_state = DataSetState::Browse;
    notify(DataEvent::StateChanged);
    notify(DataEvent::DataChanged);
    if (m_pending && m_pending->holdsServer()) {
        if (!m_readOn) {
            m_readOn = new QTimer(this);
            m_readOn->setSingleShot(true);
            m_readOn->setInterval(0);
            connect(m_readOn, &QTimer::timeout, this, [this] {
                if (!active())
                    return;
                // A failure here is no handler's: the rows read so far stay, and the one
                // who asks for more hears of it.
                try {
                    fetchMore(backgroundPacket);
                } catch (const DbError &) {
                    return;
                }
                if (m_pending && m_pending->holdsServer())
                    m_readOn->start();
            });
        }
        m_readOn->start();
    }
    if (afterOpen)
        afterOpen(*this);
}

void DataSet::close()
{
    if (!active())
        return;
    m_state = DataSetState::Inactive;
    m_pending.reset(); // the rest of the result is not wanted
    m_rows.clear();
    m_visible.clear();
    m_cur = -1;
    m_bof = m_eof = true;
    m_modified = false;
    m_oldValues.clear();
    m_filter.reset();
    m_columns.clear();
    std::erase_if(m_fields, [](const auto &f) { return !f->isPersistent(); });
    for (const auto &f : m_fields)
        f->m_column = -1;
    notify(DataEvent::StateChanged);
    notify(DataEvent::DataChanged);
}

int DataSet::fetchMore(int count)
{
    if (!m_pending)
        return 0;
    const std::size_t before = m_rows.size();
    if (!m_pending->fetch(m_rows, count))
        m_pending.reset();
    const bool filtering = m_filtered && m_filter && !m_filter->isEmpty();
    int passed = 0;
    for (std::size_t i = before; i < m_rows.size(); ++i) {
        if (!filtering || m_filter->matches(m_rows[i], m_filterCaseInsensitive)) {
            m_visible.push_back(int(i));
            ++passed;
        }
    }
    if (passed > 0) {
        if (m_eof && m_cur >= 0 && m_cur + 1 < recordCount())
            m_eof = false;
        notify(DataEvent::RowsAppended);
    }
    return passed;
}

// ---- the cursor -------------------------------------------------------------------

const Row *DataSet::currentRow() const
{
    if (!active() || m_cur < 0)
        return nullptr;
    return &m_rows[std::size_t(m_visible[std::size_t(m_cur)])];
}

QVariant DataSet::rowValue(int recNo, const Field &field) const
{
    if (!active() || recNo < 0 || recNo >= recordCount() || &field.dataSet() != this)
        return QVariant();
    const Row &row = m_rows[std::size_t(m_visible[std::size_t(recNo)])];
    return field.m_column >= 0 && field.m_column < row.size() ? row.at(field.m_column) : QVariant();
}

QVariant DataSet::valueAt(int column) const
{
    const Row *row = currentRow();
    if (!row || column < 0 || column >= row->size())
        return QVariant();
    return row->at(column);
}

void DataSet::moveTo(int visibleIndex)
{
    const bool moved = visibleIndex != m_cur;
    m_cur = visibleIndex;
    if (moved)
        notify(DataEvent::Scrolled);
}

void DataSet::first()
{
    requireActive();
    checkBrowseMode();
    moveTo(isEmpty() ? -1 : 0);
    m_bof = true;
    m_eof = isEmpty();
}

void DataSet::last()
{
    requireActive();
    checkBrowseMode();
    fetchMore(-1);
    moveTo(recordCount() - 1);
    m_eof = true;
    m_bof = isEmpty();
}

void DataSet::next()
{
    requireActive();
    checkBrowseMode();
    while (m_cur + 1 >= recordCount() && canFetchMore())
        fetchMore();
    if (m_cur + 1 < recordCount()) {
        moveTo(m_cur + 1);
        m_bof = m_eof = false;
    } else {
        m_eof = true;
    }
}

void DataSet::prior()
{
    requireActive();
    checkBrowseMode();
    if (m_cur > 0) {
        moveTo(m_cur - 1);
        m_bof = m_eof = false;
    } else {
        m_bof = true;
    }
}

void DataSet::moveBy(int distance)
{
    requireActive();
    checkBrowseMode();
    if (isEmpty())
        return;
    const int target = m_cur + distance;
    while (target >= recordCount() && canFetchMore())
        fetchMore();
    moveTo(std::clamp(target, 0, recordCount() - 1));
    m_bof = target < 0;
    m_eof = target >= recordCount();
}

void DataSet::setRecNo(int row)
{
    requireActive();
    if (row == m_cur || isEmpty())
        return;
    row = std::clamp(row, 0, recordCount() - 1);
    if (isEditing()) {
        // Saving or dropping the pending row may move the others: the row that stands at
        // the position now is found again afterwards.
        const Row target = identityOf(m_rows[std::size_t(m_visible[std::size_t(row)])]);
        const int before = recordCount();
        const int pendingAt = m_cur;
        checkBrowseMode();
        if (isEmpty())
            return;
        const int hint = std::clamp(recordCount() < before && pendingAt < row ? row - 1 : row, 0, recordCount() - 1);
        const int found = findIdentity(target, hint);
        row = found >= 0 ? found : hint;
        if (row == m_cur)
            return;
    }
    moveTo(row);
    m_bof = m_eof = false;
}

// ---- bookmarks and searching -----------------------------------------------------

Row DataSet::identityOf(const Row &row) const
{
    const QList<int> cols = identityColumns();
    if (cols.isEmpty())
        return row;
    Row id;
    for (int c : cols)
        id.append(row.value(c));
    return id;
}

int DataSet::findIdentity(const Row &identity, int hint) const
{
    // The identity's values against the row's own, compared where they lie.
    const QList<int> cols = identityColumns();
    auto matches = [&](int visibleIndex) {
        const Row &row = m_rows[std::size_t(m_visible[std::size_t(visibleIndex)])];
        const int n = cols.isEmpty() ? row.size() : int(cols.size());
        if (n != identity.size())
            return false;
        for (int i = 0; i < n; ++i) {
            if (!Row::same(row, cols.isEmpty() ? i : cols.at(i), identity, i))
                return false;
        }
        return true;
    };
    if (hint >= 0 && hint < recordCount() && matches(hint))
        return hint;
    for (int i = 0; i < recordCount(); ++i) {
        if (matches(i))
            return i;
    }
    return -1;
}

Bookmark DataSet::bookmark() const
{
    Bookmark b;
    if (const Row *row = currentRow()) {
        b.m_valid = true;
        b.m_position = m_cur;
        b.m_identity = identityOf(*row);
    }
    return b;
}

bool DataSet::bookmarkValid(const Bookmark &bookmark) const
{
    return active() && bookmark.isValid() && findIdentity(bookmark.m_identity, bookmark.m_position) >= 0;
}

void DataSet::gotoBookmark(const Bookmark &bookmark)
{
    requireActive();
    if (!bookmark.isValid())
        throw DbError(QStringLiteral("Invalid bookmark"));
    checkBrowseMode();
    fetchMore(-1);
    const int at = findIdentity(bookmark.m_identity, bookmark.m_position);
    if (at < 0)
        throw DbError(QStringLiteral("Record not found"));
    moveTo(at);
    m_bof = m_eof = false;
}

bool DataSet::locate(const QString &fieldName, const QVariant &value, bool caseInsensitive)
{
    requireActive();
    const Field &f = fieldByName(fieldName);
    fetchMore(-1);
    const Qt::CaseSensitivity cs = caseInsensitive ? Qt::CaseInsensitive : Qt::CaseSensitive;
    const bool numeric = f.dataType() == FieldType::Float && value.typeId() != QMetaType::QString;
    const QString text = Field::textOf(value, value.typeId() == QMetaType::QString ? FieldType::String
                                                                                  : FieldType::Float);
    for (int i = 0; i < recordCount(); ++i) {
        const QVariant &stored = m_rows[std::size_t(m_visible[std::size_t(i)])].at(f.m_column);
        bool hit = false;
        if (value.isNull())
            hit = stored.isNull();
        else if (stored.isNull())
            hit = false;
        else if (numeric)
            hit = Field::floatOf(stored) == value.toDouble();
        else
            hit = Field::textOf(stored, f.dataType()).compare(text, cs) == 0;
        if (hit) {
            checkBrowseMode();
            moveTo(i);
            m_bof = m_eof = false;
            return true;
        }
    }
    return false;
}

// ---- editing ----------------------------------------------------------------------

void DataSet::applyInsert(Row &)
{
    throw DbError(QStringLiteral("Cannot modify a read-only dataset"));
}

void DataSet::applyUpdate(const Row &, Row &)
{
    throw DbError(QStringLiteral("Cannot modify a read-only dataset"));
}

void DataSet::applyDelete(const Row &)
{
    throw DbError(QStringLiteral("Cannot modify a read-only dataset"));
}

int DataSet::sortedPosition(const Row &, int) const
{
    return -1;
}

void DataSet::setValueAt(Field &field, const QVariant &value)
{
    requireActive();
    if (!isEditing())
        throw DbError(QStringLiteral("Dataset not in edit or insert mode"));
    if (field.readOnly())
        throw DbError(QStringLiteral("Field '%1' cannot be modified").arg(field.displayLabel()));
    Row &row = m_rows[std::size_t(m_visible[std::size_t(m_cur)])];
    if (field.m_column < 0 || field.m_column >= row.size())
        throw DbError(QStringLiteral("Field '%1' is not bound").arg(field.fieldName()));
    row[field.m_column] = value;
    m_modified = true;
    notify(DataEvent::FieldChanged, &field);
}

void DataSet::edit()
{
    requireActive();
    if (isEditing())
        return;
    if (!canModify())
        throw DbError(QStringLiteral("Cannot modify a read-only dataset"));
    if (isEmpty()) {
        insert();
        return;
    }
    m_oldValues = *currentRow();
    m_modified = false;
    setState(DataSetState::Edit);
}

void DataSet::beginNewRow(int visiblePosition)
{
    Row row;
    row.resize(m_columns.size());
    initNewRow(row);
    const int rowIndex = visiblePosition < recordCount()
                             ? m_visible[std::size_t(visiblePosition)]
                             : int(m_rows.size());
    m_rows.insert(m_rows.begin() + rowIndex, row);
    for (int &v : m_visible) {
        if (v >= rowIndex)
            ++v;
    }
    m_visible.insert(m_visible.begin() + visiblePosition, rowIndex);
    m_cur = visiblePosition;
    m_bof = m_eof = false;
    m_oldValues.clear();
    m_state = DataSetState::Insert;
    notify(DataEvent::StateChanged);
    notify(DataEvent::DataChanged);
    if (onNewRecord) {
        try {
            onNewRecord(*this);
        } catch (...) {
            dropInsertedRow();
            m_state = DataSetState::Browse;
            notify(DataEvent::StateChanged);
            notify(DataEvent::DataChanged);
            throw;
        }
    }
    m_modified = false;
}

void DataSet::insert()
{
    requireActive();
    if (!canModify())
        throw DbError(QStringLiteral("Cannot modify a read-only dataset"));
    checkBrowseMode();
    beginNewRow(m_cur < 0 ? 0 : m_cur);
}

void DataSet::append()
{
    requireActive();
    if (!canModify())
        throw DbError(QStringLiteral("Cannot modify a read-only dataset"));
    checkBrowseMode();
    beginNewRow(recordCount());
}

void DataSet::dropInsertedRow()
{
    const int rowIndex = m_visible[std::size_t(m_cur)];
    m_rows.erase(m_rows.begin() + rowIndex);
    m_visible.erase(m_visible.begin() + m_cur);
    for (int &v : m_visible) {
        if (v > rowIndex)
            --v;
    }
    m_cur = std::min(m_cur, recordCount() - 1);
}

void DataSet::post()
{
    requireActive();
    if (!isEditing())
        throw DbError(QStringLiteral("Dataset not in edit or insert mode"));
    updateRecord();
    for (const auto &f : m_fields)
        f->validate();
    const int rowIndex = m_visible[std::size_t(m_cur)];
    Row row = m_rows[std::size_t(rowIndex)];
    const bool inserting = m_state == DataSetState::Insert;
    if (inserting)
        applyInsert(row);
    else if (m_modified)
        applyUpdate(m_oldValues, row);
    m_rows[std::size_t(rowIndex)] = row;

    // A posted row takes its place in the dataset's order and may leave the filter.
    int at = rowIndex;
    const int sorted = sortedPosition(row, rowIndex);
    if (sorted >= 0 && sorted != rowIndex) {
        m_rows.erase(m_rows.begin() + rowIndex);
        at = sorted > rowIndex ? sorted - 1 : sorted;
        m_rows.insert(m_rows.begin() + at, row);
    }
    const int oldCur = m_cur;
    rebuildVisible();
    const auto pos = std::find(m_visible.begin(), m_visible.end(), at);
    m_cur = pos != m_visible.end() ? int(pos - m_visible.begin())
                                   : std::min(oldCur, recordCount() - 1);
    returnToBrowse();
    if (afterPost)
        afterPost(*this);
}

void DataSet::cancel()
{
    if (!isEditing())
        return;
    if (m_state == DataSetState::Insert)
        dropInsertedRow();
    else
        m_rows[std::size_t(m_visible[std::size_t(m_cur)])] = m_oldValues;
    returnToBrowse();
}

void DataSet::remove()
{
    requireActive();
    if (m_state == DataSetState::Insert) {
        cancel();
        return;
    }
    if (!canModify())
        throw DbError(QStringLiteral("Cannot modify a read-only dataset"));
    if (isEmpty())
        throw DbError(QStringLiteral("Cannot perform this operation on an empty dataset"));
    const int rowIndex = m_visible[std::size_t(m_cur)];
    const Row old = m_state == DataSetState::Edit ? m_oldValues : m_rows[std::size_t(rowIndex)];
    applyDelete(old);
    m_rows.erase(m_rows.begin() + rowIndex);
    m_visible.erase(m_visible.begin() + m_cur);
    for (int &v : m_visible) {
        if (v > rowIndex)
            --v;
    }
    m_cur = std::min(m_cur, recordCount() - 1);
    returnToBrowse();
}

void DataSet::returnToBrowse()
{
    m_modified = false;
    m_oldValues.clear();
    m_state = DataSetState::Browse;
    notify(DataEvent::StateChanged);
    notify(DataEvent::DataChanged);
}

void DataSet::updateRecord()
{
    if (isEditing())
        notify(DataEvent::UpdateRecord);
}

void DataSet::checkBrowseMode()
{
    if (!isEditing())
        return;
    updateRecord();
    if (m_modified)
        post();
    else
        cancel();
}

void DataSet::refresh()
{
    requireActive();
    checkBrowseMode();
    const Bookmark here = bookmark();
    m_pending.reset(); // read again, whole
    ResultSet rs = fetchRows();
    bindFields(rs.columns);
    if (m_filtered)
        m_filter = compileFilter(m_filterText);
    m_rows = std::move(rs.rows);
    rebuildVisible();
    const int at = here.isValid() ? findIdentity(here.m_identity, here.m_position) : -1;
    m_cur = at >= 0 ? at : std::min(std::max(here.m_position, 0), recordCount() - 1);
    m_bof = m_eof = isEmpty();
    notify(DataEvent::DataChanged);
}

// ---- the record filter ------------------------------------------------------------

bool DataSet::passesFilter(const Row &row) const
{
    return !m_filtered || !m_filter || m_filter->matches(row, m_filterCaseInsensitive);
}

void DataSet::rebuildVisible()
{
    m_visible.clear();
    m_visible.reserve(m_rows.size());
    const bool filtering = m_filtered && m_filter && !m_filter->isEmpty();
    for (int i = 0; i < int(m_rows.size()); ++i) {
        if (!filtering || m_filter->matches(m_rows[std::size_t(i)], m_filterCaseInsensitive))
            m_visible.push_back(i);
    }
}

std::unique_ptr<RecordFilter> DataSet::compileFilter(const QString &text) const
{
    auto filter = std::make_unique<RecordFilter>(RecordFilter::parse(text));
    if (active()) {
        filter->bind([this](const QString &n) { return columnOf(n); },
                     [this](int c) { return m_columns.at(c).type; });
    }
    return filter;
}

void DataSet::refilter(const std::function<void()> &change)
{
    checkBrowseMode();
    fetchMore(-1); // the filter is over the whole result
    const int rowIndex = m_cur >= 0 ? m_visible[std::size_t(m_cur)] : -1;
    change();
    rebuildVisible();
    // The current row stays current when it still passes; otherwise the first row is.
    const auto pos = std::find(m_visible.begin(), m_visible.end(), rowIndex);
    m_cur = pos != m_visible.end() ? int(pos - m_visible.begin()) : (isEmpty() ? -1 : 0);
    m_bof = m_eof = isEmpty();
    notify(DataEvent::DataChanged);
}

void DataSet::setFilter(const QString &text)
{
    if (text == m_filterText)
        return;
    if (!active() || !m_filtered) {
        m_filterText = text;
        return;
    }
    auto next = compileFilter(text); // a text that does not parse changes nothing
    refilter([&] {
        m_filterText = text;
        m_filter = std::move(next);
    });
}

void DataSet::setFiltered(bool on)
{
    if (on == m_filtered)
        return;
    std::unique_ptr<RecordFilter> next;
    if (on)
        next = compileFilter(m_filterText); // a text that does not parse leaves it off
    if (!active()) {
        m_filtered = on;
        return;
    }
    refilter([&] {
        m_filtered = on;
        m_filter = std::move(next);
    });
}

void DataSet::setFilterCaseInsensitive(bool on)
{
    if (on == m_filterCaseInsensitive)
        return;
    if (!active() || !m_filtered) {
        m_filterCaseInsensitive = on;
        return;
    }
    refilter([&] { m_filterCaseInsensitive = on; });
}

} // namespace db
