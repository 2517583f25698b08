#pragma once
// Small construction helpers shared by the main window's builders: fonts in 96-dpi pixels,
// named controls with their Tag and hint, the flat buttons of the two rows, separators,
// shadow labels and docked panels.

#include "controls/panel.h"
#include "controls/rzlabel.h"
#include "controls/types.h"

#include <QColor>
#include <QFont>
#include <QString>

namespace tv {
class TExplorerButton;
}

namespace tv::app {

QFont arialPx(int px, bool bold = false, bool italic = false);

// Gives a widget or action its design name and, when tag != 0, its Tag.
void name(QObject* o, const char* objectName, int tag = 0);
// Hint: tooltip and status-bar text.
void setHint(QWidget* w, const QString& hint);

// A flat 25x25 toolbar button at (x, 2) of its row, with its own picture.
TExplorerButton* flatButton(QWidget* row, const char* objectName, int x, int tag, const QString& hint);
// A 2x26 separator with a lowered bevel at (x, 2).
TPanel* separator(QWidget* row, int x, const char* objectName = nullptr);

// A label drawn with a raised, recessed or shadowed caption (depth 1).
TRzLabel* shadowLabel(QWidget* parent, const char* objectName, const QString& text, const QFont& font,
                      const QColor& colour, TRzLabel::TTextStyle style);

// A panel docked in its parent (width is kept for left/right docking, height for top/bottom).
TPanel* dockedPanel(QWidget* parent, const char* objectName, TAlign align, int extent = 0,
                    TBevelCut outer = bvNone);

} // namespace tv::app
