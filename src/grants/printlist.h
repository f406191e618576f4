#pragma once

#include "platform/controls/Form.h"
#include "platform/report/Report.h"

#include <functional>
#include <memory>

namespace db {
class DataSet;
}

// Carries the report of one user's granted programs; the window itself is never shown.
class TFormQRPrintList : public controls::Form {
    Q_OBJECT
public:
    explicit TFormQRPrintList(QWidget *parent = nullptr);
    ~TFormQRPrintList() override;

    // The report and its parts
    report::Report *QuickRep1 = nullptr;
    report::Band *QRBand1 = nullptr; // title
    report::Item *QRLabel4 = nullptr;
    report::Band *QRBand2 = nullptr; // column headings
    report::Item *QRLabel1 = nullptr;
    report::Item *QRLabel3 = nullptr;
    report::Item *QRLabel2 = nullptr;
    report::Item *QRShape1 = nullptr;
    report::Band *QRBand3 = nullptr; // one line per program
    report::Item *QRDBText1 = nullptr;
    report::Item *QRDBText3 = nullptr;
    report::Item *QRDBText2 = nullptr;
    report::Band *QRBand4 = nullptr; // the filter, for a filtered list
    report::Item *QRShape2 = nullptr;
    report::Item *QRLabel6 = nullptr;
    report::Item *QRLabel5 = nullptr;

    // What the report prints: the company and the user its title names, and their list
    // of granted programs as the programs-of-one-user window holds it.
    struct GrantedList {
        QString company;
        QString user;
        db::DataSet *programs = nullptr;
    };
    // Where the report takes them each time it is produced; by default from the windows.
    std::function<GrantedList()> grantedList = windowsGrantedList;
    // The main window's company. The user and the list belong to the programs-of-one-user
    // window (its Edit1 and QueryuserProg) and are taken here once that window holds
    // them; until then the title names no user and the report has no rows.
    static GrantedList windowsGrantedList();

    // Sets the title, the list and the summary band from the granted list.
    void QRep1BeforePrint();

private:
    void buildReport();
    void QuickRep1BeforePrint(report::Report &sender);

    std::unique_ptr<report::Report> m_report;
};

extern TFormQRPrintList *FormQRPrintList;
