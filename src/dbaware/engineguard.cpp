#include "engineguard.h"

#include "platform/msg.h"

#include <QPointer>
#include <QSet>
#include <QTimer>

namespace tv {

namespace {

struct Reports {
    QSet<QString> seen;     // every text reported so far
    QString pending;        // the text of the box about to be shown
    bool showing = false;   // the box is open
};

Reports& reports()
{
    static Reports r;
    return r;
}

void showPending()
{
    Reports& r = reports();
    if (r.pending.isEmpty() || r.showing)
        return;
    const QString text = r.pending;
    r.showing = true;
    msg::error(text, QApplication::activeModalWidget() ? QApplication::activeModalWidget() : QApplication::activeWindow());
    r.showing = false;
    r.pending.clear();
}

} // namespace

QString damagedMarker() { return QStringLiteral("(DAMAGED)"); }

void reportEngineError(const QString& text)
{
    Reports& r = reports();
    if (r.seen.contains(text))
        return;
    r.seen.insert(text);
    if (r.showing || !r.pending.isEmpty())
        return;   // part of the report already on its way
    r.pending = text;
    if (QCoreApplication::instance())
        QTimer::singleShot(0, QCoreApplication::instance(), showPending);
}

bool GuardedApplication::notify(QObject* receiver, QEvent* event)
{
    try {
        return QApplication::notify(receiver, event);
    } catch (const EngineError& e) {
        reportEngineError(e);
        return false;
    }
}

} // namespace tv
