#include "accounts/createDrop.h"

TFormCr *FormCr = nullptr;

TFormCr::TFormCr(QWidget *parent) : controls::Form(parent)
{
    setObjectName(QStringLiteral("FormCr"));
    setWindowTitle(QStringLiteral("FormCr"));
}
