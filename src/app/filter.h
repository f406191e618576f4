#pragma once

#include "platform/controls/DataControls.h"
#include "platform/controls/Form.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

// The patterns that narrow the register: one for each of eight columns and a program
// type. The dialog only holds them; the main window builds the filter. It keeps its
// contents between uses.
class TFormFilter : public controls::Form {
    Q_OBJECT
public:
    explicit TFormFilter(QWidget *parent = nullptr);

    QLineEdit *EditProg_name = nullptr;
    QLineEdit *EditProg_exe = nullptr;
    QLineEdit *EditProg_Author = nullptr;
    QLineEdit *EditVersion = nullptr;
    QLineEdit *EditProg_group = nullptr;
    QLineEdit *EditClientPath = nullptr;
    QLineEdit *EditServerPath = nullptr;
    QLineEdit *EditUser_Name = nullptr;
    controls::RadioGroup *RadioGroup1 = nullptr;
    QPushButton *BitBtn1 = nullptr;
    QPushButton *BitBtn2 = nullptr;
    QPushButton *BitBtn3 = nullptr;

    // The eight edits in the order the filter takes them; an edit's column is its name
    // without the leading "Edit".
    QList<QLineEdit *> edits() const;
};

extern TFormFilter *FormFilter;
