#include "engine/dataset/table.h"

#include "engine/dataset/condition.h"
#include "engine/dataset/fieldtext.h"
#include "engine/dataset/ordering.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <unordered_map>
#include <utility>

namespace tv {

namespace {


enum class ListenerKind { Current, Data, State, AfterPost, AfterDelete };

struct Listener {
    ListenerId id;
    ListenerKind kind;
    std::function<void()> plain;
    std::function<void(DataChange)> data;
    std::function<void(TableState)> state;
    bool alive = true;
};

} // namespace

struct Table::Impl {
    std::unique_ptr<TableFile> file;
    TableState state = TableState::Inactive;

    // Display attributes by upper-cased field name, and their per-field view.
    std::unordered_map<std::string, FieldDisplay> displayByName;
    std::vector<FieldDisplay> displays;
    std::vector<PictureMask> pictures;
    TextFormat fmt;

    // The records of the file (positions are "dense" indexes) and the way back from an id.
    std::vector<RecordId> all;
    mutable std::vector<uint32_t> posById;             // id -> position + 1 (0 = none)
    mutable size_t posStaleFrom = SIZE_MAX;            // posById is right only for positions before this
    std::unordered_map<RecordId, uint32_t> posByIdMap; // when ids are too sparse for a vector
    bool sparseIds = false;

    std::vector<IndexDef> indexes;
    int currentIndex = -1;
    std::string indexName;
    std::unordered_map<int, std::vector<uint32_t>> orders;   // cached orders by index position
    std::unordered_map<int, TextColumn> columns;             // cached text columns by field

    FilterConditions conditions;
    bool filterApplied = false;
    std::vector<uint8_t> pass;   // by position; empty = every record passes

    std::vector<RecordId> visible;
    int row = -1;
    bool bof = true, eof = true;

    // Edit buffer.
    Record buffer;
    std::vector<uint8_t> changed;
    std::vector<std::optional<std::string>> entered;   // text typed into a field
    RecordId editId = 0;
    std::optional<RecordId> beforeInsert;

    std::unordered_map<uint64_t, RecordId> bookmarks;
    uint64_t nextBookmark = 1;

    std::vector<std::shared_ptr<Listener>> listeners;
    ListenerId nextListener = 1;

    // ---- helpers ----
    void requireOpen() const
    {
        if (!file)
            throw EngineError("Cannot perform this operation on a closed dataset");
    }

    const std::vector<FieldDef>& fields() const { return file->fields(); }

    int findField(std::string_view name) const { return file ? findFieldNoCase(fields(), name) : -1; }

    int fieldByName(std::string_view name) const
    {
        requireOpen();
        const int f = findField(name);
        if (f < 0)
            throw EngineError("Field '" + std::string(name) + "' not found");
        return f;
    }

    void checkField(int f) const
    {
        requireOpen();
        if (f < 0 || f >= int(fields().size()))
            throw EngineError("Field index " + std::to_string(f) + " out of range");
    }

    void rebuildDisplays()
    {
        displays.clear();
        pictures.clear();
        if (!file)
            return;
        for (const auto& f : fields()) {
            auto it = displayByName.find(foldAsciiUpper(f.name));
            displays.push_back(it == displayByName.end() ? FieldDisplay{} : it->second);
            pictures.emplace_back(displays.back().picture);
        }
    }

    // ---- positions and orders ----
    void loadRecords()
    {
        all = file->recordIds();
        orders.clear();
        columns.clear();
        RecordId maxId = 0;
        for (RecordId id : all)
            maxId = std::max(maxId, id);
        sparseIds = uint64_t(maxId) > uint64_t(all.size()) * 4 + (1u << 20);
        posById.clear();
        posByIdMap.clear();
        if (sparseIds) {
            posByIdMap.reserve(all.size());
            for (size_t i = 0; i < all.size(); ++i)
                posByIdMap[all[i]] = uint32_t(i);
        } else {
            posStaleFrom = SIZE_MAX;
            posById.assign(size_t(maxId) + 1, 0);
            for (size_t i = 0; i < all.size(); ++i)
                posById[all[i]] = uint32_t(i + 1);
        }
    }

