// Changing a Paradox table: records held in memory, written out as a complete new set of
// files on flush().
#include "paradoxtable.h"

#include "engine/fileio.h"
#include "engine/codepage.h"
#include "pxblob.h"
#include "pxbytes.h"
#include "pxfield.h"
#include "pxsecondary.h"
#include "pxwal.h"
#include "pxwriter.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstring>
#include <memory>
#include <numeric>
#include <unordered_map>
#include <unordered_set>
#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>

namespace tv {

using namespace px;

namespace {


} // namespace

namespace px {

// The new files of a save, written straight to their temporaries; removed again unless the
// save takes them over.
class TempFileSet {
public:
    explicit TempFileSet(const std::string& tablePath) : tablePath_(tablePath) {}
    ~TempFileSet()
    {
        if (!kept_)
            for (const auto& c : changes_)
                ::unlink(tempPathFor(c.path).c_str());
    }
    FileSink& open(const std::string& finalPath)
    {
        FileChange c;
        c.path = finalPath;
        c.prewritten = true;
        changes_.push_back(c);
        try {
            sinks_.push_back(std::make_unique<FileSink>(tempPathFor(finalPath), tempModeFor(finalPath, tablePath_)));
        } catch (const EngineError& e) {
            throw EngineError(tablePath_ + ": cannot save (" + e.what() + ")");
        }
        return *sinks_.back();
    }
    void close(FileSink& sink)
    {
        try {
            sink.close();
        } catch (const EngineError& e) {
            throw EngineError(tablePath_ + ": cannot save (" + e.what() + ")");
        }
    }
    bool has(const std::string& finalPath) const
    {
        return std::any_of(changes_.begin(), changes_.end(), [&](const FileChange& c) { return c.path == finalPath; });
    }
    std::vector<FileChange> take()
    {
        kept_ = true;
        return changes_;
    }

private:
    std::string tablePath_;
    std::vector<FileChange> changes_;
    std::vector<std::unique_ptr<FileSink>> sinks_;
    bool kept_ = false;
};

} // namespace px

// ---------------------------------------------------------------------------------------------
// Creating

void ParadoxTable::checkIndexSpec(const IndexDef& def) const
{
    if (def.fields.empty())
        throw EngineError(path_ + ": index \"" + def.name + "\" has no fields");
    for (const auto& name : def.fields)
        if (std::none_of(fields_.begin(), fields_.end(), [&](const FieldDef& f) { return f.name == name; }))
            throw EngineError(path_ + ": index \"" + def.name + "\" refers to an unknown field \"" + name + "\"");
}

std::unique_ptr<ParadoxTable> ParadoxTable::create(const std::string& path, const TableSpec& spec)
{
    std::unique_ptr<ParadoxTable> t(new ParadoxTable);
    t->path_ = path;
    t->store_ = path;
    t->lock_ = std::make_unique<TableLock>(path);
    if (spec.fields.empty() || spec.fields.size() > 255)
        throw EngineError(path + ": a table needs between 1 and 255 fields");
    if (spec.primaryKeyFields < 0 || size_t(spec.primaryKeyFields) > spec.fields.size())
        throw EngineError(path + ": bad number of primary key fields");
    Header& h = t->header_;
    h.fileType = spec.primaryKeyFields > 0 ? kKeyedTable : kUnkeyedTable;
    h.version = kVersion7;
    h.keyFields = uint16_t(spec.primaryKeyFields);
    h.numFields = uint16_t(spec.fields.size());
    t->codePage_ = isKnownCodePage(spec.codePage) && spec.codePage <= 0xFFFF ? spec.codePage : 1252;   // the header has 16 bits for it
    h.codePage = uint16_t(t->codePage_);
    int offset = 0;
    for (size_t i = 0; i < spec.fields.size(); ++i) {
        const FieldDef& in = spec.fields[i];
        FieldDesc d;
        d.type = in.type;
        d.code = fieldCodeOf(in.type);
        int size = in.type == FieldType::Bcd ? in.decimals : in.size;
        if (size == 0 && in.type != FieldType::Bcd)  // fixed-size types may leave the size out
            for (int natural : {1, 2, 4, 8})
                if (fieldWidth(in.type, natural) == natural && in.type != FieldType::Alpha && in.type != FieldType::Bytes)
                    size = natural;
        d.size = uint8_t(size);
        d.width = d.code ? fieldWidth(in.type, size) : 0;
        if (d.width == 0 || size < 0 || size > 255)
            throw EngineError(path + ": field \"" + in.name + "\" has a type or size that a Paradox table cannot hold");
        if (in.type == FieldType::Memo && size < 11)
            throw EngineError(path + ": memo field \"" + in.name + "\" needs a size of at least 11");
        d.offset = offset;
        offset += d.width;
        h.fields.push_back(d);
        const std::string name = encodeText(t->codePage_, in.name);
        if (name.empty() || name.size() > 25 || name.find('\0') != std::string::npos)
            throw EngineError(path + ": bad field name \"" + in.name + "\"");
        h.fieldNames.push_back(name);
        FieldDef f = in;
        f.size = size;
        f.decimals = in.type == FieldType::Bcd ? size : 0;
        t->fields_.push_back(f);
    }
    for (size_t i = 0; i < t->fields_.size(); ++i)
        for (size_t j = 0; j < i; ++j)
            if (t->fields_[i].name == t->fields_[j].name)
                throw EngineError(path + ": the field name \"" + t->fields_[i].name + "\" is used twice");
    h.recordSize = uint16_t(offset);
    t->numberBlobFields();
    h.blockKiB = 4;
    while (h.blockKiB < 32 && size_t(offset) + 6 > h.blockSize())
        h.blockKiB = uint8_t(h.blockKiB * 2);
    if (size_t(offset) + 6 > h.blockSize())
        throw EngineError(path + ": the records are too long for a Paradox table");
    if (h.keyFields > 0)
        t->indexes_.push_back(primaryIndexDef(t->fields_, h.keyFields));
    for (const auto& def : spec.secondary) {
        t->checkIndexSpec(def);
        IndexDef d = def;
        d.primary = false;
        d.expression = false;
        if (d.name.empty())
            d.name = d.fields.front();
        t->indexes_.push_back(d);
    }
    t->writable_ = true;
    t->dirty_ = true;
    t->version_.remember(path);  // the table being replaced, if any
    t->flush();
    return t;
}

// ---------------------------------------------------------------------------------------------
// Records in memory

ParadoxTable::Row ParadoxTable::encodeRecord(const Record& values, const uint8_t* old) const
{
    if (values.size() != fields_.size())
        throw EngineError(path_ + ": a record needs " + std::to_string(fields_.size()) + " values, not " + std::to_string(values.size()));
    Row row;
    row.live = true;
    row.raw.assign(header_.recordSize, '\0');
    row.blobs.resize(blobFields_);
    for (size_t i = 0; i < fields_.size(); ++i) {
        const FieldDesc& d = header_.fields[i];
        uint8_t* p = reinterpret_cast<uint8_t*>(row.raw.data()) + d.offset;
        const Value& v = values[i];
        const std::string what = path_ + ": field \"" + fields_[i].name + "\"";
        if (isBlobType(d.type)) {
            if (isNull(v))
                continue;
            std::string bytes;
            if (d.type == FieldType::Memo || d.type == FieldType::FmtMemo) {
                const auto* s = std::get_if<std::string>(&v);
                if (!s)
                    throw EngineError(what + ": a text value is needed");
                bytes = encodeText(codePage_, *s);
            } else if (const auto* b = std::get_if<Blob>(&v)) {
                bytes = b->bytes;
            } else if (const auto* s = std::get_if<std::string>(&v)) {
                bytes = *s;
            } else {
                throw EngineError(what + ": a blob value is needed");
            }
            if (bytes.size() > 0x0FFF0000u)
                throw EngineError(what + ": the value is too large");
            const size_t leader = size_t(d.width) - 10;
            std::memcpy(p, bytes.data(), std::min(leader, bytes.size()));
            row.blobs[size_t(blobSlot_[i])] = std::move(bytes);
            continue;
        }
        if (d.type == FieldType::AutoInc && isNull(v) && old) {
            std::memcpy(p, old + d.offset, 4);
            continue;
        }
        encodeFixed(d, p, v, codePage_, what);
    }
    return row;
}

int ParadoxTable::compareKeys(const uint8_t* a, const uint8_t* b) const
{
    return std::memcmp(a, b, header_.keyBytes());
}

size_t ParadoxTable::findKeySlot(const Row& row, bool& duplicate, RecordId ignore) const
{
    duplicate = false;
    const auto* key = reinterpret_cast<const uint8_t*>(row.raw.data());
    size_t lo = 0, hi = ids_.size();
    while (lo < hi) {
        const size_t mid = (lo + hi) / 2;
        const int c = compareKeys(recordBytes(ids_[mid]), key);
        if (c < 0) {
            lo = mid + 1;
        } else {
            if (c == 0 && ids_[mid] != ignore)
                duplicate = true;
            hi = mid;
        }
    }
    // Equal keys sit together; look past the ignored record too.
    for (size_t i = lo; i < ids_.size() && compareKeys(recordBytes(ids_[i]), key) == 0; ++i)
        if (ids_[i] != ignore)
            duplicate = true;
    return lo;
}

// Where record `id` is in ids_: found by its key in a keyed table, one by one otherwise.
size_t ParadoxTable::positionOf(RecordId id) const
{
    if (header_.keyFields > 0) {
        const uint8_t* key = recordBytes(id);
        size_t lo = 0, hi = ids_.size();
        while (lo < hi) {
            const size_t mid = (lo + hi) / 2;
            if (compareKeys(recordBytes(ids_[mid]), key) < 0)
                lo = mid + 1;
            else
                hi = mid;
        }
        for (size_t i = lo; i < ids_.size() && compareKeys(recordBytes(ids_[i]), key) == 0; ++i)
            if (ids_[i] == id)
                return i;
    }
    return size_t(std::find(ids_.begin(), ids_.end(), id) - ids_.begin());
}

std::optional<bool> ParadoxTable::keyInUse(const Record& values, RecordId ignore) const
{
    if (header_.keyFields == 0)
        return false;
    try {
        bool duplicate = false;
        findKeySlot(encodeRecord(values, nullptr), duplicate, ignore);
        return duplicate;
    } catch (const EngineError&) {
        return std::nullopt;   // values the file cannot hold: a record-by-record look decides
    }
}

RecordId ParadoxTable::insert(const Record& values)
{
    if (!writable_)
        return TableFile::insert(values);
    settleAutoIncrement();
    Row row = encodeRecord(values, nullptr);
    uint32_t counter = header_.autoInc;
    for (size_t i = 0; i < fields_.size(); ++i) {
        const FieldDesc& d = header_.fields[i];
        if (d.type != FieldType::AutoInc)
            continue;
        uint8_t* p = reinterpret_cast<uint8_t*>(row.raw.data()) + d.offset;
        if (allZero(p, 4)) {
            if (counter >= 2147483647u)
                throw EngineError(path_ + ": the autoincrement counter is exhausted");
            encodeInt(p, 4, ++counter);
        } else {
            const int64_t v = decodeInt(p, 4);
            if (v > int64_t(counter))
                counter = uint32_t(v);
        }
    }
    if (rows_.size() >= 0xFFFFFFFEu)
        throw EngineError(path_ + ": too many records");
    const RecordId id = RecordId(rows_.size());
    size_t pos = ids_.size();
    if (header_.keyFields > 0) {
        bool duplicate = false;
        pos = findKeySlot(row, duplicate, RecordId(-1));
        if (duplicate)
            throw EngineError(path_ + ": Key violation");
    }
    row.pending = Pending::Inserted;
    rows_.push_back(std::make_unique<Row>(std::move(row)));
    offsets_.resize(rows_.size(), 0);
    ids_.insert(ids_.begin() + std::ptrdiff_t(pos), id);
    header_.autoInc = counter;
    dirty_ = true;
    noteTouched(id);
    return id;
}

void ParadoxTable::update(RecordId id, const Record& values)
{
    if (!writable_)
        return TableFile::update(id, values);
    checkId(id);
    settleAutoIncrement();
    Row row = encodeRecord(values, recordBytes(id));
    uint32_t counter = header_.autoInc;
    for (const FieldDesc& d : header_.fields)
        if (d.type == FieldType::AutoInc && !allZero(reinterpret_cast<const uint8_t*>(row.raw.data()) + d.offset, 4))
            counter = uint32_t(std::max<int64_t>(counter, decodeInt(reinterpret_cast<const uint8_t*>(row.raw.data()) + d.offset, 4)));
    if (header_.keyFields > 0 && compareKeys(reinterpret_cast<const uint8_t*>(row.raw.data()), recordBytes(id)) != 0) {
        bool duplicate = false;
        findKeySlot(row, duplicate, id);
        if (duplicate)
            throw EngineError(path_ + ": Key violation");
        ids_.erase(ids_.begin() + std::ptrdiff_t(positionOf(id)));
        setRow(id, std::move(row));
        const size_t pos = findKeySlot(*rows_[id], duplicate, id);
        ids_.insert(ids_.begin() + std::ptrdiff_t(pos), id);
    } else {
        setRow(id, std::move(row));
    }
    header_.autoInc = counter;
    dirty_ = true;
    noteTouched(id);
}

void ParadoxTable::remove(RecordId id)
{
    if (!writable_)
        return TableFile::remove(id);
    checkId(id);
    ids_.erase(ids_.begin() + std::ptrdiff_t(positionOf(id)));
    setRow(id, Row());   // not live
    dirty_ = true;
    noteTouched(id);
}

// Puts the new content of record `id` in memory, remembering how it differs from the files.
void ParadoxTable::setRow(RecordId id, Row&& row)
{
    std::unique_ptr<Row>& held = rows_[id];
    if (held && held->pending == Pending::Inserted) {
        row.pending = row.live ? Pending::Inserted : Pending::None;
    } else {
        row.pending = row.live ? Pending::Changed : Pending::Removed;
        row.original = held ? std::move(held->original)
                            : std::string(reinterpret_cast<const char*>(db_.data() + offsets_[id]), header_.recordSize);
    }
    held = std::make_unique<Row>(std::move(row));
}

// ---------------------------------------------------------------------------------------------
// Saving

// Writes one secondary index of the table, whose records sit in the data blocks `blockOf`
// (and slots `slotOf`) by record id.
void ParadoxTable::writeSecondary(TempFileSet& files, const SecondaryLayout& s, const std::vector<uint16_t>& blockOf,
                                  const std::vector<uint32_t>& slotOf) const
{
    // The entries one after another, and beside them their sort keys.
    const size_t n = ids_.size();
    std::string xrecs(n * s.entrySize, '\0');
    std::string keys(n * s.treeBytes, '\0');
    for (size_t r = 0; r < n; ++r) {
        const RecordId id = ids_[r];
        char* x = xrecs.data() + r * s.entrySize;
        s.entry(recordBytes(id), header_.fields, blockOf[id], uint32_t(r + 1), uint16_t(slotOf[id]), x);
        std::memcpy(keys.data() + r * s.treeBytes, x, s.treeBytes);
    }
    std::vector<uint32_t> order(n);
    std::iota(order.begin(), order.end(), 0u);
    std::stable_sort(order.begin(), order.end(), [&](uint32_t a, uint32_t b) {
        const int c = std::memcmp(keys.data() + size_t(a) * s.treeBytes, keys.data() + size_t(b) * s.treeBytes, s.treeBytes);
        return s.descending ? c > 0 : c < 0;
    });
    std::string().swap(keys);

    FileSink& xs = files.open(px::companionPath(store_, s.xExt));
    // Entries of records added later go anywhere in the index: its blocks keep a fifth free
    // for them, so that a save in place seldom has to split one.
    const size_t roomy = std::max<size_t>(1, (s.xl.blockSize() - 6) / s.entrySize * 80 / 100);
    DataFileWriter xw(xs, s.xl, s.treeBytes, (n + roomy - 1) / roomy <= 0xFFFF ? 80 : 100);
    for (uint32_t r : order)
        xw.add(reinterpret_cast<const uint8_t*>(xrecs.data() + size_t(r) * s.entrySize));
    xw.finish(0);
    files.close(xs);
    FileSink& ys = files.open(px::companionPath(store_, s.yExt));
    writeTreeFile(ys, s.treeType(), s.xl.blockKiB, s.treeKey(), fileNameOf(px::companionPath(store_, s.yExt)), xw.blocks());
    files.close(ys);
}

std::vector<FileChange> ParadoxTable::buildFiles(std::vector<std::string>& notices) const
{
    TempFileSet files(path_);
    const bool hasBlobs = std::any_of(header_.fields.begin(), header_.fields.end(), [](const FieldDesc& d) { return isBlobType(d.type); });

    // A table that has grown past what its block size can count is written with larger blocks.
    const uint8_t blockKiB = blockKiBFor(ids_.size(), size_t(header_.recordSize), header_.blockKiB);
    FileLayout layout;
    layout.fileType = header_.keyFields > 0 ? kKeyedTable : kUnkeyedTable;
    layout.blockKiB = blockKiB;
    layout.fields = header_.fields;
    layout.fieldNames = header_.fieldNames;
    layout.keyFields = header_.keyFields;
    layout.codePage = uint16_t(codePage_ == kCodePageRoman8 ? 0 : codePage_);
    layout.tableName = fileNameOf(store_);
    layout.changeCount = changeCount_;
    const size_t keyBytes = header_.keyBytes();

    FileSink& db = files.open(store_);
    StringSink noMemos;
    Sink& mb = hasBlobs ? static_cast<Sink&>(files.open(px::companionPath(store_, "MB"))) : noMemos;
    DataFileWriter dbw(db, layout, keyBytes);
    MemoFileWriter mbw(mb);
    std::vector<uint16_t> blockOf(rows_.size(), 0);
    std::vector<uint32_t> slotOf(rows_.size(), 0);
    std::string rec;
    for (RecordId id : ids_) {
        rec.assign(reinterpret_cast<const char*>(recordBytes(id)), header_.recordSize);
        for (size_t f = 0; f < header_.fields.size(); ++f) {
            const FieldDesc& d = header_.fields[f];
            if (!isBlobType(d.type))
                continue;
            uint8_t* p = reinterpret_cast<uint8_t*>(rec.data()) + d.offset;
            std::string_view blob;
            std::string salvaged;
            try {
                blob = blobBytes(id, int(f));
            } catch (const EngineError& e) {
                // One damaged value of an older record must not stop every later save.
                checkMapped();
                salvaged = salvageBlob(id, int(f), e.what(), notices);
                blob = salvaged;
            }
            mbw.storeValue(blob, d.type, p, d.width);
        }
        slotOf[id] = uint32_t(dbw.inBlock());
        blockOf[id] = dbw.add(reinterpret_cast<const uint8_t*>(rec.data()));
    }
    dbw.finish(header_.autoInc);
    mbw.finish();
    files.close(db);
    if (hasBlobs)
        files.close(static_cast<FileSink&>(mb));
    if (header_.keyFields > 0) {
        FileSink& px = files.open(px::companionPath(store_, "PX"));
        const std::vector<FieldDesc> key(header_.fields.begin(), header_.fields.begin() + header_.keyFields);
        writeTreeFile(px, kPrimaryIndex, blockKiB, key, fileNameOf(px::companionPath(store_, "PX")), dbw.blocks());
        files.close(px);
    }

    // Secondary indexes: a sorted copy of the indexed fields (.Xnn/.XGn) and its tree (.Ynn/.YGn).
    for (const SecondaryLayout& s : secondaryLayouts(indexes_, fields_, header_, codePage_, blockKiB, changeCount_, path_))
        writeSecondary(files, s, blockOf, slotOf);

    // Companions of an older version of the table that the new one no longer has.
    std::vector<FileChange> removals;
    for (const auto& f : companionFiles(store_, isSavedCompanion))
        if (!files.has(f))
            removals.push_back({f, std::string(), true, false});
    std::vector<FileChange> changes = files.take();
    changes.insert(changes.end(), removals.begin(), removals.end());
    return changes;
}

void ParadoxTable::flush()
{
    if (!writable_ || !dirty_)
        return;
    lock_->lockExclusive();
    try {
        if (!version_.unchanged(store_))
            throw EngineError(path_ + ": the table was changed by another program after it was opened here; "
                                      "the changes made here are not saved yet. Refresh Records reads the table again "
                                      "and keeps them; the next save then stores them too");
        checkMapped();
        checkMemoFile();
        settleAutoIncrement();
        if (!saveBroken_.empty())
            throw EngineError(saveBroken_);
        ++changeCount_;
        std::vector<std::string> notices;
        bool saved = false;
        try {
            saved = saveInPlace();
        } catch (...) {
            --changeCount_;
            throw;
        }
        if (!saved) {
            if (dataFileOf(store_) != store_)
                throw EngineError(path_ + ": cannot save this change, which needs the table written anew: the table is a symbolic "
                                          "link whose companion files lie beside the link, apart from the file it leads to. Put the "
                                          "files together and save again; the change is kept until then");
            // The whole rewrite replaces the files the log writes into: it is emptied first.
            logCheckpoint(store_);
            inPlace_.reset();
            const std::vector<FileChange> changes = buildFiles(notices);
            checkMapped();   // everything carried over was read from intact files
            const std::vector<int> fds = commitSave(store_, changes);
            version_.rememberFd(fds.front());
            dirty_ = false;
            touched_.clear();
            touchedKnown_ = true;
            adoptSavedFiles(fds, std::any_of(header_.fields.begin(), header_.fields.end(), [](const FieldDesc& d) { return isBlobType(d.type); }));
            for (int fd : fds)
                ::close(fd);
        }
        notices_.insert(notices_.end(), notices.begin(), notices.end());
    } catch (...) {
        // Nobody else saved while the lock was held: what the failed attempt left changed (a
        // modification time, a size given back) must not read as another program's change.
        if (saveBroken_.empty())
            version_.rememberIfSame(store_);
        lock_->unlock();
        throw;
    }
    lock_->unlock();
}

// The memo file must still be the one the records point into: not cut short, replaced or
// removed by another program since it was read (as the data file is checked above).
void ParadoxTable::checkMemoFile() const
{
    if (!haveMb_)
        return;
    char head[16] = {};
    const int fd = openPlainFile(mbPath_, O_RDONLY);
    struct stat st {};
    const bool ok = fd >= 0 && ::fstat(fd, &st) == 0 && uint64_t(st.st_size) >= mb_.size() &&
                    ::pread(fd, head, sizeof head, 0) == ssize_t(std::min<size_t>(sizeof head, mb_.size())) &&
                    std::memcmp(head, mb_.data(), std::min<size_t>(sizeof head, mb_.size())) == 0;
    if (fd >= 0)
        ::close(fd);
    if (!ok)
        throw EngineError(mbPath_ + ": the memo file was cut short, replaced or removed by another program after it was read here; "
                                    "the changes made here are not saved yet. Put the memo file back as it was and save again, or "
                                    "Refresh Records to read the table as it is now");
}

// After a save: the records are read from the new files from now on, and the replaced files
// are let go (their disk space is freed once nothing maps them).
void ParadoxTable::adoptSavedFiles(const std::vector<int>& fds, bool hasBlobs)
{
    for (auto& row : rows_)
        if (row && !row->live)
            *row = Row();   // a deleted record: only the tombstone stays
        else if (row)
            row->pending = Pending::None;
    try {
        Files f;
        f.db = MappedFile(fds.front(), path_);
        f.header = parseHeader(f.db.data(), f.db.size(), path_);
        f.offsets = walkBlocks(f.header, f.db.data(), f.db.size(), path_);
        if (f.offsets.size() != ids_.size())
            return;
        f.mbPath = px::companionPath(store_, "MB");
        if (hasBlobs && fds.size() > 1) {
            f.mb = MappedFile(fds[1], f.mbPath);
            f.haveMb = true;
        }
        offsets_.assign(rows_.size(), 0);
        listed_.reset();   // the new files' offsets come from their block chain
        for (size_t k = 0; k < ids_.size(); ++k) {
            offsets_[ids_[k]] = f.offsets[k];
            rows_[ids_[k]].reset();
        }
        header_ = f.header;
        db_ = std::move(f.db);
        mb_ = std::move(f.mb);
        haveMb_ = f.haveMb;
        mbPath_ = f.mbPath;
        head_.assign(reinterpret_cast<const char*>(db_.data()), std::min<size_t>(db_.size(), 0x30));
    } catch (const EngineError&) {
        // The records held in memory and the old mapping still give the saved content.
    }
}

std::vector<std::string> ParadoxTable::takeNotices() { return std::exchange(notices_, {}); }

// "Id 2" for a keyed table, "record 5" otherwise.
std::string ParadoxTable::recordName(RecordId id) const
{
    if (header_.keyFields == 0) {
        const auto at = std::find(ids_.begin(), ids_.end(), id);
        return "record " + std::to_string(at - ids_.begin() + 1);
    }
    std::string out;
    const uint8_t* rec = recordBytes(id);
    for (int k = 0; k < header_.keyFields; ++k) {
        const Value v = decodeFixed(header_.fields[size_t(k)], rec + header_.fields[size_t(k)].offset, codePage_);
        out += (out.empty() ? "" : ", ") + fields_[size_t(k)].name + " ";
        if (const auto* i = std::get_if<int64_t>(&v))
            out += std::to_string(*i);
        else if (const auto* t = std::get_if<std::string>(&v))
            out += "\"" + *t + "\"";
        else
            out += "(not shown)";
    }
    return out;
}

// What can still be had of a memo or blob value that cannot be read: a memo's first
// characters, which the record itself holds; nothing of other values. Says so in `notices`.
std::string ParadoxTable::salvageBlob(RecordId id, int field, const std::string& why, std::vector<std::string>& notices) const
{
    const FieldDesc& d = header_.fields[size_t(field)];
    std::string kept;
    if (d.type == FieldType::Memo || d.type == FieldType::FmtMemo) {
        const uint8_t* p = recordBytes(id) + d.offset;
        const size_t length = std::min<size_t>(size_t(d.width) - 10, blobPointer(p, d.width).length);
        kept.assign(reinterpret_cast<const char*>(p), length);
    }
    notices.push_back(path_ + ": the " + fieldName(field) + " of the record with " + recordName(id) + " could not be read (" + why +
                      "); it was saved " +
                      (kept.empty() ? std::string("empty") : "with its first " + std::to_string(kept.size()) + " characters only") + ".");
    return kept;
}

// ---------------------------------------------------------------------------------------------
// Reading again

void ParadoxTable::reload()
{
    // Read-only tables are not re-read: their record ids must keep meaning the same records.
    if (!writable_ || path_.empty())
        return;
    recoverAndLockShared(true);
    Files f;
    FileVersion seen;
    try {
        const int fd = openPlainFile(store_, O_RDONLY);
        if (fd < 0)
            throw EngineError(path_ + ": cannot open: " + std::strerror(errno));
        try {
            f = readFiles(fd);
            seen.rememberFd(fd);
        } catch (...) {
            ::close(fd);
            throw;
        }
        ::close(fd);
    } catch (...) {
        lock_->unlock();
        throw;
    }
    lock_->unlock();
    if (f.header.fields.size() != header_.fields.size() || f.header.fieldNames != header_.fieldNames ||
        f.header.keyFields != header_.keyFields || f.header.recordSize != header_.recordSize ||
        !std::equal(f.header.fields.begin(), f.header.fields.end(), header_.fields.begin(),
                    [](const FieldDesc& a, const FieldDesc& b) { return a.type == b.type && a.width == b.width && a.offset == b.offset; }))
        throw EngineError(path_ + ": another program changed the table's fields; it has to be opened again");

    // Records are matched by their key (the whole record in a table without one).
    const bool keyed = header_.keyFields > 0;
    const size_t keyBytes = keyed ? header_.keyBytes() : header_.recordSize;
    auto keyOf = [&](const void* rec) { return std::string_view(static_cast<const char*>(rec), keyBytes); };
    std::unordered_multimap<std::string_view, RecordId> unchanged, pendingByOriginal;
    for (RecordId id : ids_)
        if (!rows_[id])
            unchanged.emplace(keyOf(db_.data() + offsets_[id]), id);
    for (RecordId id = 0; id < rows_.size(); ++id)
        if (rows_[id] && (rows_[id]->pending == Pending::Changed || rows_[id]->pending == Pending::Removed))
            pendingByOriginal.emplace(keyOf(rows_[id]->original.data()), id);

    constexpr RecordId kSuperseded = RecordId(-1);
    std::vector<RecordId> idOf(f.offsets.size());
    std::vector<RecordId> replacedBy(f.offsets.size(), kSuperseded);   // the change made here
    std::vector<bool> stillThere(rows_.size(), false);
    RecordId next = RecordId(rows_.size());
    std::unordered_set<std::string_view> takenKeys;
    for (size_t k = 0; k < f.offsets.size(); ++k) {
        const std::string_view key = keyOf(f.db.data() + f.offsets[k]);
        if (const auto it = pendingByOriginal.find(key); it != pendingByOriginal.end()) {
            idOf[k] = kSuperseded;
            replacedBy[k] = it->second;
            stillThere[it->second] = true;
            pendingByOriginal.erase(it);
            continue;
        }
        if (const auto it = unchanged.find(key); it != unchanged.end()) {
            idOf[k] = it->second;
            stillThere[it->second] = true;
            unchanged.erase(it);
        } else {
            idOf[k] = next++;
        }
        if (keyed)
            takenKeys.insert(key);
    }

    // Changes kept here whose key another program has taken meanwhile get the next free number.
    std::vector<std::pair<RecordId, int64_t>> renumber;
    if (keyed) {
        const FieldDesc& k0 = header_.fields[0];
        const bool numbered = header_.keyFields == 1 &&
                              (k0.type == FieldType::AutoInc || k0.type == FieldType::Long || k0.type == FieldType::Short);
        int64_t top = 0;
        auto numberOf = [&](const void* rec) { return decodeInt(static_cast<const uint8_t*>(rec) + k0.offset, size_t(k0.width)); };
        if (numbered) {
            for (size_t k = 0; k < f.offsets.size(); ++k)
                top = std::max(top, numberOf(f.db.data() + f.offsets[k]));
            for (const auto& row : rows_)
                if (row && row->live)
                    top = std::max(top, numberOf(row->raw.data()));
        }
        for (RecordId id = 0; id < rows_.size(); ++id) {
            const Row* row = rows_[id].get();
            if (!row || !row->live || takenKeys.insert(keyOf(row->raw.data())).second)
                continue;
            if (!numbered || top >= (k0.width == 2 ? 32767 : 2147483647))
                throw EngineError(path_ + ": another program saved a record with the key of a change made here (" + recordName(id) +
                                  "); change that key and try again");
            renumber.emplace_back(id, ++top);
        }
    }

    // From here on nothing fails: take the new files over.
    for (const auto& [id, number] : renumber)
        encodeInt(reinterpret_cast<uint8_t*>(rows_[id]->raw.data()) + header_.fields[0].offset, size_t(header_.fields[0].width), number);
    uint32_t counter = f.header.autoInc;
    for (auto& row : rows_) {
        if (!row)
            continue;
        for (const FieldDesc& d : header_.fields)
            if (d.type == FieldType::AutoInc && row->live)
                counter = uint32_t(std::max<int64_t>(counter, decodeInt(reinterpret_cast<const uint8_t*>(row->raw.data()) + d.offset, 4)));
    }
    for (RecordId id = 0; id < rows_.size(); ++id) {
        std::unique_ptr<Row>& row = rows_[id];
        if (!row) {
            if (!stillThere[id] && offsets_[id] != 0)
                row = std::make_unique<Row>();   // deleted by the other program
            continue;
        }
        if (stillThere[id] || row->pending == Pending::Inserted || row->pending == Pending::None)
            continue;
        // The record this change was made to is gone: a change becomes a new record, a
        // deletion has nothing left to do.
        row->pending = row->live ? Pending::Inserted : Pending::None;
        row->original.clear();
    }
    rows_.resize(next);
    offsets_.resize(next, 0);
    ids_.clear();
    for (size_t k = 0; k < f.offsets.size(); ++k) {
        if (idOf[k] != kSuperseded) {
            offsets_[idOf[k]] = f.offsets[k];
            ids_.push_back(idOf[k]);
        } else if (rows_[replacedBy[k]]->live) {
            ids_.push_back(replacedBy[k]);
        }
    }
    for (RecordId id = 0; id < rows_.size(); ++id)
        if (rows_[id] && rows_[id]->live && rows_[id]->pending == Pending::Inserted)
            ids_.push_back(id);
    header_ = f.header;
    header_.autoInc = counter;
    autoIncPending_ = std::any_of(header_.fields.begin(), header_.fields.end(), [](const FieldDesc& d) { return d.type == FieldType::AutoInc; });
    db_ = std::move(f.db);
    mb_ = std::move(f.mb);
    haveMb_ = f.haveMb;
    mbPath_ = f.mbPath;
    listed_ = std::move(f.listed);   // what the new files' primary index says of their blocks
    head_.assign(reinterpret_cast<const char*>(db_.data()), std::min<size_t>(db_.size(), 0x30));
    version_ = std::move(seen);
    inPlace_.reset();
    touchedKnown_ = false;
    if (keyed)
        std::stable_sort(ids_.begin(), ids_.end(), [this](RecordId a, RecordId b) { return compareKeys(recordBytes(a), recordBytes(b)) < 0; });
    dirty_ = std::any_of(rows_.begin(), rows_.end(), [](const std::unique_ptr<Row>& r) { return r && r->pending != Pending::None; });
}

} // namespace tv
