#pragma once
// Small construction helpers shared by the main window's builders: fonts in 96-dpi pixels,
// named controls with their Tag and hint, the flat buttons of the two rows, separators,
// shadow labels, and a panel that docks its children the way the window's design expects.

#include <QColor>
#include <QFont>
#include <QFrame>
#include <QString>

class QAbstractButton;
class QLabel;

namespace tv::app {

QFont arialPx(int px, bool bold = false, bool italic = false);

// Gives a widget or action its design name and, when tag != 0, its Tag.
void name(QObject* o, const char* objectName, int tag = 0);
// Hint: tooltip and status-bar text.
void setHint(QWidget* w, const QString& hint);

// A flat 25x25 toolbar button at (x, 2) of its row, with its own picture.
QAbstractButton* flatButton(QWidget* row, const char* objectName, int x, int tag, const QString& hint);
// A 2x26 separator with a lowered bevel at (x, 2).
QFrame* separator(QWidget* row, int x, const char* objectName = nullptr);

enum class TextStyle { None, Raised, Recessed, Shadow };
// A label drawn with a raised, recessed or shadowed caption.
QLabel* shadowLabel(QWidget* parent, const char* objectName, const QString& text, const QFont& font,
                    const QColor& colour, TextStyle style);

// How a child of a DockPanel is placed: in creation order, top/bottom/left/right children take
// their height or width off the free rectangle, client children fill what is left, others stay
// where they are put.
enum class Align { None, Top, Bottom, Left, Right, Client };
void setAlign(QWidget* w, Align a);
Align alignOf(const QWidget* w);

class DockPanel : public QFrame {
    Q_OBJECT
public:
    explicit DockPanel(QWidget* parent = nullptr);
    void relayout();

protected:
    void resizeEvent(QResizeEvent* e) override;
    bool event(QEvent* e) override;
    bool eventFilter(QObject* watched, QEvent* e) override;

private:
    bool m_inLayout = false;
};

} // namespace tv::app
