#include "MainWindowFixture.h"

#include "grants/printlist.h"
#include "platform/report/Output.h"

#include <QDir>
#include <QProcess>
#include <QTemporaryDir>

using report::BandType;

namespace {

// The granted list of a user in the main window's company, as the programs-of-one-user
// window reads it.
std::unique_ptr<db::Query> grantedQuery(const QString &user)
{
    auto q = std::make_unique<db::Query>(
        QStringLiteral("QueryuserProg"), Form1->Database1,
        QStringList{QStringLiteral("select * from vortalix.user_list_db where username=:user and db_name=:db_name "
                                   "order by prog_group, prog_name")},
        nullptr);
    q->paramByName(QStringLiteral("user")).setAsString(user);
    q->paramByName(QStringLiteral("db_name")).setAsString(Form1->QueryDBs->fieldByName(QStringLiteral("db_name")).asString());
    q->open();
    return q;
}

// The report reads this user and list; the company stays the main window's.
void printFor(const QString &user, db::DataSet *list)
{
    FormQRPrintList->grantedList = [=] {
        auto granted = TFormQRPrintList::windowsGrantedList();
        granted.user = user;
        granted.programs = list;
        return granted;
    };
}

QStringList texts(const report::Pages &pages, const QString &item)
{
    QStringList list;
    for (const auto &page : pages.pages) {
        for (const auto &placed : page.items) {
            if (placed.name == item)
                list.append(placed.text);
        }
    }
    return list;
}

const report::PlacedItem &placed(const report::Pages &pages, const QString &item)
{
    for (const auto &page : pages.pages) {
        for (const auto &p : page.items) {
            if (p.name == item)
                return p;
        }
    }
    throw std::runtime_error("no such item");
}

void chooseCompany(int index)
{
    Form1->DBLookupComboBox1->choose(index);
    Form1->DBLookupComboBox1->hidePopup();
    QTest::qWait(20);
}

bool near(double a, double b) { return std::abs(a - b) < 1e-6; }

} // namespace

class TestPrintList : public QObject {
    Q_OBJECT
private slots:
    void theTitleNamesTheCompanyAndTheUser();
    void aFilteredListGivesItsFilterUnderTheLastLine();
    void theReportOnPaper();
};

void TestPrintList::theTitleNamesTheCompanyAndTheUser()
{
    MainWindowFixture f;
    f.connectAs();
    auto list = grantedQuery(QStringLiteral("MARI"));
    printFor(QStringLiteral("MARI"), list.get());
    report::Pages pages = FormQRPrintList->QuickRep1->produce();

    QCOMPARE(texts(pages, QStringLiteral("QRLabel4")),
             QStringList{QStringLiteral("Programs in database VORTA which are granted to user MARI")});
    QCOMPARE(texts(pages, QStringLiteral("QRDBText3")),
             (QStringList{QStringLiteral("Current accounts"), QStringLiteral("Loan application"), QStringLiteral("Loan schedule"),
                          QStringLiteral("Internet bank")}));
    QCOMPARE(texts(pages, QStringLiteral("QRDBText1")),
             (QStringList{QStringLiteral("Accounts"), QStringLiteral("Loans"), QStringLiteral("Loans"), QStringLiteral("Web")}));
    QCOMPARE(texts(pages, QStringLiteral("QRDBText2")).first(), QStringLiteral("ACCOUNTS.EXE"));
    QCOMPARE(texts(pages, QStringLiteral("QRLabel3")), QStringList{QStringLiteral("Program name")});
    QCOMPARE(texts(pages, QStringLiteral("QRLabel2")), QStringList{QStringLiteral("Executable name")});
    QCOMPARE(pages.count(), 1);
    // Unfiltered: no summary, no star.
    QCOMPARE(pages.pages[0].bands.back().type, BandType::Detail);

    // The title sits centred at 4.2, 2.1 mm inside the title band, on A4 with a 25 mm left margin.
    const auto &title = placed(pages, QStringLiteral("QRLabel4"));
    QCOMPARE(title.rect, QRectF(25 + 4.2, 10 + 2.1, 165.6, 5.0));
    QVERIFY(title.alignment & Qt::AlignHCenter);
    QCOMPARE(title.font.pointSizeF(), 12.0);
    QCOMPARE(placed(pages, QStringLiteral("QRDBText3")).font.pointSizeF(), 10.0);
    QCOMPARE(pages.setup.paperSize(), QSizeF(210, 297));
    QVERIFY(near(pages.setup.bandWidth(), 175));

    // Another company in the main window, another title; the list is printed as it is.
    chooseCompany(2); // LIISING
    pages = FormQRPrintList->QuickRep1->produce();
    QCOMPARE(texts(pages, QStringLiteral("QRLabel4")),
             QStringList{QStringLiteral("Programs in database LIISING which are granted to user MARI")});
    QCOMPARE(texts(pages, QStringLiteral("QRDBText3")).size(), 4);

    // A user with nothing granted: title and headings.
    auto none = grantedQuery(QStringLiteral("NOBODY"));
    printFor(QStringLiteral("NOBODY"), none.get());
    pages = FormQRPrintList->QuickRep1->produce();
    QCOMPARE(pages.count(), 1);
    QCOMPARE(pages.pages[0].bands.size(), std::size_t(2));
    QVERIFY(texts(pages, QStringLiteral("QRDBText3")).isEmpty());
}

