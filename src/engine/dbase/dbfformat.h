#pragma once
// The .DBF file of a dBASE III/IV/7, FoxPro or Visual FoxPro table: header, field descriptors
// and record cells.
// Pure functions on bytes; DbaseTable puts them together with the files.
#include "engine/tablefile.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace tv::dbase {

constexpr uint8_t kVersionPlain = 0x03;     // dBASE III+/IV without memo file
constexpr uint8_t kVersionMemo3 = 0x83;     // dBASE III+ with a .DBT
constexpr uint8_t kVersionMemo4 = 0x8B;     // dBASE IV with a .DBT
constexpr uint8_t kVersion7 = 0x04;         // dBASE 7 without memo file
constexpr uint8_t kVersion7Memo = 0x8C;     // dBASE 7 with a .DBT of the dBASE IV layout
constexpr uint8_t kVersionFoxMemo = 0xF5;   // FoxPro 2.x with an .FPT
constexpr uint8_t kVersionFoxBase = 0xFB;   // FoxBASE with an .FPT
constexpr uint8_t kVersionVfp = 0x30;       // Visual FoxPro (0x31: autoincrement, 0x32: varchar)
constexpr size_t kDbase7HeaderSize = 68;    // the header with the language driver's name
constexpr size_t kDbase7DescriptorSize = 48;
constexpr size_t kVfpBacklinkSize = 263;    // the database container's path after the field list
constexpr size_t kHeaderSize = 32;
constexpr size_t kDescriptorSize = 32;
constexpr char kDeletedFlag = '*';
constexpr char kLiveFlag = ' ';
constexpr char kEndOfFile = 0x1A;
constexpr size_t kMaxFields = 255;

enum class MemoLayout { None, Dbase3, Dbase4, Fpt };
// Which family wrote the table: it decides how binary cells are laid out.
enum class DbfFlavour { Dbase, Dbase7, FoxPro };

struct DbfLayout {
    uint8_t version = kVersionPlain;
    uint32_t recordCount = 0;
    uint16_t headerLength = 0;
    uint16_t recordLength = 0;
    bool productionIndex = false;   // header byte 0x1C
    uint8_t languageDriver = 0;
    int codePage = 1252;
    std::vector<FieldDef> fields;
    std::vector<std::string> storedNames;   // the field names' bytes as stored (read tables only)
    std::vector<uint32_t> offsets;  // of each field inside a record (the flag byte is at 0)
    DbfFlavour flavour = DbfFlavour::Dbase;
    // Visual FoxPro's hidden _NullFlags field (not in `fields`): where it lies in a record, and
    // per field the bit that marks NULL and the bit that says a varchar is shorter than its
    // field (its length is then in the field's last byte); -1 for none.
    uint32_t nullFlagsOffset = 0;
    uint32_t nullFlagsSize = 0;
    std::vector<int> nullBit;
    std::vector<int> lengthBit;

    bool hasMemoFields() const;
    MemoLayout memoLayout() const;
    uint64_t recordsEnd() const { return uint64_t(headerLength) + uint64_t(recordCount) * recordLength; }
};

// A readable name of a version byte ("Visual FoxPro", "dBASE 7 with memo", ...).
std::string versionName(uint8_t version);

// True for the field types whose cell holds a block number of the memo file.
bool isMemoStored(FieldType type);

// Parses and checks the header and field descriptors of a whole .DBF file. Throws EngineError
// naming `path` when the version is not one this reader knows or anything is out of bounds.
// `codePage` is the table's code page when something else names it (a .cpg file beside the
// table); 0 takes the one of the language driver byte.
DbfLayout parseDbf(std::string_view file, const std::string& path, int codePage = 0);

// Cell decoding. `cell` is the field's bytes inside one record.
std::string_view trimCharCell(std::string_view cell);   // trailing blanks and zero bytes removed
Value decodeNumberCell(std::string_view cell);          // double or NULL (blank, not a number)
// The digits of an N or F cell as stored, for output that keeps them exact: without blanks, no
// '+', no '-' on zero, no leading zeros, a 0 before a leading point, no point at the end
// ("  -.50" -> "-0.50", "007." -> "7"). Empty where decodeNumberCell gives NULL.
std::string numberTextOfCell(std::string_view cell);
Value decodeDateCell(std::string_view cell);            // Date or NULL (blank, not a date)
Value decodeLogicalCell(std::string_view cell);         // bool or NULL
// Memo block number of an M cell: 0 for none. Returns false when the cell holds no number.
// A 4-byte cell (Visual FoxPro) holds the number as a binary integer.
bool memoBlockOfCell(std::string_view cell, uint64_t& block);
// Binary cells of FoxPro and dBASE 7. Each returns NULL for a blank cell (all zero bytes or
// blanks) and false when the bytes make no value of the type (then `out` is untouched).
bool decodeBinaryCell(FieldType type, DbfFlavour flavour, std::string_view cell, Value& out);
// A currency amount in ten-thousandths as exact decimal text: "-12.34", "350", "0.0001".
std::string currencyText(int64_t tenThousandths);
int64_t currencyOfCell(std::string_view cell);

// Writing: checks a field list for a new table and completes sizes of fixed-size types.
// Throws EngineError naming `path`.
DbfLayout layoutForNewTable(const std::string& path, const std::vector<FieldDef>& fields, int codePage);
// The header and field descriptors of `layout` (with its record count), ending in 0x0D.
std::string buildDbfHeader(const DbfLayout& layout, int year, int month, int day);
// Patches the date and record count of an existing header in place.
void patchDbfHeader(std::string& header, uint32_t recordCount, int year, int month, int day);
// Encodes one cell (not memo fields) into `out` (exactly field.size bytes). Throws EngineError.
void encodeCell(const std::string& path, const FieldDef& field, const Value& v, int codePage, char* out);
// The 10-byte memo cell for block number `block` (0: no memo).
std::string memoCell(uint64_t block);

} // namespace tv::dbase