    std::optional<uint32_t> posOf(RecordId id) const
    {
        if (sparseIds) {
            auto it = posByIdMap.find(id);
            if (it == posByIdMap.end())
                return std::nullopt;
            return it->second;
        }
        // Positions moved by a record added or removed in place are put right on first need.
        if (posStaleFrom < all.size()) {
            for (size_t k = posStaleFrom; k < all.size(); ++k)
                posById[all[k]] = uint32_t(k + 1);
            posStaleFrom = SIZE_MAX;
        }
        if (id >= posById.size() || posById[id] == 0)
            return std::nullopt;
        return posById[id] - 1;
    }

    const std::vector<uint32_t>* orderVector()
    {
        if (currentIndex < 0)
            return nullptr;
        // The primary index of a table stored in key order is the stored order itself: no sort
        // (this keeps opening a keyed table of a million records immediate).
        if (indexes[size_t(currentIndex)].primary && file->recordsInKeyOrder())
            return nullptr;
        auto it = orders.find(currentIndex);
        if (it == orders.end())
            it = orders.emplace(currentIndex, computeOrder(*file, all, indexes[size_t(currentIndex)])).first;
        return &it->second;
    }

    void computeFilter()
    {
        pass.clear();
        if (filterApplied && !conditions.empty())
            pass = evaluateConditions(*file, all, conditions, fmt, [this](int field, bool build) -> const TextColumn* {
                auto it = columns.find(field);
                if (it == columns.end()) {
                    if (!build)
                        return nullptr;
                    it = columns.emplace(field, TextColumn::build(*file, all, field)).first;
                }
                return &it->second;
            });
    }

    void buildVisible()
    {
        visible.clear();
        const std::vector<uint32_t>* order = orderVector();
        const size_t n = all.size();
        if (!order && !pass.empty()) {
            // File order through a filter: the passing records, counted and then listed
            // eight flags at a time (the flags are 0 or 1).
            const size_t whole = n & ~size_t(7);
            size_t count = 0;
            for (size_t k = 0; k < whole; k += 8) {
                uint64_t eight;
                std::memcpy(&eight, pass.data() + k, 8);
                count += size_t((eight * 0x0101010101010101ull) >> 56);   // the sum of the eight
            }
            for (size_t k = whole; k < n; ++k)
                count += pass[k];
            visible.resize(count);
            RecordId* out = visible.data();
            forEachSetFlag(pass.data(), n, [&](size_t k) { *out++ = all[k]; });
            return;
        }
        visible.reserve(pass.empty() ? n : size_t(std::count(pass.begin(), pass.end(), uint8_t(1))));
        for (size_t k = 0; k < n; ++k) {
            const uint32_t p = order ? (*order)[k] : uint32_t(k);
            if (pass.empty() || pass[p])
                visible.push_back(all[p]);
        }
    }

