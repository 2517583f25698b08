#pragma once
// Entry points of the two file formats; openTableFile() picks one by extension.
#include "tablefile.h"

namespace tv {

std::unique_ptr<TableFile> openParadoxTable(const std::string& path, OpenMode mode);
std::unique_ptr<TableFile> openDbaseTable(const std::string& path, OpenMode mode);
std::unique_ptr<TableFile> openParadoxTable(const std::string& path, const SalvageOptions& salvage);
std::unique_ptr<TableFile> openDbaseTable(const std::string& path, const SalvageOptions& salvage);

} // namespace tv
