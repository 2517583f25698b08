// Table: appending, editing, posting, deleting, re-reading and saving.
#include "engine/dataset/tableimpl.h"

namespace tv {

// ---- Editing ---------------------------------------------------------------------------

void requireWritable(const Table::Impl& d)
{
    if (!d.file->writable())
        throw EngineError("Cannot modify a read-only dataset");
}

void catchUp(Table& t, const Table::Impl& d)
{
    if (d.state == TableState::Browse && d.file->writable() && d.file->savedElsewhere())
        t.refresh();
}

void Table::append()
{
    checkBrowseMode(*this, *d);
    requireWritable(*d);
    catchUp(*this, *d);
    d->beforeInsert = d->current();
    d->startBuffer(Record(d->fields().size()));
    d->editId = 0;
    d->setState(TableState::Insert);
    d->dataChanged(DataChange::RowsAdded);
    d->currentChanged();
}

void Table::edit()
{
    d->requireOpen();
    if (d->state == TableState::Edit || d->state == TableState::Insert)
        return;
    requireWritable(*d);
    catchUp(*this, *d);
    const auto id = d->current();
    if (!id)
        throw EngineError("Cannot edit: the dataset has no current record");
    d->editOriginal = d->recordValues(*id);
    d->startBuffer(d->editOriginal);
    d->editId = *id;
    d->setState(TableState::Edit);
}

// The characters of `text` the code page cannot hold, each once, in the order they occur
// (empty when the text is stored as it stands).
static std::string unstorableCharacters(int codePage, const std::string& text)
{
    if (decodeText(codePage, encodeText(codePage, text)) == text)
        return {};
    std::string found;
    size_t pos = 0;
    while (pos < text.size()) {
        const auto lead = uint8_t(text[pos]);
        size_t len = lead < 0x80 ? 1 : lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : lead >= 0xC0 ? 2 : 1;
        len = std::min(len, text.size() - pos);
        const std::string one = text.substr(pos, len);
        pos += len;
        if (decodeText(codePage, encodeText(codePage, one)) == one || found.find(one) != std::string::npos)
            continue;
        // The code point too, for a character the screen's font cannot show.
        char32_t c = len == 1 ? lead : lead & (0xFF >> (len + 1));
        for (size_t i = 1; i < len; ++i)
            c = (c << 6) | (uint8_t(one[i]) & 0x3F);
        char hex[16];
        std::snprintf(hex, sizeof hex, " (U+%04X)", unsigned(c));
        if (!found.empty())
            found += ", ";
        found += one + hex;
    }
    return found;
}

bool Table::Impl::sameValues(const Record& a, const Record& b) const
{
    if (a.size() != b.size())
        return false;
    for (size_t f = 0; f < a.size(); ++f)
        if (compareValues(a[f], b[f], false) != 0)
            return false;
    return true;
}

Record Table::Impl::keyOf(RecordId id) const
{
    Record key;
    for (int k = 0; k < file->primaryKeyFields(); ++k)
        key.push_back(file->value(id, k));
    return key;
}

bool Table::Impl::hasKey(RecordId id, const Record& values) const
{
    for (int k = 0; k < file->primaryKeyFields(); ++k)
        if (compareValues(file->value(id, k), values[size_t(k)], false) != 0)
            return false;
    return true;
}

std::optional<RecordId> Table::Impl::findEdited() const
{
    if (file->primaryKeyFields() == 0)
        return findRecord(editId, [&](RecordId id) { return sameValues(recordValues(id), editOriginal); });
    return findRecord(editId, [&](RecordId id) { return hasKey(id, editOriginal); });
}

std::string Table::Impl::describeEdited() const
{
    const int keys = file->primaryKeyFields();
    if (keys == 0)
        return "a record";
    std::string out = "the record with";
    for (int k = 0; k < keys; ++k)
        out += std::string(k ? ", " : " ") + fields()[size_t(k)].name + " " + formatValue(fields()[size_t(k)], editOriginal[size_t(k)], fmt);
    return out;
}

// The edit in hand is to be stored as a new record (`what` says why): a single number key
// is given the next free number. Returns what the user is told.
static std::string keepAsNewRecord(Table& t, Table::Impl& d, const std::string& what)
{
    std::string told = d.file->path() + ": " + d.describeEdited() + what + "; the edit was kept as a new record";
    d.editId = 0;
    d.setState(TableState::Insert);
    const FieldDef& first = d.fields()[0];
    if (d.file->primaryKeyFields() == 1 && kindOf(first.type) == FieldKind::Integer) {
        // Never the number of the record the edit was made to: that one is gone or another's.
        const int64_t next = std::max(t.largestInteger(0), integerOf(d.editOriginal[0])) + 1;
        d.buffer[0] = Value(next);
        d.entered[0].reset();
        d.changed[0] = 1;
        told += " with " + first.name + " " + std::to_string(next);
    }
    return told + ".";
}

void Table::post()
{
    d->requireOpen();
    if (d->state != TableState::Edit && d->state != TableState::Insert)
        return;
    const auto& fields = d->fields();
    // Picture masks of the fields changed in this edit.
    for (size_t f = 0; f < fields.size(); ++f) {
        const PictureMask& pic = d->pictures[f];
        if (pic.empty() || !d->changed[f])
            continue;
        const std::string text = d->entered[f] ? *d->entered[f] : formatValue(fields[f], d->buffer[f], d->fmt);
        if (!text.empty() && !pic.matches(text))
            throw EngineError(pictureError(fields[f], pic, text));
    }
    // Text the file would have to change to store it is refused, never altered.
    for (size_t f = 0; f < fields.size(); ++f) {
        const auto* text = std::get_if<std::string>(&d->buffer[f]);
        if (!text || !d->changed[f])
            continue;
        const std::string bad = unstorableCharacters(d->file->codePage(), *text);
        if (!bad.empty())
            throw EngineError("Field '" + fields[f].name + "' holds characters this table cannot store (code page " +
                              std::to_string(d->file->codePage()) + "): " + bad +
                              "\nChange them, then post again.");
    }
    // Files another program rewrote in place are read again, keeping the record being entered
    // and the changes posted earlier. The record being edited is looked up by its key (record
    // ids of a file rewritten in place may name other records after the re-read): deleted by the
    // other program, the edit is stored as a new record; saved by it since the edit began, the
    // conflict handler decides. A new record whose single number key the other program has taken
    // meanwhile gets the next free number.
    const bool reread = d->file->writable() && d->file->savedElsewhere();
    std::string renumbered;
    if (reread) {
        d->reread();
        d->placeOn(d->state == TableState::Edit ? std::optional<RecordId>(d->editId) : d->beforeInsert, d->row);
        d->dataChanged(DataChange::Reset);
        d->currentChanged();
    }
    if (d->state == TableState::Edit) {
        const auto at = d->findEdited();
        if (!at) {
            renumbered = keepAsNewRecord(*this, *d, " was deleted by another program while it was edited here");
        } else {
            d->editId = *at;
            if (reread)
                d->placeOn(d->editId, d->row);
            if (!d->sameValues(d->recordValues(*at), d->editOriginal)) {
                const std::string what = d->file->path() + ": " + d->describeEdited() +
                                         " was changed by another program since it was edited here.";
                if (!d->conflictHandler)
                    throw PostConflictError(what);
                const PostConflict choice = d->conflictHandler(what);
                if (choice == PostConflict::KeepTheirs) {
                    cancel();
                    return;
                }
                if (choice == PostConflict::KeepBoth)
                    renumbered = keepAsNewRecord(*this, *d, " was changed by another program while it was edited here");
            }
        }
    } else if (reread && d->file->primaryKeyFields() == 1 && kindOf(fields[0].type) == FieldKind::Integer && d->keyTaken()) {
        const int64_t taken = integerOf(d->buffer[0]);
        const int64_t next = largestInteger(0) + 1;
        d->buffer[0] = Value(next);
        d->entered[0].reset();
        d->changed[0] = 1;
        renumbered = d->file->path() + ": another program saved a record with " + fields[0].name + " " + std::to_string(taken) +
                     " while this one was entered here; this one was given " + fields[0].name + " " + std::to_string(next) + ".";
    }
    if (d->keyTaken())
        throw EngineError("Key violation");
    const bool inserting = d->state == TableState::Insert;
    RecordId id = d->editId;
    if (inserting)
        id = d->file->insert(d->buffer);
    else
        d->file->update(id, d->buffer);
    // The file changed: orders and the filter result are worked out again.
    const int oldRow = inserting ? int(d->visible.size()) : d->row;
    d->recordChanged(id, oldRow);
    d->bof = d->eof = false;
    d->buffer.clear();
    d->changed.clear();
    d->entered.clear();
    d->beforeInsert.reset();
    d->editOriginal.clear();
    d->setState(TableState::Browse);
    d->dataChanged(reread ? DataChange::Reset : inserting ? DataChange::RowsAdded : DataChange::Values);
    d->currentChanged();
    if (!renumbered.empty())
        d->notices.push_back(std::move(renumbered));
    d->afterPost();
}

void Table::setConflictHandler(std::function<PostConflict(const std::string&)> handler) { d->conflictHandler = std::move(handler); }

void Table::cancel()
{
    if (d->state != TableState::Edit && d->state != TableState::Insert)
        return;
    const bool inserting = d->state == TableState::Insert;
    d->buffer.clear();
    d->changed.clear();
    d->entered.clear();
    d->editOriginal.clear();
    d->setState(TableState::Browse);
    if (inserting) {
        d->placeOn(d->beforeInsert, d->row);
        d->beforeInsert.reset();
        d->dataChanged(DataChange::RowsRemoved);
    } else {
        d->dataChanged(DataChange::Values);
    }
    d->currentChanged();
}

void Table::remove()
{
    d->requireOpen();
    if (d->state == TableState::Insert) {
        cancel();
        return;
    }
    if (d->state == TableState::Edit)
        cancel();
    requireWritable(*d);
    catchUp(*this, *d);
    const auto id = d->current();
    if (!id)
        throw EngineError("Cannot delete: the dataset has no current record");
    const int oldRow = d->row;
    d->file->remove(*id);
    d->recordChanged(std::nullopt, oldRow, *id);
    d->bof = d->eof = false;
    if (d->visible.empty())
        d->bof = d->eof = true;
    d->dataChanged(DataChange::RowsRemoved);
    d->currentChanged();
    d->afterDelete();
}

void Table::refresh()
{
    checkBrowseMode(*this, *d);
    auto id = d->current();
    const std::optional<Table::Impl::Bookmarked> seen = d->currentKey;
    d->reread();
    if (id && seen && seen->id == *id)
        id = d->findAgain(*id, seen->key);   // the same record, wherever another program's save put it
    d->placeOn(id, d->row);
    if (d->visible.empty())
        d->bof = d->eof = true;
    d->dataChanged(DataChange::Reset);
    d->currentChanged();
}

void Table::catchUpKeepingEdit()
{
    d->requireOpen();
    if (!changedElsewhere())
        return;
    if (d->state == TableState::Browse) {
        refresh();
        return;
    }
    d->reread();
    std::optional<RecordId> keep = d->beforeInsert;
    if (d->state == TableState::Edit && (keep = d->findEdited()))
        d->editId = *keep;
    d->placeOn(keep, d->row);
    d->dataChanged(DataChange::Reset);
    d->currentChanged();
}

void Table::saveChanges()
{
    d->requireOpen();
    if (d->file->writable())
        d->file->flush();
}

bool Table::changedElsewhere() const { return d->file && d->file->writable() && d->file->needsReload(); }

bool Table::hasUnsavedChanges() const
{
    return d->file && d->file->hasUnsavedChanges();
}

std::vector<std::string> Table::takeNotices() { return std::exchange(d->notices, {}); }

} // namespace tv
