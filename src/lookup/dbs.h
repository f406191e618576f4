#pragma once

#include "platform/controls/Form.h"

// The table of companies.
class TFormDBs : public controls::Form {
    Q_OBJECT
public:
    explicit TFormDBs(QWidget *parent = nullptr);
};

extern TFormDBs *FormDBs;
