#pragma once

#include "platform/db/DataSource.h"

#include <QAbstractTableModel>
#include <QTableView>

#include <functional>

namespace controls {

// A column of a grid: a field, its title and width in characters (0: the field's own).
struct GridColumn {
    QString fieldName;
    QString title;
    int width = 0;
};

// The rows of a dataset that pass its filter, as a table model. The cursor's row carries
// the row indicator in the vertical header.
class DataSetModel : public QAbstractTableModel, private db::DataLink {
    Q_OBJECT
public:
    explicit DataSetModel(QObject *parent = nullptr);
    void setSource(db::DataSource *source) { setDataSource(source); }
    db::DataSource *source() const { return dataSource(); }
    void setColumns(const QList<GridColumn> &columns);
    void setReadOnly(bool on) { m_readOnly = on; }
    bool readOnly() const { return m_readOnly; }
    db::Field *fieldAt(int column) const;
    QString titleAt(int column) const;
    int widthAt(int column) const;

    int rowCount(const QModelIndex &parent = QModelIndex()) const override;
    int columnCount(const QModelIndex &parent = QModelIndex()) const override;
    QVariant data(const QModelIndex &index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;
    Qt::ItemFlags flags(const QModelIndex &index) const override;
    bool setData(const QModelIndex &index, const QVariant &value, int role) override;
    // A result read on demand gives its next rows as the grid is scrolled to its end.
    bool canFetchMore(const QModelIndex &parent) const override;
    void fetchMore(const QModelIndex &parent) override;

    // Asked to write what the grid holds into the fields before a save.
    std::function<void()> onUpdateRecord;

signals:
    void cursorMoved(int row);

private:
    void dataEvent(db::DataEvent event, db::Field *field) override;
    QList<GridColumn> effectiveColumns() const;
    int datasetRows() const;

    QList<GridColumn> m_columns;
    QList<GridColumn> m_shown;
    int m_rows = 0; // the dataset's rows as the views were last told
    bool m_readOnly = false;
};

// A grid over a data source: its columns are the visible fields, or the columns given;
// the current row follows the dataset's cursor and moves it.
class DBGrid : public QTableView {
    Q_OBJECT
public:
    explicit DBGrid(QWidget *parent = nullptr);
    void setDataSource(db::DataSource *source);
    db::DataSource *dataSource() const { return m_model->source(); }
    void setColumns(const QList<GridColumn> &columns);
    void setReadOnly(bool on);
    void setRowSelect(bool on);
    void setIndicator(bool on);
    void setTitles(bool on);
    // Whether the columns take the width of their widest value each time the rows are
    // read (up to a readable limit), rather than the width their fields give.
    void setFitToContents(bool on);
    DataSetModel *dataModel() const { return m_model; }
    // The column titles as shown.
    QStringList titles() const;

protected:
    void currentChanged(const QModelIndex &current, const QModelIndex &previous) override;
    QModelIndex moveCursor(CursorAction action, Qt::KeyboardModifiers modifiers) override;
    void closeEditor(QWidget *editor, QAbstractItemDelegate::EndEditHint hint) override;
    void keyPressEvent(QKeyEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void focusOutEvent(QFocusEvent *event) override;

private:
    void follow(int row);
    void followSelection();
    // Runs the view's own handling of a key or a click.
    void ownInput(const std::function<void()> &handle);
    void fitColumns();
    // The width the column's values need, or 0 when there are none.
    int contentsWidth(int column) const;
    void writeEditor();

    DataSetModel *m_model;
    bool m_following = false;
    bool m_ownInput = false;
    int m_column = 0; // the column of the current cell, kept across a reset of the rows
    bool m_fitToContents = false;
};

} // namespace controls
