#pragma once

#include "platform/db/Backend.h"

#include <QString>

namespace bench {

// One session of the engine underneath the project, used directly through its own C API:
// each statement prepared once and executed with the same parameters the program binds,
// every column of every row read, as any reader of a result must, and nothing more.
class RawEngine {
public:
    virtual ~RawEngine() = default;

    // Runs one statement with named parameters (an empty text binds no value, as the
    // server binds it); returns the rows read or, for a statement without rows, the rows
    // it changed.
    virtual qint64 run(const QString &sql, const db::BoundParams &params = {}) = 0;
    // Runs statements without parameters and results, as given.
    virtual void exec(const QString &script) = 0;
    // The first column of the first row, as a whole number.
    virtual qint64 number(const QString &sql) = 0;
    // Runs a query up to its rows-th row (or its last, when it has fewer) and stops
    // there; returns the milliseconds to that row. Undoing what the stop leaves on the
    // server is not timed.
    virtual double timeToRow(const QString &sql, const db::BoundParams &params, int rows) = 0;
};

} // namespace bench
