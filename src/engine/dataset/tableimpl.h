#pragma once
// What the parts of Table (table*.cpp) share: the dataset's state and the helpers they all use.
// Not for use outside the dataset.

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

enum class ListenerKind { Current, Data, State, AfterPost, AfterDelete };

struct Listener {
    ListenerId id;
    ListenerKind kind;
    std::function<void()> plain;
    std::function<void(DataChange)> data;
    std::function<void(TableState)> state;
    bool alive = true;
};

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
    bool pastDamage = false;     // records that cannot be read fail instead of the filter
    FilterDamage damage;         // what the filter last passed over

    std::vector<RecordId> visible;
    int row = -1;
    bool bof = true, eof = true;

    // Edit buffer.
    Record buffer;
    std::vector<uint8_t> changed;
    std::vector<std::optional<std::string>> entered;   // text typed into a field
    RecordId editId = 0;
    Record editOriginal;   // the record as it was when the edit began
    std::function<PostConflict(const std::string&)> conflictHandler;
    std::optional<RecordId> beforeInsert;

    // A bookmark names its record by id and, in a table with a key, by the key: a re-read of
    // files another program saved may give the id to another record.
    struct Bookmarked {
        RecordId id = 0;
        Record key;   // empty in a table without a key
    };
    std::unordered_map<uint64_t, Bookmarked> bookmarks;
    uint64_t nextBookmark = 1;
    std::optional<Bookmarked> currentKey;   // see rememberCurrentKey

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

    // Leaves `pass` as it was when the conditions cannot be evaluated (a damaged file), as
    // long as it still fits the records.
    void computeFilter()
    {
        if (!filterApplied || conditions.empty()) {
            pass.clear();
            damage = {};
            return;
        }
        try {
            FilterDamage met;
            pass = evaluateConditions(*file, all, conditions, fmt, [this](int field, bool build) -> const TextColumn* {
                auto it = columns.find(field);
                if (it == columns.end()) {
                    if (!build)
                        return nullptr;
                    it = columns.emplace(field, TextColumn::build(*file, all, field)).first;
                }
                return &it->second;
            }, pastDamage ? &met : nullptr);
            damage = std::move(met);
        } catch (...) {
            if (pass.size() != all.size())
                pass.clear();
            throw;
        }
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
    void currentChanged()
    {
        rememberCurrentKey();
        emit(ListenerKind::Current, [](Listener& l) { l.plain(); });
    }
    // The key of the current record of a table that another program may save, taken while it
    // can still be read: once that program has saved in place, it can only be read again after
    // the files are re-read, which may give its id to another record.
    void rememberCurrentKey()
    {
        const auto id = current();
        if (!id || !file || !file->writable() || file->primaryKeyFields() == 0) {
            currentKey.reset();
            return;
        }
        try {
            currentKey = Bookmarked{*id, keyOf(*id)};
        } catch (const EngineError&) {
            if (!currentKey || currentKey->id != *id)
                currentKey.reset();   // what was read of it before still holds
        }
    }
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

    // The first record `matches` accepts, `hint` tried first; nullopt when none is.
    template <class Match>
    std::optional<RecordId> findRecord(RecordId hint, Match matches) const
    {
        if (posOf(hint) && matches(hint))
            return hint;
        for (RecordId id : file->recordIds())
            if (matches(id))
                return id;
        return std::nullopt;
    }
    // The values of the primary key fields of `id` (empty in a table without a key), and
    // whether `id` holds the key `values` begins with.
    Record keyOf(RecordId id) const;
    bool hasKey(RecordId id, const Record& values) const;
    // The record that had `key` (see keyOf) and id `id` before the files were read again;
    // `id` itself in a table without a key.
    std::optional<RecordId> findAgain(RecordId id, const Record& key) const
    {
        if (key.empty())
            return posOf(id) ? std::optional<RecordId>(id) : std::nullopt;
        return findRecord(id, [&](RecordId other) { return hasKey(other, key); });
    }
    // The record being edited, found by the key it had when the edit began (by all its values
    // in a table without a key); nullopt when it is no longer there.
    std::optional<RecordId> findEdited() const;
    bool sameValues(const Record& a, const Record& b) const;
    // "the record with Id 7" (the key the edited record had), "a record" without a key.
    std::string describeEdited() const;

    std::vector<std::string> notices;
};

// The value as an integer, as Table::asInteger reads it.
int64_t integerOf(const Value& v);
std::string pictureError(const FieldDef& f, const PictureMask& pic, std::string_view text);
void requireEditing(const Table::Impl& d);
void requireWritable(const Table::Impl& d);
// Posts a pending change before the cursor moves (or drops an untouched one).
void checkBrowseMode(Table& t, Table::Impl& d);
// Files another program changed in place since they were read are read again before the
// dataset works with them, so that a new record, an edit, a deletion or a filter is worked out
// against what they hold now.
void catchUp(Table& t, const Table::Impl& d);

} // namespace tv
