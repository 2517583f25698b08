#include "render.h"

#include <QCoreApplication>
#include <QFile>
#include <QFontMetricsF>
#include <QPainter>
#include <QPdfWriter>
#include <QPrinter>

#include <QVector>

#include <algorithm>
#include <utility>
#include <vector>
#include <cmath>

namespace tv::report {

void renderPage(QPainter& painter, const Page& page)
{
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing, false);
    painter.setRenderHint(QPainter::TextAntialiasing, true);
    // Bands never overlap, so a page is drawn fills first, then texts, then rules: each pass
    // sets the painter's font or pen only when it changes, and rules of one pen go out
    // together, which counts when thousands of pages go to a printer.
    for (const Primitive& p : page.items)
        if (p.kind == Primitive::Fill)
            painter.fillRect(p.rect, p.color);

    const FontSpec* fontSet = nullptr;
    QFont font;
    qreal ascent = 0;
    for (const Primitive& p : page.items) {
        if (p.kind != Primitive::Text)
            continue;
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
            painter.drawText(QRectF(0, 0, p.rect.width() / p.stretch, p.rect.height()), int(p.align | Qt::AlignTop | Qt::TextSingleLine),
                             p.text);
            painter.restore();
        } else if (p.clipped || !(p.align & Qt::AlignLeft)) {
            painter.drawText(p.rect, int(p.align | Qt::AlignTop | Qt::TextSingleLine), p.text);
        } else {
            // A text that fits needs no box: drawn at its baseline it is laid out the quickest way.
            painter.drawText(QPointF(p.rect.left(), p.rect.top() + ascent), p.text);
        }
    }

    // Rules are drawn a whole number of device pixels wide, so that equal rules look equal at
    // any zoom.
    const qreal scale = painter.deviceTransform().m11();
    std::vector<const Primitive*> lines;
    for (const Primitive& p : page.items)
        if (p.kind == Primitive::Line)
            lines.push_back(&p);
    std::stable_sort(lines.begin(), lines.end(), [](const Primitive* a, const Primitive* b) {
        return std::make_pair(a->color.rgba(), a->width) < std::make_pair(b->color.rgba(), b->width);
    });
    QVector<QLineF> batch;
    for (size_t i = 0; i < lines.size(); ++i) {
        batch.push_back(lines[i]->line);
        const bool last = i + 1 == lines.size() || lines[i + 1]->color != lines[i]->color || lines[i + 1]->width != lines[i]->width;
        if (!last)
            continue;
        QPen pen(lines[i]->color);
        pen.setCosmetic(true);
        pen.setWidthF(std::max<qreal>(1.0, std::round(lines[i]->width * scale)));
        pen.setCapStyle(Qt::FlatCap);
        painter.setPen(pen);
        painter.drawLines(batch);
        batch.clear();
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
    writer.setCreator(QCoreApplication::applicationName());
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
