#include "platform/db/ServerErrors.h"

namespace db {

DbError serverError(int code, const QString &message)
{
    return DbError(QStringLiteral("ORA-%1: %2").arg(code, 5, 10, QLatin1Char('0')).arg(message), code, QString::number(code));
}

} // namespace db
