#include "engine/dataset/memorytable.h"

#include "engine/codepage.h"

#include "engine/dataset/bigbuffer.h"

#include <algorithm>
#include <cstring>

namespace tv {

namespace {
bool storedAsText(FieldType t)
{
    const FieldKind k = kindOf(t);
    return k == FieldKind::Text || k == FieldKind::Memo;
}

constexpr size_t kChunk = size_t(64) << 10;
constexpr size_t kMaxChunk = size_t(256) << 20;
} // namespace

void MemoryTable::FreeChunk::operator()(char* p) const { freeBig(p); }

MemoryTable::MemoryTable(const TableSpec& spec, std::string path)
    : path_(std::move(path)), fields_(spec.fields), primaryKeyFields_(spec.primaryKeyFields), codePage_(spec.codePage)
{
    if (primaryKeyFields_ < 0 || primaryKeyFields_ > int(fields_.size()))
        throw EngineError(path_ + ": the primary key has more fields than the table");
    if (primaryKeyFields_ > 0) {
        IndexDef primary;
        primary.primary = true;
        for (int i = 0; i < primaryKeyFields_; ++i)
            primary.fields.push_back(fields_[size_t(i)].name);
        indexes_.push_back(primary);
    }
    for (const auto& ix : spec.secondary)
        indexes_.push_back(ix);
    text_.resize(fields_.size());
    values_.resize(fields_.size());
    arenas_.resize(fields_.size());
    for (const auto& f : fields_)
        isText_.push_back(storedAsText(f.type));
}

MemoryTable::~MemoryTable() = default;

void MemoryTable::reserve(size_t records)
{
    ids_.reserve(records);
    live_.reserve(records);
    for (size_t f = 0; f < fields_.size(); ++f) {
        if (isText_[f])
            text_[f].reserve(records);
        else
            values_[f].reserve(records);
    }
}

std::string_view MemoryTable::keep(size_t field, std::string_view bytes)
{
    if (bytes.empty())
        return {};
    Arena& a = arenas_[field];
    if (a.size - a.used < bytes.size()) {
        // Chunks grow with the field, up to kMaxChunk, so a large field lies in few pieces.
        const size_t size = std::max({kChunk, bytes.size(), std::min(a.total, kMaxChunk)});
        a.chunks.emplace_back(static_cast<char*>(allocateBig(size)));
        a.size = size;
        a.used = 0;
    }
    char* p = a.chunks.back().get() + a.used;
    std::memcpy(p, bytes.data(), bytes.size());
    a.used += bytes.size();
    a.total += bytes.size();
    return {p, bytes.size()};
}

size_t MemoryTable::slotOf(RecordId id) const
{
    if (id == 0 || id > live_.size() || !live_[id - 1])
        throw EngineError(path_ + ": record " + std::to_string(id) + " does not exist");
    return id - 1;
}

void MemoryTable::store(size_t slot, const Record& values)
{
    if (values.size() != fields_.size())
        throw EngineError(path_ + ": a record needs " + std::to_string(fields_.size()) + " values");
    const size_t n = fields_.size();
    // Check everything before storing anything.
    for (size_t f = 0; f < n; ++f)
        if (isText_[f] && !isNull(values[f]) && !std::holds_alternative<std::string>(values[f]))
            throw EngineError(path_ + ": field " + fields_[f].name + " takes text");
    for (size_t f = 0; f < n; ++f) {
        const Value& v = values[f];
        if (isText_[f]) {
            std::string bytes = isNull(v) ? std::string() : encodeText(codePage_, std::get<std::string>(v));
            if (kindOf(fields_[f].type) == FieldKind::Text) {
                if (fields_[f].size > 0 && bytes.size() > size_t(fields_[f].size))
                    bytes.resize(size_t(fields_[f].size));
                while (!bytes.empty() && bytes.back() == ' ')
                    bytes.pop_back();
            }
            text_[f][slot] = keep(f, bytes);
        } else {
            values_[f][slot] = v;
        }
    }
}

RecordId MemoryTable::insert(const Record& values)
{
    if (!writable_)
        throw EngineError(path_ + ": the table is read-only");
    if (values.size() != fields_.size())
        throw EngineError(path_ + ": a record needs " + std::to_string(fields_.size()) + " values");
    const size_t slot = live_.size();
    live_.push_back(1);
    for (size_t f = 0; f < fields_.size(); ++f) {
        if (isText_[f])
            text_[f].emplace_back();
        else
            values_[f].emplace_back();
    }
    try {
        store(slot, values);
    } catch (...) {
        live_.pop_back();
        for (size_t f = 0; f < fields_.size(); ++f) {
            if (isText_[f])
                text_[f].pop_back();
            else
                values_[f].pop_back();
        }
        throw;
    }
    const RecordId id = RecordId(slot + 1);
    ids_.push_back(id);
    return id;
}

void MemoryTable::update(RecordId id, const Record& values)
{
    if (!writable_)
        throw EngineError(path_ + ": the table is read-only");
    store(slotOf(id), values);
}

void MemoryTable::remove(RecordId id)
{
    if (!writable_)
        throw EngineError(path_ + ": the table is read-only");
    live_[slotOf(id)] = 0;
    for (size_t i = 0; i < ids_.size(); ++i)
        if (ids_[i] == id) {
            ids_.erase(ids_.begin() + long(i));
            break;
        }
}

Value MemoryTable::value(RecordId id, int field) const
{
    const size_t slot = slotOf(id);
    if (field < 0 || size_t(field) >= fields_.size())
        throw EngineError(path_ + ": no field " + std::to_string(field));
    const size_t f = size_t(field);
    if (isText_[f]) {
        const std::string_view t = text_[f][slot];
        if (t.empty())
            return Value{};
        return decodeText(codePage_, t);
    }
    return values_[f][slot];
}

std::string_view MemoryTable::rawText(RecordId id, int field) const
{
    const size_t slot = slotOf(id);
    if (field < 0 || size_t(field) >= fields_.size() || !isText_[size_t(field)])
        return {};
    return text_[size_t(field)][slot];
}

} // namespace tv
