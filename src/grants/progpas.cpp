#include "grants/progpas.h"

TFormProg *FormProg = nullptr;

TFormProg::TFormProg(QWidget *parent) : controls::Form(parent)
{
    setObjectName(QStringLiteral("FormProg"));
    setWindowTitle(QStringLiteral("FormProg"));
}
