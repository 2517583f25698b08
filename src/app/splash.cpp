#include "app/splash.h"

#include <QApplication>
#include <QDialog>
#include <QEvent>
#include <QFrame>
#include <QLabel>
#include <QLinearGradient>
#include <QPainter>
#include <QPointer>
#include <QScreen>
#include <QVBoxLayout>

namespace tv::app {

namespace {
QPointer<TSplash> g_splash;
}

TSplash* Splash()
{
    return g_splash.data();
}

TSplash::TSplash() : QWidget(nullptr, Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint | Qt::Tool)
{
    setObjectName(QStringLiteral("Splash"));
    setAttribute(Qt::WA_DeleteOnClose);
    setFixedSize(365, 452);
    auto* panel = new QFrame(this);
    panel->setObjectName(QStringLiteral("Panel1"));
    panel->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    panel->setLineWidth(3);
    auto* lay = new QVBoxLayout(this);
    lay->setContentsMargins(0, 0, 0, 0);
    lay->addWidget(panel);
    auto* inner = new QVBoxLayout(panel);
    inner->setContentsMargins(0, 0, 0, 0);
    auto* image = new QLabel(panel);
    image->setObjectName(QStringLiteral("Image1"));
    image->setAlignment(Qt::AlignCenter);
    image->setPixmap(picture());
    inner->addWidget(image);
    if (QScreen* s = QGuiApplication::primaryScreen()) {
        const QRect g = s->geometry();
        move(g.x() + (g.width() - width()) / 2, g.y() + (g.height() - height()) / 2);
    }
    g_splash = this;
}

QPixmap TSplash::picture()
{
    QPixmap pm(358, 445);
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    QLinearGradient sky(0, 0, 0, 445);
    sky.setColorAt(0, QColor(0, 0, 128));
    sky.setColorAt(1, QColor(0, 128, 128));
    p.fillRect(pm.rect(), sky);

    // A vault door: rings, bolts and a handle wheel.
    const QPointF c(179, 190);
    p.setPen(QPen(QColor(40, 40, 40), 3));
    p.setBrush(QColor(160, 160, 170));
    p.drawEllipse(c, 118, 118);
    p.setBrush(QColor(190, 190, 200));
    p.drawEllipse(c, 96, 96);
    p.setBrush(QColor(128, 128, 140));
    for (int i = 0; i < 12; ++i) {
        const double a = i * M_PI / 6;
        p.drawEllipse(QPointF(c.x() + 107 * std::cos(a), c.y() + 107 * std::sin(a)), 5, 5);
    }
    p.setPen(QPen(QColor(60, 60, 60), 7, Qt::SolidLine, Qt::RoundCap));
    for (int i = 0; i < 3; ++i) {
        const double a = i * M_PI / 3;
        p.drawLine(QPointF(c.x() - 60 * std::cos(a), c.y() - 60 * std::sin(a)),
                   QPointF(c.x() + 60 * std::cos(a), c.y() + 60 * std::sin(a)));
    }
    p.setBrush(QColor(255, 210, 0));
    p.setPen(QPen(QColor(120, 90, 0), 2));
    p.drawEllipse(c, 20, 20);

    QFont title(QStringLiteral("Liberation Serif"));
    title.setPixelSize(54);
    title.setBold(true);
    title.setItalic(true);
    p.setFont(title);
    p.setPen(QColor(0, 0, 0, 160));
    p.drawText(QRect(3, 323, 358, 64), Qt::AlignCenter, QStringLiteral("Tipvault"));
    p.setPen(QColor(255, 255, 0));
    p.drawText(QRect(0, 320, 358, 64), Qt::AlignCenter, QStringLiteral("Tipvault"));

    QFont sub(QStringLiteral("Liberation Sans"));
    sub.setPixelSize(15);
    sub.setBold(true);
    p.setFont(sub);
    p.setPen(Qt::white);
    p.drawText(QRect(0, 384, 358, 24), Qt::AlignCenter, QStringLiteral("Tips, answers and notes in one place"));
    sub.setPixelSize(12);
    sub.setBold(false);
    p.setFont(sub);
    p.drawText(QRect(0, 412, 358, 20), Qt::AlignCenter, QStringLiteral("Loading the knowledge bases..."));
    return pm;
}

void TSplash::FormDeactivate()
{
    if (!m_ending) {
        m_ending = true;
        QApplication::restoreOverrideCursor();
        hide();
    }
    // A box opened over the splash while starting (an engine error) belongs to it: the splash
    // waits for the answer and goes once the box has closed.
    for (QDialog* d : findChildren<QDialog*>(Qt::FindDirectChildrenOnly))
        if (d->isVisible()) {
            connect(d, &QDialog::finished, this, &TSplash::FormDeactivate,
                    Qt::ConnectionType(Qt::QueuedConnection | Qt::UniqueConnection));
            return;
        }
    deleteLater();
}

void TSplash::changeEvent(QEvent* e)
{
    if (e->type() == QEvent::ActivationChange && !isActiveWindow() && isVisible() && windowHandle()
        && QGuiApplication::focusWindow() && QGuiApplication::focusWindow() != windowHandle())
        FormDeactivate();
    QWidget::changeEvent(e);
}

} // namespace tv::app
