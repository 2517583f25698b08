#pragma once
// Encoding and decoding of single Paradox field values.

#include "engine/tablefile.h"
#include "pxheader.h"

#include <string>
#include <string_view>

namespace tv::px {

// Memo and blob fields: their values live in the .MB file, behind a pointer in the record.
inline bool isBlobType(FieldType t)
{
    return t == FieldType::Memo || t == FieldType::FmtMemo || t == FieldType::Graphic || t == FieldType::Ole || t == FieldType::Binary;
}

// Alpha text as stored: up to the first NUL, trailing blanks removed.
std::string_view alphaBytes(const uint8_t* p, int width);

// Stored text to UTF-8; plain ASCII (the common case) is copied as it stands.
std::string decodeStored(int codePage, std::string_view bytes);

// Decodes a fixed-size (non-blob) field; NULL when blank.
Value decodeFixed(const FieldDesc& f, const uint8_t* p, int codePage);

// BCD: exact decimal text, "" for NULL, "?" when the stored nibbles are not a number.
std::string bcdText(const uint8_t* p, int decimals);
double bcdValue(const uint8_t* p, int decimals);
// Writes a number as BCD with `decimals` fraction digits; false if it does not fit.
bool encodeBcd(uint8_t* p, int decimals, double v);

// Encodes a fixed-size field from a value; throws EngineError naming the field when the value
// does not suit it. NULL writes zeros.
void encodeFixed(const FieldDesc& f, uint8_t* p, const Value& v, int codePage, const std::string& what);

} // namespace tv::px
