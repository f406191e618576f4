#pragma once

#include <QString>

namespace embedded {

// An embedded server is a folder: the dictionary file and one SQLite file per schema
// owner. These are the maintenance operations an administrator of the server runs
// without logging in; everything else goes through a session (EmbeddedBackend).
class EmbeddedServer {
public:
    static QString dictionaryPath(const QString &folder);
    static QString schemaFileName(const QString &owner);
    static bool exists(const QString &folder);

    // Creates a server with the administration schema, the roles CONNECT, RESOURCE, DBA,
    // DEALER and DEALER2, and the accounts SYSTEM (password "manager", holds DBA) and
    // VORTALIX (password "lumivar", owner of the schema). Fails when the folder already
    // holds anything; a failed creation leaves nothing behind.
    static void create(const QString &folder);
    // Loads the demonstration companies, programs, accounts and grants.
    static void loadDemo(const QString &folder);
    // Sets an account's password; throws when there is no such account.
    static void setPassword(const QString &folder, const QString &user, const QString &password);
};

} // namespace embedded
