#include "platform/db/ServerDirectory.h"

#include "platform/db/DbError.h"
#include "platform/db/QtSqlBackend.h"

#include <QDir>
#include <QFileInfo>
#include <QRegularExpression>
#include <QSettings>
#include <QStandardPaths>

#include <vector>

namespace db {

namespace {

std::vector<ServerKindEntry> &kinds()
{
    static std::vector<ServerKindEntry> registered;
    return registered;
}

const ServerKindEntry *kindNamed(const QString &name)
{
    for (const ServerKindEntry &k : kinds()) {
        if (k.name.compare(name, Qt::CaseInsensitive) == 0)
            return &k;
    }
    return nullptr;
}

} // namespace

void ServerDirectory::registerKind(ServerKindEntry kind)
{
    for (ServerKindEntry &k : kinds()) {
        if (k.name.compare(kind.name, Qt::CaseInsensitive) == 0) {
            k = std::move(kind);
            return;
        }
    }
    kinds().push_back(std::move(kind));
}

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
            if (const ServerKindEntry *kind = kindNamed(e.driver)) {
                e.kind = kind->name;
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
    for (const ServerKindEntry &kind : kinds()) {
        if (kind.isPresent(folder)) {
            ServerEntry e;
            e.alias = alias;
            e.kind = kind.name;
            e.folder = folder;
            return e;
        }
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
    if (e->kind.isEmpty()) {
        if (e->driver.isEmpty())
            throw DbError(QStringLiteral("Server '%1' in %2 names no driver").arg(alias, serversFile()));
        return *e;
    }
    if (!QFileInfo::exists(e->folder))
        throw DbError(QStringLiteral("Server '%1': there is no %2 server in %3").arg(alias, e->kind, e->folder));
    kindNamed(e->kind)->checkFiles(e->folder);
    return *e;
}

std::unique_ptr<Backend> ServerDirectory::createBackend(const QString &alias) const
{
    const ServerEntry e = resolve(alias);
    if (!e.kind.isEmpty())
        return kindNamed(e.kind)->createBackend(e.folder);
    return std::make_unique<QtSqlBackend>(e);
}

} // namespace db
