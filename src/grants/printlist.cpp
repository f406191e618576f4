#include "grants/printlist.h"

#include "app/Users.h"
#include "grants/progpas.h"
#include "platform/db/DataSet.h"

TFormQRPrintList *FormQRPrintList = nullptr;

namespace {

const QString arial = QStringLiteral("Arial");

} // namespace

TFormQRPrintList::TFormQRPrintList(QWidget *parent) : controls::Form(parent)
{
    setObjectName(QStringLiteral("FormQRPrintList"));
    setWindowTitle(QStringLiteral("FormQRPrintList"));
    buildReport();
}

TFormQRPrintList::~TFormQRPrintList() = default;

TFormQRPrintList::GrantedList TFormQRPrintList::windowsGrantedList()
{
    GrantedList list;
    list.programs = FormProg->QueryuserProg;
    if (list.programs->active()) {
        // The title names whose rows these are, even when the user field or the main
        // window's company changed since they were read.
        list.user = FormProg->listUser();
        list.company = FormProg->listCompany();
    } else {
        list.user = FormProg->Edit1->text();
        if (Form1->QueryDBs->active())
            list.company = Form1->QueryDBs->fieldByName(QStringLiteral("db_name")).asString();
    }
    return list;
}

void TFormQRPrintList::buildReport()
{
    m_report = std::make_unique<report::Report>(QStringLiteral("QuickRep1"));
    QuickRep1 = m_report.get();
    QuickRep1->documentName = QStringLiteral("Granted programs");
    QuickRep1->page.paper = QPageSize(QPageSize::A4);
    QuickRep1->page.orientation = QPageLayout::Portrait;
    QuickRep1->page.margins = QMarginsF(25, 10, 10, 10);
    QuickRep1->page.columns = 1;
    QuickRep1->page.columnSpace = 0;
    QuickRep1->printer = {1, false, true};
    QuickRep1->font = QFont(arial, 10);
    QuickRep1->printIfEmpty = true;
    QuickRep1->beforePrint = [this](report::Report &sender) { QuickRep1BeforePrint(sender); };

    using report::BandType;

    QRBand1 = &QuickRep1->addBand(QStringLiteral("QRBand1"), BandType::Title, 10.6);
    QRLabel4 = &QRBand1->addText(QStringLiteral("QRLabel4"), QRectF(4.2, 2.1, 165.6, 5.0));
    QRLabel4->alignment = Qt::AlignHCenter;
    QRLabel4->font = QFont(arial, 12);
    QRLabel4->wordWrap = true;

    QRBand2 = &QuickRep1->addBand(QStringLiteral("QRBand2"), BandType::ColumnHeader, 10.6);
    QRLabel1 = &QRBand2->addText(QStringLiteral("QRLabel1"), QRectF(0, 4.2, 29.9, 4.5), QStringLiteral("Group"));
    QRLabel3 = &QRBand2->addText(QStringLiteral("QRLabel3"), QRectF(31.75, 4.2, 74.35, 4.5), QStringLiteral("Program name"));
    QRLabel2 = &QRBand2->addText(QStringLiteral("QRLabel2"), QRectF(110.07, 4.2, 40.48, 4.5), QStringLiteral("Executable name"));
    QRShape1 = &QRBand2->addLine(QStringLiteral("QRShape1"), QRectF(0, 9.8, 165.1, 0.26));

    QRBand3 = &QuickRep1->addBand(QStringLiteral("QRBand3"), BandType::Detail, 5.0);
    QRDBText1 = &QRBand3->addField(QStringLiteral("QRDBText1"), QRectF(0, 0, 29.9, 4.5), QStringLiteral("PROG_GROUP"));
    QRDBText3 = &QRBand3->addField(QStringLiteral("QRDBText3"), QRectF(31.75, 0, 74.35, 4.5), QStringLiteral("PROG_NAME"));
    QRDBText2 = &QRBand3->addField(QStringLiteral("QRDBText2"), QRectF(110.07, 0, 55.3, 4.5), QStringLiteral("PROG_EXE"));

    QRBand4 = &QuickRep1->addBand(QStringLiteral("QRBand4"), BandType::Summary, 10.6);
    QRShape2 = &QRBand4->addLine(QStringLiteral("QRShape2"), QRectF(0.8, 1.3, 17.2, 0.26));
    QRLabel6 = &QRBand4->addText(QStringLiteral("QRLabel6"), QRectF(2.1, 2.1, 0, 0), QStringLiteral("* Filter="));
    QRLabel6->autoSize = true;
    QRLabel5 = &QRBand4->addText(QStringLiteral("QRLabel5"), QRectF(16.9, 2.1, 0, 0));
    QRLabel5->autoSize = true;
    QRLabel5->font = QFont(arial, 10, QFont::Normal, true);
}

void TFormQRPrintList::QuickRep1BeforePrint(report::Report &sender)
{
    Q_UNUSED(sender);
    QRep1BeforePrint();
}

void TFormQRPrintList::QRep1BeforePrint()
{
    const GrantedList list = grantedList();
    QuickRep1->dataSet = list.programs;
    QString title = QStringLiteral("Programs in database ") + list.company + QStringLiteral(" which are granted to user ")
                    + list.user;
    if (list.programs && list.programs->filtered()) {
        title += QLatin1Char('*');
        QRLabel5->text = list.programs->filter();
        QRBand4->enabled = true;
    } else {
        QRBand4->enabled = false;
    }
    QRLabel4->text = title;
}
