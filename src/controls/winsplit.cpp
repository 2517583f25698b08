#include "controls/winsplit.h"

#include "controls/docklayout.h"

#include <QMouseEvent>
#include <QPainter>

namespace tv {

namespace {

// The inverted line that follows the mouse: a child of the bar's window, above every other
// child, that inverts whatever lies under it. Hiding it (or moving it) restores the picture.
class SplitLine : public QWidget {
public:
    explicit SplitLine(QWidget* parent)
        : QWidget(parent)
    {
        setAttribute(Qt::WA_TransparentForMouseEvents);
        setAttribute(Qt::WA_NoSystemBackground);
        setFocusPolicy(Qt::NoFocus);
    }

protected:
    void paintEvent(QPaintEvent*) override
    {
        QPainter p(this);
        p.setCompositionMode(QPainter::RasterOp_SourceXorDestination);
        p.fillRect(rect(), Qt::white);
    }
};

} // namespace

TWinSplit::TWinSplit(QWidget* parent)
    : TPanel(parent)
{
    setFocusPolicy(Qt::NoFocus);
    resize(3, 100);
}

TWinSplit::~TWinSplit()
{
    disconnect(m_targetConnection);
    delete m_line;
}

void TWinSplit::setTargetControl(QWidget* target)
{
    disconnect(m_targetConnection);
    const TAlign a = target && target != this ? alignOf(target) : alNone;
    if (a == alLeft || a == alRight || a == alTop || a == alBottom) {
        m_target = target;
        m_targetConnection = connect(target, &QObject::destroyed, this, &TWinSplit::targetDestroyed);
        m_vertical = (a == alLeft || a == alRight);
        tv::setAlign(this, a);
        setCursor(m_vertical ? Qt::SplitHCursor : Qt::SplitVCursor);
    } else {
        // No target, the bar itself, or a target docked nowhere or filling its parent.
        m_target = nullptr;
        tv::setAlign(this, alNone);
        unsetCursor();
    }
}

void TWinSplit::setMinTargetSize(uint v)
{
    m_min = (m_max != 0 && v >= m_max) ? m_max : v;
}

void TWinSplit::setMaxTargetSize(uint v)
{
    m_max = (v != 0 && v <= m_min) ? m_min : v;
}

int TWinSplit::NewTargetSize(bool* limited) const
{
    if (limited)
        *limited = false;
    if (!m_target)
        return 0;
    long long size = 0;
    switch (alignOf(m_target)) {
    case alLeft:
        size = static_cast<long long>(m_target->width()) + m_offset.x();
        break;
    case alRight:
        size = static_cast<long long>(m_target->width()) - m_offset.x();
        break;
    case alTop:
        size = static_cast<long long>(m_target->height()) + m_offset.y();
        break;
    case alBottom:
        size = static_cast<long long>(m_target->height()) - m_offset.y();
        break;
    default:
        break;
    }
    if (size < static_cast<long long>(m_min)) {
        if (limited)
            *limited = true;
        return static_cast<int>(m_min);
    }
    if (m_max != 0 && size > static_cast<long long>(m_max)) {
        if (limited)
            *limited = true;
        return static_cast<int>(m_max);
    }
    return static_cast<int>(size);
}

void TWinSplit::drawLine()
{
    QWidget* form = window();
    if (!form || form == this)
        return;
    if (!m_line)
        m_line = new SplitLine(form);
    const int thickness = m_vertical ? width() : height();
    QRect r = m_vertical ? QRect(m_offset.x() - thickness / 2, 0, thickness, height())
                         : QRect(0, m_offset.y() - thickness / 2, width(), thickness);
    r.moveTopLeft(mapTo(form, r.topLeft()));
    m_line->setGeometry(r);
    m_line->raise();
    m_line->show();
}

void TWinSplit::eraseLine()
{
    if (m_line)
        m_line->hide();
}

void TWinSplit::BeginSplit()
{
    setTargetControl(m_target);
    if (!m_target || window() == this)
        return;
    const TAlign a = alignOf(m_target);
    if (m_vertical != (a == alLeft || a == alRight))
        return;
    emit OnBeginSplit();
    m_dragging = true;  // the pressed button keeps the mouse until it is released
    m_offset = QPoint(0, 0);
    drawLine();
}

void TWinSplit::MoveSplit(int x, int y)
{
    emit OnMoveSplit();
    eraseLine();
    if (m_vertical)
        m_offset.setX(x);
    else
        m_offset.setY(y);
    bool limited = false;
    const int size = NewTargetSize(&limited);
    if (limited && m_target) {
        // The line stops at the limit itself, so a fast move past it still reaches the limit
        // exactly rather than staying wherever the previous move left it.
        switch (alignOf(m_target)) {
        case alLeft:
            m_offset.setX(size - m_target->width());
            break;
        case alRight:
            m_offset.setX(m_target->width() - size);
            break;
        case alTop:
            m_offset.setY(size - m_target->height());
            break;
        case alBottom:
            m_offset.setY(m_target->height() - size);
            break;
        default:
            break;
        }
    }
    drawLine();
}

void TWinSplit::stopDragging()
{
    m_dragging = false;
    eraseLine();
    delete m_line;  // the drawing surface goes with the drag
    m_line = nullptr;
}

void TWinSplit::EndSplit()
{
    m_dragging = false;
    emit OnEndSplit();
    stopDragging();
    if (m_target) {
        const int size = NewTargetSize(nullptr);
        if (m_vertical)
            m_target->resize(size, m_target->height());
        else
            m_target->resize(m_target->width(), size);
    }
    m_offset = QPoint(0, 0);
}

void TWinSplit::targetDestroyed()
{
    m_target = nullptr;
    if (m_dragging) {
        stopDragging();
        m_offset = QPoint(0, 0);
    }
}

void TWinSplit::mousePressEvent(QMouseEvent* event)
{
    TPanel::mousePressEvent(event);
    const auto mods = event->modifiers() & (Qt::ShiftModifier | Qt::ControlModifier | Qt::AltModifier);
    if (event->button() == Qt::LeftButton && event->buttons() == Qt::LeftButton && mods == Qt::NoModifier)
        BeginSplit();
}

void TWinSplit::mouseMoveEvent(QMouseEvent* event)
{
    if (m_dragging) {
        const QPoint pos = event->position().toPoint();
        MoveSplit(pos.x(), pos.y());
    }
    TPanel::mouseMoveEvent(event);
}

void TWinSplit::mouseReleaseEvent(QMouseEvent* event)
{
    if (m_dragging)
        EndSplit();
    TPanel::mouseReleaseEvent(event);
}

void TWinSplit::mouseDoubleClickEvent(QMouseEvent* event)
{
    // A double click starts no drag.
    event->accept();
}

} // namespace tv
