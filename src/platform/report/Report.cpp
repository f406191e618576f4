#include "platform/report/Report.h"

#include "platform/report/Layout.h"

namespace report {

QSizeF PageSetup::paperSize() const
{
    const QSizeF size = paper.size(QPageSize::Millimeter);
    return orientation == QPageLayout::Landscape ? size.transposed() : size;
}

double PageSetup::bandWidth() const
{
    const int n = std::max(columns, 1);
    const double inside = paperSize().width() - margins.left() - margins.right();
    return (inside - (n - 1) * columnSpace) / n;
}

QPageLayout PageSetup::pageLayout() const
{
    QPageLayout layout(paper, orientation, margins, QPageLayout::Millimeter);
    layout.setMode(QPageLayout::FullPageMode);
    return layout;
}

PageSetup PageSetup::withPaperOf(const QPageLayout &layout) const
{
    PageSetup setup = *this;
    setup.paper = layout.pageSize();
    setup.orientation = layout.orientation();
    setup.margins = layout.margins(QPageLayout::Millimeter);
    return setup;
}

Item &Band::add(ItemKind kind, const QString &name, const QRectF &geometry)
{
    auto &item = *items.emplace_back(std::make_unique<Item>());
    item.kind = kind;
    item.name = name;
    item.geometry = geometry;
    return item;
}

Item &Band::addText(const QString &name, const QRectF &geometry, const QString &text)
{
    Item &item = add(ItemKind::Text, name, geometry);
    item.text = text;
    return item;
}

Item &Band::addField(const QString &name, const QRectF &geometry, const QString &fieldName)
{
    Item &item = add(ItemKind::Field, name, geometry);
    item.fieldName = fieldName;
    return item;
}

Item &Band::addLine(const QString &name, const QRectF &geometry)
{
    return add(ItemKind::HorizontalLine, name, geometry);
}

Report::Report(const QString &name) : name(name), documentName(name) {}

Report::~Report() = default;

Band &Report::addBand(const QString &name, BandType type, double height)
{
    auto &band = *m_bands.emplace_back(std::make_unique<Band>());
    band.name = name;
    band.type = type;
    band.height = height;
    return band;
}

Band *Report::band(const QString &name) const
{
    for (const auto &band : m_bands) {
        if (band->name == name)
            return band.get();
    }
    return nullptr;
}

Item *Report::item(const QString &name) const
{
    for (const auto &band : m_bands) {
        for (const auto &item : band->items) {
            if (item->name == name)
                return item.get();
        }
    }
    return nullptr;
}

Pages Report::produce()
{
    return produce(page);
}

Pages Report::produce(const PageSetup &setup)
{
    if (beforePrint)
        beforePrint(*this);
    return layout(*this, setup);
}

} // namespace report
