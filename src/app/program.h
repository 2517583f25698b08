#pragma once
// The program's start, in order: hourglass and splash window, application title and help
// file, the data module, the main window, the report holders; then the message loop.

#include <QString>

#include <memory>
#include <vector>

class QObject;
class QWidget;

namespace tv::app {

class TMainForm;

class Program {
public:
    // Runs the start-up up to the message loop with the bases found in `dataDir`.
    explicit Program(const QString& dataDir);
    ~Program();
    Program(const Program&) = delete;
    Program& operator=(const Program&) = delete;

    // Shows the main window maximized and runs the message loop; ends at once when the data
    // module found no base. Returns the loop's exit code.
    int exec();
    // Shows the main window maximized with the search page in front (the first part of exec()).
    void show();

    TMainForm* mainForm() const { return m_form.get(); }
    // True when the data module asked for the end of the program (no base at all), or the
    // session ended during start-up.
    bool terminating() const { return m_terminate; }

private:
    // SIGTERM or SIGHUP: save the notes without asking and end.
    void endWithoutAsking();

    std::unique_ptr<QObject> m_endSignals;   // lives as long as the signals are watched
    std::unique_ptr<TMainForm> m_form;
    bool m_terminate = false;
};

} // namespace tv::app
