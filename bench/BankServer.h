#pragma once

#include <QString>
#include <QStringList>
#include <QVariantList>

#include <vector>

// A server shaped like a bank's administration data, made reproducibly: the same shape
// always gives the same rows, on the embedded server and on PostgreSQL alike.
namespace bench {

struct BankShape {
    int programs = 10000;
    int users = 5000; // accounts holding DEALER
    int companies = 50;
    qint64 grants = 1000000;

    static BankShape bank() { return {}; }
    static BankShape tiny() { return {60, 40, 4, 1500}; }
};

// The rows the benchmark's interactions work on, as the generator made them.
struct BankServer {
    QString folder; // the embedded server's folder; empty for another server
    BankShape shape;
    qint64 grants = 0; // as stored

    // Programs with no grant in company 1 (every dealer is a candidate), with half the
    // dealers and four names without an account, and with every dealer and two such names.
    int openProgram = 0;
    int halfProgram = 0;
    int allProgram = 0;
    int halfNames = 0;
    int allNames = 0;
    QStringList half;
    QStringList all;
    // A dealer holding copyGrants programs in company 2 and none in company 3.
    QString copyUser;
    int copyGrants = 0;
    // A dealer with a few grants in company 1, for the programs-of-one-user window.
    QString oneUser;
    // A dealer holding reportGrants programs in company 1, for the printed list.
    QString reportUser;
    int reportGrants = 0;
    // The programs no generated grant names: the interactions' own come last.
    int ordinaryPrograms() const { return shape.programs - 10; }
    // The dealers' accounts: one per user of the shape and the two above.
    int dealers() const { return shape.users + 2; }
    // Every account the generator makes, dealers first in their order.
    QStringList accounts() const;
    // The grants that are neither the interactions' own nor the two users' above, made in
    // rounds: each round gives every dealer one grant in one company. The first quarter of
    // the rounds all go to company 1, as a bank's main company holds a quarter of all
    // grants; round r after them goes to company 2 + (r - mainCompanyRounds) mod
    // (companies - 1).
    qint64 restGrants() const;
    qint64 mainCompanyRounds() const;

    static QString userName(int index); // 1-based
    static QString companyName(int company);
};

// What the generator will make for the shape, named, before any server holds it.
BankServer planBank(const BankShape &shape);

// The register's columns as the generator fills them, and the rows of a register of that
// many programs (one list of values per program, in that column order).
extern const char *const registerColumns;
std::vector<QVariantList> registerRows(int programs);

// Makes an embedded server in the folder (which must not exist yet). Every dealer's
// password is "kevaro": it is derived once, with the server's own rounds, and shared by
// the generated accounts, so a login to one of them costs what any login costs while the
// generation stays fast.
BankServer makeBankServer(const QString &folder, const BankShape &shape);

// Fills the register of an existing embedded server with the programs, in one transaction.
void fillRegister(const QString &schemaFile, int programs);

} // namespace bench
