#include "render.h"

#include <QFile>
#include <QFontMetricsF>
#include <QPainter>
#include <QPdfWriter>
#include <QPrinter>

#include <algorithm>
#include <cmath>

namespace tv::report {

void renderPage(QPainter& painter, const Page& page)
{
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing, false);
    painter.setRenderHint(QPainter::TextAntialiasing, true);
    // Rules are drawn a whole number of device pixels wide, so that equal rules look equal at
    // any zoom.
    const qreal scale = painter.deviceTransform().m11();
    // A page draws most of its texts in one or two fonts: the painter's font is only set
    // when it changes, and the font made once per page.
    const FontSpec* fontSet = nullptr;
    QFont font;
    qreal ascent = 0;
    for (const Primitive& p : page.items) {
        switch (p.kind) {
        case Primitive::Fill:
            painter.fillRect(p.rect, p.color);
            break;
        case Primitive::Line: {
            QPen pen(p.color);
            pen.setCosmetic(true);
            pen.setWidthF(std::max<qreal>(1.0, std::round(p.width * scale)));
            pen.setCapStyle(Qt::FlatCap);
            painter.setPen(pen);
            painter.drawLine(p.line);
            break;
        }
        case Primitive::Text:
            if (!fontSet || !(*fontSet == p.font)) {
                font = p.font.toFont();
                painter.setFont(font);
                ascent = QFontMetricsF(font, painter.device()).ascent();
                fontSet = &p.font;
            }
            painter.setPen(p.color);
            if (p.stretch < 1.0) {
                // Condensed: drawn into a box as much wider as the scale is narrower.
                painter.save();
                painter.translate(p.rect.left(), p.rect.top());
                painter.scale(p.stretch, 1.0);
                painter.drawText(QRectF(0, 0, p.rect.width() / p.stretch, p.rect.height()),
                                 int(p.align | Qt::AlignTop | Qt::TextSingleLine), p.text);
                painter.restore();
            } else if (p.clipped || !(p.align & Qt::AlignLeft)) {
                painter.drawText(p.rect, int(p.align | Qt::AlignTop | Qt::TextSingleLine), p.text);
            } else {
                // A text that fits needs no box: drawn at its baseline, it is laid out the
                // quickest way, which counts when thousands of pages go to a printer.
                painter.drawText(QPointF(p.rect.left(), p.rect.top() + ascent), p.text);
            }
            break;
        }
    }
    painter.restore();
}

void setupPaper(QPagedPaintDevice& device, const Document& doc)
{
    device.setPageLayout(QPageLayout(QPageSize(doc.paper), doc.portrait ? QPageLayout::Portrait : QPageLayout::Landscape,
                                     QMarginsF(0, 0, 0, 0), QPageLayout::Millimeter));
}

namespace {

// Draws all pages on an opened painter; the device's resolution maps 96-dpi pixels to it.
bool paintPages(QPainter& painter, QPagedPaintDevice& device, const Document& doc, const PageProgressFn& progress)
{
    const int pages = doc.pageCount();
    const qreal scale = device.logicalDpiX() / 96.0;
    for (int i = 0; i < pages; ++i) {
        if (progress && !progress(i + 1, pages))
            return false;
        if (i > 0)
            device.newPage();
        painter.resetTransform();
        painter.scale(scale, scale);
        renderPage(painter, doc.pages[size_t(i)]);
    }
    return true;
}

} // namespace

bool printDocument(const Document& doc, QPrinter& printer, QString* error, const PageProgressFn& progress)
{
    setupPaper(printer, doc);
    printer.setFullPage(true);
    printer.setCopyCount(doc.printer.copies);
    printer.setDuplex(doc.printer.duplex ? QPrinter::DuplexAuto : QPrinter::DuplexNone);
    if (doc.printer.firstBin)
        printer.setPaperSource(QPrinter::Upper);
    printer.setDocName(doc.title);
    QPainter painter;
    if (!painter.begin(&printer)) {
        if (error)
            *error = printer.printerName().isEmpty() ? QStringLiteral("There is no printer to print on.")
                                                     : QStringLiteral("The printer \"%1\" cannot be opened.").arg(printer.printerName());
        return false;
    }
    if (!paintPages(painter, printer, doc, progress)) {
        printer.abort();
        painter.end();
        return true;
    }
    painter.end();
    return true;
}

bool writePdf(const Document& doc, const QString& fileName, QString* error)
{
    QFile file(fileName);
    if (!file.open(QIODevice::WriteOnly)) {
        if (error)
            *error = QStringLiteral("Cannot write \"%1\": %2").arg(fileName, file.errorString());
        return false;
    }
    QPdfWriter writer(&file);
    writer.setResolution(1200);
    writer.setTitle(doc.title);
    writer.setCreator(QStringLiteral("Tipvault"));
    setupPaper(writer, doc);
    QPainter painter;
    if (!painter.begin(&writer)) {
        if (error)
            *error = QStringLiteral("Cannot write \"%1\".").arg(fileName);
        return false;
    }
    paintPages(painter, writer, doc, {});
    painter.end();
    file.close();
    if (file.error() != QFileDevice::NoError) {
        if (error)
            *error = QStringLiteral("Cannot write \"%1\": %2").arg(fileName, file.errorString());
        return false;
    }
    return true;
}

} // namespace tv::report
