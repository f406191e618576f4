#include "PgBankServer.h"

#include "platform/db/DbError.h"
#include "platform/db/PostgreSqlKind.h"

#include <QDir>
#include <QFile>
#include <QProcess>

#ifndef USERPR_SOURCE_DIR
#error "USERPR_SOURCE_DIR names the project's folder, whose scripts make the cluster"
#endif

namespace bench {

namespace {

const QString host = QStringLiteral("127.0.0.1");

// Runs the script; what it says is shown only when it fails.
void runScript(const QString &script, const QStringList &arguments)
{
    QProcess p;
    p.setProcessChannelMode(QProcess::MergedChannels);
    p.start(script, arguments);
    if (!p.waitForFinished(600000) || p.exitStatus() != QProcess::NormalExit || p.exitCode() != 0)
        throw db::DbError(QStringLiteral("%1 %2 failed: %3")
                              .arg(script, arguments.join(QLatin1Char(' ')), QString::fromUtf8(p.readAll())));
}

QString readFile(const QString &path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        throw db::DbError(QStringLiteral("cannot read ") + path);
    return QString::fromUtf8(f.readAll()).trimmed();
}

QString quoted(const QString &name)
{
    return QLatin1Char('"') + QString(name).replace(QLatin1Char('"'), QStringLiteral("\"\"")) + QLatin1Char('"');
}

// A text array literal of plain names.
QString arrayOf(const QStringList &names)
{
    return QLatin1Char('{') + names.join(QLatin1Char(',')) + QLatin1Char('}');
}

} // namespace

PgCluster::PgCluster(const QString &folder)
    : m_folder(folder), m_script(QStringLiteral(USERPR_SOURCE_DIR "/scripts/pg-server"))
{
    runScript(m_script, {QStringLiteral("start"), m_folder, QStringLiteral("BANK")});
    try {
        m_port = readFile(QDir(m_folder).filePath(QStringLiteral("port"))).toInt();
        // Until analyse(): the statistics stay as the making of the bank leaves them.
        const auto session = superuser();
        session->exec(QStringLiteral("alter system set autovacuum = off"));
        session->exec(QStringLiteral("select pg_reload_conf()"));
    } catch (...) {
        stop();
        throw;
    }
}

PgCluster::~PgCluster()
{
    stop();
}

void PgCluster::stop() const
{
    try {
        runScript(m_script, {QStringLiteral("stop"), m_folder});
    } catch (const db::DbError &e) {
        qWarning("%s", qPrintable(e.text()));
    }
}

QString PgCluster::serversEntry(const QString &alias) const
{
    return QStringLiteral("[%1]\ndriver=QPSQL\nhost=%2\nport=%3\ndatabase=vortalix\n").arg(alias, host).arg(m_port);
}

std::unique_ptr<PgRawSession> PgCluster::login(const QString &user, const QString &password) const
{
    return std::make_unique<PgRawSession>(host, m_port, user, password);
}

std::unique_ptr<PgRawSession> PgCluster::superuser() const
{
    return login(QStringLiteral("postgres"), readFile(QDir(m_folder).filePath(QStringLiteral("superuser.password"))));
}

void PgCluster::analyse() const
{
    auto session = superuser();
    session->exec(QStringLiteral("vacuum analyze"));
    session->exec(QStringLiteral("alter system reset autovacuum"));
    session->exec(QStringLiteral("select pg_reload_conf()"));
}

BankServer makePgBankServer(const PgCluster &cluster, const BankShape &shape)
{
    BankServer s = planBank(shape);
    auto session = cluster.superuser();
    PgRawSession &db = *session;

    // The demonstration's rows and accounts go.
    db.exec(QStringLiteral("delete from vortalix.user_prog_db; delete from vortalix.vortalix_prog; "
                           "delete from vortalix.databases; delete from vortalix.v_sysparams; "
                           "delete from vortalix.personnel; delete from vortalix.customer; "
                           "alter sequence vortalix.vortalix_prog_seq restart with 1"));
    db.exec(QStringLiteral(
        "do $$ declare r record; begin "
        "for r in select rolname from pg_roles where rolcanlogin and not rolsuper and rolname not in ('system', 'vortalix') loop "
        "execute format('drop owned by %I', r.rolname); execute format('drop role %I', r.rolname); "
        "end loop; end $$"));

    // The accounts, as the account window's statements make them: a login role with the
    // verifier of one password, CONNECT and DEALER, and every tenth DEALER2 as well.
    const QString verifier = db::PostgreSqlKind::passwordVerifier(QStringLiteral("kevaro"), QByteArray("bank-bench-salt!"));
    const QStringList accounts = s.accounts();
    QStringList names;
    QStringList second;
    for (int i = 0; i < accounts.size(); ++i) {
        names.append(quoted(db::PostgreSqlKind::serverName(accounts.at(i))));
        if (i % 10 == 9)
            second.append(names.last());
    }
    constexpr int chunk = 500;
    for (qsizetype at = 0; at < names.size(); at += chunk) {
        QString script;
        for (const QString &name : names.mid(at, chunk))
            script += QStringLiteral("create role %1 login password '%2';\n").arg(name, verifier);
        db.exec(script);
        db.exec(QStringLiteral("grant connect, dealer to %1").arg(names.mid(at, chunk).join(QStringLiteral(", "))));
    }
    if (!second.isEmpty())
        db.exec(QStringLiteral("grant dealer2 to %1").arg(second.join(QStringLiteral(", "))));

    db.run(QStringLiteral(
               "insert into vortalix.v_sysparams (id, system_date, report_date, firma_nimi, company_name, v_company, db_name) "
               "select 1, timestamp '2024-05-31 00:00:00', timestamp '2024-05-30 00:00:00', "
               "'Vortalix FIRMA' || to_char(c, 'FM00') || ' AS', 'Vortalix FIRMA' || to_char(c, 'FM00') || ' Ltd', c, "
               "'FIRMA' || to_char(c, 'FM00') from generate_series(1, :companies) c"),
           {{QStringLiteral("companies"), shape.companies}});
    db.run(QStringLiteral("insert into vortalix.databases (database_id, db_name, connstr, webconnstr, nls_lang) "
                          "select c, 'FIRMA' || to_char(c, 'FM00'), 'FIRMA' || to_char(c, 'FM00') || '_L', "
                          "'http://firma' || to_char(c, 'FM00'), 'E' from generate_series(1, :companies) c"),
           {{QStringLiteral("companies"), shape.companies}});
    db.copyIn(QStringLiteral("copy vortalix.vortalix_prog (%1) from stdin").arg(QLatin1String(registerColumns)),
              registerRows(shape.programs));

    db.exec(QStringLiteral("begin; set local session_replication_role = replica"));
    const QString grant = QStringLiteral("insert into vortalix.user_prog_db (username, vortalix_prog_id, database_id, ordinal) ");
    db.run(grant + QStringLiteral("select u, cast(:program as numeric), 1, null from unnest(cast(:names as text[])) u"),
           {{QStringLiteral("program"), s.halfProgram}, {QStringLiteral("names"), arrayOf(s.half)}});
    db.run(grant + QStringLiteral("select u, cast(:program as numeric), 1, null from unnest(cast(:names as text[])) u"),
           {{QStringLiteral("program"), s.allProgram}, {QStringLiteral("names"), arrayOf(s.all)}});
    db.run(grant + QStringLiteral("select cast(:user as text), i, 2, 0 from generate_series(1, :count) i"),
           {{QStringLiteral("user"), s.copyUser}, {QStringLiteral("count"), s.copyGrants}});
    db.run(grant + QStringLiteral("select cast(:user as text), i, 1, 0 from generate_series(1, :count) i"),
           {{QStringLiteral("user"), s.reportUser}, {QStringLiteral("count"), s.reportGrants}});
    const qint64 rest = s.restGrants();
    if (rest > 0) {
        QStringList dealers;
        for (int i = 1; i <= shape.users; ++i)
            dealers.append(BankServer::userName(i));
        db.run(grant + QStringLiteral(
                   "select d.name, ((d.idx - 1) * 7 + r * 131) % :ordinary + 1, "
                   "case when r < :main or :others < 1 then 1 else 2 + (r - :main) % greatest(:others, 1) end, 0 "
                   "from generate_series(0, :rounds - 1) r, unnest(cast(:names as text[])) with ordinality d(name, idx) "
                   "where r * :users + d.idx - 1 < :rest on conflict do nothing"),
               {{QStringLiteral("ordinary"), s.ordinaryPrograms()},
                {QStringLiteral("main"), double(s.mainCompanyRounds())},
                {QStringLiteral("others"), shape.companies - 1},
                {QStringLiteral("rounds"), double((rest + shape.users - 1) / shape.users)},
                {QStringLiteral("names"), arrayOf(dealers)},
                {QStringLiteral("users"), shape.users},
                {QStringLiteral("rest"), double(rest)}});
    }
    db.exec(QStringLiteral("commit"));
    s.grants = db.number(QStringLiteral("select count(*) from vortalix.user_prog_db"));
    return s;
}

} // namespace bench
