#pragma once
// Construction of the data-bound controls of the pages: record grids with their column lists,
// field edit boxes, memos, drop-down boxes, text labels, pictures and the splitters between
// the panes. Each control carries its field name in the property "DataField" and its base
// number in "DataBase", so binding can be redone when the bases are known.

#include <QStringList>

class QWidget;
class QFrame;

namespace tv::app {

struct GridColumn {
    const char* field;
    int widthChars;
    const char* title;
};

QWidget* makeGrid(QWidget* parent, const char* objectName, int base, const GridColumn* begin, const GridColumn* end,
                  bool readOnly);
QWidget* makeDbEdit(QWidget* parent, const char* objectName, int base, const char* field, int width, bool readOnly,
                    int maxLength = 0);
QWidget* makeDbMemo(QWidget* parent, const char* objectName, int base, const char* field, bool readOnly);
QWidget* makeDbCombo(QWidget* parent, const char* objectName, int base, const char* field, int width, int maxLength,
                     const QStringList& items);
QWidget* makeDbText(QWidget* parent, const char* objectName, int base, const char* field);
QWidget* makeDbImage(QWidget* parent, const char* objectName, int base, const char* field);

// A 3-pixel splitter that resizes `target` (docked left or top) by dragging.
QWidget* makeSplitter(QWidget* parent, const char* objectName, QWidget* target);

// Rebinds every data-bound control on `root` whose base is `fromBase` to base `toBase`.
void rebindControls(QWidget* root, int fromBase, int toBase);
// Binds the data-bound controls below `root` to the open tables (after the data module ran).
void bindControls(QWidget* root);

} // namespace tv::app
