#include "lookup/history.h"

#include "app/Users.h"
#include "platform/controls/DataControls.h"
#include "platform/controls/Messages.h"
#include "platform/core/Csv.h"
#include "platform/db/Field.h"
#include "platform/db/ServerErrors.h"
#include "platform/report/Output.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QRegularExpression>
#include <QSaveFile>
#include <QScrollBar>
#include <QStyle>
#include <QVBoxLayout>

#include <stdexcept>

TFormHistory *FormHistory = nullptr;

using controls::guard;

namespace {

const QString arial = QStringLiteral("Arial");

QLineEdit *narrowingEdit(QWidget *parent, const QString &name, const QString &hint, int chars)
{
    auto *edit = new QLineEdit(parent);
    edit->setObjectName(name);
    edit->setToolTip(hint);
    edit->setMinimumWidth(edit->fontMetrics().horizontalAdvance(QLatin1Char('x')) * chars);
    return edit;
}

QLabel *buddyLabel(const QString &text, QLineEdit *edit, QWidget *parent)
{
    auto *label = new QLabel(text, parent);
    label->setBuddy(edit);
    return label;
}

// Whether the server refused the login the reading of the history.
bool isRefused(const db::DbError &e)
{
    return e.code() == db::errors::InsufficientPrivileges || e.state() == QLatin1String("42501");
}

} // namespace

