#include "platform/db/Field.h"

#include "platform/core/NumberFormat.h"
#include "platform/db/DataSet.h"
#include "platform/db/DbError.h"

#include <cmath>

namespace db {

namespace {

const QString isoFormat = QStringLiteral("yyyy-MM-dd HH:mm:ss");

QDateTime parseDateTime(const QString &text, const QString &format)
{
    const QString t = text.trimmed();
    QDateTime dt;
    if (!format.isEmpty()) {
        dt = QDateTime::fromString(t, format);
        if (dt.isValid() && format.contains(QLatin1String("yy"))
            && !format.contains(QLatin1String("yyyy")) && dt.date().year() < 1950) {
            dt = dt.addYears(100); // two-digit years name 1950..2049
        }
    }
    if (!dt.isValid())
        dt = QDateTime::fromString(t, isoFormat);
    if (!dt.isValid())
        dt = QDateTime::fromString(t, Qt::ISODate);
    if (!dt.isValid()) {
        const QDate d = QDate::fromString(t, Qt::ISODate);
        if (d.isValid())
            dt = d.startOfDay();
    }
    return dt;
}

} // namespace

Field::Field(DataSet *dataSet, const QString &name, FieldType type, int size, bool persistent)
    : m_dataSet(dataSet), m_name(name), m_type(type), m_size(size), m_persistent(persistent)
{
}

int Field::index() const
{
    for (int i = 0; i < m_dataSet->fieldCount(); ++i) {
        if (&m_dataSet->field(i) == this)
            return i;
    }
    return -1;
}

int Field::displayWidth() const
{
    if (m_width > 0)
        return m_width;
    switch (m_type) {
    case FieldType::String: return m_size > 0 ? m_size : 20;
    case FieldType::Float: return 10;
    case FieldType::DateTime: return 18;
    case FieldType::Memo: return 10;
    }
    return 10;
}

QVariant Field::value() const
{
    return m_dataSet->valueAt(m_column);
}

bool Field::isNull() const
{
    return value().isNull();
}

QString Field::textOf(const QVariant &stored, FieldType type)
{
    if (stored.isNull())
        return QString();
    switch (type) {
    case FieldType::Float: {
        if (stored.typeId() == QMetaType::QString)
            return stored.toString();
        return core::numberText(stored.toDouble());
    }
    case FieldType::DateTime: {
        const QDateTime dt = dateTimeOf(stored);
        if (!dt.isValid())
            return stored.toString();
        return dt.time() == QTime(0, 0) ? dt.toString(QStringLiteral("yyyy-MM-dd"))
                                        : dt.toString(isoFormat);
    }
    case FieldType::String:
    case FieldType::Memo:
        break;
    }
    switch (stored.typeId()) {
    case QMetaType::Double:
    case QMetaType::Float:
    case QMetaType::Int:
    case QMetaType::LongLong:
        return core::numberText(stored.toDouble());
    case QMetaType::QByteArray:
        return QString::fromUtf8(stored.toByteArray());
    default:
        return stored.toString();
    }
}

double Field::floatOf(const QVariant &stored)
{
    if (stored.isNull())
        return 0;
    if (stored.typeId() == QMetaType::QString) {
        double v = 0;
        return core::parseNumber(stored.toString(), &v) ? v : 0;
    }
    return stored.toDouble();
}

QDateTime Field::dateTimeOf(const QVariant &stored)
{
    if (stored.isNull())
        return {};
    if (stored.typeId() == QMetaType::QDateTime)
        return stored.toDateTime();
    if (stored.typeId() == QMetaType::QDate)
        return stored.toDate().startOfDay();
    return parseDateTime(stored.toString(), QString());
}

QString Field::asString() const
{
    return textOf(value(), m_type);
}

double Field::asFloat() const
{
    return floatOf(value());
}

QDateTime Field::asDateTime() const
{
    return dateTimeOf(value());
}

QString Field::formatted(const QVariant &v, const QString &format) const
{
    if (v.isNull())
        return QString();
    if (!format.isEmpty()) {
        if (m_type == FieldType::Float)
            return core::formatFloat(format, floatOf(v));
        if (m_type == FieldType::DateTime) {
            const QDateTime dt = dateTimeOf(v);
            if (dt.isValid())
                return dt.toString(format);
        }
    }
    return textOf(v, m_type);
}

QString Field::displayText() const
{
    return formatted(value(), m_displayFormat);
}

QString Field::displayTextFor(const QVariant &stored) const
{
    return formatted(stored, m_displayFormat);
}

QString Field::editText() const
{
    return formatted(value(), m_editFormat.isEmpty() ? m_displayFormat : m_editFormat);
}

QVariant Field::convertText(const QString &text, const QString &format) const
{
    switch (m_type) {
    case FieldType::Float: {
        if (text.trimmed().isEmpty())
            return QVariant();
        double v = 0;
        if (!core::parseNumber(text, &v))
            throw DbError(QStringLiteral("'%1' is not a valid floating point value for field '%2'")
                              .arg(text, displayLabel()));
        return v;
    }
    case FieldType::DateTime: {
        if (text.trimmed().isEmpty())
            return QVariant();
        const QDateTime dt = parseDateTime(text, format);
        if (!dt.isValid())
            throw DbError(QStringLiteral("'%1' is not a valid date and time for field '%2'")
                              .arg(text, displayLabel()));
        return dt;
    }
    case FieldType::String:
    case FieldType::Memo:
        break;
    }
    return text;
}

void Field::setValue(const QVariant &value)
{
    QVariant v = value;
    if (!v.isNull()) {
        switch (m_type) {
        case FieldType::Float:
            if (v.typeId() == QMetaType::QString)
                v = convertText(v.toString(), QString());
            else
                v = v.toDouble();
            break;
        case FieldType::DateTime:
            if (v.typeId() == QMetaType::QString)
                v = convertText(v.toString(), m_displayFormat);
            else
                v = dateTimeOf(v);
            break;
        case FieldType::String:
        case FieldType::Memo:
            v = textOf(v, m_type);
            if (v.toString().isEmpty())
                v = QVariant();
            break;
        }
    }
    if (m_type == FieldType::String && m_size > 0 && !v.isNull() && v.toString().size() > m_size) {
        throw DbError(QStringLiteral("The value for field '%1' is %2 characters long; it holds at most %3")
                          .arg(displayLabel())
                          .arg(v.toString().size())
                          .arg(m_size));
    }
    m_dataSet->setValueAt(*this, v);
}

void Field::setAsString(const QString &text)
{
    setValue(convertText(text, m_displayFormat));
}

void Field::setAsFloat(double value)
{
    setValue(value);
}

void Field::setAsDateTime(const QDateTime &value)
{
    setValue(value.isValid() ? QVariant(value) : QVariant());
}

void Field::setEditText(const QString &text)
{
    const QString format = m_editFormat.isEmpty() ? m_displayFormat : m_editFormat;
    if (m_type == FieldType::Float || m_type == FieldType::DateTime)
        setValue(convertText(text, m_type == FieldType::DateTime ? format : QString()));
    else
        setValue(text);
}

void Field::validate() const
{
    const QVariant v = value();
    if (m_required && v.isNull())
        throw DbError(QStringLiteral("Field '%1' must have a value").arg(displayLabel()));
    if (m_type == FieldType::Float && !v.isNull() && m_whole) {
        const double x = floatOf(v);
        if (!std::isfinite(x) || std::floor(x) != x)
            throw DbError(QStringLiteral("%1 is not a valid value for field '%2'. It holds whole numbers only")
                              .arg(core::numberText(x), displayLabel()));
    }
    if (m_type == FieldType::Float && !v.isNull() && (m_min || m_max)) {
        const double x = floatOf(v);
        if ((m_min && x < *m_min) || (m_max && x > *m_max)) {
            throw DbError(QStringLiteral("%1 is not a valid value for field '%2'. The allowed range is %3 to %4")
                              .arg(core::numberText(x), displayLabel(),
                                   core::numberText(m_min.value_or(x)),
                                   core::numberText(m_max.value_or(x))));
        }
    }
}

} // namespace db
