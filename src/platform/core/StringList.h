#pragma once

#include <QString>
#include <QStringList>

#include <initializer_list>

namespace core {

// An ordered list of text lines. Lines of the form NAME=VALUE are looked up by name
// without regard to letter case; the list serves parameter sets, the password cache,
// account lists and the per-user database lists of the account window.
class StringList {
public:
    StringList() = default;
    StringList(std::initializer_list<QString> lines);
    explicit StringList(const QStringList &lines);

    int count() const { return int(m_lines.size()); }
    bool isEmpty() const { return m_lines.isEmpty(); }
    const QString &operator[](int index) const { return m_lines.at(index); }
    const QStringList &lines() const { return m_lines; }
    void setLines(const QStringList &lines) { m_lines = lines; }

    void append(const QString &line) { m_lines.append(line); }
    void insert(int index, const QString &line) { m_lines.insert(index, line); }
    void setLine(int index, const QString &line) { m_lines[index] = line; }
    void removeAt(int index) { m_lines.removeAt(index); }
    void clear() { m_lines.clear(); }

    // Whole-line search, letter case ignored.
    int indexOf(const QString &line) const;
    bool contains(const QString &line) const { return indexOf(line) >= 0; }

    // The text of every line, each ended by a line break.
    QString text() const;

    // NAME=VALUE access. A line without '=' has no name.
    QString nameAt(int index) const;
    QString valueAt(int index) const;
    int indexOfName(const QString &name) const;
    bool hasName(const QString &name) const { return indexOfName(name) >= 0; }
    QString value(const QString &name) const;
    // Replaces the value of the named line in place, or appends a line; an empty value
    // removes the line.
    void setValue(const QString &name, const QString &value);

    // Comma text: items separated by commas or blanks; an item in double quotes may hold
    // blanks and commas, and a doubled quote inside it stands for one quote.
    QString commaText() const { return toCommaText(m_lines); }
    void setCommaText(const QString &text) { m_lines = parseCommaText(text); }
    static QStringList parseCommaText(const QString &text);
    static QString toCommaText(const QStringList &items);
    static QString quoted(const QString &item);

    friend bool operator==(const StringList &, const StringList &) = default;

private:
    QStringList m_lines;
};

} // namespace core
