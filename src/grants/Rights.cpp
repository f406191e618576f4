#include "grants/Rights.h"

TDualListDlg *DualListDlg = nullptr;

TDualListDlg::TDualListDlg(QWidget *parent) : controls::Form(parent)
{
    setObjectName(QStringLiteral("DualListDlg"));
    setWindowTitle(QStringLiteral("users"));
}
