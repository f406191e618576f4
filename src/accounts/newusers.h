#pragma once

#include "platform/controls/Form.h"

// Links a person of the personnel to an account name.
class TFormNewusers : public controls::Form {
    Q_OBJECT
public:
    explicit TFormNewusers(QWidget *parent = nullptr);
};

extern TFormNewusers *FormNewusers;
