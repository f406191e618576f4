#include "platform/db/AccountStatement.h"

#include "platform/db/ServerErrors.h"
#include "platform/db/ServerRules.h"

namespace db {

namespace names {

QString fromTyped(const QString &typed)
{
    const QString name = typed.trimmed();
    if (name.size() >= 2 && name.startsWith(QLatin1Char('"')) && name.endsWith(QLatin1Char('"')))
        return name.mid(1, name.size() - 2);
    return name.toUpper();
}

void validate(const QString &name)
{
    if (name.size() > maxLength)
        throw serverError(errors::IdentifierTooLong, QStringLiteral("identifier is too long"));
}

} // namespace names

namespace {

using sql::Piece;

// A piece of an account statement as its grammar sees it.
struct Token {
    enum Kind { Word, Quoted, Comma, Dot, End } kind = End;
    QString text; // a word upper-cased, a quoted name as written within its quotes
    QString raw;  // a word as typed, a quoted name as written within its quotes
};

// The name within a quoted piece. The real server's names hold no double quote, so a
// doubled one inside is refused like any other character out of place.
QString quotedName(const QString &s, const Piece &p)
{
    const QStringView piece = QStringView(s).mid(p.start, p.end - p.start);
    if (piece.size() < 2 || !piece.endsWith(QLatin1Char('"')))
        throw serverError(errors::MissingDoubleQuote, QStringLiteral("missing double quote in identifier"));
    const QStringView name = piece.mid(1, piece.size() - 2);
    if (name.contains(QLatin1Char('"')))
        throw serverError(errors::InvalidCharacter, QStringLiteral("invalid character"));
    if (name.isEmpty())
        throw serverError(errors::ZeroLengthIdentifier, QStringLiteral("illegal zero-length identifier"));
    return name.toString();
}

// The statement's pieces as tokens. One ';' may end it; anything after that ';' is a
// character the statement cannot hold.
QList<Token> tokenize(const QString &s)
{
    QList<Token> tokens;
    bool ended = false;
    sql::visitPieces(s, [&](const Piece &p) {
        if (ended)
            throw serverError(errors::InvalidCharacter, QStringLiteral("invalid character"));
        const QString raw = s.mid(p.start, p.end - p.start);
        switch (p.kind) {
        case Piece::Word:
        case Piece::Number:
            tokens.append({Token::Word, raw.toUpper(), raw});
            return true;
        case Piece::QuotedName: {
            const QString name = quotedName(s, p);
            tokens.append({Token::Quoted, name, name});
            return true;
        }
        case Piece::Literal:
            break;
        case Piece::Other:
            if (raw == QLatin1String(",")) {
                tokens.append({Token::Comma, raw, raw});
                return true;
            }
            if (raw == QLatin1String(".")) {
                tokens.append({Token::Dot, raw, raw});
                return true;
            }
            if (raw == QLatin1String(";")) {
                ended = true;
                return true;
            }
            break;
        }
        throw serverError(errors::InvalidCharacter, QStringLiteral("invalid character"));
    });
    tokens.append({Token::End, QString(), QString()});
    return tokens;
}

const QString missingOption = QStringLiteral("missing or invalid option");
const QString missingUser = QStringLiteral("missing user or role name");
const QString missingPrivilege = QStringLiteral("missing or invalid privilege");

class Parser {
public:
    explicit Parser(const QString &statement) : m_tokens(tokenize(statement)) {}

