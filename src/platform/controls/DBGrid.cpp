#include "platform/controls/DBGrid.h"

#include "platform/controls/Messages.h"

#include <QFocusEvent>
#include <QHeaderView>
#include <QKeyEvent>
#include <QMetaProperty>
#include <QScopedValueRollback>
#include <QStyle>

#include <algorithm>

namespace controls {

namespace {

// Room beside a cell's text, and the widest a column fitted to its values gets, in
// characters of the grid's font.
constexpr int cellPadding = 8;
constexpr int maxFitChars = 40;

} // namespace

DataSetModel::DataSetModel(QObject *parent) : QAbstractTableModel(parent) {}

void DataSetModel::setColumns(const QList<GridColumn> &columns)
{
    beginResetModel();
    m_columns = columns;
    m_shown = effectiveColumns();
    m_rows = datasetRows();
    endResetModel();
}

int DataSetModel::datasetRows() const
{
    const db::DataSet *ds = dataSet();
    return ds && ds->active() ? ds->recordCount() : 0;
}

QList<GridColumn> DataSetModel::effectiveColumns() const
{
    if (!m_columns.isEmpty())
        return m_columns;
    QList<GridColumn> shown;
    if (const db::DataSet *ds = dataSet(); ds && ds->active()) {
        for (db::Field *f : ds->visibleFields())
            shown.append({f->fieldName(), QString(), 0});
    }
    return shown;
}

db::Field *DataSetModel::fieldAt(int column) const
{
    const db::DataSet *ds = dataSet();
    if (!ds || !ds->active() || column < 0 || column >= m_shown.size())
        return nullptr;
    return ds->findField(m_shown.at(column).fieldName);
}

QString DataSetModel::titleAt(int column) const
{
    if (column < 0 || column >= m_shown.size())
        return QString();
    if (!m_shown.at(column).title.isEmpty())
        return m_shown.at(column).title;
    if (const db::Field *f = fieldAt(column))
        return f->displayLabel();
    return m_shown.at(column).fieldName;
}

int DataSetModel::widthAt(int column) const
{
    if (column < 0 || column >= m_shown.size())
        return 10;
    if (m_shown.at(column).width > 0)
        return m_shown.at(column).width;
    const db::Field *f = fieldAt(column);
    if (!f)
        return 10;
    // Long texts get a readable column, not one as wide as they may grow.
    return f->hasDisplayWidth() ? f->displayWidth() : std::min(f->displayWidth(), 40);
}

int DataSetModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : m_rows;
}

bool DataSetModel::canFetchMore(const QModelIndex &parent) const
{
    const db::DataSet *ds = dataSet();
    return !parent.isValid() && ds && ds->active() && ds->canFetchMore();
}

void DataSetModel::fetchMore(const QModelIndex &parent)
{
    if (!canFetchMore(parent))
        return;
    guard([this] { dataSet()->fetchMore(); });
}

int DataSetModel::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : int(m_shown.size());
}

QVariant DataSetModel::data(const QModelIndex &index, int role) const
{
    if (role != Qt::DisplayRole && role != Qt::EditRole)
        return QVariant();
    const db::Field *f = fieldAt(index.column());
    if (!f)
        return QVariant();
    const db::DataSet *ds = dataSet();
    if (role == Qt::EditRole && index.row() == ds->recNo())
        return f->editText();
    return f->displayTextFor(ds->rowValue(index.row(), *f));
}

QVariant DataSetModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (role != Qt::DisplayRole)
        return QVariant();
    if (orientation == Qt::Horizontal)
        return titleAt(section);
    const db::DataSet *ds = dataSet();
    if (!ds || section != ds->recNo())
        return QString();
    switch (ds->state()) {
    case db::DataSetState::Edit: return QStringLiteral("✎");
    case db::DataSetState::Insert: return QStringLiteral("✱");
    default: return QStringLiteral("▶");
    }
}

Qt::ItemFlags DataSetModel::flags(const QModelIndex &index) const
{
    Qt::ItemFlags flags = QAbstractTableModel::flags(index);
    const db::Field *f = fieldAt(index.column());
    if (!m_readOnly && f && dataSet()->canModify() && !f->readOnly())
        flags |= Qt::ItemIsEditable;
    return flags;
}

