#include "platform/db/Params.h"

#include "platform/core/NumberFormat.h"
#include "platform/db/DbError.h"

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

bool isNameChar(QChar c)
{
    return c.isLetterOrNumber() || c == QLatin1Char('_') || c == QLatin1Char('$')
           || c == QLatin1Char('#');
}

// Calls visit(position) for every character outside quotes and comments.
template <typename Visit>
void scanCode(const QString &s, Visit visit)
{
    const qsizetype n = s.size();
    qsizetype i = 0;
    while (i < n) {
        const QChar c = s.at(i);
        if (c == QLatin1Char('\'') || c == QLatin1Char('"')) {
            ++i;
            while (i < n && s.at(i) != c)
                ++i;
            ++i;
        } else if (c == QLatin1Char('-') && i + 1 < n && s.at(i + 1) == QLatin1Char('-')) {
            while (i < n && s.at(i) != QLatin1Char('\n'))
                ++i;
        } else if (c == QLatin1Char('/') && i + 1 < n && s.at(i + 1) == QLatin1Char('*')) {
            const qsizetype end = s.indexOf(QLatin1String("*/"), i + 2);
            i = end < 0 ? n : end + 2;
        } else {
            i = visit(i);
        }
    }
}

} // namespace

QStringList parameterNames(const QString &statement)
{
    QStringList names;
    const qsizetype n = statement.size();
    scanCode(statement, [&](qsizetype i) -> qsizetype {
        if (statement.at(i) != QLatin1Char(':'))
            return i + 1;
        if (i + 1 < n && (statement.at(i + 1) == QLatin1Char(':')
                          || statement.at(i + 1) == QLatin1Char('='))) {
            return i + 2;
        }
        if (i > 0 && statement.at(i - 1) == QLatin1Char(':'))
            return i + 1;
        qsizetype j = i + 1;
        while (j < n && isNameChar(statement.at(j)))
            ++j;
        if (j > i + 1) {
            const QString name = statement.mid(i + 1, j - i - 1);
            bool known = false;
            for (const QString &k : names) {
                if (k.compare(name, Qt::CaseInsensitive) == 0)
                    known = true;
            }
            if (!known)
                names.append(name);
        }
        return j;
    });
    return names;
}

QString firstKeyword(const QString &statement)
{
    QString word;
    bool done = false;
    scanCode(statement, [&](qsizetype i) -> qsizetype {
        if (done)
            return statement.size();
        const QChar c = statement.at(i);
        if (word.isEmpty()) {
            if (c.isLetter())
                word += c.toUpper();
            else if (!c.isSpace() && c != QLatin1Char('('))
                done = true;
        } else if (isNameChar(c)) {
            word += c.toUpper();
        } else {
            done = true;
        }
        return i + 1;
    });
    return word;
}

} // namespace sql

} // namespace db
