#include "accounts/adduser.h"

TFormCreateUser *FormCreateUser = nullptr;

TFormCreateUser::TFormCreateUser(QWidget *parent) : controls::Form(parent)
{
    setObjectName(QStringLiteral("FormCreateUser"));
    setWindowTitle(QStringLiteral("Create User"));
}
