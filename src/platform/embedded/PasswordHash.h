#pragma once

#include <QByteArray>
#include <QString>

namespace embedded {

// Salted PBKDF2-SHA256 hashes of account passwords. The server never stores a password.
struct PasswordHash {
    QByteArray salt;
    QByteArray hash;
    int rounds = 0;

    static PasswordHash make(const QString &password);
    // A hash no password matches, that costs a check as much work as an account's own:
    // a login to an account that does not exist is checked against it, so the answer
    // takes as long as a wrong password and does not tell which accounts exist.
    static PasswordHash unmatchable();
    bool matches(const QString &password) const;

    // The PBKDF2 rounds derived by this process so far: the work the checks have cost.
    static quint64 roundsDerived();
};

} // namespace embedded
