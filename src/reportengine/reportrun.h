#pragma once
// Running a layout: generation with a progress window that can be cancelled, the preview
// window, printing on the current printer with a progress window, and the printer choice.

#include "document.h"
#include "generator.h"

#include <memory>
#include <optional>

class QPrinter;
class QWidget;

namespace tv::report {

class PreviewWindow;

// The printer that later prints go to; print setup changes it. Set to US Letter.
QPrinter& currentPrinter();

// Generates all pages while a progress window shows how far it got; rows between updates
// are laid out without returning to the event loop. Returns nothing when the user cancels.
// The progress window appears once generation has taken `showAfterMs` milliseconds.
std::optional<Document> generateWithProgress(const Layout& layout, QWidget* parent, const GenerateOptions& options = {},
                                             int showAfterMs = 300);

// Lays out the rest of a generation while a progress window shows how far it got. Returns
// false when the user cancels; the generation then stays where it got to, and may go on later.
bool finishWithProgress(Generation& generation, QWidget* parent, int showAfterMs = 300);

// Opens a new, maximised, non-modal preview window of the layout, owned by `owner`, as soon
// as its first page is laid out; the window lays out the rest.
PreviewWindow* previewLayout(const Layout& layout, QWidget* owner, const GenerateOptions& options = {});

// Prints a document on the current printer without asking anything, showing "page n of m"
// in a progress window above the other windows. A printer that cannot be opened is reported
// in an error box. On a system without any printer the pages are written to a PDF file in the
// user's documents folder, named in a notice afterwards. A print cancelled in the progress
// window is reported, and a PDF file it left unfinished is removed. Returns whether every
// page was sent.
bool printWithProgress(const Document& doc, QWidget* parent);

// Generates and prints the layout on the current printer.
bool printLayout(const Layout& layout, QWidget* owner, const GenerateOptions& options = {});

// The print dialog (no page range, no selection, no print-to-file); on OK its printer and
// settings become the current printer. The dialog's object name is `dialogName`. With no
// printer installed it says so instead and offers a PDF file as the target of later prints.
bool printSetup(QWidget* owner, const QString& dialogName = QStringLiteral("PrintDialog1"));

} // namespace tv::report
