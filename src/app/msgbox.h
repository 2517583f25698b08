#pragma once
// The message boxes of the main window: confirmation, information and the error box.

#include <QString>

class QWidget;

namespace tv {
class EngineError;
}

namespace tv::app {

// "Confirm" box with the question icon and Yes/No; true on Yes.
bool confirm(QWidget* parent, const QString& text);
// "Information" box with one OK button.
void information(QWidget* parent, const QString& text);
// The standard error box: the application's title as caption, the engine's own text.
void showEngineError(QWidget* parent, const tv::EngineError& err);

} // namespace tv::app
