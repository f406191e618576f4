#include "grants/printlist.h"

TFormQRPrintList *FormQRPrintList = nullptr;

TFormQRPrintList::TFormQRPrintList(QWidget *parent) : controls::Form(parent)
{
    setObjectName(QStringLiteral("FormQRPrintList"));
    setWindowTitle(QStringLiteral("FormQRPrintList"));
}