    const Token &peek() const { return m_tokens.at(m_at); }
    bool atEnd() const { return peek().kind == Token::End; }
    bool peekWord(const char *word) const { return peek().kind == Token::Word && peek().text == QLatin1String(word); }
    bool accept(const char *word)
    {
        if (!peekWord(word))
            return false;
        ++m_at;
        return true;
    }
    void expect(const char *word)
    {
        if (!accept(word))
            throw serverError(errors::MissingOption, missingOption);
    }
    // A user, role or object name: a word in upper case, or a quoted name as written.
    // Its length is checked as it is read, as the server checks identifiers.
    QString name(int missingCode, const QString &missingText)
    {
        const Token &t = peek();
        if (t.kind != Token::Word && t.kind != Token::Quoted)
            throw serverError(missingCode, missingText);
        names::validate(t.text);
        ++m_at;
        return t.text;
    }
    // A password keeps the letter case it was typed in.
    QString password()
    {
        const Token &t = peek();
        if (t.kind != Token::Word && t.kind != Token::Quoted)
            throw serverError(errors::InvalidPassword, QStringLiteral("missing or invalid password(s)"));
        ++m_at;
        return t.raw;
    }
    // Names separated by commas; quoted tells whether any of them was written in quotes.
    QStringList nameList(int missingCode, const QString &missingText, bool *quoted = nullptr)
    {
        QStringList names;
        do {
            if (quoted && peek().kind == Token::Quoted)
                *quoted = true;
            names.append(name(missingCode, missingText));
        } while (acceptComma());
        return names;
    }
    bool acceptDot() { return acceptKind(Token::Dot); }
    bool acceptComma() { return acceptKind(Token::Comma); }
    void expectEnd()
    {
        if (!atEnd())
            throw serverError(errors::MissingOption, missingOption);
    }

private:
    bool acceptKind(Token::Kind kind)
    {
        if (peek().kind != kind)
            return false;
        ++m_at;
        return true;
    }

