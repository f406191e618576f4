#pragma once

#include "platform/controls/Form.h"

// Shows, runs and reports the statements that create one account.
class TFormCr : public controls::Form {
    Q_OBJECT
public:
    explicit TFormCr(QWidget *parent = nullptr);
};

extern TFormCr *FormCr;
