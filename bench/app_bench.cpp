// app_bench: every interaction of the windows on a server of a bank's size, driven
// offscreen through the real windows and timed beside the same statements run with the
// engine's own C API: SQLite's on the embedded server's files, libpq on a PostgreSQL
// cluster the benchmark starts. Prints a table of medians in milliseconds per server and
// the memory the program holds.
//
//   app_bench [--server embedded|postgresql|both] [--repeat N] [--folder DIR] [--only-bank]
//   app_bench --smoke [--server ...]          a tiny bank, two rounds, checked

#include "BankServer.h"
#include "PgBankServer.h"
#include "RawSession.h"

#include "accounts/adduser.h"
#include "app/Users.h"
#include "app/VortalixLogin.h"
#include "app/Windows.h"
#include "app/filter.h"
#include "data/Statements.h"
#include "grants/Rights.h"
#include "grants/chosedb.h"
#include "grants/progpas.h"
#include "grants/printlist.h"
#include "lookup/dbs.h"
#include "lookup/find.h"
#include "lookup/history.h"
#include "platform/controls/Application.h"
#include "platform/controls/Messages.h"
#include "platform/db/Connection.h"
#include "platform/db/DbError.h"
#include "platform/db/Params.h"
#include "platform/db/PostgreSqlKind.h"
#include "platform/db/Query.h"
#include "platform/db/ServerDirectory.h"
#include "platform/embedded/EmbeddedServer.h"
#include "platform/embedded/PasswordHash.h"
#include "platform/report/Output.h"

#include <QDir>
#include <QElapsedTimer>
#include <QSet>
#include <QProcess>
#include <QSysInfo>
#include <QTemporaryDir>
#include <QTimer>

#include <malloc.h>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <memory>
#include <optional>
#include <stdexcept>

namespace {

using bench::BankServer;
using bench::BankShape;
using bench::RawEngine;
using bench::RawSession;

const QString alias = QStringLiteral("BANK");

// ---- measuring ------------------------------------------------------------------------

double median(QList<double> values)
{
    if (values.isEmpty())
        return -1;
    std::sort(values.begin(), values.end());
    const qsizetype n = values.size();
    return n % 2 ? values.at(n / 2) : (values.at(n / 2 - 1) + values.at(n / 2)) / 2;
}

// Lets the windows paint what changed, as a user waits for it.
void settle()
{
    QCoreApplication::sendPostedEvents();
    QCoreApplication::processEvents();
}

// A picture of a window into $USERPR_SCREENSHOTS, when that is set.
void screenshot(QWidget *widget, const QString &name)
{
    const QString folder = qEnvironmentVariable("USERPR_SCREENSHOTS");
    if (folder.isEmpty())
        return;
    QDir().mkpath(folder);
    widget->grab().save(QDir(folder).filePath(name + QStringLiteral(".png")));
}

[[noreturn]] void fail(const QString &what)
{
    throw std::runtime_error(what.toStdString());
}

void check(bool condition, const QString &what)
{
    if (!condition)
        fail(what);
}

// Acts on the next modal window once it is shown; the action runs inside the window's
// own event loop.
class ModalAnswer : public QObject {
public:
    using Action = std::function<void(QWidget *)>;
    explicit ModalAnswer(Action action) : m_action(std::move(action))
    {
        m_timer.setInterval(0);
        connect(&m_timer, &QTimer::timeout, this, [this] { tick(); });
        m_timer.start();
    }
    ~ModalAnswer() override
    {
        if (!m_done && !m_error)
            m_error = "the expected window did not appear";
    }
    void rethrow() const
    {
        if (m_error)
            throw std::runtime_error(*m_error);
        if (!m_done)
            throw std::runtime_error("the expected window did not appear");
    }

private:
    void tick()
    {
        QWidget *modal = QApplication::activeModalWidget();
        if (!modal || !modal->isVisible())
            return;
        m_timer.stop();
        m_done = true;
        try {
            m_action(modal);
        } catch (const std::exception &e) {
            m_error = e.what();
            if (auto *dialog = qobject_cast<QDialog *>(modal))
                dialog->reject();
        }
    }

    Action m_action;
    QTimer m_timer;
    bool m_done = false;
    std::optional<std::string> m_error;
};

// Every message the windows show is kept; one the benchmark did not ask for ends it.
class Messages {
public:
    Messages()
    {
        controls::Messages::setResponder([this](const controls::Message &message) {
            m_texts.append(message.text);
            return true;
        });
    }
    ~Messages() { controls::Messages::setResponder(nullptr); }
    void expectNone(const QString &interaction)
    {
        if (!m_texts.isEmpty()) {
            const QString texts = m_texts.join(QStringLiteral(" | "));
            m_texts.clear();
            fail(interaction + QStringLiteral(": the windows said ") + texts);
        }
    }

private:
    QStringList m_texts;
};

struct Row {
    QString interaction;
    double project = -1;
    double raw = -1;
};

class Table {
public:
    void add(const QString &column, const Row &row)
    {
        if (!m_columns.contains(column))
            m_columns.append(column);
        if (!m_order.contains(row.interaction))
            m_order.append(row.interaction);
        m_cells[row.interaction][column] = row;
    }
    void note(const QString &line) { m_notes.append(line); }

    void print(const QString &title, const QString &raw) const
    {
        std::printf("\n%s\n\n| interaction |", qPrintable(title));
        for (const QString &c : m_columns)
            std::printf(" %s: project / %s, ms |", qPrintable(c), qPrintable(raw));
        std::printf("\n|---|");
        for (int i = 0; i < m_columns.size(); ++i)
            std::printf("---|");
        std::printf("\n");
        for (const QString &name : m_order) {
            std::printf("| %s |", qPrintable(name));
            const QHash<QString, Row> cells = m_cells.value(name);
            for (const QString &c : m_columns) {
                const auto row = cells.constFind(c);
                if (row == cells.constEnd()) {
                    std::printf(" |");
                    continue;
                }
                std::printf(" %s |", qPrintable(cell(*row)));
            }
            std::printf("\n");
        }
        std::printf("\n");
        for (const QString &n : m_notes)
            std::printf("%s\n", qPrintable(n));
        std::fflush(stdout);
    }

private:
    static QString cell(const Row &r)
    {
        auto number = [](double ms) { return ms < 0 ? QStringLiteral("—") : QString::number(ms, 'f', ms < 10 ? 1 : 0); };
        QString text = number(r.project) + QStringLiteral(" / ") + number(r.raw);
        if (r.project >= 0 && r.raw > 0)
            text += QStringLiteral(" (%1×)").arg(r.project / r.raw, 0, 'f', 1);
        return text;
    }

