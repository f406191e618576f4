#include "TempServers.h"

#include <QDir>
#include <QFileInfo>
#include <QFile>
#include <QProcess>
#include <QTest>

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

// Runs userpr-db at a terminal of its own (script(1) gives it one), typing each answer once
// the terminal shows the text before it; what the terminal showed is the output.
Run atTerminal(const QStringList &args, const QByteArrayList &dialogue)
{
    QProcess p;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("TERM"), QStringLiteral("vt100"));
    p.setProcessEnvironment(environment);
    const QString command = qEnvironmentVariable("USERPR_DB") + QLatin1Char(' ') + args.join(QLatin1Char(' '));
    p.start(QStringLiteral("script"), {QStringLiteral("-qec"), command, QStringLiteral("/dev/null")});
    QByteArray seen;
    qsizetype from = 0;
    for (qsizetype i = 0; i + 1 < dialogue.size(); i += 2) {
        while (seen.indexOf(dialogue.at(i), from) < 0 && p.waitForReadyRead(60000))
            seen += p.readAllStandardOutput();
        from = seen.indexOf(dialogue.at(i), from) + dialogue.at(i).size();
        p.write(dialogue.at(i + 1));
    }
    p.waitForFinished(60000);
    return {p.exitCode(), QString::fromUtf8(seen + p.readAllStandardOutput()), QString()};
}

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
    void noCoreDumpHoldsAPassword_data();
    void noCoreDumpHoldsAPassword();
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
    const Run help = console({QStringLiteral("--help")});
    QVERIFY(help.code == 0 && help.out.startsWith(QLatin1String("usage:")) && help.err.isEmpty());
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
    QVERIFY(r.err.startsWith(QLatin1String("Statement at line 1 failed: ORA-00942")));
    QVERIFY(r.err.contains(QLatin1String("Statement at line 2 failed: ORA-01031: insufficient privileges")));
    const Run stopped = console({QStringLiteral("sql"), QStringLiteral("--stop-on-error"), QStringLiteral("LIVE"),
                                 QStringLiteral("vortalix/lumivar")}, QStringLiteral("select 1 one from dual;\nselect * from x;\nselect 2 two from dual;\n"));
    QCOMPARE(stopped.out, QStringLiteral("ONE\n1\n"));
    QCOMPARE(stopped.code, 1);
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
    // The confirmation is the server's, whatever note stands before the statement.
    Run r = console(asSystem, QStringLiteral("create user teller identified by Kassa1;\n-- the roles\ngrant connect, dealer to teller;\n"
                                              "/* a program */ grant execute on vortalix.get_customer_name to teller;\n"));
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

void TestConsole::noCoreDumpHoldsAPassword_data()
{
    QTest::addColumn<QString>("program");
    QTest::addColumn<QStringList>("args");
    // The console waiting for the password line; the main program waiting for its user.
    QTest::newRow("userpr-db") << qEnvironmentVariable("USERPR_DB") << QStringList{"sql", "LIVE", "vortalix"};
    QTest::newRow("Userpr") << qEnvironmentVariable("USERPR_APP") << QStringList{};
}

void TestConsole::noCoreDumpHoldsAPassword()
{
    QFETCH(QString, program);
    QFETCH(QStringList, args);
    TempServers servers;
    QProcess p;
    p.start(program, args);
    QVERIFY(p.waitForStarted());
    QFile limits(QStringLiteral("/proc/%1/limits").arg(p.processId()));
    auto coreLimit = [&] {
        if (!limits.open(QIODevice::ReadOnly))
            return QString();
        const QString text = QString::fromLatin1(limits.readAll());
        limits.close();
        const qsizetype at = text.indexOf(QLatin1String("Max core file size"));
        return at < 0 ? QString() : text.mid(at).section(QLatin1Char('\n'), 0, 0).simplified();
    };
    // The program sets it first thing; until then the limit is the one it inherited.
    QTRY_COMPARE_WITH_TIMEOUT(coreLimit(), QStringLiteral("Max core file size 0 0 bytes"), 20000);
    p.kill();
    p.waitForFinished();
}

void TestConsole::atATerminal_data()
{
    // What the terminal shows, then what is typed; how often a text then shows.
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<QByteArrayList>("dialogue");
    QTest::addColumn<QString>("shown");
    QTest::addColumn<int>("times");
    const QStringList sql{QStringLiteral("sql"), QStringLiteral("LIVE"), QStringLiteral("vortalix")};
    QTest::newRow("the up arrow brings the line back; quit")
        << sql << QByteArrayList{"Password", "lumivar\n", "SQL> ", "select 'ab' || 'cd' x from dual;\n", "SQL> ", "\x1b[A\n",
                                 "SQL> ", "quit;\n"}
        << "X\r\nabcd\r\n" << 2;
    QTest::newRow("the password is not shown, an error names its line; exit")
        << sql << QByteArrayList{"Password", "lumivar\n", "SQL> ", "select 1 one\n", "> ", "from nothing_here;\n", "SQL> ", "exit\n"}
        << "Statement at line 1 failed: ORA-00942" << 1;
    QTest::newRow("passwd hides the new password")
        << QStringList{QStringLiteral("passwd"), QStringLiteral("LIVE"), QStringLiteral("mari")}
        << QByteArrayList{"password", "lumivar\n"} << "MARI changed" << 1;
}

void TestConsole::atATerminal()
{
    QFETCH(QStringList, args);
    QFETCH(QByteArrayList, dialogue);
    QFETCH(QString, shown);
    QFETCH(int, times);
    TempServers servers;
    const Run r = atTerminal(args, dialogue);
    QCOMPARE(r.code, 0);
    QVERIFY2(r.out.count(shown) == times, qPrintable(r.out));
    QVERIFY(!r.out.contains(QLatin1String("lumivar")));
}

QTEST_GUILESS_MAIN(TestConsole)
#include "tst_console.moc"
