#include "engine/dataset/memorytable.h"

#include "engine/codepage.h"

#include <algorithm>
#include <cstring>

namespace tv {

namespace {
bool storedAsText(FieldType t)
{
    const FieldKind k = kindOf(t);
    return k == FieldKind::Text || k == FieldKind::Memo;
}

constexpr size_t kChunk = size_t(16) << 20;
} // namespace

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
}

MemoryTable::~MemoryTable() = default;

void MemoryTable::reserve(size_t records, size_t textBytes)
{
    ids_.reserve(records);
    live_.reserve(records);
    values_.reserve(records * fields_.size());
    text_.reserve(records * fields_.size());
    if (textBytes > kChunk && chunkUsed_ == chunkSize_) {
        chunks_.push_back(std::make_unique<char[]>(textBytes));
        chunkSize_ = textBytes;
        chunkUsed_ = 0;
    }
}

std::string_view MemoryTable::keep(std::string_view bytes)
{
    if (bytes.empty())
        return {};
    if (chunkSize_ - chunkUsed_ < bytes.size()) {
        const size_t size = std::max(kChunk, bytes.size());
        chunks_.push_back(std::make_unique<char[]>(size));
        chunkSize_ = size;
        chunkUsed_ = 0;
    }
    char* p = chunks_.back().get() + chunkUsed_;
    std::memcpy(p, bytes.data(), bytes.size());
    chunkUsed_ += bytes.size();
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
    for (size_t f = 0; f < n; ++f) {
        const Value& v = values[f];
        if (storedAsText(fields_[f].type)) {
            if (!isNull(v) && !std::holds_alternative<std::string>(v))
                throw EngineError(path_ + ": field " + fields_[f].name + " takes text");
            std::string bytes = isNull(v) ? std::string() : encodeText(codePage_, std::get<std::string>(v));
            if (kindOf(fields_[f].type) == FieldKind::Text) {
                if (fields_[f].size > 0 && bytes.size() > size_t(fields_[f].size))
                    bytes.resize(size_t(fields_[f].size));
                while (!bytes.empty() && bytes.back() == ' ')
                    bytes.pop_back();
            }
            text_[slot * n + f] = keep(bytes);
            values_[slot * n + f] = Value{};
        } else {
            values_[slot * n + f] = v;
        }
    }
}

RecordId MemoryTable::insert(const Record& values)
{
    if (!writable_)
        throw EngineError(path_ + ": the table is read-only");
    const size_t slot = live_.size();
    live_.push_back(true);
    values_.resize(values_.size() + fields_.size());
    text_.resize(text_.size() + fields_.size());
    try {
        store(slot, values);
    } catch (...) {
        live_.pop_back();
        values_.resize(values_.size() - fields_.size());
        text_.resize(text_.size() - fields_.size());
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
    live_[slotOf(id)] = false;
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
    const size_t cell = slot * fields_.size() + size_t(field);
    if (storedAsText(fields_[size_t(field)].type)) {
        if (text_[cell].empty())
            return Value{};
        return decodeText(codePage_, text_[cell]);
    }
    return values_[cell];
}

std::string_view MemoryTable::rawText(RecordId id, int field) const
{
    const size_t slot = slotOf(id);
    if (field < 0 || size_t(field) >= fields_.size())
        return {};
    return text_[slot * fields_.size() + size_t(field)];
}

} // namespace tv
