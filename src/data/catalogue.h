#pragma once
// The fixed list of knowledge bases the program knows: file, format, declared fields with
// their display attributes, and picture masks. Everything else (open order, field lookups,
// the engine's table specs for new tables) is derived from this one table.

#include "engine/tablefile.h"

#include <array>
#include <span>
#include <string>
#include <string_view>

namespace tv::data {

enum class Format { Paradox, Dbase };

// The declared type of a field, as the data module knows it.
enum class Declared { AutoInc, String, Int16, Int32, Float, Currency, Date, Memo, Graphic };

struct FieldDecl {
    std::string_view name;
    Declared type;
    int size = 0;                // characters for strings, the in-record part for memos
    std::string_view label;      // empty: the field's name is its label
    int displayWidth = 0;        // characters; 0: the type's default
    bool visible = true;
};

struct PictureDecl {
    std::string_view field;
    std::string_view mask;
    bool autoFill = false;       // literal characters are filled in while typing
};

struct BaseDecl {
    int number;
    std::string_view fileName;
    Format format;
    std::string_view tableName;       // wwTableN
    std::string_view dataSourceName;  // wwDataSourceN
    std::span<const FieldDecl> fields;
    std::span<const PictureDecl> pictures;
};

// Base numbers that can be present: 1..7, 9 and 40 (8 is reserved, never present).
constexpr int kMaxBaseNumber = 40;
// The private notes base, the one base the user writes.
constexpr int kPrivateBase = 9;

// Every known base, in catalogue order (1, 2, 3, 4, 40, 5, 6, 7, 9): also the order in
// which the data module opens them.
std::span<const BaseDecl> bases();
// The base with that number, or nullptr (8 and unknown numbers).
const BaseDecl* baseByNumber(int number);

// Label shown for a declared field: its display label, or its name when it has none.
std::string_view displayLabel(const FieldDecl& f);
// The declared field of that name (case ignored), or nullptr.
const FieldDecl* findDeclared(const BaseDecl& base, std::string_view name);
// The picture mask declared for a field (case ignored), or nullptr.
const PictureDecl* findPicture(const BaseDecl& base, std::string_view field);

// Whether a stored field type can serve a declared field.
bool typeFits(Declared declared, FieldType stored);
std::string_view declaredTypeName(Declared d);
// Checks that a table file carries every declared field of the base under its name and with
// a fitting type; throws EngineError naming the file and the field otherwise.
void checkDeclaredFields(const BaseDecl& base, const TableFile& file);

// The engine's description of an empty table with exactly the declared fields (used to make
// new bases, e.g. for tests and sample data).
TableSpec tableSpecFor(const BaseDecl& base);

} // namespace tv::data
