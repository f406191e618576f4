#include "ReportFixture.h"
#include "WindowDriver.h"

#include "platform/db/DbError.h"
#include "platform/report/Output.h"

#include <QDialog>
#include <QDir>
#include <QFile>
#include <QPrintPreviewDialog>
#include <QPrintPreviewWidget>
#include <QPrinter>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>

using report::Pages;

namespace {

constexpr double dpi = 150;

int px(double mm) { return int(mm * dpi / 25.4); }

// Whether any pixel of the rectangle (in millimetres) is darker than light grey.
bool inked(const QImage &image, const QRectF &mm)
{
    const int right = std::min(px(mm.right()), image.width() - 1);
    const int bottom = std::min(px(mm.bottom()), image.height() - 1);
    for (int y = px(mm.top()); y <= bottom; ++y) {
        for (int x = px(mm.left()); x <= right; ++x) {
            if (qGray(image.pixel(x, y)) < 160)
                return true;
        }
    }
    return false;
}

// Runs a poppler tool on a file and returns what it printed.
QString poppler(const QString &tool, const QStringList &arguments)
{
    QProcess process;
    process.start(tool, arguments);
    if (!process.waitForFinished(60000) || process.exitStatus() != QProcess::NormalExit || process.exitCode() != 0) {
        QTest::qFail(qPrintable(tool + QStringLiteral(" failed (poppler-utils is installed by scripts/install-deps): ")
                                + QString::fromLocal8Bit(process.readAllStandardError())),
                     __FILE__, __LINE__);
        return {};
    }
    return QString::fromUtf8(process.readAllStandardOutput());
}

// The numbers of the "Program <n>" lines of a page's text, in reading order.
QList<int> programNumbers(const QString &pageText)
{
    QList<int> numbers;
    static const QRegularExpression program(QStringLiteral("Program (\\d+)"));
    for (auto it = program.globalMatch(pageText); it.hasNext();)
        numbers.append(it.next().captured(1).toInt());
    return numbers;
}

QList<int> range(int from, int to)
{
    QList<int> list;
    for (int i = from; i <= to; ++i)
        list.append(i);
    return list;
}

const QString title = QStringLiteral("Programs in database VORTA which are granted to user MARI");

} // namespace

class TestReportOutput : public QObject {
    Q_OBJECT
private slots:
    void aLongValueIsCutAtItsBox();
    void linesAndTextsLandWhereTheyWerePlaced();
    void thePdfHasThePagesOfTheLayout();
    void aPdfThatCannotBeWrittenIsAnError();
    void thePreviewShowsTheReportAndProducesItAgainOnRepaint();
    void aFailureWhileProducingStopsThePreview();
    void thePreviewPrintsAndSetsUpByKeyboard_data();
    void thePreviewPrintsAndSetsUpByKeyboard();
};

void TestReportOutput::aLongValueIsCutAtItsBox()
{
    ListReport r;
    r.data.addRow({QStringLiteral("G"), QStringLiteral("W").repeated(60), QString()});
    r.data.open();
    // The name's box ends at 25 + 31.75 + 74.35 = 131.1 mm; the line is 31.2 to 36.2 mm.
    const QRectF beyond(131.1 + 0.5, 31.2, 190 - 131.6, 5.0);
    const QRectF inside(120, 31.2, 11, 5.0);
    QImage image = report::pageImage(report::layout(r.report), 0, dpi);
    QVERIFY(inked(image, inside));
    QVERIFY(!inked(image, beyond));

    r.nameField->clip = false; // the same text uncut runs on
    image = report::pageImage(report::layout(r.report), 0, dpi);
    QVERIFY(inked(image, beyond));
}

void TestReportOutput::linesAndTextsLandWhereTheyWerePlaced()
{
    ListReport r;
    r.fill(1);
    r.summary->enabled = false;
    const QImage image = report::pageImage(report::layout(r.report), 0, dpi);
    QVERIFY(std::abs(image.width() - 210 * dpi / 25.4) < 1.5);
    QVERIFY(std::abs(image.height() - 297 * dpi / 25.4) < 1.5);
    // The rule under the headings: 0.26 mm at 20.6 + 9.8 mm, from 25 to 190.1 mm.
    QVERIFY(inked(image, QRectF(30, 30.4, 150, 0.26)));
    QVERIFY(!inked(image, QRectF(191, 29.5, 8, 2)));
    QVERIFY(!inked(image, QRectF(30, 28.8, 150, 1.2))); // between the headings' text and the rule
    // Heading texts begin at their left edges; nothing is drawn in the margins.
    QVERIFY(inked(image, QRectF(25, 24.8, 3, 3.5)));
    QVERIFY(inked(image, QRectF(25 + 31.75, 24.8, 3, 3.5)));
    QVERIFY(!inked(image, QRectF(0, 0, 24.5, 297)));
    QVERIFY(!inked(image, QRectF(0, 0, 210, 9.5)));
    QVERIFY(!inked(image, QRectF(0, 37, 210, 259)));
}

