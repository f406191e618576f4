#include "accounts/newusers.h"

TFormNewusers *FormNewusers = nullptr;

TFormNewusers::TFormNewusers(QWidget *parent) : controls::Form(parent)
{
    setObjectName(QStringLiteral("FormNewusers"));
    setWindowTitle(QStringLiteral("New users"));
}
