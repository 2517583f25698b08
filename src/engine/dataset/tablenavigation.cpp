// Table: moving through the visible set.
#include "engine/dataset/tableimpl.h"

namespace tv {

// ---- Navigation ------------------------------------------------------------------------

void checkBrowseMode(Table& t, Table::Impl& d)
{
    d.requireOpen();
    if (d.state == TableState::Edit || d.state == TableState::Insert) {
        if (d.modified())
            t.post();
        else
            t.cancel();
    }
}

void Table::first()
{
    checkBrowseMode(*this, *d);
    const int before = d->row;
    d->row = d->visible.empty() ? -1 : 0;
    d->bof = true;
    d->eof = d->visible.empty();
    if (d->row != before)
        d->currentChanged();
}

void Table::last()
{
    checkBrowseMode(*this, *d);
    const int before = d->row;
    d->row = int(d->visible.size()) - 1;
    d->eof = true;
    d->bof = d->visible.empty();
    if (d->row != before)
        d->currentChanged();
}

void Table::next() { moveBy(1); }
void Table::prior() { moveBy(-1); }

int Table::moveBy(int distance)
{
    checkBrowseMode(*this, *d);
    if (distance == 0 || (distance > 0 && d->eof) || (distance < 0 && d->bof))
        return 0;
    d->bof = d->eof = false;
    const int count = int(d->visible.size());
    if (count == 0) {
        (distance > 0 ? d->eof : d->bof) = true;
        return 0;
    }
    const int before = d->row < 0 ? 0 : d->row;
    long target = long(before) + distance;
    if (target >= count) {
        target = count - 1;
        d->eof = true;
    } else if (target < 0) {
        target = 0;
        d->bof = true;
    }
    d->row = int(target);
    if (d->row != before)
        d->currentChanged();
    return d->row - before;
}

void Table::moveTo(int row)
{
    d->requireOpen();
    if (row < 0 || row >= int(d->visible.size()))
        throw EngineError("Row " + std::to_string(row) + " out of range");
    if (row != d->row || d->state != TableState::Browse)
        moveBy(row - (d->row < 0 ? 0 : d->row));
    // A grid click on the current row leaves the indicators alone.
}

bool Table::atBeginning() const { return d->bof; }
bool Table::atEnd() const { return d->eof; }
int Table::recNo() const { return d->state == TableState::Insert ? insertRow() : d->row; }
int Table::recordCount() const { return int(d->visible.size()); }
const std::vector<RecordId>& Table::visibleIds() const { return d->visible; }
std::optional<RecordId> Table::currentId() const { return d->current(); }
int Table::insertRow() const { return d->state == TableState::Insert ? int(d->visible.size()) : -1; }

} // namespace tv
