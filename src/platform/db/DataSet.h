#pragma once

#include "platform/db/Backend.h"
#include "platform/db/Connection.h"
#include "platform/db/Field.h"
#include "platform/db/RecordFilter.h"

#include <QObject>
#include <QPointer>
#include <QTimer>

#include <functional>
#include <memory>
#include <vector>

namespace db {

class DataSource;

enum class DataSetState { Inactive, Browse, Edit, Insert };

// What a dataset tells the data sources bound to it.
enum class DataEvent {
    DataChanged,  // rows reloaded, filtered, opened or closed
    RowsAppended, // more rows of the result read at its end
    Scrolled,     // another row became current
    StateChanged, // browse, edit, insert or inactive
    FieldChanged, // a value of the current row changed
    UpdateRecord, // bound controls are to write their pending text into the fields
};

// A place in a dataset that outlives reloading: the row is found again by its key
// values (a table) or by all its values (a query). Free it with free() or let it go.
class Bookmark {
public:
    bool isValid() const { return m_valid; }
    void free() { *this = Bookmark(); }

private:
    friend class DataSet;
    bool m_valid = false;
    int m_position = -1;
    Row m_identity;
};

// Rows fetched into memory, a cursor over the rows that pass the record filter, fields
// that read and write the current row, and the states inactive, browse, edit and insert.
class DataSet : public QObject {
    Q_OBJECT
public:
    explicit DataSet(QObject *parent = nullptr);
    ~DataSet() override;

    using Hook = std::function<void(DataSet &)>;

    Connection *connection() const { return m_connection; }
    void setConnection(Connection *connection);

    // Fields. Defined fields are kept across openings and decide which columns the
    // dataset shows; without any, every column of the result gets a field while open.
    Field &addField(const QString &name, FieldType type, int size = 0);
    int fieldCount() const { return int(m_fields.size()); }
    Field &field(int index) const;
    Field *findField(const QString &name) const;
    Field &fieldByName(const QString &name) const; // throws DbError when missing
    std::vector<Field *> visibleFields() const;

    // Opening and closing. Closing discards a pending change.
    //
    // A dataset that fetches on demand reads the first fetchPacket rows of its result at
    // open and the rest as they are asked for, as database tools show a long result: a
    // grid fetches more as it is scrolled down; moving past the last row read, last(),
    // locate() and the record filter read the rest. recordCount() counts the rows read.
    // A result that may hold something on the server (a read lock, a cursor's
    // transaction) is read on while the program waits for the user (a backgroundPacket
    // each time the event loop is idle), so that it holds them for moments, not for as
    // long as the user looks at the first rows. A dataset that can be modified reads its
    // result whole.
    static constexpr int fetchPacket = 100;
    static constexpr int backgroundPacket = 1000;
    void setFetchOnDemand(bool on) { m_fetchOnDemand = on; }
    bool fetchOnDemand() const { return m_fetchOnDemand; }
    bool canFetchMore() const { return m_pending != nullptr; }
    // Reads up to count more rows (every remaining one when count < 0) and tells the
    // data sources of the rows that pass the filter; returns how many passed.
    int fetchMore(int count = fetchPacket);
    void open();
    void close();
    bool active() const { return m_state != DataSetState::Inactive; }
    void setActive(bool on) { on ? open() : close(); }
    DataSetState state() const { return m_state; }
    bool isEditing() const { return m_state == DataSetState::Edit || m_state == DataSetState::Insert; }

    // The cursor over the rows that pass the filter.
    bool bof() const { return m_bof; }
    bool eof() const { return m_eof; }
    bool isEmpty() const { return m_visible.empty(); }
    int recordCount() const { return int(m_visible.size()); }
    int recNo() const { return m_cur; } // 0-based, -1 when there is no row
    void setRecNo(int row);
    void first();
    void last();
    void next();
    void prior();
    void moveBy(int distance);

    Bookmark bookmark() const;
    // Moves to the bookmarked row; throws DbError when the row is no longer there.
    void gotoBookmark(const Bookmark &bookmark);
    bool bookmarkValid(const Bookmark &bookmark) const;

    // Moves to the first row whose field equals the value; the cursor stays otherwise.
    bool locate(const QString &fieldName, const QVariant &value, bool caseInsensitive = false);

