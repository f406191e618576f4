#include "grants/chosedb.h"

TFormChoseDB *FormChoseDB = nullptr;

TFormChoseDB::TFormChoseDB(QWidget *parent) : controls::Form(parent)
{
    setObjectName(QStringLiteral("FormChoseDB"));
    setWindowTitle(QStringLiteral("Choose DB"));
}
