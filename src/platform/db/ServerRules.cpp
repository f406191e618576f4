#include "platform/db/ServerRules.h"

#include <QList>
#include <QSet>

namespace db::sql {

namespace {

bool isWordChar(QChar c)
{
    return c.isLetterOrNumber() || c == QLatin1Char('_') || c == QLatin1Char('$') || c == QLatin1Char('#');
}

// Words after which a name continues an expression rather than naming it.
bool isOperatorWord(const QString &word)
{
    static const QSet<QString> words{
        QStringLiteral("AND"),  QStringLiteral("OR"),   QStringLiteral("NOT"),  QStringLiteral("LIKE"),
        QStringLiteral("IN"),   QStringLiteral("IS"),   QStringLiteral("BETWEEN"), QStringLiteral("CASE"),
        QStringLiteral("WHEN"), QStringLiteral("THEN"), QStringLiteral("ELSE"), QStringLiteral("DISTINCT"),
        QStringLiteral("ALL"),  QStringLiteral("ANY"),  QStringLiteral("SOME"), QStringLiteral("PRIOR"),
        QStringLiteral("ESCAPE"), QStringLiteral("SELECT"),
    };
    return words.contains(word.toUpper());
}

} // namespace

void visitPieces(const QString &s, const std::function<bool(const Piece &)> &visit)
{
    const qsizetype n = s.size();
    int depth = 0;
    qsizetype i = 0;
    while (i < n) {
        const QChar c = s.at(i);
        if (c.isSpace()) {
            ++i;
        } else if (c == QLatin1Char('-') && i + 1 < n && s.at(i + 1) == QLatin1Char('-')) {
            while (i < n && s.at(i) != QLatin1Char('\n'))
                ++i;
        } else if (c == QLatin1Char('/') && i + 1 < n && s.at(i + 1) == QLatin1Char('*')) {
            const qsizetype end = s.indexOf(QLatin1String("*/"), i + 2);
            i = end < 0 ? n : end + 2;
        } else if (c == QLatin1Char('\'') || c == QLatin1Char('"')) {
            // A doubled quote inside stands for one.
            qsizetype j = i + 1;
            for (;;) {
                j = s.indexOf(c, j);
                if (j < 0) {
                    j = n;
                    break;
                }
                if (j + 1 < n && s.at(j + 1) == c) {
                    j += 2;
                    continue;
                }
                ++j;
                break;
            }
            if (!visit({c == QLatin1Char('"') ? Piece::QuotedName : Piece::Literal, i, j, depth}))
                return;
            i = j;
        } else if (isWordChar(c)) {
            qsizetype j = i;
            while (j < n && (isWordChar(s.at(j)) || (c.isDigit() && s.at(j) == QLatin1Char('.'))))
                ++j;
            if (!visit({c.isDigit() ? Piece::Number : Piece::Word, i, j, depth}))
                return;
            i = j;
        } else {
            if (c == QLatin1Char(')'))
                --depth;
            if (!visit({Piece::Other, i, i + 1, depth}))
                return;
            if (c == QLatin1Char('('))
                ++depth;
            ++i;
        }
    }
}

QList<Piece> piecesOf(const QString &statement)
{
    QList<Piece> pieces;
    visitPieces(statement, [&](const Piece &p) {
        pieces.append(p);
        return true;
    });
    return pieces;
}

bool isWord(const QString &s, const Piece &p, const char *word)
{
    return p.kind == Piece::Word
           && QStringView(s).mid(p.start, p.end - p.start).compare(QLatin1String(word), Qt::CaseInsensitive) == 0;
}

bool isOther(const QString &s, const Piece &p, char c)
{
    return p.kind == Piece::Other && s.at(p.start) == QLatin1Char(c);
}

QString derivedColumnName(const QString &expression)
{
    QString result;
    result.reserve(expression.size());
    for (QChar c : expression) {
        if (!c.isSpace())
            result += c.toUpper();
    }
    return result;
}

QStringList selectListItems(const QString &statement)
{
    const QList<Piece> pieces = piecesOf(statement);
    qsizetype at = 0;
    while (at < pieces.size() && !(pieces.at(at).depth == 0 && isWord(statement, pieces.at(at), "select")))
        ++at;
    if (at == pieces.size())
        return {};
    ++at;
    if (at < pieces.size() && (isWord(statement, pieces.at(at), "distinct") || isWord(statement, pieces.at(at), "unique")
                               || isWord(statement, pieces.at(at), "all")))
        ++at;
    static const char *const ends[] = {"from", "into", "union", "intersect", "minus", "except", "order", "where"};
    QStringList items;
    qsizetype first = at;
    auto take = [&](qsizetype past) {
        if (past > first)
            items.append(statement.mid(pieces.at(first).start, pieces.at(past - 1).end - pieces.at(first).start));
        else
            items.append(QString());
        first = past + 1;
    };
    for (; at < pieces.size(); ++at) {
        const Piece &p = pieces.at(at);
        if (p.depth != 0)
            continue;
        if (isOther(statement, p, ',')) {
            take(at);
            continue;
        }
        if (isOther(statement, p, ';'))
            break;
        bool end = false;
        for (const char *word : ends)
            end = end || isWord(statement, p, word);
        if (end)
            break;
    }
    take(at);
    for (const QString &item : std::as_const(items)) {
        if (item.isEmpty() || item == QLatin1String("*") || item.endsWith(QLatin1String(".*")))
            return {};
    }
    return items;
}

QString derivedNameOf(const QString &item)
{
    const QList<Piece> pieces = piecesOf(item);
    if (pieces.isEmpty())
        return QString();
    // A plain column: names joined by dots.
    bool plain = true;
    for (qsizetype i = 0; i < pieces.size() && plain; ++i) {
        const Piece &p = pieces.at(i);
        plain = i % 2 == 0 ? (p.kind == Piece::Word || p.kind == Piece::QuotedName) : isOther(item, p, '.');
    }
    if (plain && pieces.size() % 2 == 1)
        return QString();
    // An alias: a name after AS, or after a piece that ends an operand.
    const Piece &last = pieces.last();
    if (pieces.size() >= 2 && (last.kind == Piece::Word || last.kind == Piece::QuotedName)
        && !isWord(item, last, "end")) {
        const Piece &before = pieces.at(pieces.size() - 2);
        const QString beforeText = item.mid(before.start, before.end - before.start);
        const bool endsOperand = (before.kind == Piece::Word && !isOperatorWord(beforeText))
                                 || before.kind == Piece::QuotedName || before.kind == Piece::Literal
                                 || before.kind == Piece::Number || isOther(item, before, ')');
        if (endsOperand && before.depth == 0 && last.depth == 0)
            return QString();
    }
    return derivedColumnName(item);
}

qsizetype topLevelOrderBy(const QString &sql, const QList<Piece> &pieces)
{
    qsizetype found = -1;
    for (qsizetype i = 0; i + 1 < pieces.size(); ++i) {
        if (pieces.at(i).depth == 0 && isWord(sql, pieces.at(i), "order") && isWord(sql, pieces.at(i + 1), "by"))
            found = i;
    }
    return found;
}

qsizetype topLevelOrderBy(const QString &sql)
{
    const QList<Piece> pieces = piecesOf(sql);
    const qsizetype found = topLevelOrderBy(sql, pieces);
    return found < 0 ? -1 : pieces.at(found).start;
}

QString orderedAsDerivedTable(const QString &sql, const QString &alias)
{
    const qsizetype found = topLevelOrderBy(sql);
    if (found < 0)
        return QString();
    return QStringLiteral("select * from (") + sql.left(found) + QStringLiteral(") ")
           + (alias.isEmpty() ? QString() : alias + QLatin1Char(' ')) + sql.mid(found);
}

} // namespace db::sql
