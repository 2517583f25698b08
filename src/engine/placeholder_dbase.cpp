// Temporary: replaced by the real dBASE reader/writer.
#include "formats.h"
namespace tv {
std::unique_ptr<TableFile> openDbaseTable(const std::string& path, OpenMode) { throw EngineError(path + ": dBASE tables are not supported yet"); }
std::unique_ptr<TableFile> createDbaseTable(const std::string& path, const TableSpec&) { throw EngineError(path + ": cannot create dBASE tables yet"); }
}
