#include "platform/embedded/PasswordHash.h"

#include <QAtomicInteger>
#include <QCryptographicHash>
#include <QHash>
#include <QMessageAuthenticationCode>
#include <QMutex>
#include <QPasswordDigestor>
#include <QRandomGenerator>

namespace embedded {

namespace {

constexpr int defaultRounds = 12000;
constexpr int hashLength = 32;

QAtomicInteger<quint64> derivedRounds;

QByteArray derive(const QString &password, const QByteArray &salt, int rounds)
{
    derivedRounds.fetchAndAddRelaxed(quint64(rounds));
    return QPasswordDigestor::deriveKeyPbkdf2(QCryptographicHash::Sha256, password.toUtf8(), salt,
                                              rounds, hashLength);
}

// Compares every byte, so the time taken does not tell how much matched.
bool sameBytes(const QByteArray &a, const QByteArray &b)
{
    if (a.size() != b.size())
        return false;
    unsigned char diff = 0;
    for (qsizetype i = 0; i < a.size(); ++i)
        diff |= static_cast<unsigned char>(a.at(i) ^ b.at(i));
    return diff == 0;
}

// The logins this process has checked successfully. A session logs in again and again
// with the same password (a second connection, every change of company); the derivation
// is there to make guessing slow, not to make a known password slow. So for each stored
// salt and hash that a password was derived to, the process keeps a keyed digest of that
// password, made with a secret drawn when the process first needs it. The digest is no
// help to anyone who reads it without the secret, it binds the password to that salt,
// hash and round count (a changed password has another salt and hash and is derived
// again), and a wrong password never matches it and costs the whole derivation. Nothing
// of it is ever written anywhere; it goes with the process.
class VerifiedLogins {
public:
    bool knows(const PasswordHash &h, const QString &password)
    {
        const QMutexLocker lock(&m_mutex);
        const auto entry = m_entries.constFind(keyOf(h));
        return entry != m_entries.cend() && sameBytes(*entry, digest(h, password));
    }

    void remember(const PasswordHash &h, const QString &password)
    {
        const QMutexLocker lock(&m_mutex);
        if (m_entries.size() >= maxEntries)
            m_entries.clear();
        m_entries.insert(keyOf(h), digest(h, password));
    }

    void forget()
    {
        const QMutexLocker lock(&m_mutex);
        m_entries.clear();
    }

private:
    static constexpr qsizetype maxEntries = 64;

    static QByteArray keyOf(const PasswordHash &h)
    {
        return h.salt + QByteArray::number(h.rounds) + '$' + h.hash;
    }

    QByteArray digest(const PasswordHash &h, const QString &password)
    {
        if (m_secret.isEmpty()) {
            m_secret.resize(32);
            QRandomGenerator::system()->fillRange(reinterpret_cast<quint32 *>(m_secret.data()), 8);
        }
        QMessageAuthenticationCode mac(QCryptographicHash::Sha256, m_secret);
        mac.addData(keyOf(h));
        mac.addData(password.toUtf8());
        return mac.result();
    }

    QMutex m_mutex;
    QByteArray m_secret;
    QHash<QByteArray, QByteArray> m_entries;
};

VerifiedLogins &verifiedLogins()
{
    static VerifiedLogins logins;
    return logins;
}

} // namespace

PasswordHash PasswordHash::make(const QString &password)
{
    PasswordHash h;
    h.salt.resize(16);
    QRandomGenerator::system()->fillRange(reinterpret_cast<quint32 *>(h.salt.data()), 4);
    h.rounds = defaultRounds;
    h.hash = derive(password, h.salt, h.rounds);
    return h;
}

PasswordHash PasswordHash::unmatchable()
{
    PasswordHash h;
    h.salt = QByteArray(16, '\x5a');
    h.rounds = defaultRounds;
    // Thirty-two zero bytes: no derivation that could be found gives them, and the caller
    // refuses the login whatever the comparison says.
    h.hash = QByteArray(hashLength, '\0');
    return h;
}

quint64 PasswordHash::roundsDerived()
{
    return derivedRounds.loadRelaxed();
}

void PasswordHash::forgetVerified()
{
    verifiedLogins().forget();
}

bool PasswordHash::matches(const QString &password) const
{
    if (rounds <= 0 || salt.isEmpty() || hash.isEmpty())
        return false;
    if (verifiedLogins().knows(*this, password))
        return true;
    if (!sameBytes(derive(password, salt, rounds), hash))
        return false;
    verifiedLogins().remember(*this, password);
    return true;
}

} // namespace embedded
