#pragma once
// Copying tables into an SQLite database: one SQLite table per table file, with typed columns,
// the primary key and the secondary indexes of the original.

#include "convert.h"
#include "output.h"

#include <memory>

#include <string>
#include <vector>

struct sqlite3;

namespace tvdump {

// An SQLite database being filled inside one transaction. Nothing reaches the database file
// unless commit() is called; errors throw std::runtime_error.
class SqliteOutput {
public:
    // Opens (or creates) the database at `path`. `fresh` says the file is new and private to this
    // run, so it needs no rollback journal.
    SqliteOutput(const std::string& path, bool fresh);
    ~SqliteOutput();
    SqliteOutput(const SqliteOutput&) = delete;
    SqliteOutput& operator=(const SqliteOutput&) = delete;

    // Creates the SQLite table `name` for `table` and copies every record into it. An existing
    // table of that name is an error unless `replace` is set.
    void add(const tv::TableFile& table, const std::string& name, const ConvertOptions& options, bool replace);
    void commit();

    // The CREATE TABLE and CREATE INDEX statements for a table.
    static std::vector<std::string> schema(const tv::TableFile& table, const std::string& name, const std::vector<Column>& columns);

private:
    void exec(const std::string& sql);
    [[noreturn]] void fail(const std::string& what);

    sqlite3* db_ = nullptr;
    bool open_ = false;   // a transaction is running
};

// Where a database is written: an existing database is changed in place (in one transaction
// that rolls back on any failure); a new one is built under a temporary name and put in place by
// finish(), so a run that fails or stops leaves nothing.
class SqliteTarget {
public:
    // Throws std::runtime_error when `output` must not or cannot be a database.
    SqliteTarget(const std::string& output, const TableFiles& inputs);
    // The file to open the database at.
    const std::string& path() const { return path_; }
    bool fresh() const { return pending_ != nullptr; }
    // After the database was committed and closed: syncs a new file and renames it into place.
    void finish();

private:
    std::unique_ptr<PendingFile> pending_;
    std::string path_;
};

// SQL identifier quoting: "name" with inner quotes doubled.
std::string quoteIdentifier(std::string_view name);

} // namespace tvdump
