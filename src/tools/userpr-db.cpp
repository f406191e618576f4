// userpr-db: the embedded server's console. Creates a server, loads the demonstration
// data, sets passwords and runs statements as a login, like a server's own SQL prompt.

#include "platform/core/PrivateMemory.h"
#include "platform/db/AccountStatement.h"
#include "platform/db/Connection.h"
#include "platform/db/DbError.h"
#include "platform/db/Field.h"
#include "platform/db/Params.h"
#include "platform/db/ServerDirectory.h"
#include "platform/db/ServerRules.h"
#include "platform/embedded/EmbeddedServer.h"

#include <QCoreApplication>
#include <QStringList>
#include <QTextStream>

#include <csignal>
#include <cstdio>
#include <functional>
#include <memory>

#include <histedit.h>
#include <termios.h>
#include <unistd.h>

namespace {

QTextStream &out()
{
    static QTextStream stream(stdout);
    return stream;
}

QTextStream &err()
{
    static QTextStream stream(stderr);
    return stream;
}

const char usageText[] =
    "usage:\n"
    "  userpr-db init SERVER [--demo]      create an embedded server (and its demonstration data)\n"
    "  userpr-db passwd SERVER USER        set USER's password to the line read from standard input\n"
    "  userpr-db history SERVER            add the history of grants to a server made without it\n"
    "  userpr-db sql [--stop-on-error] SERVER USER[/PASSWORD]\n"
    "                                      run the statements of standard input as USER;\n"
    "                                      without /PASSWORD the password is asked first\n"
    "  userpr-db --help | --version\n"
    "Statements end with ';' at the end of a line or with a line holding only '/'; 'exit' or\n"
    "'quit' ends the input. At a terminal, sql offers a prompt with line editing and history\n"
    "and asks for passwords without showing them. A failed statement is reported with the\n"
    "line it starts on, and the run goes on unless --stop-on-error is given.\n"
    "Embedded servers live in $USERPR_DATA (default: the user's data folder, Userpr).\n";

int usage()
{
    err() << usageText;
    err().flush();
    return 2;
}

// ---- the terminal ----------------------------------------------------------------------

bool atTerminal()
{
    return isatty(STDIN_FILENO) == 1;
}

// The terminal's settings while a password is typed without echo, put back also when the
// typing is interrupted.
termios savedTerminal;
volatile std::sig_atomic_t echoOff = 0;

void restoreEchoAndRaise(int signal)
{
    if (echoOff)
        tcsetattr(STDIN_FILENO, TCSANOW, &savedTerminal);
    std::signal(signal, SIG_DFL);
    std::raise(signal);
}

// Reads a password from the terminal as a server's own tools do: the prompt goes to
// standard error, and what is typed is not shown. Returns false at the end of the input.
bool readHidden(const QString &prompt, QString *password)
{
    // The echo is off before the prompt appears, so nothing typed after it is shown.
    if (tcgetattr(STDIN_FILENO, &savedTerminal) == 0) {
        termios quiet = savedTerminal;
        quiet.c_lflag &= ~tcflag_t(ECHO);
        quiet.c_lflag |= ECHONL;
        for (int signal : {SIGINT, SIGTERM, SIGHUP, SIGQUIT, SIGTSTP})
            std::signal(signal, restoreEchoAndRaise);
        echoOff = 1;
        tcsetattr(STDIN_FILENO, TCSANOW, &quiet);
    }
    err() << prompt;
    err().flush();
    // Byte by byte, so that nothing after the line is taken from the terminal.
    QByteArray line;
    char c = 0;
    bool ended = false;
    while (!ended) {
        const ssize_t n = read(STDIN_FILENO, &c, 1);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            break;
        if (c == '\n')
            ended = true;
        else
            line.append(c);
    }
    if (echoOff) {
        tcsetattr(STDIN_FILENO, TCSANOW, &savedTerminal);
        echoOff = 0;
        for (int signal : {SIGINT, SIGTERM, SIGHUP, SIGQUIT, SIGTSTP})
            std::signal(signal, SIG_DFL);
    }
    *password = QString::fromLocal8Bit(line);
    return ended || !line.isEmpty();
}

// Where the statements come from: a pipe or file, read as it is, or a terminal, read
// through a prompt with line editing and a history of the lines typed this session (kept
// in memory only: statements may carry passwords).
class LineSource {
public:
    virtual ~LineSource() = default;
    virtual bool readLine(QString *line) = 0;
    // Whether the next line continues a statement begun on an earlier one.
    virtual void setContinuing(bool) {}
};

class StreamLines : public LineSource {
public:
    explicit StreamLines(QTextStream &in) : m_in(in) {}
    bool readLine(QString *line) override { return m_in.readLineInto(line); }

private:
    QTextStream &m_in;
};

class TerminalLines : public LineSource {
public:
    TerminalLines()
        : m_editor(el_init("userpr-db", stdin, stdout, stderr), el_end), m_history(history_init(), history_end)
    {
        HistEvent event;
        history(m_history.get(), &event, H_SETSIZE, 500);
        history(m_history.get(), &event, H_SETUNIQUE, 1);
        EditLine *el = m_editor.get();
        el_set(el, EL_EDITOR, "emacs");
        el_set(el, EL_SIGNAL, 1); // the terminal is put back when a signal ends the program
        el_set(el, EL_HIST, history, m_history.get());
        el_set(el, EL_CLIENTDATA, this);
        el_set(el, EL_PROMPT, &TerminalLines::prompt);
        el_source(el, nullptr); // the user's own ~/.editrc, as other prompts read it
    }