TFormHistory::TFormHistory(QWidget *parent) : controls::Form(parent)
{
    setObjectName(QStringLiteral("FormHistory"));
    setWindowTitle(QStringLiteral("Grant history"));
    setSizeGripEnabled(true);

    // ---- controls
    EditUser = narrowingEdit(this, QStringLiteral("EditUser"),
                             QStringLiteral("The account concerned; % stands for any characters"), 12);
    controls::setCharCase(EditUser, controls::CharCase::Upper);
    EditProgram = narrowingEdit(this, QStringLiteral("EditProgram"),
                                QStringLiteral("The program's executable name (% for any characters), or its number"), 12);
    EditCompany = narrowingEdit(this, QStringLiteral("EditCompany"),
                                QStringLiteral("The company's short name; % stands for any characters"), 10);
    EditFrom = narrowingEdit(this, QStringLiteral("EditFrom"), QStringLiteral("The first day shown: dd/mm/yyyy"), 10);
    EditTo = narrowingEdit(this, QStringLiteral("EditTo"), QStringLiteral("The last day shown: dd/mm/yyyy"), 10);
    for (QLineEdit *date : {EditFrom, EditTo})
        date->setPlaceholderText(QStringLiteral("dd/mm/yyyy"));
    BtnShow = new QPushButton(QStringLiteral("&Show"), this);
    BtnShow->setObjectName(QStringLiteral("BtnShow"));

    LabelNote = new QLabel(this);
    LabelNote->setObjectName(QStringLiteral("LabelNote"));
    LabelNote->setWordWrap(true);
    LabelNote->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    LabelNote->setFrameStyle(QFrame::StyledPanel);
    LabelNote->setMargin(6);
    LabelNote->hide();

    DBGrid1 = new controls::DBGrid(this);
    DBGrid1->setObjectName(QStringLiteral("DBGrid1"));
    DBGrid1->setAccessibleName(QStringLiteral("Grant history"));
    DBGrid1->setReadOnly(true);
    DBGrid1->setRowSelect(true);
    DBGrid1->setIndicator(false);
    DBGrid1->horizontalHeader()->setStretchLastSection(true);
    // No value is cut, and an empty column takes no room.
    DBGrid1->setFitToContents(true);
    DBGrid1->setMinimumHeight(DBGrid1->horizontalHeader()->sizeHint().height()
                              + 5 * DBGrid1->verticalHeader()->defaultSectionSize()
                              + DBGrid1->horizontalScrollBar()->sizeHint().height() + 2 * DBGrid1->frameWidth());

    LabelStatus = new QLabel(this);
    LabelStatus->setObjectName(QStringLiteral("LabelStatus"));
    LabelStatus->setWordWrap(true);
    BtnExport = new QPushButton(QStringLiteral("&Export CSV..."), this);
    BtnExport->setObjectName(QStringLiteral("BtnExport"));
    BtnPrint = new QPushButton(QStringLiteral("&Print"), this);
    BtnPrint->setObjectName(QStringLiteral("BtnPrint"));
    BtnClose = new QPushButton(style()->standardIcon(QStyle::SP_DialogCloseButton), QStringLiteral("Close"), this);
    BtnClose->setObjectName(QStringLiteral("BtnClose"));
    // Enter belongs to the field it is pressed in: no button takes it.
    for (QPushButton *b : {BtnShow, BtnExport, BtnPrint, BtnClose})
        b->setAutoDefault(false);

    SaveDialog1 = new QFileDialog(this, QStringLiteral("Export the history"));
    SaveDialog1->setObjectName(QStringLiteral("SaveDialog1"));
    SaveDialog1->setAcceptMode(QFileDialog::AcceptSave);
    SaveDialog1->setNameFilter(QStringLiteral("CSV files (*.csv)"));
    SaveDialog1->setDefaultSuffix(QStringLiteral("csv"));

    auto *narrowing = new QGridLayout;
    narrowing->addWidget(buddyLabel(QStringLiteral("&User"), EditUser, this), 0, 0);
    narrowing->addWidget(EditUser, 0, 1);
    narrowing->addWidget(buddyLabel(QStringLiteral("P&rogram"), EditProgram, this), 0, 2);
    narrowing->addWidget(EditProgram, 0, 3);
    narrowing->addWidget(buddyLabel(QStringLiteral("&Company"), EditCompany, this), 0, 4);
    narrowing->addWidget(EditCompany, 0, 5);
    narrowing->addWidget(buddyLabel(QStringLiteral("&From"), EditFrom, this), 1, 0);
    // A date needs no more room than its ten characters.
    for (QLineEdit *date : {EditFrom, EditTo})
        date->setMaximumWidth(date->fontMetrics().horizontalAdvance(QStringLiteral("dd/mm/yyyy")) * 3 / 2);
    narrowing->addWidget(EditFrom, 1, 1, Qt::AlignLeft);
    narrowing->addWidget(buddyLabel(QStringLiteral("&To"), EditTo, this), 1, 2);
    narrowing->addWidget(EditTo, 1, 3, Qt::AlignLeft);
    narrowing->addWidget(BtnShow, 1, 5, Qt::AlignRight);
    for (int column : {1, 3, 5})
        narrowing->setColumnStretch(column, 1);
    auto *bottom = new QHBoxLayout;
    bottom->addStretch();
    bottom->addWidget(BtnExport);
    bottom->addWidget(BtnPrint);
    bottom->addWidget(BtnClose);
    auto *column = new QVBoxLayout(this);
    column->addLayout(narrowing);
    column->addWidget(LabelNote);
    column->addWidget(DBGrid1, 1);
    column->addWidget(LabelStatus);
    column->addLayout(bottom);

    const QList<QWidget *> order{EditUser, EditProgram, EditCompany, EditFrom, EditTo, BtnShow,
                                 DBGrid1,  BtnExport,   BtnPrint,    BtnClose};
    for (int i = 1; i < order.size(); ++i)
        setTabOrder(order.at(i - 1), order.at(i));

    // ---- data components
    QueryHistory = new history::Rows(Form1->Database1, this);
    DataSource1 = new db::DataSource(this);
    DataSource1->setDataSet(QueryHistory);
    DBGrid1->setDataSource(DataSource1);
    buildReport();

    for (QLineEdit *edit : {EditUser, EditProgram, EditCompany, EditFrom, EditTo})
        connect(edit, &QLineEdit::returnPressed, this, [this] { guard([this] { BtnShowClick(); }); });
    connect(BtnShow, &QPushButton::clicked, this, [this] { guard([this] { BtnShowClick(); }); });
    connect(BtnExport, &QPushButton::clicked, this, [this] { guard([this] { BtnExportClick(); }); });
    connect(BtnPrint, &QPushButton::clicked, this, [this] { guard([this] { BtnPrintClick(); }); });
    connect(BtnClose, &QPushButton::clicked, this, [this] { close(); });
    // Rows read as the grid scrolls change the count.
    connect(DBGrid1->model(), &QAbstractItemModel::rowsInserted, this, [this] { SetButtons(); });
    connect(DBGrid1->model(), &QAbstractItemModel::modelReset, this, [this] { SetButtons(); });

    resize(960, 520);
    SetButtons();
}

TFormHistory::~TFormHistory()
{
    QueryHistory->close();
}

