#include "app/DemoServers.h"

#include "data/Connections.h"
#include "platform/controls/Messages.h"
#include "platform/db/DbError.h"
#include "platform/embedded/EmbeddedServer.h"

#include <QDir>

namespace demoservers {

QStringList missing(const db::ServerDirectory &directory)
{
    const QStringList servers{connections::CentralServer, connections::SecondServer};
    for (const QString &server : servers) {
        if (directory.find(server))
            return {};
    }
    return servers;
}

void offer(const db::ServerDirectory &directory)
{
    const QStringList servers = missing(directory);
    if (servers.isEmpty())
        return;
    const QString question =
        QStringLiteral("Userpr knows no server yet.\n\n"
                       "Create the demonstration servers %1 in %2?\n"
                       "Their logins are listed in the manual page (man Userpr).\n\n"
                       "Later the console creates one: userpr-db init %3 --demo")
            .arg(servers.join(QStringLiteral(" and ")), QDir::toNativeSeparators(directory.dataFolder()),
                 servers.first());
    if (!controls::Messages::askYesNo(question))
        return;
    try {
        for (const QString &server : servers)
            embedded::EmbeddedServer::create(directory.embeddedFolder(server), embedded::EmbeddedServer::Content::Demo);
    } catch (const db::DbError &e) {
        controls::Messages::error(e.text());
    }
}

} // namespace demoservers
