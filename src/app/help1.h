#pragma once

#include "platform/controls/Form.h"

#include <QLabel>
#include <QPlainTextEdit>

// Hints on preparing a new user, shown beside the main window.
class TFormHelp : public controls::Form {
    Q_OBJECT
public:
    explicit TFormHelp(QWidget *parent = nullptr);

    QLabel *Label1 = nullptr;
    QPlainTextEdit *Memo1 = nullptr;

    // The hints, line by line.
    static QStringList hints();
};

extern TFormHelp *FormHelp;
