#include "platform/report/Layout.h"

#include "platform/db/DataSet.h"

#include <QFontMetricsF>
#include <QImage>

namespace report {

namespace {

constexpr double measuringDpi = 1200;
constexpr double millimetresPerInch = 25.4;
constexpr double epsilon = 1e-6; // millimetres: sums of band heights are not exact

// Text is measured at a printer's resolution, where the font's hinting no longer moves
// glyphs; the painter draws at the device's own resolution with the same flags.
const QPaintDevice &measuringDevice()
{
    static const QImage device = [] {
        QImage image(1, 1, QImage::Format_RGB32);
        const int dotsPerMetre = qRound(measuringDpi / millimetresPerInch * 1000);
        image.setDotsPerMeterX(dotsPerMetre);
        image.setDotsPerMeterY(dotsPerMetre);
        return image;
    }();
    return device;
}

// What one item needs while rows are laid out: its resolved font and, for a column's
// value, the dataset's field.
struct PreparedItem {
    const Item *item;
    QFont font;
    const db::Field *field = nullptr;
};

struct PreparedBand {
    const Band *band;
    std::vector<PreparedItem> items;
};

class Flow {
public:
    Flow(const Report &report, const PageSetup &setup) : m_report(report), m_setup(setup)
    {
        const QSizeF paper = setup.paperSize();
        m_top = setup.margins.top();
        m_bottom = paper.height() - setup.margins.bottom();
        m_width = setup.bandWidth();
        m_columns = std::max(setup.columns, 1);

        const db::DataSet *data = report.dataSet && report.dataSet->active() ? report.dataSet : nullptr;
        m_data = data;
        for (const auto &band : report.bands()) {
            if (!band->enabled)
                continue;
            PreparedBand prepared{band.get(), {}};
            for (const auto &item : band->items) {
                PreparedItem p{item.get(), item->font.value_or(report.font), nullptr};
                if (item->kind == ItemKind::Field && data)
                    p.field = &data->fieldByName(item->fieldName);
                prepared.items.push_back(std::move(p));
            }
            bandsOf(band->type).push_back(std::move(prepared));
        }
    }

    Pages run()
    {
        Pages pages;
        pages.setup = m_setup;
        pages.documentName = m_report.documentName;
        const int rows = m_data ? m_data->recordCount() : 0;
        if (rows == 0 && !m_report.printIfEmpty)
            return pages;
        m_pages = &pages.pages;

        m_current = m_data ? m_data->recNo() : -1;
        startPage();
        for (const PreparedBand &band : m_titles)
            place(band, m_current);
        startColumn();
        for (int row = 0; row < rows; ++row) {
            for (const PreparedBand &band : m_details)
                placeFitting(band, row);
        }
        for (const PreparedBand &band : m_summaries)
            placeFitting(band, m_current);
        return pages;
    }

private:
    std::vector<PreparedBand> &bandsOf(BandType type)
    {
        switch (type) {
        case BandType::Title: return m_titles;
        case BandType::ColumnHeader: return m_headers;
        case BandType::Detail: return m_details;
        case BandType::Summary: return m_summaries;
        }
        return m_details;
    }

    void startPage()
    {
        m_pages->emplace_back();
        m_page = &m_pages->back();
        m_y = m_top;
        m_column = 0;
        m_columnTop = m_top;
    }

    // The column headings at the top of the current column; what follows them is the
    // column's first band.
    void startColumn()
    {
        m_columnTop = m_y;
        for (const PreparedBand &band : m_headers)
            place(band, m_current);
        m_columnEmpty = true;
    }

    void advance()
    {
        if (m_column + 1 < m_columns) {
            ++m_column;
            m_y = m_columnTop;
        } else {
            startPage();
        }
        startColumn();
    }

    // A band goes where it fits above the bottom margin; a column that holds nothing
    // yet takes it anyway, so a band taller than the page cannot loop.
    void placeFitting(const PreparedBand &band, int row)
    {
        if (!m_columnEmpty && m_y + band.band->height > m_bottom + epsilon)
            advance();
        place(band, row);
        m_columnEmpty = false;
    }

