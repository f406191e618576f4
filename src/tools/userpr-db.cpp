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

#include <cstdio>

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

int usage()
{
    err() << "usage:\n"
             "  userpr-db init SERVER [--demo]      create an embedded server (and its demonstration data)\n"
             "  userpr-db passwd SERVER USER        set USER's password to the line read from standard input\n"
             "  userpr-db sql SERVER USER[/PASSWORD] run the statements of standard input as USER;\n"
             "                                      without /PASSWORD the first input line is the password\n"
             "Statements end with ';' at the end of a line or with a line holding only '/'.\n"
             "Embedded servers live in $USERPR_DATA (default: the user's data folder, Userpr).\n";
    err().flush();
    return 2;
}

// Reads statements: each ends with ';' at the end of a line or with a line holding only '/'.
class ScriptReader {
public:
    explicit ScriptReader(QTextStream &in) : m_in(in) {}

    bool next(QString *statement)
    {
        QStringList lines;
        QString line;
        while (m_in.readLineInto(&line)) {
            const QString trimmed = line.trimmed();
            if (trimmed == QLatin1String("/")) {
                if (lines.isEmpty())
                    continue;
                *statement = lines.join(QLatin1Char('\n'));
                return true;
            }
            if (lines.isEmpty() && trimmed.isEmpty())
                continue;
            if (trimmed.endsWith(QLatin1Char(';'))) {
                lines.append(line.left(line.lastIndexOf(QLatin1Char(';'))));
                *statement = lines.join(QLatin1Char('\n'));
                if (!statement->trimmed().isEmpty())
                    return true;
                lines.clear();
                continue;
            }
            lines.append(line);
        }
        // A last statement without its end still runs.
        *statement = lines.join(QLatin1Char('\n'));
        return !statement->trimmed().isEmpty();
    }

private:
    QTextStream &m_in;
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
        QTextStream in(stdin);
        const QString password = in.readLine();
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

int runSql(const QStringList &args)
{
    if (args.size() != 2)
        return usage();
    QTextStream in(stdin);
    QString user = args.at(1);
    QString password;
    const qsizetype slash = user.indexOf(QLatin1Char('/'));
    if (slash >= 0) {
        password = user.mid(slash + 1);
        user = user.left(slash);
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
    ScriptReader reader(in);
    QString statement;
    while (reader.next(&statement)) {
        try {
            const QString keyword = db::sql::firstKeyword(statement);
            if (keyword == QLatin1String("SELECT") || keyword == QLatin1String("WITH")) {
                printRows(connection.backend().select(statement, {}));
            } else {
                const qint64 rows = connection.backend().execute(statement, {});
                out() << confirmation(connection.backend(), statement, rows) << "\n";
            }
        } catch (const db::DbError &e) {
            out().flush();
            err() << e.text() << "\n";
            err().flush();
            ++failures;
        }
        out().flush();
    }
    connection.close();
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
    if (command == QLatin1String("init"))
        rc = runInit(args);
    else if (command == QLatin1String("passwd"))
        rc = runPasswd(args);
    else if (command == QLatin1String("sql"))
        rc = runSql(args);
    else
        rc = usage();
    out().flush();
    err().flush();
    return rc;
}
