#pragma once

#include "platform/db/Backend.h"

#include <QString>
#include <QStringList>
#include <QVariant>

#include <functional>

#include <vector>

namespace db {

// One named parameter of a statement. It carries one value at every occurrence.
class Param {
public:
    explicit Param(const QString &name) : m_name(name) {}

    const QString &name() const { return m_name; }
    const QVariant &value() const { return m_value; }
    bool isNull() const { return m_value.isNull(); }
    bool isBound() const { return m_bound; }

    void setValue(const QVariant &value) { m_value = value; m_bound = true; }
    void setAsString(const QString &value) { setValue(value); }
    void setAsFloat(double value) { setValue(value); }
    void clear() { m_value = QVariant(); m_bound = false; }

    QString asString() const;
    double asFloat() const;

private:
    QString m_name;
    QVariant m_value;
    bool m_bound = false;
};

// The parameters of a statement in the order of their first occurrence.
class Params {
public:
    int count() const { return int(m_items.size()); }
    Param &operator[](int index);
    const Param &operator[](int index) const { return m_items.at(std::size_t(index)); }
    Param *find(const QString &name);
    // Throws DbError when the statement has no such parameter.
    Param &byName(const QString &name);

    // Takes the parameter names of a new statement; values of names that stay are kept.
    void rebuild(const QStringList &names);
    BoundParams bound() const;

private:
    std::vector<Param> m_items;
};

namespace sql {

// The statement text of stored lines: lines joined by line breaks.
QString joinLines(const QStringList &lines);

// The names of the statement's :parameters, each once, in order of first occurrence.
// Text in quotes and comments is skipped; "::" and ":=" are not parameters.
QStringList parameterNames(const QString &statement);
// The statement with each occurrence of a :parameter replaced by what replacement gives
// for its name, by the same reading.
QString replaceParameters(const QString &statement, const std::function<QString(const QString &)> &replacement);

// The statement's first word, upper-cased ("SELECT", "INSERT", ...), comments skipped.
QString firstKeyword(const QString &statement);

} // namespace sql

} // namespace db