void TestReportOutput::thePdfHasThePagesOfTheLayout()
{
    ListReport r;
    r.fill(80);
    r.titleText->text = title;
    r.report.documentName = QStringLiteral("Granted programs");
    const QTemporaryDir dir;
    const QString file = dir.filePath(QStringLiteral("list.pdf"));
    QCOMPARE(report::writePdf(r.report, file), 2);
    if (const QString shots = qEnvironmentVariable("USERPR_SCREENSHOTS"); !shots.isEmpty())
        QFile::copy(file, QDir(shots).filePath(QStringLiteral("two-pages.pdf")));

    const QString info = poppler(QStringLiteral("pdfinfo"), {file});
    QVERIFY(QRegularExpression(QStringLiteral("^Pages:\\s+2$"), QRegularExpression::MultilineOption).match(info).hasMatch());
    const auto size = QRegularExpression(QStringLiteral("^Page size:\\s+([\\d.]+) x ([\\d.]+) pts"),
                                         QRegularExpression::MultilineOption).match(info);
    QVERIFY2(size.hasMatch(), qPrintable(info));
    QVERIFY(std::abs(size.captured(1).toDouble() - 210 / 25.4 * 72) < 0.5);
    QVERIFY(std::abs(size.captured(2).toDouble() - 297 / 25.4 * 72) < 0.5);
    QVERIFY(info.contains(QStringLiteral("Granted programs")));

    const QStringList pages = poppler(QStringLiteral("pdftotext"), {QStringLiteral("-layout"), file, QStringLiteral("-")})
                                  .split(QLatin1Char('\f'));
    QVERIFY(pages.size() >= 2);
    QVERIFY(pages[0].contains(title));
    QVERIFY(!pages[1].contains(title));
    for (int p = 0; p < 2; ++p) {
        QVERIFY(pages[p].contains(QStringLiteral("Group")));
        QVERIFY(pages[p].indexOf(QStringLiteral("Group")) < pages[p].indexOf(QStringLiteral("Program ")));
    }
    QCOMPARE(programNumbers(pages[0]), range(1, 51));
    QCOMPARE(programNumbers(pages[1]), range(52, 80));
    // The three columns of a line keep their order on the line.
    QVERIFY(QRegularExpression(QStringLiteral("G52\\s+Program 52\\s+p52\\.exe")).match(pages[1]).hasMatch());
    QVERIFY(pages[1].contains(QStringLiteral("* Filter=")));
}

void TestReportOutput::aPdfThatCannotBeWrittenIsAnError()
{
    ListReport r;
    r.fill(1);
    const QTemporaryDir dir;
    QVERIFY_THROWS_EXCEPTION(report::ReportError, report::writePdf(r.report, dir.filePath(QStringLiteral("no/such/folder/x.pdf"))));

    // Nothing to print: no file.
    r.report.printIfEmpty = false;
    r.fill(0);
    const QString file = dir.filePath(QStringLiteral("empty.pdf"));
    QCOMPARE(report::writePdf(r.report, file), 0);
    QVERIFY(!QFile::exists(file));
}

