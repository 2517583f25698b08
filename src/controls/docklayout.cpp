#include "controls/docklayout.h"

#include <QEvent>
#include <QWidget>

#include <algorithm>

namespace tv {

namespace {
constexpr const char* kAlignProperty = "_tv_dock_align";
constexpr TAlign kPasses[] = {alTop, alBottom, alLeft, alRight, alClient};
} // namespace

TAlign alignOf(const QWidget* w)
{
    if (!w)
        return alNone;
    const QVariant v = w->property(kAlignProperty);
    if (!v.isValid())
        return alNone;
    const int a = v.toInt();
    return (a >= alNone && a <= alClient) ? static_cast<TAlign>(a) : alNone;
}

void setAlign(QWidget* w, TAlign align)
{
    if (!w)
        return;
    QWidget* parent = w->parentWidget();
    if (!parent) {
        w->setProperty(kAlignProperty, static_cast<int>(align));
        return;
    }
    auto* dock = qobject_cast<DockLayout*>(parent->layout());
    if (!dock) {
        if (parent->layout() || align == alNone) {
            w->setProperty(kAlignProperty, static_cast<int>(align));
            return;
        }
        dock = new DockLayout(parent);
    }
    dock->setAlign(w, align);
}

DockLayout::DockLayout(QWidget* parent)
    : QLayout(parent)
{
    setContentsMargins(0, 0, 0, 0);
    setSpacing(0);
}

DockLayout::~DockLayout()
{
    while (!m_items.isEmpty())
        delete takeAt(0);
}

void DockLayout::addWidget(QWidget* w, TAlign align)
{
    setAlign(w, align);
}

void DockLayout::setAlign(QWidget* w, TAlign align)
{
    if (!w)
        return;
    w->setProperty(kAlignProperty, static_cast<int>(align));
    const int index = indexOf(w);
    if (align == alNone) {
        if (index >= 0)
            delete takeAt(index);
        return;
    }
    if (index < 0) {
        addChildWidget(w);
        m_items.append(new QWidgetItem(w));
        w->installEventFilter(this);
    }
    invalidate();
}

void DockLayout::addItem(QLayoutItem* item)
{
    if (item && item->widget())
        item->widget()->installEventFilter(this);
    m_items.append(item);
    invalidate();
}

QLayoutItem* DockLayout::itemAt(int index) const
{
    return (index >= 0 && index < m_items.size()) ? m_items.at(index) : nullptr;
}

QLayoutItem* DockLayout::takeAt(int index)
{
    if (index < 0 || index >= m_items.size())
        return nullptr;
    QLayoutItem* item = m_items.takeAt(index);
    if (item->widget()) {
        item->widget()->removeEventFilter(this);
        m_assigned.remove(item->widget());
    }
    invalidate();
    return item;
}

int DockLayout::count() const
{
    return static_cast<int>(m_items.size());
}

QList<QLayoutItem*> DockLayout::orderedItems() const
{
    // Creation order: the order of the parent's children; items without a widget go last.
    QList<QLayoutItem*> items = m_items;
    const QWidget* parent = parentWidget();
    if (!parent)
        return items;
    const QObjectList& children = parent->children();
    auto rank = [&](QLayoutItem* item) {
        const qsizetype i = item->widget() ? children.indexOf(item->widget()) : -1;
        return i < 0 ? children.size() : i;
    };
    std::stable_sort(items.begin(), items.end(),
                     [&](QLayoutItem* a, QLayoutItem* b) { return rank(a) < rank(b); });
    return items;
}

QList<QWidget*> DockLayout::dockedWidgets() const
{
    QList<QWidget*> result;
    for (TAlign pass : kPasses)
        for (QLayoutItem* item : orderedItems())
            if (item->widget() && alignOf(item->widget()) == pass)
                result.append(item->widget());
    return result;
}

void DockLayout::setGeometry(const QRect& rect)
{
    QLayout::setGeometry(rect);
    QRect r = rect.marginsRemoved(contentsMargins());
    const QList<QLayoutItem*> items = orderedItems();
    for (TAlign pass : kPasses) {
        for (QLayoutItem* item : items) {
            QWidget* w = item->widget();
            if (!w || w->isHidden() || alignOf(w) != pass)
                continue;
            const int width = std::max(0, r.width());
            const int height = std::max(0, r.height());
            QRect g;
            switch (pass) {
            case alTop:
                g = QRect(r.left(), r.top(), width, w->height());
                r.setTop(r.top() + w->height());
                break;
            case alBottom:
                g = QRect(r.left(), r.top() + height - w->height(), width, w->height());
                r.setHeight(height - w->height());
                break;
            case alLeft:
                g = QRect(r.left(), r.top(), w->width(), height);
                r.setLeft(r.left() + w->width());
                break;
            case alRight:
                g = QRect(r.left() + width - w->width(), r.top(), w->width(), height);
                r.setWidth(width - w->width());
                break;
            default:
                g = QRect(r.left(), r.top(), width, height);
                break;
            }
            m_assigned.insert(w, g);
            w->setGeometry(g);
        }
    }
}

QSize DockLayout::sizeHint() const
{
    int w = 0, h = 0, sideH = 0, clientW = 0, clientH = 0;
    for (QLayoutItem* item : m_items) {
        const QWidget* wd = item->widget();
        if (!wd || wd->isHidden())
            continue;
        switch (alignOf(wd)) {
        case alTop:
        case alBottom:
            h += wd->height();
            break;
        case alLeft:
        case alRight:
            w += wd->width();
            sideH = std::max(sideH, wd->height());
            break;
        case alClient:
            clientW = std::max(clientW, wd->sizeHint().width());
            clientH = std::max(clientH, wd->sizeHint().height());
            break;
        default:
            break;
        }
    }
    const QMargins m = contentsMargins();
    return QSize(w + clientW + m.left() + m.right(), h + std::max(sideH, clientH) + m.top() + m.bottom());
}

QSize DockLayout::minimumSize() const
{
    return QSize(0, 0);
}

Qt::Orientations DockLayout::expandingDirections() const
{
    return Qt::Horizontal | Qt::Vertical;
}

bool DockLayout::eventFilter(QObject* watched, QEvent* event)
{
    // A docked child resized by code (a splitter, a form setting a height) brings a new extent
    // across its edge: place everything again.
    if (event->type() == QEvent::Resize) {
        auto* w = qobject_cast<QWidget*>(watched);
        if (w && indexOf(w) >= 0 && w->geometry() != m_assigned.value(w))
            invalidate();
    }
    return QLayout::eventFilter(watched, event);
}

} // namespace tv
