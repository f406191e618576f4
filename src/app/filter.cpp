#include "app/filter.h"

TFormFilter *FormFilter = nullptr;

TFormFilter::TFormFilter(QWidget *parent) : controls::Form(parent)
{
    setObjectName(QStringLiteral("FormFilter"));
    setWindowTitle(QStringLiteral("Filter"));
}
