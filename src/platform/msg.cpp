#include "platform/msg.h"
#include "platform/platform.h"

#include <QAbstractButton>
#include <QApplication>
#include <QMessageBox>
#include <QPointer>

#include <initializer_list>

namespace tv::msg {

namespace {

QMessageBox::Icon qtIcon(Icon icon)
{
    switch (icon) {
    case Icon::Information: return QMessageBox::Information;
    case Icon::Warning: return QMessageBox::Warning;
    case Icon::Critical: return QMessageBox::Critical;
    case Icon::Question: return QMessageBox::Question;
    }
    return QMessageBox::NoIcon;
}

// A button given a text of its own.
struct Label {
    QMessageBox::StandardButton button;
    QString text;
};

QMessageBox::StandardButton run(Icon icon, const QString& caption, const QString& text,
                                QMessageBox::StandardButtons buttons, QMessageBox::StandardButton def,
                                QWidget* parent, std::initializer_list<Label> labels = {},
                                QMessageBox::StandardButton escape = QMessageBox::NoButton,
                                const QString& detail = {}, const QString& objectName = {})
{
    // On the heap: a parent destroyed while the box is open (a window closing itself from the
    // box's own event loop) takes the box with it, and exec() then answers NoButton.
    // A box of no window (a message while starting, when only the splash window is up, which
    // stays on top) is kept above the others, so that nothing covers it until it is answered
    // (exec() makes it modal to the whole program): it stays on top itself, and belongs to a
    // window that stays on top, so that window managers stack it above that one.
    const bool ownerless = !parent;
    if (ownerless)
        for (QWidget* w : QApplication::topLevelWidgets())
            if (w->isVisible() && w->windowFlags().testFlag(Qt::WindowStaysOnTopHint)
                && !qobject_cast<QMessageBox*>(w)) {
                parent = w;
                break;
            }
    QPointer<QMessageBox> box = new QMessageBox(qtIcon(icon), caption, text, buttons, parent);
    if (ownerless)
        box->setWindowFlag(Qt::WindowStaysOnTopHint);
    tv::platform::markFixedSize(box);
    box->setDefaultButton(def);
    if (escape != QMessageBox::NoButton)
        box->setEscapeButton(escape);
    for (const Label& l : labels)
        box->button(l.button)->setText(l.text);
    box->setTextFormat(Qt::PlainText);
    if (!detail.isEmpty())
        box->setInformativeText(detail);
    if (!objectName.isEmpty())
        box->setObjectName(objectName);
    const auto answer = QMessageBox::StandardButton(box->exec());
    delete box.data();
    return answer;
}

} // namespace

void notify(Icon icon, const QString& caption, const QString& text, QWidget* parent)
{
    run(icon, caption, text, QMessageBox::Ok, QMessageBox::Ok, parent);
}

bool ask(Icon icon, const QString& caption, const QString& text, QWidget* parent)
{
    return run(icon, caption, text, QMessageBox::Yes | QMessageBox::No, QMessageBox::Yes, parent) == QMessageBox::Yes;
}

Retry askRetry(Icon icon, const QString& caption, const QString& text, const QString& tryAgain,
               const QString& giveUp, const QString& stay, QWidget* parent)
{
    switch (run(icon, caption, text, QMessageBox::Retry | QMessageBox::Discard | QMessageBox::Cancel,
                QMessageBox::Retry, parent,
                {{QMessageBox::Retry, tryAgain}, {QMessageBox::Discard, giveUp}, {QMessageBox::Cancel, stay}},
                QMessageBox::Cancel)) {
    case QMessageBox::Retry: return Retry::TryAgain;
    case QMessageBox::Discard: return Retry::GiveUp;
    default: return Retry::Stay;
    }
}

int askOneOfThree(Icon icon, const QString& caption, const QString& text, const QString& first, const QString& second,
                  const QString& third, QWidget* parent)
{
    switch (run(icon, caption, text, QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel, QMessageBox::Cancel, parent,
                {{QMessageBox::Yes, first}, {QMessageBox::No, second}, {QMessageBox::Cancel, third}}, QMessageBox::Cancel)) {
    case QMessageBox::Yes: return 0;
    case QMessageBox::No: return 1;
    default: return 2;
    }
}

bool offer(Icon icon, const QString& caption, const QString& text, const QString& detail, const QString& accept,
           const QString& objectName, QWidget* parent)
{
    return run(icon, caption, text, QMessageBox::Ok | QMessageBox::Cancel, QMessageBox::Ok, parent,
               {{QMessageBox::Ok, accept}}, QMessageBox::Cancel, detail, objectName) == QMessageBox::Ok;
}

bool confirm(const QString& text, QWidget* parent)
{
    return ask(Icon::Question, QStringLiteral("Confirm"), text, parent);
}

void information(const QString& text, QWidget* parent)
{
    notify(Icon::Information, QStringLiteral("Information"), text, parent);
}

void warning(const QString& text, QWidget* parent)
{
    notify(Icon::Warning, QStringLiteral("Warning"), text, parent);
}

void error(const QString& text, QWidget* parent)
{
    notify(Icon::Critical, applicationTitle(), text, parent);
}

QString applicationTitle()
{
    const QString display = QGuiApplication::applicationDisplayName();
    return display.isEmpty() ? QCoreApplication::applicationName() : display;
}

} // namespace tv::msg
