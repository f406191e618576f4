#include "platform/embedded/AccountStatements.h"

#include "platform/embedded/AccountNames.h"
#include "platform/embedded/ServerErrors.h"

#include <QList>
#include <QRegularExpression>

namespace embedded {

namespace {

using namespace errors;

struct Token {
    enum Kind { Word, Quoted, Comma, Dot, End } kind = End;
    QString text; // a word upper-cased, a quoted name as written
    QString raw;  // as typed
    int position = 0;
};

QList<Token> tokenize(const QString &s)
{
    QList<Token> tokens;
    qsizetype i = 0;
    const qsizetype n = s.size();
    auto isWordChar = [](QChar c) {
        return c.isLetterOrNumber() || c == QLatin1Char('_') || c == QLatin1Char('$') || c == QLatin1Char('#');
    };
    while (i < n) {
        const QChar c = s.at(i);
        if (c.isSpace()) {
            ++i;
        } else if (c == QLatin1Char('-') && i + 1 < n && s.at(i + 1) == QLatin1Char('-')) {
            while (i < n && s.at(i) != QLatin1Char('\n'))
                ++i;
        } else if (c == QLatin1Char('"')) {
            const qsizetype end = s.indexOf(QLatin1Char('"'), i + 1);
            if (end < 0)
                throw serverError(1740, QStringLiteral("missing double quote in identifier"));
            Token t{Token::Quoted, s.mid(i + 1, end - i - 1), s.mid(i + 1, end - i - 1), int(i)};
            if (t.text.isEmpty())
                throw serverError(1741, QStringLiteral("illegal zero-length identifier"));
            tokens.append(t);
            i = end + 1;
        } else if (c == QLatin1Char(',')) {
            tokens.append({Token::Comma, QStringLiteral(","), QStringLiteral(","), int(i)});
            ++i;
        } else if (c == QLatin1Char('.')) {
            tokens.append({Token::Dot, QStringLiteral("."), QStringLiteral("."), int(i)});
            ++i;
        } else if (c == QLatin1Char(';') && s.mid(i + 1).trimmed().isEmpty()) {
            break;
        } else if (isWordChar(c)) {
            const qsizetype start = i;
            while (i < n && isWordChar(s.at(i)))
                ++i;
            const QString raw = s.mid(start, i - start);
            tokens.append({Token::Word, raw.toUpper(), raw, int(start)});
        } else {
            throw serverError(InvalidCharacter, QStringLiteral("invalid character"));
        }
    }
    tokens.append({Token::End, QString(), QString(), int(n)});
    return tokens;
}

class Parser {
public:
    explicit Parser(const QString &statement) : m_tokens(tokenize(statement)) {}

    const Token &peek() const { return m_tokens.at(m_at); }
    bool atEnd() const { return peek().kind == Token::End; }
    bool peekWord(const char *word) const
    {
        return peek().kind == Token::Word && peek().text == QLatin1String(word);
    }
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
            throw serverError(MissingOption, QStringLiteral("missing or invalid option"));
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
            throw serverError(988, QStringLiteral("missing or invalid password(s)"));
        ++m_at;
        return t.raw;
    }
    QStringList nameList(int missingCode, const QString &missingText)
    {
        QStringList names{name(missingCode, missingText)};
        while (peek().kind == Token::Comma) {
            ++m_at;
            names.append(name(missingCode, missingText));
        }
        return names;
    }
    bool acceptDot()
    {
        if (peek().kind != Token::Dot)
            return false;
        ++m_at;
        return true;
    }
    void expectEnd()
    {
        if (!atEnd())
            throw serverError(MissingOption, QStringLiteral("missing or invalid option"));
    }

private:
    QList<Token> m_tokens;
    int m_at = 0;
};

const QString missingUser = QStringLiteral("missing user or role name");

} // namespace

bool AccountStatement::recognizes(const QString &statement)
{
    static const QRegularExpression firstWords(
        QStringLiteral("^\\s*(?:--[^\\n]*\\n\\s*)*([A-Za-z]+)(?:\\s+([A-Za-z]+))?"));
    const QRegularExpressionMatch m = firstWords.match(statement);
    if (!m.hasMatch())
        return false;
    const QString w0 = m.captured(1).toUpper();
    const QString w1 = m.captured(2).toUpper();
    if (w0 == QLatin1String("GRANT") || w0 == QLatin1String("REVOKE"))
        return true;
    if (w0 == QLatin1String("CREATE") || w0 == QLatin1String("DROP"))
        return w1 == QLatin1String("USER") || w1 == QLatin1String("ROLE");
    return w0 == QLatin1String("ALTER") && w1 == QLatin1String("USER");
}

