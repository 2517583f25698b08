// Helpers shared by the sample content: records by field name, dates, line ends.
#include "content.h"

#include "engine/engineerror.h"

namespace mkbases {

size_t utf8Length(const std::string& s)
{
    size_t n = 0;
    for (unsigned char c : s)
        if ((c & 0xC0) != 0x80)
            ++n;
    return n;
}

std::string crlf(const std::string& text)
{
    std::string out;
    out.reserve(text.size() + text.size() / 32);
    for (char c : text) {
        if (c == '\n')
            out += '\r';
        out += c;
    }
    return out;
}

tv::Date sampleDateIn(int n, int salt, int firstYear, int lastYear)
{
    const tv::Date first = tv::dateFromYmd(firstYear, 1, 1);
    const tv::Date last = tv::dateFromYmd(lastYear, 12, 31);
    const uint32_t span = uint32_t(last.day - first.day + 1);
    // A multiplicative walk spreads consecutive records over the whole span.
    const uint32_t step = (uint32_t(n) * 2654435761u + uint32_t(salt) * 40503u) % span;
    return tv::Date{first.day + int32_t(step)};
}

tv::Date sampleDate(int n, int salt) { return sampleDateIn(n, salt, 1995, 1998); }

RecordBuilder::RecordBuilder(const BaseDef& def) : def_(def), rec_(def.spec.fields.size()) {}

RecordBuilder& RecordBuilder::set(const std::string& field, tv::Value v)
{
    rec_[size_t(fieldIndex(def_, field))] = std::move(v);
    return *this;
}

RecordBuilder& RecordBuilder::text(const std::string& field, const std::string& utf8)
{
    const int i = fieldIndex(def_, field);
    const tv::FieldDef& f = def_.spec.fields[size_t(i)];
    const tv::FieldKind kind = tv::kindOf(f.type);
    if (kind == tv::FieldKind::Text && utf8Length(utf8) > size_t(f.size))
        throw tv::EngineError(def_.file + ": \"" + utf8 + "\" does not fit field " + f.name + " (" +
                              std::to_string(f.size) + " characters)");
    if (utf8.empty())
        rec_[size_t(i)] = std::monostate{};
    else
        rec_[size_t(i)] = utf8;
    return *this;
}

tv::Record RecordBuilder::take()
{
    tv::Record out(def_.spec.fields.size());
    out.swap(rec_);
    return out;
}

} // namespace mkbases
