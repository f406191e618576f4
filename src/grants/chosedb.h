#pragma once

#include "platform/controls/DBLookup.h"
#include "platform/controls/Form.h"
#include "platform/db/DataSource.h"
#include "platform/db/Query.h"

#include <QPushButton>
#include <QTextEdit>

// Chooses the company database to copy grants from.
class TFormChoseDB : public controls::Form {
    Q_OBJECT
public:
    explicit TFormChoseDB(QWidget *parent = nullptr);

    QTextEdit *Memo1 = nullptr;
    controls::DBLookupListBox *DBLookupListBox1 = nullptr;
    QPushButton *BitBtn1 = nullptr; // Cancel
    QPushButton *BitBtn2 = nullptr; // OK

    db::Query *Query1 = nullptr;
    db::DataSource *DataSource1 = nullptr;

    // The result of the last choice: the chosen database's number, or -1.
    double ChosenDatabaseId = -1;

    // Offers every database but the one given and returns the number of the one chosen,
    // or -1 when the dialog was cancelled or no offered line was chosen.
    double ChooseDatabase(double databaseId);
};

extern TFormChoseDB *FormChoseDB;
