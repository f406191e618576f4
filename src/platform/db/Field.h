#pragma once

#include "platform/db/Backend.h"

#include <QDateTime>
#include <QString>
#include <QVariant>

#include <optional>

namespace db {

class DataSet;

// A column of a dataset as the windows see it: its type and size, how it is labelled,
// shown and edited, and what a post checks. Values are those of the dataset's current row.
class Field {
public:
    Field(DataSet *dataSet, const QString &name, FieldType type, int size, bool persistent);

    DataSet &dataSet() const { return *m_dataSet; }
    const QString &fieldName() const { return m_name; }
    FieldType dataType() const { return m_type; }
    int size() const { return m_size; }
    bool isPersistent() const { return m_persistent; }
    int index() const; // position among the dataset's fields

    QString displayLabel() const { return m_label.isEmpty() ? m_name : m_label; }
    Field &setDisplayLabel(const QString &label) { m_label = label; return *this; }
    // Width in characters for grids; the default follows the type and size.
    int displayWidth() const;
    bool hasDisplayWidth() const { return m_width > 0; }
    Field &setDisplayWidth(int chars) { m_width = chars; return *this; }
    bool visible() const { return m_visible; }
    Field &setVisible(bool on) { m_visible = on; return *this; }
    bool required() const { return m_required; }
    Field &setRequired(bool on) { m_required = on; return *this; }
    bool readOnly() const { return m_readOnly; }
    Field &setReadOnly(bool on) { m_readOnly = on; return *this; }
    std::optional<double> minValue() const { return m_min; }
    std::optional<double> maxValue() const { return m_max; }
    Field &setRange(double min, double max) { m_min = min; m_max = max; return *this; }
    // A number field that holds whole numbers only, such as an identifier.
    bool wholeNumbers() const { return m_whole; }
    Field &setWholeNumbers(bool on) { m_whole = on; return *this; }
    // Number pictures (see core::formatFloat) or, for dates, a QDateTime format.
    const QString &displayFormat() const { return m_displayFormat; }
    Field &setDisplayFormat(const QString &f) { m_displayFormat = f; return *this; }
    const QString &editFormat() const { return m_editFormat; }
    Field &setEditFormat(const QString &f) { m_editFormat = f; return *this; }
    // An input mask in the framework's notation, e.g. "!99/99/00;1;_".
    const QString &editMask() const { return m_editMask; }
    Field &setEditMask(const QString &m) { m_editMask = m; return *this; }

    // Value of the current row.
    QVariant value() const;
    bool isNull() const;
    QString asString() const;
    double asFloat() const;
    QDateTime asDateTime() const;
    QString displayText() const; // as a grid or label shows it
    QString editText() const;    // as an edit shows it while the row is edited
    // The same for a value of another row.
    QString displayTextFor(const QVariant &stored) const;

    // Writing needs the dataset in edit or insert state. Text is converted by the field's
    // type; text that does not convert raises DbError and changes nothing.
    void setValue(const QVariant &value);
    void setAsString(const QString &text);
    void setAsFloat(double value);
    void setAsDateTime(const QDateTime &value);
    void setEditText(const QString &text);
    void clear() { setValue(QVariant()); }

    // Checks of a post: a required value present, a number inside its range.
    void validate() const;

    // Conversions shared with the rest of the engine.
    static QString textOf(const QVariant &stored, FieldType type);
    static double floatOf(const QVariant &stored);
    static QDateTime dateTimeOf(const QVariant &stored);

private:
    friend class DataSet;
    QVariant convertText(const QString &text, const QString &format) const;
    QString formatted(const QVariant &stored, const QString &format) const;

    DataSet *m_dataSet;
    QString m_name;
    FieldType m_type;
    int m_size;
    bool m_persistent;
    int m_column = -1; // position in the row values while the dataset is open
    QString m_label;
    int m_width = 0;
    bool m_visible = true;
    bool m_required = false;
    bool m_readOnly = false;
    std::optional<double> m_min;
    std::optional<double> m_max;
    bool m_whole = false;
    QString m_displayFormat;
    QString m_editFormat;
    QString m_editMask;
};

} // namespace db
