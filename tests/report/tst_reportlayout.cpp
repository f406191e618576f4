#include "ReportFixture.h"

#include "platform/db/DbError.h"

#include <QGuiApplication>

using report::BandType;
using report::Pages;

namespace {

constexpr double bottom = 297 - 10; // where the bottom margin begins
constexpr double fuzz = 1e-6;

bool near(double a, double b) { return std::abs(a - b) < fuzz; }

} // namespace

class TestReportLayout : public QObject {
    Q_OBJECT
private slots:
    void aPageSetUpInMillimetres();
    void anEmptyListPrintsTheBandsAroundIt_data();
    void anEmptyListPrintsTheBandsAroundIt();
    void nothingAtAllWhenEmptyIsNotPrinted();
    void oneLinePerVisibleRowInTheDatasetsOrder();
    void aLongListRepeatsTheHeadingsOnEveryPage();
    void theSummaryGoesToANewPageWhenTheLastOneIsFull();
    void aBandTallerThanThePageStandsAlone();
    void aLongValueStaysInItsBoxAndTheLineKeepsItsHeight();
    void itemsSizedToTheirText();
    void columnsFillLeftToRight();
    void theHookRunsEachTimeTheReportIsProduced();
    void aColumnTheDatasetLacksIsAnError();
};

void TestReportLayout::aPageSetUpInMillimetres()
{
    report::PageSetup setup;
    setup.margins = QMarginsF(25, 10, 10, 10);
    QCOMPARE(setup.paperSize(), QSizeF(210, 297));
    QVERIFY(near(setup.bandWidth(), 175));
    setup.orientation = QPageLayout::Landscape;
    QCOMPARE(setup.paperSize(), QSizeF(297, 210));
    QVERIFY(near(setup.bandWidth(), 262));
    setup.columns = 2;
    setup.columnSpace = 2;
    QVERIFY(near(setup.bandWidth(), 130));

    // A printer's paper replaces the paper, orientation and margins, and nothing else.
    const QPageLayout letter(QPageSize(QPageSize::Letter), QPageLayout::Portrait, QMarginsF(5, 6, 7, 8), QPageLayout::Millimeter);
    const report::PageSetup onLetter = setup.withPaperOf(letter);
    QCOMPARE(onLetter.paper.id(), QPageSize::Letter);
    QCOMPARE(onLetter.orientation, QPageLayout::Portrait);
    QVERIFY(near(onLetter.margins.left(), 5) && near(onLetter.margins.bottom(), 8));
    QCOMPARE(onLetter.columns, 2);
    QCOMPARE(setup.pageLayout().mode(), QPageLayout::FullPageMode);
}

void TestReportLayout::anEmptyListPrintsTheBandsAroundIt_data()
{
    QTest::addColumn<bool>("summary");
    QTest::newRow("unfiltered") << false;
    QTest::newRow("filtered") << true;
}

void TestReportLayout::anEmptyListPrintsTheBandsAroundIt()
{
    QFETCH(bool, summary);
    ListReport r;
    r.fill(0);
    r.summary->enabled = summary;
    const Pages pages = report::layout(r.report);
    QCOMPARE(pages.count(), 1);
    const auto &page = pages.pages[0];
    QList<BandType> expected{BandType::Title, BandType::ColumnHeader};
    if (summary)
        expected.append(BandType::Summary);
    QCOMPARE(bandTypes(page), expected);
    // Bands stack from the top margin, across the printable width.
    QCOMPARE(page.bands[0].rect, QRectF(25, 10, 175, 10.6));
    QVERIFY(near(page.bands[1].rect.top(), 20.6));
    if (summary) {
        QVERIFY(near(page.bands[2].rect.top(), 31.2));
        QCOMPARE(textsOf(page, QStringLiteral("Star")), QStringList{QStringLiteral("* Filter=")});
    }
    QVERIFY(textsOf(page, QStringLiteral("F2")).isEmpty());

    // A closed dataset or none at all has no rows either.
    r.data.close();
    QCOMPARE(bandTypes(report::layout(r.report).pages[0]), expected);
    r.report.dataSet = nullptr;
    QCOMPARE(bandTypes(report::layout(r.report).pages[0]), expected);
}

