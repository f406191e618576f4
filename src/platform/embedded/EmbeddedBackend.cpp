#include "platform/embedded/EmbeddedBackend.h"

#include "platform/db/Params.h"
#include "platform/db/ServerRules.h"
#include "platform/embedded/AccountNames.h"
#include "platform/embedded/AccountStatements.h"
#include "platform/embedded/Dictionary.h"
#include "platform/embedded/EmbeddedServer.h"
#include "platform/embedded/ServerErrors.h"
#include "platform/embedded/SqlFunctions.h"
#include "platform/embedded/Sqlite.h"

#include <QAtomicInt>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSqlDatabase>
#include <QSqlDriver>
#include <QSqlError>
#include <QUrl>

#include <sqlite3.h>

#include <optional>
#include <utility>

namespace embedded {

using db::BoundParams;
using db::DbError;
using db::FieldType;
using db::ResultSet;

namespace {

QAtomicInt sessionCounter;

// The type and size a declared column type stands for.
db::ColumnInfo columnFromDeclaration(const char *declared)
{
    db::ColumnInfo info;
    if (!declared)
        return info;
    const QString d = QString::fromUtf8(declared).toUpper();
    auto sizeIn = [&]() {
        const qsizetype open = d.indexOf(QLatin1Char('('));
        const qsizetype close = d.indexOf(QLatin1Char(')'), open);
        return open >= 0 && close > open ? d.mid(open + 1, close - open - 1).trimmed().toInt() : 0;
    };
    if (d.contains(QLatin1String("CLOB")) || d.startsWith(QLatin1String("LONG")) || d.contains(QLatin1String("MEMO"))) {
        info.type = FieldType::Memo;
    } else if (d.contains(QLatin1String("CHAR")) || d.contains(QLatin1String("TEXT"))) {
        info.type = FieldType::String;
        info.size = sizeIn();
    } else if (d.startsWith(QLatin1String("DATE")) || d.startsWith(QLatin1String("TIMESTAMP"))) {
        info.type = FieldType::DateTime;
    } else if (d.contains(QLatin1String("INT")) || d.startsWith(QLatin1String("NUMBER"))
               || d.startsWith(QLatin1String("FLOAT")) || d.startsWith(QLatin1String("REAL"))
               || d.startsWith(QLatin1String("DOUBLE")) || d.startsWith(QLatin1String("NUMERIC"))
               || d.startsWith(QLatin1String("DECIMAL"))) {
        info.type = FieldType::Float;
    } else if (d.contains(QLatin1String("BLOB"))) {
        info.type = FieldType::Memo;
    }
    return info;
}

} // namespace

// Statements the server runs for itself pass the privilege checks.
struct EmbeddedBackend::Internal {
    explicit Internal(EmbeddedBackend &b) : backend(b) { ++backend.m_internal; }
    ~Internal() { --backend.m_internal; }
    EmbeddedBackend &backend;
};

EmbeddedBackend::EmbeddedBackend(const QString &folder)
    : m_folder(folder),
      m_connectionName(QStringLiteral("userpr-embedded-%1").arg(sessionCounter.fetchAndAddRelaxed(1)))
{
    m_dialect.kind = QStringLiteral("embedded");
    m_dialect.emptyStringIsNull = true;
    m_dialect.newKey = db::Dialect::NewKey::RowIdLookup;
}

EmbeddedBackend::~EmbeddedBackend()
{
    close();
}

namespace {

// The terms of the statement's own ORDER BY, each as the indexes of its first and last
// pieces (last < first for an empty term), split at the commas outside parentheses. The
// clause ends at a ';', LIMIT, OFFSET, FETCH or FOR outside parentheses.
QList<std::pair<qsizetype, qsizetype>> orderTerms(const QString &sql, const QList<db::sql::Piece> &pieces)
{
    using db::sql::isOther;
    using db::sql::isWord;
    QList<std::pair<qsizetype, qsizetype>> terms;
    const qsizetype order = db::sql::topLevelOrderBy(sql, pieces);
    if (order < 0)
        return terms;
    qsizetype first = order + 2;
    qsizetype at = first;
    for (; at < pieces.size(); ++at) {
        const db::sql::Piece &p = pieces.at(at);
        if (p.depth != 0)
            continue;
        if (isOther(sql, p, ';') || isWord(sql, p, "limit") || isWord(sql, p, "offset") || isWord(sql, p, "fetch")
            || isWord(sql, p, "for"))
            break;
        if (isOther(sql, p, ',')) {
            terms.append({first, at - 1});
            first = at + 1;
        }
    }
    terms.append({first, at - 1});
    return terms;
}

} // namespace

QString EmbeddedBackend::orderedLikeTheServer(const QString &sql)
{
    using db::sql::isWord;
    const QList<db::sql::Piece> pieces = db::sql::piecesOf(sql);
    const QList<std::pair<qsizetype, qsizetype>> terms = orderTerms(sql, pieces);
    // The real server puts missing values after the others in ascending order, and
    // before them in descending order. Each term is told so right after its last piece,
    // before any comment that follows it.
    QString result = sql;
    for (auto term = terms.crbegin(); term != terms.crend(); ++term) {
        const auto [first, last] = *term;
        if (last < first)
            continue; // for the server to refuse
        const db::sql::Piece &end = pieces.at(last);
        if (last > first && isWord(sql, pieces.at(last - 1), "nulls")
            && (isWord(sql, end, "first") || isWord(sql, end, "last")))
            continue;
        const bool descending = isWord(sql, end, "desc");
        result.insert(end.end, descending ? QStringLiteral(" nulls first") : QStringLiteral(" nulls last"));
    }
    return result;
}

void EmbeddedBackend::internalExec(const QString &sql)
{
    Internal scope(*this);
    runScript(m_handle, sql);
}

void EmbeddedBackend::open(const QString &user, const QString &password)
{
    close();
    EmbeddedServer::checkFiles(m_folder);
    QVariant handle;
    QString failure;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), m_connectionName);
        db.setDatabaseName(QStringLiteral(":memory:"));
        // File names as URIs, so that a file is attached only where it exists.
        db.setConnectOptions(QStringLiteral("QSQLITE_OPEN_URI"));
        if (!db.open())
            failure = QStringLiteral("The embedded server could not be started: ") + db.lastError().text();
        else
            handle = db.driver()->handle();
    }
    if (failure.isEmpty() && (!handle.isValid() || qstrcmp(handle.typeName(), "sqlite3*") != 0))
        failure = QStringLiteral("The SQLite driver exposes no handle");
    if (!failure.isEmpty()) {
        close();
        throw DbError(failure);
    }
    m_handle = *static_cast<sqlite3 *const *>(handle.constData());
    try {
        sqlite3_busy_timeout(m_handle, 5000);
        const QString dictionaryFile = EmbeddedServer::dictionaryPath(m_folder);
        attachFile(QLatin1String(dictionarySchema), dictionaryFile);
        // Unquoted names are upper case, as the real server reads them; quoted ones keep
        // their letters.
        const QString login = names::fromTyped(user);
        if (password.isEmpty())
            throw serverError(errors::NullPassword, QStringLiteral("null password given; logon denied"));
        onServerFile(dictionaryFile, [&] {
            Dictionary dictionary(m_handle, QLatin1String(dictionarySchema));
            if (!dictionary.passwordMatches(login, password))
                throw serverError(errors::InvalidLogin, QStringLiteral("invalid username/password; logon denied"));
            m_dba = dictionary.isDba(login);
        });
        m_login = login;
        attachSchemas();
        createDictionaryViews();
        internalExec(QStringLiteral("pragma foreign_keys = on"));
        registerServerFunctions(m_handle);
        sqlite3_set_authorizer(m_handle, &EmbeddedBackend::authorize, this);
    } catch (...) {
        close();
        throw;
    }
}

