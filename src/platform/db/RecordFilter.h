#pragma once

#include "platform/db/Backend.h"

#include <QString>

#include <functional>
#include <vector>

namespace db {

// A record filter: terms column='value' or column=number joined by " and ". A quoted
// value ending in '*' matches every value that begins with the text before it; a doubled
// quote inside a value stands for one quote. An empty text lets every row pass.
class RecordFilter {
public:
    struct Term {
        QString column;
        bool numeric = false;
        double number = 0;
        QString text;
        bool prefix = false;
        int columnIndex = -1;
        FieldType type = FieldType::String;
    };

    // Throws DbError naming the 1-based position where the text stops making sense.
    static RecordFilter parse(const QString &text);

    const std::vector<Term> &terms() const { return m_terms; }
    bool isEmpty() const { return m_terms.empty(); }

    // Resolves the column names; columnOf returns -1 for a name the dataset lacks, which
    // raises DbError.
    void bind(const std::function<int(const QString &)> &columnOf,
              const std::function<FieldType(int)> &typeOf);
    bool matches(const Row &row, bool caseInsensitive) const;

private:
    std::vector<Term> m_terms;
};

} // namespace db
