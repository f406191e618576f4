#include "platform/embedded/ServerErrors.h"

#include <QRegularExpression>

namespace embedded {

db::DbError translateSqliteError(const QString &m, const QString &keyword, const QString &file)
{
    using namespace errors;
    auto detailed = [&](int code, const QString &text) { return serverError(code, text + QStringLiteral(" (") + m + QLatin1Char(')')); };
    // The failures of the files themselves say which file they are about.
    auto ofFile = [&](int code, const QString &text) {
        return serverError(code, text + QStringLiteral(" (") + m + (file.isEmpty() ? QString() : QStringLiteral(": ") + file)
                                     + QLatin1Char(')'));
    };
    if (m.startsWith(QLatin1String("no such table")))
        return detailed(NoSuchTable, QStringLiteral("table or view does not exist"));
    if (m.startsWith(QLatin1String("no such column"))) {
        const QString name = m.section(QLatin1String(": "), 1).toUpper();
        return serverError(InvalidIdentifier, QStringLiteral("\"%1\": invalid identifier").arg(name));
    }
    if (m.startsWith(QLatin1String("ambiguous column name")))
        return detailed(AmbiguousColumn, QStringLiteral("column ambiguously defined"));
    if (m.startsWith(QLatin1String("UNIQUE constraint failed"))) {
        const QString columns = m.section(QLatin1String(": "), 1).toUpper();
        return serverError(UniqueViolated, QStringLiteral("unique constraint (%1) violated").arg(columns));
    }
    if (m.startsWith(QLatin1String("NOT NULL constraint failed"))) {
        const QStringList parts = m.section(QLatin1String(": "), 1).toUpper().split(QLatin1Char('.'));
        return serverError(CannotInsertNull, QStringLiteral("cannot insert NULL into (%1)")
                                                 .arg(QLatin1Char('"') + parts.join(QStringLiteral("\".\"")) + QLatin1Char('"')));
    }
    if (m.startsWith(QLatin1String("CHECK constraint failed"))) {
        static const QRegularExpression length(QStringLiteral("length\\((\\w+)\\)\\s*<=\\s*(\\d+)"));
        const QRegularExpressionMatch hit = length.match(m);
        if (hit.hasMatch()) {
            return serverError(ValueTooLarge, QStringLiteral("value too large for column \"%1\" (maximum: %2)")
                                                  .arg(hit.captured(1).toUpper(), hit.captured(2)));
        }
        return serverError(CheckViolated, QStringLiteral("check constraint (%1) violated")
                                              .arg(m.section(QLatin1String(": "), 1)));
    }
    if (m.startsWith(QLatin1String("FOREIGN KEY constraint failed"))) {
        if (keyword == QLatin1String("DELETE"))
            return serverError(ChildRecordFound, QStringLiteral("integrity constraint violated - child record found"));
        if (keyword == QLatin1String("INSERT"))
            return serverError(ParentKeyMissing, QStringLiteral("integrity constraint violated - parent key not found"));
        return serverError(ChildRecordFound, QStringLiteral("integrity constraint violated - parent key not found or child record found"));
    }
    // A function the server does not offer is, to the statement, one that does not exist.
    static const QString refusedFunction = QStringLiteral("not authorized to use function: ");
    if (m.startsWith(refusedFunction)) {
        return serverError(InvalidIdentifier,
                           QStringLiteral("\"%1\": invalid identifier").arg(m.mid(refusedFunction.size()).trimmed().toUpper()));
    }
    if (m.contains(QLatin1String("not authorized")) || m.contains(QLatin1String("prohibited")))
        return serverError(InsufficientPrivileges, QStringLiteral("insufficient privileges"));
    if (m.contains(QLatin1String("database is locked")) || m.contains(QLatin1String("database table is locked")))
        return ofFile(ResourceBusy, QStringLiteral("resource busy and acquire with NOWAIT specified or timeout expired"));
    if (m.startsWith(QLatin1String("database or disk is full")))
        return ofFile(UnableToExtend, QStringLiteral("unable to extend table"));
    if (m.startsWith(QLatin1String("attempt to write a readonly database")))
        return ofFile(FileReadOnly, QStringLiteral("file cannot be modified at this time"));
    if (m.startsWith(QLatin1String("database disk image is malformed")))
        return ofFile(BlockCorrupted, QStringLiteral("ORACLE data block corrupted"));
    if (m.startsWith(QLatin1String("file is not a database")))
        return ofFile(FileVerification, QStringLiteral("database file failed verification check"));
    if (m.startsWith(QLatin1String("unable to open database")))
        return ofFile(DataFileMissing, QStringLiteral("cannot identify/lock data file"));
    if (m.startsWith(QLatin1String("disk I/O error")))
        return ofFile(IoError, QStringLiteral("IO error reading or writing file"));
    if (m.contains(QLatin1String("syntax error")) || m.startsWith(QLatin1String("incomplete input")))
        return detailed(InvalidStatement, QStringLiteral("invalid SQL statement"));
    if (m.startsWith(QLatin1String("no such function")))
        return detailed(InvalidIdentifier, QStringLiteral("invalid identifier"));
    return db::DbError(QStringLiteral("Embedded server error: ") + m
                       + (file.isEmpty() ? QString() : QStringLiteral(" (") + file + QLatin1Char(')')));
}

} // namespace embedded
