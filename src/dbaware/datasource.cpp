#include "datasource.h"

#include "dbaware/engineguard.h"

#include <QTimer>

#include <algorithm>

namespace tv {

DataLink::~DataLink() { linkTo(nullptr); }

void DataLink::linkTo(DataSource* source)
{
    if (source_ == source)
        return;
    if (source_) {
        auto& links = source_->links_;
        links.erase(std::remove(links.begin(), links.end(), this), links.end());
    }
    source_ = source;
    if (source_)
        source_->links_.push_back(this);
}

DataSource::DataSource(QObject* parent) : QObject(parent) {}

DataSource::DataSource(Table* table, QObject* parent) : QObject(parent) { setTable(table); }

DataSource::~DataSource()
{
    detach();
    for (DataLink* link : links_)
        link->source_ = nullptr;
}

void DataSource::setTable(Table* table)
{
    if (table == table_)
        return;
    detach();
    table_ = table;
    attach();
    guarded([this] {
        emit tableChanged();
        emit dataChanged(DataChange::Reset);
        emit currentChanged();
    });
}

void DataSource::attach()
{
    if (!table_)
        return;
    // The views and handlers behind these signals read values: what they cannot read is
    // reported here, and the table's own work goes on.
    listeners_.push_back(table_->addCurrentChangedListener([this] { guarded([this] { emit currentChanged(); }); }));
    listeners_.push_back(table_->addDataChangedListener([this](DataChange c) { guarded([this, c] { emit dataChanged(c); }); }));
    listeners_.push_back(table_->addStateChangedListener([this](TableState s) { guarded([this, s] { emit stateChanged(s); }); }));
    listeners_.push_back(table_->addAfterPostListener([this] { guarded([this] { emit afterPost(); }); }));
}

void DataSource::detach()
{
    if (table_)
        for (ListenerId id : listeners_)
            table_->removeListener(id);
    listeners_.clear();
}

bool DataSource::active() const { return table_ && table_->isOpen(); }

bool DataSource::writable() const { return active() && !table_->readOnly(); }

TableState DataSource::state() const { return table_ ? table_->state() : TableState::Inactive; }

bool DataSource::readAgainLater()
{
    // While a note is edited too: what is typed stays pending, its post then finds the note.
    if (!table_ || table_->state() == TableState::Inactive || !table_->changedElsewhere())
        return false;
    if (!rereadQueued_) {
        rereadQueued_ = true;
        QTimer::singleShot(0, this, [this] {
            rereadQueued_ = false;
            guarded([this] {
                if (table_ && table_->isOpen())
                    table_->catchUpKeepingEdit();
            });
        });
    }
    return true;
}

void DataSource::edit()
{
    if (!table_)
        throw EngineError("No table is bound to the data source");
    const TableState s = table_->state();
    if (s == TableState::Edit || s == TableState::Insert)
        return;
    if (!table_->isOpen())
        throw EngineError("Cannot perform this operation on a closed table");
    if (table_->readOnly())
        throw EngineError("Cannot modify a read-only table");
    if (table_->recordCount() == 0)
        table_->append();
    else
        table_->edit();
}

void DataSource::updateRecord()
{
    const std::vector<DataLink*> links = links_;  // a flush may rebind controls
    for (DataLink* link : links)
        if (std::find(links_.begin(), links_.end(), link) != links_.end())
            link->flushPending();
}

std::vector<std::pair<int, QString>> DataSource::heldBack() const
{
    std::vector<std::pair<int, QString>> held;
    int field = -1;
    QString text;
    for (const DataLink* link : links_)
        if (link->heldBack(field, text))
            held.emplace_back(field, text);
    return held;
}

bool DataSource::readyToLeave()
{
    if (!table_ || (table_->state() != TableState::Edit && table_->state() != TableState::Insert))
        return true;
    updateRecord();
    // An edit that changed nothing is dropped by the move, not posted.
    return !table_->modified() || !leaveGuard_ || leaveGuard_();
}

void DataSource::post()
{
    if (!table_)
        return;
    updateRecord();
    table_->post();
}

} // namespace tv