void TestReportOutput::thePreviewShowsTheReportAndProducesItAgainOnRepaint()
{
    ListReport r;
    r.fill(80);
    int runs = 0;
    r.report.beforePrint = [&](report::Report &rep) {
        ++runs;
        rep.item(QStringLiteral("TitleText"))->text = title;
    };
    r.report.documentName = QStringLiteral("Granted programs");
    const QTemporaryDir dir;
    const QString printed = dir.filePath(QStringLiteral("printed.pdf"));
    testsupport::ModalDriver driver;
    driver.then([&](QWidget *dialog) {
        QCOMPARE(dialog->objectName(), QStringLiteral("ReportPreview"));
        QCOMPARE(dialog->windowTitle(), QStringLiteral("Granted programs"));
        auto *view = dialog->findChild<QPrintPreviewWidget *>();
        QVERIFY(view);
        QTRY_COMPARE(view->pageCount(), 2);
        QCOMPARE(runs, 1); // the first painting takes the pages produced before showing
        testsupport::screenshot(dialog, QStringLiteral("report-preview"));
        view->updatePreview();
        QCOMPARE(runs, 2);
        QCOMPARE(view->pageCount(), 2);
        // Printing from the preview produces the report once more, onto the printer.
        auto *printer = qobject_cast<QPrintPreviewDialog *>(dialog)->printer();
        QCOMPARE(printer->pageLayout().pageSize().id(), QPageSize::A4);
        QCOMPARE(printer->copyCount(), 1);
        QCOMPARE(printer->duplex(), QPrinter::DuplexNone);
        printer->setOutputFormat(QPrinter::PdfFormat);
        printer->setOutputFileName(printed);
        view->print();
        QCOMPARE(runs, 3);
        // A page set-up changed in the preview lays the report out on that paper: across
        // A4, 33 lines on the first page and 35 on the others.
        printer->setPageOrientation(QPageLayout::Landscape);
        view->updatePreview();
        QCOMPARE(view->pageCount(), 3);
        qobject_cast<QDialog *>(dialog)->reject();
    });
    QVERIFY(report::preview(r.report));
    QCOMPARE(driver.pending(), 0);
    const QString info = poppler(QStringLiteral("pdfinfo"), {printed});
    QVERIFY(QRegularExpression(QStringLiteral("^Pages:\\s+2$"), QRegularExpression::MultilineOption).match(info).hasMatch());
    const QStringList pages = poppler(QStringLiteral("pdftotext"), {QStringLiteral("-layout"), printed, QStringLiteral("-")})
                                  .split(QLatin1Char('\f'));
    QVERIFY(pages[0].contains(title));
    QCOMPARE(programNumbers(pages[1]), range(52, 80));

    // Nothing to show: no preview.
    r.report.printIfEmpty = false;
    r.fill(0);
    QVERIFY(!report::preview(r.report));
}

void TestReportOutput::aFailureWhileProducingStopsThePreview()
{
    ListReport r;
    r.fill(3);
    int runs = 0;
    r.report.beforePrint = [&](report::Report &) {
        if (++runs == 2)
            throw db::DbError(QStringLiteral("the list went away"));
    };
    {
        testsupport::ModalDriver driver;
        driver.then([&](QWidget *dialog) { dialog->findChild<QPrintPreviewWidget *>()->updatePreview(); });
        QVERIFY_THROWS_EXCEPTION(db::DbError, report::preview(r.report)); // closed by the failure itself
    }
    QCOMPARE(runs, 2);

    // Failing before the preview appears: no window at all.
    r.report.beforePrint = [](report::Report &) { throw db::DbError(QStringLiteral("no list")); };
    testsupport::ModalDriver none;
    QVERIFY_THROWS_EXCEPTION(db::DbError, report::preview(r.report));
}

void TestReportOutput::thePreviewPrintsAndSetsUpByKeyboard_data()
{
    QTest::addColumn<QKeySequence>("keys");
    QTest::addColumn<QString>("opens");
    QTest::newRow("print") << QKeySequence(QStringLiteral("Ctrl+P")) << "QPrintDialog";
    QTest::newRow("page set-up") << QKeySequence(QStringLiteral("Ctrl+Shift+P")) << "QPageSetupDialog";
}

void TestReportOutput::thePreviewPrintsAndSetsUpByKeyboard()
{
    QFETCH(QKeySequence, keys);
    QFETCH(QString, opens);
    ListReport r;
    r.fill(3);
    QString opened;
    testsupport::ModalDriver driver;
    driver.then([&](QWidget *dialog) {
        QTimer::singleShot(0, dialog, [dialog, keys] { QTest::keySequence(dialog, keys); }); // its dialog is the next
    });
    driver.then([&](QWidget *second) {
        opened = QString::fromLatin1(second->metaObject()->className());
        qobject_cast<QDialog *>(second)->reject();
    });
    driver.then([](QWidget *dialog) { qobject_cast<QDialog *>(dialog)->reject(); });
    report::preview(r.report);
    QCOMPARE(opened, opens);
}

QTEST_MAIN(TestReportOutput)
#include "tst_reportoutput.moc"
