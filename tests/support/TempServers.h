#pragma once

#include "platform/db/Connection.h"

#include <QString>
#include <QTemporaryDir>

#include <memory>

namespace testsupport {

class PostgreSqlServer;

// A private data folder holding fresh copies of the demonstration servers LIVE and TEST.
// While it lives, USERPR_DATA and the user's configuration folder point into it, so
// every connection of the program and of userpr-db finds these servers and no others.
//
// When USERPR_TEST_POSTGRESQL names the folder of a stopped demonstration PostgreSQL
// server (its "template" folder, as scripts/pg-server makes it), LIVE and TEST are
// instead two fresh copies of that server, each started for this fixture alone on a
// socket in its own folder, and the servers file points the aliases at them. The same
// tests then run on a real server.
class TempServers {
public:
    TempServers();
    ~TempServers();
    TempServers(const TempServers &) = delete;
    TempServers &operator=(const TempServers &) = delete;

    // Whether the servers of the fixtures are PostgreSQL servers.
    static bool onPostgreSql();

    // One more demonstration server, as fresh as LIVE and TEST were, under another alias.
    void addServer(const QString &alias);

    QString dataFolder() const;
    QString serverFolder(const QString &alias) const;
    QString serversFile() const;
    void writeServersFile(const QString &text) const;

    // An open connection to a server as a login.
    std::unique_ptr<db::Connection> connect(const QString &user = QStringLiteral("vortalix"),
                                            const QString &password = QStringLiteral("lumivar"),
                                            const QString &alias = QStringLiteral("LIVE")) const;

private:
    QTemporaryDir m_dir;
    QByteArray m_oldData;
    QByteArray m_oldConfig;
    std::unique_ptr<PostgreSqlServer> m_postgreSql;
};

// Whether an error's text is the server's refusal of that kind: on the embedded server
// the real server's code begins it (ORA-00942); on PostgreSQL it holds the server's own
// words for it (its SQLSTATE in parentheses, "(42P01)", or a phrase of the message).
bool isServerError(const QString &text, const QString &oracleCode, const QString &postgreSql);
// The column that orders a table's rows as they were inserted.
QString insertionOrder();

// Runs a statement as the connection's login and returns the first column of every row.
QStringList column(db::Connection &connection, const QString &sql);
// The number of rows a statement yields.
int countRows(db::Connection &connection, const QString &sql);
// Whether the account holds EXECUTE on the schema owner's program unit. The owner tells,
// since it can take back only what was given, and then gives it again.
bool holdsExecute(const TempServers &servers, const QString &user, const QString &unit,
                  const QString &alias = QStringLiteral("LIVE"));

} // namespace testsupport
