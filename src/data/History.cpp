#include "data/History.h"

#include "data/Statements.h"
#include "platform/db/AccountStatement.h"
#include "platform/db/Field.h"
#include "platform/db/ServerErrors.h"

#include <QSysInfo>

#include <iterator>

#include <pwd.h>
#include <unistd.h>

namespace history {

namespace {

// The most names one statement lists: the real server takes at most a thousand
// expressions in one "in" list.
constexpr int namesPerStatement = 1000;

const QString probe = QStringLiteral("insert into vortalix.grant_history (action) select 'KEPT' from dual where 1 = 0");

const QString workstationColumns = QStringLiteral("os_user, host_name, action, prog_id, prog_exe, database_id, db_name, username");
// The workstation and what happened, as columns of a select (typed, so that every server
// knows what the parameters are).
const QString workstationValues =
    QStringLiteral("cast(:os_user as varchar(64)), cast(:host_name as varchar(64)), cast(:action as varchar(20))");

db::BoundParams stamp(const QString &what)
{
    const Workstation &here = workstation();
    return {{QStringLiteral("os_user"), here.osUser}, {QStringLiteral("host_name"), here.host},
            {QStringLiteral("action"), what}};
}

QVariant noneIfEmpty(const QString &text)
{
    return text.isEmpty() ? QVariant() : QVariant(text);
}

// A pattern of the find window's kind: letter case ignored.
QString likeTerm(const QString &column, const QString &parameter)
{
    return QStringLiteral("upper(%1) like :%2").arg(column, parameter);
}

} // namespace

const Workstation &workstation()
{
    static const Workstation here = [] {
        Workstation w;
        if (const passwd *entry = getpwuid(geteuid()))
            w.osUser = QString::fromLocal8Bit(entry->pw_name);
        if (w.osUser.isEmpty())
            w.osUser = qEnvironmentVariable("USER");
        w.host = QSysInfo::machineHostName();
        // The columns hold 64 characters; a longer name is cut rather than refuse the change.
        w.osUser.truncate(64);
        w.host.truncate(64);
        return w;
    }();
    return here;
}

bool isMissing(const db::DbError &error)
{
    return error.code() == db::errors::NoSuchTable || error.state() == QLatin1String("42P01");
}

bool kept(db::Connection &connection)
{
    try {
        connection.backend().execute(probe, {});
        return true;
    } catch (const db::DbError &e) {
        if (isMissing(e))
            return false;
        throw;
    }
}

qint64 recordGrants(db::Connection &connection, const QString &what, double program, double company,
                    const QStringList &users)
{
    qint64 written = 0;
    for (qsizetype first = 0; first < users.size(); first += namesPerStatement) {
        const QStringList part = users.mid(first, namesPerStatement);
        db::BoundParams params = stamp(what);
        params.append({QStringLiteral("prog_id"), program});
        params.append({QStringLiteral("database_id"), company});
        QStringList names;
        for (qsizetype i = 0; i < part.size(); ++i) {
            const QString name = QStringLiteral("u%1").arg(i);
            names.append(QLatin1Char(':') + name);
            params.append({name, part.at(i)});
        }
        const QString sql =
            QStringLiteral("insert into %1 (%2) select %3, vortalix_prog_id, prog_exe, database_id, db_name, username "
                           "from vortalix.user_list_db where vortalix_prog_id = :prog_id and database_id = :database_id "
                           "and username in (%4)")
                .arg(Table, workstationColumns, workstationValues, names.join(QStringLiteral(", ")));
        written += connection.backend().execute(sql, params);
    }
    return written;
}

const QString &probeStatement()
{
    return probe;
}

Statement copyRecording(const QString &user, double from, double to)
{
    db::BoundParams params = stamp(action::Grant);
    params.append({QStringLiteral("username"), user});
    params.append({QStringLiteral("from_db"), from});
    params.append({QStringLiteral("to_db"), to});
    // The copy's own choice of rows, read before it runs.
    const QString sql = QStringLiteral(
        "insert into %1 (%2) select %3, p.prog_id, p.prog_exe, c.v_company, c.db_name, g.username "
        "from vortalix.user_prog_db g, vortalix.vortalix_prog p, vortalix.v_sysparams c "
        "where g.username = :username and g.database_id = :from_db and p.prog_id = g.vortalix_prog_id "
        "and c.v_company = :to_db and g.vortalix_prog_id not in "
        "(select vortalix_prog_id from vortalix.user_prog_db where username = :username and database_id = :to_db)")
                            .arg(Table, workstationColumns, workstationValues);
    return {sql, params};
}

qint64 recordCopy(db::Connection &connection, const QString &user, double from, double to)
{
    const Statement recording = copyRecording(user, from, to);
    return connection.backend().execute(recording.sql, recording.params);
}

void record(db::Connection &connection, const Entry &entry)
{
    const Workstation &here = workstation();
    const db::BoundParams params{
        {QStringLiteral("os_user"), here.osUser},         {QStringLiteral("host_name"), here.host},
        {QStringLiteral("action"), entry.what},           {QStringLiteral("prog_id"), entry.program},
        {QStringLiteral("prog_exe"), noneIfEmpty(entry.programExe)},
        {QStringLiteral("database_id"), entry.company},   {QStringLiteral("db_name"), noneIfEmpty(entry.companyName)},
        {QStringLiteral("username"), noneIfEmpty(entry.user)}, {QStringLiteral("detail"), noneIfEmpty(entry.detail)},
    };
    connection.backend().execute(
        QStringLiteral("insert into %1 (%2, detail) values (:os_user, :host_name, :action, :prog_id, :prog_exe, "
                       ":database_id, :db_name, :username, :detail)")
            .arg(Table, workstationColumns),
        params);
}

QList<Entry> accountEntries(const QString &statement)
{
    if (!db::AccountStatement::recognizes(statement))
        return {};
    db::AccountStatement read;
    try {
        read = db::AccountStatement::parse(statement);
    } catch (const db::DbError &) {
        return {}; // the server refuses it too, and nothing changes
    }
    using Kind = db::AccountStatement::Kind;
    QList<Entry> entries;
    switch (read.kind) {
    case Kind::CreateUser:
        entries.append({action::CreateUser, {}, {}, {}, {}, read.name, {}});
        break;
    case Kind::DropUser:
        entries.append({action::DropUser, {}, {}, {}, {}, read.name, read.cascade ? QStringLiteral("cascade") : QString()});
        break;
    case Kind::GrantRoles:
    case Kind::RevokeRoles: {
        QString roles = read.privileges.join(QStringLiteral(", "));
        if (read.adminOption)
            roles += QStringLiteral(" with admin option");
        const QString &what = read.kind == Kind::GrantRoles ? action::GrantRole : action::RevokeRole;
        for (const QString &grantee : read.grantees)
            entries.append({what, {}, {}, {}, {}, grantee, roles});
        break;
    }
    default:
        break;
    }
    return entries;
}

QString Narrowing::describe() const
{
    QStringList parts;
    if (!user.isEmpty())
        parts.append(QStringLiteral("user ") + user);
    if (!program.isEmpty())
        parts.append(QStringLiteral("program ") + program);
    if (!company.isEmpty())
        parts.append(QStringLiteral("company ") + company);
    const QString format = QStringLiteral("dd/MM/yyyy");
    if (from.isValid())
        parts.append(QStringLiteral("from ") + from.toString(format));
    if (to.isValid())
        parts.append(QStringLiteral("to ") + to.toString(format));
    return parts.join(QStringLiteral(", "));
}

Rows::Rows(db::Connection *connection, QObject *parent) : db::DataSet(parent)
{
    setObjectName(QStringLiteral("QueryHistory"));
    setConnection(connection);
    setFetchOnDemand(true);
    using db::FieldType;
    // What an auditor asks first comes first: when, what, which program, where, to whom;
    // then who did it, from where, and the detail.
    addField(QStringLiteral("HISTORY_ID"), FieldType::Float).setVisible(false);
    addField(QStringLiteral("CHANGED_AT"), FieldType::DateTime)
        .setDisplayLabel(QStringLiteral("When"))
        .setDisplayFormat(QStringLiteral("dd/MM/yyyy HH:mm:ss"))
        .setDisplayWidth(19);
    addField(QStringLiteral("ACTION"), FieldType::String, 20).setDisplayLabel(QStringLiteral("What")).setDisplayWidth(14);
    addField(QStringLiteral("PROG_EXE"), FieldType::String, columns::ProgExe)
        .setDisplayLabel(QStringLiteral("Program"))
        .setDisplayWidth(16);
    addField(QStringLiteral("PROG_ID"), FieldType::Float).setDisplayLabel(QStringLiteral("No.")).setDisplayWidth(5);
    addField(QStringLiteral("DATABASE_ID"), FieldType::Float).setVisible(false);
    addField(QStringLiteral("DB_NAME"), FieldType::String, 20).setDisplayLabel(QStringLiteral("Company")).setDisplayWidth(10);
    addField(QStringLiteral("USERNAME"), FieldType::String, columns::UserName)
        .setDisplayLabel(QStringLiteral("User"))
        .setDisplayWidth(10);
    addField(QStringLiteral("CHANGED_BY"), FieldType::String, db::names::maxLength)
        .setDisplayLabel(QStringLiteral("Login"))
        .setDisplayWidth(10);
    addField(QStringLiteral("OS_USER"), FieldType::String, 64).setDisplayLabel(QStringLiteral("OS user")).setDisplayWidth(10);
    addField(QStringLiteral("HOST_NAME"), FieldType::String, 64).setDisplayLabel(QStringLiteral("Host")).setDisplayWidth(12);
    addField(QStringLiteral("DETAIL"), FieldType::String, 1000).setDisplayLabel(QStringLiteral("Detail")).setDisplayWidth(24);
}

db::ResultSet Rows::part(const QVariant &before) const
{
    if (!connection())
        throw db::DbError(QStringLiteral("The history has no connection"));
    QStringList terms{QStringLiteral("history_id < :before")};
    db::BoundParams params{{QStringLiteral("before"), before}};
    const Narrowing &n = m_narrowing;
    if (!n.user.isEmpty()) {
        terms.append(likeTerm(QStringLiteral("username"), QStringLiteral("username")));
        params.append({QStringLiteral("username"), n.user.toUpper()});
    }
    bool number = !n.program.isEmpty();
    for (QChar c : n.program)
        number = number && c.isDigit();
    if (number) {
        terms.append(QStringLiteral("prog_id = :prog_id"));
        params.append({QStringLiteral("prog_id"), n.program.toDouble()});
    } else if (!n.program.isEmpty()) {
        terms.append(likeTerm(QStringLiteral("prog_exe"), QStringLiteral("prog_exe")));
        params.append({QStringLiteral("prog_exe"), n.program.toUpper()});
    }
    if (!n.company.isEmpty()) {
        terms.append(likeTerm(QStringLiteral("db_name"), QStringLiteral("db_name")));
        params.append({QStringLiteral("db_name"), n.company.toUpper()});
    }
    if (n.from.isValid()) {
        terms.append(QStringLiteral("changed_at >= :from_date"));
        params.append({QStringLiteral("from_date"), n.from.startOfDay()});
    }
    if (n.to.isValid()) {
        terms.append(QStringLiteral("changed_at < :to_date"));
        params.append({QStringLiteral("to_date"), n.to.addDays(1).startOfDay()});
    }
    const QString sql =
        QStringLiteral("select history_id, changed_at, changed_by, os_user, host_name, action, prog_id, prog_exe, "
                       "database_id, db_name, username, detail from %1 where %2 order by history_id desc "
                       "fetch first %3 rows only")
            .arg(Table, terms.join(QStringLiteral(" and ")))
            .arg(partRows);
    return connection()->backend().select(sql, params);
}

// Above every number the server gives a row.
constexpr double aboveEveryRow = 1e18;

class Rows::Parts : public db::RowCursor {
public:
    explicit Parts(const Rows &rows) : m_rows(rows)
    {
        db::ResultSet first = rows.part(aboveEveryRow);
        m_columns = std::move(first.columns);
        std::vector<db::Row> held;
        m_more = take(std::move(first.rows), held);
        hold(std::move(held));
    }