void EmbeddedBackend::attachFile(const QString &schema, const QString &path)
{
    Internal scope(*this);
    // mode=rw: SQLite would otherwise create a missing file, and a server that lost a
    // file would go on with an empty one.
    const QString uri = QUrl::fromLocalFile(path).toString(QUrl::FullyEncoded) + QStringLiteral("?mode=rw");
    try {
        SqliteStatement attach(m_handle, QStringLiteral("attach database ?1 as \"%1\"").arg(schema));
        attach.bind(1, uri).run();
    } catch (const DbError &e) {
        if (!QFileInfo::exists(path)) {
            throw serverError(errors::DataFileMissing,
                              QStringLiteral("cannot identify/lock data file %1 (the file does not exist)").arg(path));
        }
        throw translateSqliteError(e.text(), QString(), path);
    }
}

void EmbeddedBackend::attachSchemas()
{
    const QString dictionaryFile = EmbeddedServer::dictionaryPath(m_folder);
    const QList<Dictionary::SchemaFile> files = onServerFile(dictionaryFile, [&] {
        Internal scope(*this);
        return Dictionary(m_handle, QLatin1String(dictionarySchema)).schemaFiles();
    });
    for (const Dictionary::SchemaFile &f : files) {
        attachFile(f.owner, QDir(m_folder).filePath(f.fileName));
        m_schemas.insert(f.owner);
        internalExec(QStringLiteral("pragma \"%1\".cache_size = -%2").arg(f.owner).arg(schemaCacheKiB));
    }
}

