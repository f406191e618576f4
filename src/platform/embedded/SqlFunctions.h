#pragma once

#include <QString>

struct sqlite3;

namespace embedded {

// Makes an SQLite handle answer like the real server: to_char, like compared with
// letter case, upper and lower over all letters, nvl.
void registerServerFunctions(sqlite3 *handle);

// sys_context('USERENV', 'SESSION_USER') of a session: the login, which the session keeps
// at that address for as long as the handle lives.
void registerSessionContext(sqlite3 *handle, const QString *login);

// Whether a login's statements may call the function of that name: those registered
// here, the ones of SQLite's own that the real server's SQL has, and nothing that hands
// out the engine's internals (fts3_tokenizer, load_extension and the like).
bool isOfferedFunction(const char *name);

// The pieces, for direct use and tests.
QString oracleNumberText(double value);
bool likeMatches(const QString &value, const QString &pattern, QChar escape = QChar());
QString formatDateTime(const QString &storedDate, const QString &format);

} // namespace embedded
