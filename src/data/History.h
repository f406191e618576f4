#pragma once

#include "platform/db/Connection.h"
#include "platform/db/DataSet.h"
#include "platform/db/DbError.h"

#include <QDate>
#include <QList>
#include <QString>
#include <QStringList>
#include <QVariant>

// The history of grants: every change Userpr makes to who may run what, kept on the server
// in the schema owner's table GRANT_HISTORY. A change writes its rows in the same
// transaction as itself, so a change that fails leaves none; the server fills in when (its
// own time) and which login, Userpr the workstation and what happened. A server whose
// schema has no such table yet works as before, without a history.
namespace history {

inline const QString Table = QStringLiteral("vortalix.grant_history");

// What a row says happened.
namespace action {
inline const QString Grant = QStringLiteral("GRANT");
inline const QString Revoke = QStringLiteral("REVOKE");
inline const QString CreateUser = QStringLiteral("CREATE USER");
inline const QString DropUser = QStringLiteral("DROP USER");
inline const QString GrantRole = QStringLiteral("GRANT ROLE");
inline const QString RevokeRole = QStringLiteral("REVOKE ROLE");
inline const QString AddCompany = QStringLiteral("ADD COMPANY");
inline const QString RenameCompany = QStringLiteral("RENAME COMPANY");
inline const QString DeleteCompany = QStringLiteral("DELETE COMPANY");
} // namespace action

// The workstation a row names: the operating-system user Userpr runs as, and the host.
struct Workstation {
    QString osUser;
    QString host;
};
const Workstation &workstation();

// Whether the error says that the server has no history table (or, on Oracle, none the
// login may see).
bool isMissing(const db::DbError &error);

// Whether the server keeps the history where the connection's login writes: an insert of
// no rows, asked before the change's transaction begins. A server without the table
// answers false; any other refusal (a login that may not write it) is thrown, so that no
// change is made unrecorded.
bool kept(db::Connection &connection);

// Records, for each user named, the grant of the program in the company as it is stored
// at this moment: a grant is recorded after it is written, a revoke before. Returns the
// rows written, one per grant found.
qint64 recordGrants(db::Connection &connection, const QString &what, double program, double company,
                    const QStringList &users);

// A statement of the history with its values, as the writers run it (app_bench runs the
// same through the raw engine).
struct Statement {
    QString sql;
    db::BoundParams params;
};
// The insert of no rows that kept() runs.
const QString &probeStatement();
// The statement recordCopy() runs.
Statement copyRecording(const QString &user, double from, double to);

// Records the grants a copy of the user's grants from one company to another is about to
// add: those the user holds in the first and not in the second, as the copy reads them.
// Returns the rows written.
qint64 recordCopy(db::Connection &connection, const QString &user, double from, double to);

// One row of a change of an account or a company. A null number and an empty text are no
// value.
struct Entry {
    QString what;
    QVariant program;
    QString programExe;
    QVariant company;
    QString companyName;
    QString user;
    QString detail;
};
void record(db::Connection &connection, const Entry &entry);

// The rows an account statement leaves once it has run: one for an account created or
// dropped, one per account for roles granted or revoked (the roles in the detail). Any
// other statement, or one that does not read, leaves none. Never a password.
QList<Entry> accountEntries(const QString &statement);

// What the history window narrows the rows by; an empty text or a null date does not
// narrow. User, program and company are patterns as the find window takes them ('%' any
// run of characters, '_' one), letter case ignored; a program given by digits alone is
// the program of that number.
struct Narrowing {
    QString user;
    QString program;
    QString company;
    QDate from;
    QDate to;

    // The narrowing in words, for a printed title: empty when nothing narrows.
    QString describe() const;
};

// The rows of the history, newest first, read a part at a time as a grid scrolls to them.
class Rows : public db::DataSet {
    Q_OBJECT
public:
    explicit Rows(db::Connection *connection, QObject *parent = nullptr);

    static constexpr int partRows = 200;

    const Narrowing &narrowing() const { return m_narrowing; }
    // Takes effect at the next opening.
    void setNarrowing(const Narrowing &narrowing) { m_narrowing = narrowing; }

    // Reads every row still to come (before an export or a print).
    void fetchAll() { fetchMore(-1); }

protected:
    db::ResultSet fetchRows() override;
    // The rows a part at a time, each part a statement of its own that starts below the
    // last row read: nothing stays open on the server between parts.
    std::unique_ptr<db::RowCursor> openRows(int firstRows) override;

private:
    class Parts;
    db::ResultSet part(const QVariant &before) const;

    Narrowing m_narrowing;
};

} // namespace history
