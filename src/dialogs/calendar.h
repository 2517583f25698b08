#pragma once
// The calendar window of the private base's date box, and the routine that runs it.

#include <QDate>
#include <QDialog>

#include <functional>

class QCalendarWidget;
class QComboBox;
class QLineEdit;
class QPushButton;

namespace tv {

class TMyCalendar : public QDialog {
    Q_OBJECT

public:
    explicit TMyCalendar(QWidget* parent = nullptr);

    QPushButton* OkButton = nullptr;
    QPushButton* CancelButton = nullptr;
    QComboBox* MonthCombo = nullptr;
    QComboBox* YearCombo = nullptr;
    QCalendarWidget* Calendar1 = nullptr;

    QDate SelectedDate;

    void MonthComboChange();
    void YearComboChange();
    void Calendar1Change();

protected:
    void showEvent(QShowEvent* e) override;

private:
    void FormActivate();
    // Moves the grid, keeping the day where the month has it, else the month's last day.
    void setGridDate(int year, int month, int day);
    bool syncing_ = false;
};

// What ShowCalendarFor needs of a date box: the widget (for its place on the screen), its
// text, and, when it is bound to a field, how to write that field.
struct DateBox {
    QWidget* widget = nullptr;
    std::function<QString()> text;
    // Writes the field from text; empty when the box is bound to no field.
    std::function<void(const QString&)> writeField;
    // Sets the box's own text (used when there is no field).
    std::function<void(const QString&)> setText;
};

// Where the calendar window of size `window` goes for a box whose client area runs from
// `topLeft` to `bottomRight` (screen coordinates) on a screen of size `screen`.
QPoint calendarPosition(QPoint topLeft, QPoint bottomRight, QSize window, QSize screen);

// Shows the calendar next to the box, modally; on OK writes the chosen date in the short date
// format. Returns whether the user confirmed.
bool ShowCalendarFor(const DateBox& box);
// Convenience for a plain line edit bound to no field (and for a bound edit, with a writer).
bool ShowCalendarFor(QLineEdit* edit, std::function<void(const QString&)> writeField = {});

} // namespace tv