AccountStatement AccountStatement::parse(const QString &statement)
{
    Parser p(statement);
    AccountStatement st;
    if (p.accept("CREATE")) {
        if (p.accept("USER")) {
            st.kind = Kind::CreateUser;
            st.name = p.name(MissingOption, missingUser);
            p.expect("IDENTIFIED");
            p.expect("BY");
            st.password = p.password();
            while (!p.atEnd()) {
                if (p.accept("DEFAULT")) {
                    p.expect("TABLESPACE");
                    st.defaultTablespace = p.name(MissingOption, QStringLiteral("missing or invalid option"));
                } else if (p.accept("TEMPORARY")) {
                    p.expect("TABLESPACE");
                    st.temporaryTablespace = p.name(MissingOption, QStringLiteral("missing or invalid option"));
                } else {
                    p.expectEnd();
                }
            }
            return st;
        }
        p.expect("ROLE");
        st.kind = Kind::CreateRole;
        st.name = p.name(MissingOption, QStringLiteral("missing or invalid option"));
        p.expectEnd();
        return st;
    }

    if (p.accept("ALTER")) {
        p.expect("USER");
        st.kind = Kind::AlterUser;
        st.name = p.name(MissingOption, missingUser);
        p.expect("IDENTIFIED");
        p.expect("BY");
        st.password = p.password();
        p.expectEnd();
        return st;
    }

    if (p.accept("DROP")) {
        if (p.accept("USER")) {
            st.kind = Kind::DropUser;
            st.name = p.name(MissingOption, missingUser);
            st.cascade = p.accept("CASCADE");
            p.expectEnd();
            return st;
        }
        p.expect("ROLE");
        st.kind = Kind::DropRole;
        st.name = p.name(MissingOption, QStringLiteral("missing or invalid option"));
        p.expectEnd();
        return st;
    }

    const bool granting = p.accept("GRANT");
    if (!granting && !p.accept("REVOKE"))
        throw serverError(InvalidStatement, QStringLiteral("invalid SQL statement"));

    st.privileges = p.nameList(MissingPrivilege, QStringLiteral("missing or invalid privilege"));
    if (p.accept("ON")) {
        st.kind = granting ? Kind::GrantObject : Kind::RevokeObject;
        st.object = p.name(903, QStringLiteral("invalid table name"));
        if (p.acceptDot()) {
            st.owner = st.object;
            st.object = p.name(903, QStringLiteral("invalid table name"));
        }
        granting ? p.expect("TO") : p.expect("FROM");
        st.grantees = p.nameList(MissingOption, missingUser);
        p.expectEnd();
        return st;
    }

    st.kind = granting ? Kind::GrantRoles : Kind::RevokeRoles;
    granting ? p.expect("TO") : p.expect("FROM");
    st.grantees = p.nameList(MissingOption, missingUser);
    if (granting && p.accept("WITH")) {
        p.expect("ADMIN");
        p.expect("OPTION");
        st.adminOption = true;
    }
    p.expectEnd();
    return st;
}

AccountStatements::AccountStatements(Dictionary &dictionary, AccountSession session)
    : m_dictionary(dictionary), m_session(std::move(session))
{
}

bool AccountStatements::recognizes(const QString &statement)
{
    return AccountStatement::recognizes(statement);
}

QString AccountStatements::run(const QString &statement)
{
    return run(AccountStatement::parse(statement));
}

