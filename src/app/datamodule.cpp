#include "app/datamodule.h"

#include "data/dm1.h"

#include <memory>

namespace tv::app {

namespace {
std::unique_ptr<TDM1> g_module;
}

bool createDataModule(const QString& dataDir)
{
    g_module = std::make_unique<TDM1>(nullptr, dataDir);
    return !g_module->terminateRequested();
}

void destroyDataModule()
{
    g_module.reset();
}

bool basePresent(int n)
{
    return n >= 0 && n <= data::kMaxBaseNumber && BasePresent[n] == 1;
}

bool databaseOpened()
{
    return DatabaseOpened == 1;
}

Table* baseTable(int n)
{
    return DM1 ? DM1->table(n) : nullptr;
}

DataSource* baseDataSource(int n)
{
    return DM1 ? DM1->dataSource(n) : nullptr;
}

} // namespace tv::app
