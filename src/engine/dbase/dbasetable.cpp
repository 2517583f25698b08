#include "dbasetable.h"

#include "bytes.h"

#include "cdxindex.h"
#include "mdxindex.h"

#include "engine/codepage.h"
#include "engine/formats.h"

#include <algorithm>
#include <cstdio>
#include <ctime>
#include <type_traits>

namespace tv {

using namespace dbase;

namespace {

struct Today {
    int year = 2000, month = 1, day = 1;
};

Today today()
{
    const std::time_t now = std::time(nullptr);
    std::tm tm {};
    Today t;
    if (localtime_r(&now, &tm)) {
        t.year = tm.tm_year + 1900;
        t.month = tm.tm_mon + 1;
        t.day = tm.tm_mday;
    }
    return t;
}

std::string fileName(const std::string& path)
{
    const auto slash = path.find_last_of('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

// The code page a .cpg file beside the table names (the GIS way of giving one: "UTF-8",
// "1252", "ANSI 1250", "88591"), which goes before the language driver byte; 0 when there is no
// such file or it says "SYSTEM" (the reader's own choice).
int declaredCodePage(const std::string& path)
{
    const std::string cpg = findCompanion(path, "cpg");
    if (cpg.empty())
        return 0;
    const std::string text = readWholeFile(cpg);
    const std::string_view name = trimBlanks(std::string_view(text).substr(0, text.find_first_of("\r\n")));
    if (name.empty() || foldAsciiUpper(name) == "SYSTEM")
        return 0;
    const int codePage = codePageByName(name);
    if (codePage == 0 || !isKnownCodePage(codePage))
        throw EngineError(cpg + ": names code page \"" + std::string(name.substr(0, 64)) +
                          "\", which is not known here (it can name " + kCodePageNaming + ")");
    return codePage;
}

// Whether a table whose driver byte names no code page holds UTF-8 (as some programs write
// it): every field name and character field is UTF-8, and something is more than ASCII.
bool holdsUtf8(const DbfLayout& l, std::string_view dbf)
{
    bool beyondAscii = false;
    const auto fits = [&](std::string_view text) {
        const Utf8Kind kind = classifyUtf8(text);
        beyondAscii = beyondAscii || kind == Utf8Kind::Utf8;
        return kind != Utf8Kind::Other;
    };
    for (const std::string& name : l.storedNames)
        if (!fits(name))
            return false;
    for (size_t f = 0; f < l.fields.size(); ++f) {
        if (l.fields[f].type != FieldType::DbChar)
            continue;
        for (uint64_t r = 0, at = l.headerLength + l.offsets[f]; r < l.recordCount; ++r, at += l.recordLength)
            if (!fits(trimCharCell(dbf.substr(size_t(at), size_t(l.fields[f].size)))))
                return false;
    }
    return beyondAscii;
}

} // namespace

std::unique_ptr<DbaseTable> DbaseTable::open(const std::string& path, OpenMode mode, const SalvageOptions& salvage)
{
    std::unique_ptr<DbaseTable> t(new DbaseTable(path));
    t->load(mode, mode == OpenMode::ReadOnly ? salvage : SalvageOptions{});
    return t;
}

void DbaseTable::load(OpenMode mode, const SalvageOptions& salvage)
{
    writable_ = mode == OpenMode::ReadWrite;
    if (writable_) {
        dbfImage_ = readWholeFile(path_);
        dbf_ = dbfImage_;
    } else {
        dbfMap_ = MappedFile(path_);
        dbf_ = dbfMap_.bytes();
    }
    const int declared = declaredCodePage(path_);
    layout_ = parseDbf(dbf_, path_, declared);
    bool knownDriver = false;
    codePageForLanguageDriver(layout_.languageDriver, knownDriver);
    if (declared == 0 && (layout_.languageDriver == 0 || !knownDriver) && holdsUtf8(layout_, dbf_))
        layout_ = parseDbf(dbf_, path_, kCodePageUtf8);
    if (writable_ && (layout_.flavour != DbfFlavour::Dbase ||
                      std::any_of(layout_.fields.begin(), layout_.fields.end(), [](const FieldDef& f) {
                          return f.type > FieldType::DbMemo;
                      })))
        throw EngineError(path_ + ": " + versionName(layout_.version) + " tables and FoxPro field types are read here, not changed");

    MemoLayout memoLayout = layout_.memoLayout();
    skipMemo_ = salvage.withoutMemoFile && memoLayout != MemoLayout::None;
    if (memoLayout != MemoLayout::None && !skipMemo_) {
        // A dBASE III header over FoxPro fields may have its memos in an .FPT.
        const char* memoExt = memoLayout == MemoLayout::Fpt ? "fpt" : "dbt";
        memoPath_ = findCompanion(path_, memoExt);
        if (memoPath_.empty() && layout_.version == kVersionPlain && !findCompanion(path_, "fpt").empty()) {
            memoLayout = MemoLayout::Fpt;
            memoExt = "fpt";
            memoPath_ = findCompanion(path_, memoExt);
        }
        if (memoPath_.empty()) {
            char version[8];
            std::snprintf(version, sizeof version, "0x%02x", layout_.version);
            throw EngineError(path_ + ": memo file " + fileName(companionPath(path_, memoExt)) + " is missing (" +
                              (layout_.hasMemoFields() ? std::string("the table has memo fields")
                                                                 : "version byte " + std::string(version) +
                                                                       " says the table has memos") +
                              ")");
        }
        std::string_view memoBytes;
        if (writable_) {
            memoImage_ = readWholeFile(memoPath_);
            memoBytes = memoImage_;
        } else {
            memoMap_ = MappedFile(memoPath_);
            memoMap_.readTouchedOnly();
            memoBytes = memoMap_.bytes();
        }
        memo_ = MemoFile(memoBytes, memoLayout, memoPath_);
    }

    if (layout_.productionIndex && layout_.flavour == DbfFlavour::FoxPro) {
        cdxPath_ = findCompanion(path_, "cdx");
        if (!cdxPath_.empty()) {
            // The table is read only here, so a damaged index cannot be made worse: its records
            // are read without it.
            try {
                const MappedFile cdx(cdxPath_, MappedFile::Reading::Touched);
                indexes_ = readCdxTags(cdx.bytes(), cdxPath_, layout_.fields, layout_.codePage, &cdxHeaders_);
            } catch (const EngineError& e) {
                notices_.push_back(std::string(e.what()) + ": the table is read without its index tags");
                indexes_.clear();
                cdxHeaders_.clear();
            }
            treeNoted_.assign(indexes_.size(), 0);
        }
    } else if (layout_.productionIndex) {
        mdxPath_ = findCompanion(path_, "mdx");
        if (!mdxPath_.empty()) {
            const MappedFile mdx(mdxPath_, MappedFile::Reading::Touched);   // the tag table and the tags' headers
            indexes_ = readMdxTags(mdx.bytes(), mdxPath_, layout_.fields, layout_.codePage);
        }
    }

    ids_.reserve(layout_.recordCount);
    for (uint32_t r = 0; r < layout_.recordCount; ++r)
        if (salvage.deletedRecords || dbf_[layout_.headerLength + size_t(r) * layout_.recordLength] != kDeletedFlag)
            ids_.push_back(r);

    if (writable_) {
        dbfImage_.resize(size_t(layout_.recordsEnd()));  // drop the end-of-file mark and anything after it
        dbf_ = dbfImage_;
        dbfFile_ = WritableFile(path_);
        if (!memoPath_.empty())
            memoFile_ = WritableFile(memoPath_);
        diskRecords_ = layout_.recordCount;
        diskMemoSize_ = memoImage_.size();
    }
}

std::unique_ptr<DbaseTable> DbaseTable::create(const std::string& path, const TableSpec& spec)
{
    if (spec.primaryKeyFields != 0)
        throw EngineError(path + ": dBASE tables have no primary key");
    DbfLayout layout = layoutForNewTable(path, spec.fields, spec.codePage);
    layout.productionIndex = !spec.secondary.empty();
    const Today t = today();
    const std::string base = baseName(path);
    const std::string header = buildDbfHeader(layout, t.year, t.month, t.day);
    const std::string dbf = header + kEndOfFile;
    const std::string mdx =
        layout.productionIndex ? buildMdx(path, base, spec.secondary, layout, header, t.year, t.month, t.day) : std::string();
    const std::string dbtPath = companionPath(path, "dbt");
    const std::string mdxPath = companionPath(path, "mdx");
    const std::string cpgPath = companionPath(path, "cpg");
    // An old table of that name goes first, so that a crash part way never leaves an old .DBF
    // beside new companions: there is either no table or the new one.
    removeFileIfPresent(path);
    syncFolderOf(path);
    if (layout.hasMemoFields())
        replaceFileDurably(dbtPath, MemoFile::newFileHeader(MemoLayout::Dbase3, base));
    else
        removeFileIfPresent(dbtPath);
    if (layout.productionIndex)
        replaceFileDurably(mdxPath, mdx);
    else
        removeFileIfPresent(mdxPath);
    // A code page without a language driver byte (UTF-8, say) is named in a .cpg file; an old
    // one (in any letter case) would name another code page for the new table.
    if (const std::string oldCpg = findCompanion(path, "cpg"); !oldCpg.empty())
        removeFileIfPresent(oldCpg);
    if (layout.languageDriver == 0 && layout.codePage != 1252)
        replaceFileDurably(cpgPath, codePageName(layout.codePage));
    else
        removeFileIfPresent(cpgPath);
    replaceFileDurably(path, dbf);
    syncFolderOf(path);
    return open(path, OpenMode::ReadWrite);
}

DbaseTable::~DbaseTable()
{
    try {
        flush();
    } catch (const EngineError&) {
        // Nothing sensible is left to do with the error here; what was flushed before stays.
    }
}

std::vector<RecordId> DbaseTable::cdxOrder(size_t tag) const
{
    // Keys are padded with blanks when they are text, with zeros otherwise: told by the field the
    // key expression (without its FOR condition) begins with.
    IndexDef key = indexes_[tag];
    key.expressionText = key.expressionText.substr(0, key.expressionText.find(" FOR "));
    interpretKeyExpression(key, layout_.fields);
    const int field = key.fields.empty() ? -1 : findFieldNoCase(layout_.fields, key.fields[0]);
    const FieldType type = field < 0 ? FieldType::DbChar : layout_.fields[size_t(field)].type;
    const char fill = type == FieldType::DbChar || type == FieldType::DbVarchar ? ' ' : '\0';
    static_assert(std::is_same_v<RecordId, uint32_t>);   // record ids are record numbers from 0
    const MappedFile cdx(cdxPath_);
    return readCdxOrder(cdx.bytes(), cdxHeaders_[tag], cdxPath_, layout_.recordCount, fill);
}

std::optional<std::vector<RecordId>> DbaseTable::storedKeyOrder(const IndexDef& index) const
{
    for (size_t tag = 0; tag < cdxHeaders_.size() && tag < indexes_.size(); ++tag) {
        if (indexes_[tag].name != index.name || indexes_[tag].expressionText != index.expressionText)
            continue;
        if (indexes_[tag].expression || indexes_[tag].fields.size() != 1)
            return std::nullopt;
        try {
            std::vector<RecordId> order = cdxOrder(tag);
            if (order.size() != layout_.recordCount)
                return std::nullopt;   // a unique tag: its key orders every record
            return order;
        } catch (const EngineError& e) {
            if (!std::exchange(treeNoted_[tag], 1))
                notices_.push_back(std::string(e.what()) + ": the records are ordered by the key of tag " + index.name +
                                   " instead");
            return std::nullopt;
        }
    }
    return std::nullopt;
}

std::string DbaseTable::keyTreeState(size_t index) const
{
    if (index >= indexes_.size())
        return {};
    if (index >= cdxHeaders_.size())   // an .MDX tag
        return "not read: the tag's key orders the records";
    try {
        const size_t count = cdxOrder(index).size();
        const std::string keys = "read: " + std::to_string(count) + " keys";
        const IndexDef& ix = indexes_[index];
        // Such a tag orders the records by its key expression, as far as it is understood here.
        if (ix.expression || ix.fields.size() != 1)
            return keys + " (not used: the key expression is not one read here)";
        return count == layout_.recordCount ? keys : keys + " (not used: the tag holds one record of each key)";
    } catch (const EngineError& e) {
        return std::string("not used: ") + e.what();
    }
}

std::string DbaseTable::where(RecordId id, int field) const
{
    return "record " + std::to_string(uint64_t(id) + 1) + ", field " + layout_.fields[size_t(field)].name;
}

std::string_view DbaseTable::cell(RecordId id, int field) const
{
    if (id >= layout_.recordCount)
        throw EngineError(path_ + ": there is no record " + std::to_string(uint64_t(id) + 1));
    if (field < 0 || size_t(field) >= layout_.fields.size())
        throw EngineError(path_ + ": there is no field number " + std::to_string(field + 1));
    // A read that found the mapped files cut short saw zeros in place of the lost part.
    if (!dbfMap_.intact() || !memoMap_.intact())
        throw EngineError(path_ + ": the file was changed by another program while it was open here; it has to be read again");
    const size_t at = layout_.headerLength + size_t(id) * layout_.recordLength + layout_.offsets[size_t(field)];
    return dbf_.substr(at, size_t(layout_.fields[size_t(field)].size));
}

bool DbaseTable::isDeleted(RecordId id) const
{
    return id < layout_.recordCount && dbf_[layout_.headerLength + size_t(id) * layout_.recordLength] == kDeletedFlag;
}

std::string_view DbaseTable::memoBytes(RecordId id, int field) const
{
    if (skipMemo_) {
        cell(id, field);   // the record has to be there all the same
        return {};
    }
    uint64_t block = 0;
    if (!memoBlockOfCell(cell(id, field), block))
        throw EngineError(path_ + ": " + where(id, field) + " holds no memo block number");
    if (block == 0)
        return {};
    std::string_view text;
    if (memo_.tryText(block, text))   // the message is built only for a damaged memo
        return text;
    return memo_.text(block, where(id, field));
}

bool DbaseTable::nullByFlags(RecordId id, int field) const
{
    const int bit = layout_.nullBit[size_t(field)];
    return bit >= 0 && flagBit(id, bit);
}

bool DbaseTable::flagBit(RecordId id, int bit) const
{
    const size_t at = layout_.headerLength + size_t(id) * layout_.recordLength + layout_.nullFlagsOffset + size_t(bit / 8);
    return (uint8_t(dbf_[at]) >> (bit % 8)) & 1;
}

// A varchar or varbinary cell: the whole field, or as much of it as its last byte says when
// its length bit is set.
std::string_view DbaseTable::varCell(RecordId id, int field) const
{
    std::string_view c = cell(id, field);
    const int bit = layout_.lengthBit[size_t(field)];
    if (bit >= 0 && flagBit(id, bit)) {
        const size_t length = uint8_t(c.back());
        if (length >= c.size())
            throw EngineError(path_ + ": " + where(id, field) + " says it holds " + std::to_string(length) +
                              " bytes, but the field has room for " + std::to_string(c.size() - 1));
        c = c.substr(0, length);
    }
    return c;
}

Value DbaseTable::value(RecordId id, int field) const
{
    const std::string_view c = cell(id, field);
    if (nullByFlags(id, field))
        return {};
    const FieldType type = layout_.fields[size_t(field)].type;
    switch (type) {
    case FieldType::DbChar: {
        const std::string_view raw = trimCharCell(c);
        if (raw.empty())
            return {};
        return decodeText(layout_.codePage, raw);
    }
    case FieldType::DbNumeric:
    case FieldType::DbFloat:
        return decodeNumberCell(c);
    case FieldType::DbDate:
        return decodeDateCell(c);
    case FieldType::DbLogical:
        return decodeLogicalCell(c);
    case FieldType::DbMemo: {
        const std::string_view raw = memoBytes(id, field);
        if (raw.empty())
            return {};
        return decodeText(layout_.codePage, raw);
    }
    case FieldType::DbVarchar: {
        const std::string_view raw = varCell(id, field);
        if (raw.empty())
            return {};
        return decodeText(layout_.codePage, raw);
    }
    case FieldType::DbVarbinary: {
        const std::string_view raw = varCell(id, field);
        if (raw.empty())
            return {};
        return Blob{std::string(raw)};
    }
    case FieldType::DbGeneral:
    case FieldType::DbPicture:
    case FieldType::DbBinaryMemo:
    case FieldType::DbBlob: {
        const std::string_view raw = memoBytes(id, field);
        if (raw.empty())
            return {};
        return Blob{std::string(raw)};
    }
    default: {
        Value v;
        if (!decodeBinaryCell(type, layout_.flavour, c, v))
            throw EngineError(path_ + ": " + where(id, field) + " holds bytes that make no " + typeLetter(type).substr(1) +
                              " value");
        return v;
    }
    }
}

std::string DbaseTable::decimalText(RecordId id, int field) const
{
    const std::string_view c = cell(id, field);
    const FieldType type = layout_.fields[size_t(field)].type;
    if (nullByFlags(id, field))
        return {};
    if (type == FieldType::DbCurrency)
        return currencyText(currencyOfCell(c));
    return type == FieldType::DbNumeric || type == FieldType::DbFloat ? numberTextOfCell(c) : std::string();
}

std::string_view DbaseTable::rawText(RecordId id, int field) const
{
    const std::string_view c = cell(id, field);
    switch (layout_.fields[size_t(field)].type) {
    case FieldType::DbChar:
        return nullByFlags(id, field) ? std::string_view() : trimCharCell(c);
    case FieldType::DbMemo:
        return nullByFlags(id, field) ? std::string_view() : memoBytes(id, field);
    case FieldType::DbVarchar:
        return nullByFlags(id, field) ? std::string_view() : varCell(id, field);
    default:
        return {};
    }
}

// The cells of the records a little ahead are asked for before they are read: a scan of a
// whole field would otherwise wait for every record's cell in turn.
void DbaseTable::rawTexts(const RecordId* ids, size_t n, int field, std::string_view* out) const
{
    constexpr size_t kAhead = 16;
    const size_t at = layout_.headerLength + (field >= 0 && size_t(field) < layout_.offsets.size() ? layout_.offsets[size_t(field)] : 0);
    for (size_t i = 0; i < n; ++i) {
        if (i + kAhead < n && ids[i + kAhead] < layout_.recordCount)
            __builtin_prefetch(dbf_.data() + at + size_t(ids[i + kAhead]) * layout_.recordLength);
        out[i] = rawText(ids[i], field);
    }
}

// Memo fields only: short texts are read from their records.
std::string_view DbaseTable::placedBytes(int field) const
{
    const bool memo = field >= 0 && size_t(field) < layout_.fields.size() && layout_.fields[size_t(field)].type == FieldType::DbMemo;
    return memo && !writable_ ? memo_.bytes() : std::string_view();
}

void DbaseTable::expectScan(int field) const
{
    if (!placedBytes(field).empty())
        memoMap_.readInLargePieces();
}

// A memo's length is in the memo file (or where its end mark is), so the place given is the
// most its first `limit` bytes can take.
void DbaseTable::placeTexts(const RecordId* ids, size_t n, int field, size_t limit, TextPlace* out) const
{
    if (writable_ || field < 0 || size_t(field) >= layout_.fields.size() || layout_.fields[size_t(field)].type != FieldType::DbMemo) {
        TableFile::placeTexts(ids, n, field, limit, out);
        return;
    }
    constexpr size_t kAhead = 16;
    const size_t at = layout_.headerLength + layout_.offsets[size_t(field)];
    for (size_t i = 0; i < n; ++i) {
        if (i + kAhead < n && ids[i + kAhead] < layout_.recordCount)
            __builtin_prefetch(dbf_.data() + at + size_t(ids[i + kAhead]) * layout_.recordLength);
        TextPlace& p = out[i];
        p = TextPlace{};
        uint64_t block = 0;
        if (!memoBlockOfCell(cell(ids[i], field), block))
            continue;   // rawText names the damage
        if (block == 0 || nullByFlags(ids[i], field))
            p.from = TextPlace::kNone;
        else
            memo_.span(block, limit, p.from, p.to);
    }
}

void DbaseTable::refreshViews()
{
    dbf_ = dbfImage_;
    memo_.setBytes(memoImage_);
}

RecordId DbaseTable::insert(const Record& values)
{
    if (!writable_)
        throw EngineError(path_ + ": table is read-only");
    const auto& fields = layout_.fields;
    if (values.size() != fields.size())
        throw EngineError(path_ + ": a record needs " + std::to_string(fields.size()) + " values, not " +
                          std::to_string(values.size()));
    if (layout_.recordCount == UINT32_MAX)
        throw EngineError(path_ + ": table is full");
    const RecordId id = layout_.recordCount;

    std::string record(layout_.recordLength, ' ');
    std::vector<std::pair<size_t, std::string>> memos;  // field, encoded text
    for (size_t i = 0; i < fields.size(); ++i) {
        if (fields[i].type != FieldType::DbMemo) {
            encodeCell(path_, fields[i], values[i], layout_.codePage, &record[layout_.offsets[i]]);
            continue;
        }
        if (isNull(values[i]))
            continue;
        const auto* text = std::get_if<std::string>(&values[i]);
        if (!text)
            throw EngineError(path_ + ": field " + fields[i].name + " holds text");
        if (!text->empty())
            memos.emplace_back(i, encodeText(layout_.codePage, *text));
    }
    for (const auto& [i, text] : memos) {
        const uint64_t block = memo_.nextFreeBlock(memoImage_.size(), memoImage_.size() >= 4 ? u32At(memoImage_, 0) : 0);
        memo_.append(memoImage_, block, text, where(id, int(i)));
        const std::string ref = memoCell(block);
        record.replace(layout_.offsets[i], ref.size(), ref);
    }
    dbfImage_ += record;
    ++layout_.recordCount;
    ids_.push_back(id);
    refreshViews();
    return id;
}

void DbaseTable::flush()
{
    if (!writable_)
        return;
    if (memoImage_.size() > diskMemoSize_ && memoFile_.isOpen()) {
        memoFile_.writeAt(diskMemoSize_, std::string_view(memoImage_).substr(diskMemoSize_));
        memoFile_.sync();
        memoFile_.writeAt(0, std::string_view(memoImage_).substr(0, 4));
        memoFile_.sync();
        diskMemoSize_ = memoImage_.size();
    }
    if (layout_.recordCount != diskRecords_) {
        const size_t from = layout_.headerLength + size_t(diskRecords_) * layout_.recordLength;
        dbfFile_.writeAt(from, std::string(std::string_view(dbfImage_).substr(from)) + kEndOfFile);
        dbfFile_.sync();
        const Today t = today();
        patchDbfHeader(dbfImage_, layout_.recordCount, t.year, t.month, t.day);
        // The production index gets the new records' keys after them (an index never points
        // past the records on disk). One that this program cannot rebuild (a tag over an
        // expression it does not evaluate, say) stops being the production index, so that
        // dBASE does not trust its stale keys.
        std::string mdx;
        if (layout_.productionIndex && !mdxPath_.empty()) {
            try {
                mdx = buildMdx(mdxPath_, baseName(path_), indexes_, layout_, dbfImage_, t.year, t.month, t.day);
            } catch (const EngineError&) {
                mdx.clear();
            }
        }
        if (layout_.productionIndex && mdx.empty()) {
            layout_.productionIndex = false;
            dbfImage_[0x1C] = 0;
        }
        dbfFile_.writeAt(0, std::string_view(dbfImage_).substr(0, 0x1D));
        dbfFile_.sync();
        diskRecords_ = layout_.recordCount;
        refreshViews();
        if (!mdx.empty()) {
            replaceFileDurably(mdxPath_, mdx);
            syncFolderOf(mdxPath_);
        }
    }
}

std::unique_ptr<TableFile> openDbaseTable(const std::string& path, OpenMode mode)
{
    return DbaseTable::open(path, mode);
}

std::unique_ptr<TableFile> openDbaseTable(const std::string& path, const SalvageOptions& salvage)
{
    return DbaseTable::open(path, OpenMode::ReadOnly, salvage);
}

std::unique_ptr<TableFile> createDbaseTable(const std::string& path, const TableSpec& spec)
{
    return DbaseTable::create(path, spec);
}

} // namespace tv
