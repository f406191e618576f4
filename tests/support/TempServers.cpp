#include "TempServers.h"

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
    for (const char *alias : {"LIVE", "TEST"})
        copyFolder(QDir(templateFolder()).filePath(QLatin1String(alias)), serverFolder(QLatin1String(alias)));
    QDir().mkpath(m_dir.filePath(QStringLiteral("config")));
    qputenv("USERPR_DATA", dataFolder().toUtf8());
    qputenv("XDG_CONFIG_HOME", m_dir.filePath(QStringLiteral("config")).toUtf8());
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

} // namespace testsupport