void TFormHistory::buildReport()
{
    m_report = std::make_unique<report::Report>(QStringLiteral("HistoryReport"));
    HistoryReport = m_report.get();
    HistoryReport->documentName = QStringLiteral("Grant history");
    HistoryReport->page.paper = QPageSize(QPageSize::A4);
    HistoryReport->page.orientation = QPageLayout::Landscape;
    HistoryReport->page.margins = QMarginsF(10, 10, 10, 10);
    HistoryReport->font = QFont(arial, 8);
    HistoryReport->printIfEmpty = true;
    HistoryReport->dataSet = QueryHistory;
    HistoryReport->beforePrint = [this](report::Report &) { HistoryReportBeforePrint(); };

    using report::BandType;
    report::Band &title = HistoryReport->addBand(QStringLiteral("TitleBand"), BandType::Title, 14);
    m_title = &title.addText(QStringLiteral("TitleLabel"), QRectF(0, 0, 277, 6), QStringLiteral("Grant history"));
    m_title->font = QFont(arial, 12, QFont::Bold);
    m_narrowed = &title.addText(QStringLiteral("NarrowedLabel"), QRectF(0, 7, 277, 5));
    m_narrowed->font = QFont(arial, 9);

    // Left and width of each column, in millimetres across the 277 of a landscape page.
    struct Column {
        const char *field;
        const char *title;
        double left;
        double width;
    };
    static const Column printed[] = {
        {"CHANGED_AT", "When", 0, 31},    {"ACTION", "What", 32, 25},     {"PROG_EXE", "Program", 58, 34},
        {"PROG_ID", "No.", 93, 9},        {"DB_NAME", "Company", 103, 20}, {"USERNAME", "User", 124, 24},
        {"CHANGED_BY", "Login", 149, 20}, {"OS_USER", "OS user", 170, 20}, {"HOST_NAME", "Host", 191, 24},
        {"DETAIL", "Detail", 216, 61},
    };
    report::Band &headings = HistoryReport->addBand(QStringLiteral("HeadingBand"), BandType::ColumnHeader, 7);
    report::Band &detail = HistoryReport->addBand(QStringLiteral("DetailBand"), BandType::Detail, 4.5);
    for (const Column &c : printed) {
        const QString field = QLatin1String(c.field);
        report::Item &heading = headings.addText(field + QStringLiteral("Title"), QRectF(c.left, 1.5, c.width, 4),
                                                 QLatin1String(c.title));
        heading.font = QFont(arial, 8, QFont::Bold);
        detail.addField(field, QRectF(c.left, 0, c.width, 4), field);
    }
    headings.addLine(QStringLiteral("HeadingLine"), QRectF(0, 6, 277, 0.26));
}

// ---- handlers -------------------------------------------------------------------------

void TFormHistory::FormShow()
{
    LabelStatus->clear();
    BtnShowClick();
    EditUser->setFocus();
}

void TFormHistory::FormHide()
{
    QueryHistory->close();
}

std::optional<QDate> TFormHistory::readDate(const QString &text)
{
    const QString typed = text.trimmed();
    if (typed.isEmpty())
        return QDate();
    static const QRegularExpression dayFirst(QStringLiteral("^(\\d{1,2})[./](\\d{1,2})[./](\\d{2}|\\d{4})$"));
    static const QRegularExpression yearFirst(QStringLiteral("^(\\d{4})-(\\d{1,2})-(\\d{1,2})$"));
    QDate date;
    if (const QRegularExpressionMatch m = dayFirst.match(typed); m.hasMatch()) {
        int year = m.captured(3).toInt();
        if (m.captured(3).size() == 2)
            year += 2000;
        date = QDate(year, m.captured(2).toInt(), m.captured(1).toInt());
    } else if (const QRegularExpressionMatch m = yearFirst.match(typed); m.hasMatch()) {
        date = QDate(m.captured(1).toInt(), m.captured(2).toInt(), m.captured(3).toInt());
    }
    if (!date.isValid())
        return std::nullopt;
    return date;
}

