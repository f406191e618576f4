#include "PostgreSqlServer.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QStorageInfo>

#include <memory>

#include <csignal>
#include <pwd.h>
#include <unistd.h>

namespace testsupport {

namespace {

QString logTail(const QString &file)
{
    QFile f(file);
    if (!f.open(QIODevice::ReadOnly))
        return QStringLiteral("(no log)");
    const QByteArray text = f.readAll();
    return QString::fromUtf8(text.right(2000));
}

// Where the copies go: beside the template, or in memory where the machine has room,
// since a copy of a server on a busy disk costs a second.
QString fixtureParent(const QString &templateFolder)
{
    const QString base = QFileInfo(templateFolder).absolutePath();
    const QStorageInfo memory(QStringLiteral("/dev/shm"));
    if (!memory.isValid() || !memory.isReady() || memory.isReadOnly() || memory.bytesAvailable() < (qint64(1) << 30))
        return base;
    const QString fast = QStringLiteral("/dev/shm/") + QFileInfo(base).fileName();
    if (!QDir().mkpath(fast))
        return base;
    QFile::setPermissions(fast, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner
                                    | QFileDevice::ReadGroup | QFileDevice::ExeGroup | QFileDevice::ReadOther
                                    | QFileDevice::ExeOther);
    return fast;
}

} // namespace

PostgreSqlServer::PostgreSqlServer(const QString &templateFolder, const QStringList &aliases)
    : m_dir(fixtureParent(templateFolder) + QStringLiteral("/fixture-XXXXXX"))
{
    const QString templateData = templateFolder + QStringLiteral("/data");
    QFile version(templateData + QStringLiteral("/PG_VERSION"));
    if (!m_dir.isValid() || !version.open(QIODevice::ReadOnly))
        qFatal("There is no PostgreSQL server in %s to copy", qPrintable(templateFolder));
    m_bin = qEnvironmentVariable("USERPR_PG_BIN");
    if (m_bin.isEmpty())
        m_bin = QStringLiteral("/usr/lib/postgresql/%1/bin").arg(QString::fromLatin1(version.readAll().trimmed()));
    // The server refuses to run as root.
    if (geteuid() == 0) {
        const passwd *pw = getpwnam("postgres");
        if (!pw)
            qFatal("The servers run as the user postgres, which does not exist");
        if (chown(QFile::encodeName(m_dir.path()).constData(), pw->pw_uid, pw->pw_gid) != 0)
            qFatal("Cannot give %s to the user postgres", qPrintable(m_dir.path()));
        m_asPostgres = true;
    }
    m_template = templateData;
    // Should this process end without its destructors (a crash, an abort), a watcher stops
    // the servers and removes their copies all the same.
    const QString pg_ctl = serverCommand({m_bin + QStringLiteral("/pg_ctl")}).join(QLatin1Char(' '));
    const QString watch = QStringLiteral(
        "while kill -0 %1 2>/dev/null; do sleep 0.5; done; "
        "for pid in \"$0\"/*/postmaster.pid; do [ -f \"$pid\" ] && %2 -D \"${pid%/*}\" -m immediate -w -s stop; done; "
        "rm -rf \"$0\"").arg(QCoreApplication::applicationPid()).arg(pg_ctl);
    QProcess watcher;
    watcher.setProgram(QStringLiteral("sh"));
    watcher.setArguments({QStringLiteral("-c"), watch, m_dir.path()});
    watcher.setStandardInputFile(QProcess::nullDevice());
    watcher.setStandardOutputFile(QProcess::nullDevice());
    watcher.setStandardErrorFile(QProcess::nullDevice());
    if (!watcher.startDetached(&m_watcher))
        qFatal("Cannot watch over the servers of %s", qPrintable(m_dir.path()));
    add(aliases);
}

void PostgreSqlServer::add(const QStringList &aliases)
{
    QList<QStringList> copies;
    for (const QString &alias : aliases)
        copies.append({QStringLiteral("cp"), QStringLiteral("-a"), m_template, m_dir.filePath(alias)});
    run(copies, true);
    QList<QStringList> starts;
    for (const QString &alias : aliases) {
        const QString folder = m_dir.filePath(alias);
        QFile::remove(folder + QStringLiteral("/server.log"));
        QFile conf(folder + QStringLiteral("/postgresql.conf"));
        if (!conf.open(QIODevice::Append))
            qFatal("Cannot configure the server in %s", qPrintable(folder));
        // A server of one test: reached on its socket alone, and nothing is kept safe
        // against a crash of the machine.
        conf.write(QStringLiteral("\nlisten_addresses = ''\nunix_socket_directories = '%1'\nport = 5432\n"
                                  "fsync = off\nsynchronous_commit = off\nfull_page_writes = off\n")
                       .arg(folder)
                       .toUtf8());
        conf.close();
        starts.append(serverCommand({m_bin + QStringLiteral("/pg_ctl"), QStringLiteral("-D"), folder, QStringLiteral("-l"),
                                     folder + QStringLiteral("/server.log"), QStringLiteral("-w"), QStringLiteral("-s"),
                                     QStringLiteral("start")}));
        m_aliases.append(alias);
    }
    run(starts, true);
}

PostgreSqlServer::~PostgreSqlServer()
{
    QList<QStringList> stops;
    for (const QString &alias : std::as_const(m_aliases)) {
        const QString folder = m_dir.filePath(alias);
        if (QFileInfo::exists(folder + QStringLiteral("/postmaster.pid")))
            stops.append(serverCommand({m_bin + QStringLiteral("/pg_ctl"), QStringLiteral("-D"), folder, QStringLiteral("-m"),
                                        QStringLiteral("immediate"), QStringLiteral("-w"), QStringLiteral("-s"),
                                        QStringLiteral("stop")}));
    }
    run(stops, false);
    if (m_watcher > 0)
        ::kill(pid_t(m_watcher), SIGTERM);
}

QString PostgreSqlServer::serversFileText() const
{
    QString text;
    for (const QString &alias : m_aliases) {
        text += QStringLiteral("[%1]\ndriver=QPSQL\nhost=%2\nport=5432\ndatabase=vortalix\n\n")
                    .arg(alias, socketFolder(alias));
    }
    return text;
}

QString PostgreSqlServer::socketFolder(const QString &alias) const
{
    return m_dir.filePath(alias);
}

QStringList PostgreSqlServer::serverCommand(const QStringList &command) const
{
    if (!m_asPostgres)
        return command;
    return QStringList{QStringLiteral("runuser"), QStringLiteral("-u"), QStringLiteral("postgres"), QStringLiteral("--")}
           + command;
}

// Runs the commands side by side and waits for all of them.
void PostgreSqlServer::run(const QList<QStringList> &commands, bool mustSucceed) const
{
    std::vector<std::unique_ptr<QProcess>> processes;
    for (const QStringList &command : commands) {
        auto p = std::make_unique<QProcess>();
        p->setProcessChannelMode(QProcess::MergedChannels);
        p->start(command.first(), command.mid(1));
        processes.push_back(std::move(p));
    }
    for (std::size_t i = 0; i < processes.size(); ++i) {
        QProcess &p = *processes[i];
        const bool done = p.waitForFinished(60000) && p.exitStatus() == QProcess::NormalExit && p.exitCode() == 0;
        if (!done && mustSucceed) {
            const QStringList &command = commands.at(qsizetype(i));
            const QString log = command.contains(QStringLiteral("start"))
                                    ? logTail(command.at(command.indexOf(QStringLiteral("-l")) + 1))
                                    : QString();
            qFatal("%s failed: %s %s", qPrintable(command.join(QLatin1Char(' '))),
                   p.readAll().constData(), qPrintable(log));
        }
    }
}

} // namespace testsupport
