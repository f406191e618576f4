#include "platform/report/Output.h"

#include <QCoreApplication>
#include <QGuiApplication>
#include <QPainter>
#include <QPdfWriter>
#include <QAction>
#include <QPrintPreviewDialog>
#include <QPrinter>
#include <QScreen>
#include <QToolBar>

#include <exception>
#include <optional>

namespace report {

namespace {

constexpr double millimetresPerInch = 25.4;

struct Scale {
    double x, y;
    QRectF operator()(const QRectF &mm) const
    {
        return QRectF(mm.x() * x, mm.y() * y, mm.width() * x, mm.height() * y);
    }
};

void paintItem(QPainter &painter, const PlacedItem &item, const Scale &scale)
{
    const QRectF box = scale(item.rect);
    if (item.kind == ItemKind::HorizontalLine) {
        const double thickness = std::max(item.lineWidth * scale.y, 1.0);
        painter.fillRect(QRectF(box.left(), box.center().y() - thickness / 2, box.width(), thickness), Qt::black);
        // A preview draws the page scaled down, where the rule can become thinner than a
        // pixel and vanish: a hairline (one device pixel at every scale) runs inside it.
        painter.save();
        painter.setPen(QPen(Qt::black, 0));
        painter.drawLine(QPointF(box.left(), box.center().y()), QPointF(box.right(), box.center().y()));
        painter.restore();
        return;
    }
    if (item.text.isEmpty())
        return;
    painter.setFont(item.font);
    // Text drawn into a box is cut at the box unless told otherwise.
    const int flags = textFlags(item.alignment, item.wordWrap) | (item.clip ? 0 : int(Qt::TextDontClip));
    painter.drawText(box, flags, item.text);
}

// The preview's print and page set-up work from the keyboard: each has a shortcut, and
// its button is a stop in the window's tab order.
void offerByKeyboard(QPrintPreviewDialog &dialog)
{
    const struct {
        const char *text;
        QKeySequence keys;
    } offered[] = {{"Print", QKeySequence::Print}, {"Page setup", QKeySequence(QStringLiteral("Ctrl+Shift+P"))}};
    const QList<QToolBar *> bars = dialog.findChildren<QToolBar *>();
    for (QAction *action : dialog.findChildren<QAction *>()) {
        for (const auto &o : offered) {
            if (action->text() != QCoreApplication::translate("QPrintPreviewDialog", o.text))
                continue;
            action->setShortcut(o.keys);
            action->setShortcutContext(Qt::WindowShortcut);
            action->setToolTip(QStringLiteral("%1 (%2)").arg(action->text(), o.keys.toString(QKeySequence::NativeText)));
            for (QToolBar *bar : bars) {
                if (QWidget *button = bar->widgetForAction(action))
                    button->setFocusPolicy(Qt::TabFocus);
            }
        }
    }
}

} // namespace

void paintPage(QPainter &painter, const Page &page)
{
    const QPaintDevice *device = painter.device();
    const Scale scale{device->logicalDpiX() / millimetresPerInch, device->logicalDpiY() / millimetresPerInch};
    painter.save();
    painter.setPen(Qt::black);
    for (const PlacedItem &item : page.items)
        paintItem(painter, item, scale);
    painter.restore();
}

void printPages(const Pages &pages, QPagedPaintDevice &device)
{
    if (pages.pages.empty())
        return;
    if (!device.setPageLayout(pages.setup.pageLayout()))
        throw ReportError(QStringLiteral("The printer does not take the report's paper"));
    QPainter painter;
    if (!painter.begin(&device))
        throw ReportError(QStringLiteral("Printing could not start"));
    for (std::size_t i = 0; i < pages.pages.size(); ++i) {
        if (i > 0 && !device.newPage())
            throw ReportError(QStringLiteral("The printer refused a new page"));
        paintPage(painter, pages.pages[i]);
    }
    if (!painter.end())
        throw ReportError(QStringLiteral("Printing did not finish"));
}

QImage pageImage(const Pages &pages, int index, double dotsPerInch)
{
    const double dotsPerMm = dotsPerInch / millimetresPerInch;
    const QSizeF paper = pages.setup.paperSize();
    QImage image(qRound(paper.width() * dotsPerMm), qRound(paper.height() * dotsPerMm), QImage::Format_RGB32);
    image.setDotsPerMeterX(qRound(dotsPerMm * 1000));
    image.setDotsPerMeterY(qRound(dotsPerMm * 1000));
    image.fill(Qt::white);
    if (index >= 0 && index < pages.count()) {
        QPainter painter(&image);
        painter.setRenderHint(QPainter::Antialiasing);
        painter.setRenderHint(QPainter::TextAntialiasing);
        paintPage(painter, pages.pages[std::size_t(index)]);
    }
    return image;
}

void setUpPrinter(const Report &report, QPrinter &printer)
{
    printer.setPageLayout(report.page.pageLayout());
    printer.setFullPage(true);
    printer.setCopyCount(report.printer.copies);
    printer.setDuplex(report.printer.duplex ? QPrinter::DuplexAuto : QPrinter::DuplexNone);
    printer.setPaperSource(report.printer.firstTray ? QPrinter::Upper : QPrinter::Auto);
    printer.setPrintRange(QPrinter::AllPages);
    printer.setDocName(report.documentName);
}

int writePdf(Report &report, const QString &fileName)
{
    const Pages pages = report.produce();
    if (pages.pages.empty())
        return 0;
    QPdfWriter writer(fileName);
    writer.setTitle(pages.documentName);
    writer.setCreator(QCoreApplication::applicationName());
    try {
        printPages(pages, writer);
    } catch (const ReportError &) {
        throw ReportError(QStringLiteral("Could not write the file %1").arg(fileName));
    }
    return pages.count();
}

bool preview(Report &report, QWidget *parent)
{
    // Produced before the preview appears, so a failure shows no window; the preview's
    // first painting on the same paper takes these pages instead of producing again.
    std::optional<Pages> ready = report.produce();
    if (ready->pages.empty())
        return false;

    QPrinter printer(QPrinter::HighResolution);
    setUpPrinter(report, printer);
    QPrintPreviewDialog dialog(&printer, parent);
    dialog.setObjectName(QStringLiteral("ReportPreview"));
    offerByKeyboard(dialog);
    if (!report.documentName.isEmpty())
        dialog.setWindowTitle(report.documentName);
    if (const QScreen *screen = parent ? parent->screen() : QGuiApplication::primaryScreen()) {
        const QSize room = screen->availableGeometry().size();
        const int height = room.height() * 9 / 10;
        const int width = std::max(height * 4 / 5, dialog.sizeHint().width());
        dialog.resize(std::min(room.width(), width), height);
    }

    std::exception_ptr failure;
    QObject::connect(&dialog, &QPrintPreviewDialog::paintRequested, &dialog, [&](QPrinter *target) {
        if (failure)
            return;
        try {
            const PageSetup setup = report.page.withPaperOf(target->pageLayout());
            Pages pages = ready && ready->setup.pageLayout().isEquivalentTo(setup.pageLayout())
                              ? std::move(*ready)
                              : report.produce(setup);
            ready.reset();
            printPages(pages, *target);
        } catch (...) {
            failure = std::current_exception();
            QMetaObject::invokeMethod(&dialog, &QDialog::reject, Qt::QueuedConnection);
        }
    });
    dialog.exec();
    if (failure)
        std::rethrow_exception(failure);
    return true;
}

} // namespace report
