#pragma once
// Writing a set of bases into a folder so that an interruption never leaves half a base:
// every table is built in a temporary folder beside the target and moved in only when all
// of them are complete.

#include "catalog.h"

#include <cstdint>
#include <functional>
#include <ostream>
#include <string>
#include <vector>

namespace mkbases {

using RecordSink = std::function<void(const tv::Record&)>;
// Produces a base's records, in insertion order, into the sink.
using RecordSource = std::function<void(const RecordSink&)>;

struct BaseJob {
    const BaseDef* def = nullptr;
    RecordSource source;
};

struct WriteOptions {
    // Leave an existing "private.db" (and its companions) alone: it holds the user's notes.
    bool keepPrivate = false;
    std::ostream* log = nullptr;  // one line per base written, or nullptr
};

struct BaseReport {
    std::string file;
    uint64_t records = 0;
    uint64_t bytes = 0;      // table file plus companions
    double seconds = 0;
    bool skipped = false;    // kept as it was (keep-private mode)
};

// Writes every job's table into dir (created when missing). Throws tv::EngineError or
// std::filesystem::filesystem_error; dir is then left as it was.
std::vector<BaseReport> writeBaseSet(const std::string& dir, const std::vector<BaseJob>& jobs,
                                     const WriteOptions& options);

// The hand-written sample set, one job per base of the catalogue.
std::vector<BaseJob> sampleJobs();

// Files in dir that belong to the table named file: the same stem, letter case ignored.
std::vector<std::string> companionFiles(const std::string& dir, const std::string& file);

} // namespace mkbases
