#pragma once

#include <QString>

namespace embedded {

// An embedded server is a folder: the dictionary file and one SQLite file per schema
// owner. These are the maintenance operations an administrator of the server runs
// without logging in; everything else goes through a session (EmbeddedBackend).
class EmbeddedServer {
public:
    // How the servers file names the kind ("driver=embedded").
    static constexpr const char *kindName = "embedded";
    // Makes embedded servers known to the engine's server directory: an alias without an
    // entry in the servers file is then an embedded server in the data folder. Called
    // once at start by every program that serves them; calling it again changes nothing.
    static void registerKind();

    static QString dictionaryPath(const QString &folder);
    static QString schemaFileName(const QString &owner);
    static bool exists(const QString &folder);
    // Whether something stands where the server would be, whole or not: the folder holds
    // anything, cannot be read, or is not a folder. No folder, or an empty one, is no server.
    static bool isPresent(const QString &folder);
    // Throws the server's error that names what keeps the server in the folder from
    // being used: no folder, not a folder, a dictionary file missing or unreadable.
    static void checkFiles(const QString &folder);

    enum class Content { Empty, Demo };
    // Creates a server with the administration schema, the roles CONNECT, RESOURCE, DBA,
    // DEALER and DEALER2, and the accounts SYSTEM (password "manager", holds DBA) and
    // VORTALIX (password "lumivar", owner of the schema), and with the demonstration data
    // when asked. The server is built beside the folder and moved there complete: fails
    // when the folder already holds anything; a failed or interrupted creation leaves
    // nothing in the folder.
    static void create(const QString &folder, Content content = Content::Empty);
    // Loads the demonstration companies, programs, accounts and grants into a server.
    static void loadDemo(const QString &folder);
    // Adds the history of grants to the schema of a server made before it was part of the
    // schema. Returns false, changing nothing, when the server keeps it already.
    static bool addHistory(const QString &folder);
    // Sets an account's password; throws when there is no such account.
    static void setPassword(const QString &folder, const QString &user, const QString &password);
};

} // namespace embedded
