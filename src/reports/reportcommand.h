#pragma once
// The report command of the main window: picks the layout for the active page and its view,
// keeps it as CurrentReport, binds the forum layouts to the forum on screen, and previews or
// prints it; and the printer choice of the File menu.
//
// The main window creates the holders and one command at start-up, after itself:
//     createHolders(mainWindow, tables);
//     auto* reports = new ReportCommand(mainWindow, tables);
// and its handlers hand over:
//     btnPreviewClick(sender):  reports->btnPreviewClick({page, gridHidden, forumItem}, operationOf(sender));
//     mnuPrintSetupClick():     reports->mnuPrintSetupClick();

#include "reports/holders.h"

#include <QObject>
#include <QPointer>

#include "reportengine/previewwindow.h"

namespace tv::reports {

// The operation code (Tag) of the control that runs the command.
enum Operation { opNone = 0, opPreview = 1, opPrint = 2 };

// The operation a control of the command asks for: its Tag (1 preview, 2 print), except that
// the menu entries "Print" (mnuPrint) and "Preview" (mnuPreview), which carry no tag, print and
// preview like the toolbar buttons.
int operationOf(const QObject* sender);

// What the command needs to know of the main window when it runs.
struct ActivePage {
    int page = 0;            // tab index 0..10
    bool recordView = false; // the page's grid is hidden
    int forumItem = 1;       // rgpDelphi's item index: 0 "Delphi" (base 40), else base 4
};

class ReportCommand : public QObject {
    Q_OBJECT
public:
    // `mainWindow` owns the holders (createHolders) and the windows the command opens.
    ReportCommand(QWidget* mainWindow, TableLookup tables);

    // The instance name of the holder whose layout serves a page in a view; empty for the
    // search page, page 8 and the Info page.
    static QString holderNameFor(int page, bool recordView);

    // Step 1 of the command: chooses the layout for the page and makes it CurrentReport (left
    // as it was on a page without a report); a forum layout is bound to the table of the forum
    // shown. Returns CurrentReport.
    ReportHolder* chooseReport(const ActivePage& active);

    // The command: choose, then preview (opPreview) or print (opPrint) CurrentReport; any
    // other operation does nothing more. With no report chosen yet on a page without one it
    // shows "There is no report for this page." and does nothing else.
    void btnPreviewClick(const ActivePage& active, int operation);

    // File, Print Setup: the print dialog whose printer becomes the current printer.
    void mnuPrintSetupClick();

    ReportHolder* CurrentReport() const { return current_; }
    // The preview window opened last (nullptr once it is closed).
    report::PreviewWindow* lastPreview() const { return lastPreview_; }

private:
    void run(ReportHolder* holder, int operation);

    QWidget* mainWindow_;
    TableLookup tables_;
    ReportHolder* current_ = nullptr;
    QPointer<report::PreviewWindow> lastPreview_;
};

} // namespace tv::reports
