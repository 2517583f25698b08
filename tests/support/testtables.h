#pragma once
// Small tables for the Qt tests: an in-memory table with an id, two texts, a number, a
// date, a memo and a picture, opened in a Table cursor.

#include "engine/dataset/memorytable.h"
#include "engine/dataset/table.h"

#include <QLocale>

#include <memory>
#include <string>

namespace tvtest {

enum Col { cId, cName, cCategory, cAmount, cWhen, cNotes, cPic };

inline tv::TableSpec sampleSpec()
{
    tv::TableSpec spec;
    spec.fields = {
        {"ID", tv::FieldType::Long, 4, 0},        {"Name", tv::FieldType::Alpha, 20, 0},
        {"Category", tv::FieldType::Alpha, 20, 0}, {"Amount", tv::FieldType::Number, 8, 0},
        {"When", tv::FieldType::Date, 4, 0},      {"Notes", tv::FieldType::Memo, 10, 0},
        {"Pic", tv::FieldType::Graphic, 10, 0},
    };
    spec.primaryKeyFields = 1;
    tv::IndexDef byName;
    byName.name = "ByName";
    byName.fields = {"Name"};
    byName.caseInsensitive = true;
    spec.secondary.push_back(byName);
    return spec;
}

// Record i (1-based): ID i, Name "Name <reverse order>", Category "Cat <i % 3>", Amount i * 1.5,
// a date in January 1999, notes "Notes of i\nsecond line".
inline tv::Record sampleRecord(int i, int count)
{
    char name[32];
    std::snprintf(name, sizeof name, "Name %06d", count - i + 1);
    return {int64_t(i),
            std::string(name),
            "Cat " + std::to_string(i % 3),
            double(i) * 1.5,
            tv::dateFromYmd(1999, 1, 1 + (i % 28)),
            "Notes of " + std::to_string(i) + "\nsecond line",
            tv::Value{}};
}

struct SampleTable {
    tv::MemoryTable* file = nullptr;   // owned by the table
    std::unique_ptr<tv::Table> table = std::make_unique<tv::Table>();
};

inline SampleTable makeSample(int count, bool writable = false)
{
    auto file = std::make_unique<tv::MemoryTable>(sampleSpec(), "sample.db");
    file->reserve(size_t(count));
    for (int i = 1; i <= count; ++i)
        file->insert(sampleRecord(i, count));
    file->setWritable(writable);
    SampleTable s;
    s.file = file.get();
    s.table->open(std::move(file));
    s.table->first();
    return s;
}

inline void pinLocale() { QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates)); }

} // namespace tvtest
