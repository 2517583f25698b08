#pragma once
// The program's message boxes. Every question, notice and error goes through here so that
// each kind always looks the same: confirmations are captioned "Confirm" with the question
// icon and Yes/No, engine errors use the standard error box captioned with the
// application's title and carrying the engine's own text.

#include <QString>

class QWidget;

namespace tv::msg {

enum class Icon { Information, Warning, Critical, Question };

// A box with its own caption and OK.
void notify(Icon icon, const QString& caption, const QString& text, QWidget* parent = nullptr);
// A box with its own caption, Yes and No (Yes the default). Returns true for Yes.
bool ask(Icon icon, const QString& caption, const QString& text, QWidget* parent = nullptr);

// The answers to a question about something that failed.
enum class Retry { TryAgain, GiveUp, Stay };
// A box with its own caption and three buttons with texts of their own: try again (the
// default), give up and go on, stay (Escape; also the answer of a box that goes unanswered).
Retry askRetry(Icon icon, const QString& caption, const QString& text, const QString& tryAgain,
               const QString& giveUp, const QString& stay, QWidget* parent = nullptr);

// A box with its own caption and three buttons with texts of their own; returns 0, 1 or 2 for
// the button chosen. The third is the default and the answer to Escape (and of a box that goes
// unanswered), so make it the choice that loses nothing.
int askOneOfThree(Icon icon, const QString& caption, const QString& text, const QString& first, const QString& second,
                  const QString& third, QWidget* parent = nullptr);

// A box with its own caption and object name, a further line below the text, a button with a
// text of its own (the default) and Cancel (Escape). Returns true for the first button.
bool offer(Icon icon, const QString& caption, const QString& text, const QString& detail, const QString& accept,
           const QString& objectName, QWidget* parent = nullptr);

// "Confirm", question icon, Yes and No. Returns true for Yes.
bool confirm(const QString& text, QWidget* parent = nullptr);
// "Information", information icon, OK.
void information(const QString& text, QWidget* parent = nullptr);
// "Warning", warning icon, OK.
void warning(const QString& text, QWidget* parent = nullptr);
// The standard error box: captioned with the application's title, error icon, OK.
// Also for the program's own failures reported the same way (a tip file too long).
void error(const QString& text, QWidget* parent = nullptr);

// The caption of the standard error box (the application's title).
QString applicationTitle();

} // namespace tv::msg