    QStringList m_columns;
    QStringList m_order;
    QHash<QString, QHash<QString, Row>> m_cells;
    QStringList m_notes;
};

// The load average over the last minute, five and fifteen minutes.
QString loadAverage()
{
    QFile load(QStringLiteral("/proc/loadavg"));
    if (!load.open(QIODevice::ReadOnly))
        return QStringLiteral("unknown");
    return QString::fromUtf8(load.readAll()).section(QLatin1Char(' '), 0, 2);
}

// The heap the process holds now, in bytes.
qint64 heapInUse()
{
    const struct mallinfo2 info = mallinfo2();
    return qint64(info.uordblks) + qint64(info.hblkhd);
}

// The most memory this process has held in RAM (the rusage figure would count what a
// parent held before it started this program).
qint64 peakResidentKiB()
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray &line : status.readAll().split('\n')) {
        if (line.startsWith("VmHWM:"))
            return line.mid(6).trimmed().split(' ').value(0).toLongLong();
    }
    return -1;
}

// ---- the data folder the windows find their server in ---------------------------------

class Environment {
public:
    // Without a servers file BANK is the embedded server in the data folder; with one, the
    // server its group names.
    explicit Environment(const QString &dataFolder, const QString &serversFile = QString())
        : m_oldData(qgetenv("USERPR_DATA")), m_oldConfig(qgetenv("XDG_CONFIG_HOME"))
    {
        qputenv("USERPR_DATA", dataFolder.toUtf8());
        qputenv("XDG_CONFIG_HOME", m_config.path().toUtf8());
        if (!serversFile.isEmpty()) {
            QDir(m_config.path()).mkpath(QStringLiteral("Userpr"));
            QFile file(m_config.filePath(QStringLiteral("Userpr/servers.ini")));
            check(file.open(QIODevice::WriteOnly) && file.write(serversFile.toUtf8()) > 0,
                  QStringLiteral("the servers file could not be written"));
        }
    }
    ~Environment()
    {
        qputenv("USERPR_DATA", m_oldData);
        qputenv("XDG_CONFIG_HOME", m_oldConfig);
        // Qt writes its own settings (the file dialogs') there as the windows go at the
        // application's end: the folder goes after them.
        m_config.setAutoRemove(false);
        leftFolders().append(m_config.path());
        static const bool removing = [] {
            qAddPostRoutine([] {
                for (const QString &folder : std::as_const(leftFolders()))
                    QDir(folder).removeRecursively();
            });
            return true;
        }();
        Q_UNUSED(removing);
    }

private:
    static QStringList &leftFolders()
    {
        static QStringList folders;
        return folders;
    }

    QTemporaryDir m_config;
    QByteArray m_oldData;
    QByteArray m_oldConfig;
};

// ---- the server under test --------------------------------------------------------------

// The server the windows reach as BANK, and the raw engine's sessions on it.
class Server {
public:
    virtual ~Server() = default;
    virtual QString name() const = 0;
    // A raw session as the account; checked when the program checks the password at that
    // login (the first login of a connect), known when its process has checked it before.
    virtual std::unique_ptr<RawEngine> login(const QString &user, const QString &password, bool checked) = 0;
    // Lets the server's statistics be gathered (after the interactions that measure a
    // server nobody analysed).
    virtual void analyse() {}
    virtual bool analysed() const { return true; }
};

class EmbeddedUnderTest : public Server {
public:
    explicit EmbeddedUnderTest(const QString &folder) : m_folder(folder) {}
    QString name() const override { return QStringLiteral("embedded"); }
    std::unique_ptr<RawEngine> login(const QString &user, const QString &password, bool checked) override
    {
        // The password's derivation is what a login costs beyond opening the files.
        if (checked)
            RawSession::deriveLogin(m_folder, user.toUpper(), password);
        return std::make_unique<RawSession>(m_folder);
    }

private:
    QString m_folder;
};

class PostgreSqlUnderTest : public Server {
public:
    explicit PostgreSqlUnderTest(const bench::PgCluster &cluster) : m_cluster(cluster) {}
    QString name() const override { return QStringLiteral("PostgreSQL"); }
    // Every login pays the server's SCRAM exchange, as every login of the program does.
    std::unique_ptr<RawEngine> login(const QString &user, const QString &password, bool) override
    {
        return m_cluster.login(db::PostgreSqlKind::serverName(user.toUpper()), password);
    }
    void analyse() override
    {
        m_cluster.analyse();
        m_analysed = true;
    }
    bool analysed() const override { return m_analysed; }

private:
    const bench::PgCluster &m_cluster;
    bool m_analysed = false;
};

// ---- the interactions -----------------------------------------------------------------

class Interactions {
public:
    // Each interaction runs once a round, right beside its raw engine's statements, so a
    // machine busy for a moment weighs on both alike; the medians are over the rounds.
    Interactions(const BankServer &server, Server &engine, int rounds, Table &table, const QString &column)
        : m_server(server), m_engine(engine), m_rounds(rounds), m_table(table), m_column(column)
    {
    }

    void run()
    {
        Messages messages;
        m_messages = &messages;
        Windows windows;
        Form1->show();
        settle();

        // A server nobody analysed since its accounts were made: the list of one program's
        // users is opened as often as in the rounds, then the statistics are gathered.
        if (!m_engine.analysed()) {
            connectOnce(QStringLiteral("lumivar"));
            for (m_round = 0; m_round < m_rounds; ++m_round)
                openList(QStringLiteral("open the users-of-one-program list, %1 candidates, statistics not gathered"));
            Form1->SpeedButton1->click();
            settle();
            m_engine.analyse();
            m_session.reset();
        }
        for (m_round = 0; m_round < m_rounds; ++m_round) {
            std::fprintf(stderr, " round %d of %d\n", m_round + 1, m_rounds);
            connectSequence(QStringLiteral("connect, OK → status \"ok\""));
            if (m_round == 0)
                registerHeld();
            openList(QStringLiteral("open the users-of-one-program list, %1 candidates"));
            confirmList(m_server.halfProgram, m_server.halfNames, QStringLiteral("OK of that list, %1 names"));
            confirmList(m_server.allProgram, m_server.allNames, QStringLiteral("OK of that list, %1 names"));
            confirmMoves();
            findByUser();
            chooseCompany();
            nextProgram();
            filterRegister();
            programsOfOneUser();
            grantedReport();
            copyGrants();
            accountWindow();
            companiesWindow();
            historyWindow();
        }
        for (const QString &name : std::as_const(m_order)) {
            const auto &[project, raw] = m_results.value(name);
            m_table.add(m_column, {name, median(project), median(raw)});
            std::fprintf(stderr, "  %-66s %8.1f ms / %8.1f ms\n", qPrintable(name), median(project), median(raw));
        }
        m_messages = nullptr;
        FormProg->hide();
        FormCreateUser->hide();
        if (Form1->SpeedButton1->text() == QLatin1String("Disconnect"))
            Form1->SpeedButton1->click();
        settle();
    }

