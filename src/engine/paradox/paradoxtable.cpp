#include "paradoxtable.h"

#include "engine/fileio.h"
#include "engine/codepage.h"
#include "engine/formats.h"
#include "engine/readahead.h"
#include "pxblob.h"
#include "pxbytes.h"
#include "pxfield.h"
#include "pxprimary.h"
#include "pxwal.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace tv {

using namespace px;

namespace {

bool isIndexExtension(const std::string& ext)
{
    if (ext.size() != 3 || ext[0] != 'X')
        return false;
    if (ext[1] == 'G')
        return std::isxdigit(static_cast<unsigned char>(ext[2])) != 0;
    return std::isxdigit(static_cast<unsigned char>(ext[1])) && std::isxdigit(static_cast<unsigned char>(ext[2]));
}

std::string upperExtension(const std::string& path)
{
    const std::string name = fileNameOf(path);
    const auto dot = name.find_last_of('.');
    std::string ext = dot == std::string::npos ? std::string() : name.substr(dot + 1);
    for (auto& c : ext)
        c = char(std::toupper(static_cast<unsigned char>(c)));
    return ext;
}

} // namespace

// ---------------------------------------------------------------------------------------------
// Index definitions

IndexDef indexDefinition(const uint8_t* data, size_t size, const std::string& fileName, const std::vector<FieldDef>& tableFields,
                         int tableKeyFields)
{
    const Header h = parseHeader(data, size, fileName);
    const bool composite = h.fileType == kCompositeNonIncr || h.fileType == kCompositeIncr;
    if (h.fileType != kSecondaryNonIncr && h.fileType != kSecondaryIncr && !composite)
        throw EngineError(fileName + ": not a secondary index file");
    const bool incrementing = h.fileType == kSecondaryIncr || h.fileType == kCompositeIncr;
    const int helpers = incrementing ? tableKeyFields + 1 : 3;
    const int indexed = int(h.numFields) - helpers;
    if (indexed < 1)
        throw EngineError(fileName + ": the index has no indexed fields");
    IndexDef def;
    auto addField = [&](unsigned number) {
        if (number < 1 || number > tableFields.size())
            throw EngineError(fileName + ": the index refers to a field that the table does not have");
        def.fields.push_back(tableFields[number - 1].name);
    };
    if (h.fieldNumbers.empty()) {
        // Version 3 files name only their first field.
        addField(h.indexFieldNumber);
    } else {
        for (int i = 0; i < indexed; ++i) {
            const uint16_t n = h.fieldNumbers[size_t(i)];
            if (n & 0x8000)
                def.descending = true;
            addField(n & 0x7FFF);
        }
    }
    if (h.options & 0x10)
        def.descending = true;
    def.caseInsensitive = composite && (h.options & 0x01);
    def.name = h.indexName.empty() ? def.fields.front() : decodeText(textCodePage(h), h.indexName);
    return def;
}

IndexDef primaryIndexDef(const std::vector<FieldDef>& fields, int keyFields)
{
    IndexDef primary;
    primary.primary = true;
    for (int i = 0; i < keyFields && size_t(i) < fields.size(); ++i)
        primary.fields.push_back(fields[size_t(i)].name);
    return primary;
}

void ParadoxTable::loadIndexDefinitions()
{
    indexes_.clear();
    if (header_.keyFields > 0)
        indexes_.push_back(primaryIndexDef(fields_, header_.keyFields));
    if (!imageDb_.empty() || path_.empty())
        return;
    auto files = companionFiles(store_, isIndexExtension);
    // Single-field indexes by field number first, then the composite ones in order.
    std::stable_sort(files.begin(), files.end(), [](const std::string& a, const std::string& b) {
        const std::string ea = upperExtension(a), eb = upperExtension(b);
        const bool ga = ea[1] == 'G', gb = eb[1] == 'G';
        if (ga != gb)
            return !ga;
        return std::stoul(ea.substr(ga ? 2 : 1), nullptr, 16) < std::stoul(eb.substr(gb ? 2 : 1), nullptr, 16);
    });
    for (const auto& f : files) {
        const MappedFile m(f, MappedFile::Reading::Touched);   // only its header is read
        indexes_.push_back(indexDefinition(m.data(), m.size(), f, fields_, header_.keyFields));
    }
}