void TestReportLayout::nothingAtAllWhenEmptyIsNotPrinted()
{
    ListReport r;
    r.report.printIfEmpty = false;
    r.fill(0);
    QCOMPARE(report::layout(r.report).count(), 0);
    r.fill(1);
    QCOMPARE(report::layout(r.report).count(), 1);
}

void TestReportLayout::oneLinePerVisibleRowInTheDatasetsOrder()
{
    ListReport r;
    r.data.addRow({QStringLiteral("B"), QStringLiteral("second"), QStringLiteral("b.exe")});
    r.data.addRow({QStringLiteral("A"), QStringLiteral("first"), QString()});
    r.data.addRow({QStringLiteral("B"), QStringLiteral("third"), QStringLiteral("c.exe")});
    r.data.open();
    r.data.last(); // the cursor is where the window left it, and stays there
    r.summary->enabled = false;

    auto page = report::layout(r.report).pages.at(0);
    QCOMPARE(textsOf(page, QStringLiteral("F2")), (QStringList{QStringLiteral("second"), QStringLiteral("first"), QStringLiteral("third")}));
    QCOMPARE(textsOf(page, QStringLiteral("F3")), (QStringList{QStringLiteral("b.exe"), QString(), QStringLiteral("c.exe")}));
    QCOMPARE(r.data.recNo(), 2);
    // Each detail band names its row and sits right below the one before.
    QCOMPARE(page.bands.back().row, 2);
    QVERIFY(near(page.bands[3].rect.top(), page.bands[2].rect.bottom()));

    r.data.setFilter(QStringLiteral("GRP='B'"));
    r.data.setFiltered(true);
    page = report::layout(r.report).pages.at(0);
    QCOMPARE(textsOf(page, QStringLiteral("F2")), (QStringList{QStringLiteral("second"), QStringLiteral("third")}));
    QCOMPARE(textsOf(page, QStringLiteral("F1")), (QStringList{QStringLiteral("B"), QStringLiteral("B")}));
}

void TestReportLayout::aLongListRepeatsTheHeadingsOnEveryPage()
{
    ListReport r;
    r.fill(200);
    r.summary->enabled = false;
    const Pages pages = report::layout(r.report);
    // The first page holds (287 - 31.2) / 5 = 51 lines, the others (287 - 20.6) / 5 = 53.
    QCOMPARE(pages.count(), 4);
    QStringList all;
    for (int p = 0; p < pages.count(); ++p) {
        const auto &page = pages.pages[std::size_t(p)];
        const auto types = bandTypes(page);
        QCOMPARE(types.count(BandType::Title), p == 0 ? 1 : 0);
        QCOMPARE(types.count(BandType::ColumnHeader), 1);
        const int headings = p == 0 ? 1 : 0;
        QCOMPARE(types[headings], BandType::ColumnHeader);
        QVERIFY(near(page.bands[std::size_t(headings)].rect.top(), p == 0 ? 20.6 : 10));
        QCOMPARE(textsOf(page, QStringLiteral("H2")), QStringList{QStringLiteral("Name")});
        for (const auto &band : page.bands)
            QVERIFY2(band.rect.bottom() <= bottom + fuzz, qPrintable(QString::number(band.rect.bottom())));
        const QStringList names = textsOf(page, QStringLiteral("F2"));
        QCOMPARE(names.size(), p == 0 ? 51 : p < 3 ? 53 : 200 - 51 - 2 * 53);
        all += names;
    }
    QCOMPARE(all.size(), 200);
    for (int i = 0; i < all.size(); ++i)
        QCOMPARE(all[i], QStringLiteral("Program %1").arg(i + 1));
}