    // Connects as the windows do and keeps the window open (for the memory measurement).
    static void connectOnce(const QString &password)
    {
        ModalAnswer answer([&](QWidget *) {
            LoginForm->ConnComboBox->setEditText(alias);
            LoginForm->LoginEdit->setText(QStringLiteral("vortalix"));
            LoginForm->PasswdEdit->setText(password);
            LoginForm->BitBtn1->click();
        });
        Form1->SpeedButton1->click();
        settle();
        answer.rethrow();
        check(Form1->StatusBar1->currentMessage() == QLatin1String("ok"),
              QStringLiteral("connect ended with the status ") + Form1->StatusBar1->currentMessage());
    }

private:
    template <typename Body>
    QList<double> times(Body body)
    {
        return {body()};
    }

    void record(const QString &interaction, const QList<double> &project, const QList<double> &raw)
    {
        if (!m_results.contains(interaction))
            m_order.append(interaction);
        auto &[p, r] = m_results[interaction];
        p += project;
        r += raw;
    }

    template <typename Body>
    double rawTime(Body body)
    {
        QElapsedTimer t;
        t.start();
        body();
        return double(t.nsecsElapsed()) / 1e6;
    }

    QList<double> rawTimes(const std::function<void()> &body)
    {
        return {rawTime(body)};
    }

    // A new raw session as the schema owner, whose password the process knows.
    std::unique_ptr<RawEngine> ownerSession()
    {
        return m_engine.login(QStringLiteral("vortalix"), QStringLiteral("lumivar"), false);
    }

    void expectQuiet(const QString &what) { m_messages->expectNone(what); }

    static double elapsed(const QElapsedTimer &t) { return double(t.nsecsElapsed()) / 1e6; }
    // Clicks the button whose modal window the answer handles (it starts t); the time
    // from then until the program is idle again, which nothing may have interrupted.
    double clickAnswered(QAbstractButton &button, ModalAnswer &answer, const QElapsedTimer &t, const QString &what)
    {
        button.click();
        settle();
        const double ms = elapsed(t);
        answer.rethrow();
        expectQuiet(what);
        return ms;
    }

    QString sql(const QStringList &lines) const { return db::sql::joinLines(lines); }

    QString registerSql() const
    {
        QStringList names;
        for (int i = 0; i < Form1->userprogTable->fieldCount(); ++i)
            names.append(Form1->userprogTable->field(i).fieldName());
        return QStringLiteral("select %1 from %2 order by PROG_ID").arg(names.join(QStringLiteral(", ")),
                                                                        statements::VortalixProgTable);
    }

    double firstProgram() const { return 1; }

    qint64 grantsOf(int program, int company, const QString &extra = QString())
    {
        return session().number(QStringLiteral("select count(*) from user_prog_db where vortalix_prog_id = %1 "
                                               "and database_id = %2 %3")
                                    .arg(program)
                                    .arg(company)
                                    .arg(extra));
    }

    // connect, OK -> status "ok"
    void connectSequence(const QString &caption)
    {
        const QList<double> project = times([&] {
            if (Form1->SpeedButton1->text() == QLatin1String("Disconnect"))
                Form1->SpeedButton1->click();
            settle();
            forgetLogins();
            QElapsedTimer t;
            ModalAnswer answer([&](QWidget *) {
                LoginForm->ConnComboBox->setEditText(alias);
                LoginForm->LoginEdit->setText(QStringLiteral("vortalix"));
                LoginForm->PasswdEdit->setText(QStringLiteral("lumivar"));
                t.start();
                LoginForm->BitBtn1->click();
            });
            const double ms = clickAnswered(*Form1->SpeedButton1, answer, t, QStringLiteral("connect"));
            check(Form1->StatusBar1->currentMessage() == QLatin1String("ok"),
                  QStringLiteral("connect ended with the status ") + Form1->StatusBar1->currentMessage());
            check(Form1->userprogTable->recordCount() == m_server.shape.programs, QStringLiteral("the register is not whole"));
            check(Form1->serverUsers().count() >= m_server.shape.users, QStringLiteral("the server's accounts were not read"));
            return ms;
        });
        const QString reg = registerSql();
        const QList<double> raw = rawTimes([&] {
            const auto first = m_engine.login(QStringLiteral("vortalix"), QStringLiteral("lumivar"), true);
            first->run(reg);
            first->run(sql(statements::QueryDBs));
            first->run(sql(statements::QueryUsers), {{QStringLiteral("prog_id"), firstProgram()}});
            first->run(sql(statements::Query2));
            const auto second = ownerSession();
            second->run(sql(statements::QueryDBusers));
        });
        record(caption, project, raw);
    }

    static void forgetLogins();

    // What the register of programs holds in memory once open.
    void registerHeld()
    {
        Form1->userprogTable->close();
        settle();
        const qint64 before = heapInUse();
        Form1->userprogTable->open();
        const qint64 after = heapInUse();
        settle();
        m_registerBytes = after - before;
        m_table.note(QStringLiteral("%1: the register of %2 programs holds %3 MB")
                         .arg(m_column)
                         .arg(m_server.shape.programs)
                         .arg(double(m_registerBytes) / 1e6, 0, 'f', 1));
    }

    void moveToProgram(int program)
    {
        check(Form1->userprogTable->findKey(program), QStringLiteral("program %1 is not in the register").arg(program));
        settle();
    }

    // open the users-of-one-program list
    void openList(const QString &caption)
    {
        moveToProgram(m_server.openProgram);
        const QList<double> project = times([&] {
            QElapsedTimer t;
            double ms = 0;
            ModalAnswer answer([&](QWidget *dialog) {
                dialog->repaint();
                ms = elapsed(t);
                check(DualListDlg->SrcList->count() == m_server.dealers(),
                      QStringLiteral("the list offers %1 candidates").arg(DualListDlg->SrcList->count()));
                check(DualListDlg->DstList->count() == 0, QStringLiteral("the program is granted already"));
                if (m_round == 0)
                    screenshot(dialog, QStringLiteral("bank-users-of-one-program"));
                DualListDlg->CancelBtn->click();
            });
            t.start();
            Form1->BitBtn1->click();
            settle();
            answer.rethrow();
            expectQuiet(QStringLiteral("open the list"));
            return ms;
        });
        const QList<double> raw = rawTimes([&] {
            RawEngine &s = session();
            const db::BoundParams params{{QStringLiteral("p_id"), double(m_server.openProgram)},
                                         {QStringLiteral("d_name"), companyName(1)}};
            s.run(sql(statements::gruserQuery), params);
            s.run(sql(statements::userQuery), params);
        });
        record(caption.arg(m_server.dealers()), project, raw);
    }

