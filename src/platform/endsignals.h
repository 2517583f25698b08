#pragma once
// The ends of the program that nobody asks for: the system ending the session (SIGTERM at
// shutdown or logout, SIGHUP when the terminal or session goes) and the loss of the display.
// Both leave no one to answer a question, so the program is given a chance to save first.

#include <functional>

class QObject;

namespace tv::platform {

// While `context` lives, SIGTERM and SIGHUP call `request` from the event loop of the thread
// that made the call (the signal handler itself only writes a byte to a socket). When
// `context` goes, both signals end the process again as they do by default.
void onEndSignals(QObject* context, std::function<void()> request);

// Runs `rescue` once if the process ends through exit() before clearLastChance(): that is
// how the window system's plugin ends a program whose display connection broke. The process
// then ends at once with status 1. A normal end clears it first.
void setLastChance(std::function<void()> rescue);
void clearLastChance();

} // namespace tv::platform
