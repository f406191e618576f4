#pragma once

#include "RawEngine.h"

#include <QHash>
#include <QString>

struct sqlite3;
struct sqlite3_stmt;

namespace bench {

// The embedded server's engine used directly: an SQLite handle with the server's files
// attached under the names the server gives them, the dictionary views and the server's
// functions, on which statements are prepared once and stepped with the C API.
class RawSession : public RawEngine {
public:
    explicit RawSession(const QString &folder);
    RawSession(const RawSession &) = delete;
    RawSession &operator=(const RawSession &) = delete;
    ~RawSession() override;

    qint64 run(const QString &sql, const db::BoundParams &params = {}) override;
    void exec(const QString &script) override;
    qint64 number(const QString &sql) override;
    double timeToRow(const QString &sql, const db::BoundParams &params, int rows) override;
    sqlite3 *handle() const { return m_handle; }
    double checksum() const { return m_checksum; }

    // The password derivation a login costs, with the account's own rounds.
    static void deriveLogin(const QString &folder, const QString &user, const QString &password);

private:
    sqlite3_stmt *prepared(const QString &sql);
    void bind(sqlite3_stmt *stmt, const db::BoundParams &params);
    void readRow(sqlite3_stmt *stmt);

    sqlite3 *m_handle = nullptr;
    const QString m_login = QStringLiteral("VORTALIX"); // the history's changed_by
    double m_checksum = 0;
    QHash<QString, sqlite3_stmt *> m_statements;
};

} // namespace bench