    // OK of the list, without moves: every grant of the program in the company again
    void confirmList(int program, int names, const QString &caption)
    {
        moveToProgram(program);
        const QList<double> project = times([&] {
            QElapsedTimer t;
            ModalAnswer answer([&](QWidget *) {
                check(DualListDlg->DstList->count() == names,
                      QStringLiteral("the list holds %1 granted names").arg(DualListDlg->DstList->count()));
                t.start();
                DualListDlg->OKBtn->click();
            });
            const double ms = clickAnswered(*Form1->BitBtn1, answer, t, QStringLiteral("OK of the list"));
            return ms;
        });
        check(grantsOf(program, 1) == names, QStringLiteral("the OK left the wrong grants"));
        check(grantsOf(program, 1, QStringLiteral("and ordinal is null")) == names,
              QStringLiteral("the OK kept old grants instead of inserting them anew"));
        const QStringList list = TDualListDlg::names(DualListDlg->DstList);
        // The same work: the grants stored now read and compared with those shown, then
        // replaced (a list without moves records no history).
        const QList<double> raw = rawTimes([&] {
            RawEngine &s = session();
            s.exec(QStringLiteral("begin"));
            const db::BoundParams where{{QStringLiteral("p_id"), double(program)}, {QStringLiteral("d_id"), 1.0}};
            s.run(sql(statements::MainQueryGranted), where);
            s.run(sql(statements::MainQueryDelete), where);
            const QString insert = sql(statements::MainQueryAdd);
            for (const QString &name : list) {
                s.run(insert, {{QStringLiteral("uname"), name},
                               {QStringLiteral("p_id"), double(program)},
                               {QStringLiteral("d_id"), 1.0}});
            }
            s.exec(QStringLiteral("commit"));
            s.run(sql(statements::QueryUsers), {{QStringLiteral("prog_id"), double(program)}});
        });
        record(caption.arg(names), project, raw);
    }

    // OK of the list after ">>", then after "<" of the same names: every candidate granted,
    // then revoked again, each grant and revoke with its row of the history
    void confirmMoves()
    {
        moveToProgram(m_server.halfProgram);
        QStringList moved;
        for (const bool granting : {true, false}) {
            const QList<double> project = times([&] {
                QElapsedTimer t;
                ModalAnswer answer([&](QWidget *) {
                    if (granting) {
                        moved = TDualListDlg::names(DualListDlg->SrcList);
                        DualListDlg->IncAllBtn->click();
                    } else {
                        const QSet<QString> back(moved.cbegin(), moved.cend());
                        for (int i = 0; i < DualListDlg->DstList->count(); ++i) {
                            QListWidgetItem *item = DualListDlg->DstList->item(i);
                            item->setSelected(back.contains(item->text()));
                        }
                        DualListDlg->ExcludeBtn->click();
                    }
                    t.start();
                    DualListDlg->OKBtn->click();
                });
                const double ms = clickAnswered(*Form1->BitBtn1, answer, t, QStringLiteral("OK of the list with moves"));
                return ms;
            });
            check(grantsOf(m_server.halfProgram, 1) == m_server.halfNames + (granting ? moved.size() : 0),
                  QStringLiteral("the OK with moves left the wrong grants"));
            record(QStringLiteral("OK of that list, %1 names %2 (history recorded)")
                       .arg(moved.size())
                       .arg(granting ? QStringLiteral("granted") : QStringLiteral("revoked")),
                   project, {});
        }
    }

    // find by user name %a% in one company: the time until the window shows the first
    // rows, beside the raw engine's time to the first sorted row; then every row read.
    // The first statement after the lists' writes meets a server still busy with them:
    // the program and the raw engine take turns at going first.
    void findByUser()
    {
        const QString pattern = QStringLiteral("%a%");
        const db::BoundParams params{{QStringLiteral("usr"), pattern}, {QStringLiteral("dname"), companyName(1)}};
        qint64 found = 0;
        QList<double> all;
        QList<double> raw;
        QList<double> rawAll;
        auto rawFind = [&] {
            raw.append(session().timeToRow(sql(statements::QueryUsr), params, 1));
            rawAll.append(rawTime([&] { found = session().run(sql(statements::QueryUsr), params); }));
        };
        if (m_round % 2)
            rawFind();
        const QList<double> project = times([&] {
            QElapsedTimer t;
            double ms = 0;
            ModalAnswer answer([&](QWidget *dialog) {
                FormFind->RadioButtonUser->setChecked(true);
                FormFind->EditFind->setText(pattern);
                t.start();
                FormFind->BitBtn3->click();
                dialog->repaint();
                ms = elapsed(t);
                check(FormFind->QueryUsr->active() && FormFind->DBGrid1->model()->rowCount() > 0,
                      QStringLiteral("the find found nothing"));
                if (m_round == 0)
                    screenshot(dialog, QStringLiteral("bank-find-by-user"));
                QElapsedTimer whole;
                whole.start();
                FormFind->QueryUsr->last();
                all.append(ms + elapsed(whole));
                if (found > 0)
                    check(FormFind->QueryUsr->recordCount() == found, QStringLiteral("the raw engine found other rows"));
                found = FormFind->QueryUsr->recordCount();
                FormFind->BitBtn2->click();
            });
            Form1->SpeedButton3->click();
            settle();
            answer.rethrow();
            expectQuiet(QStringLiteral("find"));
            return ms;
        });
        if (m_round % 2 == 0)
            rawFind();
        record(QStringLiteral("find by user name %a% in one company: the first rows shown"), project, raw);
        record(QStringLiteral("find by user name %a% in one company: all %1 rows read").arg(found), all, rawAll);
    }

    int rowOfCompany(int company) const
    {
        const int row = Form1->DBLookupComboBox1->findText(companyName(company));
        check(row >= 0, QStringLiteral("company %1 is not offered").arg(company));
        return row;
    }

    void choose(int company)
    {
        Form1->DBLookupComboBox1->choose(rowOfCompany(company));
        Form1->DBLookupComboBox1->hidePopup();
    }

    // choose another company
    void chooseCompany()
    {
        moveToProgram(1);
        int company = 1;
        const QList<double> project = times([&] {
            company = company == 1 ? 2 : 1;
            QElapsedTimer t;
            t.start();
            choose(company);
            settle();
            const double ms = elapsed(t);
            expectQuiet(QStringLiteral("choose a company"));
            check(Form1->QueryUsers->filter() == QStringLiteral("database_id=%1").arg(company),
                  QStringLiteral("the users grid does not follow the company"));
            return ms;
        });
        if (company != 1) {
            choose(1);
            settle();
        }
        const QList<double> raw = rawTimes([&] {
            session().run(sql(statements::QueryUsers), {{QStringLiteral("prog_id"), 1.0}});
            const auto second = ownerSession();
            second->run(sql(statements::QueryDBusers));
        });
        record(QStringLiteral("choose another company"), project, raw);
    }

