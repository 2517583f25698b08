#pragma once
// Construction of the data-bound controls of the pages: record grids with their column lists,
// field edit boxes, memos, drop-down boxes, text labels, pictures and the splitters between
// the panes. Each control is bound to the data source of its base at once (when the data
// module has one) and carries its base number in the property "DataBase".

#include <QStringList>
#include <QSize>

class QWidget;

namespace tv {
class DBComboDlg;
class DBEdit;
class DBGrid;
class DBMemo;
}

namespace tv::app {

// A record grid with one column for every visible field the catalogue declares for the base,
// with the catalogue's label and width.
DBGrid* makeGrid(QWidget* parent, const char* objectName, int base, bool readOnly);
tv::DBEdit* makeDbEdit(QWidget* parent, const char* objectName, int base, const char* field, int width, bool readOnly,
                    int maxLength = 0);
DBMemo* makeDbMemo(QWidget* parent, const char* objectName, int base, const char* field, bool readOnly);
QWidget* makeDbCombo(QWidget* parent, const char* objectName, int base, const char* field, int width, int maxLength,
                     const QStringList& items);
tv::DBComboDlg* makeDbDateEdit(QWidget* parent, const char* objectName, int base, const char* field, QSize size);
QWidget* makeDbText(QWidget* parent, const char* objectName, int base, const char* field);
QWidget* makeDbImage(QWidget* parent, const char* objectName, int base, const char* field);

// A 3-pixel splitter that resizes `target` (docked left or top); created after the target.
QWidget* makeSplitter(QWidget* parent, const char* objectName, QWidget* target);

// Binds every data-bound control below `root` whose base is `fromBase` to base `toBase`.
void rebindControls(QWidget* root, int fromBase, int toBase);

} // namespace tv::app