// ---------------------------------------------------------------------------------------------
// Opening

void ParadoxTable::load(const uint8_t* db, size_t dbSize, const std::string& dbName)
{
    Files f;
    f.db = MappedFile(db, dbSize);
    f.header = parseHeader(db, dbSize, dbName);
    if (!f.header.isTable())
        throw EngineError(dbName + ": not a Paradox table (this is an index file)");
    f.offsets = walkBlocks(f.header, db, dbSize, dbName);
    adoptFiles(std::move(f));
}

void ParadoxTable::adoptFiles(Files&& f)
{
    header_ = f.header;
    codePage_ = textCodePage(header_);
    fields_.clear();
    for (size_t i = 0; i < header_.fields.size(); ++i) {
        FieldDef d;
        d.name = decodeText(codePage_, header_.fieldNames[i]);
        d.type = header_.fields[i].type;
        d.size = header_.fields[i].size;
        d.decimals = d.type == FieldType::Bcd ? d.size : 0;
        fields_.push_back(std::move(d));
    }
    numberBlobFields();
    db_ = std::move(f.db);
    if (!f.mbPath.empty()) {   // files read from disk (an image brings its memo file along)
        mb_ = std::move(f.mb);
        haveMb_ = f.haveMb;
        mbPath_ = f.mbPath;
    }
    offsets_ = std::move(f.offsets);
    listed_ = std::move(f.listed);
    ids_.resize(offsets_.size());
    for (size_t i = 0; i < ids_.size(); ++i)
        ids_[i] = RecordId(i);
    head_.assign(reinterpret_cast<const char*>(db_.data()), std::min<size_t>(db_.size(), 0x30));
    if (header_.headerSize >= 0x72 && db_.size() >= 0x72)
        changeCount_ = uint16_t(le16(db_.data() + 0x70));
}

void ParadoxTable::numberBlobFields()
{
    blobSlot_.assign(header_.fields.size(), -1);
    blobFields_ = 0;
    for (size_t f = 0; f < header_.fields.size(); ++f)
        if (isBlobType(header_.fields[f].type))
            blobSlot_[f] = int(blobFields_++);
}

std::vector<uint64_t> ParadoxTable::walkBlocks(const Header& h, const uint8_t* db, size_t dbSize, const std::string& dbName) const
{
    std::vector<uint64_t> offsets;
    const size_t blockSize = h.blockSize();
    const size_t blocksInFile = (dbSize - h.headerSize + blockSize - 1) / blockSize;
    std::vector<bool> seen(blocksInFile + 1, false);
    const size_t recordSize = h.recordSize;
    // Some writers leave the chain pointing at a block they never wrote in an empty table.
    if (h.numRecords == 0 && h.firstBlock > blocksInFile)
        return offsets;
    if (h.fileBlocks > blocksInFile)
        throw EngineError(dbName + ": the header counts " + std::to_string(h.fileBlocks) + " blocks, but the file holds " +
                          std::to_string(blocksInFile));
    for (size_t b = h.firstBlock; b != 0;) {
        if (b > blocksInFile)
            throw EngineError(dbName + ": the block chain points to block " + std::to_string(b) + ", past the end of the file");
        if (seen[b])
            throw EngineError(dbName + ": the block chain runs in a circle at block " + std::to_string(b));
        seen[b] = true;
        const uint64_t offset = h.headerSize + uint64_t(b - 1) * blockSize;
        if (offset + 6 > dbSize)
            throw EngineError(dbName + ": block " + std::to_string(b) + " is cut off");
        const uint8_t* p = db + offset;
        const size_t next = le16(p);
        const int16_t lastOffset = int16_t(le16(p + 4));
        if (lastOffset >= 0) {
            if (size_t(lastOffset) % recordSize != 0 || size_t(lastOffset) + recordSize > blockSize - 6)
                throw EngineError(dbName + ": block " + std::to_string(b) + " has a bad record count");
            const size_t count = size_t(lastOffset) / recordSize + 1;
            if (offset + 6 + count * recordSize > dbSize)
                throw EngineError(dbName + ": block " + std::to_string(b) + " is cut off");
            for (size_t i = 0; i < count; ++i)
                offsets.push_back(offset + 6 + i * recordSize);
        }
        b = next;
    }
    // A count that disagrees with the blocks means a damaged header or lost blocks (a zeroed
    // block would otherwise read as a record of nothing but empty fields).
    if (offsets.size() != h.numRecords)
        throw EngineError(dbName + ": the header counts " + std::to_string(h.numRecords) + " records, but its blocks hold " +
                          std::to_string(offsets.size()));
    return offsets;
}

