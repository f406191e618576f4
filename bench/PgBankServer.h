#pragma once

#include "BankServer.h"
#include "PgRawSession.h"

#include <memory>

namespace bench {

// A PostgreSQL cluster of the benchmark's own in a folder, made, given the administration
// schema and started by scripts/pg-server as a deployer makes one, and stopped when this
// goes. Autovacuum is off until analyse(), so that the server's statistics are those of
// a cluster nobody analysed after its accounts were made.
class PgCluster {
public:
    explicit PgCluster(const QString &folder);
    PgCluster(const PgCluster &) = delete;
    PgCluster &operator=(const PgCluster &) = delete;
    ~PgCluster();

    int port() const { return m_port; }
    // The servers file's group that reaches the cluster as the alias.
    QString serversEntry(const QString &alias) const;
    std::unique_ptr<PgRawSession> login(const QString &user, const QString &password) const;
    std::unique_ptr<PgRawSession> superuser() const;
    // Gathers the statistics of every table, the catalogs' included, and lets autovacuum
    // run again.
    void analyse() const;

private:
    void stop() const;

    QString m_folder;
    QString m_script;
    int m_port = 0;
};

// Makes the bank in the cluster: the demonstration data and accounts removed, then the
// same accounts, companies, register and grants as makeBankServer gives the embedded
// server, through the server's own statements (the accounts with one SCRAM verifier of
// "kevaro"; the register by COPY; the grants by inserts over generate_series, checked by
// their keys but not by their references, which hold by construction).
BankServer makePgBankServer(const PgCluster &cluster, const BankShape &shape);

} // namespace bench
