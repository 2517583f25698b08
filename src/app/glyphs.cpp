#include "app/glyphs.h"

#include <QHash>
#include <QPainter>
#include <QPainterPath>
#include <QPixmap>

#include <functional>

namespace tv::app {

namespace {

using Draw = std::function<void(QPainter&)>;

// Navigation arrows: a bar at the left/right and one or two triangles.
void triangle(QPainter& p, int x, bool left, const QColor& c)
{
    QPolygon t;
    if (left)
        t << QPoint(x + 5, 3) << QPoint(x + 5, 13) << QPoint(x, 8);
    else
        t << QPoint(x, 3) << QPoint(x, 13) << QPoint(x + 5, 8);
    p.setBrush(c);
    p.setPen(Qt::NoPen);
    p.drawPolygon(t);
}

void bar(QPainter& p, int x, const QColor& c) { p.fillRect(x, 3, 2, 11, c); }

void page(QPainter& p, const QRect& r)
{
    p.setPen(Qt::black);
    p.setBrush(Qt::white);
    p.drawRect(r);
    p.setPen(QColor(0, 0, 128));
    for (int y = r.top() + 3; y < r.bottom() - 1; y += 2)
        p.drawLine(r.left() + 2, y, r.right() - 2, y);
}

void bookmark(QPainter& p, const QColor& c)
{
    QPolygon t;
    t << QPoint(6, 2) << QPoint(13, 2) << QPoint(13, 15) << QPoint(9, 11) << QPoint(6, 15);
    p.setBrush(c);
    p.setPen(Qt::black);
    p.drawPolygon(t);
}

void grid(QPainter& p, const QRect& r)
{
    p.setPen(Qt::black);
    p.setBrush(Qt::white);
    p.drawRect(r);
    p.fillRect(r.left() + 1, r.top() + 1, r.width() - 1, 3, QColor(0, 0, 128));
    for (int y = r.top() + 4; y < r.bottom(); y += 3)
        p.drawLine(r.left(), y, r.right(), y);
    p.drawLine(r.left() + r.width() / 3, r.top(), r.left() + r.width() / 3, r.bottom());
}

void text(QPainter& p, const QString& s, const QColor& c, int px = 12)
{
    QFont f(QStringLiteral("Liberation Sans"));
    f.setPixelSize(px);
    f.setBold(true);
    p.setFont(f);
    p.setPen(c);
    p.drawText(QRect(0, 0, 20, 16), Qt::AlignCenter, s);
}

void magnifier(QPainter& p)
{
    p.setPen(QPen(Qt::black, 2));
    p.setBrush(QColor(200, 230, 255));
    p.drawEllipse(QRect(3, 2, 8, 8));
    p.drawLine(10, 10, 15, 15);
}

const QHash<QString, Draw>& glyphs()
{
    static const QHash<QString, Draw> g = {
        {"btnOpen", [](QPainter& p) { p.setPen(Qt::black); p.setBrush(QColor(255, 220, 100)); p.drawRect(2, 5, 14, 9); }},
        {"btnExit", [](QPainter& p) {
             p.setPen(Qt::black); p.setBrush(QColor(150, 90, 40)); p.drawRect(4, 2, 9, 12);
             triangle(p, 13, false, QColor(200, 0, 0)); }},
        {"btnPrintSetup", [](QPainter& p) { page(p, QRect(4, 1, 10, 13)); }},
        {"btnReport", [](QPainter& p) { page(p, QRect(4, 1, 10, 13)); }},
        {"btnPrint", [](QPainter& p) {
             page(p, QRect(6, 1, 8, 6));
             p.setPen(Qt::black); p.setBrush(QColor(192, 192, 192)); p.drawRect(2, 7, 16, 6);
             p.fillRect(14, 9, 2, 2, QColor(0, 160, 0)); }},
        {"btnPreview", [](QPainter& p) { page(p, QRect(2, 1, 11, 14)); magnifier(p); }},
        {"BtnCut", [](QPainter& p) {
             p.setPen(QPen(Qt::black, 1)); p.drawLine(6, 1, 11, 10); p.drawLine(12, 1, 7, 10);
             p.setBrush(Qt::NoBrush); p.drawEllipse(QRect(3, 10, 5, 5)); p.drawEllipse(QRect(10, 10, 5, 5)); }},
        {"BtnCopy", [](QPainter& p) { page(p, QRect(2, 1, 9, 10)); page(p, QRect(8, 5, 9, 10)); }},
        {"btnPaste", [](QPainter& p) {
             p.setPen(Qt::black); p.setBrush(QColor(170, 120, 60)); p.drawRect(2, 2, 10, 13);
             page(p, QRect(8, 6, 9, 9)); }},
        {"btnGridSwitch", [](QPainter& p) { grid(p, QRect(1, 2, 9, 12)); page(p, QRect(11, 2, 8, 12)); }},
        {"btnDBIndex", [](QPainter& p) { text(p, QStringLiteral("AZ"), QColor(0, 0, 160), 9); p.setPen(Qt::black); p.drawLine(16, 2, 16, 14); p.drawLine(14, 12, 16, 14); p.drawLine(18, 12, 16, 14); }},
        {"btnFilter", [](QPainter& p) {
             QPolygon t; t << QPoint(2, 2) << QPoint(16, 2) << QPoint(11, 8) << QPoint(11, 15) << QPoint(7, 13) << QPoint(7, 8);
             p.setPen(Qt::black); p.setBrush(QColor(255, 255, 0)); p.drawPolygon(t); }},
        {"btnNoFilter", [](QPainter& p) {
             QPolygon t; t << QPoint(2, 2) << QPoint(16, 2) << QPoint(11, 8) << QPoint(11, 15) << QPoint(7, 13) << QPoint(7, 8);
             p.setPen(Qt::black); p.setBrush(QColor(255, 255, 0)); p.drawPolygon(t);
             p.setPen(QPen(QColor(200, 0, 0), 2)); p.drawLine(2, 14, 17, 1); }},
        {"btnSearch", [](QPainter& p) { magnifier(p); }},
        {"btnLocate", [](QPainter& p) { grid(p, QRect(1, 1, 12, 14)); p.fillRect(2, 8, 11, 3, QColor(255, 255, 0)); triangle(p, 14, true, QColor(200, 0, 0)); }},
        {"btnLocateFirst", [](QPainter& p) { grid(p, QRect(1, 1, 12, 14)); p.fillRect(2, 5, 11, 2, QColor(255, 255, 0)); text(p, QStringLiteral("1"), QColor(200, 0, 0), 9); }},
        {"btnLocateNext", [](QPainter& p) { grid(p, QRect(1, 1, 12, 14)); p.fillRect(2, 11, 11, 2, QColor(255, 255, 0)); triangle(p, 14, false, QColor(200, 0, 0)); }},
        {"btnAbout", [](QPainter& p) { text(p, QStringLiteral("i"), QColor(0, 0, 200), 14); }},
        {"btnHelpIndex", [](QPainter& p) { page(p, QRect(2, 1, 10, 14)); text(p, QStringLiteral("?"), QColor(200, 0, 0), 11); }},
        {"btnHelp", [](QPainter& p) { text(p, QStringLiteral("?"), QColor(0, 0, 200), 15); }},
        {"btnTip", [](QPainter& p) {
             p.setPen(Qt::black); p.setBrush(QColor(255, 255, 128)); p.drawEllipse(QRect(5, 1, 9, 9));
             p.setBrush(QColor(160, 160, 160)); p.drawRect(7, 10, 5, 4); }},
        {"btnSetBookmark", [](QPainter& p) { bookmark(p, QColor(0, 160, 0)); }},
        {"btnGotoBookmark", [](QPainter& p) { bookmark(p, QColor(0, 0, 200)); triangle(p, 0, false, Qt::black); }},
        {"BtnClearBookmark", [](QPainter& p) { bookmark(p, QColor(200, 0, 0)); p.setPen(QPen(Qt::black, 2)); p.drawLine(3, 3, 16, 14); }},
        {"btnFirst", [](QPainter& p) { bar(p, 5, Qt::black); triangle(p, 8, true, Qt::black); }},
        {"btnRewind", [](QPainter& p) { triangle(p, 4, true, Qt::black); triangle(p, 10, true, Qt::black); }},
        {"btnPrior", [](QPainter& p) { triangle(p, 7, true, Qt::black); }},
        {"btnNext", [](QPainter& p) { triangle(p, 8, false, Qt::black); }},
        {"btnForward", [](QPainter& p) { triangle(p, 5, false, Qt::black); triangle(p, 11, false, Qt::black); }},
        {"btnLast", [](QPainter& p) { triangle(p, 6, false, Qt::black); bar(p, 12, Qt::black); }},
        {"btnInsert", [](QPainter& p) { text(p, QStringLiteral("+"), QColor(0, 128, 0), 16); }},
        {"btnDelete", [](QPainter& p) { text(p, QStringLiteral("\u2212"), QColor(200, 0, 0), 16); }},
        {"btnEditRecord", [](QPainter& p) {
             p.setPen(QPen(QColor(0, 0, 160), 3)); p.drawLine(4, 14, 14, 3);
             p.setPen(QPen(Qt::black, 1)); p.drawLine(2, 15, 4, 14); }},
        {"btnPostRecord", [](QPainter& p) { p.setPen(QPen(QColor(0, 128, 0), 3)); p.drawLine(3, 8, 7, 13); p.drawLine(7, 13, 16, 2); }},
        {"btnCancelEdit", [](QPainter& p) { p.setPen(QPen(QColor(200, 0, 0), 3)); p.drawLine(4, 3, 15, 13); p.drawLine(15, 3, 4, 13); }},
        {"btnRefreshRecord", [](QPainter& p) {
             p.setPen(QPen(QColor(0, 0, 160), 2)); p.setBrush(Qt::NoBrush); p.drawArc(QRect(3, 2, 12, 12), 30 * 16, 300 * 16);
             triangle(p, 12, false, QColor(0, 0, 160)); }},
        {"btnGO", [](QPainter& p) { p.setPen(Qt::black); p.setBrush(QColor(0, 170, 0)); p.drawEllipse(QRect(2, 2, 12, 12)); triangle(p, 7, false, Qt::white); }},
    };
    return g;
}

} // namespace

QImage buttonPicture(const QString& buttonName, qreal dpr)
{
    const auto& g = glyphs();
    auto it = g.find(buttonName);
    QImage img(QSize(20, 16) * dpr, QImage::Format_ARGB32);
    img.setDevicePixelRatio(dpr);
    img.fill(Qt::transparent);
    if (it != g.end()) {
        QPainter p(&img);
        // On a plain screen the shapes sit on whole pixels and stay crisp without smoothing;
        // on a denser one they are smoothed like the text around them.
        p.setRenderHint(QPainter::Antialiasing, dpr > 1.0);
        p.setRenderHint(QPainter::TextAntialiasing, dpr > 1.0);
        it.value()(p);
    }
    return img;
}

QImage disabledPicture(const QImage& picture)
{
    // The dark strokes of the picture become ink; light fills drop out, so the drawing keeps
    // its outlines and inner lines and reads as the same picture, greyed and embossed.
    auto ink = [&picture](QRgb colour) {
        QImage out = picture.convertToFormat(QImage::Format_ARGB32);
        for (int y = 0; y < out.height(); ++y) {
            auto* line = reinterpret_cast<QRgb*>(out.scanLine(y));
            for (int x = 0; x < out.width(); ++x) {
                const QRgb c = line[x];
                line[x] = qAlpha(c) > 0 && qGray(c) < 192 ? (colour & 0xFFFFFFu) | (c & 0xFF000000u) : 0u;
            }
        }
        return out;
    };
    QImage out(picture.size(), QImage::Format_ARGB32);
    out.setDevicePixelRatio(picture.devicePixelRatio());
    out.fill(Qt::transparent);
    QPainter p(&out);
    p.drawImage(QPointF(1, 1), ink(qRgb(255, 255, 255)));
    // Light grey ink: clearly fainter than the muted picture of an enabled button at rest.
    p.drawImage(QPointF(0, 0), ink(qRgb(160, 160, 160)));
    return out;
}

QImage mutedPicture(const QImage& picture)
{
    // Half way to grey: the colours still tell the pictures apart, and the strokes stay as dark
    // as they were.
    QImage out = picture.convertToFormat(QImage::Format_ARGB32);
    for (int y = 0; y < out.height(); ++y) {
        auto* line = reinterpret_cast<QRgb*>(out.scanLine(y));
        for (int x = 0; x < out.width(); ++x) {
            const QRgb c = line[x];
            if (qAlpha(c) == 0)
                continue;
            const int g = qGray(c);
            line[x] = qRgba((qRed(c) + g) / 2, (qGreen(c) + g) / 2, (qBlue(c) + g) / 2, qAlpha(c));
        }
    }
    return out;
}

QIcon buttonGlyph(const QString& buttonName)
{
    if (!glyphs().contains(buttonName))
        return {};
    QIcon icon;
    for (qreal dpr : {1.0, 2.0})
        icon.addPixmap(QPixmap::fromImage(buttonPicture(buttonName, dpr)));
    return icon;
}

} // namespace tv::app
