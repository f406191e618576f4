#include "lookup/dbs.h"

TFormDBs *FormDBs = nullptr;

TFormDBs::TFormDBs(QWidget *parent) : controls::Form(parent)
{
    setObjectName(QStringLiteral("FormDBs"));
    setWindowTitle(QStringLiteral("Companies"));
}
