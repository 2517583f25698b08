// Temporary: replaced by the real Paradox reader and writer.
#include "formats.h"
namespace tv {
std::unique_ptr<TableFile> openParadoxTable(const std::string& path, OpenMode) { throw EngineError(path + ": Paradox tables are not supported yet"); }
std::unique_ptr<TableFile> createParadoxTable(const std::string& path, const TableSpec&) { throw EngineError(path + ": cannot create Paradox tables yet"); }
}