    bool holdsServer() const override { return false; }

protected:
    bool read(std::vector<db::Row> &rows, int count) override
    {
        for (int read = 0; m_more && (count < 0 || read < count);) {
            db::ResultSet next;
            try {
                next = m_rows.part(m_last);
            } catch (const db::DbError &) {
                m_more = false; // asked once: a grid scrolling on does not ask again
                throw;
            }
            read += int(next.rows.size());
            m_more = take(std::move(next.rows), rows);
        }
        return m_more;
    }

private:
    // Moves a part's rows to the end of rows; false when it was the last part.
    bool take(std::vector<db::Row> &&part, std::vector<db::Row> &rows)
    {
        if (!part.empty())
            m_last = part.back().value(0);
        const bool full = int(part.size()) == partRows;
        std::move(part.begin(), part.end(), std::back_inserter(rows));
        return full;
    }

    const Rows &m_rows;
    QVariant m_last;
    bool m_more = false;
};

std::unique_ptr<db::RowCursor> Rows::openRows(int)
{
    return std::make_unique<Parts>(*this);
}

db::ResultSet Rows::fetchRows()
{
    std::unique_ptr<db::RowCursor> parts = openRows(partRows);
    db::ResultSet rs;
    rs.columns = parts->columns();
    parts->fetch(rs.rows, -1);
    return rs;
}

} // namespace history
