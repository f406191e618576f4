#pragma once

#include <QList>
#include <QString>
#include <QStringList>

#include <functional>

// How the real server reads a statement's text, names the columns of a result and reads
// its ORDER BY: rules shared by the backends that make another server answer as it does.
namespace db::sql {

// One piece of a statement's text: a word, a quoted name, a literal, a number, or one
// other character. Blanks and comments (-- to the end of the line, /* */) separate pieces
// and are none themselves; a doubled quote inside a quoted name or literal stands for one.
struct Piece {
    enum Kind { Word, QuotedName, Literal, Number, Other } kind = Other;
    qsizetype start = 0;
    qsizetype end = 0; // one past the last character
    int depth = 0;     // parentheses open before it
};

// Calls visit with each piece of the statement, in order, until it returns false: the one
// reader of statement text that every rule here and the parameters of a statement use.
void visitPieces(const QString &statement, const std::function<bool(const Piece &)> &visit);
// The pieces of a statement, in order.
QList<Piece> piecesOf(const QString &statement);

// Whether the piece is that word (without regard to case), or that other character.
bool isWord(const QString &statement, const Piece &piece, const char *word);
bool isOther(const QString &statement, const Piece &piece, char c);

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

// The piece ORDER of the statement's own ORDER BY (outside quotes, comments and
// parentheses), as an index into its pieces, or -1.
qsizetype topLevelOrderBy(const QString &statement, const QList<Piece> &pieces);
// Where the statement's own ORDER BY starts, or -1.
qsizetype topLevelOrderBy(const QString &statement);

// A statement ordered by names of its select list, rewritten to order its result as a
// derived table, for servers that cannot tell the list's names from the tables' in an
// ORDER BY expression. alias names the derived table where the server needs a name.
// Empty when the statement has no ORDER BY of its own.
QString orderedAsDerivedTable(const QString &statement, const QString &alias = QString());

} // namespace db::sql
