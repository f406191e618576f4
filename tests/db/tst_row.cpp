#include "platform/db/Row.h"

#include <QDate>
#include <QDateTime>
#include <QTest>
#include <QTimeZone>

using db::Row;
using db::RowWriter;

class TestRow : public QObject {
    Q_OBJECT
private slots:
    void everyKindOfValueComesBackAsItWent();
    void aValueChangedInPlaceLeavesTheOthers();
    void copiesShareUntilOneChanges();
    void theWriterBuildsRowAfterRow();
    void sameComparesAsTheEngineDoes();
    void textIsReadWhereItLies();
};

namespace {

const QList<QVariant> kinds{
    QVariant(),
    QVariant(1.5),
    QVariant(-0.25e300),
    QVariant(QStringLiteral("Loan schedule")),
    QVariant(QStringLiteral("Pärn, Õie ja Ülle: 3 € – ✓")),
    QVariant(QString(300, QLatin1Char('x'))), // longer than one length byte holds
    QVariant(QByteArray("\0\1\2binary\xff", 10)),
    QVariant(QDateTime(QDate(2024, 5, 31), QTime(23, 59, 58, 7))),
    QVariant(QDateTime(QDate(1999, 12, 31), QTime(12, 0), Qt::UTC)),
    QVariant(QDateTime(QDate(2024, 1, 2), QTime(3, 4), QTimeZone(3600))),
    QVariant(QDate(2023, 3, 14)),
    QVariant(42),
    QVariant(true),
};

} // namespace

void TestRow::everyKindOfValueComesBackAsItWent()
{
    const Row row(kinds);
    QCOMPARE(row.size(), kinds.size());
    for (int i = 0; i < kinds.size(); ++i) {
        const QVariant back = row.at(i);
        QCOMPARE(back.isNull(), kinds.at(i).isNull());
        if (kinds.at(i).isNull())
            continue;
        QCOMPARE(back.typeId(), kinds.at(i).typeId());
        QCOMPARE(back, kinds.at(i));
        if (back.typeId() == QMetaType::QDateTime)
            QCOMPARE(back.toDateTime().timeSpec(), kinds.at(i).toDateTime().timeSpec());
    }
    QCOMPARE(row.toList(), kinds);
    QList<QVariant> walked;
    for (const QVariant &v : row)
        walked.append(v);
    QCOMPARE(walked, kinds);
    // Past the end there is nothing, or what the caller asked for.
    QVERIFY(row.at(kinds.size()).isNull());
    QCOMPARE(row.value(kinds.size(), 7), QVariant(7));
    QCOMPARE(row.value(3, 7), kinds.at(3));
    QVERIFY(row.isNull(0) && !row.isNull(1));
}

void TestRow::aValueChangedInPlaceLeavesTheOthers()
{
    Row row(kinds);
    QList<QVariant> expected = kinds;
    // Longer, shorter, another kind, missing: each written in the middle of the row.
    const QList<std::pair<int, QVariant>> changes{
        {3, QString(1000, QLatin1Char('y'))}, {5, QStringLiteral("z")}, {0, 2.0}, {6, QVariant()},
        {kinds.size() - 1, QStringLiteral("last")}};
    for (const auto &[column, value] : changes) {
        row[column] = value;
        expected[column] = value;
        QCOMPARE(row.toList(), expected);
    }
    // Writing past the end fills the gap with missing values.
    row.set(kinds.size() + 2, 9.0);
    expected << QVariant() << QVariant() << 9.0;
    QCOMPARE(row.toList(), expected);
    row.resize(3);
    QCOMPARE(row.toList(), expected.mid(0, 3));
    row.resize(5);
    QCOMPARE(row.toList(), (expected.mid(0, 3) << QVariant() << QVariant()));
    row.clear();
    QVERIFY(row.isEmpty());
    row.emplaceBack();
    row.emplaceBack(3.0);
    row.append(QStringLiteral("a"));
    QCOMPARE(row.toList(), (QList<QVariant>{QVariant(), 3.0, QStringLiteral("a")}));
}

void TestRow::copiesShareUntilOneChanges()
{
    const Row original{QStringLiteral("MARI"), 1.0, 1.0};
    Row copy = original;
    QVERIFY(copy == original);
    copy[0] = QStringLiteral("JAAN");
    QCOMPARE(original.at(0), QVariant(QStringLiteral("MARI")));
    QCOMPARE(copy.at(0), QVariant(QStringLiteral("JAAN")));
    QVERIFY(!(copy == original));
    QVERIFY(!(Row{1.0} == Row{1.0, 2.0}));
}

void TestRow::theWriterBuildsRowAfterRow()
{
    RowWriter writer;
    writer.null();
    writer.number(7);
    writer.text("Pärn", qsizetype(qstrlen("Pärn")));
    writer.text("", 0);
    writer.bytes("\0x", 2);
    writer.value(QDate(2020, 2, 29));
    const Row first = writer.take();
    writer.text("second", 6);
    const Row second = writer.take();
    QCOMPARE(first.toList(), (QList<QVariant>{QVariant(), 7.0, QStringLiteral("Pärn"), QString(), QByteArray("\0x", 2),
                                              QDate(2020, 2, 29)}));
    QCOMPARE(first.at(3).typeId(), QMetaType::QString);
    QCOMPARE(second.toList(), QList<QVariant>{QStringLiteral("second")});
    QVERIFY(writer.take().isEmpty());
}

void TestRow::sameComparesAsTheEngineDoes()
{
    const Row a{QVariant(), 1.0, QStringLiteral("abc"), QByteArray("abc"), 2, QDate(2020, 1, 1)};
    const Row b{QVariant(), 1.0, QStringLiteral("abc"), QByteArray("abc"), 2.0, QDate(2020, 1, 1)};
    for (int i = 0; i < 6; ++i)
        QVERIFY2(Row::same(a, i, b, i), qPrintable(QString::number(i)));
    // A missing value is the same as a missing value only.
    QVERIFY(!Row::same(a, 0, b, 1));
    QVERIFY(!Row::same(a, 1, b, 0));
    // Another number, text, letter case or day is another value.
    QVERIFY(!Row::same(a, 1, Row{1.5}, 0));
    QVERIFY(!Row::same(a, 2, Row{QStringLiteral("ABC")}, 0));
    QVERIFY(!Row::same(a, 2, Row{QStringLiteral("ab")}, 0));
    QVERIFY(!Row::same(a, 5, Row{QDate(2020, 1, 2)}, 0));
    // Across columns of two rows.
    QVERIFY(Row::same(a, 2, Row{QVariant(), QStringLiteral("abc")}, 1));
    // Values outside rows compare alike.
    QVERIFY(Row::same(QVariant(2), QVariant(2.0)) && Row::same(QVariant(), QVariant()));
    QVERIFY(!Row::same(QVariant(), 0.0) && !Row::same(QStringLiteral("abc"), QStringLiteral("ABC")));
}

void TestRow::textIsReadWhereItLies()
{
    const Row row{QStringLiteral("Õie"), 3.0, QVariant()};
    QByteArrayView text;
    QVERIFY(row.textAt(0, &text));
    QCOMPARE(QByteArray(text.data(), text.size()), QStringLiteral("Õie").toUtf8());
    QVERIFY(!row.textAt(1, &text));
    QVERIFY(!row.textAt(2, &text));
    QVERIFY(!row.textAt(3, &text));
}

QTEST_APPLESS_MAIN(TestRow)
#include "tst_row.moc"