void TestPrintList::aFilteredListGivesItsFilterUnderTheLastLine()
{
    MainWindowFixture f;
    f.connectAs();
    auto list = grantedQuery(QStringLiteral("MARI"));
    list->setFilter(QStringLiteral("PROG_GROUP='Loans'"));
    list->setFiltered(true);
    printFor(QStringLiteral("MARI"), list.get());

    // Produced twice, as for the preview and then the print: one star.
    FormQRPrintList->QuickRep1->produce();
    report::Pages pages = FormQRPrintList->QuickRep1->produce();
    QCOMPARE(texts(pages, QStringLiteral("QRLabel4")),
             QStringList{QStringLiteral("Programs in database VORTA which are granted to user MARI*")});
    QCOMPARE(texts(pages, QStringLiteral("QRDBText3")), (QStringList{QStringLiteral("Loan application"), QStringLiteral("Loan schedule")}));
    const auto &bands = pages.pages[0].bands;
    QCOMPARE(bands.back().type, BandType::Summary);
    QVERIFY(near(bands.back().rect.top(), 10 + 10.6 + 10.6 + 2 * 5.0));
    QCOMPARE(texts(pages, QStringLiteral("QRLabel6")), QStringList{QStringLiteral("* Filter=")});
    QCOMPARE(texts(pages, QStringLiteral("QRLabel5")), QStringList{QStringLiteral("PROG_GROUP='Loans'")});
    const auto &filter = placed(pages, QStringLiteral("QRLabel5"));
    QVERIFY(filter.font.italic());
    QVERIFY(!placed(pages, QStringLiteral("QRLabel6")).font.italic());
    QVERIFY(near(filter.rect.left(), 25 + 16.9));
    QVERIFY(placed(pages, QStringLiteral("QRLabel6")).rect.right() < filter.rect.left());

    // The filter switched off: the star and the footnote go.
    list->setFiltered(false);
    pages = FormQRPrintList->QuickRep1->produce();
    QCOMPARE(texts(pages, QStringLiteral("QRLabel4")),
             QStringList{QStringLiteral("Programs in database VORTA which are granted to user MARI")});
    QVERIFY(texts(pages, QStringLiteral("QRLabel5")).isEmpty());
    QCOMPARE(texts(pages, QStringLiteral("QRDBText3")).size(), 4);
}

void TestPrintList::theReportOnPaper()
{
    MainWindowFixture f;
    f.connectAs();
    auto list = grantedQuery(QStringLiteral("MARI"));
    list->setFilter(QStringLiteral("PROG_GROUP='Loans'"));
    list->setFiltered(true);
    printFor(QStringLiteral("MARI"), list.get());

    const QTemporaryDir dir;
    QString file = dir.filePath(QStringLiteral("granted.pdf"));
    const QString shots = qEnvironmentVariable("USERPR_SCREENSHOTS");
    if (!shots.isEmpty()) {
        QDir().mkpath(shots);
        file = QDir(shots).filePath(QStringLiteral("granted-programs.pdf"));
    }
    QCOMPARE(report::writePdf(*FormQRPrintList->QuickRep1, file), 1);
    QProcess text;
    text.start(QStringLiteral("pdftotext"), {QStringLiteral("-layout"), file, QStringLiteral("-")});
    QVERIFY2(text.waitForFinished(60000) && text.exitCode() == 0, "pdftotext (poppler-utils) must run");
    const QString page = QString::fromUtf8(text.readAllStandardOutput());
    QVERIFY(page.contains(QStringLiteral("Programs in database VORTA which are granted to user MARI*")));
    QVERIFY(QRegularExpression(QStringLiteral("Group\\s+Program name\\s+Executable name")).match(page).hasMatch());
    QVERIFY(QRegularExpression(QStringLiteral("Loans\\s+Loan application\\s+LOANAPP\\.EXE")).match(page).hasMatch());
    QVERIFY(QRegularExpression(QStringLiteral("\\* Filter=\\s*PROG_GROUP='Loans'")).match(page).hasMatch());
    QVERIFY(page.indexOf(QStringLiteral("Loan schedule")) < page.indexOf(QStringLiteral("* Filter=")));
}

QTEST_MAIN(TestPrintList)
#include "tst_printlist.moc"
