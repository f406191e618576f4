#pragma once

#include "platform/controls/DBLookup.h"
#include "platform/controls/DataControls.h"
#include "platform/controls/Form.h"
#include "platform/db/DataSource.h"
#include "platform/db/Query.h"
#include "platform/db/Table.h"

#include <QLabel>
#include <QPushButton>

// Links a person of the personnel to an account name: the person is picked by name, and
// the account name is stored in C_USER of the person's customer row, which is made when
// the person has none. Posted tells the caller whether anything was saved.
class TFormNewusers : public controls::Form {
    Q_OBJECT
public:
    explicit TFormNewusers(QWidget *parent = nullptr);
    ~TFormNewusers() override;

    // How much narrower than the person picker the company name lies over it, leaving the
    // picker's drop-down button uncovered.
    static constexpr int DropDownButtonWidth = 17;

    bool Posted = false;

    QLabel *Label1 = nullptr;
    controls::DBLookupComboBox *DBLookupComboBox1 = nullptr;
    controls::DBEdit *DBEdit2 = nullptr;
    QLabel *Label2 = nullptr;
    controls::DBEdit *DBEdit1 = nullptr;
    QPushButton *BitBtn1 = nullptr;

    db::Query *QueryPersonnel = nullptr;
    db::DataSource *DataSource1 = nullptr;
    db::Table *Table1 = nullptr;
    db::DataSource *DataSource2 = nullptr;

    // Any other way out than the Close button (Escape, the window manager) goes through it,
    // so that a typed name is saved as the Close button saves it.
    void reject() override;

protected:
    void formShow() override { FormShow(); }
    void formHide() override { FormClose(); }

private:
    void FormShow();
    void BitBtn1Click();
    void Table1AfterPost();
    void FormClose();
};

extern TFormNewusers *FormNewusers;
