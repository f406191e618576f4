#pragma once

#include <QString>

#include <stdexcept>

namespace db {

// Every failure of the database engine: a server's refusal (with the server's code,
// 0 when it gives none) or a misuse of a dataset. The text is what the user is shown.
class DbError : public std::runtime_error {
public:
    explicit DbError(const QString &text, int code = 0)
        : std::runtime_error(text.toStdString()), m_text(text), m_code(code) {}

    const QString &text() const { return m_text; }
    int code() const { return m_code; }

private:
    QString m_text;
    int m_code;
};

} // namespace db
