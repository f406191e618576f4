#include "platform/db/Params.h"

#include "platform/core/NumberFormat.h"
#include "platform/db/DbError.h"
#include "platform/db/ServerRules.h"

namespace db {

QString Param::asString() const
{
    if (m_value.isNull())
        return QString();
    if (m_value.typeId() == QMetaType::Double)
        return core::numberText(m_value.toDouble());
    return m_value.toString();
}

double Param::asFloat() const
{
    if (m_value.isNull())
        return 0;
    double v = 0;
    if (m_value.typeId() == QMetaType::QString)
        return core::parseNumber(m_value.toString(), &v) ? v : 0;
    return m_value.toDouble();
}

Param &Params::operator[](int index)
{
    if (index < 0 || index >= count())
        throw DbError(QStringLiteral("Parameter index %1 out of range").arg(index));
    return m_items[std::size_t(index)];
}

Param *Params::find(const QString &name)
{
    QString bare = name.startsWith(QLatin1Char(':')) ? name.mid(1) : name;
    for (Param &p : m_items) {
        if (p.name().compare(bare, Qt::CaseInsensitive) == 0)
            return &p;
    }
    return nullptr;
}

Param &Params::byName(const QString &name)
{
    if (Param *p = find(name))
        return *p;
    throw DbError(QStringLiteral("Parameter '%1' not found").arg(name));
}

void Params::rebuild(const QStringList &names)
{
    std::vector<Param> next;
    next.reserve(std::size_t(names.size()));
    for (const QString &name : names) {
        Param param(name);
        if (Param *old = find(name); old && old->isBound())
            param.setValue(old->value());
        next.push_back(std::move(param));
    }
    m_items = std::move(next);
}

BoundParams Params::bound() const
{
    BoundParams result;
    result.reserve(count());
    for (const Param &p : m_items)
        result.append({p.name(), p.value()});
    return result;
}

namespace sql {

QString joinLines(const QStringList &lines)
{
    return lines.join(QLatin1Char('\n'));
}

namespace {

// Calls found with each :parameter of the statement (its name, and where the colon
// starts and the name ends). Text in quotes and comments is skipped; "::" and ":=" are
// not parameters.
void visitParameters(const QString &statement, const std::function<void(const QString &, qsizetype, qsizetype)> &found)
{
    const QList<Piece> pieces = piecesOf(statement);
    auto touching = [&](qsizetype a, qsizetype b) { return pieces.at(a).end == pieces.at(b).start; };
    for (qsizetype i = 0; i + 1 < pieces.size(); ++i) {
        if (!isOther(statement, pieces.at(i), ':') || !touching(i, i + 1))
            continue;
        // "::" and ":=" are operators.
        const Piece &next = pieces.at(i + 1);
        if (isOther(statement, next, ':') || isOther(statement, next, '=')
            || (i > 0 && isOther(statement, pieces.at(i - 1), ':') && touching(i - 1, i)))
            continue;
        if (next.kind != Piece::Word && next.kind != Piece::Number)
            continue;
        found(statement.mid(next.start, next.end - next.start), pieces.at(i).start, next.end);
    }
}

} // namespace

QStringList parameterNames(const QString &statement)
{
    QStringList names;
    visitParameters(statement, [&](const QString &name, qsizetype, qsizetype) {
        bool known = false;
        for (const QString &k : std::as_const(names))
            known = known || k.compare(name, Qt::CaseInsensitive) == 0;
        if (!known)
            names.append(name);
    });
    return names;
}

QString replaceParameters(const QString &statement, const std::function<QString(const QString &)> &replacement)
{
    QString result;
    qsizetype copied = 0;
    visitParameters(statement, [&](const QString &name, qsizetype start, qsizetype end) {
        result += QStringView(statement).mid(copied, start - copied);
        result += replacement(name);
        copied = end;
    });
    result += QStringView(statement).mid(copied);
    return result;
}

QString firstKeyword(const QString &statement)
{
    QString word;
    visitPieces(statement, [&](const Piece &p) {
        if (isOther(statement, p, '('))
            return true;
        if (p.kind == Piece::Word && statement.at(p.start).isLetter())
            word = statement.mid(p.start, p.end - p.start).toUpper();
        return false;
    });
    return word;
}

} // namespace sql

} // namespace db
