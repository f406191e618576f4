#include "platform/db/ServerDirectory.h"

#include "platform/db/DbError.h"
#include "platform/db/QtSqlBackend.h"
#include "platform/embedded/EmbeddedBackend.h"
#include "platform/embedded/EmbeddedServer.h"

#include <QDir>
#include <QFileInfo>
#include <QRegularExpression>
#include <QSettings>
#include <QStandardPaths>

namespace db {

ServerDirectory::ServerDirectory(const QString &serversFile, const QString &dataFolder)
    : m_serversFile(serversFile), m_dataFolder(dataFolder)
{
}

const ServerDirectory &ServerDirectory::standard()
{
    static const ServerDirectory directory;
    return directory;
}

QString ServerDirectory::serversFile() const
{
    if (!m_serversFile.isEmpty())
        return m_serversFile;
    return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation)
           + QStringLiteral("/Userpr/servers.ini");
}

QString ServerDirectory::dataFolder() const
{
    if (!m_dataFolder.isEmpty())
        return m_dataFolder;
    const QString fromEnv = qEnvironmentVariable("USERPR_DATA");
    if (!fromEnv.isEmpty())
        return QDir::cleanPath(fromEnv);
    return QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation)
           + QStringLiteral("/Userpr");
}

bool ServerDirectory::isValidAlias(const QString &alias)
{
    static const QRegularExpression pattern(QStringLiteral("^[A-Za-z][A-Za-z0-9_.$#-]{0,63}$"));
    return pattern.match(alias).hasMatch() && !alias.contains(QLatin1String(".."));
}

QString ServerDirectory::embeddedFolder(const QString &alias) const
{
    return dataFolder() + QLatin1Char('/') + alias.toUpper();
}

std::optional<ServerEntry> ServerDirectory::find(const QString &alias) const
{
    if (!isValidAlias(alias))
        return std::nullopt;
    const QString file = serversFile();
    if (QFileInfo::exists(file)) {
        QSettings settings(file, QSettings::IniFormat);
        const QStringList groups = settings.childGroups();
        for (const QString &group : groups) {
            if (group.compare(alias, Qt::CaseInsensitive) != 0)
                continue;
            settings.beginGroup(group);
            ServerEntry e;
            e.alias = alias;
            e.driver = settings.value(QStringLiteral("driver")).toString().trimmed();
            e.databaseName = settings.value(QStringLiteral("database")).toString();
            e.host = settings.value(QStringLiteral("host")).toString();
            e.port = settings.value(QStringLiteral("port"), -1).toInt();
            e.options = settings.value(QStringLiteral("options")).toString();
            if (e.driver.compare(QLatin1String("embedded"), Qt::CaseInsensitive) == 0) {
                e.embedded = true;
                e.folder = settings.value(QStringLiteral("folder")).toString();
                if (e.folder.isEmpty())
                    e.folder = embeddedFolder(alias);
            }
            return e;
        }
    }
    // A folder that is there but cannot be used is still the server of that name: opening
    // it says what is wrong with it, rather than that no such server is known.
    const QString folder = embeddedFolder(alias);
    if (embedded::EmbeddedServer::isPresent(folder)) {
        ServerEntry e;
        e.alias = alias;
        e.embedded = true;
        e.folder = folder;
        return e;
    }
    return std::nullopt;
}

ServerEntry ServerDirectory::resolve(const QString &alias) const
{
    if (alias.trimmed().isEmpty())
        throw DbError(QStringLiteral("No server is named"));
    if (!isValidAlias(alias))
        throw DbError(QStringLiteral("'%1' is not a valid server name").arg(alias));
    std::optional<ServerEntry> e = find(alias);
    if (!e) {
        throw DbError(QStringLiteral("Server '%1' is not known: it is not configured in %2 and "
                                     "there is no embedded server in %3")
                          .arg(alias, serversFile(), embeddedFolder(alias)));
    }
    if (!e->embedded && e->driver.isEmpty())
        throw DbError(QStringLiteral("Server '%1' in %2 names no driver").arg(alias, serversFile()));
    if (e->embedded && !QFileInfo::exists(e->folder))
        throw DbError(QStringLiteral("Server '%1': there is no embedded server in %2").arg(alias, e->folder));
    if (e->embedded)
        embedded::EmbeddedServer::checkFiles(e->folder);
    return *e;
}

std::unique_ptr<Backend> ServerDirectory::createBackend(const QString &alias) const
{
    const ServerEntry e = resolve(alias);
    if (e.embedded)
        return std::make_unique<embedded::EmbeddedBackend>(e.folder);
    return std::make_unique<QtSqlBackend>(e);
}

} // namespace db
