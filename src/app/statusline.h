#pragma once
// Temporary message line for the status bar until the status bar control is available.

#include <QLabel>

namespace tv::app {

class StatusLine : public QLabel {
    Q_OBJECT
    Q_PROPERTY(QString Caption READ caption WRITE setCaption)
public:
    explicit StatusLine(QWidget* parent = nullptr) : QLabel(parent)
    {
        setFrameStyle(QFrame::Panel | QFrame::Sunken);
    }
    QString caption() const { return text(); }
    void setCaption(const QString& c) { setText(QLatin1Char(' ') + c); }
};

} // namespace tv::app
