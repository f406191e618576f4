#include "TempServers.h"

#include <QDir>
#include <QFileInfo>
#include <QProcess>
#include <QDeadlineTimer>
#include <QTest>

#include <poll.h>
#include <pty.h>
#include <sys/wait.h>
#include <unistd.h>

using testsupport::TempServers;

namespace {

struct Run {
    int code = -1;
    QString out;
    QString err;
};

// Runs userpr-db with the arguments, feeding the input; the environment of the test
// (USERPR_DATA and the configuration folder) goes with it.
Run console(const QStringList &args, const QString &input = QString())
{
    QProcess p;
    p.start(qEnvironmentVariable("USERPR_DB"), args);
    if (!p.waitForStarted())
        return {};
    p.write(input.toUtf8());
    p.closeWriteChannel();
    p.waitForFinished(60000);
    return {p.exitCode(), QString::fromUtf8(p.readAllStandardOutput()), QString::fromUtf8(p.readAllStandardError())};
}

// userpr-db at a terminal of its own: what it shows is read back as a user sees it.
class Terminal {
public:
    explicit Terminal(const QStringList &args)
    {
        QList<QByteArray> words{qEnvironmentVariable("USERPR_DB").toLocal8Bit()};
        for (const QString &a : args)
            words.append(a.toLocal8Bit());
        std::vector<char *> argv;
        for (QByteArray &w : words)
            argv.push_back(w.data());
        argv.push_back(nullptr);
        setenv("TERM", "vt100", 1);
        m_pid = forkpty(&m_master, nullptr, nullptr, nullptr);
        if (m_pid == 0) {
            execv(argv[0], argv.data());
            _exit(127);
        }
    }
    ~Terminal()
    {
        ::close(m_master);
        if (m_pid > 0 && waitpid(m_pid, nullptr, WNOHANG) == 0) {
            kill(m_pid, SIGKILL);
            waitpid(m_pid, nullptr, 0);
        }
    }
    // Waits until the terminal shows the text after what was seen before; false at the end.
    bool waitFor(const QByteArray &text)
    {
        QDeadlineTimer deadline(60000);
        while (!m_seen.mid(m_from).contains(text)) {
            pollfd p{m_master, POLLIN, 0};
            char buffer[4096];
            const ssize_t n = poll(&p, 1, 100) > 0 ? read(m_master, buffer, sizeof buffer) : 0;
            if (n < 0 || deadline.hasExpired())
                return false;
            m_seen.append(buffer, n);
        }
        m_from = m_seen.indexOf(text, m_from) + text.size();
        return true;
    }
    void type(const QByteArray &keys) { QVERIFY(write(m_master, keys.constData(), keys.size()) == keys.size()); }
    int exitCode()
    {
        waitFor(QByteArray(1, '\x7f')); // reads to the end
        int status = 0;
        return waitpid(m_pid, &status, 0) == m_pid && WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }
    const QByteArray &seen() const { return m_seen; }

private:
    int m_master = -1;
    pid_t m_pid = -1;
    QByteArray m_seen;
    qsizetype m_from = 0;
};

} // namespace

class TestConsole : public QObject {
    Q_OBJECT
private slots:
    void initCreatesAServerOnce();
    void anInterruptedInitLeavesNoHalfServer();
    void aBrokenServerIsNamed();
    void queriesPrintTabSeparatedRows();
    void statementsEndWithSemicolonOrSlash();
    void errorsGoToStandardErrorAndTheRunGoesOn();
    void aFailedLoginStopsTheRun();
    void systemKeepsAccounts();
    void passwd();
    void aScriptRun_data();
    void aScriptRun();
    void atATerminal_data();
    void atATerminal();
};

void TestConsole::initCreatesAServerOnce()
{
    TempServers servers;
    const Run made = console({QStringLiteral("init"), QStringLiteral("Branch"), QStringLiteral("--demo")});
    QCOMPARE(made.code, 0);
    QVERIFY(QFile::exists(servers.serverFolder(QStringLiteral("BRANCH")) + QStringLiteral("/_dictionary.sqlite")));
    const Run again = console({QStringLiteral("init"), QStringLiteral("BRANCH")});
    QCOMPARE(again.code, 1);
    QVERIFY(again.err.contains(QLatin1String("already exists")));
    const Run plain = console({QStringLiteral("init"), QStringLiteral("EMPTY")});
    QCOMPARE(plain.code, 0);
    const Run count = console({QStringLiteral("sql"), QStringLiteral("EMPTY"), QStringLiteral("vortalix/lumivar")},
                              QStringLiteral("select count(*) n from vortalix_prog;\n"));
    QCOMPARE(count.out, QStringLiteral("N\n0\n"));
    QCOMPARE(console({QStringLiteral("init"), QStringLiteral("../x")}).code, 1);
    QCOMPARE(console({QStringLiteral("frobnicate")}).code, 2);
}

