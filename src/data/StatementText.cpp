#include "data/StatementText.h"

#include <QRegularExpression>

namespace statements {

QString hidePasswords(const QString &statement)
{
    // A password is a quoted name (to the end of the text when its quote is not closed)
    // or a word.
    static const QRegularExpression password(
        QStringLiteral(R"(\bidentified\s+by\s+("[^"]*"?|[^\s";]+)(?:\s+replace\s+("[^"]*"?|[^\s";]+))?)"),
        QRegularExpression::CaseInsensitiveOption);
    QString shown;
    qsizetype from = 0;
    for (auto matches = password.globalMatch(statement); matches.hasNext();) {
        const QRegularExpressionMatch m = matches.next();
        for (int group : {1, 2}) {
            if (m.capturedStart(group) < 0)
                continue;
            shown += QStringView(statement).mid(from, m.capturedStart(group) - from);
            shown += QStringLiteral("********");
            from = m.capturedEnd(group);
        }
    }
    shown += QStringView(statement).mid(from);
    return shown;
}

} // namespace statements
