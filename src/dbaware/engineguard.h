#pragma once
// Where the Qt layers call the engine. An EngineError met while showing a value (a grid cell
// being painted, a bound control following the current record) must neither end the program
// nor open a box in the middle of painting, nor one box per cell: it is reported here, shown
// in the standard error box once the current event is over, and the value shows the marker
// instead. Everything raised while a box is pending or open is taken as part of the same
// report, and a text already shown is not shown again.

#include "engine/engineerror.h"
#include "platform/msg.h"

#include <QApplication>
#include <QString>

namespace tv {

// What a value that could not be read shows instead (never a blank that looks like data).
QString damagedMarker();

// Reports an engine error as described above.
void reportEngineError(const QString& text);
inline void reportEngineError(const EngineError& e) { reportEngineError(QString::fromUtf8(e.what())); }

// Runs fn; an EngineError is reported and false returned.
template <class Fn>
bool guarded(Fn&& fn)
{
    try {
        fn();
        return true;
    } catch (const EngineError& e) {
        reportEngineError(e);
        return false;
    }
}

// Runs fn for a command the user gave; an EngineError is shown at once in the standard error
// box over `parent` (the command's own answer) and false returned.
template <class Fn>
bool guardedCommand(QWidget* parent, Fn&& fn)
{
    try {
        fn();
        return true;
    } catch (const EngineError& e) {
        msg::error(QString::fromUtf8(e.what()), parent);
        return false;
    }
}

// The program's application object: an EngineError that a handler let through is reported
// here instead of reaching the event loop.
class GuardedApplication : public QApplication {
public:
    GuardedApplication(int& argc, char** argv) : QApplication(argc, argv) {}
    bool notify(QObject* receiver, QEvent* event) override;
};

} // namespace tv
