#include "paradoxtable.h"

#include "engine/codepage.h"
#include "engine/formats.h"
#include "pxblob.h"
#include "pxbytes.h"
#include "pxfield.h"

#include <algorithm>
#include <cctype>
#include <cstring>

namespace tv {

using namespace px;

namespace {

bool isBlobType(FieldType t)
{
    switch (t) {
    case FieldType::Memo:
    case FieldType::FmtMemo:
    case FieldType::Graphic:
    case FieldType::Ole:
    case FieldType::Binary:
        return true;
    default:
        return false;
    }
}

bool isIndexExtension(const std::string& ext)
{
    if (ext.size() != 3 || ext[0] != 'X')
        return false;
    if (ext[1] == 'G')
        return std::isxdigit(static_cast<unsigned char>(ext[2])) != 0;
    return std::isxdigit(static_cast<unsigned char>(ext[1])) && std::isxdigit(static_cast<unsigned char>(ext[2]));
}

std::string baseName(const std::string& path)
{
    const auto slash = path.find_last_of('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

std::string upperExtension(const std::string& path)
{
    const std::string name = baseName(path);
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
    auto files = companionFiles(path_, isIndexExtension);
    // Single-field indexes by field number first, then the composite ones in order.
    std::stable_sort(files.begin(), files.end(), [](const std::string& a, const std::string& b) {
        const std::string ea = upperExtension(a), eb = upperExtension(b);
        const bool ga = ea[1] == 'G', gb = eb[1] == 'G';
        if (ga != gb)
            return !ga;
        return std::stoul(ea.substr(ga ? 2 : 1), nullptr, 16) < std::stoul(eb.substr(gb ? 2 : 1), nullptr, 16);
    });
    for (const auto& f : files) {
        const MappedFile m(f);
        indexes_.push_back(indexDefinition(m.data(), m.size(), f, fields_, header_.keyFields));
    }
}

// ---------------------------------------------------------------------------------------------
// Opening

ParadoxTable::~ParadoxTable() = default;

void ParadoxTable::load(const uint8_t* db, size_t dbSize, const std::string& dbName)
{
    header_ = parseHeader(db, dbSize, dbName);
    if (!header_.isTable())
        throw EngineError(dbName + ": not a Paradox table (this is an index file)");
    codePage_ = textCodePage(header_);
    fields_.clear();
    for (size_t i = 0; i < header_.fields.size(); ++i) {
        FieldDef f;
        f.name = decodeText(codePage_, header_.fieldNames[i]);
        f.type = header_.fields[i].type;
        f.size = header_.fields[i].size;
        f.decimals = f.type == FieldType::Bcd ? f.size : 0;
        fields_.push_back(std::move(f));
    }
    numberBlobFields();
    walkBlocks(db, dbSize, dbName);
}

void ParadoxTable::numberBlobFields()
{
    blobSlot_.assign(header_.fields.size(), -1);
    blobFields_ = 0;
    for (size_t f = 0; f < header_.fields.size(); ++f)
        if (isBlobType(header_.fields[f].type))
            blobSlot_[f] = int(blobFields_++);
}

void ParadoxTable::walkBlocks(const uint8_t* db, size_t dbSize, const std::string& dbName)
{
    offsets_.clear();
    ids_.clear();
    const size_t blockSize = header_.blockSize();
    const size_t blocksInFile = (dbSize - header_.headerSize + blockSize - 1) / blockSize;
    std::vector<bool> seen(blocksInFile + 1, false);
    const size_t recordSize = header_.recordSize;
    // Some writers leave the chain pointing at a block they never wrote in an empty table.
    if (header_.numRecords == 0 && header_.firstBlock > blocksInFile)
        return;
    if (header_.fileBlocks > blocksInFile)
        throw EngineError(dbName + ": the header counts " + std::to_string(header_.fileBlocks) + " blocks, but the file holds " +
                          std::to_string(blocksInFile));
    for (size_t b = header_.firstBlock; b != 0;) {
        if (b > blocksInFile)
            throw EngineError(dbName + ": the block chain points to block " + std::to_string(b) + ", past the end of the file");
        if (seen[b])
            throw EngineError(dbName + ": the block chain runs in a circle at block " + std::to_string(b));
        seen[b] = true;
        const uint64_t offset = header_.headerSize + uint64_t(b - 1) * blockSize;
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
                offsets_.push_back(offset + 6 + i * recordSize);
        }
        b = next;
    }
    // A count that disagrees with the blocks means a damaged header or lost blocks (a zeroed
    // block would otherwise read as a record of nothing but empty fields).
    if (offsets_.size() != header_.numRecords)
        throw EngineError(dbName + ": the header counts " + std::to_string(header_.numRecords) + " records, but its blocks hold " +
                          std::to_string(offsets_.size()));
    ids_.resize(offsets_.size());
    for (size_t i = 0; i < ids_.size(); ++i)
        ids_[i] = RecordId(i);
}

std::unique_ptr<ParadoxTable> ParadoxTable::open(const std::string& path, OpenMode mode)
{
    std::unique_ptr<ParadoxTable> t(new ParadoxTable);
    t->path_ = path;
    t->lock_ = std::make_unique<TableLock>(path);
    if (saveNeedsRecovery(path)) {
        try {
            t->lock_->lockExclusive();
        } catch (const EngineError&) {
            throw EngineError(path + ": an interrupted save must be completed, but the folder is not writable");
        }
        recoverSave(path);
    }
    t->lock_->lockShared();
    t->db_ = MappedFile(path);
    t->load(t->db_.data(), t->db_.size(), path);
    bool haveMb = false;
    t->mbPath_ = companionPath(path, "MB", &haveMb);
    if (t->blobFields_ > 0) {
        // A table with memo or blob fields always has its memo file: without it, or with one
        // that is not a memo file, the table is damaged.
        if (!haveMb)
            throw EngineError(t->mbPath_ + ": the memo file is missing");
        t->mb_ = MappedFile(t->mbPath_);
        checkMemoHeader(t->mb_.data(), t->mb_.size(), t->mbPath_);
        t->haveMb_ = true;
    }
    t->loadIndexDefinitions();
    if (mode == OpenMode::ReadWrite) {
        t->version_.remember(path);
        t->openForWriting();
    }
    t->lock_->unlock();
    return t;
}

std::unique_ptr<ParadoxTable> ParadoxTable::openImage(const std::string& name, std::string_view db, std::string_view mb)
{
    std::unique_ptr<ParadoxTable> t(new ParadoxTable);
    t->path_ = name;
    t->mbPath_ = name + " (memo file)";
    t->imageDb_.assign(db.data(), db.size());
    t->imageMb_.assign(mb.data(), mb.size());
    t->db_ = MappedFile(reinterpret_cast<const uint8_t*>(t->imageDb_.data()), t->imageDb_.size());
    if (t->imageDb_.empty())
        throw EngineError(name + ": file is too short to be a Paradox file");
    t->load(t->db_.data(), t->db_.size(), name);
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
        const uint8_t* rec = db_.data() + offsets_[id];
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
    checkId(id);
    if (writable_ && rows_[id])
        return reinterpret_cast<const uint8_t*>(rows_[id]->raw.data());
    return db_.data() + offsets_[id];
}

std::string_view ParadoxTable::blobBytes(RecordId id, int field) const
{
    if (writable_ && rows_[id])
        return rows_[id]->blobs[size_t(blobSlot_[size_t(field)])];
    const FieldDesc& d = header_.fields[size_t(field)];
    const auto b = readBlob(haveMb_ ? &mb_ : nullptr, db_.data() + offsets_[id] + d.offset, d.width, d.type, mbPath_);
    return b ? *b : std::string_view();
}

Value ParadoxTable::value(RecordId id, int field) const
{
    if (field < 0 || size_t(field) >= fields_.size())
        throw EngineError(path_ + ": there is no field " + std::to_string(field));
    const uint8_t* rec = recordBytes(id);
    const FieldDesc& d = header_.fields[size_t(field)];
    if (!isBlobType(d.type))
        return decodeFixed(d, rec + d.offset, codePage_);
    const std::string_view b = blobBytes(id, field);
    if (b.empty())
        return {};
    if (d.type == FieldType::Memo || d.type == FieldType::FmtMemo)
        return decodeStored(codePage_, b);
    return Blob{std::string(b)};
}

std::string_view ParadoxTable::rawText(RecordId id, int field) const
{
    if (field < 0 || size_t(field) >= fields_.size())
        throw EngineError(path_ + ": there is no field " + std::to_string(field));
    const uint8_t* rec = recordBytes(id);
    const FieldDesc& d = header_.fields[size_t(field)];
    if (d.type == FieldType::Alpha)
        return alphaBytes(rec + d.offset, d.width);
    if (d.type == FieldType::Memo || d.type == FieldType::FmtMemo)
        return blobBytes(id, field);
    return {};
}

std::string ParadoxTable::bcdText(RecordId id, int field) const
{
    if (field < 0 || size_t(field) >= fields_.size() || header_.fields[size_t(field)].type != FieldType::Bcd)
        throw EngineError(path_ + ": field " + std::to_string(field) + " is not a BCD field");
    const FieldDesc& d = header_.fields[size_t(field)];
    return px::bcdText(recordBytes(id) + d.offset, d.size);
}

// ---------------------------------------------------------------------------------------------

std::unique_ptr<TableFile> openParadoxTable(const std::string& path, OpenMode mode) { return ParadoxTable::open(path, mode); }

std::unique_ptr<TableFile> createParadoxTable(const std::string& path, const TableSpec& spec) { return ParadoxTable::create(path, spec); }

} // namespace tv