// Where the table's files are taken from when `path` is a symbolic link: beside the file the
// link leads to (a save then replaces that file, never the link), unless the companion files
// lie beside the link alone, as the user arranged them; the link is then the table's name and
// its data file is written through it.
static std::string storeFor(const std::string& path)
{
    const std::string target = dataFileOf(path);
    if (target == path || !companionFiles(target, isSavedCompanion).empty() || companionFiles(path, isSavedCompanion).empty())
        return target;
    return path;
}

void ParadoxTable::recoverAndLockShared(bool recover)
{
    if (!recover) {
        // A table opened for reading is never written: a journal or log beside it stays as it
        // is, and the table is read as its files hold it.
        std::vector<std::string> found = unfinishedSaveFiles(store_);
        if (logPending(store_))
            found.push_back(logPathFor(store_));
        std::string names;
        for (const auto& f : found)
            names += (names.empty() ? "" : ", ") + fileNameOf(f);
        if (!found.empty())
            notices_.push_back(path_ + ": " + names + " beside the table (left by an unfinished save, or put there by another program) " +
                               "was left alone: a table opened only for reading is read as its files are. If no other program is " +
                               "saving this table, the file can be removed.");
        lock_->lockShared();
        return;
    }
    if (saveNeedsRecovery(store_) || logPending(store_)) {
        try {
            lock_->lockExclusive();
        } catch (const EngineError&) {
            throw EngineError(path_ + ": an interrupted save must be completed, but the table cannot be locked");
        }
        try {
            for (auto& n : recoverSave(store_))
                notices_.push_back(std::move(n));
            for (auto& n : logRecover(store_))
                notices_.push_back(std::move(n));
        } catch (...) {
            lock_->unlock();
            throw;
        }
    }
    lock_->lockShared();
}

// Reads the table's files, the data file from `fd`. Needs the table's lock.
ParadoxTable::Files ParadoxTable::readFiles(int fd) const
{
    Files f;
    f.db = MappedFile(fd, path_);
    f.db.readTouchedOnly();
    f.header = parseHeader(f.db.data(), f.db.size(), path_);
    if (!f.header.isTable())
        throw EngineError(path_ + ": not a Paradox table (this is an index file)");
    if (!blocksFromIndex(f))
        f.offsets = walkBlocks(f.header, f.db.data(), f.db.size(), path_);
    bool haveMb = false;
    f.mbPath = companionPath(store_, "MB", &haveMb);
    if (!skipMb_ && std::any_of(f.header.fields.begin(), f.header.fields.end(), [](const FieldDesc& d) { return isBlobType(d.type); })) {
        // A table with memo or blob fields always has its memo file: without it, or with one
        // that is not a memo file, the table is damaged.
        if (!haveMb)
            throw EngineError(f.mbPath + ": the memo file is missing");
        f.mb = MappedFile(f.mbPath);
        f.mb.readTouchedOnly();
        checkMemoHeader(f.mb.data(), f.mb.size(), f.mbPath);
        f.haveMb = true;
    }
    return f;
}

