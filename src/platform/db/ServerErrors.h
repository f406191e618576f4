#pragma once

#include "platform/db/DbError.h"

#include <QString>

namespace db {

// The errors of the system's own readers and servers carry a code and a text in the style
// of the real server's: "ORA-01017: invalid username/password; logon denied".
DbError serverError(int code, const QString &message);

// The real server's codes of the errors the system gives in its style.
namespace errors {
constexpr int UniqueViolated = 1;
constexpr int ResourceBusy = 54;
constexpr int FileReadOnly = 372;
constexpr int InvalidStatement = 900;
constexpr int InvalidTableName = 903;
constexpr int InvalidCharacter = 911;
constexpr int MissingOption = 922;
constexpr int InvalidIdentifier = 904;
constexpr int AmbiguousColumn = 918;
constexpr int IdentifierTooLong = 972;
constexpr int NoSuchTable = 942;
constexpr int InvalidPassword = 988;
constexpr int MissingPrivilege = 990;
constexpr int CannotInsertNull = 1400;
constexpr int NullPassword = 1005;
constexpr int InvalidLogin = 1017;
constexpr int IoError = 1115;
constexpr int FileVerification = 1122;
constexpr int DataFileMissing = 1157;
constexpr int BlockCorrupted = 1578;
constexpr int UnableToExtend = 1653;
constexpr int MissingDoubleQuote = 1740;
constexpr int ZeroLengthIdentifier = 1741;
constexpr int InsufficientPrivileges = 1031;
constexpr int NoSuchGranteeUser = 1917;
constexpr int NoSuchUser = 1918;
constexpr int NoSuchRole = 1919;
constexpr int UserNameConflict = 1920;
constexpr int RoleNameConflict = 1921;
constexpr int CascadeRequired = 1922;
constexpr int RevokeNotGranted = 1927;
constexpr int AdminOptionMissing = 1932;
constexpr int CircularRoleGrant = 1934;
constexpr int UserConnected = 1940;
constexpr int RoleNotGranted = 1951;
constexpr int NoSuchTablespace = 959;
constexpr int ExecuteOnTable = 2224;
constexpr int CheckViolated = 2290;
constexpr int ParentKeyMissing = 2291;
constexpr int ChildRecordFound = 2292;
constexpr int NotConnected = 3114;
constexpr int NoSuchProgramUnit = 4042;
constexpr int ValueTooLarge = 12899;
constexpr int DdlInTransaction = 14552;
} // namespace errors

} // namespace db
