#pragma once

#include <QString>
#include <QStringList>

namespace core {

// One record of a CSV file as RFC 4180 writes it: fields separated by commas, a field
// holding a comma, a double quote or a line break in double quotes with its quotes
// doubled, and the record ended by CR LF. A field that a spreadsheet would take for a
// formula (beginning with =, +, -, @, a tab or a carriage return) gets a leading
// apostrophe, so that opening the file runs nothing.
QString csvRecord(const QStringList &fields);

} // namespace core
