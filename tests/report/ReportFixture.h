#pragma once

#include "MemoryDataSet.h"

#include "platform/report/Layout.h"

#include <QTest>

// A list report on A4 with margins 25/10/10/10: a title, column headings with a line under
// them, one detail line of 5 mm per row and a filter footnote, over rows of three columns.
struct ListReport {
    testsupport::MemoryDataSet data{{QStringLiteral("GRP"), QStringLiteral("NAME"), QStringLiteral("EXE")}};
    report::Report report{QStringLiteral("List")};
    report::Band *title, *headings, *detail, *summary;
    report::Item *titleText, *nameField, *filterText;

    ListReport()
    {
        report.page.margins = QMarginsF(25, 10, 10, 10);
        title = &report.addBand(QStringLiteral("Title"), report::BandType::Title, 10.6);
        titleText = &title->addText(QStringLiteral("TitleText"), QRectF(4.2, 2.1, 165.6, 5.0));
        titleText->alignment = Qt::AlignHCenter;
        titleText->wordWrap = true;
        titleText->font = QFont(QStringLiteral("Arial"), 12);
        headings = &report.addBand(QStringLiteral("Headings"), report::BandType::ColumnHeader, 10.6);
        headings->addText(QStringLiteral("H1"), QRectF(0, 4.2, 29.9, 4.5), QStringLiteral("Group"));
        headings->addText(QStringLiteral("H2"), QRectF(31.75, 4.2, 74.35, 4.5), QStringLiteral("Name"));
        headings->addLine(QStringLiteral("Rule"), QRectF(0, 9.8, 165.1, 0.26));
        detail = &report.addBand(QStringLiteral("Detail"), report::BandType::Detail, 5.0);
        detail->addField(QStringLiteral("F1"), QRectF(0, 0, 29.9, 4.5), QStringLiteral("grp"));
        nameField = &detail->addField(QStringLiteral("F2"), QRectF(31.75, 0, 74.35, 4.5), QStringLiteral("NAME"));
        detail->addField(QStringLiteral("F3"), QRectF(110.07, 0, 55.3, 4.5), QStringLiteral("Exe"));
        summary = &report.addBand(QStringLiteral("Summary"), report::BandType::Summary, 10.6);
        summary->addText(QStringLiteral("Star"), QRectF(2.1, 2.1, 0, 0), QStringLiteral("* Filter=")).autoSize = true;
        filterText = &summary->addText(QStringLiteral("FilterText"), QRectF(16.9, 2.1, 0, 0));
        filterText->autoSize = true;
        report.dataSet = &data;
    }

    // Rows "G<i>", "Program <i>", "p<i>.exe" for i = 1..count, opened.
    void fill(int count)
    {
        data.close();
        data.clearRows();
        for (int i = 1; i <= count; ++i)
            data.addRow({QStringLiteral("G%1").arg(i), QStringLiteral("Program %1").arg(i), QStringLiteral("p%1.exe").arg(i)});
        data.open();
    }
};

// The texts of a page's items of one name, in printing order.
inline QStringList textsOf(const report::Page &page, const QString &name)
{
    QStringList texts;
    for (const auto &item : page.items) {
        if (item.name == name)
            texts.append(item.text);
    }
    return texts;
}

inline QList<report::BandType> bandTypes(const report::Page &page)
{
    QList<report::BandType> types;
    for (const auto &band : page.bands)
        types.append(band.type);
    return types;
}

inline const report::PlacedItem *findItem(const report::Page &page, const QString &name)
{
    for (const auto &item : page.items) {
        if (item.name == name)
            return &item;
    }
    return nullptr;
}
