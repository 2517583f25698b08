#pragma once
// Shared by the mkbases tests: a scratch folder per test, the sample set written once for the
// whole run, and small readers over the engine's values.

#include "catalog.h"
#include "engine/tablefile.h"

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

namespace mkbases::test {

// A fresh empty folder, removed with everything in it when the object goes.
class ScratchDir {
public:
    ScratchDir();
    ~ScratchDir();
    ScratchDir(const ScratchDir&) = delete;
    ScratchDir& operator=(const ScratchDir&) = delete;
    const std::string& path() const { return path_; }
    std::string file(const std::string& name) const { return path_ + "/" + name; }

private:
    std::string path_;
};

// The folder holding the hand-written sample set, written on first use.
const std::string& sampleDir();

// A base of the sample set opened through the engine.
std::unique_ptr<tv::TableFile> openSample(Base b);

// All records of a table, in file order.
std::vector<tv::Record> readAll(const tv::TableFile& t);

// A field's value as text ("" for NULL and for non-text values).
std::string textOf(const tv::Value& v);
std::string lowerAscii(std::string s);
// Every value of a record written out, so that records and record lists compare as text.
std::string recordText(const tv::Record& r);
std::vector<std::string> recordTexts(const std::vector<tv::Record>& recs);
bool containsNoCase(const std::string& haystack, const std::string& needle);

std::string readFileBytes(const std::string& path);

// Runs a command line; returns its exit status and stores its standard output.
int runCommand(const std::string& command, std::string* output = nullptr);

} // namespace mkbases::test
