#include "platform/core/NumberFormat.h"
#include "platform/core/StringList.h"

#include <QTest>

using core::StringList;

class TestCore : public QObject {
    Q_OBJECT
private slots:
    void valuesAreFoundWithoutRegardToCase();
    void writingReplacesInPlaceOrAppends();
    void anEmptyValueRemovesTheLine();
    void commaText_data();
    void commaText();
    void commaTextRoundTrips();
    void formatFloat_data();
    void formatFloat();
    void numberText_data();
    void numberText();
};

void TestCore::valuesAreFoundWithoutRegardToCase()
{
    StringList list{QStringLiteral("SERVER NAME=LIVE"), QStringLiteral("PASSWORD=a=b"), QStringLiteral("SCHEMA CACHE DIR=")};
    QCOMPARE(list.value(QStringLiteral("server name")), QStringLiteral("LIVE"));
    QCOMPARE(list.value(QStringLiteral("Password")), QStringLiteral("a=b"));
    QVERIFY(list.hasName(QStringLiteral("schema cache dir")));
    QCOMPARE(list.value(QStringLiteral("schema cache dir")), QString());
    QVERIFY(!list.hasName(QStringLiteral("USER")));
    QVERIFY(list.contains(QStringLiteral("server name=live")));
}

void TestCore::writingReplacesInPlaceOrAppends()
{
    StringList list{QStringLiteral("SERVER NAME=LIVE"), QStringLiteral("USER NAME=vortalix"), QStringLiteral("NET PROTOCOL=TCP/IP")};
    list.setValue(QStringLiteral("user name"), QStringLiteral("system"));
    list.setValue(QStringLiteral("PASSWORD"), QStringLiteral("manager"));
    QCOMPARE(list.lines(), (QStringList{QStringLiteral("SERVER NAME=LIVE"), QStringLiteral("user name=system"),
                                        QStringLiteral("NET PROTOCOL=TCP/IP"), QStringLiteral("PASSWORD=manager")}));
}

void TestCore::anEmptyValueRemovesTheLine()
{
    StringList list{QStringLiteral("A=1"), QStringLiteral("PASSWORD=x"), QStringLiteral("B=2")};
    list.setValue(QStringLiteral("password"), QString());
    QCOMPARE(list.lines(), (QStringList{QStringLiteral("A=1"), QStringLiteral("B=2")}));
    list.setValue(QStringLiteral("missing"), QString());
    QCOMPARE(list.count(), 2);
}

void TestCore::commaText_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QStringList>("items");
    QTest::newRow("empty") << QString() << QStringList();
    QTest::newRow("one quoted") << QStringLiteral("\"LIVE\"") << QStringList{QStringLiteral("LIVE")};
    QTest::newRow("two quoted") << QStringLiteral("\"LIVE\",\"TEST\"") << QStringList{QStringLiteral("LIVE"), QStringLiteral("TEST")};
    QTest::newRow("blank and comma inside quotes")
        << QStringLiteral("\"A B\",\"C,D\"") << QStringList{QStringLiteral("A B"), QStringLiteral("C,D")};
    QTest::newRow("doubled quote") << QStringLiteral("\"say \"\"hi\"\"\"") << QStringList{QStringLiteral("say \"hi\"")};
    QTest::newRow("blanks between items") << QStringLiteral("  \"a\" ,  \"b\"  ") << QStringList{QStringLiteral("a"), QStringLiteral("b")};
    QTest::newRow("plain items split at blanks") << QStringLiteral("a b,c") << QStringList{QStringLiteral("a"), QStringLiteral("b"), QStringLiteral("c")};
    QTest::newRow("empty item between commas") << QStringLiteral("a,,b") << QStringList{QStringLiteral("a"), QString(), QStringLiteral("b")};
    QTest::newRow("unclosed quote takes the rest") << QStringLiteral("\"abc") << QStringList{QStringLiteral("abc")};
}

void TestCore::commaText()
{
    QFETCH(QString, text);
    QFETCH(QStringList, items);
    QCOMPARE(StringList::parseCommaText(text), items);
}

void TestCore::commaTextRoundTrips()
{
    const QStringList items{QStringLiteral("LIVE"), QStringLiteral("two words"), QStringLiteral("a,b"),
                            QStringLiteral("q\"uote"), QString()};
    QCOMPARE(StringList::parseCommaText(StringList::toCommaText(items)), items);
    QCOMPARE(StringList::quoted(QStringLiteral("TEST")), QStringLiteral("\"TEST\""));
}

void TestCore::formatFloat_data()
{
    QTest::addColumn<QString>("picture");
    QTest::addColumn<double>("value");
    QTest::addColumn<QString>("text");
    QTest::newRow("1.5") << QStringLiteral("#.000") << 1.5 << QStringLiteral("1.500");
    QTest::newRow("0.5 has no digit before the point") << QStringLiteral("#.000") << 0.5 << QStringLiteral(".500");
    QTest::newRow("zero") << QStringLiteral("#.000") << 0.0 << QStringLiteral(".000");
    QTest::newRow("rounded") << QStringLiteral("#.000") << 12.3456 << QStringLiteral("12.346");
    QTest::newRow("negative") << QStringLiteral("#.000") << -0.5 << QStringLiteral("-.500");
    QTest::newRow("required integer digit") << QStringLiteral("0.00") << 0.5 << QStringLiteral("0.50");
    QTest::newRow("optional decimals") << QStringLiteral("0.##") << 2.5 << QStringLiteral("2.5");
    QTest::newRow("thousands") << QStringLiteral("#,##0.00") << 1234567.891 << QStringLiteral("1,234,567.89");
    QTest::newRow("literal text") << QStringLiteral("0.0 'EUR'") << 3.0 << QStringLiteral("3.0 EUR");
    QTest::newRow("negative section") << QStringLiteral("0.0;(0.0)") << -2.0 << QStringLiteral("(2.0)");
    QTest::newRow("zero section") << QStringLiteral("0.0;-0.0;'none'") << 0.0 << QStringLiteral("none");
}

void TestCore::formatFloat()
{
    QFETCH(QString, picture);
    QFETCH(double, value);
    QFETCH(QString, text);
    QCOMPARE(core::formatFloat(picture, value), text);
}

void TestCore::numberText_data()
{
    QTest::addColumn<double>("value");
    QTest::addColumn<QString>("text");
    QTest::newRow("whole") << 3.0 << QStringLiteral("3");
    QTest::newRow("fraction") << 1.5 << QStringLiteral("1.5");
    QTest::newRow("negative") << -10.0 << QStringLiteral("-10");
    QTest::newRow("no float noise") << 0.1 + 0.2 << QStringLiteral("0.3");
    QTest::newRow("large") << 123456789012.0 << QStringLiteral("123456789012");
    QTest::newRow("the largest") << 1.7976931348623157e308 << QStringLiteral("1.7976931348623157e+308");
    QTest::newRow("the largest below zero") << -1.7976931348623157e308 << QStringLiteral("-1.7976931348623157e+308");
}

void TestCore::numberText()
{
    QFETCH(double, value);
    QFETCH(QString, text);
    QCOMPARE(core::numberText(value), text);
    double back = 0;
    QVERIFY(core::parseNumber(text, &back));
    QCOMPARE(back, value);
}

QTEST_GUILESS_MAIN(TestCore)
#include "tst_core.moc"