    // next program (users grid follows)
    void nextProgram()
    {
        moveToProgram(1);
        bool forward = true;
        const QList<double> project = times([&] {
            QElapsedTimer t;
            t.start();
            Form1->DBNavigator1->click(forward ? controls::DBNavigator::Next : controls::DBNavigator::Prior);
            settle();
            const double ms = elapsed(t);
            forward = !forward;
            expectQuiet(QStringLiteral("next program"));
            return ms;
        });
        const QList<double> raw = rawTimes([&] {
            session().run(sql(statements::QueryUsers), {{QStringLiteral("prog_id"), 2.0}});
        });
        record(QStringLiteral("next program (users grid follows)"), project, raw);
    }

    // the register's filter on and off
    void filterRegister()
    {
        const QList<double> project = times([&] {
            QElapsedTimer t;
            ModalAnswer answer([&](QWidget *) {
                for (QLineEdit *e : FormFilter->edits())
                    e->clear();
                FormFilter->EditProg_Author->setText(QStringLiteral("ab*"));
                t.start();
                FormFilter->BitBtn2->click();
            });
            Form1->SpeedButtonFilter->click();
            settle();
            const double ms = elapsed(t);
            answer.rethrow();
            check(Form1->userprogTable->filtered() && Form1->userprogTable->recordCount() < m_server.shape.programs,
                  QStringLiteral("the register was not filtered"));
            ModalAnswer off([&](QWidget *) { FormFilter->BitBtn3->click(); });
            Form1->SpeedButtonFilter->click();
            settle();
            off.rethrow();
            check(!Form1->userprogTable->filtered(), QStringLiteral("the filter stayed on"));
            expectQuiet(QStringLiteral("filter"));
            return ms;
        });
        record(QStringLiteral("filter the register (author ab*)"), project, {});
    }

    void reloadProgramLists(const QString &user)
    {
        FormProg->Edit1->setText(user);
        FormProg->SpeedButton1->click();
        settle();
        expectQuiet(QStringLiteral("programs of one user"));
        check(FormProg->QueryAllProg->active() && FormProg->QueryuserProg->active(), QStringLiteral("the lists did not open"));
    }

    db::BoundParams userParams(const QString &user, int company) const
    {
        return {{QStringLiteral("user"), user}, {QStringLiteral("db_name"), companyName(company)}};
    }

    void programsOfOneUser()
    {
        Form1->BitBtn2->click();
        settle();
        check(FormProg->isVisible(), QStringLiteral("the programs-of-one-user window is not shown"));
        const QString user = m_server.oneUser;
        const QList<double> open = times([&] {
            FormProg->Edit1->setText(user);
            QElapsedTimer t;
            t.start();
            FormProg->SpeedButton1->click();
            settle();
            const double ms = elapsed(t);
            expectQuiet(QStringLiteral("programs of one user"));
            check(FormProg->QueryAllProg->recordCount() + FormProg->QueryuserProg->recordCount() == m_server.shape.programs,
                  QStringLiteral("the two lists do not make the register"));
            if (m_round == 0)
                screenshot(FormProg, QStringLiteral("bank-programs-of-one-user"));
            return ms;
        });
        auto reopen = [&](RawEngine &s) {
            s.run(sql(statements::QueryuserProg), userParams(user, 1));
            s.run(sql(statements::QueryAllProg), userParams(user, 1));
        };
        record(QStringLiteral("programs of one user: open the lists (all programs but a few)"), open,
               rawTimes([&] { reopen(session()); }));

        QList<double> grant;
        QList<double> revoke;
        {
            FormProg->QueryAllProg->first();
            const double program = FormProg->QueryAllProgPROG_ID->asFloat();
            const int held = FormProg->QueryuserProg->recordCount();
            QElapsedTimer t;
            t.start();
            FormProg->ExcludeBtn->click();
            settle();
            grant.append(elapsed(t));
            expectQuiet(QStringLiteral("grant"));
            check(FormProg->QueryuserProg->recordCount() == held + 1, QStringLiteral("the grant was not written"));
            check(FormProg->QueryuserProg->locate(QStringLiteral("VORTALIX_PROG_ID"), program),
                  QStringLiteral("the granted program is not listed"));
            t.start();
            FormProg->IncludeBtn->click();
            settle();
            revoke.append(elapsed(t));
            expectQuiet(QStringLiteral("revoke"));
            check(FormProg->QueryuserProg->recordCount() == held, QStringLiteral("the revoke was not written"));
        }
        const double program = FormProg->QueryAllProgPROG_ID->asFloat();
        const db::BoundParams one{{QStringLiteral("username"), user},
                                  {QStringLiteral("prog_id"), program},
                                  {QStringLiteral("database_id"), 1.0}};
        QList<double> rawGrant;
        QList<double> rawRevoke;
        {
            rawGrant.append(rawTime([&] {
                session().run(sql(statements::ProgQueryAdd), one);
                reopen(session());
            }));
            rawRevoke.append(rawTime([&] {
                session().run(sql(statements::ProgQueryDelete), one);
                reopen(session());
            }));
        }
        record(QStringLiteral("programs of one user: grant one program"), grant, rawGrant);
        record(QStringLiteral("programs of one user: revoke one program"), revoke, rawRevoke);
    }

    // The printed list of one user's granted programs: its preview, and the list laid
    // out and written as a PDF file. The report reads the list the window holds; it runs
    // no statement of its own.
    void grantedReport()
    {
        reloadProgramLists(m_server.reportUser);
        check(FormProg->QueryuserProg->recordCount() == m_server.reportGrants,
              QStringLiteral("the reporting user holds %1 grants").arg(FormProg->QueryuserProg->recordCount()));
        const QList<double> preview = times([&] {
            QElapsedTimer t;
            double ms = 0;
            ModalAnswer answer([&](QWidget *dialog) {
                dialog->repaint();
                ms = elapsed(t);
                if (auto *d = qobject_cast<QDialog *>(dialog))
                    d->reject();
            });
            t.start();
            FormProg->SpeedButton2->click();
            settle();
            answer.rethrow();
            expectQuiet(QStringLiteral("the report's preview"));
            return ms;
        });
        record(QStringLiteral("report: Print → preview of %1 granted programs shown").arg(m_server.reportGrants), preview, {});
        QTemporaryDir folder;
        const QString file = folder.filePath(QStringLiteral("granted.pdf"));
        const QList<double> pdf = times([&] {
            QElapsedTimer t;
            t.start();
            const int pages = report::writePdf(*FormQRPrintList->QuickRep1, file);
            const double ms = elapsed(t);
            check(pages >= 1 && QFileInfo(file).size() > 0, QStringLiteral("the report wrote %1 pages").arg(pages));
            return ms;
        });
        record(QStringLiteral("report of %1 granted programs laid out and written as PDF").arg(m_server.reportGrants), pdf, {});
    }

