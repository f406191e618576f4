#include "lookup/find.h"

TFormFind *FormFind = nullptr;

TFormFind::TFormFind(QWidget *parent) : controls::Form(parent)
{
    setObjectName(QStringLiteral("FormFind"));
    setWindowTitle(QStringLiteral("FormFind"));
}
