#pragma once

#include <QString>

namespace statements {

// The statement as it may be shown: the password of every "identified by" (and the old one
// after its "replace") reads ********, quoted or not, in any letter case.
QString hidePasswords(const QString &statement);

} // namespace statements
