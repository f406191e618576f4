#pragma once

#include "platform/db/DataSource.h"

#include <functional>

namespace controls {

// The link of a data-aware control to one field of a data source. The field is looked up
// by name at every use, since a dataset's fields come and go as it opens and closes.
class FieldLink : public db::DataLink {
public:
    QString fieldName;
    std::function<void()> onChange;      // the value, the row or the dataset changed
    std::function<void()> onUpdate;      // write what the control holds into the field

    db::Field *field() const;
    bool editing() const;
    // Whether typing into the control can change the field.
    bool canModify() const;
    // Puts the dataset into edit for the control's first keystroke.
    void edit();

protected:
    void dataEvent(db::DataEvent event, db::Field *changed) override;
};

// Turns every letter typed into upper or lower case.
enum class CharCase { Normal, Upper, Lower };

} // namespace controls
