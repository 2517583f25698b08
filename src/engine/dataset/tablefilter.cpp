// Table: the filter and locating a record.
#include "engine/dataset/tableimpl.h"

namespace tv {

// ---- Filter ----------------------------------------------------------------------------

FilterConditions& Table::filterConditions() { return d->conditions; }
const FilterConditions& Table::filterConditions() const { return d->conditions; }

static void refilter(Table& t, Table::Impl& d)
{
    if (!d.file)
        return;   // kept for when the table is open; nothing to show now
    checkBrowseMode(t, d);
    catchUp(t, d);
    const bool wasApplied = d.filterApplied;
    d.filterApplied = !d.conditions.empty();
    try {
        d.computeFilter();
    } catch (...) {
        d.filterApplied = wasApplied;   // the records of the filter before stay on view
        throw;
    }
    d.buildVisible();
    d.row = d.visible.empty() ? -1 : 0;
    d.bof = true;
    d.eof = d.visible.empty();
    d.dataChanged(DataChange::Refiltered);
    d.currentChanged();
}

static void replaceFilter(Table& t, Table::Impl& d, FilterConditions conditions, bool pastDamage)
{
    std::swap(d.conditions, conditions);
    const bool wasPastDamage = std::exchange(d.pastDamage, pastDamage);
    try {
        refilter(t, d);
    } catch (...) {
        d.conditions = std::move(conditions);   // a filter that fails changes nothing
        d.pastDamage = wasPastDamage;
        throw;
    }
}

void Table::setFilter(FilterConditions conditions) { replaceFilter(*this, *d, std::move(conditions), false); }
void Table::setFilterPastDamage(FilterConditions conditions) { replaceFilter(*this, *d, std::move(conditions), true); }
const FilterDamage& Table::filterDamage() const { return d->damage; }

void Table::applyFilter()
{
    d->pastDamage = false;
    refilter(*this, *d);
}

void Table::clearFilter()
{
    d->conditions.clear();
    applyFilter();
}

bool Table::filtered() const { return d->filterApplied; }

// ---- Locate ----------------------------------------------------------------------------

static bool locateFrom(Table& t, Table::Impl& d, int startRow, std::string_view fieldName, std::string_view value,
                       FilterMatchType match, bool caseSensitive)
{
    checkBrowseMode(t, d);
    d.fieldByName(fieldName);
    FieldCondition c;
    c.fieldName = std::string(fieldName);
    c.value = std::string(value);
    c.matchType = match;
    c.caseSensitive = caseSensitive;
    const ConditionTest test(*d.file, c, d.fmt, false);
    for (size_t r = size_t(std::max(0, startRow)); r < d.visible.size(); ++r) {
        if (test.test(d.visible[r])) {
            const bool moved = int(r) != d.row;
            d.row = int(r);
            d.bof = d.eof = false;
            if (moved)
                d.currentChanged();
            return true;
        }
    }
    return false;
}

bool Table::locateFirst(std::string_view fieldName, std::string_view value, FilterMatchType match, bool caseSensitive)
{
    d->requireOpen();
    return locateFrom(*this, *d, 0, fieldName, value, match, caseSensitive);
}

bool Table::locateNext(std::string_view fieldName, std::string_view value, FilterMatchType match, bool caseSensitive)
{
    d->requireOpen();
    return locateFrom(*this, *d, d->row + 1, fieldName, value, match, caseSensitive);
}

} // namespace tv