void TestConsole::anInterruptedInitLeavesNoHalfServer()
{
    TempServers servers;
    const QString folder = servers.serverFolder(QStringLiteral("BRANCH"));
    QProcess init;
    init.start(qEnvironmentVariable("USERPR_DB"), {QStringLiteral("init"), QStringLiteral("BRANCH"), QStringLiteral("--demo")});
    QVERIFY(init.waitForStarted());
    // Stopped the moment the server's folder appears, or earlier.
    while (!QFileInfo::exists(folder) && !init.waitForFinished(1)) {
    }
    if (init.state() != QProcess::NotRunning) {
        init.kill();
        QVERIFY(init.waitForFinished());
    }
    // Whatever stands in the folder is a whole server; where there is none, init makes one.
    if (!QFileInfo::exists(folder))
        QCOMPARE(console({QStringLiteral("init"), QStringLiteral("BRANCH"), QStringLiteral("--demo")}).code, 0);
    QVERIFY(!QFileInfo::exists(folder + QStringLiteral(".creating")));
    const Run count = console({QStringLiteral("sql"), QStringLiteral("BRANCH"), QStringLiteral("vortalix/lumivar")},
                              QStringLiteral("select count(*) n from vortalix_prog;\nselect count(*) n from all_users;\n"));
    QCOMPARE(count.out, QStringLiteral("N\n30\nN\n14\n"));
    QCOMPARE(console({QStringLiteral("sql"), QStringLiteral("BRANCH"), QStringLiteral("auditor/kevaro")}, QString()).code, 0);
}

void TestConsole::aBrokenServerIsNamed()
{
    TempServers servers;
    const QString dictionary = servers.serverFolder(QStringLiteral("LIVE")) + QStringLiteral("/_dictionary.sqlite");
    QVERIFY(QFile::remove(dictionary));
    const QStringList asOwner{QStringLiteral("sql"), QStringLiteral("LIVE"), QStringLiteral("vortalix/lumivar")};
    Run r = console(asOwner, QStringLiteral("select 1 from dual;\n"));
    QCOMPARE(r.code, 2);
    QVERIFY2(r.err.startsWith(QStringLiteral("ORA-01157: cannot identify/lock data file %1").arg(dictionary)), qPrintable(r.err));
    r = console({QStringLiteral("passwd"), QStringLiteral("LIVE"), QStringLiteral("mari")}, QStringLiteral("x\n"));
    QCOMPARE(r.code, 1);
    QVERIFY2(r.err.startsWith(QStringLiteral("ORA-01157: cannot identify/lock data file %1").arg(dictionary)), qPrintable(r.err));
    // A server that is there is never made anew over it.
    r = console({QStringLiteral("init"), QStringLiteral("LIVE")});
    QCOMPARE(r.code, 1);
    QVERIFY(!QFile::exists(dictionary));
}

void TestConsole::queriesPrintTabSeparatedRows()
{
    TempServers servers;
    const Run r = console({QStringLiteral("sql"), QStringLiteral("LIVE"), QStringLiteral("vortalix/lumivar")},
                          QStringLiteral("select prog_id, prog_exe, version, help_path from vortalix_prog where prog_id in (1, 3) order by prog_id;\n"));
    QCOMPARE(r.code, 0);
    QCOMPARE(r.out, QStringLiteral("PROG_ID\tPROG_EXE\tVERSION\tHELP_PATH\n"
                                   "1\tLOANAPP.EXE\t1.5\t\n"
                                   "3\tLOANOVD.EXE\t0.5\t\\\\SRV1\\HELP\\LOANOVD.HLP\n"));
    QVERIFY(r.err.isEmpty());
}

void TestConsole::statementsEndWithSemicolonOrSlash()
{
    TempServers servers;
    const Run r = console({QStringLiteral("sql"), QStringLiteral("LIVE"), QStringLiteral("vortalix")},
                          QStringLiteral("lumivar\n"
                                         "select count(*) n\n  from v_sysparams\n/\n"
                                         "\n"
                                         "update func_grants set func_name = func_name;\n"
                                         "select 'a;b' x from dual;   \n"));
    QCOMPARE(r.code, 0);
    QCOMPARE(r.out, QStringLiteral("N\n3\n3 rows updated.\nX\na;b\n"));
}

