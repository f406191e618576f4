#include "data/Connections.h"

#include <exception>

namespace connections {

QStringList parameterSet(const QString &server, const QString &user, const QString &password)
{
    return {
        QStringLiteral("SERVER NAME=") + server,
        QStringLiteral("USER NAME=") + user,
        QStringLiteral("NET PROTOCOL=TCP/IP"),
        QStringLiteral("OPEN MODE=READ/WRITE"),
        QStringLiteral("SCHEMA CACHE SIZE=8"),
        QStringLiteral("LANGDRIVER=DBWINWE0"),
        QStringLiteral("SQLQRYMODE=SERVER"),
        QStringLiteral("SQLPASSTHRU MODE=SHARED AUTOCOMMIT"),
        QStringLiteral("SCHEMA CACHE TIME=-1"),
        QStringLiteral("MAX ROWS=-1"),
        QStringLiteral("BATCH COUNT=200"),
        QStringLiteral("ENABLE SCHEMA CACHE=FALSE"),
        QStringLiteral("SCHEMA CACHE DIR="),
        QStringLiteral("ENABLE BCD=FALSE"),
        QStringLiteral("ENABLE INTEGERS=FALSE"),
        QStringLiteral("LIST SYNONYMS=NONE"),
        QStringLiteral("ROWSET SIZE=20"),
        QStringLiteral("BLOBS TO CACHE=64"),
        QStringLiteral("BLOB SIZE=32"),
        QStringLiteral("PASSWORD=") + password,
    };
}

QStringList oracleParameters()
{
    return parameterSet(CentralServer, QStringLiteral("vortalix"), QStringLiteral("lumivar"));
}

QStringList oratmpParameters()
{
    return parameterSet(SecondServer, QStringLiteral("vortalix"), QString());
}

QStringList orauserParameters()
{
    return parameterSet(SecondServer, QString(), QString());
}

void applyLogin(db::Connection &connection, const QString &server, const QString &user, const QString &password)
{
    core::StringList &p = connection.params();
    p.setValue(QStringLiteral("SERVER NAME"), server);
    p.setValue(QStringLiteral("USER NAME"), user);
    p.setValue(QStringLiteral("PASSWORD"), password);
}

bool loginAs(db::Connection &connection, const QString &user, core::StringList &passwords,
             const std::function<void(const QString &)> &askPassword)
{
    if (!passwords.hasName(user) && askPassword)
        askPassword(user);
    const bool wasConnected = connection.connected();
    connection.close();
    connection.params().setValue(QStringLiteral("USER NAME"), user);
    // With nothing cached (the prompt was cancelled) the password line goes.
    connection.params().setValue(QStringLiteral("PASSWORD"), passwords.value(user));
    bool succeeded = false;
    try {
        connection.open();
        succeeded = true;
    } catch (const std::exception &) {
        succeeded = false;
    }
    connection.setConnected(wasConnected);
    return succeeded;
}

} // namespace connections
