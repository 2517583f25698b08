#pragma once
// Shared helpers of the main window tests: sample bases in a temporary folder, a running main
// window over a chosen set of them, clicks on named controls and answers to modal boxes.

#include "app/mainform.h"
#include "support/modalanswerer.h"

#include <QAction>
#include <QObject>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

#include <functional>
#include <memory>

namespace apptest {

// Pins the locale and registers the font substitutes (call from initTestCase).
void initApplication();

// The main window tests' common base: the application set up before the first test.
class WindowTest : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { initApplication(); }
};

// A folder holding the listed base files (with their companions) of the sample set; all
// nine when `files` is empty.
class BaseFolder {
public:
    explicit BaseFolder(const QStringList& files = {});
    QString path() const { return m_dir.path(); }
    // Overwrites part of a base file with garbage (a damaged base).
    void damage(const QString& file) const;

private:
    QTemporaryDir m_dir;
};

// A named control or menu entry of a window (nullptr when there is none).
QWidget* control(const QWidget* window, const char* name);
QAction* action(const QWidget* window, const char* name);

// Every base file name of the sample set.
QStringList allBaseFiles();

// The column of a grid that shows a field (named in any case), or -1.
int gridColumn(const tv::DBGrid* grid, const QString& field);

// Answers modal boxes and keeps what they said.
using tvtest::ModalAnswerer;

// The data module over `folder` and a main window on it, shown.
class Session {
public:
    explicit Session(const QString& folder);
    ~Session();
    tv::app::TMainForm& form() { return *m_form; }
    QWidget* w(const char* name) const;
    QAction* action(const char* name) const;
    // How many of the six clipboard tools (three buttons, three Edit menu entries) are on.
    int clipboardToolsOn() const;
    // A real mouse click on a named button (must be visible and enabled to act).
    void click(const char* name) const;
    void showPage(int tab) const;

private:
    std::unique_ptr<tv::app::TMainForm> m_form;
};

// A session over a folder of its own holding the listed sample bases (all nine when none
// are listed).
class SampleSession : public BaseFolder, public Session {
public:
    explicit SampleSession(const QStringList& files = {}) : BaseFolder(files), Session(path()) {}
};

} // namespace apptest