bool DataSetModel::setData(const QModelIndex &index, const QVariant &value, int role)
{
    if (role != Qt::EditRole)
        return false;
    bool done = false;
    guard([&] {
        db::DataSet *ds = dataSet();
        db::Field *f = fieldAt(index.column());
        if (!ds || !f)
            return;
        ds->setRecNo(index.row());
        done = true;
        // A cell opened and left as it was changes nothing, and starts no editing.
        if (ds->recNo() == index.row() && f->editText() == value.toString())
            return;
        ds->edit();
        f->setEditText(value.toString());
    });
    return done;
}

void DataSetModel::dataEvent(db::DataEvent event, db::Field *changed)
{
    const db::DataSet *ds = dataSet();
    switch (event) {
    case db::DataEvent::DataChanged:
        beginResetModel();
        m_shown = effectiveColumns();
        m_rows = datasetRows();
        endResetModel();
        emit cursorMoved(ds ? ds->recNo() : -1);
        break;
    case db::DataEvent::RowsAppended:
        if (const int rows = datasetRows(); rows > m_rows) {
            beginInsertRows(QModelIndex(), m_rows, rows - 1);
            m_rows = rows;
            endInsertRows();
        }
        break;
    case db::DataEvent::Scrolled:
        emit headerDataChanged(Qt::Vertical, 0, std::max(0, rowCount() - 1));
        emit cursorMoved(ds ? ds->recNo() : -1);
        break;
    case db::DataEvent::FieldChanged:
        // Only the cells of the field that changed: an open editor in another cell of the
        // row keeps what is typed into it.
        if (ds && ds->recNo() >= 0 && ds->recNo() < rowCount()) {
            for (int c = 0; c < columnCount(); ++c) {
                if (!changed || fieldAt(c) == changed)
                    emit dataChanged(index(ds->recNo(), c), index(ds->recNo(), c));
            }
            emit headerDataChanged(Qt::Vertical, ds->recNo(), ds->recNo());
        }
        break;
    case db::DataEvent::StateChanged:
        // The values stay as they were; the row indicator tells the state.
        if (ds && ds->recNo() >= 0 && ds->recNo() < rowCount())
            emit headerDataChanged(Qt::Vertical, ds->recNo(), ds->recNo());
        break;
    case db::DataEvent::UpdateRecord:
        if (onUpdateRecord)
            onUpdateRecord();
        break;
    }
}

DBGrid::DBGrid(QWidget *parent) : QTableView(parent), m_model(new DataSetModel(this))
{
    setModel(m_model);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setSelectionBehavior(QAbstractItemView::SelectItems);
    verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    verticalHeader()->setDefaultSectionSize(fontMetrics().height() + 4);
    verticalHeader()->setMinimumWidth(14);
    horizontalHeader()->setHighlightSections(false);
    horizontalHeader()->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    setEditTriggers(QAbstractItemView::DoubleClicked | QAbstractItemView::EditKeyPressed | QAbstractItemView::AnyKeyPressed);
    // A grid is one stop in the window's tab order, however many rows it holds: Tab
    // leaves it and the arrow keys move inside it.
    setTabKeyNavigation(false);
    connect(m_model, &DataSetModel::cursorMoved, this, [this](int row) { follow(row); });
    // A reset of the rows keeps the column the user was in.
    connect(m_model, &QAbstractItemModel::modelAboutToBeReset, this, [this] {
        if (currentIndex().isValid())
            m_column = currentIndex().column();
    });
    connect(m_model, &QAbstractItemModel::modelReset, this, [this] { fitColumns(); });
    connect(selectionModel(), &QItemSelectionModel::selectionChanged, this, [this] { followSelection(); });
    m_model->onUpdateRecord = [this] { writeEditor(); };
}

void DBGrid::setDataSource(db::DataSource *source)
{
    m_model->setSource(source);
}

void DBGrid::setColumns(const QList<GridColumn> &columns)
{
    m_model->setColumns(columns);
    fitColumns();
}

void DBGrid::setReadOnly(bool on)
{
    m_model->setReadOnly(on);
    setEditTriggers(on ? QAbstractItemView::NoEditTriggers
                       : QAbstractItemView::DoubleClicked | QAbstractItemView::EditKeyPressed | QAbstractItemView::AnyKeyPressed);
}

void DBGrid::setRowSelect(bool on)
{
    setSelectionBehavior(on ? QAbstractItemView::SelectRows : QAbstractItemView::SelectItems);
}

void DBGrid::setIndicator(bool on)
{
    verticalHeader()->setVisible(on);
}

void DBGrid::setTitles(bool on)
{
    horizontalHeader()->setVisible(on);
}

void DBGrid::setFitToContents(bool on)
{
    m_fitToContents = on;
    fitColumns();
}