QString AccountStatements::run(const AccountStatement &st)
{
    using Kind = AccountStatement::Kind;
    const QString login = m_session.login;
    const bool dba = m_dictionary.isDba(login);
    auto requireDba = [&] {
        if (!dba)
            throw serverError(InsufficientPrivileges, QStringLiteral("insufficient privileges"));
    };
    auto requireTablespace = [&](const QString &name) {
        if (!m_dictionary.tablespaceExists(name))
            throw serverError(NoSuchTablespace, QStringLiteral("tablespace '%1' does not exist").arg(name));
    };
    auto requireGrantee = [&](const QString &name) {
        if (!m_dictionary.accountExists(name) && !m_dictionary.roleExists(name))
            throw serverError(NoSuchGranteeUser, QStringLiteral("user or role '%1' does not exist").arg(name));
    };

    switch (st.kind) {
    case Kind::CreateUser: {
        const QString &user = st.name;
        const QString defaultTs = st.defaultTablespace.isEmpty() ? QStringLiteral("USERS") : st.defaultTablespace;
        const QString temporaryTs = st.temporaryTablespace.isEmpty() ? QStringLiteral("TEMP") : st.temporaryTablespace;
        requireDba();
        if (m_dictionary.accountExists(user) || m_dictionary.roleExists(user))
            throw serverError(UserNameConflict, QStringLiteral("user name '%1' conflicts with another user or role name").arg(user));
        requireTablespace(defaultTs);
        requireTablespace(temporaryTs);
        m_dictionary.createAccount(user, st.password, defaultTs, temporaryTs);
        return QStringLiteral("User created.");
    }
    case Kind::CreateRole: {
        const QString &role = st.name;
        requireDba();
        if (m_dictionary.accountExists(role) || m_dictionary.roleExists(role))
            throw serverError(RoleNameConflict, QStringLiteral("role name '%1' conflicts with another user or role name").arg(role));
        m_dictionary.createRole(role);
        m_dictionary.grantRole(login, role, true);
        return QStringLiteral("Role created.");
    }
    case Kind::AlterUser: {
        const QString &user = st.name;
        if (user != login)
            requireDba();
        if (!m_dictionary.accountExists(user))
            throw serverError(NoSuchUser, QStringLiteral("user '%1' does not exist").arg(user));
        m_dictionary.setPassword(user, st.password);
        return QStringLiteral("User altered.");
    }
    case Kind::DropUser: {
        const QString &user = st.name;
        requireDba();
        if (!m_dictionary.accountExists(user))
            throw serverError(NoSuchUser, QStringLiteral("user '%1' does not exist").arg(user));
        if (user == login)
            throw serverError(UserConnected, QStringLiteral("cannot drop a user that is currently connected"));
        if (m_dictionary.ownsObjects(user) && !st.cascade)
            throw serverError(CascadeRequired, QStringLiteral("CASCADE must be specified to drop '%1'").arg(user));
        const bool hasSchema = [&] {
            for (const Dictionary::SchemaFile &f : m_dictionary.schemaFiles()) {
                if (f.owner == user)
                    return true;
            }
            return false;
        }();
        m_dictionary.dropAccount(user);
        if (hasSchema && m_session.dropSchema)
            m_session.dropSchema(user);
        return QStringLiteral("User dropped.");
    }
    case Kind::DropRole: {
        const QString &role = st.name;
        if (!m_dictionary.roleExists(role))
            throw serverError(NoSuchRole, QStringLiteral("role '%1' does not exist").arg(role));
        if (!dba && !m_dictionary.holdsWithAdmin(login, role))
            throw serverError(InsufficientPrivileges, QStringLiteral("insufficient privileges"));
        m_dictionary.dropRole(role);
        return QStringLiteral("Role dropped.");
    }
    case Kind::GrantObject:
    case Kind::RevokeObject: {
        const bool granting = st.kind == Kind::GrantObject;
        if (st.privileges != QStringList{QStringLiteral("EXECUTE")})
            throw serverError(MissingPrivilege, QStringLiteral("missing or invalid privilege (the embedded server grants EXECUTE on program units only)"));
        const QString owner = st.owner.isEmpty() ? login : st.owner;
        const QString &object = st.object;
        std::optional<QString> type = m_dictionary.objectType(owner, object);
        if (!type && m_session.schemaObjectType)
            type = m_session.schemaObjectType(owner, object);
        if (!type)
            throw serverError(NoSuchProgramUnit, QStringLiteral("procedure, function, package, or package body does not exist"));
        if (*type == QLatin1String("TABLE") || *type == QLatin1String("VIEW"))
            throw serverError(ExecuteOnTable, QStringLiteral("EXECUTE privilege not allowed for tables"));
        if (owner != login && !dba)
            throw serverError(InsufficientPrivileges, QStringLiteral("insufficient privileges"));
        for (const QString &g : st.grantees)
            requireGrantee(g);
        if (granting) {
            for (const QString &g : st.grantees)
                m_dictionary.grantObject(owner, object, g, QStringLiteral("EXECUTE"), login);
            return QStringLiteral("Grant succeeded.");
        }
        for (const QString &g : st.grantees) {
            if (!m_dictionary.revokeObject(owner, object, g, QStringLiteral("EXECUTE")))
                throw serverError(RevokeNotGranted, QStringLiteral("cannot REVOKE privileges you did not grant"));
        }
        return QStringLiteral("Revoke succeeded.");
    }
    case Kind::GrantRoles:
    case Kind::RevokeRoles:
        break;
    }

    // Roles.
    const bool granting = st.kind == Kind::GrantRoles;
    for (const QString &role : st.privileges) {
        if (!m_dictionary.roleExists(role))
            throw serverError(NoSuchRole, QStringLiteral("role '%1' does not exist").arg(role));
        if (!dba && !m_dictionary.holdsWithAdmin(login, role))
            throw serverError(AdminOptionMissing, QStringLiteral("ADMIN option not granted for role '%1'").arg(role));
    }
    for (const QString &g : st.grantees) {
        requireGrantee(g);
        for (const QString &role : st.privileges) {
            if (granting && (g == role || m_dictionary.holdsRole(role, g)))
                throw serverError(1934, QStringLiteral("circular role grant detected"));
            if (!granting && !m_dictionary.directGrant(g, role))
                throw serverError(RoleNotGranted, QStringLiteral("ROLE '%1' not granted to '%2'").arg(role, g));
        }
    }
    for (const QString &g : st.grantees) {
        for (const QString &role : st.privileges) {
            if (granting)
                m_dictionary.grantRole(g, role, st.adminOption);
            else
                m_dictionary.revokeRole(g, role);
        }
    }
    return granting ? QStringLiteral("Grant succeeded.") : QStringLiteral("Revoke succeeded.");
}

} // namespace embedded
