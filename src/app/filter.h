#pragma once

#include "platform/controls/Form.h"

// The patterns that narrow the register of programs.
class TFormFilter : public controls::Form {
    Q_OBJECT
public:
    explicit TFormFilter(QWidget *parent = nullptr);
};

extern TFormFilter *FormFilter;
