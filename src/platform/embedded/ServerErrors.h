#pragma once

#include "platform/db/ServerErrors.h"

#include <QString>

namespace embedded {

// The server's errors are the engine's, in the real server's style.
using db::serverError;
namespace errors = db::errors;

// Turns SQLite's text of a failed statement into the server's error; the SQLite text is
// kept in parentheses where it adds detail. keyword is the statement's first word; file,
// when known, names the server's file (or files) that the failure is about, and is added
// to the detail of errors of the files themselves (locked, full, read-only, damaged).
db::DbError translateSqliteError(const QString &sqliteMessage, const QString &keyword,
                                 const QString &file = QString());

// Runs the server's own work on one of its files (or folders): SQLite's texts of the
// failures become the server's errors naming that file. Errors that already carry the
// server's code pass unchanged.
template <typename Work>
decltype(auto) onServerFile(const QString &file, Work &&work)
{
    try {
        return work();
    } catch (const db::DbError &e) {
        if (e.code() != 0)
            throw;
        throw translateSqliteError(e.text(), QString(), file);
    }
}

} // namespace embedded