QString EmbeddedBackend::filesOf(const QString &sqliteMessage) const
{
    // A write refused as read-only names the files the session could not open for writing;
    // other failures of the files name the server's folder, which holds them all.
    if (sqliteMessage.startsWith(QLatin1String("attempt to write a readonly database"))) {
        QStringList readOnly;
        QStringList names = m_schemas.values();
        names.sort();
        names.prepend(QLatin1String(dictionarySchema));
        for (const QString &name : std::as_const(names)) {
            const QByteArray utf8 = name.toUtf8();
            if (sqlite3_db_readonly(m_handle, utf8.constData()) == 1)
                readOnly.append(QString::fromUtf8(sqlite3_db_filename(m_handle, utf8.constData())));
        }
        if (!readOnly.isEmpty())
            return readOnly.join(QStringLiteral(", "));
    }
    return m_folder;
}

void EmbeddedBackend::createDictionaryViews()
{
    const QString d = QLatin1String(dictionarySchema);
    internalExec(QStringLiteral(
        "create temp view all_users as select username as USERNAME, user_id as USER_ID, created as CREATED "
        "from %1.accounts;"
        "create temp view dba_role_privs as select grantee as GRANTEE, granted_role as GRANTED_ROLE, "
        "admin_option as ADMIN_OPTION, default_role as DEFAULT_ROLE from %1.role_grants;"
        "create temp view dba_roles as select role as ROLE, 'NO' as PASSWORD_REQUIRED from %1.roles;"
        "create temp view user_role_privs as select grantee as USERNAME, granted_role as GRANTED_ROLE, "
        "admin_option as ADMIN_OPTION, default_role as DEFAULT_ROLE from %1.role_grants "
        "where grantee = '%2';"
        "create temp view dual as select 'X' as DUMMY;")
                     .arg(d, QString(m_login).replace(QLatin1Char('\''), QStringLiteral("''"))));
}

void EmbeddedBackend::close()
{
    if (m_handle) {
        try {
            settleCursor();
        } catch (const DbError &) {
            // the rows of a session that is going are not read
        }
    }
    forgetStatements();
    if (m_handle) {
        sqlite3_set_authorizer(m_handle, nullptr, nullptr);
        m_handle = nullptr;
    }
    m_login.clear();
    m_schemas.clear();
    if (QSqlDatabase::contains(m_connectionName)) {
        {
            QSqlDatabase db = QSqlDatabase::database(m_connectionName, false);
            db.close();
        }
        QSqlDatabase::removeDatabase(m_connectionName);
    }
}

namespace {

// The columns of the dictionary that its views show; a statement of a login reads
// nothing else of the dictionary, whatever names its views, subqueries and common table
// expressions carry. Password salts, hashes and rounds are never among them.
bool isViewColumn(const QString &table, const QString &column)
{
    static const QSet<QString> columns{
        QStringLiteral("accounts.username"),     QStringLiteral("accounts.user_id"),
        QStringLiteral("accounts.created"),      QStringLiteral("role_grants.grantee"),
        QStringLiteral("role_grants.granted_role"), QStringLiteral("role_grants.admin_option"),
        QStringLiteral("role_grants.default_role"), QStringLiteral("roles.role"),
    };
    return columns.contains(table.toLower() + QLatin1Char('.') + column.toLower());
}

// A read of a table's rows without any of its columns (count(*), select 1): allowed on
// the tables behind the views, whose number of rows the views tell anyway.
bool isViewTable(const QString &table)
{
    static const QSet<QString> tables{QStringLiteral("accounts"), QStringLiteral("role_grants"), QStringLiteral("roles")};
    return tables.contains(table.toLower());
}

// The functions a login's statements may call: those of the real server's SQL that the
// embedded server answers, the date functions of its own schema, and nothing that hands
// out the engine's internals (fts3_tokenizer, load_extension and the like).
bool isOfferedFunction(const char *name)
{
    static const QSet<QByteArray> offered{
        // aggregates and analytic functions
        "count", "max", "min", "sum", "avg", "row_number", "rank", "dense_rank",
        // missing values
        "nvl", "coalesce", "ifnull", "nullif",
        // texts
        "lower", "upper", "length", "substr", "substring", "instr", "trim", "ltrim", "rtrim",
        "replace", "like", "to_char",
        // numbers
        "abs", "round", "sign", "ceil", "ceiling", "floor", "mod", "power", "sqrt", "trunc",
        // dates as the schema stores them
        "date", "time", "datetime", "julianday", "strftime", "current_date", "current_time",
        "current_timestamp",
    };
    return name && offered.contains(QByteArray(name).toLower());
}

} // namespace

