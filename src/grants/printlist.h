#pragma once

#include "platform/controls/Form.h"

// Carries the report of one user's granted programs.
class TFormQRPrintList : public controls::Form {
    Q_OBJECT
public:
    explicit TFormQRPrintList(QWidget *parent = nullptr);
};

extern TFormQRPrintList *FormQRPrintList;
