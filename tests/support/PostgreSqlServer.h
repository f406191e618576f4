#pragma once

#include <QString>
#include <QStringList>
#include <QTemporaryDir>

namespace testsupport {

// Fresh copies of the stopped demonstration PostgreSQL server in templateFolder (the
// folder scripts/pg-server made), one per alias, each running while this lives, on a
// socket in its own folder and on no network port. Run as root, the servers run as
// the user postgres, as the script runs them.
class PostgreSqlServer {
public:
    PostgreSqlServer(const QString &templateFolder, const QStringList &aliases);
    ~PostgreSqlServer();
    PostgreSqlServer(const PostgreSqlServer &) = delete;
    PostgreSqlServer &operator=(const PostgreSqlServer &) = delete;

    // Further copies under other aliases.
    void add(const QStringList &aliases);

    // The servers file's groups for the aliases.
    QString serversFileText() const;
    QString socketFolder(const QString &alias) const;

private:
    QStringList serverCommand(const QStringList &command) const;
    void run(const QList<QStringList> &commands, bool mustSucceed) const;

    QString m_bin;
    QString m_template;
    QStringList m_aliases;
    QTemporaryDir m_dir;
    bool m_asPostgres = false;
    qint64 m_watcher = 0;
};

} // namespace testsupport