int EmbeddedBackend::authorize(void *self, int action, const char *a3, const char *a4, const char *database,
                               const char *view)
{
    auto *b = static_cast<EmbeddedBackend *>(self);
    if (b->m_internal > 0)
        return SQLITE_OK;
    const QString schema = database ? QString::fromUtf8(database).toUpper() : QString();
    const bool inDictionary = schema == QString::fromLatin1(dictionarySchema).toUpper();
    const bool ownSchema = b->m_schemas.contains(schema) && (schema == b->m_login || b->m_dba);
    switch (action) {
    case SQLITE_SELECT:
    case SQLITE_RECURSIVE:
    case SQLITE_TRANSACTION:
    case SQLITE_SAVEPOINT:
        return SQLITE_OK;
    case SQLITE_FUNCTION:
        return isOfferedFunction(a4) ? SQLITE_OK : SQLITE_DENY;
    case SQLITE_READ: {
        if (!inDictionary)
            return SQLITE_OK;
        // The dictionary is read through its views only.
        const QString table = a3 ? QString::fromUtf8(a3) : QString();
        const QString column = a4 ? QString::fromUtf8(a4) : QString();
        if (column.isEmpty())
            return isViewTable(table) ? SQLITE_OK : SQLITE_DENY;
        return view && isViewColumn(table, column) ? SQLITE_OK : SQLITE_DENY;
    }
    case SQLITE_INSERT:
    case SQLITE_UPDATE:
    case SQLITE_DELETE: {
        const QString table = a3 ? QString::fromUtf8(a3) : QString();
        if (inDictionary || schema == QLatin1String("TEMP"))
            return SQLITE_DENY;
        if (table == QLatin1String("sqlite_master") || table == QLatin1String("sqlite_schema"))
            return ownSchema ? SQLITE_OK : SQLITE_DENY;
        return SQLITE_OK;
    }
    case SQLITE_CREATE_TABLE:
    case SQLITE_CREATE_INDEX:
    case SQLITE_CREATE_TRIGGER:
    case SQLITE_CREATE_VIEW:
    case SQLITE_DROP_TABLE:
    case SQLITE_DROP_INDEX:
    case SQLITE_DROP_TRIGGER:
    case SQLITE_DROP_VIEW:
    case SQLITE_ALTER_TABLE:
    case SQLITE_REINDEX:
    case SQLITE_ANALYZE:
        // Objects are made in a schema by its owner or a DBA, never in the session's own.
        return ownSchema ? SQLITE_OK : SQLITE_DENY;
    default:
        // Temporary objects, attaching files, pragmas, virtual tables.
        return SQLITE_DENY;
    }
}

void EmbeddedBackend::fail(const QString &sql)
{
    const QString message = QString::fromUtf8(sqlite3_errmsg(m_handle));
    throw translateSqliteError(message, db::sql::firstKeyword(sql), filesOf(message));
}

