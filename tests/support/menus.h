#pragma once
// What a menu lists, for the tests of the index chooser and of the main window's menus.
#include <QAction>
#include <QMenu>
#include <QStringList>

namespace tvtest {

// The captions of a menu's entries, in order.
inline QStringList captions(const QMenu* menu)
{
    QStringList list;
    for (const QAction* a : menu->actions())
        list << a->text();
    return list;
}

} // namespace tvtest
