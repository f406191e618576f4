#pragma once

#include "platform/report/Report.h"

#include <QFont>
#include <QRectF>
#include <QString>

#include <vector>

namespace report {

// A band as placed on a page, in millimetres from the paper's top left corner.
struct PlacedBand {
    QString name;
    BandType type = BandType::Detail;
    QRectF rect;
    int row = -1; // the dataset row a detail band prints; -1 for the other bands
};

// An item as placed on a page: its box in millimetres from the paper's top left corner,
// its final text and everything needed to draw it.
struct PlacedItem {
    QString name;
    ItemKind kind = ItemKind::Text;
    QRectF rect;
    QString text;
    QFont font;
    Qt::Alignment alignment = Qt::AlignLeft;
    bool clip = true;
    bool wordWrap = false;
    double lineWidth = 0;
    int band = -1; // index into the page's bands
};

struct Page {
    std::vector<PlacedBand> bands;
    std::vector<PlacedItem> items;
};

// A produced report: its pages on the paper of a page set-up.
struct Pages {
    PageSetup setup;
    QString documentName;
    std::vector<Page> pages;

    int count() const { return int(pages.size()); }
};

// Lays the report's bands out on pages, without running its hook and without painting:
// the title at the top of the first page, the column headings at the top of every page
// and of every column, one detail band per visible row of the dataset in its order, and
// the summary after the last row. A band that does not fit above the bottom margin goes
// to the next column or page; a band taller than a whole page is placed alone and cut by
// the paper. Without rows and without printIfEmpty there are no pages. Linear in the rows.
Pages layout(const Report &report, const PageSetup &setup);
inline Pages layout(const Report &report) { return layout(report, report.page); }

// The size in millimetres a text takes in a font: one line, or lines broken at the width
// given when it is positive. The same measure the painter's text drawing follows.
QSizeF textSize(const QString &text, const QFont &font, double wrapWidth = 0);

// The text-drawing flags an item is painted with.
int textFlags(Qt::Alignment alignment, bool wordWrap);

} // namespace report
