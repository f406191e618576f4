#include "platform/db/PostgreSqlKind.h"

#include "platform/db/AccountStatement.h"
#include "platform/db/Params.h"
#include "platform/db/ServerRules.h"

#include <QCryptographicHash>
#include <QDateTime>
#include <QMessageAuthenticationCode>
#include <QPasswordDigestor>
#include <QRandomGenerator>
#include <QSqlField>

namespace db {

namespace {

// The server's type of a long text.
constexpr int textType = 25;
// The server's SQLSTATE for a column reference that is ambiguous.
const QString ambiguousColumn = QStringLiteral("42702");

Dialect postgreSqlDialect()
{
    Dialect d;
    d.newKey = Dialect::NewKey::Returning;
    return d;
}

QString quotedName(const QString &oracleName)
{
    QString name = PostgreSqlKind::serverName(oracleName);
    return QLatin1Char('"') + name.replace(QLatin1Char('"'), QStringLiteral("\"\"")) + QLatin1Char('"');
}

// A grantee: PUBLIC is every role, never a role of that name.
QString granteeName(const QString &oracleName)
{
    return oracleName == QLatin1String("PUBLIC") ? QStringLiteral("public") : quotedName(oracleName);
}

QString literal(QString text)
{
    return QLatin1Char('\'') + text.replace(QLatin1Char('\''), QStringLiteral("''")) + QLatin1Char('\'');
}

// A name as the helpers of the schema sys take it: the role's own letters, as a literal.
QString serverLiteral(const QString &oracleName)
{
    return literal(PostgreSqlKind::serverName(oracleName));
}

QString joined(const QStringList &names, QString (*quote)(const QString &))
{
    QStringList result;
    result.reserve(names.size());
    for (const QString &n : names)
        result.append(quote(n));
    return result.join(QStringLiteral(", "));
}

// The password of a statement as the server keeps it: its SCRAM-SHA-256 verifier, made
// with a fresh salt.
QString verifierLiteral(const QString &password)
{
    QByteArray salt(16, Qt::Uninitialized);
    QRandomGenerator::system()->fillRange(reinterpret_cast<quint32 *>(salt.data()), salt.size() / 4);
    return literal(PostgreSqlKind::passwordVerifier(password, salt));
}

} // namespace

PostgreSqlKind::PostgreSqlKind() : ServerKind(postgreSqlDialect())
{
    savepointPerStatement = true;
    // Whole results tell the tables their columns come from.
    forwardOnly = false;
}

QString PostgreSqlKind::serverName(const QString &oracleName)
{
    for (QChar c : oracleName) {
        if (c.isLower())
            return oracleName;
    }
    return oracleName.toLower();
}

QString PostgreSqlKind::passwordVerifier(const QString &password, const QByteArray &salt)
{
    constexpr int iterations = 4096;
    const QByteArray salted =
        QPasswordDigestor::deriveKeyPbkdf2(QCryptographicHash::Sha256, password.toUtf8(), salt, iterations, 32);
    auto keyOf = [&](const char *name) {
        return QMessageAuthenticationCode::hash(QByteArray(name), salted, QCryptographicHash::Sha256);
    };
    const QByteArray storedKey = QCryptographicHash::hash(keyOf("Client Key"), QCryptographicHash::Sha256);
    const QByteArray serverKey = keyOf("Server Key");
    return QStringLiteral("SCRAM-SHA-256$%1:%2$%3:%4")
        .arg(QString::number(iterations), QString::fromLatin1(salt.toBase64()),
             QString::fromLatin1(storedKey.toBase64()), QString::fromLatin1(serverKey.toBase64()));
}

QString PostgreSqlKind::loginName(const QString &typed) const
{
    return serverName(names::fromTyped(typed));
}

QString PostgreSqlKind::translate(const QString &statement) const
{
    using Kind = AccountStatement::Kind;
    if (!AccountStatement::recognizes(statement))
        return statement;
    // An account statement that does not read is refused here with the reader's error, as
    // the embedded server refuses it: neither its password nor a name that cannot be
    // read as one reaches the server.
    const AccountStatement st = AccountStatement::parse(statement);
    // Accounts and roles are made, changed and dropped, and EXECUTE is granted, by the
    // dictionary schema's helpers: they act on the database's own roles alone and fail
    // where the real server fails and this one would only warn.
    switch (st.kind) {
    case Kind::CreateUser:
        // Tablespaces belong to tables on this server, not to accounts.
        return QStringLiteral("select sys.create_user(%1, %2)").arg(serverLiteral(st.name), verifierLiteral(st.password));
    case Kind::AlterUser:
        return QStringLiteral("select sys.alter_user(%1, %2)").arg(serverLiteral(st.name), verifierLiteral(st.password));
    case Kind::DropUser:
        // The helper drops what was granted to the account with it, and with cascade what
        // it owns.
        return QStringLiteral("select sys.drop_user(%1, %2)")
            .arg(serverLiteral(st.name), st.cascade ? QStringLiteral("true") : QStringLiteral("false"));
    case Kind::CreateRole:
        return QStringLiteral("select sys.create_role(%1)").arg(serverLiteral(st.name));
    case Kind::DropRole:
        return QStringLiteral("select sys.drop_role(%1)").arg(serverLiteral(st.name));
    case Kind::GrantRoles:
        return QStringLiteral("grant %1 to %2%3")
            .arg(joined(st.privileges, quotedName), joined(st.grantees, granteeName),
                 st.adminOption ? QStringLiteral(" with admin option") : QString());
    case Kind::RevokeRoles: {
        // A revoke of what was not granted fails, as on Oracle; the server would only warn.
        QStringList calls;
        for (const QString &g : st.grantees) {
            for (const QString &role : st.privileges)
                calls.append(QStringLiteral("sys.revoke_role(%1, %2)").arg(serverLiteral(role), serverLiteral(g)));
        }
        return QStringLiteral("select ") + calls.join(QStringLiteral(", "));
    }
    case Kind::GrantObject:
    case Kind::RevokeObject:
        break;
    }
    // The reader takes no object privilege but EXECUTE, and program units only; an object
    // without its owner is the login's own.
    const QString helper = st.kind == Kind::GrantObject ? QStringLiteral("sys.grant_execute(%1, %2, %3)")
                                                        : QStringLiteral("sys.revoke_execute(%1, %2, %3)");
    QStringList calls;
    for (const QString &g : st.grantees)
        calls.append(helper.arg(serverLiteral(st.owner), serverLiteral(st.object), serverLiteral(g)));
    return QStringLiteral("select ") + calls.join(QStringLiteral(", "));
}

bool PostgreSqlKind::prepares(const QString &text) const
{
    static const QStringList preparable{QStringLiteral("SELECT"), QStringLiteral("INSERT"), QStringLiteral("UPDATE"),
                                        QStringLiteral("DELETE"), QStringLiteral("WITH"),   QStringLiteral("VALUES"),
                                        QStringLiteral("MERGE")};
    return preparable.contains(sql::firstKeyword(text));
}

QVariant PostgreSqlKind::boundValue(const QVariant &value) const
{
    if (value.typeId() == QMetaType::QDateTime) {
        const QDateTime local = value.toDateTime().toLocalTime();
        return local.toString(local.time().msec() != 0 ? QStringLiteral("yyyy-MM-dd HH:mm:ss.zzz")
                                                       : QStringLiteral("yyyy-MM-dd HH:mm:ss"));
    }
    if (value.typeId() == QMetaType::QDate)
        return value.toDate().toString(QStringLiteral("yyyy-MM-dd"));
    return value;
}

QVariant PostgreSqlKind::fetchedValue(const QVariant &value) const
{
    if (value.typeId() != QMetaType::QDateTime || value.isNull())
        return value;
    const QDateTime dt = value.toDateTime();
    switch (dt.timeSpec()) {
    case Qt::LocalTime:
        return value;
    case Qt::UTC:
        // A value without a zone that the driver took for UTC: its digits are the time.
        return QDateTime(dt.date(), dt.time());
    default:
        return dt.toLocalTime();
    }
}

QList<ColumnInfo> PostgreSqlKind::columns(const QString &statement, const QSqlRecord &record) const
{
    const QStringList items = sql::selectListItems(statement);
    const bool byItems = items.size() == record.count();
    QList<ColumnInfo> result;
    result.reserve(record.count());
    for (int i = 0; i < record.count(); ++i) {
        const QSqlField f = record.field(i);
        ColumnInfo c;
        const QString derived = byItems ? sql::derivedNameOf(items.at(i)) : QString();
        c.name = derived.isEmpty() ? f.name().toUpper() : derived;
        c.type = typeOf(f);
        if (c.type == FieldType::String) {
            if (f.typeID() == textType && f.length() < 0 && !f.tableName().isEmpty())
                c.type = FieldType::Memo;
            else
                c.size = std::max(0, f.length());
        }
        result.append(c);
    }
    return result;
}

QString PostgreSqlKind::retryOf(const QString &text, const DbError &error) const
{
    if (error.state() != ambiguousColumn)
        return QString();
    return sql::orderedAsDerivedTable(text, QStringLiteral("ordered_result"));
}

DbError PostgreSqlKind::errorOf(const QSqlError &error) const
{
    const DbError e = ServerKind::errorOf(error);
    return DbError(e.text(), 0, e.state());
}

} // namespace db
