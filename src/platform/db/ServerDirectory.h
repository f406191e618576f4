#pragma once

#include "platform/db/Backend.h"

#include <QString>

#include <memory>
#include <optional>

namespace db {

// Where a server alias leads: a Qt SQL driver with its settings, or an embedded server
// folder.
struct ServerEntry {
    QString alias;
    bool embedded = false;
    QString folder;       // embedded: the server's folder
    QString driver;       // QOCI, QODBC, QPSQL, ...
    QString databaseName; // TNS name, DSN or database
    QString host;
    int port = -1;
    QString options;      // the driver's connect options
};

// Maps server aliases to backends. The servers file (an ini file, one group per alias)
// names the Qt SQL driver of an alias; an alias without a group is an embedded server
// in the data folder. An alias that resolves nowhere is an error: nothing is created.
class ServerDirectory {
public:
    // The user's configuration and data folders; USERPR_DATA points the data folder
    // elsewhere. Both are read anew at every resolution.
    ServerDirectory() = default;
    ServerDirectory(const QString &serversFile, const QString &dataFolder);

    static const ServerDirectory &standard();

    QString serversFile() const;
    QString dataFolder() const;

    // A server name is letters, digits and . _ $ # -, starting with a letter.
    static bool isValidAlias(const QString &alias);
    // The folder an embedded server of that alias has, or would have.
    QString embeddedFolder(const QString &alias) const;

    std::optional<ServerEntry> find(const QString &alias) const;
    ServerEntry resolve(const QString &alias) const; // throws DbError
    std::unique_ptr<Backend> createBackend(const QString &alias) const;

private:
    QString m_serversFile;
    QString m_dataFolder;
};

} // namespace db
