#include "platform/embedded/EmbeddedServer.h"

#include "platform/db/AccountStatement.h"
#include "platform/db/DbError.h"
#include "platform/db/ServerDirectory.h"
#include "platform/embedded/Dictionary.h"
#include "platform/embedded/EmbeddedBackend.h"
#include "platform/embedded/ServerErrors.h"
#include "platform/embedded/Sqlite.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <sqlite3.h>

namespace embedded {

namespace {

const char *const dictionaryFile = "_dictionary.sqlite";

QString resourceText(const QString &name)
{
    QFile file(QStringLiteral(":/schema/embedded/") + name);
    if (!file.open(QIODevice::ReadOnly))
        throw db::DbError(QStringLiteral("The server's script %1 is missing from the program").arg(name));
    return QString::fromUtf8(file.readAll());
}

// Statements of a script, each ended by ';' at the end of a line.
QStringList statementsOf(const QString &script)
{
    QStringList statements;
    QString current;
    for (const QString &line : script.split(QLatin1Char('\n'))) {
        const QString trimmed = line.trimmed();
        if (current.isEmpty() && (trimmed.isEmpty() || trimmed.startsWith(QLatin1String("--"))))
            continue;
        if (trimmed.endsWith(QLatin1Char(';'))) {
            current += line.left(line.lastIndexOf(QLatin1Char(';')));
            statements.append(current);
            current.clear();
        } else {
            current += line + QLatin1Char('\n');
        }
    }
    if (!current.trimmed().isEmpty())
        statements.append(current);
    return statements;
}

} // namespace

QString EmbeddedServer::dictionaryPath(const QString &folder)
{
    return QDir(folder).filePath(QLatin1String(dictionaryFile));
}

QString EmbeddedServer::schemaFileName(const QString &owner)
{
    return owner.toUpper() + QStringLiteral(".sqlite");
}

bool EmbeddedServer::exists(const QString &folder)
{
    return QFileInfo(dictionaryPath(folder)).isFile();
}

bool EmbeddedServer::isPresent(const QString &folder)
{
    const QFileInfo info(folder);
    if (!info.exists())
        return false;
    if (!info.isDir() || !info.isReadable() || !info.isExecutable())
        return true;
    return exists(folder) || !QDir(folder).isEmpty(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden | QDir::System);
}

void EmbeddedServer::checkFiles(const QString &folder)
{
    const QFileInfo info(folder);
    const QString dictionary = dictionaryPath(folder);
    if (!info.exists())
        throw db::DbError(QStringLiteral("There is no embedded server in %1").arg(folder));
    if (!info.isDir()) {
        throw serverError(errors::DataFileMissing, QStringLiteral("cannot identify/lock data file %1 (%2 is not a folder)")
                                                       .arg(dictionary, folder));
    }
    QFile file(dictionary);
    if (!file.open(QIODevice::ReadOnly)) {
        throw serverError(errors::DataFileMissing, QStringLiteral("cannot identify/lock data file %1 (%2)")
                                                       .arg(dictionary, file.errorString()));
    }
    if (!QFileInfo(dictionary).isFile()) {
        throw serverError(errors::DataFileMissing, QStringLiteral("cannot identify/lock data file %1 (not a file)")
                                                       .arg(dictionary));
    }
}

void EmbeddedServer::create(const QString &folder, Content content)
{
    const QFileInfo target(folder);
    if (target.exists() && (!target.isDir() || !QDir(folder).isEmpty()))
        throw db::DbError(QStringLiteral("%1 already exists; a server is created only in a new folder").arg(folder));
    // Built beside its place and moved there when complete.
    const QString building = folder + QStringLiteral(".creating");
    QDir(building).removeRecursively();
    if (!QDir().mkpath(building))
        throw db::DbError(QStringLiteral("Cannot create the folder %1").arg(building));
    // The dictionary holds password hashes: the folder is its owner's alone.
    QFile::setPermissions(building, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    try {
        {
            SqliteFile dictionaryDb(dictionaryPath(building), true);
            runScript(dictionaryDb.handle(), resourceText(QStringLiteral("dictionary.sql")));
            Dictionary dictionary(dictionaryDb.handle(), QStringLiteral("main"));
            dictionary.createAccount(QStringLiteral("SYSTEM"), QStringLiteral("manager"),
                                     QStringLiteral("SYSTEM"), QStringLiteral("TEMP"));
            for (const char *role : {"DBA", "CONNECT", "RESOURCE"})
                dictionary.grantRole(QStringLiteral("SYSTEM"), QLatin1String(role), true);
            dictionary.createAccount(QStringLiteral("VORTALIX"), QStringLiteral("lumivar"),
                                     QStringLiteral("USERS"), QStringLiteral("TEMP"));
            // The schema owner hands out the roles new accounts get.
            for (const char *role : {"CONNECT", "RESOURCE", "DEALER"})
                dictionary.grantRole(QStringLiteral("VORTALIX"), QLatin1String(role), true);
            dictionary.addSchemaFile(QStringLiteral("VORTALIX"), schemaFileName(QStringLiteral("VORTALIX")));
            runScript(dictionaryDb.handle(), resourceText(QStringLiteral("vortalix_units.sql")));
        }
        {
            SqliteFile schema(QDir(building).filePath(schemaFileName(QStringLiteral("VORTALIX"))), true);
            runScript(schema.handle(), resourceText(QStringLiteral("vortalix.sql")));
            runScript(schema.handle(), resourceText(QStringLiteral("history.sql")));
        }
        // The demonstration data goes in before the server is in its place, so no one ever
        // finds a half-loaded server there.
        if (content == Content::Demo)
            loadDemo(building);
        if (target.exists())
            QDir(folder).removeRecursively();
        if (!QDir().rename(building, folder))
            throw db::DbError(QStringLiteral("Cannot move the new server to %1").arg(folder));
    } catch (...) {
        QDir(building).removeRecursively();
        throw;
    }
}

void EmbeddedServer::loadDemo(const QString &folder)
{
    checkFiles(folder);
    {
        const QString path = QDir(folder).filePath(schemaFileName(QStringLiteral("VORTALIX")));
        onServerFile(path, [&] {
            SqliteFile schema(path);
            runScript(schema.handle(), QStringLiteral("begin;") + resourceText(QStringLiteral("demo.sql"))
                                           + QStringLiteral("commit;"));
        });
    }
    // The accounts go through the server's own statements, as an administrator makes them.
    EmbeddedBackend session(folder);
    session.open(QStringLiteral("SYSTEM"), QStringLiteral("manager"));
    for (const QString &statement : statementsOf(resourceText(QStringLiteral("demo_accounts.sql"))))
        session.execute(statement, {});
    session.close();
}

bool EmbeddedServer::addHistory(const QString &folder)
{
    checkFiles(folder);
    const QString path = QDir(folder).filePath(schemaFileName(QStringLiteral("VORTALIX")));
    return onServerFile(path, [&] {
        SqliteFile schema(path);
        {
            SqliteStatement present(schema.handle(), QStringLiteral(
                "select count(*) from sqlite_master where type = 'table' and name = 'grant_history'"));
            if (present.step() && present.integer(0) > 0)
                return false;
        }
        runScript(schema.handle(), QStringLiteral("begin;") + resourceText(QStringLiteral("history.sql"))
                                       + QStringLiteral("commit;"));
        return true;
    });
}

void EmbeddedServer::registerKind()
{
    db::ServerDirectory::registerKind({QLatin1String(kindName), &EmbeddedServer::isPresent, &EmbeddedServer::checkFiles,
                                       [](const QString &folder) -> std::unique_ptr<db::Backend> {
                                           return std::make_unique<EmbeddedBackend>(folder);
                                       }});
}

void EmbeddedServer::setPassword(const QString &folder, const QString &user, const QString &password)
{
    checkFiles(folder);
    if (password.isEmpty())
        throw db::DbError(QStringLiteral("A password may not be empty"));
    const QString path = dictionaryPath(folder);
    onServerFile(path, [&] {
        SqliteFile dictionaryDb(path);
        Dictionary dictionary(dictionaryDb.handle(), QStringLiteral("main"));
        const QString name = db::names::fromTyped(user);
        if (!dictionary.accountExists(name))
            throw serverError(errors::NoSuchUser, QStringLiteral("user '%1' does not exist").arg(name));
        dictionary.setPassword(name, password);
    });
}

} // namespace embedded
