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
    // The granted list of the programs-of-one-user window, with the user and the company
    // it was read for; before it is read, the window's user field and the main window's
    // company.
    static GrantedList windowsGrantedList();

    // Sets the title, the list and the summary band from the granted list.
    void QRep1BeforePrint();

private:
    void buildReport();
    void QuickRep1BeforePrint(report::Report &sender);

    std::unique_ptr<report::Report> m_report;
};

extern TFormQRPrintList *FormQRPrintList;
