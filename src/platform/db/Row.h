#pragma once

#include <QByteArray>
#include <QList>
#include <QVariant>

#include <algorithm>
#include <initializer_list>
#include <string>
#include <utility>

namespace db {

// The values of one row, in column order: null, double, QString, QDateTime (or the
// server's text of a date), QByteArray, or any other value a driver gives.
//
// A row keeps its values in one block of memory, texts as UTF-8, and hands each out as a
// QVariant when asked: a register of ten thousand rows then costs one allocation per row
// and about the bytes of its texts, rather than an allocation per value and twice the
// bytes. Copies share the block until one of them changes.
class Row {
public:
    Row() = default;
    Row(std::initializer_list<QVariant> values);
    explicit Row(const QList<QVariant> &values);

    int size() const { return m_count; }
    bool isEmpty() const { return m_count == 0; }
    QVariant at(int column) const;
    QVariant value(int column, const QVariant &fallback = QVariant()) const;
    QVariant operator[](int column) const { return at(column); }
    bool isNull(int column) const;
    QList<QVariant> toList() const;

    void append(const QVariant &value);
    template <typename... Args>
    void emplaceBack(Args &&...args)
    {
        append(QVariant(std::forward<Args>(args)...));
    }
    // Values past the end are missing ones; a shorter row drops the last values.
    void resize(int count);
    void clear();
    void set(int column, const QVariant &value);

    // A value of a row that can be assigned, as row[c] = v.
    class Reference {
    public:
        Reference(Row &row, int column) : m_row(row), m_column(column) {}
        Reference &operator=(const QVariant &value)
        {
            m_row.set(m_column, value);
            return *this;
        }
        operator QVariant() const { return m_row.at(m_column); }

    private:
        Row &m_row;
        int m_column;
    };
    Reference operator[](int column) { return Reference(*this, column); }

    // The values one after another, each as a QVariant.
    class const_iterator {
    public:
        const_iterator(const Row *row, int column) : m_row(row), m_column(column) {}
        QVariant operator*() const { return m_row->at(m_column); }
        const_iterator &operator++()
        {
            ++m_column;
            return *this;
        }
        bool operator==(const const_iterator &other) const = default;

    private:
        const Row *m_row;
        int m_column;
    };
    const_iterator begin() const { return {this, 0}; }
    const_iterator end() const { return {this, m_count}; }

    // Whether two values are the same: missing only to missing, numbers by their value,
    // texts by their characters, anything else as QVariant compares it.
    static bool same(const Row &a, int i, const Row &b, int j);
    static bool same(const QVariant &a, const QVariant &b);
    // Whether a value is a number to the engine: present, not text, and read as a double.
    static bool isNumber(const QVariant &value);
    // A value held as text, as its UTF-8 bytes; false for any other value.
    bool textAt(int column, QByteArrayView *utf8) const;

    friend bool operator==(const Row &a, const Row &b);

private:
    friend class RowWriter;
    enum Tag : unsigned char { Null, Number, Text, Bytes, DateTime, Other };
    struct Entry {
        Tag tag = Null;
        const char *data = nullptr;
        qsizetype size = 0;     // the bytes of the value
        qsizetype start = 0;    // where the entry begins in the block
        qsizetype end = 0;      // where the next one begins
    };
    Entry entry(int column) const;
    static QVariant decode(const Entry &e);
    static void encode(std::string &out, const QVariant &value);

    QByteArray m_data;
    int m_count = 0;
};

// Builds rows value by value into a buffer of its own, which it keeps from row to row:
// each row taken costs one allocation of exactly its size.
class RowWriter {
public:
    void null();
    void number(double value);
    void text(const char *utf8, qsizetype bytes);
    void bytes(const char *data, qsizetype size);
    void value(const QVariant &value);
    Row take();

private:
    // Room for n more bytes at the end of the buffer; the caller writes them all.
    char *room(std::size_t n)
    {
        if (m_buffer.size() - m_used < n)
            m_buffer.resize(std::max(m_buffer.size() * 2, m_used + n + 256));
        char *at = m_buffer.data() + m_used;
        m_used += n;
        return at;
    }
    void tagged(unsigned char tag, const char *data, qsizetype size);

    std::string m_buffer; // its size is its capacity; m_used bytes hold the row
    std::size_t m_used = 0;
    int m_count = 0;
};

} // namespace db
