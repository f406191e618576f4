#pragma once

#include <QFont>
#include <QMarginsF>
#include <QPageLayout>
#include <QPageSize>
#include <QRectF>
#include <QString>

#include <functional>
#include <memory>
#include <optional>
#include <stdexcept>
#include <vector>

namespace db {
class DataSet;
}

// A banded report: a page set-up and bands of items, all measured in millimetres, printed
// over the rows of a dataset. The model is plain data; Layout.h turns it into pages and
// Output.h paints, previews, prints and writes them.
namespace report {

struct Pages;

// Every failure of the report engine itself (a file that cannot be written, a printer
// that does not start).
class ReportError : public std::runtime_error {
public:
    explicit ReportError(const QString &text) : std::runtime_error(text.toStdString()) {}
};

// Paper, orientation, margins and columns, in millimetres.
struct PageSetup {
    QPageSize paper{QPageSize::A4};
    QPageLayout::Orientation orientation = QPageLayout::Portrait;
    QMarginsF margins{10, 10, 10, 10}; // left, top, right, bottom
    int columns = 1;
    double columnSpace = 0; // between two columns

    // The paper as it lies, in millimetres.
    QSizeF paperSize() const;
    // The width of one column, inside the margins.
    double bandWidth() const;
    // The same paper as a full-page layout for a printer or a PDF writer.
    QPageLayout pageLayout() const;
    // This set-up with the paper, orientation and margins of a printer's layout.
    PageSetup withPaperOf(const QPageLayout &layout) const;
};

// How a printer is to print the report.
struct PrinterSettings {
    int copies = 1;
    bool duplex = false;
    bool firstTray = true; // the printer's first paper tray rather than its own choice
};

enum class ItemKind {
    Text,           // a fixed text, or one set before printing
    Field,          // the display text of a column of the row being printed
    HorizontalLine, // a line across the item's width at its vertical centre
};

// One thing printed in a band, at a position in millimetres from the band's top left.
struct Item {
    ItemKind kind = ItemKind::Text;
    QString name;
    QRectF geometry;                      // left, top, width, height
    Qt::Alignment alignment = Qt::AlignLeft; // left, centre or right within the box
    std::optional<QFont> font;            // the report's font when not set
    bool autoSize = false; // the box takes the text's width (with wordWrap: its height)
    bool clip = true;      // nothing is drawn outside the box
    bool wordWrap = false; // the text breaks into lines at the box's width
    QString text;          // Text
    QString fieldName;     // Field: the column, found without regard to case
    double lineWidth = 0.26; // HorizontalLine: its thickness
};

enum class BandType {
    Title,        // once, at the top of the first page
    ColumnHeader, // at the top of every page (of every column)
    Detail,       // once per row
    Summary,      // once, after the last row
};

// A strip of fixed height across one column. A disabled band is not printed and takes
// no room.
struct Band {
    QString name;
    BandType type = BandType::Detail;
    double height = 0;
    bool enabled = true;
    std::vector<std::unique_ptr<Item>> items; // in printing order; addresses stay put

    Item &addText(const QString &name, const QRectF &geometry, const QString &text = {});
    Item &addField(const QString &name, const QRectF &geometry, const QString &fieldName);
    Item &addLine(const QString &name, const QRectF &geometry);

private:
    Item &add(ItemKind kind, const QString &name, const QRectF &geometry);
};

// A report over the rows of a dataset. The dataset is read as it stands: its visible
// (filtered) rows in their order; the report never opens, moves, sorts or filters it.
// An inactive or missing dataset has no rows.
class Report {
public:
    explicit Report(const QString &name = {});
    Report(const Report &) = delete;
    Report &operator=(const Report &) = delete;
    ~Report();

    QString name;
    QString documentName; // the print job's and the PDF's title
    PageSetup page;
    PrinterSettings printer;
    QFont font{QStringLiteral("Arial"), 10};
    bool printIfEmpty = true; // without rows, still print every band but the detail
    db::DataSet *dataSet = nullptr;
    // Runs each time the report is produced, before the layout; it may set texts and
    // enable or disable bands. An exception it throws stops the report.
    std::function<void(Report &)> beforePrint;

    // Bands print by their type (title, column headings, details, summary); bands of one
    // type print in the order they were added.
    Band &addBand(const QString &name, BandType type, double height);
    const std::vector<std::unique_ptr<Band>> &bands() const { return m_bands; }
    Band *band(const QString &name) const;
    Item *item(const QString &name) const;

    // Runs beforePrint and lays the rows out on this report's page set-up, or on the one
    // given (a printer's paper chosen in a page set-up dialog).
    Pages produce();
    Pages produce(const PageSetup &setup);

private:
    std::vector<std::unique_ptr<Band>> m_bands;
};

} // namespace report
