#include "platform/db/DataSource.h"

#include <algorithm>

namespace db {

DataLink::~DataLink()
{
    // No event now: the link's own class is already gone.
    if (m_source)
        m_source->removeLink(this);
}

void DataLink::setDataSource(DataSource *source)
{
    if (m_source == source)
        return;
    if (m_source)
        m_source->removeLink(this);
    m_source = source;
    if (m_source)
        m_source->addLink(this);
    dataEvent(DataEvent::DataChanged, nullptr);
}

DataSet *DataLink::dataSet() const
{
    return m_source ? m_source->dataSet() : nullptr;
}

bool DataLink::active() const
{
    const DataSet *ds = dataSet();
    return ds && ds->active();
}

DataSource::DataSource(QObject *parent) : QObject(parent) {}

DataSource::~DataSource()
{
    if (m_dataSet)
        m_dataSet->detachSource(this);
    // Links outlive nothing here: tell them the source is gone.
    const std::vector<DataLink *> links = m_links;
    for (DataLink *link : links)
        link->m_source = nullptr;
}

void DataSource::setDataSet(DataSet *dataSet)
{
    if (m_dataSet == dataSet)
        return;
    if (m_dataSet)
        m_dataSet->detachSource(this);
    m_dataSet = dataSet;
    if (m_dataSet)
        m_dataSet->attachSource(this);
    dispatch(DataEvent::DataChanged, nullptr);
}

void DataSource::edit()
{
    if (m_dataSet && m_dataSet->state() == DataSetState::Browse)
        m_dataSet->edit();
}

void DataSource::addLink(DataLink *link)
{
    m_links.push_back(link);
}

void DataSource::removeLink(DataLink *link)
{
    m_links.erase(std::remove(m_links.begin(), m_links.end(), link), m_links.end());
}

void DataSource::dispatch(DataEvent event, Field *field)
{
    // A handler may bind or unbind links; only those still bound are told.
    const std::vector<DataLink *> links = m_links;
    for (DataLink *link : links) {
        if (std::find(m_links.begin(), m_links.end(), link) != m_links.end())
            link->dataEvent(event, field);
    }
}

} // namespace db
