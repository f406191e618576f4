#pragma once

#include "platform/core/StringList.h"
#include "platform/db/Connection.h"

#include <QString>
#include <QStringList>

#include <functional>

// The three connection components' parameter sets, the login switch and the password cache.
namespace connections {

// The central server and the second server the login dialog offers.
inline const QString CentralServer = QStringLiteral("LIVE");
inline const QString SecondServer = QStringLiteral("TEST");

// The twenty parameter lines a component starts with; the tuning lines pass through the
// engine unchanged.
QStringList parameterSet(const QString &server, const QString &user, const QString &password);
QStringList oracleParameters();  // ORACLE: the central server, vortalix, lumivar
QStringList oratmpParameters();  // ORATMP: the second server, vortalix, no password
QStringList orauserParameters(); // ORAUSER: the second server, no user, no password

// Writes the login into a parameter set: server, then user, then password. An empty value
// removes its line.
void applyLogin(db::Connection &connection, const QString &server, const QString &user,
                const QString &password);

// Switches a component's login to the user with the cached password, asking for one when
// none is cached, and tries to connect; the component ends in the connected state it had.
// Returns whether the connect with these credentials succeeded. A component that was
// connected and cannot reconnect raises the engine's error.
bool loginAs(db::Connection &connection, const QString &user, core::StringList &passwords,
             const std::function<void(const QString &user)> &askPassword);

} // namespace connections