    bool readLine(QString *line) override
    {
        out().flush();
        err().flush();
        std::fflush(stdout);
        int count = 0;
        const char *read = el_gets(m_editor.get(), &count);
        if (!read || count <= 0)
            return false;
        QByteArray bytes(read, count);
        if (bytes.endsWith('\n'))
            bytes.chop(1);
        if (!bytes.trimmed().isEmpty()) {
            HistEvent event;
            history(m_history.get(), &event, H_ENTER, bytes.constData());
        }
        *line = QString::fromLocal8Bit(bytes);
        return true;
    }

    void setContinuing(bool on) override { m_continuing = on; }

private:
    static char *prompt(EditLine *el)
    {
        void *data = nullptr;
        el_get(el, EL_CLIENTDATA, &data);
        static char first[] = "SQL> ";
        static char more[] = "   > ";
        return static_cast<TerminalLines *>(data)->m_continuing ? more : first;
    }

    std::unique_ptr<EditLine, void (*)(EditLine *)> m_editor;
    std::unique_ptr<History, void (*)(History *)> m_history;
    bool m_continuing = false;
};

// ---- statements ------------------------------------------------------------------------

struct Statement {
    QString text;
    int line = 0; // the input line it begins on, counted from 1
};

// Reads statements: each ends with ';' at the end of a line or with a line holding only '/'.
// A line "exit" or "quit" (with or without ';') where a statement would begin ends the input.
class ScriptReader {
public:
    explicit ScriptReader(LineSource &source) : m_source(source) {}

    bool next(Statement *statement)
    {
        QStringList lines;
        QString line;
        m_source.setContinuing(false);
        while (m_source.readLine(&line)) {
            ++m_lineNumber;
            const QString trimmed = line.trimmed();
            if (trimmed == QLatin1String("/")) {
                if (lines.isEmpty())
                    continue;
                statement->text = lines.join(QLatin1Char('\n'));
                return true;
            }
            if (lines.isEmpty() && trimmed.isEmpty())
                continue;
            if (lines.isEmpty() && isQuit(trimmed)) {
                m_quit = true;
                return false;
            }
            if (lines.isEmpty())
                statement->line = m_lineNumber;
            if (trimmed.endsWith(QLatin1Char(';'))) {
                lines.append(line.left(line.lastIndexOf(QLatin1Char(';'))));
                statement->text = lines.join(QLatin1Char('\n'));
                if (!statement->text.trimmed().isEmpty())
                    return true;
                lines.clear();
                m_source.setContinuing(false);
                continue;
            }
            lines.append(line);
            m_source.setContinuing(true);
        }
        // A last statement without its end still runs.
        statement->text = lines.join(QLatin1Char('\n'));
        return !statement->text.trimmed().isEmpty();
    }

    // Whether the input ended with "exit" or "quit".
    bool quit() const { return m_quit; }

private:
    static bool isQuit(QString word)
    {
        if (word.endsWith(QLatin1Char(';')))
            word.chop(1);
        word = word.trimmed();
        return word.compare(QLatin1String("exit"), Qt::CaseInsensitive) == 0
            || word.compare(QLatin1String("quit"), Qt::CaseInsensitive) == 0;
    }

