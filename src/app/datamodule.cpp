#include "app/datamodule.h"

#include "app/msgbox.h"
#include "app/pagetable.h"

#include <QDir>
#include <QFileInfo>

#include <array>
#include <memory>

namespace tv::app {

namespace {

struct BaseFile {
    int number;
    const char* file;
};
constexpr BaseFile kOpenOrder[] = {{1, "DTOPICS.DB"}, {2, "QA.DB"},  {3, "DELPNEWS.DBF"},
                                   {4, "Filesd32.db"}, {40, "Filesdel.db"}, {5, "DSP.db"},
                                   {6, "SWAG.db"},     {7, "DELBOOKS.DB"}, {9, "private.db"}};

std::array<std::unique_ptr<Table>, 41> g_tables;
std::array<bool, 41> g_present{};
bool g_databaseOpened = false;

} // namespace

bool createDataModule(const QString& dataDir, QWidget* parent)
{
    g_present.fill(false);
    g_databaseOpened = false;
    for (const BaseFile& b : kOpenOrder) {
        const QString path = QDir(dataDir).filePath(QString::fromLatin1(b.file));
        g_tables[b.number] = std::make_unique<Table>();
        if (!QFileInfo::exists(path))
            continue;
        g_databaseOpened = true;
        try {
            g_tables[b.number]->open(path.toStdString(), b.number == 9 ? OpenMode::ReadWrite : OpenMode::ReadOnly);
            g_present[b.number] = true;
        } catch (const EngineError& err) {
            showEngineError(parent, err);
        }
    }
    bool any = false;
    for (bool p : g_present)
        any = any || p;
    if (!any)
        information(parent, QStringLiteral("Sorry, no databases available. Please see \"Readme.txt\" file to see how "
                                           "to get the databases. We have to terminate the application"));
    return any;
}

void destroyDataModule()
{
    for (auto& t : g_tables)
        t.reset();
    g_present.fill(false);
    g_databaseOpened = false;
}

bool basePresent(int n)
{
    return n >= 0 && n <= 40 && g_present[static_cast<size_t>(n)];
}

bool databaseOpened()
{
    return g_databaseOpened;
}

Table* baseTable(int n)
{
    return n >= 0 && n <= 40 ? g_tables[static_cast<size_t>(n)].get() : nullptr;
}

void closeAllBases()
{
    for (int n : kCloseOrder)
        if (basePresent(n))
            g_tables[static_cast<size_t>(n)]->close();
    g_databaseOpened = false;
}

} // namespace tv::app
