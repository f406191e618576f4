#pragma once

#include "platform/db/Connection.h"

#include <QString>
#include <QTemporaryDir>

#include <memory>

namespace testsupport {

// A private data folder holding fresh copies of the demonstration servers LIVE and TEST.
// While it lives, USERPR_DATA and the user's configuration folder point into it, so
// every connection of the program and of userpr-db finds these servers and no others.
class TempServers {
public:
    TempServers();
    ~TempServers();
    TempServers(const TempServers &) = delete;
    TempServers &operator=(const TempServers &) = delete;

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
};

// Runs a statement as the connection's login and returns the first column of every row.
QStringList column(db::Connection &connection, const QString &sql);
// The number of rows a statement yields.
int countRows(db::Connection &connection, const QString &sql);

} // namespace testsupport
