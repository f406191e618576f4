#pragma once

#include <QString>

namespace embedded::names {

// The longest name of an account, a role, a tablespace or a program unit, in characters.
// It is also the size of USERNAME in the administration schema, so every account can be
// granted programs.
constexpr int maxLength = 30;

// A name as a login or a statement gives it, read as the server reads names: within
// double quotes as written, otherwise in upper case. Blanks around it do not count.
QString fromTyped(const QString &typed);

// Refuses a name the server cannot hold: ORA-00972 when it is longer than maxLength.
void validate(const QString &name);

} // namespace embedded::names
