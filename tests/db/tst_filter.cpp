#include "TempServers.h"

#include "platform/db/DbError.h"
#include "platform/db/Query.h"
#include "platform/db/RecordFilter.h"

#include <QTest>

using namespace db;

namespace {

Row row(const QString &name, const QVariant &number)
{
    return Row{name, number};
}

QString errorOf(const std::function<void()> &f)
{
    try {
        f();
    } catch (const DbError &e) {
        return e.text();
    }
    return QString();
}

} // namespace

class TestFilter : public QObject {
    Q_OBJECT
private slots:
    void matching_data();
    void matching();
    void parseErrorsNameThePosition_data();
    void parseErrorsNameThePosition();
    void aDataSetFiltersWithoutReopening();
    void aBadTextChangesNothing();
    void unknownColumns();
};

void TestFilter::matching_data()
{
    QTest::addColumn<QString>("filter");
    QTest::addColumn<bool>("caseInsensitive");
    QTest::addColumn<QString>("name");
    QTest::addColumn<double>("number");
    QTest::addColumn<bool>("passes");
    QTest::newRow("exact") << "NAME='abc'" << false << "abc" << 1.0 << true;
    QTest::newRow("exact is not prefix") << "NAME='abc'" << false << "abcd" << 1.0 << false;
    QTest::newRow("case kept") << "NAME='abc'" << false << "ABC" << 1.0 << false;
    QTest::newRow("case ignored") << "NAME='abc'" << true << "ABC" << 1.0 << true;
    QTest::newRow("prefix") << "NAME='ab*'" << false << "abcd" << 1.0 << true;
    QTest::newRow("prefix ignoring case") << "name='ab*'" << true << "ABxyz" << 1.0 << true;
    QTest::newRow("prefix fails") << "NAME='ab*'" << false << "xab" << 1.0 << false;
    QTest::newRow("star alone matches all") << "NAME='*'" << false << "anything" << 1.0 << true;
    QTest::newRow("star inside is a letter") << "NAME='a*c'" << false << "abc" << 1.0 << false;
    QTest::newRow("doubled quote") << "NAME='O''Brien'" << false << "O'Brien" << 1.0 << true;
    QTest::newRow("doubled quote and prefix") << "NAME='O''B*'" << false << "O'Brien" << 1.0 << true;
    QTest::newRow("blanks compare as blanks") << "NAME='   '" << false << "   " << 1.0 << true;
    QTest::newRow("blanks are not empty") << "NAME='   '" << false << "" << 1.0 << false;
    QTest::newRow("number") << "NUMBER=10" << false << "x" << 10.0 << true;
    QTest::newRow("number differs") << "NUMBER=1" << false << "x" << 10.0 << false;
    QTest::newRow("number as text") << "NUMBER='1*'" << false << "x" << 10.0 << true;
    QTest::newRow("quoted number as shown") << "NUMBER='1.500'" << false << "x" << 1.5 << true;
    QTest::newRow("quoted number without zeros") << "NUMBER='1.5'" << false << "x" << 1.5 << true;
    QTest::newRow("quoted number differs") << "NUMBER='1.500'" << false << "x" << 1.25 << false;
    QTest::newRow("quoted number, no digit before the point") << "NUMBER='.500'" << false << "x" << 0.5 << true;
    QTest::newRow("quoted number with a decimal comma") << "NUMBER='1,5'" << false << "x" << 1.5 << true;
    QTest::newRow("a comma is the decimal point, not a group") << "NUMBER=' 1,500 '" << false << "x" << 1.5 << true;
    QTest::newRow("decimal comma differs") << "NUMBER='1,5'" << false << "x" << 15.0 << false;
    QTest::newRow("prefix of a number stays text") << "NUMBER='1.50*'" << false << "x" << 1.5 << false;
    QTest::newRow("quoted text on a number column") << "NUMBER='abc'" << false << "x" << 1.5 << false;
    QTest::newRow("quoted number on a text column is text") << "NAME='1.500'" << false << "1.5" << 1.0 << false;
    QTest::newRow("both terms") << "NAME='ab*' and NUMBER=3" << false << "abc" << 3.0 << true;
    QTest::newRow("one term fails") << "NAME='ab*' and NUMBER=3" << false << "abc" << 4.0 << false;
    QTest::newRow("AND in capitals") << "NAME='abc' AND NUMBER=3" << false << "abc" << 3.0 << true;
    QTest::newRow("empty filter") << "" << false << "abc" << 3.0 << true;
    QTest::newRow("empty value matches no value") << "NAME=''" << false << "" << 3.0 << true;
}

