#pragma once
// The fourteen fixed report layouts: seven list reports (one line per record) and seven memo
// reports (a record line, a rule and the record's whole memo text).

#include "reportengine/layout.h"

#include <QString>
#include <QStringList>

namespace tv::reports {

// The report title of every layout, shown as the preview window's caption.
inline const QString kReportTitle = QStringLiteral("This is just a title");

// Names of the layouts: DtopicsReport, DtopicsMemo, DKBReport, DKBMemo, DNewsReport,
// DNewsMemo, CISReport, CISMemo, DSPReport, DSPMemo, SWAGReport, BooksReport, PrivatReport,
// PrivatMemo.
QStringList layoutNames();

// Builds the layout of that name, without data bound. An unknown name gives an empty layout.
report::Layout makeLayout(const QString& name);

} // namespace tv::reports
