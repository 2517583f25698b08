// Table: opening and closing, fields and their display, values of the current record.
#include "engine/dataset/tableimpl.h"

namespace tv {

Table::Table() : d(std::make_unique<Impl>()) {}
Table::~Table() = default;

// ---- Opening ---------------------------------------------------------------------------

void Table::open(const std::string& path, OpenMode mode)
{
    open(openTableFile(path, mode));
}

void Table::open(std::unique_ptr<TableFile> file)
{
    if (!file)
        throw EngineError("No table to open");
    close();
    d->file = std::move(file);
    d->indexes = d->file->indexes();
    d->currentIndex = -1;
    d->indexName.clear();
    for (size_t i = 0; i < d->indexes.size(); ++i)
        if (d->indexes[i].primary) {
            d->currentIndex = int(i);
            break;
        }
    d->filterApplied = false;
    d->rebuildDisplays();
    d->loadRecords();
    d->computeFilter();
    d->buildVisible();
    d->row = d->visible.empty() ? -1 : 0;
    d->bof = true;
    d->eof = d->visible.empty();
    d->setState(TableState::Browse);
    d->dataChanged(DataChange::Reset);
    d->currentChanged();
}

void Table::close()
{
    if (!d->file)
        return;
    if (d->state == TableState::Edit || d->state == TableState::Insert)
        cancel();
    d->file.reset();
    d->all.clear();
    d->posById.clear();
    d->posStaleFrom = SIZE_MAX;
    d->posByIdMap.clear();
    d->orders.clear();
    d->columns.clear();
    d->indexes.clear();
    d->currentIndex = -1;
    d->indexName.clear();
    d->pass.clear();
    d->filterApplied = false;
    d->visible.clear();
    d->bookmarks.clear();
    d->row = -1;
    d->bof = d->eof = true;
    d->displays.clear();
    d->pictures.clear();
    d->setState(TableState::Inactive);
    d->dataChanged(DataChange::Reset);
    d->currentChanged();
}

bool Table::isOpen() const { return d->file != nullptr; }
bool Table::readOnly() const { return !d->file || !d->file->writable(); }
TableState Table::state() const { return d->state; }
TableFile* Table::file() const { return d->file.get(); }
std::string Table::path() const { return d->file ? d->file->path() : std::string(); }

// ---- Fields ----------------------------------------------------------------------------

int Table::fieldCount() const { return d->file ? int(d->fields().size()) : 0; }

const FieldDef& Table::field(int index) const
{
    d->checkField(index);
    return d->fields()[size_t(index)];
}

int Table::fieldIndex(std::string_view name) const { return d->findField(name); }
int Table::fieldByName(std::string_view name) const { return d->fieldByName(name); }

const FieldDisplay& Table::display(int field) const
{
    d->checkField(field);
    return d->displays[size_t(field)];
}

std::string Table::displayLabel(int field) const
{
    const FieldDisplay& disp = display(field);
    return disp.label.empty() ? d->fields()[size_t(field)].name : disp.label;
}

int Table::displayWidth(int field) const
{
    const FieldDisplay& disp = display(field);
    return disp.width > 0 ? disp.width : defaultDisplayWidth(d->fields()[size_t(field)]);
}

bool Table::visible(int field) const { return display(field).visible; }

void Table::setDisplayLabel(std::string_view fieldName, std::string label)
{
    d->displayByName[foldAsciiUpper(fieldName)].label = std::move(label);
    d->rebuildDisplays();
}

void Table::setDisplayWidth(std::string_view fieldName, int width)
{
    d->displayByName[foldAsciiUpper(fieldName)].width = width;
    d->rebuildDisplays();
}

void Table::setVisible(std::string_view fieldName, bool visible)
{
    d->displayByName[foldAsciiUpper(fieldName)].visible = visible;
    d->rebuildDisplays();
}

void Table::setPicture(std::string_view fieldName, std::string picture, bool autoFillLiterals)
{
    PictureMask check(picture);   // throws for a malformed mask before anything changes
    auto& disp = d->displayByName[foldAsciiUpper(fieldName)];
    disp.picture = std::move(picture);
    disp.autoFillLiterals = autoFillLiterals;
    d->rebuildDisplays();
}

const PictureMask& Table::picture(int field) const
{
    d->checkField(field);
    return d->pictures[size_t(field)];
}

void Table::setShortDateFormat(std::string format)
{
    d->fmt.shortDate = std::move(format);
    if (d->file && d->filterApplied) {
        // Conditions on date fields compare display text: the format matters.
        d->computeFilter();
        const auto id = d->current();
        d->buildVisible();
        d->placeOn(id, d->row);
        d->dataChanged(DataChange::Refiltered);
    } else if (d->file) {
        d->dataChanged(DataChange::Values);
    }
}

const std::string& Table::shortDateFormat() const { return d->fmt.shortDate; }
void Table::setCurrencySymbol(std::string symbol) { d->fmt.currency = std::move(symbol); }

// ---- Values ----------------------------------------------------------------------------

Value Table::value(int field) const
{
    d->checkField(field);
    if (d->state == TableState::Edit || d->state == TableState::Insert)
        return d->buffer[size_t(field)];
    const auto id = d->current();
    return id ? d->valueOf(*id, field) : Value{};
}

Value Table::value(std::string_view fieldName) const { return value(fieldByName(fieldName)); }

std::string Table::displayText(int field) const
{
    return formatValue(this->field(field), value(field), d->fmt);
}

std::string Table::displayText(std::string_view fieldName) const { return displayText(fieldByName(fieldName)); }

int64_t integerOf(const Value& v)
{
    if (const auto* i = std::get_if<int64_t>(&v))
        return *i;
    if (const auto* x = std::get_if<double>(&v))
        return std::isfinite(*x) && std::fabs(*x) < 9e18 ? std::llround(*x) : 0;
    if (const auto* b = std::get_if<bool>(&v))
        return *b ? 1 : 0;
    if (const auto* s = std::get_if<std::string>(&v)) {
        try {
            size_t used = 0;
            const long long n = std::stoll(*s, &used);
            return used == s->size() ? n : 0;
        } catch (const std::exception&) {
            return 0;
        }
    }
    if (const auto* dt = std::get_if<Date>(&v))
        return dt->day;
    return 0;
}

int64_t Table::asInteger(int field) const { return integerOf(value(field)); }
int64_t Table::asInteger(std::string_view fieldName) const { return asInteger(fieldByName(fieldName)); }

int64_t Table::largestInteger(int field) const
{
    d->requireOpen();
    d->checkField(field);
    const auto& ids = d->file->recordIds();
    if (ids.empty())
        return 0;
    // A number that is the whole key of a table kept in key order is largest in the last record.
    if (field == 0 && d->file->primaryKeyFields() == 1 && d->file->recordsInKeyOrder() && kindOf(d->fields()[0].type) == FieldKind::Integer)
        return integerOf(d->valueOf(ids.back(), 0));
    int64_t largest = INT64_MIN;
    for (RecordId id : ids)
        largest = std::max(largest, integerOf(d->valueOf(id, field)));
    return largest;
}
bool Table::isNullField(int field) const { return isNull(value(field)); }

Value Table::valueAt(int row, int field) const
{
    d->checkField(field);
    if (d->state == TableState::Insert && row == int(d->visible.size()))
        return d->buffer[size_t(field)];
    if (d->state == TableState::Edit && row == d->row)
        return d->buffer[size_t(field)];
    return d->valueOf(recordIdAt(row), field);
}

std::string Table::displayTextAt(int row, int field) const
{
    return formatValue(this->field(field), valueAt(row, field), d->fmt);
}

RecordId Table::recordIdAt(int row) const
{
    if (row < 0 || row >= int(d->visible.size()))
        throw EngineError("Row " + std::to_string(row) + " out of range");
    return d->visible[size_t(row)];
}

void requireEditing(const Table::Impl& d)
{
    if (d.state != TableState::Edit && d.state != TableState::Insert)
        throw EngineError("Dataset not in edit or insert mode");
}

void Table::setValue(int field, const Value& v)
{
    d->checkField(field);
    requireEditing(*d);
    d->buffer[size_t(field)] = coerceValue(d->fields()[size_t(field)], v);
    d->changed[size_t(field)] = 1;
    d->entered[size_t(field)].reset();
    d->dataChanged(DataChange::Values);
}

void Table::setValue(std::string_view fieldName, const Value& v) { setValue(fieldByName(fieldName), v); }

std::string pictureError(const FieldDef& f, const PictureMask& pic, std::string_view text)
{
    return "Invalid input value for field '" + f.name + "': '" + std::string(text) + "' does not fit the picture \"" +
           pic.mask() + "\"";
}

void Table::setText(int field, std::string_view text)
{
    d->checkField(field);
    requireEditing(*d);
    const FieldDef& f = d->fields()[size_t(field)];
    const PictureMask& pic = d->pictures[size_t(field)];
    std::string typed(text);
    if (!pic.empty() && !typed.empty()) {
        if (!pic.matches(typed))
            throw EngineError(pictureError(f, pic, typed));
        typed = pic.normalized(typed);
    }
    Value v = parseValue(f, typed, d->fmt);
    d->buffer[size_t(field)] = std::move(v);
    d->changed[size_t(field)] = 1;
    d->entered[size_t(field)] = typed;
    d->dataChanged(DataChange::Values);
}

void Table::setText(std::string_view fieldName, std::string_view text) { setText(fieldByName(fieldName), text); }
void Table::setInteger(int field, int64_t v) { setValue(field, Value(v)); }
bool Table::modified() const { return d->modified(); }

size_t Table::memoryBytes() const
{
    size_t bytes = sizeof(Impl);
    bytes += d->all.capacity() * sizeof(RecordId);
    bytes += d->posById.capacity() * sizeof(uint32_t);
    bytes += d->posByIdMap.size() * (sizeof(RecordId) + sizeof(uint32_t) + 2 * sizeof(void*));
    for (const auto& [k, v] : d->orders)
        bytes += v.capacity() * sizeof(uint32_t);
    for (const auto& [k, c] : d->columns)
        bytes += c.memoryBytes();
    bytes += d->pass.capacity();
    bytes += d->visible.capacity() * sizeof(RecordId);
    bytes += d->bookmarks.size() * (sizeof(uint64_t) + sizeof(Impl::Bookmarked) + 2 * sizeof(void*));
    return bytes;
}

} // namespace tv