void TestConsole::errorsGoToStandardErrorAndTheRunGoesOn()
{
    TempServers servers;
    const Run r = console({QStringLiteral("sql"), QStringLiteral("LIVE"), QStringLiteral("vortalix/lumivar")},
                          QStringLiteral("select * from nothing_here;\ncreate user x identified by y;\nselect 1 one from dual;\n"));
    QCOMPARE(r.code, 1);
    QCOMPARE(r.out, QStringLiteral("ONE\n1\n"));
    QVERIFY(r.err.contains(QLatin1String("ORA-00942")));
    QVERIFY(r.err.contains(QLatin1String("ORA-01031: insufficient privileges")));
}

void TestConsole::aFailedLoginStopsTheRun()
{
    TempServers servers;
    const Run r = console({QStringLiteral("sql"), QStringLiteral("LIVE"), QStringLiteral("vortalix/wrong")},
                          QStringLiteral("select 1 from dual;\n"));
    QVERIFY(r.code != 0);
    QCOMPARE(r.out, QString());
    QVERIFY(r.err.contains(QLatin1String("ORA-01017")));
    QVERIFY(!r.err.contains(QLatin1String("wrong")));
    const Run nowhere = console({QStringLiteral("sql"), QStringLiteral("NOWHERE"), QStringLiteral("vortalix/lumivar")}, QString());
    QVERIFY(nowhere.code != 0);
    QVERIFY(nowhere.err.contains(QLatin1String("not known")));
    QVERIFY(!QDir(servers.dataFolder() + QStringLiteral("/NOWHERE")).exists());
}

void TestConsole::systemKeepsAccounts()
{
    TempServers servers;
    const QStringList asSystem{QStringLiteral("sql"), QStringLiteral("LIVE"), QStringLiteral("system/manager")};
    Run r = console(asSystem, QStringLiteral("create user teller identified by Kassa1;\ngrant connect, dealer to teller;\n"
                                              "grant execute on vortalix.get_customer_name to teller;\n"));
    QCOMPARE(r.code, 0);
    QCOMPARE(r.out, QStringLiteral("User created.\nGrant succeeded.\nGrant succeeded.\n"));
    r = console({QStringLiteral("sql"), QStringLiteral("LIVE"), QStringLiteral("teller/Kassa1")}, QStringLiteral("select username from user_role_privs order by 1;\n"));
    QCOMPARE(r.out, QStringLiteral("USERNAME\nTELLER\nTELLER\n"));
    r = console({QStringLiteral("sql"), QStringLiteral("LIVE"), QStringLiteral("vortalix/lumivar")}, QStringLiteral("create user other identified by x;\n"));
    QCOMPARE(r.code, 1);
    QVERIFY(r.err.contains(QLatin1String("ORA-01031")));
    r = console(asSystem, QStringLiteral("drop user teller cascade;\nselect count(*) n from dba_role_privs where grantee = 'TELLER';\n"));
    QCOMPARE(r.out, QStringLiteral("User dropped.\nN\n0\n"));
    r = console({QStringLiteral("sql"), QStringLiteral("LIVE"), QStringLiteral("teller/Kassa1")}, QString());
    QVERIFY(r.code != 0);
}

void TestConsole::passwd()
{
    TempServers servers;
    Run r = console({QStringLiteral("passwd"), QStringLiteral("LIVE"), QStringLiteral("mari")}, QStringLiteral("Uus-Parool9\n"));
    QCOMPARE(r.code, 0);
    r = console({QStringLiteral("sql"), QStringLiteral("LIVE"), QStringLiteral("mari")}, QStringLiteral("Uus-Parool9\nselect 1 ok from dual;\n"));
    QCOMPARE(r.out, QStringLiteral("OK\n1\n"));
    QCOMPARE(console({QStringLiteral("passwd"), QStringLiteral("LIVE"), QStringLiteral("ghost")}, QStringLiteral("x\n")).code, 1);
    QCOMPARE(console({QStringLiteral("passwd"), QStringLiteral("LIVE"), QStringLiteral("mari")}, QString()).code, 1);
}