sqlite3_stmt *EmbeddedBackend::prepare(const QString &sql)
{
    if (!m_handle)
        throw serverError(3114, QStringLiteral("not connected to the server"));
    auto attempt = [&](const QString &text, sqlite3_stmt **stmt) {
        const QByteArray utf8 = text.toUtf8();
        const char *tail = nullptr;
        const int rc = sqlite3_prepare_v2(m_handle, utf8.constData(), int(utf8.size()), stmt, &tail);
        if (rc == SQLITE_OK && tail) {
            // One statement at a time: anything after it is refused.
            const QString rest = QString::fromUtf8(tail).trimmed();
            if (!rest.isEmpty() && rest != QLatin1String(";")) {
                sqlite3_finalize(*stmt);
                *stmt = nullptr;
                throw serverError(errors::InvalidCharacter, QStringLiteral("invalid character"));
            }
        }
        return rc;
    };
    sqlite3_stmt *stmt = nullptr;
    const QString ordered = orderedLikeTheServer(sql);
    if (attempt(ordered, &stmt) == SQLITE_OK && stmt)
        return stmt;
    const QString error = QString::fromUtf8(sqlite3_errmsg(m_handle));
    sqlite3_finalize(stmt);
    stmt = nullptr;
    // The real server takes an ORDER BY name from the select list first; SQLite calls it
    // ambiguous when the joined tables have it too. Order the result as a derived table.
    if (error.startsWith(QLatin1String("ambiguous column name"))) {
        const QString adapted = orderedAsDerivedTable(ordered);
        if (!adapted.isEmpty() && attempt(adapted, &stmt) == SQLITE_OK && stmt)
            return stmt;
        sqlite3_finalize(stmt);
        throw translateSqliteError(error, db::sql::firstKeyword(sql), filesOf(error));
    }
    if (!stmt && error == QLatin1String("not an error"))
        throw serverError(errors::InvalidStatement, QStringLiteral("invalid SQL statement"));
    throw translateSqliteError(error, db::sql::firstKeyword(sql), filesOf(error));
}

sqlite3_stmt *EmbeddedBackend::acquire(const QString &sql)
{
    const auto kept = m_kept.find(sql);
    if (kept != m_kept.end() && !kept->busy) {
        kept->busy = true;
        kept->used = ++m_uses;
        return kept->stmt;
    }
    sqlite3_stmt *stmt = prepare(sql);
    // A statement of the server's own, or one already running, is not kept.
    if (m_internal > 0 || kept != m_kept.end())
        return stmt;
    if (m_kept.size() >= keptStatements) {
        auto oldest = m_kept.end();
        for (auto it = m_kept.begin(); it != m_kept.end(); ++it) {
            if (!it->busy && (oldest == m_kept.end() || it->used < oldest->used))
                oldest = it;
        }
        if (oldest != m_kept.end()) {
            sqlite3_finalize(oldest->stmt);
            m_kept.erase(oldest);
        }
    }
    m_kept.insert(sql, Kept{stmt, true, ++m_uses});
    return stmt;
}

void EmbeddedBackend::release(const QString &sql, sqlite3_stmt *stmt)
{
    const auto kept = m_kept.find(sql);
    if (kept == m_kept.end() || kept->stmt != stmt) {
        sqlite3_finalize(stmt);
        return;
    }
    // A statement that failed is prepared afresh next time.
    const bool failed = sqlite3_reset(stmt) != SQLITE_OK;
    sqlite3_clear_bindings(stmt);
    kept->busy = false;
    if (failed) {
        sqlite3_finalize(stmt);
        m_kept.erase(kept);
    }
}

void EmbeddedBackend::forgetStatements()
{
    for (auto it = m_kept.begin(); it != m_kept.end();) {
        if (it->busy) {
            ++it;
            continue;
        }
        sqlite3_finalize(it->stmt);
        it = m_kept.erase(it);
    }
}

// A statement of the session for one run: reset and given back when it goes out of scope.
class EmbeddedBackend::Prepared {
public:
    Prepared(EmbeddedBackend &b, const QString &sql) : m_backend(b), m_sql(sql), m_stmt(b.acquire(sql)) {}
    Prepared(const Prepared &) = delete;
    Prepared &operator=(const Prepared &) = delete;
    ~Prepared() { m_backend.release(m_sql, m_stmt); }
    sqlite3_stmt *get() const { return m_stmt; }

private:
    EmbeddedBackend &m_backend;
    const QString &m_sql;
    sqlite3_stmt *m_stmt;
};

