#pragma once
// The main window's view of the data module: which bases are present, their tables and data
// sources, and the start and end of the data module's life.

#include "data/catalogue.h"
#include "engine/dataset/table.h"

#include <QString>

class QWidget;

namespace tv {
class DataSource;
}

namespace tv::app {

// Creates the data module DM1 over the bases in `dataDir` (empty: the program's own folder).
// Returns false when it found no base and asked for the end of the program.
bool createDataModule(const QString& dataDir);
void destroyDataModule();

// For an end of the program with no one to ask (the session ending, the display gone): posts
// the note being typed and saves every change of the private base not yet on disk, showing
// nothing. A note that cannot be posted as typed is posted without the text its boxes could
// not take (a half-typed date). Returns what could not be saved, empty when all is on disk.
QString saveNotesWithoutAsking();

// The number of the private notes base.
using data::kPrivateBase;

bool basePresent(int n);
// Before a command on base n: when another program is saving it (or has held it locked since
// start-up, so that it is not open yet), tells the user and returns true; a base let go
// meanwhile is opened now.
bool baseBusy(int n);
// When `t` is the private base and another program has held it locked since start-up, so
// that it is not open yet: tells the user the base is busy and returns true (a base let go
// meanwhile is opened now, and false returned).
bool heldElsewhere(const tv::Table* t);
// Before a command moves, filters or orders table `t`: when it is the private base, the note
// being edited there goes first as for a move: the text its boxes still hold is taken, and a
// note that cannot be posted now stops the command. False, the user told why (Post's error box
// over `parent`, or that the base is busy), when the command must not go on.
bool readyToLeaveNote(const tv::Table* t, QWidget* parent);
bool databaseOpened();
// The table and data source of base n, or nullptr when there is none.
tv::Table* baseTable(int n);
tv::DataSource* baseDataSource(int n);

} // namespace tv::app