    void copyGrants()
    {
        const QString user = m_server.copyUser;
        choose(3);
        settle();
        reloadProgramLists(user);
        check(FormProg->QueryuserProg->isEmpty(), QStringLiteral("the copying user holds grants in company 3"));
        const QString remove = QStringLiteral("delete from user_prog_db where username = '%1' and database_id = 3").arg(user);
        const QList<double> project = times([&] {
            QElapsedTimer t;
            ModalAnswer answer([&](QWidget *) {
                QListWidget *list = FormChoseDB->DBLookupListBox1;
                const auto found = list->findItems(companyName(2), Qt::MatchExactly);
                check(!found.isEmpty(), QStringLiteral("company 2 is not offered for the copy"));
                FormChoseDB->DBLookupListBox1->choose(list->row(found.first()));
                found.first()->setSelected(true);
                t.start();
                FormChoseDB->BitBtn2->click();
            });
            const double ms = clickAnswered(*FormProg->BitBtn1, answer, t, QStringLiteral("copy"));
            check(FormProg->QueryuserProg->recordCount() == m_server.copyGrants,
                  QStringLiteral("%1 grants were copied").arg(FormProg->QueryuserProg->recordCount()));
            session().run(remove);
            reloadProgramLists(user);
            return ms;
        });
        const db::BoundParams copy{{QStringLiteral("from_db"), 2.0}, {QStringLiteral("to_db"), 3.0},
                                   {QStringLiteral("username"), user}};
        QList<double> raw;
        {
            // The same work: the history kept, the copy's rows recorded, the copy.
            const history::Statement recording = history::copyRecording(user, 2.0, 3.0);
            raw.append(rawTime([&] {
                session().run(history::probeStatement());
                session().exec(QStringLiteral("begin"));
                session().run(recording.sql, recording.params);
                session().run(sql(statements::QueryCopyAll), copy);
                session().exec(QStringLiteral("commit"));
                session().run(sql(statements::QueryuserProg), userParams(user, 3));
                session().run(sql(statements::QueryAllProg), userParams(user, 3));
            }));
            session().run(remove);
        }
        record(QStringLiteral("copy %1 grants from another company").arg(m_server.copyGrants), project, raw);
        choose(1);
        settle();
    }

    // the history window opened over ten thousand changes and more: the newest part read
    // and painted
    void historyWindow()
    {
        constexpr int changes = 10000;
        if (m_round == 0) {
            session().exec(QStringLiteral(
                "with recursive n(i) as (select 1 union all select i + 1 from n where i < %1) "
                "insert into vortalix.grant_history (changed_by, os_user, host_name, action, prog_id, "
                "prog_exe, database_id, db_name, username) select 'VORTALIX', 'bench', "
                "'bench', 'GRANT', 1, 'BENCH.EXE', 1, 'C1', 'USER' || i from n")
                               .arg(changes));
        }
        const qint64 stored = session().number(QStringLiteral("select count(*) from vortalix.grant_history"));
        const QList<double> project = times([&] {
            QElapsedTimer t;
            t.start();
            Form1->SpeedButtonHistory->click();
            FormHistory->repaint();
            settle();
            const double ms = elapsed(t);
            expectQuiet(QStringLiteral("history window"));
            check(FormHistory->QueryHistory->recordCount() == db::DataSet::fetchPacket,
                  QStringLiteral("the history window shows %1 rows").arg(FormHistory->QueryHistory->recordCount()));
            FormHistory->hide();
            settle();
            return ms;
        });
        const QList<double> raw = rawTimes([&] {
            session().run(QStringLiteral(
                "select history_id, changed_at, changed_by, os_user, host_name, action, prog_id, prog_exe, "
                "database_id, db_name, username, detail from vortalix.grant_history where history_id < 1e18 "
                "order by history_id desc nulls first limit %1")
                              .arg(history::Rows::partRows));
        });
        record(QStringLiteral("history window: open over %1 changes").arg(stored >= changes ? changes : stored), project,
               raw);
    }

    void accountWindow()
    {
        // The first showing asks for the password of system; later ones take it from
        // the program's cache, as they do for a user. (The benchmark's connect forgets the
        // passwords the process checked; this showing checks system's again.)
        if (m_round == 0) {
            ModalAnswer answer([&](QWidget *) {
                LoginForm->PasswdEdit->setText(QStringLiteral("manager"));
                LoginForm->BitBtn1->click();
            });
            Form1->SpeedButtonUSR->click();
            settle();
            answer.rethrow();
        } else {
            Form1->SpeedButtonUSR->click();
            settle();
        }
        expectQuiet(QStringLiteral("account window"));
        FormCreateUser->hide();
        const QList<double> project = times([&] {
            QElapsedTimer t;
            t.start();
            Form1->SpeedButtonUSR->click();
            settle();
            const double ms = elapsed(t);
            expectQuiet(QStringLiteral("account window"));
            check(FormCreateUser->Query1->recordCount() == m_server.dealers(),
                  QStringLiteral("the account window lists %1 users").arg(FormCreateUser->Query1->recordCount()));
            FormCreateUser->hide();
            settle();
            return ms;
        });
        const QList<double> raw = rawTimes([&] {
            session().run(sql(statements::AddUserQuery1));
            const auto system = m_engine.login(QStringLiteral("system"), QStringLiteral("manager"), false);
            system->run(sql(statements::AddUserQuery3));
        });
        record(QStringLiteral("account window: scan of %1 users").arg(m_server.dealers()), project, raw);
    }