QStringList DBGrid::titles() const
{
    QStringList list;
    for (int c = 0; c < m_model->columnCount(); ++c)
        list.append(m_model->titleAt(c));
    return list;
}

void DBGrid::fitColumns()
{
    // A column is as wide as its display width in characters of the grid's font, counted
    // as the width of the digit "0", and never narrower than its title.
    const int charWidth = fontMetrics().horizontalAdvance(QLatin1Char('0'));
    const QFontMetrics titleMetrics = horizontalHeader()->fontMetrics();
    const int margin = 2 * style()->pixelMetric(QStyle::PM_HeaderMargin, nullptr, horizontalHeader()) + 6;
    for (int c = 0; c < m_model->columnCount(); ++c) {
        const int contents = m_fitToContents ? contentsWidth(c) : 0;
        const int forText = contents > 0 ? std::min(contents, maxFitChars * charWidth) + cellPadding
                                         : m_model->widthAt(c) * charWidth + cellPadding;
        const int forTitle = titleMetrics.horizontalAdvance(m_model->titleAt(c)) + margin;
        setColumnWidth(c, std::max(forText, forTitle));
    }
}

int DBGrid::contentsWidth(int column) const
{
    const int rows = m_model->rowCount();
    const db::Field *field = m_model->fieldAt(column);
    if (rows == 0 || !field)
        return 0;
    const db::DataSet *ds = m_model->source()->dataSet();
    // Only the values longest in characters are measured: a list of thousands of rows is
    // read again after every change, and measuring a text takes far longer than counting it.
    constexpr int measured = 32;
    QList<QString> texts;
    texts.reserve(rows);
    for (int row = 0; row < rows; ++row)
        texts.append(field->displayTextFor(ds->rowValue(row, *field)));
    const auto longest = texts.begin() + std::min<qsizetype>(measured, texts.size());
    std::partial_sort(texts.begin(), longest, texts.end(),
                      [](const QString &a, const QString &b) { return a.size() > b.size(); });
    const QFontMetrics metrics = fontMetrics();
    int widest = 0;
    for (auto text = texts.begin(); text != longest; ++text)
        widest = std::max(widest, metrics.horizontalAdvance(*text));
    return widest;
}

void DBGrid::writeEditor()
{
    // A cell still open for editing holds text its row does not have yet (the window is
    // closed from its title bar, say): a save takes it first, and a text the field
    // refuses stops the save.
    if (state() != EditingState)
        return;
    const QModelIndex index = currentIndex();
    QWidget *editor = indexWidget(index);
    db::Field *f = m_model->fieldAt(index.column());
    const db::DataSet *ds = m_model->source() ? m_model->source()->dataSet() : nullptr;
    if (!editor || !f || !ds || index.row() != ds->recNo())
        return;
    const QMetaProperty property = editor->metaObject()->userProperty();
    if (!property.isValid())
        return;
    const QString text = property.read(editor).toString();
    if (text != f->editText())
        f->setEditText(text);
}

void DBGrid::follow(int row)
{
    if (m_following)
        return;
    m_following = true;
    const int column = std::clamp(currentIndex().isValid() ? currentIndex().column() : m_column, 0,
                                  std::max(0, m_model->columnCount() - 1));
    if (row >= 0 && row < m_model->rowCount()) {
        const QModelIndex target = m_model->index(row, column);
        selectionModel()->setCurrentIndex(target, QItemSelectionModel::ClearAndSelect
                                                      | (selectionBehavior() == SelectRows ? QItemSelectionModel::Rows
                                                                                          : QItemSelectionModel::NoUpdate));
        scrollTo(target);
    } else {
        selectionModel()->clearSelection();
    }
    m_following = false;
}

void DBGrid::followSelection()
{
    // An assistive tool selects a row or a cell without making it the current one: the
    // row it selected becomes the dataset's row, as a click on it would, so that what the
    // window acts on is the row shown as selected.
    if (m_following)
        return;
    if (m_ownInput)
        return; // the grid's own keys and clicks: ownInput checks the selection after them
    const QModelIndexList selected = selectionModel()->selectedIndexes();
    if (selected.isEmpty())
        return;
    const int row = selected.first().row();
    if (std::any_of(selected.begin(), selected.end(), [row](const QModelIndex &i) { return i.row() != row; }))
        return;
    const QModelIndex current = currentIndex();
    if (current.isValid() && current.row() == row)
        return;
    const int column = selectionBehavior() == SelectRows ? (current.isValid() ? current.column() : m_column)
                                                         : selected.first().column();
    selectionModel()->setCurrentIndex(m_model->index(row, column), QItemSelectionModel::NoUpdate);
}

