#pragma once

#include "platform/db/DataSet.h"

#include <QObject>
#include <QPointer>

#include <vector>

namespace db {

class DataSource;

// Something that follows a dataset through a data source: a data-aware control, or a
// detail dataset that reopens when its master's row changes. Events arrive as plain
// calls, so an UpdateRecord handler may throw and stop the post that asked for it.
class DataLink {
public:
    DataLink() = default;
    DataLink(const DataLink &) = delete;
    DataLink &operator=(const DataLink &) = delete;
    virtual ~DataLink();

    DataSource *dataSource() const { return m_source; }
    void setDataSource(DataSource *source);
    DataSet *dataSet() const;
    bool active() const;

protected:
    friend class DataSource;
    virtual void dataEvent(DataEvent event, Field *field) = 0;

private:
    DataSource *m_source = nullptr;
};

// Connects a dataset to the controls and details that show or follow it. The dataset
// may be switched while controls stay bound.
class DataSource : public QObject {
    Q_OBJECT
public:
    explicit DataSource(QObject *parent = nullptr);
    ~DataSource() override;

    DataSet *dataSet() const { return m_dataSet; }
    void setDataSet(DataSet *dataSet);

    // Puts the dataset into edit when it is browsing a row (a control was typed into).
    void edit();

private:
    friend class DataLink;
    friend class DataSet;
    void addLink(DataLink *link);
    void removeLink(DataLink *link);
    void dispatch(DataEvent event, Field *field);

    QPointer<DataSet> m_dataSet;
    std::vector<DataLink *> m_links;
};

} // namespace db
