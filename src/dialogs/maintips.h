#pragma once
#include "tips.h"

namespace tv {

// The main window's tip component `Tips1` with its title, header and ten tips.
TTips* createTips1(QObject* owner);
QStringList mainWindowTipLines();

} // namespace tv