void TestReportLayout::theSummaryGoesToANewPageWhenTheLastOneIsFull()
{
    ListReport r;
    r.fill(51); // fills the first page to 286.2 mm
    Pages pages = report::layout(r.report);
    QCOMPARE(pages.count(), 2);
    QCOMPARE(bandTypes(pages.pages[1]), (QList<BandType>{BandType::ColumnHeader, BandType::Summary}));
    QVERIFY(near(pages.pages[1].bands[1].rect.top(), 20.6));

    r.fill(50); // 281.2 + 10.6 = 291.8 mm: still too low
    QCOMPARE(report::layout(r.report).count(), 2);
    r.fill(49); // 276.2 + 10.6 = 286.8
    pages = report::layout(r.report);
    QCOMPARE(pages.count(), 1);
    QCOMPARE(bandTypes(pages.pages[0]).back(), BandType::Summary);
}

void TestReportLayout::aBandTallerThanThePageStandsAlone()
{
    ListReport r;
    r.detail->height = 400;
    r.summary->enabled = false;
    r.fill(3);
    const Pages pages = report::layout(r.report);
    QCOMPARE(pages.count(), 3);
    for (int p = 0; p < 3; ++p)
        QCOMPARE(textsOf(pages.pages[std::size_t(p)], QStringLiteral("F2")), QStringList{QStringLiteral("Program %1").arg(p + 1)});
}

void TestReportLayout::aLongValueStaysInItsBoxAndTheLineKeepsItsHeight()
{
    ListReport r;
    const QString longName = QStringLiteral("A program name far wider than the column that holds it, W W W W W W W W");
    r.data.addRow({QStringLiteral("G"), longName, QStringLiteral("a.exe")});
    r.data.addRow({QStringLiteral("G"), QStringLiteral("short"), QStringLiteral("b.exe")});
    r.data.open();
    QVERIFY(report::textSize(longName, r.report.font).width() > 74.35);

    const auto page = report::layout(r.report).pages.at(0);
    const auto *name = findItem(page, QStringLiteral("F2"));
    QVERIFY(name);
    QCOMPARE(name->text, longName);
    QCOMPARE(name->rect, QRectF(25 + 31.75, 31.2, 74.35, 4.5));
    QVERIFY(name->clip);
    QVERIFY(!name->wordWrap);
    QVERIFY(near(page.bands[3].rect.top() - page.bands[2].rect.top(), 5.0));
    QVERIFY(near(page.bands[2].rect.height(), 5.0));
}

void TestReportLayout::itemsSizedToTheirText()
{
    ListReport r;
    r.fill(0);
    r.filterText->text = QStringLiteral("PROG_GROUP='Kassa*'");
    r.filterText->font = QFont(QStringLiteral("Arial"), 10, QFont::Normal, true);
    const auto page = report::layout(r.report).pages.at(0);
    const auto *star = findItem(page, QStringLiteral("Star"));
    const auto *filter = findItem(page, QStringLiteral("FilterText"));
    QVERIFY(star && filter);
    QCOMPARE(filter->text, QStringLiteral("PROG_GROUP='Kassa*'"));
    QVERIFY(filter->font.italic());
    QVERIFY(!star->font.italic());
    // Sized to the text: the box starts where it was put and ends with the text; a line
    // of 10 points is between 3 and 5.5 mm high in any common font.
    QCOMPARE(star->rect.topLeft(), QPointF(25 + 2.1, 31.2 + 2.1));
    QVERIFY(star->rect.width() > 5 && star->rect.right() < filter->rect.left());
    QVERIFY(star->rect.height() > 3 && star->rect.height() < 5.5);
    QVERIFY(filter->rect.width() > star->rect.width());

    // Twice the text, twice the width; right alignment keeps the right edge, and a
    // wrapped text keeps its width and grows downwards.
    const QFont font(QStringLiteral("Arial"), 10);
    const double one = report::textSize(QStringLiteral("WWWW"), font).width();
    const double two = report::textSize(QStringLiteral("WWWWWWWW"), font).width();
    QVERIFY(std::abs(two - 2 * one) < 0.02 * two);
    auto &right = r.title->addText(QStringLiteral("Right"), QRectF(100, 0, 50, 4), QStringLiteral("WWWW"));
    right.autoSize = true;
    right.alignment = Qt::AlignRight;
    auto &wrapped = r.title->addText(QStringLiteral("Wrapped"), QRectF(0, 0, 20, 4), QStringLiteral("word ").repeated(20));
    wrapped.autoSize = true;
    wrapped.wordWrap = true;
    const auto again = report::layout(r.report).pages.at(0);
    const auto *placedRight = findItem(again, QStringLiteral("Right"));
    QVERIFY(near(placedRight->rect.right(), 25 + 150));
    QVERIFY(std::abs(placedRight->rect.width() - one) < 0.01);
    const auto *placedWrapped = findItem(again, QStringLiteral("Wrapped"));
    QVERIFY(near(placedWrapped->rect.width(), 20));
    QVERIFY(placedWrapped->rect.height() > 3 * star->rect.height());
}