    LineSource &m_source;
    int m_lineNumber = 0;
    bool m_quit = false;
};

// What the prompt prints for a statement that ran: the server's own confirmation where
// it gives one, an account statement's as the one reader of them names it, otherwise
// the rows the statement touched.
QString confirmation(const db::Backend &backend, const QString &statement, qint64 rows)
{
    if (!backend.confirmation().isEmpty())
        return backend.confirmation();
    if (db::AccountStatement::recognizes(statement))
        return db::AccountStatement::parse(statement).confirmation();
    const QList<db::sql::Piece> pieces = db::sql::piecesOf(statement);
    auto word = [&](int i) {
        return i < pieces.size() && pieces.at(i).kind == db::sql::Piece::Word
                   ? statement.mid(pieces.at(i).start, pieces.at(i).end - pieces.at(i).start).toUpper()
                   : QString();
    };
    const QString keyword = word(0);
    const QString object = word(1);
    const QString plural = rows == 1 ? QStringLiteral("row") : QStringLiteral("rows");
    if (keyword == QLatin1String("INSERT"))
        return QStringLiteral("%1 %2 created.").arg(rows).arg(plural);
    if (keyword == QLatin1String("UPDATE"))
        return QStringLiteral("%1 %2 updated.").arg(rows).arg(plural);
    if (keyword == QLatin1String("DELETE"))
        return QStringLiteral("%1 %2 deleted.").arg(rows).arg(plural);
    if ((keyword == QLatin1String("CREATE") || keyword == QLatin1String("ALTER") || keyword == QLatin1String("DROP"))
        && !object.isEmpty()) {
        const QString done = keyword == QLatin1String("CREATE") ? QStringLiteral("created")
                           : keyword == QLatin1String("ALTER")  ? QStringLiteral("altered")
                                                                 : QStringLiteral("dropped");
        return QStringLiteral("%1 %2.").arg(object.at(0) + object.mid(1).toLower(), done);
    }
    if (keyword == QLatin1String("COMMIT"))
        return QStringLiteral("Commit complete.");
    return QStringLiteral("Statement processed.");
}

int runInit(const QStringList &args)
{
    if (args.size() < 1 || args.size() > 2 || (args.size() == 2 && args.at(1) != QLatin1String("--demo")))
        return usage();
    const QString server = args.at(0);
    const db::ServerDirectory &directory = db::ServerDirectory::standard();
    if (!db::ServerDirectory::isValidAlias(server)) {
        err() << "'" << server << "' is not a valid server name\n";
        return 1;
    }
    if (const auto entry = directory.find(server)) {
        if (entry->kind != QLatin1String(embedded::EmbeddedServer::kindName))
            err() << server << " is configured in " << directory.serversFile() << " as a " << entry->driver
                  << " server; init creates embedded servers only\n";
        else
            err() << "The server " << server << " already exists in " << entry->folder << "\n";
        return 1;
    }
    const QString folder = directory.embeddedFolder(server);
    try {
        // With the demonstration data loaded before the server is moved into its place, an
        // interrupted init leaves no server behind, and the next init starts afresh.
        embedded::EmbeddedServer::create(folder, args.size() == 2 ? embedded::EmbeddedServer::Content::Demo
                                                                  : embedded::EmbeddedServer::Content::Empty);
    } catch (const db::DbError &e) {
        err() << e.text() << "\n";
        return 1;
    }
    out() << "Created the embedded server " << server.toUpper() << " in " << folder
          << (args.size() == 2 ? " with the demonstration data" : "") << "\n";
    return 0;
}

int runPasswd(const QStringList &args)
{
    if (args.size() != 2)
        return usage();
    try {
        const db::ServerEntry entry = db::ServerDirectory::standard().resolve(args.at(0));
        if (entry.kind != QLatin1String(embedded::EmbeddedServer::kindName)) {
            err() << args.at(0) << " is not an embedded server; set its passwords with the server's own tools\n";
            return 1;
        }
        QString password;
        if (atTerminal()) {
            readHidden(QStringLiteral("New password for %1: ").arg(db::names::fromTyped(args.at(1))), &password);
        } else {
            QTextStream in(stdin);
            password = in.readLine();
        }
        if (password.isEmpty()) {
            err() << "No password given on standard input\n";
            return 1;
        }
        embedded::EmbeddedServer::setPassword(entry.folder, args.at(1), password);
    } catch (const db::DbError &e) {
        err() << e.text() << "\n";
        return 1;
    }
    out() << "Password of " << db::names::fromTyped(args.at(1)) << " changed.\n";
    return 0;
}

int runHistory(const QStringList &args)
{
    if (args.size() != 1)
        return usage();
    bool added = false;
    try {
        const db::ServerEntry entry = db::ServerDirectory::standard().resolve(args.at(0));
        if (entry.kind != QLatin1String(embedded::EmbeddedServer::kindName)) {
            err() << args.at(0) << " is not an embedded server; add the history with the statements of the "
                                   "server's schema folder (history.sql)\n";
            return 1;
        }
        added = embedded::EmbeddedServer::addHistory(entry.folder);
    } catch (const db::DbError &e) {
        err() << e.text() << "\n";
        return 1;
    }
    if (added)
        out() << "The server " << args.at(0).toUpper() << " keeps the history of grants from now on.\n";
    else
        out() << "The server " << args.at(0).toUpper() << " keeps the history of grants already.\n";
    return 0;
}

void printRows(const db::ResultSet &rs)
{
    QStringList header;
    for (const db::ColumnInfo &c : rs.columns)
        header.append(c.name);
    out() << header.join(QLatin1Char('\t')) << "\n";
    for (const db::Row &row : rs.rows) {
        QStringList values;
        for (int i = 0; i < rs.columns.size(); ++i)
            values.append(db::Field::textOf(row.value(i), rs.columns.at(i).type));
        out() << values.join(QLatin1Char('\t')) << "\n";
    }
}

int runSql(QStringList args)
{
    const bool stopOnError = args.removeAll(QStringLiteral("--stop-on-error")) > 0;
    if (args.size() != 2)
        return usage();
    const bool interactive = atTerminal();
    QTextStream in(stdin);
    QString user = args.at(1);
    QString password;
    const qsizetype slash = user.indexOf(QLatin1Char('/'));
    if (slash >= 0) {
        password = user.mid(slash + 1);
        user = user.left(slash);
    } else if (interactive) {
        readHidden(QStringLiteral("Password for %1: ").arg(db::names::fromTyped(user)), &password);
    } else {
        password = in.readLine();
    }
    db::Connection connection(QStringLiteral("USERPR-DB"));
    connection.params().setValue(QStringLiteral("SERVER NAME"), args.at(0));
    connection.params().setValue(QStringLiteral("USER NAME"), user);
    connection.params().setValue(QStringLiteral("PASSWORD"), password);
    try {
        connection.open();
    } catch (const db::DbError &e) {
        err() << e.text() << "\n";
        return 2;
    }
    int failures = 0;
    std::unique_ptr<LineSource> lines;
    if (interactive)
        lines = std::make_unique<TerminalLines>();
    else
        lines = std::make_unique<StreamLines>(in);
    ScriptReader reader(*lines);
    Statement statement;
    while (reader.next(&statement)) {
        try {
            const QString keyword = db::sql::firstKeyword(statement.text);
            if (keyword == QLatin1String("SELECT") || keyword == QLatin1String("WITH")) {
                printRows(connection.backend().select(statement.text, {}));
            } else {
                const qint64 rows = connection.backend().execute(statement.text, {});
                out() << confirmation(connection.backend(), statement.text, rows) << "\n";
            }
        } catch (const db::DbError &e) {
            out().flush();
            err() << "Statement at line " << statement.line << " failed: " << e.text() << "\n";
            err().flush();
            ++failures;
        }
        out().flush();
        if (failures > 0 && stopOnError)
            break;
    }
    connection.close();
    // At a terminal the administrator has seen every error; leaving the prompt is no
    // failure. A script that stopped on an error, or had any, says so.
    if (interactive && (!stopOnError || failures == 0))
        return 0;
    return failures == 0 ? 0 : 1;
}

} // namespace

int main(int argc, char *argv[])
{
    core::keepMemoryPrivate(); // passwords pass through this process's memory
    QCoreApplication app(argc, argv);
    embedded::EmbeddedServer::registerKind();
    QStringList args = app.arguments().mid(1);
    if (args.isEmpty())
        return usage();
    const QString command = args.takeFirst();
    int rc = 0;
    if (command == QLatin1String("--help") || command == QLatin1String("-h")) {
        out() << usageText;
    } else if (command == QLatin1String("--version")) {
        out() << "userpr-db " << USERPR_VERSION << "\n";
    } else if (command == QLatin1String("init"))
        rc = runInit(args);
    else if (command == QLatin1String("passwd"))
        rc = runPasswd(args);
    else if (command == QLatin1String("history"))
        rc = runHistory(args);
    else if (command == QLatin1String("sql"))
        rc = runSql(args);
    else
        rc = usage();
    out().flush();
    err().flush();
    return rc;
}
