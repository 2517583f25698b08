#pragma once
// Shared by the Paradox fuzz targets: reads every value of a table the way the dump does.
#include "engine/paradox/paradoxtable.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <unistd.h>

namespace pxfuzz {

inline void readEverything(const tv::TableFile& t)
{
    const auto& fields = t.fields();
    const auto* px = dynamic_cast<const tv::ParadoxTable*>(&t);
    size_t total = 0;
    for (tv::RecordId id : t.recordIds())
        for (size_t f = 0; f < fields.size(); ++f) {
            const tv::Value v = t.value(id, int(f));
            total += v.index() + t.rawText(id, int(f)).size();
            if (fields[f].type == tv::FieldType::Bcd && px)
                total += px->bcdText(id, int(f)).size();
        }
    for (const auto& ix : t.indexes())
        total += ix.fieldList().size();
    if (total == size_t(-1))
        std::abort();
}

inline std::string readBytes(const std::filesystem::path& p)
{
    std::ifstream in(p, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

// A table with memos in every storage form, written by the engine, as file images.
struct Template {
    std::string db, mb;
};

inline Template makeTemplate()
{
    namespace fs = std::filesystem;
    std::string dir = (fs::temp_directory_path() / "tvfuzz-XXXXXX").string();
    if (!::mkdtemp(dir.data()))
        std::abort();
    const std::string path = dir + "/t.db";
    {
        tv::TableSpec s;
        s.fields = {tv::FieldDef{"Id", tv::FieldType::AutoInc, 4, 0}, tv::FieldDef{"Text", tv::FieldType::Memo, 15, 0},
                    tv::FieldDef{"Pic", tv::FieldType::Graphic, 10, 0}, tv::FieldDef{"Name", tv::FieldType::Alpha, 12, 0}};
        s.primaryKeyFields = 1;
        const auto t = tv::createParadoxTable(path, s);
        for (int i = 0; i < 24; ++i) {
            const size_t len = i % 3 == 0 ? 4 : i % 3 == 1 ? 200 + size_t(i) * 10 : 2500 + size_t(i);
            t->insert({tv::Value(), std::string(len, char('a' + i)), tv::Blob{std::string(size_t(i) * 90, char(i))}, std::string("n")});
        }
        t->flush();
    }
    Template out{readBytes(path), readBytes(dir + "/t.mb")};
    fs::remove_all(dir);
    return out;
}

} // namespace pxfuzz
