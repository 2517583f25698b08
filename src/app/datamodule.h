#pragma once
// The main window's view of the data module: which bases are present, their tables, and the
// start and end of the data module's life.

#include "engine/dataset/table.h"

#include <QString>

class QWidget;

namespace tv::app {

// Creates the data module over the bases in `dataDir` (opens every present base, shows the
// engine's error for a base that cannot be opened and goes on with the next one, and shows
// the "no databases" message when none could be opened). Returns whether a base was opened.
bool createDataModule(const QString& dataDir, QWidget* parent);
void destroyDataModule();

bool basePresent(int n);
bool databaseOpened();
// The table of base n, or nullptr when there is none.
tv::Table* baseTable(int n);
// Closes the table of every opened base (1, 2, 3, 4, 5, 6, 7, 9, 40) and then the database.
void closeAllBases();

} // namespace tv::app
