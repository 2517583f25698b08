#pragma once
// The splash window shown while the program starts.

#include <QWidget>

namespace tv::app {

class TSplash : public QWidget {
    Q_OBJECT
public:
    TSplash();
    // The 358 x 445 picture the window shows.
    static QPixmap picture();
    // Ends the splash: the screen cursor goes back to the arrow and the window is destroyed
    // once the current event is handled (or, while a box it owns is open, once that closes). Runs when the window first loses activation (or the
    // main window first becomes active, for platforms that never activate the splash).
    void FormDeactivate();

protected:
    void changeEvent(QEvent* e) override;

private:
    bool m_ending = false;
};

// The splash window of this run, while it exists.
TSplash* Splash();

} // namespace tv::app