std::unique_ptr<ParadoxTable> ParadoxTable::openWithoutMemoFile(const std::string& path) { return open(path, OpenMode::ReadOnly, true); }

std::unique_ptr<ParadoxTable> ParadoxTable::open(const std::string& path, OpenMode mode, bool skipMb)
{
    std::unique_ptr<ParadoxTable> t(new ParadoxTable);
    t->path_ = path;
    t->skipMb_ = skipMb;
    t->store_ = storeFor(path);
    t->mbPath_ = px::companionPath(t->store_, "MB");
    t->lock_ = std::make_unique<TableLock>(t->store_);
    t->recoverAndLockShared(mode == OpenMode::ReadWrite);
    try {
        const int fd = openPlainFile(t->store_, O_RDONLY);
        if (fd < 0)
            throw EngineError(path + ": cannot open: " + std::strerror(errno));
        try {
            t->adoptFiles(t->readFiles(fd));
            if (mode == OpenMode::ReadWrite)
                t->version_.rememberFd(fd);
        } catch (...) {
            ::close(fd);
            throw;
        }
        ::close(fd);
        t->loadIndexDefinitions();
    } catch (...) {
        t->lock_->unlock();
        throw;
    }
    t->lock_->unlock();
    if (mode == OpenMode::ReadWrite)
        t->openForWriting();
    return t;
}

std::unique_ptr<ParadoxTable> ParadoxTable::openImage(const std::string& name, std::string_view db, std::string_view mb)
{
    std::unique_ptr<ParadoxTable> t(new ParadoxTable);
    t->path_ = name;
    t->mbPath_ = name + " (memo file)";
    t->imageDb_.assign(db.data(), db.size());
    t->imageMb_.assign(mb.data(), mb.size());
    if (t->imageDb_.empty())
        throw EngineError(name + ": file is too short to be a Paradox file");
    t->load(reinterpret_cast<const uint8_t*>(t->imageDb_.data()), t->imageDb_.size(), name);
    if (!mb.empty() && t->blobFields_ > 0) {
        t->mb_ = MappedFile(reinterpret_cast<const uint8_t*>(t->imageMb_.data()), t->imageMb_.size());
        checkMemoHeader(t->mb_.data(), t->mb_.size(), t->mbPath_);
        t->haveMb_ = true;
    }
    t->loadIndexDefinitions();
    return t;
}

void ParadoxTable::openForWriting()
{
    // Nothing is copied: the records are read from the mapping until they change.
    rows_.clear();
    rows_.resize(offsets_.size());
    autoIncPending_ = std::any_of(header_.fields.begin(), header_.fields.end(),
                                  [](const FieldDesc& d) { return d.type == FieldType::AutoInc; });
    writable_ = true;
}

// The highest of the header's counter and the values the opened file's records hold (other
// programs have been seen to leave the header's counter behind).
uint32_t ParadoxTable::highestAutoIncrement() const
{
    uint32_t highest = header_.autoInc;
    if (!autoIncPending_)
        return highest;
    for (size_t id = 0; id < offsets_.size(); ++id) {
        // Records held in memory were counted when they were made; a deletion not yet saved
        // still counts.
        const Row* held = writable_ ? rows_[id].get() : nullptr;
        if (held && held->pending != Pending::Removed)
            continue;
        if (!held)
            checkBlockOf(RecordId(id));
        const uint8_t* rec = held ? reinterpret_cast<const uint8_t*>(held->original.data()) : db_.data() + offsets_[id];
        for (const FieldDesc& d : header_.fields) {
            if (d.type != FieldType::AutoInc || allZero(rec + d.offset, 4))
                continue;
            const int64_t v = decodeInt(rec + d.offset, 4);
            if (v > int64_t(highest))
                highest = uint32_t(v);
        }
    }
    return highest;
}

