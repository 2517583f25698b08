#pragma once
// Renderers of a generated document: a painter (screen), a printer and a PDF file.

#include "document.h"

#include <functional>

class QPainter;
class QPrinter;
class QPagedPaintDevice;

namespace tv::report {

// Draws one page; the painter's coordinates are 96-dpi pixels from the paper's corner.
void renderPage(QPainter& painter, const Page& page);

// Called before each page is sent, with the page number and the page count; returning false
// stops the output.
using PageProgressFn = std::function<bool(int page, int pages)>;

// Sets the paper of a printer or PDF writer as the document asks, without margins.
void setupPaper(QPagedPaintDevice& device, const Document& doc);

// Prints every page on `printer` as it is set up (the paper is set as the document asks).
// Returns false with `error` set when the printer cannot be opened.
bool printDocument(const Document& doc, QPrinter& printer, QString* error = nullptr, const PageProgressFn& progress = {});

// Writes the document as a PDF file. Returns false with `error` set when the file cannot be written.
bool writePdf(const Document& doc, const QString& fileName, QString* error = nullptr);

} // namespace tv::report