void DBGrid::ownInput(const std::function<void()> &handle)
{
    {
        const QScopedValueRollback own(m_ownInput, true);
        handle();
    }
    // The grid's own keys and clicks move the current cell first and select after; when
    // the dataset refused the move, the selection is put back on its row.
    const db::DataSet *ds = m_model->source() ? m_model->source()->dataSet() : nullptr;
    const QModelIndexList selected = selectionModel()->selectedIndexes();
    if (ds && ds->active() && std::any_of(selected.begin(), selected.end(), [ds](const QModelIndex &i) {
            return i.row() != ds->recNo();
        }))
        follow(ds->recNo());
}

void DBGrid::mousePressEvent(QMouseEvent *event)
{
    ownInput([&] { QTableView::mousePressEvent(event); });
}

void DBGrid::mouseMoveEvent(QMouseEvent *event)
{
    ownInput([&] { QTableView::mouseMoveEvent(event); });
}

void DBGrid::currentChanged(const QModelIndex &current, const QModelIndex &previous)
{
    QTableView::currentChanged(current, previous);
    if (m_following || !current.isValid() || current.row() == previous.row())
        return;
    db::DataSet *ds = m_model->source() ? m_model->source()->dataSet() : nullptr;
    if (!ds || !ds->active() || ds->recNo() == current.row())
        return;
    guard([&] { ds->setRecNo(current.row()); });
    if (ds->recNo() != current.row())
        follow(ds->recNo()); // the move was refused: stay on the dataset's row
}

QModelIndex DBGrid::moveCursor(CursorAction action, Qt::KeyboardModifiers modifiers)
{
    // Tab and Shift+Tab in an open cell go on to the next or previous cell of the row
    // being typed, and past its last or first cell out of the grid (closeEditor).
    const QModelIndex current = currentIndex();
    if (current.isValid() && (action == MoveNext || action == MovePrevious)) {
        const int column = current.column() + (action == MoveNext ? 1 : -1);
        if (column < 0 || column >= m_model->columnCount())
            return QModelIndex();
        return m_model->index(current.row(), column);
    }
    return QTableView::moveCursor(action, modifiers);
}

void DBGrid::closeEditor(QWidget *editor, QAbstractItemDelegate::EndEditHint hint)
{
    const bool onward = hint == QAbstractItemDelegate::EditNextItem || hint == QAbstractItemDelegate::EditPreviousItem;
    const bool forward = hint == QAbstractItemDelegate::EditNextItem;
    const bool leaves = onward && !moveCursor(forward ? MoveNext : MovePrevious, Qt::NoModifier).isValid();
    QTableView::closeEditor(editor, hint);
    if (leaves)
        focusNextPrevChild(forward);
}

void DBGrid::keyPressEvent(QKeyEvent *event)
{
    db::DataSet *ds = m_model->source() ? m_model->source()->dataSet() : nullptr;
    const bool editable = ds && ds->active() && ds->canModify() && !m_model->readOnly();
    if (editable && state() != EditingState) {
        if (event->key() == Qt::Key_Insert && event->modifiers() == Qt::NoModifier) {
            guard([&] { ds->insert(); });
            return;
        }
        if (event->key() == Qt::Key_Delete && event->modifiers() == Qt::ControlModifier) {
            if (!ds->isEmpty() && Messages::askYesNo(QStringLiteral("Delete record?"), Messages::Default::No))
                guard([&] { ds->remove(); });
            return;
        }
        if (event->key() == Qt::Key_Down && event->modifiers() == Qt::NoModifier
            && ds->recNo() == ds->recordCount() - 1 && ds->state() != db::DataSetState::Insert) {
            guard([&] { ds->append(); });
            return;
        }
        if (event->key() == Qt::Key_Escape && ds->isEditing()) {
            ds->cancel();
            return;
        }
    }
    ownInput([&] { QTableView::keyPressEvent(event); });
}

void DBGrid::focusOutEvent(QFocusEvent *event)
{
    QTableView::focusOutEvent(event);
    if (state() == EditingState || event->reason() == Qt::PopupFocusReason || event->reason() == Qt::ActiveWindowFocusReason)
        return;
    // A new row in which nothing was typed is dropped when the grid is left.
    db::DataSet *ds = m_model->source() ? m_model->source()->dataSet() : nullptr;
    if (ds && ds->state() == db::DataSetState::Insert && !ds->modified())
        ds->cancel();
}

} // namespace controls