    // The companies window: opened from the main window, and closed after a change of
    // one company's name, which it saves; the main window then reads its companies again.
    void companiesWindow()
    {
        const QList<double> open = times([&] {
            QElapsedTimer t;
            double ms = 0;
            ModalAnswer answer([&](QWidget *dialog) {
                dialog->repaint();
                ms = elapsed(t);
                check(FormDBs->Table1->recordCount() == m_server.shape.companies,
                      QStringLiteral("the window shows %1 companies").arg(FormDBs->Table1->recordCount()));
                FormDBs->BitBtn1->click();
            });
            t.start();
            Form1->SpeedButtonDB->click();
            settle();
            answer.rethrow();
            expectQuiet(QStringLiteral("companies window"));
            return ms;
        });
        const QString table = QStringLiteral("select ID, SYSTEM_DATE, REPORT_DATE, FIRMA_NIMI, COMPANY_NAME, V_COMPANY, DB_NAME "
                                             "from V_SYSPARAMS order by V_COMPANY");
        record(QStringLiteral("companies window: open, %1 companies").arg(m_server.shape.companies), open,
               rawTimes([&] { session().run(table); }));

        const QString name = QStringLiteral("Vortalix firma %1").arg(m_round + 1);
        const QList<double> save = times([&] {
            QElapsedTimer t;
            ModalAnswer answer([&](QWidget *) {
                FormDBs->Table1->first();
                FormDBs->Table1->edit();
                FormDBs->Table1FIRMA_NIMI->setAsString(name);
                t.start();
                FormDBs->BitBtn1->click();
            });
            const double ms = clickAnswered(*Form1->SpeedButtonDB, answer, t, QStringLiteral("companies window"));
            check(session().number(QStringLiteral("select count(*) from v_sysparams where firma_nimi = '%1'").arg(name)) == 1,
                  QStringLiteral("the company's new name was not saved"));
            return ms;
        });
        QList<double> raw;
        QString current = name;
        {
            const QString next = QStringLiteral("Vortalix firma raw %1").arg(m_round + 1);
            raw.append(rawTime([&] {
                const qint64 saved = session().run(
                    QStringLiteral("update V_SYSPARAMS set FIRMA_NIMI = :new3 where ID = :old0 and "
                                   "SYSTEM_DATE = :old1 and REPORT_DATE = :old2 and FIRMA_NIMI = :old3 and "
                                   "COMPANY_NAME = :old4 and V_COMPANY = :old5 and DB_NAME = :old6"),
                              {{QStringLiteral("new3"), next},
                               {QStringLiteral("old0"), 1.0},
                               {QStringLiteral("old1"), QStringLiteral("2024-05-31 00:00:00")},
                               {QStringLiteral("old2"), QStringLiteral("2024-05-30 00:00:00")},
                               {QStringLiteral("old3"), current},
                               {QStringLiteral("old4"), QStringLiteral("Vortalix FIRMA01 Ltd")},
                               {QStringLiteral("old5"), 1.0},
                               {QStringLiteral("old6"), companyName(1)}});
                check(saved == 1, QStringLiteral("the raw update found no row"));
                session().run(table.left(table.indexOf(QLatin1String(" order by"))) + QStringLiteral(" where V_COMPANY = :key0"),
                              {{QStringLiteral("key0"), 1.0}});
                session().run(sql(statements::QueryDBs));
            }));
            current = next;
        }
        record(QStringLiteral("companies window: change a name, close (saved, companies read again)"), save, raw);
    }

    static QString companyName(int company) { return QStringLiteral("FIRMA%1").arg(company, 2, 10, QLatin1Char('0')); }

    RawEngine &session()
    {
        if (!m_session)
            m_session = ownerSession();
        return *m_session;
    }

    const BankServer &m_server;
    Server &m_engine;
    int m_rounds;
    int m_round = 0;
    QStringList m_order;
    QHash<QString, std::pair<QList<double>, QList<double>>> m_results;
    Table &m_table;
    QString m_column;
    Messages *m_messages = nullptr;
    std::unique_ptr<RawEngine> m_session;
    qint64 m_registerBytes = 0;
};

void Interactions::forgetLogins()
{
    // Every connect pays the first login's password check, as the first connect of a
    // started program does.
    embedded::PasswordHash::forgetVerified();
}

// ---- the dataset layer against the C API ---------------------------------------------

std::pair<double, double> datasetOpen(const QString &folder, int programs, int repeat, Table &table, const QString &column)
{
    db::ServerDirectory directory(QDir(folder).filePath(QStringLiteral("servers.ini")), QFileInfo(folder).path());
    db::Connection connection(QStringLiteral("BENCH"));
    connection.setDirectory(&directory);
    connection.params().setValue(QStringLiteral("SERVER NAME"), QFileInfo(folder).fileName());
    connection.params().setValue(QStringLiteral("USER NAME"), QStringLiteral("vortalix"));
    connection.params().setValue(QStringLiteral("PASSWORD"), QStringLiteral("lumivar"));
    connection.open();
    const QString statement = QStringLiteral("select * from vortalix_prog order by prog_id");
    db::Query query;
    query.setConnection(&connection);
    query.setSql({statement});
    QList<double> project;
    QList<double> raw;
    RawSession session(folder);
    for (int i = 0; i < repeat; ++i) {
        QElapsedTimer t;
        t.start();
        query.open();
        project.append(double(t.nsecsElapsed()) / 1e6);
        check(query.recordCount() == programs, QStringLiteral("the register opened with %1 rows").arg(query.recordCount()));
        query.close();
        t.start();
        check(session.run(statement) == programs, QStringLiteral("the C API read the wrong rows"));
        raw.append(double(t.nsecsElapsed()) / 1e6);
    }
    table.add(column, {QStringLiteral("dataset layer's open of %1 rows").arg(programs), median(project), median(raw)});
    std::fprintf(stderr, "  dataset open %d rows: %.1f ms / %.1f ms\n", programs, median(project), median(raw));
    return {median(project), median(raw)};
}

// ---- one process per memory measurement -----------------------------------------------

// Runs in a child started while the parent's Environment holds: it reaches the same
// server through the variables it inherited.
int connectForMemory()
{
    Windows windows;
    Form1->show();
    settle();
    Interactions::connectOnce(QStringLiteral("lumivar"));
    std::printf("peak-resident-kib %lld\n", static_cast<long long>(peakResidentKiB()));
    Form1->SpeedButton1->click();
    settle();
    return 0;
}

double peakMemoryAfterConnect()
{
    QProcess child;
    child.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    child.start(QCoreApplication::applicationFilePath(), {QStringLiteral("--connect-memory")});
    if (!child.waitForFinished(300000) || child.exitCode() != 0)
        fail(QStringLiteral("the memory measurement failed"));
    const QString out = QString::fromUtf8(child.readAllStandardOutput());
    const qsizetype at = out.indexOf(QLatin1String("peak-resident-kib "));
    check(at >= 0, QStringLiteral("the memory measurement printed nothing"));
    return out.mid(at + 18).trimmed().toDouble() / 1024.0;
}

// ---- a whole run ----------------------------------------------------------------------

struct Options {
    bool smoke = false;
    bool onlyBank = false;
    bool embedded = true;
    bool postgresql = false;
    int repeat = 7;
    QString folder;
};

QString describeMachine()
{
    QFile cpu(QStringLiteral("/proc/cpuinfo"));
    QString model;
    int cores = 0;
    if (cpu.open(QIODevice::ReadOnly)) {
        for (const QByteArray &line : cpu.readAll().split('\n')) {
            if (line.startsWith("model name")) {
                ++cores;
                if (model.isEmpty())
                    model = QString::fromUtf8(line.mid(line.indexOf(':') + 1)).trimmed();
            }
        }
    }
    return QStringLiteral("%1, %2 cores, %3; load %4").arg(model).arg(cores).arg(QSysInfo::prettyProductName(), loadAverage());
}

QString folderFor(const QString &root, const QString &column)
{
    return QDir(root).filePath(column.simplified().remove(QLatin1Char(',')).replace(QLatin1Char(' '), QLatin1Char('_')));
}

