#pragma once
// Enumerations shared by several controls, with the names the forms use.

#include <QObject>

namespace tv {
Q_NAMESPACE

// Docking of a control inside its parent (see DockLayout).
enum TAlign { alNone, alTop, alBottom, alLeft, alRight, alClient };
Q_ENUM_NS(TAlign)

// Horizontal placement of text.
enum TAlignment { taLeftJustify, taRightJustify, taCenter };
Q_ENUM_NS(TAlignment)

// Bevel of a panel edge.
enum TBevelCut { bvNone, bvLowered, bvRaised };
Q_ENUM_NS(TBevelCut)

// Frame of a panel.
enum TBorderStyle { bsNone, bsSingle };
Q_ENUM_NS(TBorderStyle)

} // namespace tv