void TestReportLayout::columnsFillLeftToRight()
{
    ListReport r;
    r.report.page.columns = 2;
    r.report.page.columnSpace = 5;
    r.summary->enabled = false;
    r.fill(120); // 51 + 51 on the first page, then 18 in the first column of the second
    const Pages pages = report::layout(r.report);
    QCOMPARE(pages.count(), 2);
    const auto &first = pages.pages[0];
    QCOMPARE(bandTypes(first).count(BandType::ColumnHeader), 2);
    double secondColumn = 0;
    int inSecond = 0;
    for (const auto &band : first.bands) {
        QVERIFY(near(band.rect.width(), 85));
        if (band.rect.left() > 25 + fuzz) {
            secondColumn = band.rect.left();
            inSecond += band.type == BandType::Detail;
        }
        QVERIFY(band.rect.bottom() <= bottom + fuzz);
    }
    QVERIFY(near(secondColumn, 25 + 85 + 5));
    QCOMPARE(inSecond, 51);
    QCOMPARE(textsOf(first, QStringLiteral("F2")).at(51), QStringLiteral("Program 52"));
    QCOMPARE(textsOf(pages.pages[1], QStringLiteral("F2")).size(), 18);
}

void TestReportLayout::theHookRunsEachTimeTheReportIsProduced()
{
    ListReport r;
    r.fill(2);
    int runs = 0;
    r.report.beforePrint = [&](report::Report &rep) {
        ++runs;
        rep.band(QStringLiteral("Summary"))->enabled = false;
        rep.item(QStringLiteral("TitleText"))->text = QStringLiteral("Run %1").arg(runs);
    };
    QCOMPARE(report::layout(r.report).pages[0].bands.back().type, BandType::Summary); // no hook here
    QCOMPARE(runs, 0);
    Pages pages = r.report.produce();
    QCOMPARE(runs, 1);
    QCOMPARE(textsOf(pages.pages[0], QStringLiteral("TitleText")), QStringList{QStringLiteral("Run 1")});
    QCOMPARE(pages.pages[0].bands.back().type, BandType::Detail);
    pages = r.report.produce();
    QCOMPARE(textsOf(pages.pages[0], QStringLiteral("TitleText")), QStringList{QStringLiteral("Run 2")});

    r.report.beforePrint = [](report::Report &) { throw db::DbError(QStringLiteral("no list")); };
    QVERIFY_THROWS_EXCEPTION(db::DbError, r.report.produce());
}

void TestReportLayout::aColumnTheDatasetLacksIsAnError()
{
    ListReport r;
    r.nameField->fieldName = QStringLiteral("MISSING");
    r.fill(1);
    QVERIFY_THROWS_EXCEPTION(db::DbError, report::layout(r.report));
    r.data.close(); // without rows nothing is looked up
    QCOMPARE(report::layout(r.report).count(), 1);
}

QTEST_MAIN(TestReportLayout)
#include "tst_reportlayout.moc"