void EmbeddedBackend::bindAll(sqlite3_stmt *stmt, const BoundParams &params)
{
    for (const db::BoundParam &p : params) {
        const QByteArray name = (QLatin1Char(':') + p.name).toUtf8();
        const int position = sqlite3_bind_parameter_index(stmt, name.constData());
        if (position <= 0)
            continue;
        QVariant v = p.value;
        // The real server takes an empty string for no value.
        if (v.typeId() == QMetaType::QString && v.toString().isEmpty())
            v = QVariant();
        int rc = SQLITE_OK;
        if (v.isNull()) {
            rc = sqlite3_bind_null(stmt, position);
        } else if (v.typeId() == QMetaType::Double || v.typeId() == QMetaType::Float) {
            rc = sqlite3_bind_double(stmt, position, v.toDouble());
        } else if (v.typeId() == QMetaType::Int || v.typeId() == QMetaType::LongLong
                   || v.typeId() == QMetaType::UInt || v.typeId() == QMetaType::ULongLong
                   || v.typeId() == QMetaType::Bool) {
            rc = sqlite3_bind_double(stmt, position, v.toDouble());
        } else if (v.typeId() == QMetaType::QByteArray) {
            const QByteArray bytes = v.toByteArray();
            rc = sqlite3_bind_blob(stmt, position, bytes.constData(), int(bytes.size()), SQLITE_TRANSIENT);
        } else {
            QString text;
            if (v.typeId() == QMetaType::QDateTime)
                text = v.toDateTime().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"));
            else if (v.typeId() == QMetaType::QDate)
                text = v.toDate().toString(QStringLiteral("yyyy-MM-dd 00:00:00"));
            else
                text = v.toString();
            const QByteArray utf8 = text.toUtf8();
            rc = sqlite3_bind_text(stmt, position, utf8.constData(), int(utf8.size()), SQLITE_TRANSIENT);
        }
        if (rc != SQLITE_OK)
            throw DbError(QStringLiteral("Parameter %1 could not be bound: %2").arg(p.name, QString::fromUtf8(sqlite3_errmsg(m_handle))));
    }
}

namespace {

// The columns of a statement as its first step describes them (a statement kept from an
// earlier run is prepared again at its first step when a schema changed since); typed
// tells which have a declared type.
QList<db::ColumnInfo> columnsOf(sqlite3_stmt *stmt, QList<bool> &typed)
{
    QList<db::ColumnInfo> columns;
    const int n = sqlite3_column_count(stmt);
    for (int i = 0; i < n; ++i) {
        db::ColumnInfo info = columnFromDeclaration(sqlite3_column_decltype(stmt, i));
        info.name = EmbeddedBackend::derivedColumnName(QString::fromUtf8(sqlite3_column_name(stmt, i)));
        typed.append(sqlite3_column_decltype(stmt, i) != nullptr);
        columns.append(info);
    }
    return columns;
}

// An expression has no declared type: its first value among the rows tells.
void settleTypes(QList<db::ColumnInfo> &columns, const QList<bool> &typed, const std::vector<db::Row> &rows)
{
    for (int i = 0; i < columns.size(); ++i) {
        if (typed.at(i))
            continue;
        for (const db::Row &row : rows) {
            const QVariant &v = row.at(i);
            if (v.isNull())
                continue;
            columns[i].type = v.typeId() == QMetaType::Double ? FieldType::Float : FieldType::String;
            break;
        }
    }
}

// The row the statement stands on, written value by value into one block.
db::Row readRow(sqlite3_stmt *stmt, int n, db::RowWriter &writer)
{
    for (int i = 0; i < n; ++i) {
        switch (sqlite3_column_type(stmt, i)) {
        case SQLITE_NULL:
            writer.null();
            break;
        case SQLITE_INTEGER:
            writer.number(double(sqlite3_column_int64(stmt, i)));
            break;
        case SQLITE_FLOAT:
            writer.number(sqlite3_column_double(stmt, i));
            break;
        // The value first, then its size: the size then counts the bytes handed out.
        case SQLITE_BLOB: {
            const auto *blob = static_cast<const char *>(sqlite3_column_blob(stmt, i));
            writer.bytes(blob, sqlite3_column_bytes(stmt, i));
            break;
        }
        default: {
            const auto *text = reinterpret_cast<const char *>(sqlite3_column_text(stmt, i));
            writer.text(text, sqlite3_column_bytes(stmt, i));
            break;
        }
        }
    }
    return writer.take();
}

} // namespace

