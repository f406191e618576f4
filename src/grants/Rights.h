#pragma once

#include "platform/controls/Form.h"

// Chooses the users who may run one program in one company.
class TDualListDlg : public controls::Form {
    Q_OBJECT
public:
    explicit TDualListDlg(QWidget *parent = nullptr);
};

extern TDualListDlg *DualListDlg;
