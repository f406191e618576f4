#include "platform/db/PostgreSqlKind.h"

#include "platform/db/AccountStatement.h"
#include "platform/db/Params.h"
#include "platform/db/ServerRules.h"

#include <QCryptographicHash>
#include <QDateTime>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QMessageAuthenticationCode>
#include <QPasswordDigestor>
#include <QRandomGenerator>
#include <QSqlField>
#include <QSqlResult>

#include <libpq-fe.h>

#include <charconv>
#include <cmath>

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

bool PostgreSqlKind::writesValuesIn(const QString &text) const
{
    const QString keyword = sql::firstKeyword(text);
    return keyword == QLatin1String("SELECT") || keyword == QLatin1String("WITH");
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

namespace {

// How a column of the server's type is read from its text.
enum class Reading { Text, Number, Driver };

Reading readingOf(Oid type)
{
    switch (type) {
    case 18:   // "char"
    case 19:   // name
    case 25:   // text
    case 1042: // character
    case 1043: // character varying
    // A time of day without a zone, as the server writes it (the driver asks for ISO
    // dates): the wall-clock time Oracle's DATE holds, kept as text as the embedded
    // server keeps it, and read as a date-time by the fields.
    case 1114: // timestamp
        return Reading::Text;
    case 20:   // bigint
    case 21:   // smallint
    case 23:   // integer
    case 26:   // oid
    case 700:  // real
    case 701:  // double precision
    case 1700: // numeric
        return Reading::Number;
    default:
        return Reading::Driver;
    }
}

// The driver's whole libpq result of an executed query, which it hands out as the struct
// behind PGresult; none for a result read row by row.
const PGresult *libpqResult(const QSqlQuery &query)
{
    const QVariant handle = query.result() ? query.result()->handle() : QVariant();
    if (!handle.isValid() || query.isForwardOnly()
        || (qstrcmp(handle.typeName(), "pg_result*") != 0 && qstrcmp(handle.typeName(), "PGresult*") != 0))
        return nullptr;
    const PGresult *result = *static_cast<PGresult *const *>(handle.constData());
    return result && PQresultStatus(result) == PGRES_TUPLES_OK ? result : nullptr;
}

} // namespace

bool PostgreSqlKind::readResult(const QSqlQuery &query, std::vector<Row> &rows) const
{
    const PGresult *result = libpqResult(query);
    if (!result)
        return false;
    const int count = PQntuples(result);
    const int n = PQnfields(result);
    QList<Reading> reading;
    QList<int> byDriver;
    for (int c = 0; c < n; ++c) {
        reading.append(readingOf(PQftype(result, c)));
        if (reading.last() == Reading::Driver)
            byDriver.append(c);
    }
    // The values of other types (dates, truth values) as the driver gives them, read
    // through the query first, column after column.
    std::vector<QVariant> driverValues;
    if (!byDriver.isEmpty()) {
        driverValues.reserve(std::size_t(count) * std::size_t(byDriver.size()));
        QSqlQuery &q = const_cast<QSqlQuery &>(query);
        while (q.next()) {
            for (int c : std::as_const(byDriver))
                driverValues.push_back(keptValue(q.value(c)));
        }
        if (int(driverValues.size()) != count * int(byDriver.size()))
            return false;
    }
    rows.reserve(rows.size() + std::size_t(count));
    RowWriter writer;
    std::size_t next = 0;
    for (int r = 0; r < count; ++r) {
        for (int c = 0; c < n; ++c) {
            if (reading.at(c) == Reading::Driver) {
                writer.value(driverValues[next++]);
                continue;
            }
            if (PQgetisnull(result, r, c)) {
                writer.null();
                continue;
            }
            const char *text = PQgetvalue(result, r, c);
            const int length = PQgetlength(result, r, c);
            if (reading.at(c) == Reading::Text) {
                writer.text(text, length);
                continue;
            }
            double number = 0;
            const auto [end, error] = std::from_chars(text, text + length, number);
            if (error != std::errc() || end != text + length)
                number = std::nan(""); // a text no number reads
            writer.number(number);
        }
        rows.push_back(writer.take());
    }
    return true;
}

namespace {

// A column as a result describes it, whichever way it was read.
struct Described {
    QString name;
    FieldType type = FieldType::String;
    int serverType = 0;
    int length = -1;
    bool ofTable = false;
};

// The type a Qt field of the driver's type would have: the driver reads these types as
// numbers, dates and bytes, any other as text.
FieldType fieldTypeOf(Oid type)
{
    switch (type) {
    case 20: case 21: case 23: case 24: case 26: case 28: case 29: // integers, oids
    case 700: case 701: case 1700:                                 // real, double, numeric
        return FieldType::Float;
    case 702: case 703: case 1082: case 1083: case 1114: case 1184: case 1266: // dates and times
        return FieldType::DateTime;
    case 17: // bytea
        return FieldType::Memo;
    default:
        return FieldType::String;
    }
}

QList<ColumnInfo> columnsOf(const QString &statement, const QList<Described> &described)
{
    const QStringList items = sql::selectListItems(statement);
    const bool byItems = items.size() == described.size();
    QList<ColumnInfo> result;
    result.reserve(described.size());
    for (int i = 0; i < described.size(); ++i) {
        const Described &d = described.at(i);
        ColumnInfo c;
        const QString derived = byItems ? sql::derivedNameOf(items.at(i)) : QString();
        c.name = derived.isEmpty() ? d.name.toUpper() : derived;
        c.type = d.type;
        if (c.type == FieldType::String) {
            if (d.serverType == textType && d.length < 0 && d.ofTable)
                c.type = FieldType::Memo;
            else
                c.size = std::max(0, d.length);
        }
        result.append(c);
    }
    return result;
}

} // namespace

QList<ColumnInfo> PostgreSqlKind::columns(const QString &statement, const QSqlRecord &record) const
{
    QList<Described> described;
    for (int i = 0; i < record.count(); ++i) {
        const QSqlField f = record.field(i);
        described.append({f.name(), typeOf(f), f.typeID(), f.length(), !f.tableName().isEmpty()});
    }
    return columnsOf(statement, described);
}

QList<ColumnInfo> PostgreSqlKind::resultColumns(const QString &statement, const QSqlQuery &query) const
{
    const PGresult *result = libpqResult(query);
    if (!result)
        return ServerKind::resultColumns(statement, query);
    // As the driver describes a column, without asking the server the name of its table.
    QList<Described> described;
    for (int i = 0; i < PQnfields(result); ++i) {
        const Oid type = PQftype(result, i);
        const int size = PQfsize(result, i);
        const int modifier = PQfmod(result, i);
        const int length = size == -1 && modifier >= 4 && type != 1700 ? modifier - 4 : size;
        described.append({QString::fromUtf8(PQfname(result, i)), fieldTypeOf(type), int(type), length,
                          PQftable(result, i) != InvalidOid});
    }
    return columnsOf(statement, described);
}

QString PostgreSqlKind::retryOf(const QString &text, const DbError &error) const
{
    if (error.state() != ambiguousColumn)
        return QString();
    return sql::orderedAsDerivedTable(text, QStringLiteral("ordered_result"));
}

bool PostgreSqlKind::mayRetry(const QString &text) const
{
    return !sql::orderedAsDerivedTable(text).isEmpty();
}

DbError PostgreSqlKind::errorOf(const QSqlError &error) const
{
    const DbError e = ServerKind::errorOf(error);
    return DbError(e.text(), 0, e.state());
}

// "insert into T (c1, ..., cn) values (v1, ..., vn)", each value a parameter or a
// constant, becomes "insert into T (c1, ..., cn) select r.c1, ..., constant, ... from
// json_populate_recordset(null::T, :userpr_rows) r": one row of T for each object of
// the array, in the array's order. Any other statement has no batch form.
ServerKind::Batch PostgreSqlKind::batchOf(const QString &statement) const
{
    const QList<sql::Piece> p = sql::piecesOf(statement);
    auto text = [&](qsizetype i) { return statement.mid(p.at(i).start, p.at(i).end - p.at(i).start); };
    auto other = [&](qsizetype i, char c) { return i < p.size() && sql::isOther(statement, p.at(i), c); };
    auto kind = [&](qsizetype i, sql::Piece::Kind k) { return i < p.size() && p.at(i).kind == k; };
    auto isName = [&](qsizetype i) { return kind(i, sql::Piece::Word) || kind(i, sql::Piece::QuotedName); };
    if (p.size() < 3 || !sql::isWord(statement, p.at(0), "insert") || !sql::isWord(statement, p.at(1), "into"))
        return {};
    // The table: a name, or an owner's name, a dot and a name.
    qsizetype i = 2;
    if (!isName(i))
        return {};
    if (other(i + 1, '.')) {
        if (!isName(i + 2))
            return {};
        i += 2;
    }
    const QString table = statement.mid(p.at(2).start, p.at(i).end - p.at(2).start);
    // The columns, as the server names them.
    if (!other(++i, '('))
        return {};
    const qsizetype listStart = p.at(i).end;
    QStringList columns;
    for (++i;; i += 2) {
        if (!isName(i))
            return {};
        columns.append(kind(i, sql::Piece::Word) ? text(i).toLower()
                                                 : text(i).mid(1, text(i).size() - 2).replace(QStringLiteral("\"\""), QStringLiteral("\"")));
        if (other(i + 1, ')'))
            break;
        if (!other(i + 1, ','))
            return {};
    }
    const QString columnList = statement.mid(listStart, p.at(i + 1).start - listStart);
    i += 2;
    if (i >= p.size() || !sql::isWord(statement, p.at(i), "values") || !other(i + 1, '('))
        return {};
    // Each value a parameter, which its column takes from the rows, or a constant.
    Batch batch;
    QStringList items;
    for (i += 2;; ++i) {
        if (items.size() == columns.size())
            return {};
        QString column = columns.at(items.size());
        if (other(i, ':') && (kind(i + 1, sql::Piece::Word) || kind(i + 1, sql::Piece::Number))
            && p.at(i + 1).start == p.at(i).end) {
            batch.columns.append({column, text(i + 1)});
            items.append(QStringLiteral("r.\"%1\"").arg(column.replace(QLatin1Char('"'), QStringLiteral("\"\""))));
            ++i;
        } else if (kind(i, sql::Piece::Literal) || kind(i, sql::Piece::Number)
                   || (i < p.size() && sql::isWord(statement, p.at(i), "null"))) {
            items.append(text(i));
        } else {
            return {};
        }
        if (other(i + 1, ')'))
            break;
        if (!other(i + 1, ','))
            return {};
        ++i;
    }
    if (i + 2 != p.size() || items.size() != columns.size())
        return {};
    batch.statement = QStringLiteral("insert into %1 (%2) select %3 from json_populate_recordset(null::%1, :%4) r")
                          .arg(table, columnList, items.join(QStringLiteral(", ")), QLatin1String(batchParameter));
    return batch;
}

// The runs as a JSON array of objects, a value under its column's name: a number as a
// number, a missing value (or an empty text, which the system's statements take for
// none) as null, anything else as the text the parameter would carry.
QVariant PostgreSqlKind::batchValue(const Batch &batch, const QList<BoundParams> &runs) const
{
    QJsonArray rows;
    for (const BoundParams &params : runs) {
        QJsonObject row;
        for (const auto &[column, name] : batch.columns) {
            QJsonValue json(QJsonValue::Null);
            for (const BoundParam &p : params) {
                if (p.name.compare(name, Qt::CaseInsensitive) != 0)
                    continue;
                const QVariant v = p.value.isNull() ? p.value : boundValue(p.value);
                if (v.isNull() || (v.typeId() == QMetaType::QString && v.toString().isEmpty()))
                    break;
                if (v.typeId() == QMetaType::Bool) {
                    json = v.toBool();
                } else if (v.typeId() == QMetaType::QByteArray) {
                    return QVariant(); // bytes have no JSON: the runs go one by one
                } else if (Row::isNumber(v)) {
                    const double d = v.toDouble();
                    if (!std::isfinite(d))
                        return QVariant(); // nor has such a number
                    json = d;
                } else {
                    json = v.toString();
                }
                break;
            }
            row.insert(column, json);
        }
        rows.append(row);
    }
    return QString::fromUtf8(QJsonDocument(rows).toJson(QJsonDocument::Compact));
}

QString PostgreSqlKind::cursorOf(const QString &name, const QString &query) const
{
    return QStringLiteral("declare %1 no scroll cursor for ").arg(name) + query;
}

QString PostgreSqlKind::fetchFrom(const QString &name, int count) const
{
    return count < 0 ? QStringLiteral("fetch all from %1").arg(name)
                     : QStringLiteral("fetch forward %1 from %2").arg(count).arg(name);
}

QString PostgreSqlKind::closeOf(const QString &name) const
{
    return QStringLiteral("close %1").arg(name);
}

} // namespace db
