#include "tosqlite.h"

#include "engine/codepage.h"

#include <sqlite3.h>
#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <charconv>
#include <cmath>
#include <stdexcept>

namespace tvdump {

using namespace tv;

std::string quoteIdentifier(std::string_view name)
{
    std::string out = "\"";
    for (char c : name) {
        out += c;
        if (c == '"')
            out += '"';
    }
    return out + '"';
}

namespace {

// Widest dBASE number whose every value a double holds exactly enough to read back the same
// digits (DBL_DIG).
constexpr int kDigitsOfDouble = 15;

const char* sqlType(const Column& c)
{
    switch (c.type) {
    case FieldType::DbNumeric:
    case FieldType::DbFloat:
        if (c.size <= kDigitsOfDouble)
            return "NUMERIC";
        [[fallthrough]];
    case FieldType::Bcd:
    case FieldType::DbCurrency:
        // Wider numbers may be stored as text (see bindDecimal), which a NUMERIC column would
        // turn into a double with 15 digits: these columns take each value as it is bound.
        return "";
    default: break;
    }
    const FieldType t = c.type;
    switch (kindOf(t)) {
    case FieldKind::Text:
    case FieldKind::Memo: return "TEXT";
    case FieldKind::Integer: return "INTEGER";
    case FieldKind::Float: return "REAL";
    case FieldKind::Date: return "DATE";
    case FieldKind::Time: return "TIME";
    case FieldKind::Timestamp: return "DATETIME";
    case FieldKind::Boolean: return "BOOLEAN";
    case FieldKind::Blob: return "BLOB";
    }
    return "";
}

// The output column of the field called `name`, or null when it is not written.
const Column* columnOf(const TableFile& table, const std::vector<Column>& columns, const std::string& name)
{
    const int field = findFieldNoCase(table.fields(), name);
    if (field < 0)
        return nullptr;
    for (const auto& c : columns)
        if (c.field == field)
            return &c;
    return nullptr;
}

// A decimal number as its significant digits (no leading or trailing zeros) times a power of ten.
struct Decimal {
    bool negative = false;
    std::string digits;   // empty for zero
    int64_t exponent = 0;
    bool operator==(const Decimal&) const = default;
};

Decimal parseDecimal(std::string_view text)
{
    Decimal d;
    if (!text.empty() && (text[0] == '-' || text[0] == '+')) {
        d.negative = text[0] == '-';
        text.remove_prefix(1);
    }
    const size_t e = text.find_first_of("eE");
    if (e != std::string_view::npos) {
        std::string_view ex = text.substr(e + 1);
        if (!ex.empty() && ex[0] == '+')
            ex.remove_prefix(1);
        long long v = 0;
        std::from_chars(ex.data(), ex.data() + ex.size(), v);
        d.exponent = v;
        text = text.substr(0, e);
    }
    bool afterPoint = false;
    for (char ch : text) {
        if (ch == '.')
            afterPoint = true;
        else {
            d.digits += ch;
            if (afterPoint)
                --d.exponent;
        }
    }
    const size_t first = d.digits.find_first_not_of('0');
    d.digits.erase(0, first == std::string::npos ? d.digits.size() : first);
    while (!d.digits.empty() && d.digits.back() == '0') {
        d.digits.pop_back();
        ++d.exponent;
    }
    if (d.digits.empty())
        d = Decimal{};
    return d;
}

// Exact decimal text goes in as an integer where it is a whole number that fits, else as a
// double where that double reads back as the same number, else as the text itself.
void bindDecimal(sqlite3_stmt* st, int at, const std::string& text)
{
    const Decimal d = parseDecimal(text);
    if (d.digits.empty()) {
        sqlite3_bind_int64(st, at, 0);
        return;
    }
    if (d.exponent >= 0 && d.digits.size() + uint64_t(d.exponent) <= 19) {
        const std::string whole = (d.negative ? "-" : "") + d.digits + std::string(size_t(d.exponent), '0');
        int64_t i = 0;
        const auto [end, ec] = std::from_chars(whole.data(), whole.data() + whole.size(), i);
        if (ec == std::errc() && end == whole.data() + whole.size()) {
            sqlite3_bind_int64(st, at, i);
            return;
        }
    }
    double v = 0;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), v);
    if (ec == std::errc() && std::isfinite(v)) {
        char buf[64];
        const auto r = std::to_chars(buf, buf + sizeof buf, v);
        if (parseDecimal(std::string_view(buf, size_t(r.ptr - buf))) == d) {
            sqlite3_bind_double(st, at, v);
            return;
        }
    }
    sqlite3_bind_text(st, at, text.data(), int(text.size()), SQLITE_STATIC);
}