void TestFilter::matching()
{
    QFETCH(QString, filter);
    QFETCH(bool, caseInsensitive);
    QFETCH(QString, name);
    QFETCH(double, number);
    QFETCH(bool, passes);
    RecordFilter f = RecordFilter::parse(filter);
    f.bind([](const QString &n) { return n.compare(QLatin1String("name"), Qt::CaseInsensitive) == 0 ? 0
                                      : n.compare(QLatin1String("number"), Qt::CaseInsensitive) == 0 ? 1 : -1; },
           [](int c) { return c == 0 ? FieldType::String : FieldType::Float; });
    QCOMPARE(f.matches(row(name.isEmpty() ? QString() : name, number), caseInsensitive), passes);
}

void TestFilter::parseErrorsNameThePosition_data()
{
    QTest::addColumn<QString>("filter");
    QTest::addColumn<int>("position");
    QTest::newRow("no equals") << "NAME 'x'" << 6;
    QTest::newRow("unclosed quote") << "NAME='abc" << 10;
    QTest::newRow("quote cut by a single quote") << "NAME='O'Brien'" << 9;
    QTest::newRow("no value") << "NAME=" << 6;
    QTest::newRow("trailing and") << "NAME='a' and " << 14;
    QTest::newRow("or is not known") << "NAME='a' or NUMBER=1" << 10;
    QTest::newRow("missing column") << "='a'" << 1;
}

void TestFilter::parseErrorsNameThePosition()
{
    QFETCH(QString, filter);
    QFETCH(int, position);
    const QString error = errorOf([&] { RecordFilter::parse(filter); });
    QVERIFY2(error.contains(QStringLiteral("at position %1:").arg(position)), qPrintable(error));
}

void TestFilter::aDataSetFiltersWithoutReopening()
{
    testsupport::TempServers servers;
    auto c = servers.connect();
    Query q;
    q.setConnection(c.get());
    q.setSql({QStringLiteral("select prog_id, prog_author, prog_type from vortalix_prog order by prog_id")});
    q.setFilter(QStringLiteral("Prog_Author='ka*'"));
    QCOMPARE(q.filter(), QStringLiteral("Prog_Author='ka*'"));
    q.open();
    QCOMPARE(q.recordCount(), 30); // the text alone filters nothing
    q.setFilterCaseInsensitive(true);
    q.setFiltered(true);
    QVERIFY(q.filtered());
    QCOMPARE(q.recordCount(), 2);
    q.setFilterCaseInsensitive(false);
    QCOMPARE(q.recordCount(), 0);
    q.setFilterCaseInsensitive(true);
    q.setFilter(QStringLiteral("Prog_Author='Kask' and prog_type='2'"));
    QCOMPARE(q.recordCount(), 1);
    QCOMPARE(q.fieldByName(QStringLiteral("PROG_ID")).asFloat(), 3.0);
    q.setFiltered(false);
    QCOMPARE(q.recordCount(), 30);
    QCOMPARE(q.fieldByName(QStringLiteral("PROG_ID")).asFloat(), 3.0); // the row stays current
    // The filter's text and switch outlive closing.
    q.setFiltered(true);
    q.close();
    QVERIFY(q.filtered());
    q.open();
    QCOMPARE(q.recordCount(), 1);
}

void TestFilter::aBadTextChangesNothing()
{
    testsupport::TempServers servers;
    auto c = servers.connect();
    Query q;
    q.setConnection(c.get());
    q.setSql({QStringLiteral("select prog_id, prog_group from vortalix_prog")});
    q.open();
    q.setFilter(QStringLiteral("prog_group='Loans'"));
    q.setFiltered(true);
    QCOMPARE(q.recordCount(), 4);
    QVERIFY(errorOf([&] { q.setFilter(QStringLiteral("prog_group='Loans")); }).contains(QLatin1String("position")));
    QCOMPARE(q.filter(), QStringLiteral("prog_group='Loans'"));
    QCOMPARE(q.recordCount(), 4);
    q.setFiltered(false);
    q.setFilter(QStringLiteral("prog_group=="));
    QVERIFY(!errorOf([&] { q.setFiltered(true); }).isEmpty());
    QVERIFY(!q.filtered());
    QCOMPARE(q.recordCount(), 30);
}

void TestFilter::unknownColumns()
{
    testsupport::TempServers servers;
    auto c = servers.connect();
    Query q;
    q.setConnection(c.get());
    q.setSql({QStringLiteral("select prog_id from vortalix_prog")});
    q.setFilter(QStringLiteral("author='x'"));
    q.setFiltered(true);
    QCOMPARE(errorOf([&] { q.open(); }), QStringLiteral("Field 'author' not found"));
    QVERIFY(!q.active());
}

QTEST_GUILESS_MAIN(TestFilter)
#include "tst_filter.moc"
