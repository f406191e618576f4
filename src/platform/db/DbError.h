#pragma once

#include <QString>

#include <stdexcept>

namespace db {

// Every failure of the database engine: a server's refusal (with the server's code,
// 0 when it gives none) or a misuse of a dataset. The text is what the user is shown.
// A server whose codes are not numbers (a PostgreSQL server's SQLSTATE such as 42P01)
// gives its code as state; a server's numeric code is kept there as text too.
class DbError : public std::runtime_error {
public:
    explicit DbError(const QString &text, int code = 0, const QString &state = QString())
        : std::runtime_error(text.toStdString()), m_text(text), m_code(code), m_state(state) {}

    const QString &text() const { return m_text; }
    int code() const { return m_code; }
    const QString &state() const { return m_state; }

private:
    QString m_text;
    int m_code;
    QString m_state;
};

} // namespace db
