#include "app/widgets.h"

#include "app/glyphs.h"

#include <QChildEvent>
#include <QEvent>
#include <QLabel>
#include <QPainter>
#include <QToolButton>

namespace tv::app {

QFont arialPx(int px, bool bold, bool italic)
{
    QFont f(QStringLiteral("Arial"));
    f.setPixelSize(px);
    f.setBold(bold);
    f.setItalic(italic);
    return f;
}

void name(QObject* o, const char* objectName, int tag)
{
    o->setObjectName(QString::fromLatin1(objectName));
    if (tag != 0)
        o->setProperty("Tag", tag);
}

void setHint(QWidget* w, const QString& hint)
{
    w->setToolTip(hint);
    w->setStatusTip(hint);
}

QAbstractButton* flatButton(QWidget* row, const char* objectName, int x, int tag, const QString& hint)
{
    auto* b = new QToolButton(row);
    name(b, objectName, tag);
    b->setAutoRaise(true);
    b->setFocusPolicy(Qt::NoFocus);
    b->setGeometry(x, 2, 25, 25);
    b->setIconSize(QSize(20, 16));
    b->setIcon(buttonGlyph(QString::fromLatin1(objectName)));
    setHint(b, hint);
    return b;
}

QFrame* separator(QWidget* row, int x, const char* objectName)
{
    auto* f = new QFrame(row);
    if (objectName)
        f->setObjectName(QString::fromLatin1(objectName));
    f->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    f->setLineWidth(1);
    f->setGeometry(x, 2, 2, 26);
    return f;
}

namespace {

// A label that paints its caption a second time, offset, in a highlight or shadow colour.
class EffectLabel : public QLabel {
public:
    EffectLabel(QWidget* parent, TextStyle style) : QLabel(parent), m_style(style) {}

protected:
    void paintEvent(QPaintEvent*) override
    {
        QPainter p(this);
        p.setFont(font());
        const int flags = static_cast<int>(alignment()) | (wordWrap() ? Qt::TextWordWrap : 0) | Qt::TextExpandTabs;
        const QString t = text().left(255);
        auto pass = [&](const QColor& c, int dx, int dy) {
            p.setPen(c);
            p.drawText(rect().translated(dx, dy), flags, t);
        };
        const QPalette& pal = palette();
        switch (m_style) {
        case TextStyle::Raised:
            pass(pal.color(QPalette::Dark), 1, 1);
            pass(pal.color(QPalette::Light), -1, -1);
            break;
        case TextStyle::Recessed:
            pass(pal.color(QPalette::Light), 1, 1);
            pass(pal.color(QPalette::Dark), -1, -1);
            break;
        case TextStyle::Shadow:
            pass(pal.color(QPalette::Dark), 1, 1);
            break;
        case TextStyle::None:
            break;
        }
        pass(pal.color(QPalette::WindowText), 0, 0);
    }

private:
    TextStyle m_style;
};

} // namespace

QLabel* shadowLabel(QWidget* parent, const char* objectName, const QString& text, const QFont& font,
                    const QColor& colour, TextStyle style)
{
    auto* l = new EffectLabel(parent, style);
    if (objectName)
        l->setObjectName(QString::fromLatin1(objectName));
    l->setText(text);
    l->setFont(font);
    l->setTextFormat(Qt::PlainText);
    QPalette pal = l->palette();
    pal.setColor(QPalette::WindowText, colour);
    l->setPalette(pal);
    return l;
}

void setAlign(QWidget* w, Align a)
{
    w->setProperty("Align", static_cast<int>(a));
}

Align alignOf(const QWidget* w)
{
    const QVariant v = w->property("Align");
    return v.isValid() ? static_cast<Align>(v.toInt()) : Align::None;
}

DockPanel::DockPanel(QWidget* parent) : QFrame(parent) {}

void DockPanel::relayout()
{
    if (m_inLayout)
        return;
    m_inLayout = true;
    QRect free = contentsRect();
    for (QObject* o : children()) {
        auto* w = qobject_cast<QWidget*>(o);
        if (!w || w->isWindow() || w->isHidden())
            continue;
        switch (alignOf(w)) {
        case Align::Top:
            w->setGeometry(free.left(), free.top(), free.width(), w->height());
            free.setTop(free.top() + w->height());
            break;
        case Align::Bottom:
            w->setGeometry(free.left(), free.bottom() + 1 - w->height(), free.width(), w->height());
            free.setBottom(free.bottom() - w->height());
            break;
        case Align::Left:
            w->setGeometry(free.left(), free.top(), w->width(), free.height());
            free.setLeft(free.left() + w->width());
            break;
        case Align::Right:
            w->setGeometry(free.right() + 1 - w->width(), free.top(), w->width(), free.height());
            free.setRight(free.right() - w->width());
            break;
        case Align::Client:
            w->setGeometry(free);
            break;
        case Align::None:
            break;
        }
    }
    m_inLayout = false;
}

void DockPanel::resizeEvent(QResizeEvent* e)
{
    QFrame::resizeEvent(e);
    relayout();
}

bool DockPanel::event(QEvent* e)
{
    if (e->type() == QEvent::ChildAdded) {
        auto* ce = static_cast<QChildEvent*>(e);
        if (ce->child()->isWidgetType())
            ce->child()->installEventFilter(this);
    }
    return QFrame::event(e);
}

bool DockPanel::eventFilter(QObject* watched, QEvent* e)
{
    switch (e->type()) {
    case QEvent::ShowToParent:
    case QEvent::HideToParent:
        relayout();
        break;
    case QEvent::Resize:
        if (!m_inLayout && alignOf(static_cast<QWidget*>(watched)) != Align::None
            && alignOf(static_cast<QWidget*>(watched)) != Align::Client)
            relayout();
        break;
    default:
        break;
    }
    return QFrame::eventFilter(watched, e);
}

} // namespace tv::app
