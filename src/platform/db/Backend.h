#pragma once

#include "platform/db/Row.h"

#include <QList>
#include <QString>
#include <QVariant>

#include <vector>

namespace db {

enum class FieldType { Float, String, DateTime, Memo };

// A column of a result as the server describes it. A size of 0 means no limit.
struct ColumnInfo {
    QString name;
    FieldType type = FieldType::String;
    int size = 0;
};


struct ResultSet {
    QList<ColumnInfo> columns;
    std::vector<Row> rows;
};

// A named statement parameter with the value it carries at every occurrence.
struct BoundParam {
    QString name; // without the colon, as the statement spells it
    QVariant value;
};
using BoundParams = QList<BoundParam>;

// How a server kind differs, as plain data the engine asks instead of testing names.
struct Dialect {
    enum class NewKey {
        RowIdLookup, // the server reports the row id of an insert; the key is read by it
        Returning,   // the insert statement returns the key itself
    };
    bool emptyStringIsNull = true; // the system's statements rely on '' meaning no value
    NewKey newKey = NewKey::RowIdLookup;
    QString rowIdColumn = QStringLiteral("rowid");
};

// One open session on one server. Every statement commits as it completes unless a
// transaction was started. All failures are thrown as DbError.
class Backend {
public:
    virtual ~Backend() = default;

    virtual const Dialect &dialect() const = 0;
    virtual void open(const QString &user, const QString &password) = 0;
    virtual void close() = 0;
    virtual bool isOpen() const = 0;
    // The server's own answer to the last statement execute ran, as its prompt shows it
    // ("User created."); empty when the server answers with the rows it touched alone.
    virtual QString confirmation() const { return QString(); }

    // Runs a statement that yields rows and fetches all of them.
    virtual ResultSet select(const QString &sql, const BoundParams &params) = 0;
    // Runs a statement without result rows; returns the number of rows it touched.
    virtual qint64 execute(const QString &sql, const BoundParams &params) = 0;
    // Runs an insert and returns the value of keyColumn of the inserted row.
    virtual QVariant insertReturningKey(const QString &sql, const BoundParams &params,
                                        const QString &table, const QString &keyColumn) = 0;

    virtual void beginTransaction() = 0;
    virtual void commit() = 0;
    virtual void rollback() = 0;
};

} // namespace db
