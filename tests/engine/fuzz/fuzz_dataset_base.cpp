// Fuzzes a whole base through the dataset layer: a Paradox base (table, memo file, primary and
// secondary indexes) and a dBASE base (table, memo file, production index), written by the
// engine at start, then damaged by the input and browsed the way the program does: opened,
// ordered by every index, filtered, located, and every field of every row read.
//
// Input: byte 0 picks the file to damage; byte 1 with its top bit set cuts the file short at
// the first patch's offset; then 4-byte patches (a 24-bit offset into the file, a byte to
// store there). An empty input reads the bases undamaged. No seed files are needed.
#include "engine/dataset/table.h"
#include "engine/tablefile.h"

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>
#include <unistd.h>

namespace {

namespace fs = std::filesystem;

struct Base {
    std::string folder;
    std::vector<std::string> tables;                      // paths of the table files
    std::vector<std::pair<std::string, std::string>> files;  // every file with its bytes
};

std::string readBytes(const std::string& p)
{
    std::ifstream in(p, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

void writeBytes(const std::string& p, const std::string& bytes)
{
    std::ofstream(p, std::ios::binary | std::ios::trunc).write(bytes.data(), std::streamsize(bytes.size()));
}

tv::IndexDef index(const char* name, std::vector<std::string> fields, bool caseInsensitive)
{
    tv::IndexDef d;
    d.name = name;
    d.fields = std::move(fields);
    d.caseInsensitive = caseInsensitive;
    return d;
}

Base makeBase()
{
    std::string dir = (fs::temp_directory_path() / "tvfuzz-base-XXXXXX").string();
    if (!::mkdtemp(dir.data()))
        std::abort();
    Base b{dir, {dir + "/topics.db", dir + "/news.dbf"}, {}};
    {
        tv::TableSpec s;
        s.fields = {{"ID", tv::FieldType::AutoInc, 4, 0},  {"Topic", tv::FieldType::Alpha, 30, 0},
                    {"Keywords", tv::FieldType::Alpha, 20, 0}, {"When", tv::FieldType::Date, 4, 0},
                    {"Text", tv::FieldType::Memo, 20, 0},   {"Cover", tv::FieldType::Graphic, 10, 0}};
        s.primaryKeyFields = 1;
        s.secondary = {index("Topic", {"Topic"}, false), index("ByWords", {"Keywords", "Topic"}, true)};
        const auto t = tv::createParadoxTable(b.tables[0], s);
        for (int i = 0; i < 40; ++i) {
            const size_t len = i % 3 == 0 ? 6 : i % 3 == 1 ? 300 : 2500;
            t->insert({tv::Value(), "topic " + std::to_string(i * 7 % 40), std::string(i % 2 ? "alpha" : "beta"),
                       tv::dateFromYmd(1999, 1 + i % 12, 1 + i % 28), std::string(len, char('a' + i % 26)),
                       i % 5 ? tv::Value() : tv::Value(tv::Blob{std::string(size_t(i) * 40, char(i))})});
        }
        t->flush();
    }
    {
        tv::TableSpec s;
        s.fields = {{"NO", tv::FieldType::DbNumeric, 6, 0}, {"SUBJECT", tv::FieldType::DbChar, 40, 0},
                    {"INFO", tv::FieldType::DbMemo, 10, 0}};
        s.secondary = {index("SUBJECT", {"SUBJECT"}, true)};
        const auto t = tv::createDbaseTable(b.tables[1], s);
        for (int i = 0; i < 30; ++i)
            t->insert({double(i), "subject " + std::to_string(i * 11 % 30), std::string(size_t(i) * 37 + 1, char('A' + i % 26))});
        t->flush();
    }
    for (const auto& e : fs::directory_iterator(dir))
        b.files.emplace_back(e.path().string(), readBytes(e.path().string()));
    return b;
}

// What the program does with a base, with every engine error taken as the expected answer.
void browse(const std::string& path)
{
    tv::Table t;
    try {
        t.open(path);
    } catch (const tv::EngineError&) {
        return;
    }
    auto attempt = [](auto&& fn) {
        try {
            fn();
        } catch (const tv::EngineError&) {
        }
    };
    auto readAll = [&] {
        for (int row = 0; row < t.recordCount(); ++row)
            for (int f = 0; f < t.fieldCount(); ++f)
                attempt([&] { (void)t.displayTextAt(row, f); });
        attempt([&] { t.last(); (void)t.value(0); });
    };
    readAll();
    for (const tv::IndexDef& ix : std::vector<tv::IndexDef>(t.indexDefs()))
        attempt([&] {
            t.setIndexName(ix.name);
            readAll();
        });
    for (int f = 0; f < t.fieldCount(); ++f) {
        const std::string name = t.field(f).name;
        attempt([&] { t.orderByField(name); });
        tv::FieldCondition c;
        c.fieldName = name;
        c.value = "a";
        c.matchType = tv::fdMatchAny;
        attempt([&] { t.setFilter({c}); });
        readAll();
        attempt([&] { t.locateFirst(name, "b", tv::fdMatchStart); });
        attempt([&] { t.clearFilter(); });
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static const Base base = makeBase();
    if (size == 0) {
        for (const std::string& p : base.tables)
            browse(p);
        return 0;
    }
    const auto& [path, original] = base.files[data[0] % base.files.size()];
    std::string bytes = original;
    const bool cut = size > 1 && (data[1] & 0x80);
    for (size_t at = 2; at + 4 <= size && !bytes.empty(); at += 4) {
        const size_t offset = (size_t(data[at]) | size_t(data[at + 1]) << 8 | size_t(data[at + 2]) << 16) % bytes.size();
        if (cut && at == 2)
            bytes.resize(offset);
        else
            bytes[offset] = char(data[at + 3]);
    }
    writeBytes(path, bytes);
    for (const std::string& p : base.tables)
        browse(p);
    writeBytes(path, original);
    return 0;
}
