#include "platform/controls/DBLookup.h"

#include "platform/controls/Messages.h"
#include "platform/db/Field.h"

#include <QTimer>

namespace controls {

namespace {

QString keyText(const QVariant &key)
{
    if (key.isNull())
        return QString();
    return db::Field::textOf(key, key.typeId() == QMetaType::QString ? db::FieldType::String : db::FieldType::Float);
}

} // namespace

QStringList LookupList::texts() const
{
    QStringList list;
    const db::DataSet *ds = dataSet();
    if (!ds || !ds->active())
        return list;
    const db::Field *f = ds->findField(listField);
    for (int row = 0; row < ds->recordCount(); ++row)
        list.append(f ? f->displayTextFor(ds->rowValue(row, *f)) : QString());
    return list;
}

QVariant LookupList::keyAt(int row) const
{
    const db::DataSet *ds = dataSet();
    if (!ds || !ds->active())
        return QVariant();
    const db::Field *f = ds->findField(keyField);
    return f ? ds->rowValue(row, *f) : QVariant();
}

int LookupList::rowOfKey(const QVariant &key) const
{
    const db::DataSet *ds = dataSet();
    if (!ds || !ds->active() || key.isNull())
        return -1;
    const db::Field *f = ds->findField(keyField);
    if (!f)
        return -1;
    const QString wanted = keyText(key);
    for (int row = 0; row < ds->recordCount(); ++row) {
        if (db::Field::textOf(ds->rowValue(row, *f), f->dataType()) == wanted)
            return row;
    }
    return -1;
}

void LookupList::moveTo(int row)
{
    if (db::DataSet *ds = dataSet(); ds && ds->active() && row >= 0)
        ds->setRecNo(row);
}

void LookupList::dataEvent(db::DataEvent event, db::Field *)
{
    if (event == db::DataEvent::DataChanged && onRowsChanged)
        onRowsChanged();
}

// ---- DBLookupComboBox -------------------------------------------------------------

DBLookupComboBox::DBLookupComboBox(QWidget *parent) : QComboBox(parent)
{
    setEditable(false);
    m_list.onRowsChanged = [this] { rebuild(); };
    connect(this, &QComboBox::activated, this, [this](int row) {
        choose(row);
        // The wheel or the arrow keys change a closed box without any list closing; the
        // choice is completed as if its list had closed, so whatever follows the choice
        // follows it too.
        if (!m_closeUpPending)
            emit closeUp();
    });
}

void DBLookupComboBox::setListSource(db::DataSource *source)
{
    m_list.setDataSource(source);
}

void DBLookupComboBox::setKeyField(const QString &name)
{
    m_list.keyField = name;
    rebuild();
}

void DBLookupComboBox::setListField(const QString &name)
{
    m_list.listField = name;
    rebuild();
}

void DBLookupComboBox::rebuild()
{
    m_rebuilding = true;
    clear();
    addItems(m_list.texts());
    const int row = m_list.rowOfKey(m_key);
    setCurrentIndex(row);
    m_rebuilding = false;
    // Reopened rows stand on the chosen one again, so the list's current row and the
    // text shown name the same row.
    if (row >= 0)
        guard([&] { m_list.moveTo(row); });
}

void DBLookupComboBox::setKeyValue(const QVariant &key)
{
    m_key = key;
    const int row = m_list.rowOfKey(key);
    m_rebuilding = true;
    setCurrentIndex(row);
    m_rebuilding = false;
    guard([&] { m_list.moveTo(row); });
    emit keyValueChanged();
}

void DBLookupComboBox::choose(int row)
{
    if (m_rebuilding || row < 0)
        return;
    m_key = m_list.keyAt(row);
    if (currentIndex() != row) {
        m_rebuilding = true;
        setCurrentIndex(row);
        m_rebuilding = false;
    }
    guard([&] { m_list.moveTo(row); });
    emit keyValueChanged();
}

void DBLookupComboBox::hidePopup()
{
    QComboBox::hidePopup();
    // The choice made in the list is taken before the list's closing is reported.
    m_closeUpPending = true;
    QTimer::singleShot(0, this, [this] {
        m_closeUpPending = false;
        emit closeUp();
    });
}

// ---- DBLookupListBox --------------------------------------------------------------

DBLookupListBox::DBLookupListBox(QWidget *parent) : QListWidget(parent)
{
    setSelectionMode(QAbstractItemView::SingleSelection);
    m_list.onRowsChanged = [this] { rebuild(); };
    connect(this, &QListWidget::currentRowChanged, this, [this](int row) {
        if (!m_rebuilding)
            choose(row);
    });
    // An assistive tool selects a line without making it the current one: the line it
    // selected is chosen, as a click on it would choose it.
    connect(selectionModel(), &QItemSelectionModel::selectionChanged, this, [this] {
        if (m_rebuilding)
            return;
        const QList<QListWidgetItem *> selected = selectedItems();
        if (selected.size() == 1 && row(selected.first()) != currentRow())
            setCurrentItem(selected.first());
    });
}

void DBLookupListBox::focusInEvent(QFocusEvent *event)
{
    // Taking the focus chooses nothing: the list would otherwise make its first line the
    // current one, framed as if chosen while it is not, and the first arrow key would
    // pass over it.
    const bool noneChosen = currentRow() < 0;
    m_rebuilding = true;
    QListWidget::focusInEvent(event);
    if (noneChosen && currentItem() && !currentItem()->isSelected())
        selectionModel()->setCurrentIndex(QModelIndex(), QItemSelectionModel::NoUpdate);
    m_rebuilding = false;
}

void DBLookupListBox::setListSource(db::DataSource *source)
{
    m_list.setDataSource(source);
}

void DBLookupListBox::setKeyField(const QString &name)
{
    m_list.keyField = name;
    rebuild();
}

void DBLookupListBox::setListField(const QString &name)
{
    m_list.listField = name;
    rebuild();
}

void DBLookupListBox::rebuild()
{
    m_rebuilding = true;
    clear();
    addItems(m_list.texts());
    const int row = m_list.rowOfKey(m_key);
    setCurrentRow(row);
    m_rebuilding = false;
}

void DBLookupListBox::setKeyValue(const QVariant &key)
{
    m_key = key;
    m_rebuilding = true;
    setCurrentRow(m_list.rowOfKey(key));
    m_rebuilding = false;
}

void DBLookupListBox::choose(int row)
{
    if (row < 0)
        return;
    m_key = m_list.keyAt(row);
    if (currentRow() != row) {
        m_rebuilding = true;
        setCurrentRow(row);
        m_rebuilding = false;
    }
    guard([&] { m_list.moveTo(row); });
    emit chosen();
}

} // namespace controls
