#pragma once
// Small tables for the dataset tests.

#include "engine/dataset/memorytable.h"
#include "engine/dataset/table.h"

#include <memory>
#include <string>
#include <vector>

namespace tvtest {

inline tv::FieldDef fld(const char* name, tv::FieldType type, int size = 0)
{
    tv::FieldDef f;
    f.name = name;
    f.type = type;
    f.size = size;
    return f;
}

// A table of notes: ID (key), Topic, Category, Date, Score, Description (memo).
inline std::unique_ptr<tv::MemoryTable> notesFile(int primaryKeyFields = 1)
{
    tv::TableSpec spec;
    spec.fields = {fld("ID", tv::FieldType::Long), fld("Topic", tv::FieldType::Alpha, 50),
                   fld("Category", tv::FieldType::Alpha, 20), fld("Date", tv::FieldType::Date),
                   fld("Score", tv::FieldType::Number), fld("Description", tv::FieldType::Memo, 10)};
    spec.primaryKeyFields = primaryKeyFields;
    tv::IndexDef byTopic;
    byTopic.name = "ByTopic";
    byTopic.fields = {"Topic"};
    byTopic.caseInsensitive = true;
    tv::IndexDef byCatTopic;
    byCatTopic.name = "CatTopic";
    byCatTopic.fields = {"Category", "Topic"};
    spec.secondary = {byTopic, byCatTopic};
    return std::make_unique<tv::MemoryTable>(spec, "notes");
}

inline tv::Record note(int64_t id, std::string topic, std::string cat = "", tv::Value date = {}, tv::Value score = {},
                       tv::Value memo = {})
{
    return {tv::Value(id), topic.empty() ? tv::Value() : tv::Value(topic), cat.empty() ? tv::Value() : tv::Value(cat),
            date, score, memo};
}

// A notes table with records ID 1..n, topics "Topic 1".., categories cycling A/B/C.
inline std::unique_ptr<tv::MemoryTable> numberedNotes(int n)
{
    auto f = notesFile();
    const char* cats[] = {"A", "B", "C"};
    for (int i = 1; i <= n; ++i)
        f->insert(note(i, "Topic " + std::to_string(i), cats[i % 3]));
    return f;
}

inline int currentId(const tv::Table& t) { return int(t.asInteger(0)); }

} // namespace tvtest
