#include "platform/core/StringList.h"

namespace core {

StringList::StringList(std::initializer_list<QString> lines) : m_lines(lines) {}

StringList::StringList(const QStringList &lines) : m_lines(lines) {}

int StringList::indexOf(const QString &line) const
{
    for (int i = 0; i < count(); ++i) {
        if (m_lines.at(i).compare(line, Qt::CaseInsensitive) == 0)
            return i;
    }
    return -1;
}

QString StringList::text() const
{
    QString result;
    for (const QString &line : m_lines) {
        result += line;
        result += QLatin1Char('\n');
    }
    return result;
}

QString StringList::nameAt(int index) const
{
    const QString &line = m_lines.at(index);
    const qsizetype eq = line.indexOf(QLatin1Char('='));
    return eq < 0 ? QString() : line.left(eq);
}

QString StringList::valueAt(int index) const
{
    const QString &line = m_lines.at(index);
    const qsizetype eq = line.indexOf(QLatin1Char('='));
    return eq < 0 ? QString() : line.mid(eq + 1);
}

int StringList::indexOfName(const QString &name) const
{
    for (int i = 0; i < count(); ++i) {
        const QString &line = m_lines.at(i);
        const qsizetype eq = line.indexOf(QLatin1Char('='));
        if (eq >= 0 && QStringView(line).left(eq).compare(name, Qt::CaseInsensitive) == 0)
            return i;
    }
    return -1;
}

QString StringList::value(const QString &name) const
{
    const int i = indexOfName(name);
    return i < 0 ? QString() : valueAt(i);
}

void StringList::setValue(const QString &name, const QString &value)
{
    const int i = indexOfName(name);
    if (value.isEmpty()) {
        if (i >= 0)
            m_lines.removeAt(i);
        return;
    }
    const QString line = name + QLatin1Char('=') + value;
    if (i >= 0)
        m_lines[i] = line;
    else
        m_lines.append(line);
}

QStringList StringList::parseCommaText(const QString &text)
{
    QStringList items;
    const qsizetype n = text.size();
    qsizetype i = 0;
    auto isBlank = [&](qsizetype at) { return at < n && text.at(at).unicode() <= ' '; };
    while (isBlank(i))
        ++i;
    while (i < n) {
        QString item;
        if (text.at(i) == QLatin1Char('"')) {
            ++i;
            while (i < n) {
                if (text.at(i) == QLatin1Char('"')) {
                    if (i + 1 < n && text.at(i + 1) == QLatin1Char('"')) {
                        item += QLatin1Char('"');
                        i += 2;
                        continue;
                    }
                    ++i;
                    break;
                }
                item += text.at(i++);
            }
            // Anything glued to the closing quote belongs to no item.
            while (i < n && text.at(i) != QLatin1Char(',') && !isBlank(i))
                ++i;
        } else {
            while (i < n && text.at(i) != QLatin1Char(',') && !isBlank(i))
                item += text.at(i++);
        }
        items.append(item);
        while (isBlank(i))
            ++i;
        if (i < n && text.at(i) == QLatin1Char(',')) {
            ++i;
            while (isBlank(i))
                ++i;
            if (i == n)
                items.append(QString()); // a trailing comma ends an empty item
        }
    }
    return items;
}

QString StringList::quoted(const QString &item)
{
    QString result = QStringLiteral("\"");
    for (QChar c : item) {
        if (c == QLatin1Char('"'))
            result += QLatin1Char('"');
        result += c;
    }
    result += QLatin1Char('"');
    return result;
}

QString StringList::toCommaText(const QStringList &items)
{
    QStringList parts;
    for (const QString &item : items) {
        bool plain = !item.isEmpty();
        for (QChar c : item) {
            if (c.unicode() <= ' ' || c == QLatin1Char(',') || c == QLatin1Char('"')) {
                plain = false;
                break;
            }
        }
        parts.append(plain ? item : quoted(item));
    }
    return parts.join(QLatin1Char(','));
}

} // namespace core