struct Statement {
    sqlite3_stmt* st = nullptr;
    ~Statement() { sqlite3_finalize(st); }
};

} // namespace

SqliteOutput::SqliteOutput(const std::string& path, bool fresh)
{
    if (sqlite3_open_v2(path.c_str(), &db_, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, nullptr) != SQLITE_OK) {
        const std::string msg = db_ ? sqlite3_errmsg(db_) : "out of memory";
        sqlite3_close(db_);
        db_ = nullptr;
        throw std::runtime_error(msg);
    }
    // A new file is thrown away as a whole when anything fails, so it needs no journal.
    exec(fresh ? "PRAGMA journal_mode=OFF; PRAGMA synchronous=OFF;" : "PRAGMA synchronous=FULL;");
    exec("PRAGMA cache_size=-65536; BEGIN IMMEDIATE;");
    open_ = true;
}

SqliteOutput::~SqliteOutput()
{
    if (open_)
        sqlite3_exec(db_, "ROLLBACK", nullptr, nullptr, nullptr);
    sqlite3_close(db_);
}

void SqliteOutput::fail(const std::string& what) { throw std::runtime_error(what + ": " + sqlite3_errmsg(db_)); }

void SqliteOutput::exec(const std::string& sql)
{
    char* err = nullptr;
    if (sqlite3_exec(db_, sql.c_str(), nullptr, nullptr, &err) != SQLITE_OK) {
        const std::string msg = err ? err : sqlite3_errmsg(db_);
        sqlite3_free(err);
        throw std::runtime_error(msg);
    }
}

void SqliteOutput::commit()
{
    exec("COMMIT");
    open_ = false;
}

std::vector<std::string> SqliteOutput::schema(const TableFile& table, const std::string& name, const std::vector<Column>& columns)
{
    const std::string qname = quoteIdentifier(name);
    std::string create = "CREATE TABLE " + qname + " (";
    for (size_t c = 0; c < columns.size(); ++c) {
        create += c ? ", " : "";
        create += quoteIdentifier(columns[c].name);
        if (*sqlType(columns[c]))
            create += std::string(" ") + sqlType(columns[c]);
    }
    std::string key;
    for (int f = 0; f < table.primaryKeyFields() && size_t(f) < table.fields().size(); ++f) {
        const Column* c = columnOf(table, columns, table.fields()[size_t(f)].name);
        if (!c) {   // part of the key left out (--fields): what is left need not be unique
            key.clear();
            break;
        }
        key += (key.empty() ? "" : ", ") + quoteIdentifier(c->name);
    }
    if (!key.empty())
        create += ", PRIMARY KEY (" + key + ')';
    std::vector<std::string> out{create + ')'};

    std::vector<std::string> used;
    for (const auto& ix : table.indexes()) {
        if (ix.primary || ix.fields.empty())
            continue;
        std::string cols, label;
        for (const auto& f : ix.fields) {
            const Column* c = columnOf(table, columns, f);
            if (!c) {
                cols.clear();
                break;
            }
            cols += (cols.empty() ? "" : ", ") + quoteIdentifier(c->name);
            if (ix.caseInsensitive && (c->kind == FieldKind::Text || c->kind == FieldKind::Memo))
                cols += " COLLATE NOCASE";
            if (ix.descending)
                cols += " DESC";
            label += (label.empty() ? "" : "_") + c->name;
        }
        if (cols.empty())
            continue;
        // Index names are shared by the whole database: lead with the table's.
        std::string ixName = name + '_' + (ix.name.empty() ? label : ix.name);
        for (int n = 2; std::find(used.begin(), used.end(), ixName) != used.end(); ++n)
            ixName = name + '_' + (ix.name.empty() ? label : ix.name) + '_' + std::to_string(n);
        used.push_back(ixName);
        out.push_back("CREATE INDEX " + quoteIdentifier(ixName) + " ON " + qname + " (" + cols + ')');
    }
    return out;
}