void ParadoxTable::settleAutoIncrement()
{
    header_.autoInc = highestAutoIncrement();
    autoIncPending_ = false;
}

uint32_t ParadoxTable::autoIncrement() const { return highestAutoIncrement(); }

// ---------------------------------------------------------------------------------------------
// Reading values

void ParadoxTable::checkId(RecordId id) const
{
    bool ok = id < offsets_.size();
    if (writable_)
        ok = id < rows_.size() && (rows_[id] ? rows_[id]->live : ok);
    if (!ok)
        throw EngineError(path_ + ": there is no record " + std::to_string(id));
}

const uint8_t* ParadoxTable::recordBytes(RecordId id) const
{
    uint64_t lo = 0, hi = 0;
    return recordBytes(id, lo, hi);
}

const uint8_t* ParadoxTable::recordBytes(RecordId id, uint64_t& checkedFrom, uint64_t& checkedTo) const
{
    checkId(id);
    if (writable_ && rows_[id])
        return reinterpret_cast<const uint8_t*>(rows_[id]->raw.data());
    checkBlockOf(id, checkedFrom, checkedTo);
    return db_.data() + offsets_[id];
}

// A keyed table opened from disk takes its record offsets from the primary index when the
// index accounts for every record: the data blocks are then not touched at all when the
// table opens. Each block's header is checked against the index when it is first read.
bool ParadoxTable::blocksFromIndex(Files& f) const
{
    const Header& h = f.header;
    const size_t dbSize = f.db.size();
    if (h.keyFields == 0 || h.numRecords == 0 || h.blockSize() <= 6 || dbSize < h.headerSize)
        return false;
    bool havePx = false;
    const std::string pxPath = companionPath(store_, "PX", &havePx);
    if (!havePx)
        return false;
    const size_t blocksInFile = (dbSize - h.headerSize) / h.blockSize();
    std::optional<std::vector<IndexedBlock>> blocks;
    try {
        const MappedFile px(pxPath);
        readAhead(px.data(), px.size());
        blocks = blocksFromPrimaryIndex(px.data(), px.size(), h, blocksInFile);
    } catch (const EngineError&) {
        return false;   // an unreadable index: the block chain says the same
    }
    if (!blocks || blocks->front().block != h.firstBlock)
        return false;   // the chain is read instead (and reports what is wrong with it)
    f.listed = std::make_unique<ListedBlock[]>(blocksInFile + 1);
    f.offsets.reserve(h.numRecords);
    for (size_t i = 0; i < blocks->size(); ++i) {
        const IndexedBlock& b = (*blocks)[i];
        f.listed[b.block].next = i + 1 < blocks->size() ? (*blocks)[i + 1].block : 0;
        f.listed[b.block].count = b.count;
        const uint64_t first = h.headerSize + uint64_t(b.block - 1) * h.blockSize() + 6;
        for (uint32_t r = 0; r < b.count; ++r)
            f.offsets.push_back(first + uint64_t(r) * h.recordSize);
    }
    return true;
}

void ParadoxTable::checkBlockOf(RecordId id) const
{
    if (!listed_)
        return;
    const size_t b = size_t((offsets_[id] - header_.headerSize) / header_.blockSize()) + 1;
    const ListedBlock& l = listed_[b];
    if (l.checked.load(std::memory_order_acquire))
        return;
    const uint8_t* p = db_.data() + header_.headerSize + (b - 1) * header_.blockSize();
    const int16_t lastOffset = int16_t(le16(p + 4));
    const bool countAgrees = lastOffset >= 0 && size_t(lastOffset) % header_.recordSize == 0 &&
                             size_t(lastOffset) / header_.recordSize + 1 == l.count;
    if (!countAgrees || le16(p) != l.next) {
        try {
            checkMapped();
        } catch (const EngineError&) {
            return;   // the file was changed or cut short by another program: reported where that is checked
        }
        throw EngineError(path_ + (countAgrees ? ": the block chain at block " + std::to_string(b) + " does not follow the primary index"
                                               : ": block " + std::to_string(b) + " has a bad record count"));
    }
    l.checked.store(1, std::memory_order_release);
}

