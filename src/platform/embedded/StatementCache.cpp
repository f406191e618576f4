#include "platform/embedded/EmbeddedBackend.h"

#include "platform/db/Params.h"
#include "platform/db/ServerRules.h"
#include "platform/embedded/ServerErrors.h"

#include <sqlite3.h>

// The statements a session keeps prepared, and how a text is prepared like the real
// server reads it.
namespace embedded {

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

QString EmbeddedBackend::limitedLikeTheServer(const QString &sql)
{
    using db::sql::isWord;
    // The real server's "fetch first N rows only" at the end of a query is SQLite's
    // "limit N".
    const QList<db::sql::Piece> pieces = db::sql::piecesOf(sql);
    qsizetype end = pieces.size();
    if (end > 0 && db::sql::isOther(sql, pieces.at(end - 1), ';'))
        --end;
    if (end < 5)
        return sql;
    const db::sql::Piece &fetch = pieces.at(end - 5);
    const db::sql::Piece &count = pieces.at(end - 3);
    const db::sql::Piece &only = pieces.at(end - 1);
    if (fetch.depth != 0 || !isWord(sql, fetch, "fetch")
        || !(isWord(sql, pieces.at(end - 4), "first") || isWord(sql, pieces.at(end - 4), "next"))
        || count.kind != db::sql::Piece::Number
        || !(isWord(sql, pieces.at(end - 2), "rows") || isWord(sql, pieces.at(end - 2), "row"))
        || !isWord(sql, only, "only"))
        return sql;
    QString limited = sql;
    limited.replace(fetch.start, only.end - fetch.start,
                    QStringLiteral("limit ") + sql.mid(count.start, count.end - count.start));
    return limited;
}

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
    const QString ordered = orderedLikeTheServer(limitedLikeTheServer(sql));
    if (attempt(ordered, &stmt) == SQLITE_OK && stmt)
        return stmt;
    const QString error = QString::fromUtf8(sqlite3_errmsg(m_handle));
    sqlite3_finalize(stmt);
    stmt = nullptr;
    // The real server takes an ORDER BY name from the select list first; SQLite calls it
    // ambiguous when the joined tables have it too. Order the result as a derived table.
    if (error.startsWith(QLatin1String("ambiguous column name"))) {
        const QString adapted = db::sql::orderedAsDerivedTable(ordered);
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

} // namespace embedded
