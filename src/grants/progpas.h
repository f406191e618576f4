#pragma once

#include "platform/controls/Form.h"

// The granted and available programs of one user in one company.
class TFormProg : public controls::Form {
    Q_OBJECT
public:
    explicit TFormProg(QWidget *parent = nullptr);
};

extern TFormProg *FormProg;