    // After the file gained, changed or lost the record `id`: positions, orders, the filter
    // and the visible set worked out again, then `id` (or the row `fallbackRow`) made current.
    // Records shown in file order without a filter are updated in place; anything else is
    // worked out anew.
    void recordChanged(std::optional<RecordId> id, int fallbackRow, std::optional<RecordId> removed = std::nullopt)
    {
        const auto& now = file->recordIds();
        const bool fileOrder = currentIndex < 0 || (indexes[size_t(currentIndex)].primary && file->recordsInKeyOrder());
        const bool plain = fileOrder && !sparseIds && !(filterApplied && !conditions.empty()) && visible.size() == all.size();
        if (plain && (now.size() == all.size() + 1 || now.size() + 1 == all.size())) {
            const bool added = now.size() > all.size();
            const auto& longer = added ? now : all;
            const auto& shorter = added ? all : now;
            // Where the record came or went: first where it is expected (a record added at the
            // end, the row deleted), checked against its neighbours; else the first place the
            // lists differ, a stretch at a time, with the rest checked whole.
            auto fits = [&](size_t p) {
                return p < longer.size() && (p == 0 || longer[p - 1] == shorter[p - 1]) && (p == shorter.size() || longer[p + 1] == shorter[p]) &&
                       longer[p] == (added ? id.value_or(RecordId(-1)) : removed.value_or(RecordId(-1)));
            };
            size_t p = added ? now.size() - 1 : size_t(std::max(fallbackRow, 0));
            bool found = fits(p);
            if (!found) {
                p = 0;
                constexpr size_t kStretch = 1024;
                while (p + kStretch <= shorter.size() && std::memcmp(shorter.data() + p, longer.data() + p, kStretch * sizeof(RecordId)) == 0)
                    p += kStretch;
                p = size_t(std::mismatch(shorter.begin() + std::ptrdiff_t(p), shorter.end(), longer.begin() + std::ptrdiff_t(p)).first -
                           shorter.begin());
                found = std::equal(shorter.begin() + std::ptrdiff_t(p), shorter.end(), longer.begin() + std::ptrdiff_t(p) + 1);
            }
            const RecordId changed = longer[p];
            if (found && (!added || uint64_t(changed) <= uint64_t(now.size()) * 4 + (1u << 20))) {
                orders.clear();
                columns.clear();
                if (added) {
                    all.insert(all.begin() + std::ptrdiff_t(p), changed);
                    visible.insert(visible.begin() + std::ptrdiff_t(p), changed);
                    if (changed >= posById.size())
                        posById.resize(size_t(changed) + 1, 0);
                } else {
                    all.erase(all.begin() + std::ptrdiff_t(p));
                    visible.erase(visible.begin() + std::ptrdiff_t(p));
                    posById[changed] = 0;
                }
                posStaleFrom = std::min(posStaleFrom, p);
                const auto pos = id ? posOf(*id) : std::nullopt;
                row = pos ? int(*pos) : std::min(fallbackRow, int(visible.size()) - 1);
                if (row < 0 && !visible.empty())
                    row = 0;
                return;
            }
        }
        const bool inPlace = plain && id && now.size() == all.size() && fallbackRow >= 0 && size_t(fallbackRow) < all.size() &&
                             all[size_t(fallbackRow)] == *id && now[size_t(fallbackRow)] == *id;
        if (inPlace || (plain && now == all && id && posOf(*id))) {
            orders.clear();
            columns.clear();
            row = int(*posOf(*id));
            return;
        }
        loadRecords();
        computeFilter();
        buildVisible();
        placeOn(id, fallbackRow);
    }

    int rowOf(RecordId id) const
    {
        for (size_t i = 0; i < visible.size(); ++i)
            if (visible[i] == id)
                return int(i);
        return -1;
    }

    std::optional<RecordId> current() const
    {
        if (state == TableState::Insert || row < 0 || row >= int(visible.size()))
            return std::nullopt;
        return visible[size_t(row)];
    }

    // Puts `id` current when visible; otherwise keeps the row number within the set.
    void placeOn(std::optional<RecordId> id, int fallbackRow)
    {
        int r = id ? rowOf(*id) : -1;
        if (r < 0)
            r = std::min(fallbackRow, int(visible.size()) - 1);
        if (r < 0 && !visible.empty())
            r = 0;
        row = visible.empty() ? -1 : r;
    }

    // ---- listeners ----
    template <class Fn>
    void emit(ListenerKind kind, Fn&& call)
    {
        const auto snapshot = listeners;
        for (const auto& l : snapshot)
            if (l->alive && l->kind == kind)
                call(*l);
    }
    void currentChanged() { emit(ListenerKind::Current, [](Listener& l) { l.plain(); }); }
    void dataChanged(DataChange c) { emit(ListenerKind::Data, [c](Listener& l) { l.data(c); }); }
    void afterPost() { emit(ListenerKind::AfterPost, [](Listener& l) { l.plain(); }); }
    void afterDelete() { emit(ListenerKind::AfterDelete, [](Listener& l) { l.plain(); }); }
    void setState(TableState s)
    {
        if (state == s)
            return;
        state = s;
        emit(ListenerKind::State, [s](Listener& l) { l.state(s); });
    }

    bool modified() const { return std::find(changed.begin(), changed.end(), uint8_t(1)) != changed.end(); }

    void startBuffer(const Record& values)
    {
        buffer = values;
        changed.assign(values.size(), 0);
        entered.assign(values.size(), std::nullopt);
    }

    Record recordValues(RecordId id) const
    {
        Record r;
        const int n = int(fields().size());
        r.reserve(size_t(n));
        for (int f = 0; f < n; ++f)
            r.push_back(file->value(id, f));
        return r;
    }

    Value valueOf(RecordId id, int f) const { return file->value(id, f); }

