#pragma once

#include "platform/report/Layout.h"

#include <QImage>

class QPainter;
class QPagedPaintDevice;
class QPrinter;
class QWidget;

namespace report {

// Draws one page with the paper's top left corner at the painter's origin. The painter's
// device decides the resolution: millimetres become device units by its logical dots per
// inch, and fonts keep their point sizes.
void paintPage(QPainter &painter, const Page &page);

// Prints every page on a paged device (printer, PDF writer): gives the device the pages'
// paper in full-page mode, so positions count from the paper's edge, then draws them.
// Throws ReportError when the device does not start (a file that cannot be written).
void printPages(const Pages &pages, QPagedPaintDevice &device);

// One page as a picture on white paper, at the resolution given.
QImage pageImage(const Pages &pages, int index, double dotsPerInch = 96);

// Gives a printer the report's paper, margins, copies, duplex and tray.
void setUpPrinter(const Report &report, QPrinter &printer);

// Produces the report and writes it as a PDF file. Returns the number of pages written;
// with none (no rows and no printIfEmpty) no file is written. Throws ReportError when the
// file cannot be written; an exception of the report's hook goes on to the caller.
int writePdf(Report &report, const QString &fileName);

// Shows the report in a modal print preview with zoom, page set-up and printing (also to a
// PDF file through the print dialog). The report is produced before the preview appears
// and again whenever the preview repaints or prints, each time on the printer's current
// paper. An exception while producing stops the preview (closing it if it is open) and
// goes on to the caller. With no pages to show, no preview appears; returns whether one did.
bool preview(Report &report, QWidget *parent = nullptr);

} // namespace report
