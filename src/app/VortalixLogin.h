#pragma once

#include "platform/controls/Form.h"

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

// The login dialog: a server, a login name and a password. It also serves as the prompt
// for one user's password, with the server row hidden and a title line.
class TLoginForm : public controls::Form {
    Q_OBJECT
public:
    explicit TLoginForm(QWidget *parent = nullptr);

    QLabel *Label4 = nullptr;
    QLabel *Label1 = nullptr;
    QComboBox *ConnComboBox = nullptr;
    QLabel *Label2 = nullptr;
    QLineEdit *LoginEdit = nullptr;
    QLabel *Label3 = nullptr;
    QLineEdit *PasswdEdit = nullptr;
    QPushButton *BitBtn2 = nullptr;
    QPushButton *BitBtn1 = nullptr;

protected:
    void formShow() override { FormShow(); }

private:
    void FormCreate();
    void FormShow();
};

extern TLoginForm *LoginForm;
