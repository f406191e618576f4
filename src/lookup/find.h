#pragma once

#include "platform/controls/DBGrid.h"
#include "platform/controls/DataControls.h"
#include "platform/controls/Form.h"
#include "platform/db/DataSource.h"
#include "platform/db/Query.h"

#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>

// Finds programs by executable name, or the grants of the current company by user name.
// The main window moves its register to the program of the row chosen.
class TFormFind : public controls::Form {
    Q_OBJECT
public:
    explicit TFormFind(QWidget *parent = nullptr);

    QLineEdit *EditFind = nullptr;
    QRadioButton *RadioButtonExe = nullptr;
    QRadioButton *RadioButtonUser = nullptr;
    QPushButton *BitBtn3 = nullptr;
    controls::DBGrid *DBGrid1 = nullptr;
    QPushButton *BitBtn1 = nullptr;
    QPushButton *BitBtn2 = nullptr;

    db::DataSource *DataSource1 = nullptr;
    db::Query *QueryExe = nullptr;
    db::Query *QueryUsr = nullptr;

    // The statement the last search opened, or none before the first search.
    db::Query *ResultQuery = nullptr;

    void SpeedButton1Click();

private:
    void DBGrid1DblClick();
};

extern TFormFind *FormFind;
