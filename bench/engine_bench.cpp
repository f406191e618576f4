// The engine's read path against SQLite's own: opening the program register through the
// dataset layer, stepping the same statement with the C API, and switching the register's
// record filter on and off over the opened rows. Each size gets an embedded server of its
// own, made once in a temporary folder.

#include "BankServer.h"
#include "RawSession.h"

#include "platform/db/Connection.h"
#include "platform/db/DbError.h"
#include "platform/db/Query.h"
#include "platform/db/ServerDirectory.h"
#include "platform/embedded/EmbeddedServer.h"

#include <QCoreApplication>
#include <QDir>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>
#include <unistd.h>

#include <array>
#include <cstdio>
#include <map>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

namespace {

const QString registerSql = QStringLiteral("select * from vortalix_prog order by prog_id");
const QString registerFilter = QStringLiteral("Prog_Author='ab*' and prog_type='3'");
constexpr std::array<int, 2> sizes{10000, 100000};

// An embedded server holding a register of the given size, with a session logged in as
// the schema owner. Made on first use and kept for the whole run.
class BenchServer {
public:
    explicit BenchServer(int programs)
        : m_programs(programs),
          m_alias(QStringLiteral("BENCH%1").arg(programs)),
          m_directory(m_root.filePath(QStringLiteral("servers.ini")), m_root.filePath(QStringLiteral("data")))
    {
        if (!m_root.isValid())
            throw std::runtime_error("cannot create a temporary folder");
        const QString folder = m_directory.embeddedFolder(m_alias);
        QDir().mkpath(m_directory.dataFolder());
        embedded::EmbeddedServer::create(folder);
        bench::fillRegister(schemaFile(), programs);

        m_connection.setDirectory(&m_directory);
        m_connection.params().setValue(QStringLiteral("SERVER NAME"), m_alias);
        m_connection.params().setValue(QStringLiteral("USER NAME"), QStringLiteral("vortalix"));
        m_connection.params().setValue(QStringLiteral("PASSWORD"), QStringLiteral("lumivar"));
        m_connection.open();
    }

    int programs() const { return m_programs; }
    db::Connection &connection() { return m_connection; }
    QString folder() const { return m_directory.embeddedFolder(m_alias); }
    QString schemaFile() const
    {
        return QDir(folder()).filePath(embedded::EmbeddedServer::schemaFileName(QStringLiteral("VORTALIX")));
    }

private:
    QTemporaryDir m_root;
    int m_programs;
    QString m_alias;
    db::ServerDirectory m_directory;
    db::Connection m_connection{QStringLiteral("BENCH")};
};

// The servers are let go before the application object, which their sessions need.
std::map<int, std::unique_ptr<BenchServer>> &servers()
{
    static std::map<int, std::unique_ptr<BenchServer>> all;
    return all;
}

BenchServer &server(int programs)
{
    std::unique_ptr<BenchServer> &s = servers()[programs];
    if (!s)
        s = std::make_unique<BenchServer>(programs);
    return *s;
}

// Runs a benchmark body; a failure ends the benchmark with the failure's text.
template <typename Body>
void guarded(benchmark::State &state, Body body)
{
    try {
        body();
    } catch (const std::exception &e) {
        state.SkipWithError(e.what());
    }
}

void datasetOpen(benchmark::State &state, int programs)
{
    guarded(state, [&] {
        BenchServer &s = server(programs);
        db::Query query;
        query.setConnection(&s.connection());
        query.setSql({registerSql});
        int rows = 0;
        for (auto _ : state) {
            query.open();
            rows = query.recordCount();
            query.close();
        }
        if (rows != programs)
            throw std::runtime_error("the register opened with " + std::to_string(rows) + " rows");
        state.SetItemsProcessed(state.iterations() * programs);
    });
}

void sqliteStep(benchmark::State &state, int programs)
{
    guarded(state, [&] {
        BenchServer &s = server(programs);
        // The statement is prepared once and stepped again each time, every column read.
        bench::RawSession session(s.folder());
        qint64 rows = 0;
        for (auto _ : state)
            rows = session.run(registerSql);
        benchmark::DoNotOptimize(session.checksum());
        if (rows != programs)
            throw std::runtime_error("the statement gave " + std::to_string(rows) + " rows");
        state.SetItemsProcessed(state.iterations() * programs);
    });
}

void filterToggle(benchmark::State &state, int programs)
{
    guarded(state, [&] {
        BenchServer &s = server(programs);
        db::Query query;
        query.setConnection(&s.connection());
        query.setSql({registerSql});
        query.open();
        query.setFilter(registerFilter);
        query.setFilterCaseInsensitive(true);
        int passing = 0;
        for (auto _ : state) {
            query.setFiltered(true);
            passing = query.recordCount();
            query.setFiltered(false);
        }
        if (passing <= 0 || passing >= programs || query.recordCount() != programs)
            throw std::runtime_error("the filter let " + std::to_string(passing) + " rows pass");
        state.counters["passing"] = passing;
        state.SetItemsProcessed(state.iterations() * programs);
    });
}

std::string nameOf(const char *what, int programs)
{
    return std::string(what) + "/" + std::to_string(programs);
}

// Prints as the console reporter does and keeps each benchmark's time per iteration, so
// that the ratios can be told at the end. With repetitions, the median is kept.
class RatioReporter : public benchmark::ConsoleReporter {
public:
    using ConsoleReporter::ConsoleReporter;