void runEmbedded(const QString &root, const QString &column, const BankShape &shape, const Options &options, Table &table)
{
    const QString data = folderFor(root, column);
    const QString folder = QDir(data).filePath(alias);
    QDir().mkpath(data);
    QElapsedTimer made;
    made.start();
    std::fprintf(stderr, "%s: making the server in %s\n", qPrintable(column), qPrintable(folder));
    const BankServer server = bench::makeBankServer(folder, shape);
    std::fprintf(stderr, "  %lld grants made in %.1f s\n", static_cast<long long>(server.grants), double(made.elapsed()) / 1000);
    Environment environment(data);
    EmbeddedUnderTest engine(folder);
    Interactions(server, engine, options.repeat, table, column).run();
    table.note(QStringLiteral("%1: peak memory after connect %2 MB").arg(column).arg(peakMemoryAfterConnect(), 0, 'f', 0));
}

void runPostgreSql(const QString &root, const QString &column, const BankShape &shape, const Options &options, Table &table)
{
    const QString data = folderFor(root, column);
    QDir().mkpath(data);
    QElapsedTimer made;
    made.start();
    const QString folder = QDir(data).filePath(QStringLiteral("cluster"));
    std::fprintf(stderr, "%s: making the cluster in %s\n", qPrintable(column), qPrintable(folder));
    const bench::PgCluster cluster(folder);
    const BankServer server = bench::makePgBankServer(cluster, shape);
    std::fprintf(stderr, "  %lld grants made in %.1f s\n", static_cast<long long>(server.grants), double(made.elapsed()) / 1000);
    Environment environment(data, cluster.serversEntry(alias));
    PostgreSqlUnderTest engine(cluster);
    Interactions(server, engine, options.repeat, table, column).run();
    table.note(QStringLiteral("%1: peak memory after connect %2 MB").arg(column).arg(peakMemoryAfterConnect(), 0, 'f', 0));
}

// The dataset layer alone, on embedded registers of two sizes.
void datasetLayer(const QString &root, const Options &options, Table &table, const QString &column)
{
    const QList<int> sizes = options.smoke ? QList<int>{200, 2000} : QList<int>{10000, 100000};
    QList<std::pair<double, double>> opened;
    for (int programs : sizes) {
        const QString folder = QDir(root).filePath(QStringLiteral("register/R%1").arg(programs));
        QDir().mkpath(QFileInfo(folder).path());
        embedded::EmbeddedServer::create(folder);
        bench::fillRegister(QDir(folder).filePath(embedded::EmbeddedServer::schemaFileName(QStringLiteral("VORTALIX"))),
                            programs);
        opened.append(datasetOpen(folder, programs, options.repeat, table, column));
    }
    table.note(QStringLiteral("dataset layer: %1 rows take %2× the time of %3 (C API: %4×)")
                   .arg(sizes.last())
                   .arg(opened.last().first / opened.first().first, 0, 'f', 1)
                   .arg(sizes.first())
                   .arg(opened.last().second / opened.first().second, 0, 'f', 1));
}

int run(const Options &options)
{
    QTemporaryDir temporary;
    const QString root = options.folder.isEmpty() ? temporary.path() : options.folder;
    if (!options.folder.isEmpty() && QDir(root).exists() && !QDir(root).isEmpty())
        fail(QStringLiteral("%1 is not empty").arg(root));
    QDir().mkpath(root);
    // A cluster run as the user postgres (when this runs as root) must reach its folder.
    QFile::setPermissions(root, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner
                                    | QFileDevice::ReadGroup | QFileDevice::ExeGroup | QFileDevice::ReadOther
                                    | QFileDevice::ExeOther);
    const QString machine = QStringLiteral("machine: ") + describeMachine();
    const BankShape bank = options.smoke ? BankShape::tiny() : BankShape::bank();
    const QString bankColumn = options.smoke ? QStringLiteral("tiny") : QStringLiteral("1 000 000 grants");
    if (options.embedded) {
        Table table;
        table.note(machine);
        runEmbedded(root, QStringLiteral("embedded, ") + bankColumn, bank, options, table);
        if (!options.onlyBank && !options.smoke) {
            BankShape smaller = BankShape::bank();
            smaller.grants = 100000;
            runEmbedded(root, QStringLiteral("embedded, 100 000 grants"), smaller, options, table);
        }
        datasetLayer(root, options, table, QStringLiteral("embedded, ") + bankColumn);
        table.note(QStringLiteral("load at the end: ") + loadAverage());
        table.print(QStringLiteral("The embedded server"), QStringLiteral("SQLite C API"));
    }
    if (options.postgresql) {
        Table table;
        table.note(machine);
        runPostgreSql(root, QStringLiteral("PostgreSQL, ") + bankColumn, bank, options, table);
        table.note(QStringLiteral("load at the end: ") + loadAverage());
        table.print(QStringLiteral("PostgreSQL"), QStringLiteral("libpq"));
    }
    return 0;
}

// The offscreen platform's notes about window features it lacks say nothing here.
void quietPlatform(QtMsgType type, const QMessageLogContext &context, const QString &message)
{
    if (message.startsWith(QLatin1String("This plugin does not support")) || message.startsWith(QLatin1String("QStandardPaths:")))
        return;
    std::fprintf(stderr, "%s\n", qPrintable(qFormatLogMessage(type, context, message)));
}

} // namespace

int main(int argc, char **argv)
{
    qInstallMessageHandler(quietPlatform);
    controls::Application application(argc, argv);
    embedded::EmbeddedServer::registerKind();
    const QStringList args = QCoreApplication::arguments();
    try {
        if (args.size() == 2 && args.at(1) == QLatin1String("--connect-memory"))
            return connectForMemory();
        Options options;
        for (int i = 1; i < args.size(); ++i) {
            const QString &a = args.at(i);
            if (a == QLatin1String("--smoke")) {
                options.smoke = true;
                options.repeat = 2;
            } else if (a == QLatin1String("--only-bank")) {
                options.onlyBank = true;
            } else if (a == QLatin1String("--repeat") && i + 1 < args.size()) {
                options.repeat = std::max(1, args.at(++i).toInt());
            } else if (a == QLatin1String("--folder") && i + 1 < args.size()) {
                options.folder = args.at(++i);
            } else if (a == QLatin1String("--server") && i + 1 < args.size()
                       && QStringList{QStringLiteral("embedded"), QStringLiteral("postgresql"), QStringLiteral("both")}
                              .contains(args.at(i + 1))) {
                const QString server = args.at(++i);
                options.embedded = server != QLatin1String("postgresql");
                options.postgresql = server != QLatin1String("embedded");
            } else {
                std::fprintf(stderr, "usage: app_bench [--smoke] [--server embedded|postgresql|both] [--only-bank] "
                                     "[--repeat N] [--folder EMPTY_DIR]\n");
                return 2;
            }
        }
        return run(options);
    } catch (const std::exception &e) {
        std::fprintf(stderr, "app_bench: %s\n", e.what());
        return 1;
    }
}
