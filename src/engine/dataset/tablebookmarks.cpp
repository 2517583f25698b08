// Table: bookmarks.
#include "engine/dataset/tableimpl.h"

namespace tv {

// ---- Bookmarks -------------------------------------------------------------------------

Bookmark Table::getBookmark()
{
    d->requireOpen();
    const auto id = d->current();
    if (!id)
        throw EngineError("No current record to bookmark");
    const uint64_t h = d->nextBookmark++;
    d->bookmarks[h] = {*id, d->keyOf(*id)};
    return Bookmark{h};
}

void Table::gotoBookmark(Bookmark b)
{
    d->requireOpen();
    auto it = d->bookmarks.find(b.handle);
    if (it == d->bookmarks.end())
        throw EngineError("Invalid bookmark");
    catchUp(*this, *d);   // files another program saved in place are read again first
    const auto found = d->findAgain(it->second.id, it->second.key);
    if (!found)
        throw EngineError("Record not found: the bookmarked record has been deleted");
    const RecordId id = it->second.id = *found;
    const int r = d->rowOf(id);
    if (r < 0)
        throw EngineError("Record not found: the bookmarked record is hidden by the filter");
    checkBrowseMode(*this, *d);
    const int r2 = d->rowOf(id);   // a post may have reordered the rows
    if (r2 < 0)
        throw EngineError("Record not found: the bookmarked record is hidden by the filter");
    const bool moved = r2 != d->row;
    d->row = r2;
    d->bof = d->eof = false;
    if (moved)
        d->currentChanged();
}

void Table::freeBookmark(Bookmark b) { d->bookmarks.erase(b.handle); }

bool Table::bookmarkValid(Bookmark b) const
{
    auto it = d->bookmarks.find(b.handle);
    if (it == d->bookmarks.end())
        return false;
    const auto found = d->findAgain(it->second.id, it->second.key);
    return found && d->rowOf(*found) >= 0;
}

} // namespace tv
