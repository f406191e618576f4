#pragma once

#include "platform/db/DataSource.h"

#include <QComboBox>
#include <QListWidget>

namespace controls {

// What a lookup control shows: the list field of every row of its list source, keyed by
// the key field. Choosing a line moves the list's dataset to that row.
class LookupList : public db::DataLink {
public:
    QString keyField;
    QString listField;
    std::function<void()> onRowsChanged;

    QStringList texts() const;
    QVariant keyAt(int row) const;
    // The row whose key equals the value (compared as text), or -1.
    int rowOfKey(const QVariant &key) const;
    // Moves the list's dataset to a row.
    void moveTo(int row);

protected:
    void dataEvent(db::DataEvent event, db::Field *field) override;
};

// A drop-down list of the rows of a list source. Its key value is read and set; setting
// it selects the row with that key, if there is one. closeUp is sent whenever the list
// closes, also when it closes without a change, and when the wheel or the arrow keys
// change the closed box's choice: every choice a user makes ends in one closeUp.
class DBLookupComboBox : public QComboBox {
    Q_OBJECT
public:
    explicit DBLookupComboBox(QWidget *parent = nullptr);
    void setListSource(db::DataSource *source);
    void setKeyField(const QString &name);
    void setListField(const QString &name);
    QVariant keyValue() const { return m_key; }
    void setKeyValue(const QVariant &key);
    // The text shown: the list field of the chosen row, or nothing.
    QString text() const { return currentText(); }
    // Chooses a line as a user does.
    void choose(int row);
    void hidePopup() override;

signals:
    void closeUp();
    void keyValueChanged();

private:
    void rebuild();

    LookupList m_list;
    QVariant m_key;
    bool m_rebuilding = false;
    bool m_closeUpPending = false;
};

// A list of the rows of a list source, with a chosen key.
class DBLookupListBox : public QListWidget {
    Q_OBJECT
public:
    explicit DBLookupListBox(QWidget *parent = nullptr);
    void setListSource(db::DataSource *source);
    void setKeyField(const QString &name);
    void setListField(const QString &name);
    QVariant keyValue() const { return m_key; }
    void setKeyValue(const QVariant &key);
    void choose(int row);

signals:
    // A line was chosen by mouse, keys or an assistive tool.
    void chosen();

protected:
    void focusInEvent(QFocusEvent *event) override;

private:
    void rebuild();

    LookupList m_list;
    QVariant m_key;
    bool m_rebuilding = false;
};

} // namespace controls
