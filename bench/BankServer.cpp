#include "BankServer.h"

#include "platform/db/DbError.h"
#include "platform/embedded/Dictionary.h"
#include "platform/embedded/EmbeddedServer.h"
#include "platform/embedded/PasswordHash.h"
#include "platform/embedded/Sqlite.h"

#include <QDir>

#include <sqlite3.h>

#include <algorithm>
#include <array>
#include <cctype>
#include <random>
#include <string>

namespace bench {

using embedded::SqliteFile;
using embedded::SqliteStatement;
using embedded::runScript;

namespace {

std::string twoDigits(int n)
{
    // Appended rather than put in front: GCC 12 takes the insertion at the front for an
    // overlapping copy at -O3 (-Wrestrict).
    std::string digits(n < 10 ? 1 : 0, '0');
    digits += std::to_string(n);
    return digits;
}

std::string fourDigits(int n)
{
    std::string s = std::to_string(n % 10000);
    return std::string(4 - s.size(), '0') + s;
}

std::string upper(const std::string &text)
{
    std::string result;
    for (char c : text)
        result += char(std::toupper(static_cast<unsigned char>(c)));
    return result;
}

QString schemaPath(const QString &folder)
{
    return QDir(folder).filePath(embedded::EmbeddedServer::schemaFileName(QStringLiteral("VORTALIX")));
}

} // namespace

// Four of the ten stems hold an "a": a find by user name %a% in the main company then
// gives about 100 000 grants of a million.
QString BankServer::userName(int index)
{
    static const std::array<const char *, 10> stems{"MARI", "JAAN", "KATRIN", "PEETER", "LIIS",
                                                   "TIIU", "ANNE", "ENN", "OTT", "EVELIN"};
    return QString::fromLatin1(stems[std::size_t((index - 1) % 10)]) + QStringLiteral("%1").arg(index, 4, 10, QLatin1Char('0'));
}

QString BankServer::companyName(int company)
{
    return QStringLiteral("FIRMA%1").arg(company, 2, 10, QLatin1Char('0'));
}

QStringList BankServer::accounts() const
{
    QStringList names{copyUser, reportUser};
    for (int i = 1; i <= shape.users; ++i)
        names.append(userName(i));
    return names;
}

qint64 BankServer::restGrants() const
{
    return std::max<qint64>(0, shape.grants - halfNames - allNames - copyGrants - reportGrants);
}

qint64 BankServer::mainCompanyRounds() const
{
    return (restGrants() + shape.users - 1) / shape.users / 4;
}

BankServer planBank(const BankShape &shape)
{
    BankServer s;
    s.shape = shape;
    s.copyUser = QStringLiteral("COPIER");
    s.reportUser = QStringLiteral("REPORTER");
    s.oneUser = BankServer::userName(1);
    // The programs the interactions open come last; the other grants never name them.
    s.openProgram = shape.programs;
    s.halfProgram = shape.programs - 1;
    s.allProgram = shape.programs - 2;
    for (int i = 1; i <= shape.users; i += 2)
        s.half.append(BankServer::userName(i));
    for (int i = 1; i <= 4; ++i)
        s.half.append(QStringLiteral("OLDUSER%1").arg(i));
    const QStringList accounts = s.accounts();
    s.all = accounts.mid(2);
    s.all.append(QStringLiteral("OLDUSER1"));
    s.all.append(QStringLiteral("OLDUSER2"));
    s.halfNames = int(s.half.size());
    s.allNames = int(s.all.size());
    s.copyGrants = std::min(5000, s.ordinaryPrograms());
    s.reportGrants = std::min(1000, s.ordinaryPrograms());
    return s;
}

const char *const registerColumns =
    "prog_name, prog_exe, prog_author, prog_version, prog_last_comp, prog_description, prog_group, prog_type, "
    "reporting_freq, version, serverpath, clientpath, icon, user_name, help_path, ref_path";

std::vector<QVariantList> registerRows(int programs)
{
    static const std::array<const char *, 12> subjects{
        "Loan", "Deposit", "Interest", "Ledger", "Payroll", "Customer",
        "Card", "Currency", "Collateral", "Statement", "Leasing", "Fund"};
    static const std::array<const char *, 8> kinds{
        "schedule", "register", "report", "import", "export", "reconciliation", "calculator", "archive"};
    static const std::array<const char *, 12> authors{
        "Abel", "abigail", "Kalle", "Mari", "Jaan", "Katrin",
        "Peeter", "Liis", "Toomas", "Anne", "Margus", "Abram"};
    static const std::array<const char *, 8> groups{
        "Loans", "Deposits", "Accounting", "Reports", "Personnel", "Customers", "Treasury", "Cards"};
    static const std::array<const char *, 6> frequencies{
        "daily", "weekly", "monthly", "quarterly", "yearly", "on demand"};
    static const std::array<const char *, 8> users{
        "MARI", "JAAN", "KATRIN", "PEETER", "LIIS", "TOOMAS", "VORTALIX", "SYSTEM"};

    std::mt19937 random(20240611);
    auto pick = [&](int n) { return int(random() % unsigned(n)); };
    auto text = [](const std::string &s) { return QVariant(QString::fromStdString(s)); };
    std::vector<QVariantList> rows;
    rows.reserve(std::size_t(programs));
    for (int i = 1; i <= programs; ++i) {
        const std::string subject = subjects[std::size_t(pick(int(subjects.size())))];
        const std::string kind = kinds[std::size_t(pick(int(kinds.size())))];
        const std::string group = groups[std::size_t(pick(int(groups.size())))];
        const std::string stem = upper(subject.substr(0, 4) + kind.substr(0, 3)) + fourDigits(i);
        const std::string upperGroup = upper(group);
        const int major = 1 + pick(9);
        const int minor = pick(20);
        QVariantList row;
        row.reserve(16);
        row << text(subject + " " + kind + " " + fourDigits(i)) << text(stem + ".EXE")
            << text(authors[std::size_t(pick(int(authors.size())))])
            << text(std::to_string(major) + "." + std::to_string(minor) + "." + std::to_string(pick(100)));
        row << text(std::to_string(2012 + pick(13)) + "-" + twoDigits(1 + pick(12)) + "-" + twoDigits(1 + pick(28)) + " "
                    + twoDigits(pick(24)) + ":" + twoDigits(pick(60)) + ":" + twoDigits(pick(60)));
        row << text("The " + subject + " " + kind + " of the " + group
                    + " department; run at the end of the business day before the reports are sent to the branches.")
            << text(group) << text(std::to_string(1 + pick(6)))
            << text(frequencies[std::size_t(pick(int(frequencies.size())))]) << QVariant(major + minor / 100.0)
            << text("\\\\APPSRV01\\VORTALIX\\" + upperGroup) << text("C:\\VORTALIX\\" + upperGroup) << QVariant()
            << text(users[std::size_t(pick(int(users.size())))])
            << text("\\\\APPSRV01\\VORTALIX\\HELP\\" + stem + ".CHM")
            << text("\\\\APPSRV01\\VORTALIX\\REF\\" + stem + ".TXT");
        rows.push_back(std::move(row));
    }
    return rows;
}

void fillRegister(const QString &schemaFile, int programs)
{
    const SqliteFile file(schemaFile);
    runScript(file.handle(), QStringLiteral("begin"));
    SqliteStatement insert(file.handle(), QStringLiteral("insert into vortalix_prog (%1) values "
                                                         "(?1, ?2, ?3, ?4, ?5, ?6, ?7, ?8, ?9, ?10, ?11, ?12, ?13, ?14, ?15, ?16)")
                                              .arg(QLatin1String(registerColumns)));
    for (const QVariantList &row : registerRows(programs)) {
        for (int c = 0; c < row.size(); ++c)
            insert.bind(c + 1, row.at(c));
        insert.run();
        sqlite3_reset(insert.get());
    }
    runScript(file.handle(), QStringLiteral("commit"));
}

namespace {

void fillCompanies(sqlite3 *schema, int companies)
{
    SqliteStatement company(schema, QStringLiteral(
        "insert into v_sysparams (id, system_date, report_date, firma_nimi, company_name, v_company, db_name) "
        "values (1, '2024-05-31 00:00:00', '2024-05-30 00:00:00', ?1, ?2, ?3, ?4)"));
    SqliteStatement database(schema, QStringLiteral(
        "insert into databases (database_id, db_name, connstr, webconnstr, nls_lang) values (?1, ?2, ?3, ?4, 'E')"));
    for (int c = 1; c <= companies; ++c) {
        const QString name = QStringLiteral("FIRMA%1").arg(c, 2, 10, QLatin1Char('0'));
        company.bind(1, QStringLiteral("Vortalix %1 AS").arg(name))
            .bind(2, QStringLiteral("Vortalix %1 Ltd").arg(name))
            .bind(3, c)
            .bind(4, name)
            .run();
        sqlite3_reset(company.get());
        database.bind(1, c).bind(2, name).bind(3, name + QStringLiteral("_L")).bind(4, QStringLiteral("http://") + name.toLower()).run();
        sqlite3_reset(database.get());
    }
}

void grantAll(sqlite3 *schema, const QStringList &names, int program, int company, const QVariant &ordinal)
{
    SqliteStatement insert(schema, QStringLiteral(
        "insert into user_prog_db (username, vortalix_prog_id, database_id, ordinal) values (?1, ?2, ?3, ?4)"));
    for (const QString &name : names) {
        insert.bind(1, name).bind(2, program).bind(3, company).bind(4, ordinal).run();
        sqlite3_reset(insert.get());
    }
}

qint64 count(sqlite3 *handle, const QString &sql)
{
    SqliteStatement q(handle, sql);
    return q.step() ? q.integer(0) : 0;
}

} // namespace

BankServer makeBankServer(const QString &folder, const BankShape &shape)
{
    BankServer s = planBank(shape);
    s.folder = folder;
    embedded::EmbeddedServer::create(folder);

    {
        const SqliteFile dictionaryFile(embedded::EmbeddedServer::dictionaryPath(folder));
        embedded::Dictionary dictionary(dictionaryFile.handle(), QStringLiteral("main"));
        const embedded::PasswordHash hash = embedded::PasswordHash::make(QStringLiteral("kevaro"));
        runScript(dictionaryFile.handle(), QStringLiteral("begin"));
        const QStringList accounts = s.accounts();
        for (int i = 0; i < accounts.size(); ++i) {
            const QString &name = accounts.at(i);
            dictionary.createAccount(name, hash, QStringLiteral("USERS"), QStringLiteral("TEMP"));
            dictionary.grantRole(name, QStringLiteral("CONNECT"), false);
            dictionary.grantRole(name, QStringLiteral("DEALER"), false);
            // Every tenth dealer holds DEALER2 as well: the candidates' statement gives
            // such an account twice.
            if (i % 10 == 9)
                dictionary.grantRole(name, QStringLiteral("DEALER2"), false);
        }
        runScript(dictionaryFile.handle(), QStringLiteral("commit"));
    }

    fillRegister(schemaPath(folder), shape.programs);

    const SqliteFile schemaFile(schemaPath(folder));
    sqlite3 *schema = schemaFile.handle();
    runScript(schema, QStringLiteral("begin"));
    fillCompanies(schema, shape.companies);
    grantAll(schema, s.half, s.halfProgram, 1, QVariant());
    grantAll(schema, s.all, s.allProgram, 1, QVariant());
    {
        SqliteStatement copy(schema, QStringLiteral(
            "with recursive n(i) as (select 1 union all select i + 1 from n where i < ?2) "
            "insert into user_prog_db (username, vortalix_prog_id, database_id, ordinal) "
            "select ?1, i, 2, 0 from n"));
        copy.bind(1, s.copyUser).bind(2, s.copyGrants).run();
    }
    {
        SqliteStatement report(schema, QStringLiteral(
            "with recursive n(i) as (select 1 union all select i + 1 from n where i < ?2) "
            "insert into user_prog_db (username, vortalix_prog_id, database_id, ordinal) "
            "select ?1, i, 1, 0 from n"));
        report.bind(1, s.reportUser).bind(2, s.reportGrants).run();
    }

    // The rest: every dealer in turn, round after round, over the ordinary programs.
    const qint64 rest = s.restGrants();
    if (rest > 0) {
        runScript(schema, QStringLiteral("create temp table dealers (idx integer primary key, name text)"));
        {
            SqliteStatement name(schema, QStringLiteral("insert into temp.dealers values (?1, ?2)"));
            for (int i = 0; i < shape.users; ++i) {
                name.bind(1, i).bind(2, BankServer::userName(i + 1)).run();
                sqlite3_reset(name.get());
            }
        }
        SqliteStatement fill(schema, QStringLiteral(
            "with recursive n(i) as (select 0 union all select i + 1 from n where i < ?1 - 1) "
            "insert or ignore into user_prog_db (username, vortalix_prog_id, database_id, ordinal) "
            "select d.name, (d.idx * 7 + (i / ?2) * 131) % ?3 + 1, "
            "case when i / ?2 < ?4 or ?5 < 1 then 1 else 2 + (i / ?2 - ?4) % max(?5, 1) end, 0 "
            "from n join temp.dealers d on d.idx = i % ?2"));
        fill.bind(1, rest).bind(2, shape.users).bind(3, s.ordinaryPrograms()).bind(4, s.mainCompanyRounds())
            .bind(5, shape.companies - 1).run();
        runScript(schema, QStringLiteral("drop table temp.dealers"));
    }
    runScript(schema, QStringLiteral("commit"));
    s.grants = count(schema, QStringLiteral("select count(*) from user_prog_db"));
    return s;
}

} // namespace bench
