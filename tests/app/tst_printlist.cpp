#include "MainWindowFixture.h"

#include "grants/printlist.h"
#include "grants/progpas.h"
#include "platform/report/Output.h"

#include <QDir>
#include <QPrintPreviewDialog>
#include <QPrintPreviewWidget>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>

using report::BandType;

namespace {

// Shows the programs of one user with "U", types the name and leaves the field with Tab,
// which loads the lists.
void loadUser(const QString &user)
{
    if (!FormProg->isVisible()) {
        MainWindowFixture::activate();
        Form1->BitBtn2->click();
        FormProg->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(FormProg));
    }
    FormProg->Edit1->setFocus();
    QTRY_COMPARE(QApplication::focusWidget(), static_cast<QWidget *>(FormProg->Edit1));
    FormProg->Edit1->selectAll();
    QTest::keyClicks(FormProg->Edit1, user);
    QTest::keyClick(FormProg->Edit1, Qt::Key_Tab);
    QVERIFY(FormProg->QueryuserProg->active());
}

report::Pages produce()
{
    return FormQRPrintList->QuickRep1->produce();
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

QString title(const report::Pages &pages)
{
    const QStringList titles = texts(pages, QStringLiteral("QRLabel4"));
    return titles.size() == 1 ? titles.first() : QStringLiteral("%1 titles").arg(titles.size());
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

// The register narrowed to the loans, as the filter dialog leaves it.
void filterRegister()
{
    Form1->userprogTable->setFilter(QStringLiteral("PROG_GROUP='Loans'"));
    Form1->userprogTable->setFiltered(true);
}

bool near(double a, double b) { return std::abs(a - b) < 1e-6; }

const QString mariInVorta = QStringLiteral("Programs in database VORTA which are granted to user MARI");
const QStringList mariGranted{QStringLiteral("Current accounts"), QStringLiteral("Loan application"),
                              QStringLiteral("Loan schedule"), QStringLiteral("Internet bank")};

} // namespace

class TestPrintList : public QObject {
    Q_OBJECT
private slots:
    void theTitleNamesTheCompanyAndTheUserOfTheList();
    void aFilteredListGivesItsFilterUnderTheLastLine();
    void printOpensThePreviewOverTheGrantedList();
    void theReportOnPaper();
};

void TestPrintList::theTitleNamesTheCompanyAndTheUserOfTheList()
{
    MainWindowFixture f;
    f.connectAs();
    loadUser(QStringLiteral("mari"));
    report::Pages pages = produce();

    QCOMPARE(title(pages), mariInVorta);
    QCOMPARE(texts(pages, QStringLiteral("QRDBText3")), mariGranted);
    QCOMPARE(texts(pages, QStringLiteral("QRDBText1")),
             (QStringList{QStringLiteral("Accounts"), QStringLiteral("Loans"), QStringLiteral("Loans"), QStringLiteral("Web")}));
    QCOMPARE(texts(pages, QStringLiteral("QRDBText2")).first(), QStringLiteral("ACCOUNTS.EXE"));
    QCOMPARE(texts(pages, QStringLiteral("QRLabel1")), QStringList{QStringLiteral("Group")});
    QCOMPARE(texts(pages, QStringLiteral("QRLabel3")), QStringList{QStringLiteral("Program name")});
    QCOMPARE(texts(pages, QStringLiteral("QRLabel2")), QStringList{QStringLiteral("Executable name")});
    QCOMPARE(pages.count(), 1);
    QCOMPARE(pages.pages[0].bands.back().type, BandType::Detail); // unfiltered: no footnote

    // The title sits centred at 4.2, 2.1 mm inside the title band, on A4 with a 25 mm left margin.
    const auto &heading = placed(pages, QStringLiteral("QRLabel4"));
    QCOMPARE(heading.rect, QRectF(25 + 4.2, 10 + 2.1, 165.6, 5.0));
    QVERIFY(heading.alignment & Qt::AlignHCenter);
    QCOMPARE(heading.font.pointSizeF(), 12.0);
    QCOMPARE(placed(pages, QStringLiteral("QRDBText3")).font.pointSizeF(), 10.0);
    QCOMPARE(placed(pages, QStringLiteral("QRDBText3")).rect, QRectF(25 + 31.75, 10 + 10.6 + 10.6, 74.35, 4.5));
    QCOMPARE(pages.setup.paperSize(), QSizeF(210, 297));
    QVERIFY(near(pages.setup.bandWidth(), 175));

    // Another name typed but not loaded, another company chosen: the lists still hold
    // MARI's grants in VORTA, and the title says so.
    FormProg->Edit1->setText(QStringLiteral("JAAN"));
    chooseCompany(2); // LIISING
    pages = produce();
    QCOMPARE(title(pages), mariInVorta);
    QCOMPARE(texts(pages, QStringLiteral("QRDBText3")), mariGranted);
    loadUser(QStringLiteral("MARI"));
    QCOMPARE(title(produce()), QStringLiteral("Programs in database LIISING which are granted to user MARI"));

    // A user with nothing granted: title and headings.
    loadUser(QStringLiteral("NOBODY"));
    pages = produce();
    QCOMPARE(title(pages), QStringLiteral("Programs in database LIISING which are granted to user NOBODY"));
    QCOMPARE(pages.count(), 1);
    QCOMPARE(pages.pages[0].bands.size(), std::size_t(2));
    QVERIFY(texts(pages, QStringLiteral("QRDBText3")).isEmpty());
}

void TestPrintList::aFilteredListGivesItsFilterUnderTheLastLine()
{
    MainWindowFixture f;
    f.connectAs();
    filterRegister();
    loadUser(QStringLiteral("MARI"));
    QVERIFY(FormProg->QueryuserProg->filtered());

    // Produced twice, as for the preview and then the print: one star.
    produce();
    report::Pages pages = produce();
    QCOMPARE(title(pages), mariInVorta + QLatin1Char('*'));
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

    // "Apply filter" unticked: the lists are read unfiltered, the star and the footnote go.
    FormProg->CheckBox1->click();
    QVERIFY(!FormProg->QueryuserProg->filtered());
    pages = produce();
    QCOMPARE(title(pages), mariInVorta);
    QVERIFY(texts(pages, QStringLiteral("QRLabel5")).isEmpty());
    QCOMPARE(texts(pages, QStringLiteral("QRDBText3")), mariGranted);
}

void TestPrintList::printOpensThePreviewOverTheGrantedList()
{
    MainWindowFixture f;
    f.connectAs();
    MainWindowFixture::activate();
    Form1->BitBtn2->click();
    QVERIFY(FormProg->isVisible());
    // Nothing to print before the granted list is loaded.
    QVERIFY(!FormProg->SpeedButton2->isEnabled());
    loadUser(QStringLiteral("MARI"));
    QVERIFY(FormProg->SpeedButton2->isEnabled());
    FormProg->QueryuserProg->setRecNo(2);

    testsupport::ModalDriver driver;
    driver.then([](QWidget *dialog) {
        QVERIFY(qobject_cast<QPrintPreviewDialog *>(dialog));
        QCOMPARE(dialog->parentWidget(), static_cast<QWidget *>(FormProg));
        QCOMPARE(dialog->windowTitle(), QStringLiteral("Granted programs"));
        auto *view = dialog->findChild<QPrintPreviewWidget *>();
        QTRY_COMPARE(view->pageCount(), 1);
        QCOMPARE(FormQRPrintList->QuickRep1->dataSet, static_cast<db::DataSet *>(FormProg->QueryuserProg));
        testsupport::screenshot(dialog, QStringLiteral("printlist-preview"));
        qobject_cast<QDialog *>(dialog)->reject();
    });
    FormProg->SpeedButton2->click();
    QCOMPARE(driver.pending(), 0);
    QVERIFY(f.messages.entries().isEmpty());
    // The list is as the window left it.
    QCOMPARE(FormProg->QueryuserProg->recNo(), 2);
    QCOMPARE(FormProg->QueryuserProg->recordCount(), 4);

    // Hiding the window closes the lists, and the next showing offers no print until the
    // list is loaded again.
    FormProg->hide();
    Form1->BitBtn2->click();
    QVERIFY(!FormProg->SpeedButton2->isEnabled());
}

void TestPrintList::theReportOnPaper()
{
    MainWindowFixture f;
    f.connectAs();
    filterRegister();
    loadUser(QStringLiteral("MARI"));

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
    QVERIFY(page.contains(mariInVorta + QLatin1Char('*')));
    QVERIFY(QRegularExpression(QStringLiteral("Group\\s+Program name\\s+Executable name")).match(page).hasMatch());
    QVERIFY(QRegularExpression(QStringLiteral("Loans\\s+Loan application\\s+LOANAPP\\.EXE")).match(page).hasMatch());
    QVERIFY(QRegularExpression(QStringLiteral("\\* Filter=\\s*PROG_GROUP='Loans'")).match(page).hasMatch());
    QVERIFY(page.indexOf(QStringLiteral("Loan schedule")) < page.indexOf(QStringLiteral("* Filter=")));
}

QTEST_MAIN(TestPrintList)
#include "tst_printlist.moc"
