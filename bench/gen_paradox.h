#pragma once
// The generated Paradox table of the benchmarks: `records` notes, each with a ~600-byte memo of
// mixed-case English-like text. Written straight through the engine's file writers (the table
// is far larger than a table opened for writing would keep in memory) and cached in a folder.

#include "engine/codepage.h"
#include "engine/paradox/pxblob.h"
#include "engine/paradox/pxfield.h"
#include "engine/paradox/pxwriter.h"
#include "engine/tablefile.h"

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

namespace tvbench {

// One generated note; the same record number always gives the same note.
struct BenchNote {
    int64_t id = 0;
    std::string title;
    int64_t count = 0;
    double price = 0;
    tv::Date day;
    bool done = false;
    std::string body;
};

inline uint64_t benchMix(uint64_t x)
{
    x += 0x9E3779B97F4A7C15ull;
    x = (x ^ (x >> 30)) * 0xBF58476D1CE4E5B9ull;
    x = (x ^ (x >> 27)) * 0x94D049BB133111EBull;
    return x ^ (x >> 31);
}

inline void benchNote(long n, BenchNote& out)
{
    static const char* const words[] = {
        "the", "of", "and", "a", "to", "in", "is", "you", "that", "it", "he", "was", "for", "on", "are", "as", "with", "his", "they", "at",
        "be", "this", "have", "from", "or", "one", "had", "by", "word", "but", "not", "what", "all", "were", "we", "when", "your", "can",
        "said", "there", "use", "an", "each", "which", "she", "do", "how", "their", "if", "will", "up", "other", "about", "out", "many",
        "then", "them", "these", "so", "some", "her", "would", "make", "like", "him", "into", "time", "has", "look", "two", "more",
        "write", "go", "see", "number", "no", "way", "could", "people", "my", "than", "first", "water", "been", "call", "who", "oil",
        "its", "now", "find", "long", "down", "day", "did", "get", "come", "made", "may", "part", "Windows", "Paradox", "printer",
        "Memory", "Toolbar", "keyboard", "Network", "Registry", "Explorer", "Monday", "London", "driver", "setting", "folder"};
    constexpr size_t kWords = sizeof words / sizeof words[0];
    uint64_t r = benchMix(uint64_t(n));
    auto next = [&r]() { return r = benchMix(r); };
    out.id = n + 1;
    out.title.clear();
    for (int w = 0; w < 4; ++w) {
        if (w)
            out.title += ' ';
        out.title += words[next() % kWords];
    }
    out.title[0] = char(std::toupper(static_cast<unsigned char>(out.title[0])));
    out.count = int64_t(next() % 100000);
    out.price = double(next() % 1000000) / 100.0;
    out.day = tv::Date{int32_t(730000 + next() % 10000)};
    out.done = next() % 2 == 0;
    out.body.clear();
    const size_t target = 540 + next() % 120;
    bool sentenceStart = true;
    while (out.body.size() < target) {
        std::string w = words[next() % kWords];
        if (sentenceStart)
            w[0] = char(std::toupper(static_cast<unsigned char>(w[0])));
        out.body += w;
        sentenceStart = next() % 9 == 0;
        out.body += sentenceStart ? ". " : (next() % 23 == 0 ? ",\r\n" : " ");
    }
}

inline std::vector<tv::FieldDef> benchFields()
{
    return {tv::FieldDef{"Id", tv::FieldType::AutoInc, 4, 0}, tv::FieldDef{"Title", tv::FieldType::Alpha, 60, 0},
            tv::FieldDef{"Count", tv::FieldType::Long, 4, 0},  tv::FieldDef{"Price", tv::FieldType::Money, 8, 0},
            tv::FieldDef{"Day", tv::FieldType::Date, 4, 0},     tv::FieldDef{"Done", tv::FieldType::Logical, 1, 0},
            tv::FieldDef{"Body", tv::FieldType::Memo, 40, 0}};
}

// Returns the path of the generated table in `dir`, writing it first unless a complete one with
// that many records is already there.
inline std::string ensureParadoxBench(const std::string& dir, long records)
{
    namespace fs = std::filesystem;
    using namespace tv::px;
    const std::string stem = dir + "/notes" + std::to_string(records);
    const std::string dbPath = stem + ".db", mbPath = stem + ".mb", pxPath = stem + ".px", done = stem + ".complete";
    if (fs::exists(done) && fs::exists(dbPath) && fs::exists(mbPath) && fs::exists(pxPath))
        return dbPath;
    fs::create_directories(dir);

    FileLayout layout;
    layout.fileType = kKeyedTable;
    layout.blockKiB = 4;
    layout.keyFields = 1;
    layout.codePage = 1252;
    layout.tableName = fs::path(dbPath).filename().string();
    int offset = 0;
    for (const auto& f : benchFields()) {
        FieldDesc d;
        d.type = f.type;
        d.code = fieldCodeOf(f.type);
        d.size = uint8_t(f.size);
        d.width = fieldWidth(f.type, f.size);
        d.offset = offset;
        offset += d.width;
        layout.fields.push_back(d);
        layout.fieldNames.push_back(f.name);
    }
    FileSink db(dbPath, 0644), mb(mbPath, 0644);
    DataFileWriter dbw(db, layout, 4);
    MemoFileWriter mbw(mb);
    std::string rec(size_t(offset), '\0');
    BenchNote note;
    for (long n = 0; n < records; ++n) {
        benchNote(n, note);
        auto* p = reinterpret_cast<uint8_t*>(rec.data());
        const tv::Value values[] = {note.id, note.title, note.count, note.price, note.day, note.done};
        for (size_t f = 0; f < 6; ++f)
            encodeFixed(layout.fields[f], p + layout.fields[f].offset, values[f], 1252, "bench");
        mbw.store(note.body, p + layout.fields[6].offset, layout.fields[6].width);
        dbw.add(p);
    }
    dbw.finish(uint32_t(records));
    mbw.finish();
    db.close();
    mb.close();
    FileSink px(pxPath, 0644);
    writeTreeFile(px, kPrimaryIndex, layout.blockKiB, {layout.fields[0]}, fs::path(pxPath).filename().string(), dbw.blocks());
    px.close();
    std::FILE* f = std::fopen(done.c_str(), "w");
    if (f)
        std::fclose(f);
    return dbPath;
}

} // namespace tvbench