std::string ParadoxTable::formatName() const
{
    switch (header_.version) {
    case px::kVersion3: return "Paradox 3";
    case px::kVersion35: return "Paradox 3.5";
    case px::kVersion4: return "Paradox 4";
    case px::kVersion5: return "Paradox 5";
    case px::kVersion7: return "Paradox 7";
    default: return "Paradox (version byte " + std::to_string(header_.version) + ")";
    }
}

std::string_view ParadoxTable::blobBytes(RecordId id, int field) const
{
    if (writable_ && rows_[id])
        return rows_[id]->blobs[size_t(blobSlot_[size_t(field)])];
    if (skipMb_)
        return {};
    const FieldDesc& d = header_.fields[size_t(field)];
    const auto b = readBlob(haveMb_ ? &mb_ : nullptr, db_.data() + offsets_[id] + d.offset, d.width, d.type, mbPath_);
    return b ? *b : std::string_view();
}

bool ParadoxTable::needsReload() const
{
    return !db_.intact() || (haveMb_ && !mb_.intact()) || (!head_.empty() && std::memcmp(db_.data(), head_.data(), head_.size()) != 0);
}

bool ParadoxTable::savedElsewhere() const { return needsReload() || (writable_ && !version_.unchanged(store_)); }

void ParadoxTable::checkMapped() const
{
    if (!needsReload())
        return;
    throw EngineError(path_ + ": the file was changed by another program while it was open here; it has to be read again");
}

Value ParadoxTable::value(RecordId id, int field) const
{
    if (field < 0 || size_t(field) >= fields_.size())
        throw EngineError(path_ + ": there is no field " + std::to_string(field));
    Value v;
    try {
        const uint8_t* rec = recordBytes(id);
        const FieldDesc& d = header_.fields[size_t(field)];
        if (!isBlobType(d.type)) {
            v = decodeFixed(d, rec + d.offset, codePage_);
        } else if (const std::string_view b = blobBytes(id, field); !b.empty()) {
            if (d.type == FieldType::Memo || d.type == FieldType::FmtMemo)
                v = decodeStored(codePage_, b);
            else
                v = Blob{std::string(b)};
        }
    } catch (const EngineError&) {
        checkMapped();   // a file cut short is the cause to name
        throw;
    }
    checkMapped();
    return v;
}

std::string_view ParadoxTable::rawText(RecordId id, int field) const
{
    if (field < 0 || size_t(field) >= fields_.size())
        throw EngineError(path_ + ": there is no field " + std::to_string(field));
    std::string_view text;
    try {
        const uint8_t* rec = recordBytes(id);
        const FieldDesc& d = header_.fields[size_t(field)];
        if (d.type == FieldType::Alpha)
            text = alphaBytes(rec + d.offset, d.width);
        else if (d.type == FieldType::Memo || d.type == FieldType::FmtMemo)
            text = blobBytes(id, field);
    } catch (const EngineError&) {
        checkMapped();
        throw;
    }
    checkMapped();
    return text;
}

