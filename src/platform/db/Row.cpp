#include "platform/db/Row.h"

#include <QDataStream>
#include <QDateTime>
#include <QIODevice>

#include <cstring>

namespace db {

// Each value is a tag byte followed by its bytes: a number as the eight bytes of a
// double; a text, bytes or any other value (in QDataStream's form) as their length in
// 7-bit groups and the bytes; a date and time as its milliseconds since the epoch and
// whether it is local or UTC.

namespace {

void putLength(std::string &out, quint64 n)
{
    while (n >= 0x80) {
        out.push_back(char((n & 0x7f) | 0x80));
        n >>= 7;
    }
    out.push_back(char(n));
}

quint64 getLength(const char *&p)
{
    quint64 n = 0;
    int shift = 0;
    for (;;) {
        const auto byte = static_cast<unsigned char>(*p++);
        n |= quint64(byte & 0x7f) << shift;
        if (!(byte & 0x80))
            return n;
        shift += 7;
    }
}

} // namespace

Row::Row(std::initializer_list<QVariant> values)
{
    for (const QVariant &v : values)
        append(v);
}

Row::Row(const QList<QVariant> &values)
{
    for (const QVariant &v : values)
        append(v);
}

void Row::encode(std::string &out, const QVariant &v)
{
    if (v.isNull()) {
        out.push_back(char(Null));
        return;
    }
    switch (v.typeId()) {
    case QMetaType::Double: {
        const double d = v.toDouble();
        out.push_back(char(Number));
        out.append(reinterpret_cast<const char *>(&d), sizeof d);
        return;
    }
    case QMetaType::QString: {
        const QByteArray utf8 = v.toString().toUtf8();
        out.push_back(char(Text));
        putLength(out, quint64(utf8.size()));
        out.append(utf8.constData(), std::size_t(utf8.size()));
        return;
    }
    case QMetaType::QByteArray: {
        const QByteArray bytes = v.toByteArray();
        out.push_back(char(Bytes));
        putLength(out, quint64(bytes.size()));
        out.append(bytes.constData(), std::size_t(bytes.size()));
        return;
    }
    case QMetaType::QDateTime: {
        const QDateTime dt = v.toDateTime();
        if (dt.isValid() && (dt.timeSpec() == Qt::LocalTime || dt.timeSpec() == Qt::UTC)) {
            const qint64 ms = dt.toMSecsSinceEpoch();
            out.push_back(char(DateTime));
            out.append(reinterpret_cast<const char *>(&ms), sizeof ms);
            out.push_back(dt.timeSpec() == Qt::UTC ? '\1' : '\0');
            return;
        }
        break;
    }
    default:
        break;
    }
    QByteArray stream;
    {
        QDataStream s(&stream, QIODevice::WriteOnly);
        s << v;
    }
    out.push_back(char(Other));
    putLength(out, quint64(stream.size()));
    out.append(stream.constData(), std::size_t(stream.size()));
}

Row::Entry Row::entry(int column) const
{
    Entry e;
    if (column < 0 || column >= m_count)
        return e;
    const char *begin = m_data.constData();
    const char *p = begin;
    for (int i = 0;; ++i) {
        const char *start = p;
        const auto tag = Tag(static_cast<unsigned char>(*p++));
        qsizetype size = 0;
        switch (tag) {
        case Null: break;
        case Number: size = sizeof(double); break;
        case DateTime: size = sizeof(qint64) + 1; break;
        case Text:
        case Bytes:
        case Other: size = qsizetype(getLength(p)); break;
        }
        if (i == column) {
            e.tag = tag;
            e.data = p;
            e.size = size;
            e.start = start - begin;
            e.end = p + size - begin;
            return e;
        }
        p += size;
    }
}

QVariant Row::decode(const Entry &e)
{
    switch (e.tag) {
    case Null:
        return QVariant();
    case Number: {
        double d;
        std::memcpy(&d, e.data, sizeof d);
        return d;
    }
    case Text:
        return e.size == 0 ? QString() : QString::fromUtf8(e.data, e.size);
    case Bytes:
        return QByteArray(e.data, e.size);
    case DateTime: {
        qint64 ms;
        std::memcpy(&ms, e.data, sizeof ms);
        return QDateTime::fromMSecsSinceEpoch(ms, e.data[sizeof ms] ? Qt::UTC : Qt::LocalTime);
    }
    case Other: {
        QVariant v;
        QDataStream s(QByteArray::fromRawData(e.data, e.size));
        s >> v;
        return v;
    }
    }
    return QVariant();
}

QVariant Row::at(int column) const
{
    return decode(entry(column));
}

QVariant Row::value(int column, const QVariant &fallback) const
{
    return column >= 0 && column < m_count ? at(column) : fallback;
}

bool Row::isNull(int column) const
{
    return entry(column).tag == Null;
}

bool Row::textAt(int column, QByteArrayView *utf8) const
{
    const Entry e = entry(column);
    if (e.tag != Text)
        return false;
    *utf8 = QByteArrayView(e.data, e.size);
    return true;
}

QList<QVariant> Row::toList() const
{
    QList<QVariant> values;
    values.reserve(m_count);
    for (int i = 0; i < m_count; ++i)
        values.append(at(i));
    return values;
}

void Row::append(const QVariant &value)
{
    std::string encoded;
    encode(encoded, value);
    m_data.append(encoded.data(), qsizetype(encoded.size()));
    ++m_count;
}

void Row::resize(int count)
{
    if (count < 0)
        count = 0;
    if (count < m_count) {
        m_data.truncate(count == 0 ? 0 : entry(count - 1).end);
        m_count = count;
        return;
    }
    while (m_count < count)
        append(QVariant());
}

void Row::clear()
{
    m_data.clear();
    m_count = 0;
}

void Row::set(int column, const QVariant &value)
{
    if (column < 0)
        return;
    if (column >= m_count)
        resize(column + 1);
    const Entry e = entry(column);
    std::string encoded;
    encode(encoded, value);
    m_data.replace(e.start, e.end - e.start, QByteArrayView(encoded.data(), qsizetype(encoded.size())));
}

bool Row::same(const Row &a, int i, const Row &b, int j)
{
    const Entry x = a.entry(i);
    const Entry y = b.entry(j);
    if (x.tag == Null || y.tag == Null)
        return x.tag == y.tag;
    if (x.tag == y.tag && (x.tag == Text || x.tag == Bytes))
        return x.size == y.size && std::memcmp(x.data, y.data, std::size_t(x.size)) == 0;
    if (x.tag == Number && y.tag == Number) {
        double p;
        double q;
        std::memcpy(&p, x.data, sizeof p);
        std::memcpy(&q, y.data, sizeof q);
        return p == q;
    }
    return same(decode(x), decode(y));
}

bool Row::same(const QVariant &a, const QVariant &b)
{
    if (a.isNull() || b.isNull())
        return a.isNull() && b.isNull();
    if (isNumber(a) && isNumber(b))
        return a.toDouble() == b.toDouble();
    return a == b;
}

bool Row::isNumber(const QVariant &v)
{
    return !v.isNull() && v.typeId() != QMetaType::QString && v.canConvert<double>();
}

bool operator==(const Row &a, const Row &b)
{
    if (a.m_count != b.m_count)
        return false;
    if (a.m_data == b.m_data)
        return true;
    for (int i = 0; i < a.m_count; ++i) {
        if (a.at(i) != b.at(i))
            return false;
    }
    return true;
}

// ---- RowWriter ------------------------------------------------------------------------

void RowWriter::null()
{
    *room(1) = char(Row::Null);
    ++m_count;
}

void RowWriter::number(double value)
{
    char *at = room(1 + sizeof value);
    *at = char(Row::Number);
    std::memcpy(at + 1, &value, sizeof value);
    ++m_count;
}

void RowWriter::tagged(unsigned char tag, const char *data, qsizetype size)
{
    const auto n = std::size_t(std::max<qsizetype>(size, 0));
    char *at = room(1 + 10 + n);
    char *p = at;
    *p++ = char(tag);
    quint64 length = n;
    while (length >= 0x80) {
        *p++ = char((length & 0x7f) | 0x80);
        length >>= 7;
    }
    *p++ = char(length);
    if (n > 0)
        std::memcpy(p, data, n);
    p += n;
    m_used -= std::size_t((at + 1 + 10 + n) - p); // the length took fewer than ten bytes
    ++m_count;
}

void RowWriter::text(const char *utf8, qsizetype bytes)
{
    tagged(Row::Text, utf8, bytes);
}

void RowWriter::bytes(const char *data, qsizetype size)
{
    tagged(Row::Bytes, data, size);
}

void RowWriter::value(const QVariant &value)
{
    std::string encoded;
    Row::encode(encoded, value);
    std::memcpy(room(encoded.size()), encoded.data(), encoded.size());
    ++m_count;
}

Row RowWriter::take()
{
    Row row;
    row.m_data = QByteArray(m_buffer.data(), qsizetype(m_used));
    row.m_count = m_count;
    m_used = 0;
    m_count = 0;
    return row;
}

} // namespace db
