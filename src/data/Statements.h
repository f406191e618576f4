#pragma once

#include "platform/db/AccountStatement.h"

#include <QList>
#include <QString>
#include <QStringList>

// Every fixed statement of the windows, as the system holds it. A statement quoted on
// one line is one line; the others keep their lines.
namespace statements {

// The main window
extern const QStringList QueryDBs;
extern const QStringList QueryUsers;
extern const QStringList Query2;
extern const QStringList QueryDBusers;
extern const QStringList MainQueryDelete;
extern const QStringList MainQueryAdd;
// The grants of one program in one company as stored now, read inside the replacement.
extern const QStringList MainQueryGranted;

// Users of one program
extern const QStringList gruserQuery;
extern const QStringList userQuery;

// Programs of one user
extern const QStringList QueryuserProg;
extern const QStringList QueryAllProg;
extern const QStringList ProgQueryAdd;
extern const QStringList ProgQueryDelete;

// Copying grants from another database
extern const QStringList ChoseDbQuery1;
extern const QStringList QueryCopyAll;

// The account window and its statement runner
extern const QStringList AddUserQuery1;
extern const QStringList AddUserQuery3;
extern const QStringList QueryFuncGrants;

// Personnel user names
extern const QStringList QueryPersonnel;

// Find programs and users
extern const QStringList QueryExe;
extern const QStringList QueryUsr;

// Companies
extern const QStringList QueryMAXID;

// The tables the table components open.
inline const QString VortalixProgTable = QStringLiteral("VORTALIX_PROG");
inline const QString SysParamsTable = QStringLiteral("V_SYSPARAMS");
inline const QString CustomerTable = QStringLiteral("CUSTOMER");

// A statement with the window and component that run it.
struct CatalogueEntry {
    QString window;
    QString component;
    const QStringList *sql;
};
const QList<CatalogueEntry> &catalogue();

} // namespace statements

// The sizes of the administration schema's text columns that more than one window shows.
namespace columns {
constexpr int UserName = db::names::maxLength; // USERNAME: every account can be granted programs
constexpr int ProgExe = 255;
constexpr int ProgName = 255;
constexpr int ProgGroup = 20;
constexpr int ProgAuthor = 20;
constexpr int ProgVersion = 20;
constexpr int ProgDescription = 250;
constexpr int ProgType = 1;
} // namespace columns