    QList<Token> m_tokens;
    int m_at = 0;
};

void readCreateUser(Parser &p, AccountStatement &st)
{
    st.kind = AccountStatement::Kind::CreateUser;
    st.name = p.name(errors::MissingOption, missingUser);
    p.expect("IDENTIFIED");
    p.expect("BY");
    st.password = p.password();
    while (!p.atEnd()) {
        if (p.accept("DEFAULT")) {
            p.expect("TABLESPACE");
            st.defaultTablespace = p.name(errors::MissingOption, missingOption);
        } else if (p.accept("TEMPORARY")) {
            p.expect("TABLESPACE");
            st.temporaryTablespace = p.name(errors::MissingOption, missingOption);
        } else {
            p.expectEnd();
        }
    }
}

void readGrantOrRevoke(Parser &p, AccountStatement &st, bool granting)
{
    bool quoted = false;
    st.privileges = p.nameList(errors::MissingPrivilege, missingPrivilege, &quoted);
    if (!p.peekWord("ON") && !p.peekWord(granting ? "TO" : "FROM"))
        throw serverError(errors::MissingPrivilege, missingPrivilege);
    if (p.accept("ON")) {
        // Of the object privileges only EXECUTE is one the system grants, and a privilege
        // is a keyword: a quoted name is none.
        if (quoted || st.privileges != QStringList{QStringLiteral("EXECUTE")})
            throw serverError(errors::MissingPrivilege, missingPrivilege);
        st.kind = granting ? AccountStatement::Kind::GrantObject : AccountStatement::Kind::RevokeObject;
        st.object = p.name(errors::InvalidTableName, QStringLiteral("invalid table name"));
        if (p.acceptDot()) {
            st.owner = st.object;
            st.object = p.name(errors::InvalidTableName, QStringLiteral("invalid table name"));
        }
        p.expect(granting ? "TO" : "FROM");
        st.grantees = p.nameList(errors::MissingOption, missingUser);
        p.expectEnd();
        return;
    }
    st.kind = granting ? AccountStatement::Kind::GrantRoles : AccountStatement::Kind::RevokeRoles;
    p.expect(granting ? "TO" : "FROM");
    st.grantees = p.nameList(errors::MissingOption, missingUser);
    if (granting && p.accept("WITH")) {
        p.expect("ADMIN");
        p.expect("OPTION");
        st.adminOption = true;
    }
    p.expectEnd();
}

} // namespace

bool AccountStatement::recognizes(const QString &statement)
{
    QList<Piece> first;
    sql::visitPieces(statement, [&](const Piece &p) {
        first.append(p);
        return first.size() < 2;
    });
    auto is = [&](int i, const char *word) { return i < first.size() && sql::isWord(statement, first.at(i), word); };
    if (is(0, "grant") || is(0, "revoke"))
        return true;
    if (is(0, "create") || is(0, "drop"))
        return is(1, "user") || is(1, "role");
    return is(0, "alter") && is(1, "user");
}

AccountStatement AccountStatement::parse(const QString &statement)
{
    Parser p(statement);
    AccountStatement st;
    if (p.accept("CREATE")) {
        if (p.accept("USER")) {
            readCreateUser(p, st);
            return st;
        }
        p.expect("ROLE");
        st.kind = Kind::CreateRole;
        st.name = p.name(errors::MissingOption, missingOption);
        p.expectEnd();
        return st;
    }
    if (p.accept("ALTER")) {
        p.expect("USER");
        st.kind = Kind::AlterUser;
        st.name = p.name(errors::MissingOption, missingUser);
        p.expect("IDENTIFIED");
        p.expect("BY");
        st.password = p.password();
        p.expectEnd();
        return st;
    }
    if (p.accept("DROP")) {
        if (p.accept("USER")) {
            st.kind = Kind::DropUser;
            st.name = p.name(errors::MissingOption, missingUser);
            st.cascade = p.accept("CASCADE");
            p.expectEnd();
            return st;
        }
        p.expect("ROLE");
        st.kind = Kind::DropRole;
        st.name = p.name(errors::MissingOption, missingOption);
        p.expectEnd();
        return st;
    }
    const bool granting = p.accept("GRANT");
    if (!granting && !p.accept("REVOKE"))
        throw serverError(errors::InvalidStatement, QStringLiteral("invalid SQL statement"));
    readGrantOrRevoke(p, st, granting);
    return st;
}

QString AccountStatement::confirmation() const
{
    switch (kind) {
    case Kind::CreateUser:
        return QStringLiteral("User created.");
    case Kind::AlterUser:
        return QStringLiteral("User altered.");
    case Kind::DropUser:
        return QStringLiteral("User dropped.");
    case Kind::CreateRole:
        return QStringLiteral("Role created.");
    case Kind::DropRole:
        return QStringLiteral("Role dropped.");
    case Kind::GrantRoles:
    case Kind::GrantObject:
        return QStringLiteral("Grant succeeded.");
    case Kind::RevokeRoles:
    case Kind::RevokeObject:
        break;
    }
    return QStringLiteral("Revoke succeeded.");
}

QList<std::pair<qsizetype, qsizetype>> passwordsIn(const QString &text)
{
    const QList<Piece> pieces = sql::piecesOf(text);
    QList<std::pair<qsizetype, qsizetype>> spans;
    // A quoted password is its piece; any other runs to the next blank, quote or ';', so
    // that characters the grammar would stop at are hidden with it.
    auto add = [&](const Piece &p) {
        if (!spans.isEmpty() && p.start < spans.last().second)
            return;
        qsizetype end = p.end;
        if (p.kind != Piece::QuotedName && p.kind != Piece::Literal) {
            while (end < text.size() && !text.at(end).isSpace() && text.at(end) != QLatin1Char('"')
                   && text.at(end) != QLatin1Char(';'))
                ++end;
        }
        spans.append({p.start, end});
    };
    for (qsizetype i = 0; i + 2 < pieces.size(); ++i) {
        if (!sql::isWord(text, pieces.at(i), "identified") || !sql::isWord(text, pieces.at(i + 1), "by"))
            continue;
        add(pieces.at(i + 2));
        if (i + 4 < pieces.size() && sql::isWord(text, pieces.at(i + 3), "replace"))
            add(pieces.at(i + 4));
    }
    return spans;
}

QString withPasswordsHidden(const QString &text)
{
    QString shown;
    qsizetype from = 0;
    for (const auto &[start, end] : passwordsIn(text)) {
        shown += QStringView(text).mid(from, start - from);
        shown += QStringLiteral("********");
        from = end;
    }
    shown += QStringView(text).mid(from);
    return shown;
}

} // namespace db