ResultSet EmbeddedBackend::select(const QString &sql, const BoundParams &params)
{
    settleCursor();
    if (!m_kept.contains(sql) && AccountStatements::recognizes(sql)) {
        runAccountStatement(sql);
        return {};
    }
    Prepared st(*this, sql);
    sqlite3_stmt *stmt = st.get();
    bindAll(stmt, params);
    int rc = sqlite3_step(stmt);
    if (rc != SQLITE_ROW && rc != SQLITE_DONE)
        fail(sql);
    ResultSet rs;
    QList<bool> typed;
    rs.columns = columnsOf(stmt, typed);
    const int n = int(rs.columns.size());
    db::RowWriter writer;
    for (; rc == SQLITE_ROW; rc = sqlite3_step(stmt))
        rs.rows.push_back(readRow(stmt, n, writer));
    if (rc != SQLITE_DONE)
        fail(sql);
    settleTypes(rs.columns, typed, rs.rows);
    return rs;
}

// A query stepped as its rows are fetched. While it is open the session holds the schema
// files' shared lock: the dataset reading it reads on in the background, and any other
// statement of the session reads the rest first.
class EmbeddedBackend::Cursor : public db::RowCursor {
public:
    Cursor(EmbeddedBackend &backend, const QString &sql) : m_backend(backend), m_sql(sql), m_stmt(backend.acquire(sql)) {}
    ~Cursor() override { finish(); }

    // The first rows; the types of untyped columns are those of their first values there.
    void start(const BoundParams &params, int firstRows)
    {
        m_backend.bindAll(m_stmt, params);
        m_rc = sqlite3_step(m_stmt);
        if (m_rc != SQLITE_ROW && m_rc != SQLITE_DONE) {
            finish();
            m_backend.fail(m_sql);
        }
        QList<bool> typed;
        m_columns = columnsOf(m_stmt, typed);
        std::vector<db::Row> rows;
        read(rows, firstRows);
        settleTypes(m_columns, typed, rows);
        hold(std::move(rows));
    }
    bool more() const { return m_stmt != nullptr; }

protected:
    bool read(std::vector<db::Row> &rows, int count) override
    {
        if (m_failed)
            throw *m_failed; // the rest cannot be read: no reader takes the rows so far for all
        const int n = int(m_columns.size());
        db::RowWriter writer;
        for (int read = 0; m_stmt && m_rc == SQLITE_ROW && (count < 0 || read < count); ++read) {
            rows.push_back(readRow(m_stmt, n, writer));
            m_rc = sqlite3_step(m_stmt);
        }
        if (m_stmt && m_rc != SQLITE_ROW) {
            const bool failed = m_rc != SQLITE_DONE;
            if (failed) {
                const QString message = QString::fromUtf8(sqlite3_errmsg(m_backend.m_handle));
                finish();
                m_failed = translateSqliteError(message, db::sql::firstKeyword(m_sql), m_backend.filesOf(message));
                throw *m_failed;
            }
            finish();
        }
        return m_stmt != nullptr;
    }
    void release() override { finish(); }

private:
    void finish()
    {
        if (m_stmt)
            m_backend.release(m_sql, std::exchange(m_stmt, nullptr));
    }

    EmbeddedBackend &m_backend;
    QString m_sql;
    sqlite3_stmt *m_stmt;
    int m_rc = SQLITE_DONE;
    std::optional<DbError> m_failed;
};

std::unique_ptr<db::RowCursor> EmbeddedBackend::openCursor(const QString &sql, const BoundParams &params, int firstRows)
{
    settleCursor();
    if (!m_kept.contains(sql) && AccountStatements::recognizes(sql))
        return Backend::openCursor(sql, params, firstRows);
    auto cursor = std::make_unique<Cursor>(*this, sql);
    cursor->start(params, firstRows);
    if (cursor->more())
        adoptCursor(cursor.get());
    return cursor;
}

