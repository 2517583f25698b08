#include "pxheader.h"

#include "pxbytes.h"
#include "engine/codepage.h"

#include <cstdio>

namespace tv::px {

bool fieldTypeOf(uint8_t code, FieldType& type)
{
    switch (code) {
    case 0x01: type = FieldType::Alpha; return true;
    case 0x02: type = FieldType::Date; return true;
    case 0x03: type = FieldType::Short; return true;
    case 0x04: type = FieldType::Long; return true;
    case 0x05: type = FieldType::Money; return true;
    case 0x06: type = FieldType::Number; return true;
    case 0x09: type = FieldType::Logical; return true;
    case 0x0C: type = FieldType::Memo; return true;
    case 0x0D: type = FieldType::Binary; return true;
    case 0x0E: type = FieldType::FmtMemo; return true;
    case 0x0F: type = FieldType::Ole; return true;
    case 0x10: type = FieldType::Graphic; return true;
    case 0x14: type = FieldType::Time; return true;
    case 0x15: type = FieldType::Timestamp; return true;
    case 0x16: type = FieldType::AutoInc; return true;
    case 0x17: type = FieldType::Bcd; return true;
    case 0x18: type = FieldType::Bytes; return true;
    default: return false;
    }
}

uint8_t fieldCodeOf(FieldType type)
{
    switch (type) {
    case FieldType::Alpha: return 0x01;
    case FieldType::Date: return 0x02;
    case FieldType::Short: return 0x03;
    case FieldType::Long: return 0x04;
    case FieldType::Money: return 0x05;
    case FieldType::Number: return 0x06;
    case FieldType::Logical: return 0x09;
    case FieldType::Memo: return 0x0C;
    case FieldType::Binary: return 0x0D;
    case FieldType::FmtMemo: return 0x0E;
    case FieldType::Ole: return 0x0F;
    case FieldType::Graphic: return 0x10;
    case FieldType::Time: return 0x14;
    case FieldType::Timestamp: return 0x15;
    case FieldType::AutoInc: return 0x16;
    case FieldType::Bcd: return 0x17;
    case FieldType::Bytes: return 0x18;
    default: return 0;
    }
}

int fieldWidth(FieldType type, int size)
{
    switch (type) {
    case FieldType::Alpha:
    case FieldType::Bytes:
        return size >= 1 && size <= 255 ? size : 0;
    case FieldType::Date:
    case FieldType::Long:
    case FieldType::Time:
    case FieldType::AutoInc:
        return size == 4 ? 4 : 0;
    case FieldType::Short:
        return size == 2 ? 2 : 0;
    case FieldType::Money:
    case FieldType::Number:
    case FieldType::Timestamp:
        return size == 8 ? 8 : 0;
    case FieldType::Logical:
        return size == 1 ? 1 : 0;
    case FieldType::Memo:
    case FieldType::FmtMemo:
    case FieldType::Graphic:
    case FieldType::Ole:
    case FieldType::Binary:
        return size >= 10 && size <= 250 ? size : 0;
    case FieldType::Bcd:
        return size <= 32 ? 17 : 0;
    default:
        return 0;
    }
}

namespace {

// Reads the variable part of the header without ever stepping past its end.
class HeaderCursor {
public:
    HeaderCursor(const uint8_t* data, size_t pos, size_t end, const std::string& path) : d_(data), pos_(pos), end_(end), path_(path) {}
    const uint8_t* take(size_t n)
    {
        if (n > end_ - pos_)
            throw EngineError(path_ + ": the header is damaged (field list runs past its end)");
        const uint8_t* p = d_ + pos_;
        pos_ += n;
        return p;
    }
    std::string cstring()
    {
        size_t i = pos_;
        while (i < end_ && d_[i] != 0)
            ++i;
        if (i >= end_)
            throw EngineError(path_ + ": the header is damaged (unterminated name)");
        std::string s(reinterpret_cast<const char*>(d_ + pos_), i - pos_);
        pos_ = i + 1;
        return s;
    }
    // A name that may be missing at the very end of the header.
    std::string optionalCstring() { return pos_ < end_ ? cstring() : std::string(); }

private:
    const uint8_t* d_;
    size_t pos_, end_;
    const std::string& path_;
};

std::string hex2(unsigned v)
{
    char buf[8];
    std::snprintf(buf, sizeof buf, "0x%02X", v & 0xFF);
    return buf;
}

} // namespace

Header parseHeader(const uint8_t* d, size_t size, const std::string& path)
{
    if (size < 0x58)
        throw EngineError(path + ": file is too short to be a Paradox file");
    Header h;
    h.recordSize = le16(d + 0x00);
    h.headerSize = le16(d + 0x02);
    h.fileType = d[0x04];
    h.blockKiB = d[0x05];
    h.numRecords = le32(d + 0x06);
    h.usedBlocks = le16(d + 0x0A);
    h.fileBlocks = le16(d + 0x0C);
    h.firstBlock = le16(d + 0x0E);
    h.lastBlock = le16(d + 0x10);
    h.indexFieldNumber = d[0x15];
    h.rootBlock = le16(d + 0x1E);
    h.levels = d[0x20];
    h.numFields = le16(d + 0x21);
    h.keyFields = le16(d + 0x23);
    h.encryption1 = le32(d + 0x25);
    h.sortOrder = d[0x29];
    h.version = d[0x39];
    h.autoInc = le32(d + 0x49);
    h.options = d[0x55];

    if (h.fileType > kCompositeIncr)
        throw EngineError(path + ": not a Paradox file (unknown file type " + hex2(h.fileType) + ")");
    if (h.version < kVersion3 || h.version > kVersion7)
        throw EngineError(path + ": unsupported Paradox file version " + hex2(h.version));
    if (h.headerSize < 0x58 || h.headerSize > size)
        throw EngineError(path + ": the header size " + std::to_string(h.headerSize) + " does not fit the file");
    if (h.blockKiB < 1 || h.blockKiB > 32)
        throw EngineError(path + ": bad block size " + std::to_string(h.blockKiB) + " KiB");
    if (h.numFields < 1 || h.numFields > 255)
        throw EngineError(path + ": bad number of fields " + std::to_string(h.numFields));
    if (h.recordSize < 1 || h.recordSize > h.blockSize() - 6)
        throw EngineError(path + ": bad record size " + std::to_string(h.recordSize));
    if (h.keyFields > h.numFields)
        throw EngineError(path + ": more key fields than fields");

    size_t pos = 0x58;
    if (h.hasDataHeader()) {
        if (h.headerSize < 0x78)
            throw EngineError(path + ": the header size " + std::to_string(h.headerSize) + " is too small");
        h.encryption2 = le32(d + 0x5C);
        h.codePage = le16(d + 0x6A);
        pos = 0x78;
    }
    if (h.encrypted())
        throw EngineError(path + ": table is encrypted");

    HeaderCursor cur(d, pos, h.headerSize, path);
    const uint8_t* descs = cur.take(size_t(h.numFields) * 2);
    int offset = 0;
    h.fields.reserve(h.numFields);
    for (int i = 0; i < h.numFields; ++i) {
        FieldDesc f;
        f.code = descs[2 * i];
        f.size = descs[2 * i + 1];
        if (!fieldTypeOf(f.code, f.type))
            throw EngineError(path + ": field " + std::to_string(i + 1) + " has an unknown type " + hex2(f.code));
        f.width = fieldWidth(f.type, f.size);
        if (f.width == 0)
            throw EngineError(path + ": field " + std::to_string(i + 1) + " has a bad size " + std::to_string(f.size));
        f.offset = offset;
        offset += f.width;
        h.fields.push_back(f);
    }
    const bool tree = !h.hasFieldNames();
    if (tree ? offset + 6 != h.recordSize : offset != h.recordSize)
        throw EngineError(path + ": the field sizes do not add up to the record size " + std::to_string(h.recordSize));
    if (tree)
        return h;

    cur.take(4);                               // table name pointer
    cur.take(size_t(h.numFields) * 4);         // field name pointers
    const uint8_t* name = cur.take(h.version >= kVersion7 ? 261 : 79);
    size_t n = 0;
    while (n < (h.version >= kVersion7 ? 261u : 79u) && name[n])
        ++n;
    h.tableName.assign(reinterpret_cast<const char*>(name), n);
    h.fieldNames.reserve(h.numFields);
    for (int i = 0; i < h.numFields; ++i)
        h.fieldNames.push_back(cur.cstring());
    if (h.hasDataHeader()) {
        const uint8_t* nums = cur.take(size_t(h.numFields) * 2);
        for (int i = 0; i < h.numFields; ++i)
            h.fieldNumbers.push_back(le16(nums + 2 * i));
        h.sortOrderName = cur.optionalCstring();
        if (!h.isTable())
            h.indexName = cur.optionalCstring();
    }
    return h;
}

int textCodePage(const Header& h)
{
    if (h.hasDataHeader()) {
        if (h.codePage != 0)
            return h.codePage;
        if (h.sortOrderName == "BLROM800")
            return kCodePageRoman8;
    }
    return 437;
}

} // namespace tv::px