void ParadoxTable::rawTexts(const RecordId* ids, size_t n, int field, std::string_view* out) const
{
    if (field < 0 || size_t(field) >= fields_.size())
        throw EngineError(path_ + ": there is no field " + std::to_string(field));
    const FieldDesc& d = header_.fields[size_t(field)];
    const bool memo = d.type == FieldType::Memo || d.type == FieldType::FmtMemo;
    if (!memo && d.type != FieldType::Alpha) {
        TableFile::rawTexts(ids, n, field, out);
        return;
    }
    // Memo files are read in the order the records point into them, so the memory of the
    // records and memo blocks a little ahead is asked for before it is needed: the pointer of
    // the record kAhead further on, and the slot of the one kAhead / 2 further on.
    constexpr size_t kAhead = 64;
    const size_t pointerAt = size_t(d.offset + d.width - 10);
    const size_t records = offsets_.size();
    auto stored = [&](size_t i) -> const uint8_t* {
        const RecordId id = ids[i];
        if (id >= records || (writable_ && rows_[id]))
            return nullptr;
        return db_.data() + offsets_[id];
    };
    const bool ahead = memo && haveMb_;
    uint64_t checkedFrom = 0, checkedTo = 0;
    try {
        for (size_t i = 0; i < n; ++i) {
            if (ahead && i + kAhead < n)
                if (const uint8_t* r = stored(i + kAhead))
                    __builtin_prefetch(r + pointerAt);
            if (ahead && i + kAhead / 2 < n)
                if (const uint8_t* r = stored(i + kAhead / 2)) {
                    const BlobPointer p = blobPointer(r + d.offset, d.width);
                    const uint64_t at = p.offsetIndex & 0xFFFFFF00u;
                    if (at != 0 && at + kMbBlock <= mb_.size()) {
                        const uint8_t* block = mb_.data() + at;
                        __builtin_prefetch(block);
                        __builtin_prefetch(block + 12 + 5 * (p.offsetIndex & 0x3F));
                    }
                }
            const uint8_t* rec = recordBytes(ids[i], checkedFrom, checkedTo);
            out[i] = memo ? blobBytes(ids[i], field) : alphaBytes(rec + d.offset, d.width);
        }
    } catch (const EngineError&) {
        checkMapped();   // a file cut short is the cause to name
        throw;
    }
    checkMapped();   // once for the whole run: what was read is sound only if the files still are
}

// A memo field's texts are placed in the memo file, an alpha field's in the table's own file.
std::string_view ParadoxTable::placedBytes(int field) const
{
    if (field < 0 || size_t(field) >= fields_.size())
        return {};
    const FieldType type = header_.fields[size_t(field)].type;
    const MappedFile* file = type == FieldType::Alpha ? &db_ : (type == FieldType::Memo || type == FieldType::FmtMemo) && haveMb_ ? &mb_ : nullptr;
    return file ? std::string_view(reinterpret_cast<const char*>(file->data()), file->size()) : std::string_view();
}

void ParadoxTable::expectScan(int field) const
{
    if (!placedBytes(field).empty())
        (header_.fields[size_t(field)].type == FieldType::Alpha ? db_ : mb_).readInLargePieces();
}