void TFormHistory::BtnShowClick()
{
    history::Narrowing narrowing;
    narrowing.user = EditUser->text().trimmed();
    narrowing.program = EditProgram->text().trimmed();
    narrowing.company = EditCompany->text().trimmed();
    for (QLineEdit *edit : {EditFrom, EditTo}) {
        const std::optional<QDate> date = readDate(edit->text());
        if (!date) {
            // The rows shown stay those of the last narrowing.
            LabelStatus->setText(QStringLiteral("\"%1\" is not a date; write it as dd/mm/yyyy").arg(edit->text()));
            edit->setFocus();
            edit->selectAll();
            return;
        }
        (edit == EditFrom ? narrowing.from : narrowing.to) = *date;
    }
    QueryHistory->close();
    QueryHistory->setNarrowing(narrowing);
    note(QString());
    try {
        QueryHistory->open();
    } catch (const db::DbError &e) {
        const QString server = Form1->Database1->params().value(QStringLiteral("SERVER NAME"));
        if (history::isMissing(e)) {
            note(QStringLiteral("The server %1 keeps no history of grants yet (on Oracle: or none this login may "
                                "read). To add it, on an embedded server run \"userpr-db history %1\"; on Oracle or "
                                "PostgreSQL run schema/oracle/history.sql or schema/postgresql/history.sql as the "
                                "schema owner (the README's \"The history of grants\" says how). Until then, "
                                "changes are made without a history.")
                     .arg(server));
        } else if (isRefused(e)) {
            note(QStringLiteral("Only the schema's owner and DBA may read the history of grants; the server %1 "
                                "refused it to %2: %3")
                     .arg(server, Form1->Database1->params().value(QStringLiteral("USER NAME")), e.text()));
        } else {
            SetButtons();
            throw;
        }
    }
    SetButtons();
}

void TFormHistory::BtnExportClick()
{
    if (!QueryHistory->active())
        return;
    if (SaveDialog1->exec() != QDialog::Accepted || SaveDialog1->selectedFiles().isEmpty())
        return;
    const QString fileName = SaveDialog1->selectedFiles().constFirst();
    const int rows = ExportTo(fileName);
    LabelStatus->setText(QStringLiteral("%1 rows exported to %2").arg(rows).arg(fileName));
}

int TFormHistory::ExportTo(const QString &fileName)
{
    // What is shown is every row of the narrowing, also those the grid has not reached.
    QueryHistory->fetchAll();
    const std::vector<db::Field *> fields = QueryHistory->visibleFields();
    QStringList titles;
    for (const db::Field *f : fields)
        titles.append(f->displayLabel());
    QString text = core::csvRecord(titles);
    for (int row = 0; row < QueryHistory->recordCount(); ++row) {
        QStringList values;
        for (const db::Field *f : fields) {
            const QVariant value = QueryHistory->rowValue(row, *f);
            // Times as every spreadsheet reads them, whatever the window's format.
            if (f->dataType() == db::FieldType::DateTime && !value.isNull())
                values.append(db::Field::dateTimeOf(value).toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")));
            else
                values.append(f->displayTextFor(value));
        }
        text += core::csvRecord(values);
    }
    QSaveFile file(fileName);
    if (!file.open(QIODevice::WriteOnly) || file.write(text.toUtf8()) < 0 || !file.commit())
        throw std::runtime_error(QStringLiteral("The history could not be written to %1: %2")
                                     .arg(fileName, file.errorString())
                                     .toStdString());
    SetButtons();
    return QueryHistory->recordCount();
}

void TFormHistory::BtnPrintClick()
{
    if (!QueryHistory->active())
        return;
    QueryHistory->fetchAll();
    SetButtons();
    report::preview(*HistoryReport, this);
}

void TFormHistory::HistoryReportBeforePrint()
{
    const QString narrowed = QueryHistory->narrowing().describe();
    m_narrowed->text = (narrowed.isEmpty() ? QStringLiteral("Every change") : QStringLiteral("Changes of ") + narrowed)
                       + QStringLiteral(" on ") + Form1->Database1->params().value(QStringLiteral("SERVER NAME"))
                       + QStringLiteral(", newest first");
}

// ---- the window's own operations ------------------------------------------------------

void TFormHistory::SetButtons()
{
    const bool open = QueryHistory->active();
    BtnExport->setEnabled(open);
    BtnPrint->setEnabled(open);
    if (!open) {
        LabelStatus->clear();
        return;
    }
    const int rows = QueryHistory->recordCount();
    QString text = rows == 1 ? QStringLiteral("1 change") : QStringLiteral("%1 changes").arg(rows);
    if (QueryHistory->canFetchMore())
        text += QStringLiteral(" shown, more below");
    LabelStatus->setText(text);
}

void TFormHistory::note(const QString &text)
{
    LabelNote->setText(text);
    LabelNote->setVisible(!text.isEmpty());
}
