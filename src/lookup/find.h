#pragma once

#include "platform/controls/Form.h"

// Finds programs by executable name, or grants by user name.
class TFormFind : public controls::Form {
    Q_OBJECT
public:
    explicit TFormFind(QWidget *parent = nullptr);
};

extern TFormFind *FormFind;
