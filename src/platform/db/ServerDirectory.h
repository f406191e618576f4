#pragma once

#include "platform/db/Backend.h"

#include <QString>

#include <functional>
#include <memory>
#include <optional>

namespace db {

// Where a server alias leads: a Qt SQL driver with its settings, or the folder of a
// server of a registered kind.
struct ServerEntry {
    QString alias;
    QString kind;         // the registered kind of a server in a folder; empty for a driver
    QString folder;       // the folder of a server of a registered kind
    QString driver;       // QOCI, QODBC, QPSQL, ...
    QString databaseName; // TNS name, DSN or database
    QString host;
    int port = -1;
    QString options;      // the driver's connect options
};

// A kind of server that is a folder rather than a Qt SQL driver's connection, as the
// embedded server is: how to find a server of the kind and how to make a session on one.
// A kind makes itself known with ServerDirectory::registerKind; the engine names none.
struct ServerKindEntry {
    QString name; // as the servers file's driver names it
    // Whether something stands in the folder, whole or not; no folder, or an empty one,
    // is no server.
    std::function<bool(const QString &folder)> isPresent;
    // Throws DbError naming what keeps the server in the folder from being used.
    std::function<void(const QString &folder)> checkFiles;
    std::function<std::unique_ptr<Backend>(const QString &folder)> createBackend;
};

// Maps server aliases to backends. The servers file (an ini file, one group per alias)
// names the Qt SQL driver of an alias; an alias without a group is an embedded server
// in the data folder, of the first registered kind that finds one there. An alias that
// resolves nowhere is an error: nothing is created.
class ServerDirectory {
public:
    // The user's configuration and data folders; USERPR_DATA points the data folder
    // elsewhere. Both are read anew at every resolution.
    ServerDirectory() = default;
    ServerDirectory(const QString &serversFile, const QString &dataFolder);

    static const ServerDirectory &standard();

    // Makes a kind of server known to every directory; a kind registered again under its
    // name replaces the earlier one.
    static void registerKind(ServerKindEntry kind);

    QString serversFile() const;
    QString dataFolder() const;

    // A server name is letters, digits and . _ $ # -, starting with a letter.
    static bool isValidAlias(const QString &alias);
    // The folder in the data folder a server of that alias has, or would have.
    QString embeddedFolder(const QString &alias) const;

    std::optional<ServerEntry> find(const QString &alias) const;
    ServerEntry resolve(const QString &alias) const; // throws DbError
    std::unique_ptr<Backend> createBackend(const QString &alias) const;

private:
    QString m_serversFile;
    QString m_dataFolder;
};

} // namespace db
