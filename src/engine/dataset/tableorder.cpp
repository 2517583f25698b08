// Table: index definitions and the record order.
#include "engine/dataset/tableimpl.h"

namespace tv {

// ---- Indexes ---------------------------------------------------------------------------

const std::vector<IndexDef>& Table::indexDefs() const { return d->indexes; }

void Table::refreshIndexDefs()
{
    if (!d->file)
        return;
    const std::string name = d->indexName;
    d->indexes = d->file->indexes();
    d->orders.clear();
    if (d->currentIndex >= int(d->indexes.size()))
        d->currentIndex = -1;
}

const std::string& Table::indexName() const { return d->indexName; }

std::string Table::indexFieldNames() const
{
    if (d->currentIndex < 0)
        return {};
    return d->indexes[size_t(d->currentIndex)].fieldList();
}

int Table::currentIndex() const { return d->currentIndex; }

static void switchToIndex(Table& t, Table::Impl& d, int index)
{
    checkBrowseMode(t, d);
    if (index == d.currentIndex)
        return;
    const auto id = d.current();
    d.currentIndex = index;
    d.indexName = index >= 0 ? d.indexes[size_t(index)].name : std::string();
    d.buildVisible();
    d.placeOn(id, d.row);
    d.bof = d.eof = d.visible.empty();
    d.dataChanged(DataChange::Reordered);
    d.currentChanged();
}

void Table::setIndexName(const std::string& name)
{
    d->requireOpen();
    int found = -1;
    if (name.empty()) {
        for (size_t i = 0; i < d->indexes.size() && found < 0; ++i)
            if (d->indexes[i].primary)
                found = int(i);
    } else {
        for (size_t i = 0; i < d->indexes.size() && found < 0; ++i)
            if (d->indexes[i].name == name)
                found = int(i);
        const std::string key = foldAsciiUpper(name);
        for (size_t i = 0; i < d->indexes.size() && found < 0; ++i)
            if (foldAsciiUpper(d->indexes[i].name) == key)
                found = int(i);
        if (found < 0)
            throw EngineError("Index '" + name + "' not found");
    }
    switchToIndex(*this, *d, found);
}

int Table::indexForField(std::string_view fieldName) const
{
    const std::string key = foldAsciiUpper(fieldName);
    for (int pass = 0; pass < 2; ++pass) {
        for (size_t i = 0; i < d->indexes.size(); ++i) {
            const IndexDef& ix = d->indexes[i];
            if (pass == 0 && !ix.caseInsensitive)
                continue;
            const std::string list = foldAsciiUpper(ix.fieldList());
            if (list == key || (list.size() > key.size() && list.compare(0, key.size(), key) == 0 && list[key.size()] == ';'))
                return int(i);
        }
    }
    return -1;
}

bool Table::orderByField(std::string_view fieldName)
{
    d->requireOpen();
    if (d->indexes.empty())
        refreshIndexDefs();
    const int index = indexForField(fieldName);
    if (index < 0)
        return false;
    switchToIndex(*this, *d, index);
    return true;
}

} // namespace tv
