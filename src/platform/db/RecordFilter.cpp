#include "platform/db/RecordFilter.h"

#include "platform/core/NumberFormat.h"
#include "platform/db/DbError.h"
#include "platform/db/Field.h"

namespace db {

namespace {

class Parser {
public:
    explicit Parser(const QString &text) : m_s(text) {}

    RecordFilter::Term term()
    {
        RecordFilter::Term t;
        skipBlanks();
        const qsizetype start = m_i;
        while (m_i < m_s.size() && isNameChar(m_s.at(m_i), m_i == start))
            ++m_i;
        if (m_i == start)
            fail(QStringLiteral("a column name expected"));
        t.column = m_s.mid(start, m_i - start);
        skipBlanks();
        if (m_i >= m_s.size() || m_s.at(m_i) != QLatin1Char('='))
            fail(QStringLiteral("'=' expected"));
        ++m_i;
        skipBlanks();
        if (m_i < m_s.size() && m_s.at(m_i) == QLatin1Char('\'')) {
            ++m_i;
            QString value;
            bool closed = false;
            while (m_i < m_s.size()) {
                const QChar c = m_s.at(m_i);
                if (c == QLatin1Char('\'')) {
                    if (m_i + 1 < m_s.size() && m_s.at(m_i + 1) == QLatin1Char('\'')) {
                        value += c;
                        m_i += 2;
                        continue;
                    }
                    ++m_i;
                    closed = true;
                    break;
                }
                value += c;
                ++m_i;
            }
            if (!closed)
                fail(QStringLiteral("the quoted value is not closed"));
            if (value.endsWith(QLatin1Char('*'))) {
                value.chop(1);
                t.prefix = true;
            }
            t.text = value;
        } else {
            const qsizetype numStart = m_i;
            if (m_i < m_s.size() && (m_s.at(m_i) == QLatin1Char('-') || m_s.at(m_i) == QLatin1Char('+')))
                ++m_i;
            while (m_i < m_s.size() && (m_s.at(m_i).isDigit() || m_s.at(m_i) == QLatin1Char('.')
                                        || m_s.at(m_i) == QLatin1Char('e') || m_s.at(m_i) == QLatin1Char('E')))
                ++m_i;
            bool ok = false;
            const double v = m_s.mid(numStart, m_i - numStart).toDouble(&ok);
            if (!ok) {
                m_i = numStart;
                fail(QStringLiteral("a quoted value or a number expected"));
            }
            t.numeric = true;
            t.number = v;
        }
        return t;
    }

    // True when an " and " follows; false at the end of the text.
    bool conjunction()
    {
        skipBlanks();
        if (m_i >= m_s.size())
            return false;
        const qsizetype start = m_i;
        if (m_s.mid(m_i, 3).compare(QLatin1String("and"), Qt::CaseInsensitive) == 0
            && m_i > 0 && m_s.at(m_i - 1).isSpace() && m_i + 3 < m_s.size()
            && m_s.at(m_i + 3).isSpace()) {
            m_i += 3;
            return true;
        }
        m_i = start;
        fail(QStringLiteral("' and ' or the end of the filter expected"));
    }

    bool atEnd()
    {
        skipBlanks();
        return m_i >= m_s.size();
    }

private:
    static bool isNameChar(QChar c, bool first)
    {
        if (c.isLetter() || c == QLatin1Char('_'))
            return true;
        return !first && (c.isDigit() || c == QLatin1Char('$') || c == QLatin1Char('#'));
    }
    void skipBlanks()
    {
        while (m_i < m_s.size() && m_s.at(m_i).isSpace())
            ++m_i;
    }
    [[noreturn]] void fail(const QString &what) const
    {
        throw DbError(QStringLiteral("Filter expression incorrect at position %1: %2 in \"%3\"")
                          .arg(m_i + 1)
                          .arg(what, m_s));
    }

    const QString &m_s;
    qsizetype m_i = 0;
};

} // namespace

RecordFilter RecordFilter::parse(const QString &text)
{
    RecordFilter filter;
    Parser p(text);
    if (p.atEnd())
        return filter;
    do {
        filter.m_terms.push_back(p.term());
    } while (p.conjunction());
    return filter;
}

void RecordFilter::bind(const std::function<int(const QString &)> &columnOf,
                        const std::function<FieldType(int)> &typeOf)
{
    for (Term &t : m_terms) {
        t.columnIndex = columnOf(t.column);
        if (t.columnIndex < 0)
            throw DbError(QStringLiteral("Field '%1' not found").arg(t.column));
        t.type = typeOf(t.columnIndex);
        // A number column compares a quoted number as a number, so '1.500' finds the 1.5
        // that the column shows as 1.500; the number is read as a field reads one, so
        // '1,5' finds it too. A prefix pattern goes on comparing text.
        if (t.type == FieldType::Float && !t.numeric && !t.prefix) {
            double v = 0;
            if (core::parseNumber(t.text, &v)) {
                t.numeric = true;
                t.number = v;
            }
        }
    }
}

bool RecordFilter::matches(const Row &row, bool caseInsensitive) const
{
    const Qt::CaseSensitivity cs = caseInsensitive ? Qt::CaseInsensitive : Qt::CaseSensitive;
    for (const Term &t : m_terms) {
        const QVariant &stored = row.at(t.columnIndex);
        if (t.numeric) {
            if (stored.isNull() || Field::floatOf(stored) != t.number)
                return false;
            continue;
        }
        // Strings are compared as stored; other types by their plain text.
        const QString value = stored.typeId() == QMetaType::QString ? stored.toString()
                                                                     : Field::textOf(stored, t.type);
        if (t.prefix ? !value.startsWith(t.text, cs) : value.compare(t.text, cs) != 0)
            return false;
    }
    return true;
}

} // namespace db
