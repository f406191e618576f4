#pragma once

#include "platform/db/Backend.h"

#include <QHash>
#include <QString>

struct sqlite3;
struct sqlite3_stmt;

namespace bench {

// The engine underneath the project, used directly: an SQLite handle with the server's
// files attached under the names the server gives them, the dictionary views and the
// server's functions, on which statements are prepared once and stepped with the C API.
// Every column of every row is read, as any reader of a result must, and nothing more.
class RawSession {
public:
    explicit RawSession(const QString &folder);
    RawSession(const RawSession &) = delete;
    RawSession &operator=(const RawSession &) = delete;
    ~RawSession();

    // Runs one statement with named parameters (an empty text binds no value, as the
    // server binds it); returns the rows read or, for a statement without rows, the
    // rows it changed.
    qint64 run(const QString &sql, const db::BoundParams &params = {});
    void exec(const QString &script);
    // The first column of the first row, as a whole number.
    qint64 number(const QString &sql);
    sqlite3 *handle() const { return m_handle; }
    double checksum() const { return m_checksum; }

    // The password derivation a login costs, with the account's own rounds.
    static void deriveLogin(const QString &folder, const QString &user, const QString &password);

private:
    sqlite3_stmt *prepared(const QString &sql);

    sqlite3 *m_handle = nullptr;
    double m_checksum = 0;
    QHash<QString, sqlite3_stmt *> m_statements;
};

} // namespace bench
