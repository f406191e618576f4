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
    bool matches(const QString &password) const;
};

} // namespace embedded
