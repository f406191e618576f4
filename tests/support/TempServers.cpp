#include "TempServers.h"

#include "PostgreSqlServer.h"

#include "platform/db/DbError.h"
#include "platform/db/Field.h"
#include "platform/embedded/EmbeddedServer.h"

#include <QDir>
#include <QFile>
#include <QTest>

namespace testsupport {

namespace {

// The demonstration servers are made once per test program and copied for each use.
const QString &templateFolder()
{
    static QTemporaryDir dir;
    static bool made = false;
    if (!made) {
        for (const char *alias : {"LIVE", "TEST"}) {
            const QString folder = dir.filePath(QLatin1String(alias));
            embedded::EmbeddedServer::create(folder, embedded::EmbeddedServer::Content::Demo);
        }
        made = true;
    }
    static const QString path = dir.path();
    return path;
}

void copyFolder(const QString &from, const QString &to)
{
    QDir().mkpath(to);
    const QDir source(from);
    for (const QString &name : source.entryList(QDir::Files))
        QFile::copy(source.filePath(name), QDir(to).filePath(name));
}

} // namespace

TempServers::TempServers()
    : m_oldData(qgetenv("USERPR_DATA")), m_oldConfig(qgetenv("XDG_CONFIG_HOME"))
{
    embedded::EmbeddedServer::registerKind();
    QDir().mkpath(m_dir.filePath(QStringLiteral("config")));
    if (onPostgreSql()) {
        QDir().mkpath(dataFolder());
        m_postgreSql = std::make_unique<PostgreSqlServer>(qEnvironmentVariable("USERPR_TEST_POSTGRESQL"),
                                                          QStringList{QStringLiteral("LIVE"), QStringLiteral("TEST")});
        writeServersFile(m_postgreSql->serversFileText());
    } else {
        for (const char *alias : {"LIVE", "TEST"})
            copyFolder(QDir(templateFolder()).filePath(QLatin1String(alias)), serverFolder(QLatin1String(alias)));
    }
    qputenv("USERPR_DATA", dataFolder().toUtf8());
    qputenv("XDG_CONFIG_HOME", m_dir.filePath(QStringLiteral("config")).toUtf8());
}

void TempServers::addServer(const QString &alias)
{
    if (m_postgreSql) {
        m_postgreSql->add({alias});
        writeServersFile(m_postgreSql->serversFileText());
    } else {
        copyFolder(QDir(templateFolder()).filePath(QStringLiteral("TEST")), serverFolder(alias));
    }
}

bool TempServers::onPostgreSql()
{
    return !qEnvironmentVariableIsEmpty("USERPR_TEST_POSTGRESQL");
}

TempServers::~TempServers()
{
    qputenv("USERPR_DATA", m_oldData);
    qputenv("XDG_CONFIG_HOME", m_oldConfig);
}

QString TempServers::dataFolder() const
{
    return m_dir.filePath(QStringLiteral("data"));
}

QString TempServers::serverFolder(const QString &alias) const
{
    return dataFolder() + QLatin1Char('/') + alias;
}

QString TempServers::serversFile() const
{
    return m_dir.filePath(QStringLiteral("config/Userpr/servers.ini"));
}

void TempServers::writeServersFile(const QString &text) const
{
    QDir().mkpath(QFileInfo(serversFile()).path());
    QFile file(serversFile());
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        QTest::qFail("cannot write the servers file", __FILE__, __LINE__);
    file.write(text.toUtf8());
}

std::unique_ptr<db::Connection> TempServers::connect(const QString &user, const QString &password,
                                                     const QString &alias) const
{
    auto connection = std::make_unique<db::Connection>(QStringLiteral("TEST"));
    connection->params().setValue(QStringLiteral("SERVER NAME"), alias);
    connection->params().setValue(QStringLiteral("USER NAME"), user);
    connection->params().setValue(QStringLiteral("PASSWORD"), password);
    connection->open();
    return connection;
}

bool isServerError(const QString &text, const QString &oracleCode, const QString &postgreSql)
{
    return TempServers::onPostgreSql() ? text.contains(postgreSql) : text.startsWith(oracleCode);
}

QString insertionOrder()
{
    return TempServers::onPostgreSql() ? QStringLiteral("ctid") : QStringLiteral("rowid");
}

QStringList column(db::Connection &connection, const QString &sql)
{
    QStringList values;
    const db::ResultSet rs = connection.backend().select(sql, {});
    for (const db::Row &row : rs.rows)
        values.append(db::Field::textOf(row.value(0), rs.columns.value(0).type));
    return values;
}

int countRows(db::Connection &connection, const QString &sql)
{
    return int(connection.backend().select(sql, {}).rows.size());
}

bool holdsExecute(const TempServers &servers, const QString &user, const QString &unit, const QString &alias)
{
    auto owner = servers.connect(QStringLiteral("vortalix"), QStringLiteral("lumivar"), alias);
    try {
        owner->backend().execute(QStringLiteral("revoke execute on vortalix.%1 from %2").arg(unit, user), {});
    } catch (const db::DbError &) {
        return false;
    }
    owner->backend().execute(QStringLiteral("grant execute on vortalix.%1 to %2").arg(unit, user), {});
    return true;
}

} // namespace testsupport
