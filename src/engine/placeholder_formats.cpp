// Temporary: replaced by the real Paradox and dBASE readers.
#include "formats.h"
namespace tv {
std::unique_ptr<TableFile> openParadoxTable(const std::string& path, OpenMode) { throw EngineError(path + ": Paradox tables are not supported yet"); }
std::unique_ptr<TableFile> openDbaseTable(const std::string& path, OpenMode) { throw EngineError(path + ": dBASE tables are not supported yet"); }
std::unique_ptr<TableFile> createParadoxTable(const std::string& path, const TableSpec&) { throw EngineError(path + ": cannot create Paradox tables yet"); }
std::unique_ptr<TableFile> createDbaseTable(const std::string& path, const TableSpec&) { throw EngineError(path + ": cannot create dBASE tables yet"); }
std::string decodeText(int, std::string_view b) { return std::string(b); }
std::string encodeText(int, std::string_view b) { return std::string(b); }
bool isKnownCodePage(int cp) { return cp == 1252; }
}