void SqliteOutput::add(const TableFile& table, const std::string& name, const ConvertOptions& options, bool replace)
{
    if (foldAsciiUpper(name).rfind("SQLITE_", 0) == 0)
        throw std::runtime_error("SQLite keeps table names beginning with \"sqlite_\" for itself (--table gives the table another name)");
    const RecordReader reader(table, options);
    const auto& columns = reader.columns();
    std::string existing;
    {
        Statement probe;
        if (sqlite3_prepare_v2(db_, "SELECT type FROM sqlite_schema WHERE name = ?1 COLLATE NOCASE", -1, &probe.st, nullptr) != SQLITE_OK)
            fail("cannot read the schema");
        sqlite3_bind_text(probe.st, 1, name.data(), int(name.size()), SQLITE_STATIC);
        if (sqlite3_step(probe.st) == SQLITE_ROW)
            existing = reinterpret_cast<const char*>(sqlite3_column_text(probe.st, 0));
    }
    if (!existing.empty()) {
        if (!replace || existing != "table")
            throw std::runtime_error("the database already holds a " + existing + " called \"" + name + "\"" +
                                     (existing == "table" ? " (--replace drops it)" : ""));
        exec("DROP TABLE " + quoteIdentifier(name));
    }
    if (columns.empty())
        throw std::runtime_error("the table has no fields to make SQLite columns of");
    const auto statements = schema(table, name, columns);
    exec(statements[0]);

    std::string sql = "INSERT INTO " + quoteIdentifier(name) + " VALUES (";
    for (size_t c = 0; c < columns.size(); ++c)
        sql += c ? ",?" : "?";
    Statement insert;
    if (sqlite3_prepare_v2(db_, (sql + ')').c_str(), -1, &insert.st, nullptr) != SQLITE_OK)
        fail("cannot prepare the insert");

    // Every bound value stays alive until the row is stored.
    std::vector<Cell> cells(columns.size());
    std::vector<std::string> texts(columns.size());
    size_t done = 0;
    for (RecordId id : reader.records()) {
        for (size_t c = 0; c < columns.size(); ++c) {
            Cell& cell = cells[c];
            reader.read(id, c, cell);
            const int at = int(c) + 1;
            const Value& v = cell.value;
            std::string& text = texts[c];
            text.clear();
            if (!cell.exact.empty())
                bindDecimal(insert.st, at, cell.exact);
            else if (auto s = std::get_if<std::string>(&v))
                sqlite3_bind_text(insert.st, at, s->data(), int(s->size()), SQLITE_STATIC);
            else if (auto i = std::get_if<int64_t>(&v))
                sqlite3_bind_int64(insert.st, at, *i);
            else if (auto d = std::get_if<double>(&v))
                sqlite3_bind_double(insert.st, at, *d);
            else if (auto b = std::get_if<bool>(&v))
                sqlite3_bind_int(insert.st, at, *b ? 1 : 0);
            else if (auto bl = std::get_if<Blob>(&v))
                sqlite3_bind_blob64(insert.st, at, bl->bytes.data(), bl->bytes.size(), SQLITE_STATIC);
            else if (auto dt = std::get_if<Date>(&v))
                appendDate(text, *dt);
            else if (auto t = std::get_if<TimeOfDay>(&v))
                appendTime(text, t->ms);
            else if (auto ts = std::get_if<Timestamp>(&v))
                appendTimestamp(text, *ts, kSqliteTimestampSeparator);
            else
                sqlite3_bind_null(insert.st, at);
            if (!text.empty())
                sqlite3_bind_text(insert.st, at, text.data(), int(text.size()), SQLITE_STATIC);
        }
        if (sqlite3_step(insert.st) != SQLITE_DONE)
            fail("record " + std::to_string(done + 1));
        sqlite3_reset(insert.st);
        reader.tick(++done);
    }
    for (size_t i = 1; i < statements.size(); ++i)
        exec(statements[i]);
}

} // namespace tvdump

namespace tvdump {

SqliteTarget::SqliteTarget(const std::string& output, const TableFiles& inputs)
{
    const auto target = OutputTarget::resolve(output, inputs);
    if (target.kind != OutputTarget::Kind::File)
        throw std::runtime_error("is not a regular file; an SQLite database has to be one");
    path_ = target.path;
    if (!target.exists) {
        pending_ = std::make_unique<PendingFile>(target);
        pending_->closeStream();
        path_ = pending_->tempPath();
    }
}

void SqliteTarget::finish()
{
    if (!pending_)
        return;
    const int fd = ::open(pending_->tempPath().c_str(), O_RDONLY);
    const bool synced = fd >= 0 && fsync(fd) == 0;
    if (fd >= 0)
        ::close(fd);
    if (!synced)
        throw std::runtime_error("cannot write the database");
    pending_->commit();
}

} // namespace tvdump
