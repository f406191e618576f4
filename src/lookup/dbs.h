#pragma once

#include "platform/controls/DBGrid.h"
#include "platform/controls/Form.h"
#include "platform/db/DataSource.h"
#include "platform/db/Query.h"
#include "platform/db/Table.h"

#include <QFrame>
#include <QPushButton>

// The table of companies, edited in a grid: a company's number, its short database name
// and its names in English and Estonian. A new company is numbered one above the largest
// number stored. Closing the window saves the current row; when that fails the window
// stays open with the row still in editing.
class TFormDBs : public controls::Form {
    Q_OBJECT
public:
    explicit TFormDBs(QWidget *parent = nullptr);
    ~TFormDBs() override;

    QFrame *Panel2 = nullptr;
    controls::DBGrid *DBGrid1 = nullptr;
    QFrame *Panel1 = nullptr;
    QPushButton *BitBtn1 = nullptr;

    db::Table *Table1 = nullptr;
    db::Field *Table1ID = nullptr;
    db::Field *Table1SYSTEM_DATE = nullptr;
    db::Field *Table1REPORT_DATE = nullptr;
    db::Field *Table1FIRMA_NIMI = nullptr;
    db::Field *Table1COMPANY_NAME = nullptr;
    db::Field *Table1V_COMPANY = nullptr;
    db::Field *Table1DB_NAME = nullptr;
    db::DataSource *DataSource1 = nullptr;
    db::Query *QueryMAXID = nullptr;

    // Every way out (the Close button, Escape, the title bar) closes through here: the
    // window closes only once the current row is saved.
    void done(int result) override;

protected:
    void formShow() override { FormShow(); }

private:
    void FormShow();
    void Table1NewRecord();
    void FormClose();
};

extern TFormDBs *FormDBs;
