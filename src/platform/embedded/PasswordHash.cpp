#include "platform/embedded/PasswordHash.h"

#include <QAtomicInteger>
#include <QCryptographicHash>
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

bool PasswordHash::matches(const QString &password) const
{
    if (rounds <= 0 || salt.isEmpty() || hash.isEmpty())
        return false;
    const QByteArray candidate = derive(password, salt, rounds);
    // Compare every byte so the time taken does not tell how much matched.
    if (candidate.size() != hash.size())
        return false;
    unsigned char diff = 0;
    for (qsizetype i = 0; i < hash.size(); ++i)
        diff |= static_cast<unsigned char>(candidate.at(i) ^ hash.at(i));
    return diff == 0;
}

} // namespace embedded
