// Temporary: replaced by the real dBASE reader/writer and the code-page tables.
#include "codepage.h"
#include "formats.h"
namespace tv {
std::unique_ptr<TableFile> openDbaseTable(const std::string& path, OpenMode) { throw EngineError(path + ": dBASE tables are not supported yet"); }
std::unique_ptr<TableFile> createDbaseTable(const std::string& path, const TableSpec&) { throw EngineError(path + ": cannot create dBASE tables yet"); }
std::string decodeText(int, std::string_view b) { return std::string(b); }
std::string encodeText(int, std::string_view b) { return std::string(b); }
bool isKnownCodePage(int cp) { return cp == 1252; }
}
