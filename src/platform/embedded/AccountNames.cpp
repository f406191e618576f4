#include "platform/embedded/AccountNames.h"

#include "platform/embedded/ServerErrors.h"

namespace embedded::names {

QString fromTyped(const QString &typed)
{
    const QString name = typed.trimmed();
    if (name.size() >= 2 && name.startsWith(QLatin1Char('"')) && name.endsWith(QLatin1Char('"')))
        return name.mid(1, name.size() - 2);
    return name.toUpper();
}

void validate(const QString &name)
{
    if (name.size() > maxLength)
        throw serverError(errors::IdentifierTooLong, QStringLiteral("identifier is too long"));
}

} // namespace embedded::names
