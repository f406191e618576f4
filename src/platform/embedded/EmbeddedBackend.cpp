#include "platform/embedded/EmbeddedBackend.h"

#include "platform/db/AccountStatement.h"
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

namespace embedded {

using db::DbError;

namespace {

QAtomicInt sessionCounter;

} // namespace

EmbeddedBackend::EmbeddedBackend(const QString &folder)
    : m_folder(folder),
      m_connectionName(QStringLiteral("userpr-embedded-%1").arg(sessionCounter.fetchAndAddRelaxed(1)))
{
    m_dialect.emptyStringIsNull = true;
    m_dialect.newKey = db::Dialect::NewKey::RowIdLookup;
}

EmbeddedBackend::~EmbeddedBackend()
{
    close();
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
        const QString login = db::names::fromTyped(user);
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
        registerSessionContext(m_handle, &m_login);
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
