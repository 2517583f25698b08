#pragma once
// The header shared by every Paradox file (.DB, .PX, .Xnn, .Ynn, .XGn, .YGn).

#include "engine/tablefile.h"

#include <cstdint>
#include <string>
#include <vector>

namespace tv::px {

// File types stored at 0x04.
enum : uint8_t {
    kKeyedTable = 0,
    kPrimaryIndex = 1,
    kUnkeyedTable = 2,
    kSecondaryNonIncr = 3,
    kSecondaryTree = 4,
    kSecondaryIncr = 5,
    kCompositeNonIncr = 6,
    kCompositeTree = 7,
    kCompositeIncr = 8,
};

enum : uint8_t { kVersion3 = 3, kVersion35 = 4, kVersion4 = 9, kVersion5 = 0x0B, kVersion7 = 0x0C };

struct FieldDesc {
    uint8_t code = 0;
    uint8_t size = 0;   // the descriptor byte (BCD: decimals)
    FieldType type = FieldType::Alpha;
    int width = 0;      // bytes in the record
    int offset = 0;     // offset in the record
};

// Maps a type code to the engine's field type; false when the code is unknown.
bool fieldTypeOf(uint8_t code, FieldType& type);
uint8_t fieldCodeOf(FieldType type);
// The record width for a descriptor, or 0 when the size byte is not valid for the type.
int fieldWidth(FieldType type, int size);

struct Header {
    uint16_t recordSize = 0;
    uint16_t headerSize = 0;
    uint8_t fileType = 0;
    uint8_t blockKiB = 0;
    uint32_t numRecords = 0;
    uint16_t usedBlocks = 0;
    uint16_t fileBlocks = 0;
    uint16_t firstBlock = 0;
    uint16_t lastBlock = 0;
    uint8_t indexFieldNumber = 0;
    uint16_t rootBlock = 0;
    uint8_t levels = 0;
    uint16_t numFields = 0;
    uint16_t keyFields = 0;
    uint32_t encryption1 = 0;
    uint8_t sortOrder = 0;
    uint8_t version = 0;
    uint32_t autoInc = 0;
    uint8_t options = 0;
    uint32_t encryption2 = 0;
    uint16_t codePage = 0;

    std::vector<FieldDesc> fields;
    std::string tableName;
    std::vector<std::string> fieldNames;  // raw bytes in the table's code page
    std::vector<uint16_t> fieldNumbers;   // v4+ only
    std::string sortOrderName;
    std::string indexName;

    size_t blockSize() const { return size_t(blockKiB) * 1024; }
    // Bytes of the primary key at the start of each record (0 without a key).
    size_t keyBytes() const
    {
        size_t n = 0;
        for (size_t i = 0; i < keyFields && i < fields.size(); ++i)
            n += size_t(fields[i].width);
        return n;
    }
    bool isTable() const { return fileType == kKeyedTable || fileType == kUnkeyedTable; }
    bool hasFieldNames() const { return fileType != kPrimaryIndex && fileType != kSecondaryTree && fileType != kCompositeTree; }
    bool hasDataHeader() const { return version >= 5 && hasFieldNames(); }
    bool encrypted() const { return hasDataHeader() ? encryption2 != 0 : encryption1 != 0; }
};

// Parses and checks the header of a file of `size` bytes; throws EngineError naming `path`.
// Encrypted tables are refused.
Header parseHeader(const uint8_t* data, size_t size, const std::string& path);

// The code page of a table's text (see the dump conventions): header code page, Roman-8 for
// the SQL Link ROMAN8 sort order, otherwise 437.
int textCodePage(const Header& h);

} // namespace tv::px
