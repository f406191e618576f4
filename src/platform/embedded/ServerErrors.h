#pragma once

#include "platform/db/DbError.h"

#include <QString>

namespace embedded {

// The server's errors carry a code and a text in the style of the real server's:
// "ORA-01017: invalid username/password; logon denied".
db::DbError serverError(int code, const QString &message);

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

namespace errors {
constexpr int UniqueViolated = 1;
constexpr int ResourceBusy = 54;
constexpr int FileReadOnly = 372;
constexpr int InvalidStatement = 900;
constexpr int InvalidCharacter = 911;
constexpr int MissingOption = 922;
constexpr int InvalidIdentifier = 904;
constexpr int AmbiguousColumn = 918;
constexpr int IdentifierTooLong = 972;
constexpr int NoSuchTable = 942;
constexpr int MissingPrivilege = 990;
constexpr int CannotInsertNull = 1400;
constexpr int NullPassword = 1005;
constexpr int InvalidLogin = 1017;
constexpr int IoError = 1115;
constexpr int FileVerification = 1122;
constexpr int DataFileMissing = 1157;
constexpr int BlockCorrupted = 1578;
constexpr int UnableToExtend = 1653;
constexpr int InsufficientPrivileges = 1031;
constexpr int NoSuchGranteeUser = 1917;
constexpr int NoSuchUser = 1918;
constexpr int NoSuchRole = 1919;
constexpr int UserNameConflict = 1920;
constexpr int RoleNameConflict = 1921;
constexpr int CascadeRequired = 1922;
constexpr int RevokeNotGranted = 1927;
constexpr int AdminOptionMissing = 1932;
constexpr int UserConnected = 1940;
constexpr int RoleNotGranted = 1951;
constexpr int NoSuchTablespace = 959;
constexpr int ExecuteOnTable = 2224;
constexpr int CheckViolated = 2290;
constexpr int ParentKeyMissing = 2291;
constexpr int ChildRecordFound = 2292;
constexpr int NoSuchProgramUnit = 4042;
constexpr int ValueTooLarge = 12899;
constexpr int DdlInTransaction = 14552;
} // namespace errors

} // namespace embedded
