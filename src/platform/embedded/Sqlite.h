#pragma once

#include <QString>
#include <QVariant>

struct sqlite3;
struct sqlite3_stmt;

namespace embedded {

// A prepared statement on an SQLite handle, finalized when it goes out of scope.
// Failures throw db::DbError with SQLite's text; callers that show errors to users
// translate them (see ServerErrors).
class SqliteStatement {
public:
    SqliteStatement(sqlite3 *handle, const QString &sql);
    SqliteStatement(const SqliteStatement &) = delete;
    SqliteStatement &operator=(const SqliteStatement &) = delete;
    ~SqliteStatement();

    SqliteStatement &bind(int position, const QVariant &value); // 1-based
    SqliteStatement &bind(const QString &name, const QVariant &value);
    // Steps once; true while a row is there.
    bool step();
    // Runs to the end.
    void run();

    int columnCount() const;
    QVariant value(int column) const;
    QString text(int column) const;
    qint64 integer(int column) const;
    sqlite3_stmt *get() const { return m_stmt; }

private:
    sqlite3 *m_handle;
    sqlite3_stmt *m_stmt = nullptr;
};

// Runs statements without parameters, one after another (a script).
void runScript(sqlite3 *handle, const QString &script);
// The handle's last error text.
QString lastError(sqlite3 *handle);

// An SQLite database file opened directly, for the server's own maintenance.
class SqliteFile {
public:
    explicit SqliteFile(const QString &path, bool create = false);
    SqliteFile(const SqliteFile &) = delete;
    SqliteFile &operator=(const SqliteFile &) = delete;
    ~SqliteFile();
    sqlite3 *handle() const { return m_handle; }

private:
    sqlite3 *m_handle = nullptr;
};

} // namespace embedded
