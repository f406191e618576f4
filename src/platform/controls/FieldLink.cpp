#include "platform/controls/FieldLink.h"

namespace controls {

db::Field *FieldLink::field() const
{
    const db::DataSet *ds = dataSet();
    if (!ds || !ds->active() || fieldName.isEmpty())
        return nullptr;
    return ds->findField(fieldName);
}

bool FieldLink::editing() const
{
    const db::DataSet *ds = dataSet();
    return ds && ds->isEditing();
}

bool FieldLink::canModify() const
{
    const db::Field *f = field();
    return f && dataSet()->canModify() && !f->readOnly();
}

void FieldLink::edit()
{
    if (db::DataSource *source = dataSource())
        source->edit();
}

void FieldLink::dataEvent(db::DataEvent event, db::Field *changed)
{
    switch (event) {
    case db::DataEvent::DataChanged:
    case db::DataEvent::Scrolled:
        if (onChange)
            onChange();
        break;
    case db::DataEvent::FieldChanged:
        if (onChange && (!changed || changed == field()))
            onChange();
        break;
    case db::DataEvent::StateChanged:
    case db::DataEvent::RowsAppended:
        break; // the current row's values change only through the events above
    case db::DataEvent::UpdateRecord:
        if (onUpdate)
            onUpdate();
        break;
    }
}

} // namespace controls