void TestConsole::aScriptRun_data()
{
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<QString>("input");
    QTest::addColumn<int>("code");
    QTest::addColumn<QString>("out");
    QTest::addColumn<QString>("err"); // a pattern
    const QStringList sql{QStringLiteral("sql"), QStringLiteral("LIVE"), QStringLiteral("vortalix/lumivar")};
    const QString failing = QStringLiteral("select 1 a from dual;\n\nselect *\n  from nothing_here;\nselect 2 b from dual;\n");
    QTest::newRow("an error names the statement's line") << sql << failing << 1 << "A\n1\nB\n2\n" << "^Statement at line 3 failed: ORA-00942";
    QTest::newRow("--stop-on-error") << QStringList{sql.first(), QStringLiteral("--stop-on-error")} + sql.mid(1) << failing << 1
                                     << "A\n1\n" << "^Statement at line 3 failed: [^\n]*\n$";
    QTest::newRow("quit ends the input") << sql << "select 1 a from dual;\nquit\nselect 2 b from dual;\n" << 0 << "A\n1\n" << "^$";
    QTest::newRow("--help") << QStringList{QStringLiteral("--help")} << "" << 0 << "" << "^$";
    QTest::newRow("--version") << QStringList{QStringLiteral("--version")} << "" << 0 << "" << "^$";
}

void TestConsole::aScriptRun()
{
    QFETCH(QStringList, args);
    QFETCH(QString, input);
    QFETCH(int, code);
    QFETCH(QString, out);
    QFETCH(QString, err);
    TempServers servers;
    const Run r = console(args, input);
    QCOMPARE(r.code, code);
    QVERIFY2(QRegularExpression(err).match(r.err).hasMatch(), qPrintable(r.err));
    if (args.first() == QLatin1String("--help"))
        QVERIFY(r.out.startsWith(QLatin1String("usage:")));
    else if (args.first() == QLatin1String("--version"))
        QVERIFY(QRegularExpression(QStringLiteral("^userpr-db \\d+\\.\\d+\\.\\d+\n$")).match(r.out).hasMatch());
    else
        QCOMPARE(r.out, out);
}

void TestConsole::atATerminal_data()
{
    // What is typed after each text the terminal shows, then the exit code.
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<QByteArrayList>("dialogue");
    QTest::addColumn<int>("code");
    QTest::addColumn<QByteArray>("shown");
    QTest::addColumn<int>("times");
    const QStringList sql{QStringLiteral("sql"), QStringLiteral("LIVE"), QStringLiteral("vortalix")};
    QTest::newRow("the password is not shown; exit")
        << sql << QByteArrayList{"Password", "lumivar\n", "SQL> ", "exit\n"} << 0 << QByteArray("SQL> ") << 1;
    QTest::newRow("the up arrow brings the line back; quit")
        << sql << QByteArrayList{"Password", "lumivar\n", "SQL> ", "select 'ab' || 'cd' x from dual;\n", "abcd", "", "SQL> ",
                                 "\x1b[A\n", "abcd", "", "SQL> ", "quit;\n"}
        << 0 << QByteArray("X\r\nabcd\r\n") << 2;
    QTest::newRow("an error names its line")
        << sql << QByteArrayList{"Password", "lumivar\n", "SQL> ", "select 1 one\n", "> ", "from nothing_here;\n", "SQL> ", "\x04"}
        << 0 << QByteArray("Statement at line 1 failed: ORA-00942") << 1;
    QTest::newRow("passwd hides the new password") << QStringList{QStringLiteral("passwd"), QStringLiteral("LIVE"), QStringLiteral("mari")}
                                                   << QByteArrayList{"password", "lumivar\n"} << 0 << QByteArray("MARI changed") << 1;
}

void TestConsole::atATerminal()
{
    QFETCH(QStringList, args);
    QFETCH(QByteArrayList, dialogue);
    QFETCH(int, code);
    QFETCH(QByteArray, shown);
    QFETCH(int, times);
    TempServers servers;
    Terminal terminal(args);
    for (qsizetype i = 0; i + 1 < dialogue.size(); i += 2) {
        QVERIFY2(terminal.waitFor(dialogue.at(i)), terminal.seen().constData());
        terminal.type(dialogue.at(i + 1));
    }
    QCOMPARE(terminal.exitCode(), code);
    QVERIFY2(terminal.seen().count(shown) == times, terminal.seen().constData());
    QVERIFY(!terminal.seen().contains("lumivar"));
    QVERIFY(!terminal.seen().contains("ORA-00900")); // no escape code reaches the server
}

QTEST_GUILESS_MAIN(TestConsole)
#include "tst_console.moc"