    // Reads the file again as another program may have left it, keeping the changes not yet
    // saved here (see TableFile::reload), and works out the records, orders and filter anew.
    void reread()
    {
        file->reload();
        indexes = file->indexes();
        if (currentIndex >= int(indexes.size()))
            currentIndex = -1;
        loadRecords();
        computeFilter();
        buildVisible();
    }

    // True when a record other than the one being edited holds the buffer's primary key.
    bool keyTaken() const
    {
        const int keyFields = file->primaryKeyFields();
        if (keyFields == 0)
            return false;
        if (const auto inUse = file->keyInUse(buffer, state == TableState::Edit ? editId : RecordId(-1)))
            return *inUse;
        for (RecordId other : file->recordIds()) {
            if (state == TableState::Edit && other == editId)
                continue;
            bool same = true;
            for (int k = 0; k < keyFields && same; ++k)
                same = compareValues(file->value(other, k), buffer[size_t(k)], false) == 0;
            if (same)
                return true;
        }
        return false;
    }

    std::vector<std::string> notices;
};

Table::Table() : d(std::make_unique<Impl>()) {}
Table::~Table() = default;

// ---- Opening ---------------------------------------------------------------------------

void Table::open(const std::string& path, OpenMode mode)
{
    open(openTableFile(path, mode));
}

void Table::open(std::unique_ptr<TableFile> file)
{
    if (!file)
        throw EngineError("No table to open");
    close();
    d->file = std::move(file);
    d->indexes = d->file->indexes();
    d->currentIndex = -1;
    d->indexName.clear();
    for (size_t i = 0; i < d->indexes.size(); ++i)
        if (d->indexes[i].primary) {
            d->currentIndex = int(i);
            break;
        }
    d->filterApplied = false;
    d->rebuildDisplays();
    d->loadRecords();
    d->computeFilter();
    d->buildVisible();
    d->row = d->visible.empty() ? -1 : 0;
    d->bof = true;
    d->eof = d->visible.empty();
    d->setState(TableState::Browse);
    d->dataChanged(DataChange::Reset);
    d->currentChanged();
}

void Table::close()
{
    if (!d->file)
        return;
    if (d->state == TableState::Edit || d->state == TableState::Insert)
        cancel();
    d->file.reset();
    d->all.clear();
    d->posById.clear();
    d->posStaleFrom = SIZE_MAX;
    d->posByIdMap.clear();
    d->orders.clear();
    d->columns.clear();
    d->indexes.clear();
    d->currentIndex = -1;
    d->indexName.clear();
    d->pass.clear();
    d->filterApplied = false;
    d->visible.clear();
    d->bookmarks.clear();
    d->row = -1;
    d->bof = d->eof = true;
    d->displays.clear();
    d->pictures.clear();
    d->setState(TableState::Inactive);
    d->dataChanged(DataChange::Reset);
    d->currentChanged();
}

bool Table::isOpen() const { return d->file != nullptr; }
bool Table::readOnly() const { return !d->file || !d->file->writable(); }
TableState Table::state() const { return d->state; }
TableFile* Table::file() const { return d->file.get(); }
std::string Table::path() const { return d->file ? d->file->path() : std::string(); }

// ---- Fields ----------------------------------------------------------------------------

int Table::fieldCount() const { return d->file ? int(d->fields().size()) : 0; }

const FieldDef& Table::field(int index) const
{
    d->checkField(index);
    return d->fields()[size_t(index)];
}

int Table::fieldIndex(std::string_view name) const { return d->findField(name); }
int Table::fieldByName(std::string_view name) const { return d->fieldByName(name); }

const FieldDisplay& Table::display(int field) const
{
    d->checkField(field);
    return d->displays[size_t(field)];
}

std::string Table::displayLabel(int field) const
{
    const FieldDisplay& disp = display(field);
    return disp.label.empty() ? d->fields()[size_t(field)].name : disp.label;
}

int Table::displayWidth(int field) const
{
    const FieldDisplay& disp = display(field);
    return disp.width > 0 ? disp.width : defaultDisplayWidth(d->fields()[size_t(field)]);
}

bool Table::visible(int field) const { return display(field).visible; }

void Table::setDisplayLabel(std::string_view fieldName, std::string label)
{
    d->displayByName[foldAsciiUpper(fieldName)].label = std::move(label);
    d->rebuildDisplays();
}

void Table::setDisplayWidth(std::string_view fieldName, int width)
{
    d->displayByName[foldAsciiUpper(fieldName)].width = width;
    d->rebuildDisplays();
}

void Table::setVisible(std::string_view fieldName, bool visible)
{
    d->displayByName[foldAsciiUpper(fieldName)].visible = visible;
    d->rebuildDisplays();
}

void Table::setPicture(std::string_view fieldName, std::string picture, bool autoFillLiterals)
{
    PictureMask check(picture);   // throws for a malformed mask before anything changes
    auto& disp = d->displayByName[foldAsciiUpper(fieldName)];
    disp.picture = std::move(picture);
    disp.autoFillLiterals = autoFillLiterals;
    d->rebuildDisplays();
}

const PictureMask& Table::picture(int field) const
{
    d->checkField(field);
    return d->pictures[size_t(field)];
}

void Table::setShortDateFormat(std::string format)
{
    d->fmt.shortDate = std::move(format);
    if (d->file && d->filterApplied) {
        // Conditions on date fields compare display text: the format matters.
        d->computeFilter();
        const auto id = d->current();
        d->buildVisible();
        d->placeOn(id, d->row);
        d->dataChanged(DataChange::Refiltered);
    } else if (d->file) {
        d->dataChanged(DataChange::Values);
    }
}

const std::string& Table::shortDateFormat() const { return d->fmt.shortDate; }
void Table::setCurrencySymbol(std::string symbol) { d->fmt.currency = std::move(symbol); }

// ---- Values ----------------------------------------------------------------------------

Value Table::value(int field) const
{
    d->checkField(field);
    if (d->state == TableState::Edit || d->state == TableState::Insert)
        return d->buffer[size_t(field)];
    const auto id = d->current();
    return id ? d->valueOf(*id, field) : Value{};
}

Value Table::value(std::string_view fieldName) const { return value(fieldByName(fieldName)); }

std::string Table::displayText(int field) const
{
    return formatValue(this->field(field), value(field), d->fmt);
}

std::string Table::displayText(std::string_view fieldName) const { return displayText(fieldByName(fieldName)); }

static int64_t integerOf(const Value& v)
{
    if (const auto* i = std::get_if<int64_t>(&v))
        return *i;
    if (const auto* x = std::get_if<double>(&v))
        return std::isfinite(*x) && std::fabs(*x) < 9e18 ? std::llround(*x) : 0;
    if (const auto* b = std::get_if<bool>(&v))
        return *b ? 1 : 0;
    if (const auto* s = std::get_if<std::string>(&v)) {
        try {
            size_t used = 0;
            const long long n = std::stoll(*s, &used);
            return used == s->size() ? n : 0;
        } catch (const std::exception&) {
            return 0;
        }
    }
    if (const auto* dt = std::get_if<Date>(&v))
        return dt->day;
    return 0;
}

int64_t Table::asInteger(int field) const { return integerOf(value(field)); }
int64_t Table::asInteger(std::string_view fieldName) const { return asInteger(fieldByName(fieldName)); }

int64_t Table::largestInteger(int field) const
{
    d->requireOpen();
    d->checkField(field);
    const auto& ids = d->file->recordIds();
    if (ids.empty())
        return 0;
    // A number that is the whole key of a table kept in key order is largest in the last record.
    if (field == 0 && d->file->primaryKeyFields() == 1 && d->file->recordsInKeyOrder() && kindOf(d->fields()[0].type) == FieldKind::Integer)
        return integerOf(d->valueOf(ids.back(), 0));
    int64_t largest = INT64_MIN;
    for (RecordId id : ids)
        largest = std::max(largest, integerOf(d->valueOf(id, field)));
    return largest;
}
bool Table::isNullField(int field) const { return isNull(value(field)); }

Value Table::valueAt(int row, int field) const
{
    d->checkField(field);
    if (d->state == TableState::Insert && row == int(d->visible.size()))
        return d->buffer[size_t(field)];
    if (d->state == TableState::Edit && row == d->row)
        return d->buffer[size_t(field)];
    return d->valueOf(recordIdAt(row), field);
}

std::string Table::displayTextAt(int row, int field) const
{
    return formatValue(this->field(field), valueAt(row, field), d->fmt);
}

RecordId Table::recordIdAt(int row) const
{
    if (row < 0 || row >= int(d->visible.size()))
        throw EngineError("Row " + std::to_string(row) + " out of range");
    return d->visible[size_t(row)];
}

static void requireEditing(const Table::Impl& d)
{
    if (d.state != TableState::Edit && d.state != TableState::Insert)
        throw EngineError("Dataset not in edit or insert mode");
}

void Table::setValue(int field, const Value& v)
{
    d->checkField(field);
    requireEditing(*d);
    d->buffer[size_t(field)] = coerceValue(d->fields()[size_t(field)], v);
    d->changed[size_t(field)] = 1;
    d->entered[size_t(field)].reset();
    d->dataChanged(DataChange::Values);
}

void Table::setValue(std::string_view fieldName, const Value& v) { setValue(fieldByName(fieldName), v); }

static std::string pictureError(const FieldDef& f, const PictureMask& pic, std::string_view text)
{
    return "Invalid input value for field '" + f.name + "': '" + std::string(text) + "' does not fit the picture \"" +
           pic.mask() + "\"";
}

void Table::setText(int field, std::string_view text)
{
    d->checkField(field);
    requireEditing(*d);
    const FieldDef& f = d->fields()[size_t(field)];
    const PictureMask& pic = d->pictures[size_t(field)];
    std::string typed(text);
    if (!pic.empty() && !typed.empty()) {
        if (!pic.matches(typed))
            throw EngineError(pictureError(f, pic, typed));
        typed = pic.normalized(typed);
    }
    Value v = parseValue(f, typed, d->fmt);
    d->buffer[size_t(field)] = std::move(v);
    d->changed[size_t(field)] = 1;
    d->entered[size_t(field)] = typed;
    d->dataChanged(DataChange::Values);
}

void Table::setText(std::string_view fieldName, std::string_view text) { setText(fieldByName(fieldName), text); }
void Table::setInteger(int field, int64_t v) { setValue(field, Value(v)); }
bool Table::modified() const { return d->modified(); }

// ---- Navigation ------------------------------------------------------------------------

// Posts a pending change before the cursor moves (or drops an untouched one).
static void checkBrowseMode(Table& t, Table::Impl& d)
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

// ---- Editing ---------------------------------------------------------------------------

static void requireWritable(const Table::Impl& d)
{
    if (!d.file->writable())
        throw EngineError("Cannot modify a read-only dataset");
}

// Files another program changed in place since they were read are read again before the
// dataset works with them, so that a new record, an edit, a deletion or a filter is worked out
// against what they hold now.
static void catchUp(Table& t, const Table::Impl& d)
{
    if (d.state == TableState::Browse && t.changedElsewhere())
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
    d->startBuffer(d->recordValues(*id));
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
    // and the changes posted earlier. A new record whose single number key the other program
    // has taken meanwhile gets the next free number; a record being edited that the other
    // program deleted is stored as a new record.
    const bool reread = d->file->writable() && d->file->needsReload();
    std::string renumbered;
    if (reread) {
        d->reread();
        if (d->state == TableState::Edit && !d->posOf(d->editId)) {
            d->editId = 0;
            d->setState(TableState::Insert);
        }
        d->placeOn(d->state == TableState::Edit ? std::optional<RecordId>(d->editId) : d->beforeInsert, d->row);
        d->dataChanged(DataChange::Reset);
        d->currentChanged();
        if (d->state == TableState::Insert && d->file->primaryKeyFields() == 1 && kindOf(fields[0].type) == FieldKind::Integer &&
            d->keyTaken()) {
            const int64_t taken = integerOf(d->buffer[0]);
            const int64_t next = largestInteger(0) + 1;
            d->buffer[0] = Value(next);
            d->entered[0].reset();
            d->changed[0] = 1;
            renumbered = d->file->path() + ": another program saved a record with " + fields[0].name + " " + std::to_string(taken) +
                         " while this one was entered here; this one was given " + fields[0].name + " " + std::to_string(next) + ".";
        }
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
    d->setState(TableState::Browse);
    d->dataChanged(reread ? DataChange::Reset : inserting ? DataChange::RowsAdded : DataChange::Values);
    d->currentChanged();
    if (!renumbered.empty())
        d->notices.push_back(std::move(renumbered));
    d->afterPost();
}

void Table::cancel()
{
    if (d->state != TableState::Edit && d->state != TableState::Insert)
        return;
    const bool inserting = d->state == TableState::Insert;
    d->buffer.clear();
    d->changed.clear();
    d->entered.clear();
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
    const auto id = d->current();
    d->reread();
    d->placeOn(id, d->row);
    if (d->visible.empty())
        d->bof = d->eof = true;
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

// ---- Bookmarks -------------------------------------------------------------------------

Bookmark Table::getBookmark()
{
    d->requireOpen();
    const auto id = d->current();
    if (!id)
        throw EngineError("No current record to bookmark");
    const uint64_t h = d->nextBookmark++;
    d->bookmarks[h] = *id;
    return Bookmark{h};
}

void Table::gotoBookmark(Bookmark b)
{
    d->requireOpen();
    auto it = d->bookmarks.find(b.handle);
    if (it == d->bookmarks.end())
        throw EngineError("Invalid bookmark");
    const RecordId id = it->second;
    if (!d->posOf(id))
        throw EngineError("Record not found: the bookmarked record has been deleted");
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
    return it != d->bookmarks.end() && d->posOf(it->second) && d->rowOf(it->second) >= 0;
}

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

// ---- Filter ----------------------------------------------------------------------------

FilterConditions& Table::filterConditions() { return d->conditions; }
const FilterConditions& Table::filterConditions() const { return d->conditions; }

void Table::setFilter(FilterConditions conditions)
{
    d->conditions = std::move(conditions);
    applyFilter();
}

void Table::applyFilter()
{
    if (!d->file)
        return;   // kept for when the table is open; nothing to show now
    checkBrowseMode(*this, *d);
    catchUp(*this, *d);
    d->filterApplied = !d->conditions.empty();
    d->computeFilter();
    d->buildVisible();
    d->row = d->visible.empty() ? -1 : 0;
    d->bof = true;
    d->eof = d->visible.empty();
    d->dataChanged(DataChange::Refiltered);
    d->currentChanged();
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

// ---- Listeners -------------------------------------------------------------------------

ListenerId Table::addCurrentChangedListener(std::function<void()> fn)
{
    auto l = std::make_shared<Listener>(Listener{d->nextListener++, ListenerKind::Current, std::move(fn), {}, {}});
    d->listeners.push_back(l);
    return l->id;
}

ListenerId Table::addDataChangedListener(std::function<void(DataChange)> fn)
{
    auto l = std::make_shared<Listener>(Listener{d->nextListener++, ListenerKind::Data, {}, std::move(fn), {}});
    d->listeners.push_back(l);
    return l->id;
}

ListenerId Table::addStateChangedListener(std::function<void(TableState)> fn)
{
    auto l = std::make_shared<Listener>(Listener{d->nextListener++, ListenerKind::State, {}, {}, std::move(fn)});
    d->listeners.push_back(l);
    return l->id;
}

ListenerId Table::addAfterPostListener(std::function<void()> fn)
{
    auto l = std::make_shared<Listener>(Listener{d->nextListener++, ListenerKind::AfterPost, std::move(fn), {}, {}});
    d->listeners.push_back(l);
    return l->id;
}

ListenerId Table::addAfterDeleteListener(std::function<void()> fn)
{
    auto l = std::make_shared<Listener>(Listener{d->nextListener++, ListenerKind::AfterDelete, std::move(fn), {}, {}});
    d->listeners.push_back(l);
    return l->id;
}

void Table::removeListener(ListenerId id)
{
    auto& ls = d->listeners;
    for (auto it = ls.begin(); it != ls.end(); ++it)
        if ((*it)->id == id) {
            (*it)->alive = false;
            ls.erase(it);
            return;
        }
}

size_t Table::memoryBytes() const
{
    size_t bytes = sizeof(Impl);
    bytes += d->all.capacity() * sizeof(RecordId);
    bytes += d->posById.capacity() * sizeof(uint32_t);
    bytes += d->posByIdMap.size() * (sizeof(RecordId) + sizeof(uint32_t) + 2 * sizeof(void*));
    for (const auto& [k, v] : d->orders)
        bytes += v.capacity() * sizeof(uint32_t);
    for (const auto& [k, c] : d->columns)
        bytes += c.memoryBytes();
    bytes += d->pass.capacity();
    bytes += d->visible.capacity() * sizeof(RecordId);
    bytes += d->bookmarks.size() * (sizeof(uint64_t) + sizeof(RecordId) + 2 * sizeof(void*));
    return bytes;
}

} // namespace tv