    void ReportRuns(const std::vector<Run> &reports) override
    {
        ConsoleReporter::ReportRuns(reports);
        for (const Run &run : reports) {
            if (run.error_occurred)
                continue;
            Time &t = m_times[run.run_name.function_name];
            if (run.run_type == Run::RT_Aggregate) {
                if (run.aggregate_name == "median")
                    t.median = run.GetAdjustedRealTime();
            } else {
                t.sum += run.GetAdjustedRealTime();
                ++t.count;
            }
        }
    }

    void printRatios() const
    {
        bool header = false;
        for (int programs : sizes) {
            const double dataset = time(nameOf("open/dataset", programs));
            const double sqlite = time(nameOf("open/sqlite", programs));
            if (dataset <= 0 || sqlite <= 0)
                continue;
            if (!header) {
                std::printf("\nopening the register: dataset layer / SQLite C API\n");
                header = true;
            }
            std::printf("  %7d programs: %9.2f ms / %9.2f ms = %.2f\n", programs, dataset, sqlite,
                        dataset / sqlite);
        }
        std::fflush(stdout);
    }

private:
    struct Time {
        double sum = 0;
        int count = 0;
        double median = -1;
    };
    double time(const std::string &name) const
    {
        const auto it = m_times.find(name);
        if (it == m_times.end())
            return -1;
        if (it->second.median >= 0)
            return it->second.median;
        return it->second.count > 0 ? it->second.sum / it->second.count : -1;
    }
    std::map<std::string, Time> m_times;
};

void registerBenchmarks()
{
    for (int programs : sizes) {
        benchmark::RegisterBenchmark(nameOf("open/dataset", programs).c_str(), datasetOpen, programs)
            ->Unit(benchmark::kMillisecond)
            ->UseRealTime();
        benchmark::RegisterBenchmark(nameOf("open/sqlite", programs).c_str(), sqliteStep, programs)
            ->Unit(benchmark::kMillisecond)
            ->UseRealTime();
        benchmark::RegisterBenchmark(nameOf("filter/toggle", programs).c_str(), filterToggle, programs)
            ->Unit(benchmark::kMillisecond)
            ->UseRealTime();
    }
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    embedded::EmbeddedServer::registerKind();
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    registerBenchmarks();
    RatioReporter reporter(isatty(STDOUT_FILENO) ? benchmark::ConsoleReporter::OO_Color
                                                 : benchmark::ConsoleReporter::OO_None);
    benchmark::RunSpecifiedBenchmarks(&reporter);
    reporter.printRatios();
    servers().clear();
    benchmark::Shutdown();
    return 0;
}