// An alpha text is its field in the record. A blob of its own starts after its block's 9-byte
// header and its length is in the pointer. A blob in a shared block lies somewhere after the
// block's slot table; where exactly only the slot says, and reading it would mean reading the
// memo file, so the whole block is given.
void ParadoxTable::placeTexts(const RecordId* ids, size_t n, int field, size_t limit, TextPlace* out) const
{
    if (field < 0 || size_t(field) >= fields_.size())
        throw EngineError(path_ + ": there is no field " + std::to_string(field));
    const FieldDesc& d = header_.fields[size_t(field)];
    if (placedBytes(field).empty()) {
        TableFile::placeTexts(ids, n, field, limit, out);
        return;
    }
    const size_t records = offsets_.size();
    uint64_t checkedFrom = 0, checkedTo = 0;
    auto stored = [&](RecordId id) { return id < records && !(writable_ && rows_[id]); };
    constexpr size_t kAhead = 32;
    constexpr size_t kSlotTable = 12 + 64 * 5;
    const bool alpha = d.type == FieldType::Alpha;
    const size_t pointerAt = size_t(d.offset + d.width - 10);
    const uint64_t mbSize = mb_.size();
    const uint32_t leader = uint32_t(d.width - 10);
    try {
        for (size_t i = 0; i < n; ++i) {
            if (!alpha && i + kAhead < n && stored(ids[i + kAhead]))
                __builtin_prefetch(db_.data() + offsets_[ids[i + kAhead]] + pointerAt);
            if (!alpha && i + kAhead / 2 < n && stored(ids[i + kAhead / 2])) {
                const uint64_t ahead = le32(db_.data() + offsets_[ids[i + kAhead / 2]] + pointerAt) & 0xFFFFFF00u;
                if (ahead != 0 && ahead < mbSize)
                    __builtin_prefetch(mb_.data() + ahead);
            }
            TextPlace& p = out[i];
            p = TextPlace{};
            if (!stored(ids[i]))
                continue;
            checkBlockOf(ids[i], checkedFrom, checkedTo);
            if (alpha) {
                const uint64_t at = offsets_[ids[i]] + d.offset;
                p = TextPlace{at, at + d.width, {}};
                continue;
            }
            const uint8_t* field = db_.data() + offsets_[ids[i]] + d.offset;
            const px::BlobPointer b = px::blobPointer(field, d.width);
            const uint64_t at = b.offsetIndex & 0xFFFFFF00u, slot = b.offsetIndex & 0xFFu;
            if (b.length == 0) {
                p.from = TextPlace::kNone;
            } else if (at == 0) {
                if (b.length <= leader) {   // all of it in the record (rawText names a longer one as damaged)
                    p.from = TextPlace::kHere;
                    p.here = std::string_view(reinterpret_cast<const char*>(field), b.length);
                }
            } else if (at % kMbBlock != 0 || at >= mbSize || mb_.data()[at] != (slot == 0xFF ? 2 : 3)) {
                // A pointer rawText will name as damaged: its block is no blob's. (The block's
                // first byte is all that is checked here; a damaged slot in a shared block is
                // named when the text is read.)
            } else if (slot == 0xFF) {
                const uint64_t end = at + 9 + std::min<uint64_t>(b.length, limit);
                if (end <= mbSize)
                    p = TextPlace{at + 9, end, {}};
            } else if (slot < 64 && at + kMbBlock <= mbSize) {
                p = TextPlace{at + kSlotTable, at + kMbBlock, {}};
            }
        }
    } catch (const EngineError&) {
        checkMapped();   // a file cut short is the cause to name
        throw;
    }
    checkMapped();
}

// Records changed and not yet saved are held in memory of their own; until then (and once
// saved) every text is in the mappings of the files. What is kept of a deleted record holds no
// text anyone reads.
bool ParadoxTable::textsMapped() const
{
    return imageDb_.empty() && std::none_of(rows_.begin(), rows_.end(), [](const std::unique_ptr<Row>& r) { return r && r->live; });
}

std::string ParadoxTable::bcdText(RecordId id, int field) const
{
    if (field < 0 || size_t(field) >= fields_.size() || header_.fields[size_t(field)].type != FieldType::Bcd)
        throw EngineError(path_ + ": field " + std::to_string(field) + " is not a BCD field");
    const FieldDesc& d = header_.fields[size_t(field)];
    std::string text = px::bcdText(recordBytes(id) + d.offset, d.size);
    checkMapped();
    return text;
}

std::string ParadoxTable::decimalText(RecordId id, int field) const
{
    if (field < 0 || size_t(field) >= fields_.size() || header_.fields[size_t(field)].type != FieldType::Bcd)
        return {};
    std::string text = bcdText(id, field);
    return text == "?" ? std::string() : text;
}

// ---------------------------------------------------------------------------------------------

std::unique_ptr<TableFile> openParadoxTable(const std::string& path, OpenMode mode) { return ParadoxTable::open(path, mode); }

// Paradox keeps no deleted records apart from its free space, so only the memo file is left out.
std::unique_ptr<TableFile> openParadoxTable(const std::string& path, const SalvageOptions& salvage)
{
    return salvage.withoutMemoFile ? ParadoxTable::openWithoutMemoFile(path) : ParadoxTable::open(path, OpenMode::ReadOnly);
}

std::unique_ptr<TableFile> createParadoxTable(const std::string& path, const TableSpec& spec) { return ParadoxTable::create(path, spec); }

} // namespace tv
