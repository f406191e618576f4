#include "platform/embedded/SqlFunctions.h"

#include "platform/core/NumberFormat.h"

#include <QDateTime>
#include <QList>
#include <QLocale>
#include <QSet>

#include <cmath>
#include <sqlite3.h>

namespace embedded {

QString oracleNumberText(double value)
{
    QString text = core::numberText(value);
    if (text.startsWith(QLatin1String("0.")))
        text.remove(0, 1);
    else if (text.startsWith(QLatin1String("-0.")))
        text.remove(1, 1);
    return text;
}

bool likeMatches(const QString &value, const QString &pattern, QChar escape)
{
    enum Kind { Literal, One, Many };
    struct Item {
        Kind kind;
        QChar c;
    };
    QList<Item> items;
    for (qsizetype k = 0; k < pattern.size(); ++k) {
        const QChar c = pattern.at(k);
        if (!escape.isNull() && c == escape && k + 1 < pattern.size())
            items.append({Literal, pattern.at(++k)});
        else if (c == QLatin1Char('%'))
            items.append({Many, c});
        else if (c == QLatin1Char('_'))
            items.append({One, c});
        else
            items.append({Literal, c});
    }
    qsizetype i = 0;
    qsizetype j = 0;
    qsizetype star = -1;
    qsizetype mark = 0;
    const qsizetype n = value.size();
    const qsizetype m = items.size();
    while (i < n) {
        if (j < m && (items.at(j).kind == One || (items.at(j).kind == Literal && items.at(j).c == value.at(i)))) {
            ++i;
            ++j;
        } else if (j < m && items.at(j).kind == Many) {
            star = j++;
            mark = i;
        } else if (star >= 0) {
            j = star + 1;
            i = ++mark;
        } else {
            return false;
        }
    }
    while (j < m && items.at(j).kind == Many)
        ++j;
    return j == m;
}

QString formatDateTime(const QString &storedDate, const QString &format)
{
    QDateTime dt = QDateTime::fromString(storedDate, QStringLiteral("yyyy-MM-dd HH:mm:ss"));
    if (!dt.isValid())
        dt = QDateTime::fromString(storedDate, Qt::ISODate);
    if (!dt.isValid()) {
        const QDate d = QDate::fromString(storedDate, Qt::ISODate);
        if (!d.isValid())
            return storedDate;
        dt = d.startOfDay();
    }
    const QLocale c = QLocale::c();
    QString out;
    const QString f = format;
    qsizetype i = 0;
    auto take = [&](const char *element) {
        const QLatin1String e(element);
        if (f.mid(i, e.size()).compare(e, Qt::CaseInsensitive) == 0) {
            i += e.size();
            return true;
        }
        return false;
    };
    while (i < f.size()) {
        if (f.at(i) == QLatin1Char('"')) {
            const qsizetype end = f.indexOf(QLatin1Char('"'), i + 1);
            out += f.mid(i + 1, (end < 0 ? f.size() : end) - i - 1);
            i = end < 0 ? f.size() : end + 1;
        } else if (take("YYYY")) {
            out += QString::number(dt.date().year()).rightJustified(4, QLatin1Char('0'));
        } else if (take("YY")) {
            out += QString::number(dt.date().year() % 100).rightJustified(2, QLatin1Char('0'));
        } else if (take("MONTH")) {
            out += c.monthName(dt.date().month()).toUpper();
        } else if (take("MON")) {
            out += c.monthName(dt.date().month(), QLocale::ShortFormat).toUpper();
        } else if (take("MM")) {
            out += QString::number(dt.date().month()).rightJustified(2, QLatin1Char('0'));
        } else if (take("DD")) {
            out += QString::number(dt.date().day()).rightJustified(2, QLatin1Char('0'));
        } else if (take("DY")) {
            out += c.dayName(dt.date().dayOfWeek(), QLocale::ShortFormat).toUpper();
        } else if (take("HH24")) {
            out += QString::number(dt.time().hour()).rightJustified(2, QLatin1Char('0'));
        } else if (take("HH12") || take("HH")) {
            const int h = dt.time().hour() % 12;
            out += QString::number(h == 0 ? 12 : h).rightJustified(2, QLatin1Char('0'));
        } else if (take("MI")) {
            out += QString::number(dt.time().minute()).rightJustified(2, QLatin1Char('0'));
        } else if (take("SS")) {
            out += QString::number(dt.time().second()).rightJustified(2, QLatin1Char('0'));
        } else if (take("AM") || take("PM")) {
            out += dt.time().hour() < 12 ? QStringLiteral("AM") : QStringLiteral("PM");
        } else {
            out += f.at(i++);
        }
    }
    return out;
}

namespace {

QString textArg(sqlite3_value *v)
{
    const auto *p = reinterpret_cast<const char *>(sqlite3_value_text(v));
    return p ? QString::fromUtf8(p, sqlite3_value_bytes(v)) : QString();
}

void resultText(sqlite3_context *ctx, const QString &text)
{
    const QByteArray utf8 = text.toUtf8();
    sqlite3_result_text(ctx, utf8.constData(), int(utf8.size()), SQLITE_TRANSIENT);
}

void toChar(sqlite3_context *ctx, int argc, sqlite3_value **argv)
{
    sqlite3_value *v = argv[0];
    switch (sqlite3_value_type(v)) {
    case SQLITE_NULL:
        sqlite3_result_null(ctx);
        return;
    case SQLITE_INTEGER:
    case SQLITE_FLOAT:
        resultText(ctx, oracleNumberText(sqlite3_value_double(v)));
        return;
    default:
        if (argc > 1 && sqlite3_value_type(argv[1]) != SQLITE_NULL)
            resultText(ctx, formatDateTime(textArg(v), textArg(argv[1])));
        else
            resultText(ctx, textArg(v));
        return;
    }
}

void like(sqlite3_context *ctx, int argc, sqlite3_value **argv)
{
    // "x like y" arrives as like(y, x[, escape]).
    if (sqlite3_value_type(argv[0]) == SQLITE_NULL || sqlite3_value_type(argv[1]) == SQLITE_NULL) {
        sqlite3_result_null(ctx);
        return;
    }
    QChar escape;
    if (argc > 2) {
        const QString e = textArg(argv[2]);
        if (e.size() != 1) {
            sqlite3_result_error(ctx, "ORA-01425: escape character must be character string of length 1", -1);
            return;
        }
        escape = e.at(0);
    }
    sqlite3_result_int(ctx, likeMatches(textArg(argv[1]), textArg(argv[0]), escape) ? 1 : 0);
}

void upper(sqlite3_context *ctx, int, sqlite3_value **argv)
{
    if (sqlite3_value_type(argv[0]) == SQLITE_NULL)
        sqlite3_result_null(ctx);
    else
        resultText(ctx, textArg(argv[0]).toUpper());
}

void lower(sqlite3_context *ctx, int, sqlite3_value **argv)
{
    if (sqlite3_value_type(argv[0]) == SQLITE_NULL)
        sqlite3_result_null(ctx);
    else
        resultText(ctx, textArg(argv[0]).toLower());
}

void nvl(sqlite3_context *ctx, int, sqlite3_value **argv)
{
    sqlite3_result_value(ctx, sqlite3_value_type(argv[0]) == SQLITE_NULL ? argv[1] : argv[0]);
}

// sys_context('USERENV', 'SESSION_USER'): the login of the session, as the real server
// names it; any other parameter has no value here.
void sysContext(sqlite3_context *ctx, int, sqlite3_value **argv)
{
    const auto *login = static_cast<const QString *>(sqlite3_user_data(ctx));
    const QString space = textArg(argv[0]).toUpper();
    const QString parameter = textArg(argv[1]).toUpper();
    if (login && space == QLatin1String("USERENV")
        && (parameter == QLatin1String("SESSION_USER") || parameter == QLatin1String("CURRENT_USER")))
        resultText(ctx, *login);
    else
        sqlite3_result_null(ctx);
}

} // namespace

void registerSessionContext(sqlite3 *handle, const QString *login)
{
    sqlite3_create_function_v2(handle, "sys_context", 2, SQLITE_UTF8, const_cast<QString *>(login), sysContext,
                               nullptr, nullptr, nullptr);
}

void registerServerFunctions(sqlite3 *handle)
{
    const int flags = SQLITE_UTF8 | SQLITE_DETERMINISTIC;
    sqlite3_create_function_v2(handle, "to_char", 1, flags, nullptr, toChar, nullptr, nullptr, nullptr);
    sqlite3_create_function_v2(handle, "to_char", 2, flags, nullptr, toChar, nullptr, nullptr, nullptr);
    sqlite3_create_function_v2(handle, "like", 2, flags, nullptr, like, nullptr, nullptr, nullptr);
    sqlite3_create_function_v2(handle, "like", 3, flags, nullptr, like, nullptr, nullptr, nullptr);
    sqlite3_create_function_v2(handle, "upper", 1, flags, nullptr, upper, nullptr, nullptr, nullptr);
    sqlite3_create_function_v2(handle, "lower", 1, flags, nullptr, lower, nullptr, nullptr, nullptr);
    sqlite3_create_function_v2(handle, "nvl", 2, flags, nullptr, nvl, nullptr, nullptr, nullptr);
}

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
        // the session
        "sys_context",
        // numbers
        "abs", "round", "sign", "ceil", "ceiling", "floor", "mod", "power", "sqrt", "trunc",
        // dates as the schema stores them
        "date", "time", "datetime", "julianday", "strftime", "current_date", "current_time",
        "current_timestamp",
    };
    return name && offered.contains(QByteArray(name).toLower());
}

} // namespace embedded
