#pragma once

#include "platform/controls/Form.h"

// Creates and drops the accounts of the banking system's users.
class TFormCreateUser : public controls::Form {
    Q_OBJECT
public:
    explicit TFormCreateUser(QWidget *parent = nullptr);
};

extern TFormCreateUser *FormCreateUser;
