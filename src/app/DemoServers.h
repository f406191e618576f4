#pragma once

#include "platform/db/ServerDirectory.h"

#include <QStringList>

// On a user's account where Userpr knows no server yet (a fresh installation), the
// program offers to create the embedded demonstration servers of the login dialog's list.
namespace demoservers {

// The servers of the login dialog's list (LIVE and TEST) when none of them is known:
// neither configured in the servers file nor an embedded server in the data folder.
// Empty as soon as any of them is known, so a user's own set-up is never added to.
QStringList missing(const db::ServerDirectory &directory);

// Asks whether to create the missing demonstration servers, and creates them with the
// demonstration data on Yes. When one cannot be created the standard error box says why,
// the rest are not tried, and the program goes on without them.
void offer(const db::ServerDirectory &directory = db::ServerDirectory::standard());

} // namespace demoservers
