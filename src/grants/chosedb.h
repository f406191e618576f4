#pragma once

#include "platform/controls/Form.h"

// Chooses the company database to copy grants from.
class TFormChoseDB : public controls::Form {
    Q_OBJECT
public:
    explicit TFormChoseDB(QWidget *parent = nullptr);
};

extern TFormChoseDB *FormChoseDB;
