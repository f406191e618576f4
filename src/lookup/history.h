#pragma once

#include "data/History.h"
#include "platform/controls/DBGrid.h"
#include "platform/controls/Form.h"
#include "platform/db/DataSource.h"
#include "platform/report/Report.h"

#include <QDate>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include <memory>
#include <optional>

// The history of grants: who gave or took which program, in which company and when; which
// accounts were created and dropped and which roles they got; which companies were added,
// renamed and deleted. Newest first, narrowed by user, program, company and days; the rows
// shown are exported to a CSV file or printed. Only the schema's owner and DBA may read
// it; on a server that keeps no history yet the window says how to add it.
class TFormHistory : public controls::Form {
    Q_OBJECT
public:
    explicit TFormHistory(QWidget *parent = nullptr);
    ~TFormHistory() override;

    // The narrowing, left to right; Enter in any of them shows the rows.
    QLineEdit *EditUser = nullptr;
    QLineEdit *EditProgram = nullptr;
    QLineEdit *EditCompany = nullptr;
    QLineEdit *EditFrom = nullptr;
    QLineEdit *EditTo = nullptr;
    QPushButton *BtnShow = nullptr;
    // Why there are no rows to show: no history on this server, or not the login's to read.
    QLabel *LabelNote = nullptr;
    controls::DBGrid *DBGrid1 = nullptr;
    // How many rows are shown, and what the last export did.
    QLabel *LabelStatus = nullptr;
    QPushButton *BtnExport = nullptr;
    QPushButton *BtnPrint = nullptr;
    QPushButton *BtnClose = nullptr;
    QFileDialog *SaveDialog1 = nullptr;

    history::Rows *QueryHistory = nullptr;
    db::DataSource *DataSource1 = nullptr;
    report::Report *HistoryReport = nullptr;

    // Reads the rows again with the narrowing the fields give; a date that does not read
    // leaves the rows as they were and says so.
    void BtnShowClick();

protected:
    void formShow() override { FormShow(); }
    void formHide() override { FormHide(); }

private:
    void buildReport();
    void FormShow();
    void FormHide();
    void BtnExportClick();
    // Writes every row of the narrowing to a CSV file (UTF-8, RFC 4180); returns the rows
    // written.
    int ExportTo(const QString &fileName);
    void BtnPrintClick();
    void HistoryReportBeforePrint();
    void SetButtons();
    void note(const QString &text);
    // The dates the fields take: dd/mm/yyyy, dd/mm/yy or yyyy-mm-dd; empty is no date.
    static std::optional<QDate> readDate(const QString &text);

    std::unique_ptr<report::Report> m_report;
    report::Item *m_title = nullptr;
    report::Item *m_narrowed = nullptr;
};

extern TFormHistory *FormHistory;