    // Editing. A move, an insert or a refresh first posts a pending change.
    virtual bool canModify() const { return false; }
    void edit();   // on an empty dataset this starts a new row
    void insert(); // a new row before the current one
    void append(); // a new row at the end
    void post();
    void cancel();
    void remove();
    bool modified() const { return m_modified; }
    // A pending change is posted when a value changed, cancelled when none did.
    void checkBrowseMode();
    // Reads the rows again, first saving a pending change, and stays on the same row.
    void refresh();
    // Asks bound controls to write what they hold into the fields.
    void updateRecord();

    // The record filter: set and read without reopening (see RecordFilter).
    const QString &filter() const { return m_filterText; }
    void setFilter(const QString &text);
    bool filtered() const { return m_filtered; }
    void setFiltered(bool on);
    bool filterCaseInsensitive() const { return m_filterCaseInsensitive; }
    void setFilterCaseInsensitive(bool on);

    // Hooks; an exception thrown by one stops the operation.
    Hook beforeOpen;
    Hook afterOpen;
    Hook afterPost;
    Hook onNewRecord;

    // Values of the current row by column position (engine use).
    const Row *currentRow() const;
    // A field's value in another row, without moving the cursor (lists and grids).
    QVariant rowValue(int recNo, const Field &field) const;

    // The data sources bound to this dataset are told of every change.
    void attachSource(DataSource *source);
    void detachSource(DataSource *source);

protected:
    // The rows to show, with their columns.
    virtual ResultSet fetchRows() = 0;
    // The rows to show read as they are fetched, firstRows of them at once; none where the
    // dataset reads its rows whole.
    virtual std::unique_ptr<RowCursor> openRows(int firstRows)
    {
        Q_UNUSED(firstRows);
        return nullptr;
    }
    // Writes of a post or delete; a derived class that can modify implements them.
    virtual void applyInsert(Row &row);
    virtual void applyUpdate(const Row &old, Row &row);
    virtual void applyDelete(const Row &old);
    // Columns that identify a row for bookmarks and refresh; empty means all.
    virtual QList<int> identityColumns() const { return {}; }
    // A new row's starting values (a detail table takes its master's key).
    virtual void initNewRow(Row &row) { Q_UNUSED(row); }
    // Where an inserted row belongs after its post; -1 keeps it where it was.
    virtual int sortedPosition(const Row &row, int currentIndex) const;
    // Called by the data source this dataset is a detail of.
    virtual void masterChanged() {}

    void requireActive() const;
    void notify(DataEvent event, Field *field = nullptr);
    int columnOf(const QString &name) const;
    const QList<ColumnInfo> &columns() const { return m_columns; }
    const std::vector<Row> &allRows() const { return m_rows; }

private:
    friend class Field;
    friend class DataSource;

    void bindFields(const QList<ColumnInfo> &columns);
    void rebuildVisible();
    std::unique_ptr<RecordFilter> compileFilter(const QString &text) const;
    void refilter(const std::function<void()> &change);
    void beginNewRow(int visiblePosition);
    void dropInsertedRow();
    void setState(DataSetState state);
    void returnToBrowse();
    Row identityOf(const Row &row) const;
    int findIdentity(const Row &identity, int hint) const;
    bool passesFilter(const Row &row) const;
    QVariant valueAt(int column) const;
    void setValueAt(Field &field, const QVariant &value);
    void moveTo(int visibleIndex);

    QPointer<Connection> m_connection;
    std::vector<std::unique_ptr<Field>> m_fields;
    QList<ColumnInfo> m_columns;
    std::vector<Row> m_rows;
    std::vector<int> m_visible; // indices into m_rows, in row order
    int m_cur = -1;             // index into m_visible
    bool m_bof = true;
    bool m_eof = true;
    DataSetState m_state = DataSetState::Inactive;
    Row m_oldValues;
    bool m_modified = false;
    QString m_filterText;
    bool m_filtered = false;
    bool m_filterCaseInsensitive = false;
    std::unique_ptr<RecordFilter> m_filter;
    QList<QPointer<DataSource>> m_sources;
    bool m_fetchOnDemand = false;
    std::unique_ptr<RowCursor> m_pending; // the rest of the result, while some remains
    QTimer *m_readOn = nullptr;           // reads the rest when the event loop is idle
};

} // namespace db
