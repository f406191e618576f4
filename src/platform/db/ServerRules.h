#pragma once

#include <QString>
#include <QStringList>

// How the real server names the columns of a result and reads a statement's ORDER BY:
// rules shared by the backends that make another server answer as it does.
namespace db::sql {

// The server's name for a result column that is an expression: its text in upper case
// with the blanks dropped, so f_name||' '||l_name is named F_NAME||''||L_NAME.
QString derivedColumnName(const QString &expression);

// The items of a statement's select list, as written, or nothing when the list holds a
// * (whose columns only the server knows) or the statement is no query.
QStringList selectListItems(const QString &statement);

// The name the real server gives the column of one select-list item when that name is
// the item's own text: empty for an item with an alias or a plain (qualified) column,
// whose name every server gives alike.
QString derivedNameOf(const QString &item);

// Where the statement's own ORDER BY starts (outside quotes and parentheses), or -1.
qsizetype topLevelOrderBy(const QString &statement);

// A statement ordered by names of its select list, rewritten to order its result as a
// derived table, for servers that cannot tell the list's names from the tables' in an
// ORDER BY expression. alias names the derived table where the server needs a name.
// Empty when the statement has no ORDER BY of its own.
QString orderedAsDerivedTable(const QString &statement, const QString &alias = QString());

} // namespace db::sql