qint64 EmbeddedBackend::runAccountStatement(const QString &sql)
{
    if (!m_handle)
        throw serverError(3114, QStringLiteral("not connected to the server"));
    // The statements kept were authorized for the privileges and schemas the session had;
    // an account statement may change both.
    struct Forget {
        EmbeddedBackend &backend;
        ~Forget() { backend.forgetStatements(); }
    } forget{*this};
    forgetStatements();
    Internal scope(*this);
    const QString dictionaryFile = EmbeddedServer::dictionaryPath(m_folder);
    Dictionary dictionary(m_handle, QLatin1String(dictionarySchema));
    // Schema files of dropped owners go once the dictionary no longer names them.
    QStringList droppedSchemas;
    AccountSession session;
    session.login = m_login;
    session.schemaObjectType = [this](const QString &owner, const QString &name) -> std::optional<QString> {
        if (!m_schemas.contains(owner))
            return std::nullopt;
        SqliteStatement q(m_handle, QStringLiteral("select upper(type) from \"%1\".sqlite_master "
                                                   "where upper(name) = ?1 and type in ('table', 'view')").arg(owner));
        q.bind(1, name);
        if (!q.step())
            return std::nullopt;
        return q.text(0);
    };
    session.dropSchema = [&droppedSchemas](const QString &owner) { droppedSchemas.append(owner); };
    AccountStatements statements(dictionary, session);
    // One statement changes the dictionary as a whole or not at all. SQLite's own texts
    // (a locked, full or read-only dictionary) become the server's errors naming the file.
    const QString keyword = db::sql::firstKeyword(sql);
    auto translated = [&](const DbError &e) {
        return e.code() != 0 ? e : translateSqliteError(e.text(), keyword, dictionaryFile);
    };
    // Outside a transaction of the caller's, the savepoint is the transaction: a failure
    // to release it (the dictionary busy at the end) rolls it back whole, so the session
    // keeps no lock on the dictionary.
    const bool outermost = sqlite3_get_autocommit(m_handle) != 0;
    try {
        runScript(m_handle, QStringLiteral("savepoint account_statement"));
    } catch (const DbError &e) {
        throw translated(e);
    }
    auto rollback = [this, outermost] {
        try {
            runScript(m_handle, outermost ? QStringLiteral("rollback")
                                          : QStringLiteral("rollback to account_statement; release account_statement"));
        } catch (const DbError &) {
            // the statement's own error is what the caller needs to see
        }
    };
    try {
        statements.run(sql);
        // A dropped schema's file goes at once, and a schema cannot be detached inside
        // a transaction: a rollback of the caller's would bring the account back without
        // its file. Such a drop is refused there, before anything changed.
        if (!outermost && !droppedSchemas.isEmpty())
            throw serverError(errors::DdlInTransaction,
                              QStringLiteral("cannot drop a user that owns a schema inside a transaction; "
                                             "commit or roll back first"));
        runScript(m_handle, QStringLiteral("release account_statement"));
    } catch (const DbError &e) {
        rollback();
        throw translated(e);
    } catch (...) {
        rollback();
        throw;
    }
    for (const QString &owner : std::as_const(droppedSchemas)) {
        const QString file = QDir(m_folder).filePath(EmbeddedServer::schemaFileName(owner));
        if (m_schemas.contains(owner)) {
            onServerFile(file, [&] { runScript(m_handle, QStringLiteral("detach database \"%1\"").arg(owner)); });
            m_schemas.remove(owner);
        }
        QFile::remove(file);
    }
    m_dba = onServerFile(dictionaryFile, [&] { return dictionary.isDba(m_login); });
    return 0;
}

qint64 EmbeddedBackend::execute(const QString &sql, const BoundParams &params)
{
    settleCursor();
    if (!m_kept.contains(sql) && AccountStatements::recognizes(sql))
        return runAccountStatement(sql);
    Prepared st(*this, sql);
    bindAll(st.get(), params);
    for (;;) {
        const int rc = sqlite3_step(st.get());
        if (rc == SQLITE_DONE)
            break;
        if (rc != SQLITE_ROW)
            fail(sql);
    }
    return sqlite3_changes64(m_handle);
}

QVariant EmbeddedBackend::insertReturningKey(const QString &sql, const BoundParams &params,
                                             const QString &table, const QString &keyColumn)
{
    execute(sql, params);
    const qint64 rowId = sqlite3_last_insert_rowid(m_handle);
    const ResultSet rs = select(QStringLiteral("select %1 from %2 where rowid = :rid").arg(keyColumn, table),
                                {{QStringLiteral("rid"), double(rowId)}});
    if (rs.rows.empty() || rs.rows.front().value(0).isNull())
        throw DbError(QStringLiteral("The server gave the new row of %1 no %2").arg(table, keyColumn));
    return rs.rows.front().value(0);
}

void EmbeddedBackend::beginTransaction()
{
    settleCursor();
    internalExec(QStringLiteral("begin"));
}

void EmbeddedBackend::commit()
{
    settleCursor();
    internalExec(QStringLiteral("commit"));
}

void EmbeddedBackend::rollback()
{
    settleCursor();
    internalExec(QStringLiteral("rollback"));
}

} // namespace embedded