    // A detail band prints its row; the other bands show the dataset's current row.
    void place(const PreparedBand &prepared, int row)
    {
        const Band &band = *prepared.band;
        const double x = m_setup.margins.left() + m_column * (m_width + m_setup.columnSpace);
        const int bandIndex = int(m_page->bands.size());
        m_page->bands.push_back({band.name, band.type, QRectF(x, m_y, m_width, band.height),
                                 band.type == BandType::Detail ? row : -1});
        for (const PreparedItem &p : prepared.items)
            m_page->items.push_back(placeItem(p, x, m_y, row, bandIndex));
        m_y += band.height;
    }

    PlacedItem placeItem(const PreparedItem &p, double x, double y, int row, int bandIndex) const
    {
        const Item &item = *p.item;
        PlacedItem placed;
        placed.name = item.name;
        placed.kind = item.kind;
        placed.rect = item.geometry.translated(x, y);
        placed.font = p.font;
        placed.alignment = item.alignment;
        placed.clip = item.clip;
        placed.wordWrap = item.wordWrap;
        placed.lineWidth = item.lineWidth;
        placed.band = bandIndex;
        switch (item.kind) {
        case ItemKind::Text: placed.text = item.text; break;
        case ItemKind::Field:
            if (p.field)
                placed.text = p.field->displayTextFor(m_data->rowValue(row, *p.field));
            break;
        case ItemKind::HorizontalLine: return placed;
        }
        if (item.autoSize)
            fitToText(placed);
        return placed;
    }

    static void fitToText(PlacedItem &placed)
    {
        QRectF &r = placed.rect;
        if (placed.wordWrap) {
            r.setHeight(textSize(placed.text, placed.font, r.width()).height());
            return;
        }
        const QSizeF size = textSize(placed.text, placed.font);
        const double right = r.right();
        const double centre = r.center().x();
        r.setSize(size);
        if (placed.alignment & Qt::AlignRight)
            r.moveRight(right);
        else if (placed.alignment & Qt::AlignHCenter)
            r.moveLeft(centre - size.width() / 2);
    }

    const Report &m_report;
    const PageSetup &m_setup;
    const db::DataSet *m_data = nullptr;
    std::vector<PreparedBand> m_titles, m_headers, m_details, m_summaries;
    std::vector<Page> *m_pages = nullptr;
    Page *m_page = nullptr;
    double m_top = 0, m_bottom = 0, m_width = 0;
    int m_columns = 1;
    int m_column = 0;
    double m_y = 0;
    double m_columnTop = 0;
    bool m_columnEmpty = true;
    int m_current = -1;
};

} // namespace

int textFlags(Qt::Alignment alignment, bool wordWrap)
{
    Qt::Alignment horizontal = alignment & Qt::AlignHorizontal_Mask;
    if (!horizontal)
        horizontal = Qt::AlignLeft;
    return int(horizontal | Qt::AlignTop) | (wordWrap ? int(Qt::TextWordWrap) : 0);
}

QSizeF textSize(const QString &text, const QFont &font, double wrapWidth)
{
    const double dotsPerMm = measuringDpi / millimetresPerInch;
    const QFontMetricsF metrics(font, &measuringDevice());
    const bool wrap = wrapWidth > 0;
    const QRectF frame(0, 0, wrap ? wrapWidth * dotsPerMm : 1e9, 1e9);
    const QRectF bounds = metrics.boundingRect(frame, textFlags(Qt::AlignLeft, wrap), text);
    const double height = text.isEmpty() ? metrics.height() : bounds.height();
    return QSizeF(text.isEmpty() ? 0 : bounds.width() / dotsPerMm, height / dotsPerMm);
}

Pages layout(const Report &report, const PageSetup &setup)
{
    return Flow(report, setup).run();
}

} // namespace report
