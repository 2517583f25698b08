#include "calendar.h"

#include "platform/platform.h"

#include <QApplication>
#include <QCalendarWidget>
#include <QComboBox>
#include <QGuiApplication>
#include <QLineEdit>
#include <QLocale>
#include <QPainter>
#include <QPushButton>
#include <QStyle>

namespace tv {

namespace {

QIcon checkMarkIcon()
{
    auto draw = [](QColor fill, QColor outline) {
        QPixmap pm(16, 16);
        pm.fill(Qt::transparent);
        QPainter p(&pm);
        p.setRenderHint(QPainter::Antialiasing);
        QPolygonF tick({QPointF(2, 8), QPointF(6, 12), QPointF(14, 3), QPointF(14, 6), QPointF(6, 15), QPointF(2, 11)});
        p.setPen(QPen(outline, 1));
        p.setBrush(fill);
        p.drawPolygon(tick);
        return pm;
    };
    QIcon icon;
    icon.addPixmap(draw(QColor(0, 160, 0), QColor(0, 90, 0)), QIcon::Normal);
    icon.addPixmap(draw(Qt::transparent, QColor(128, 128, 128)), QIcon::Disabled);
    return icon;
}

const char* const kMonths[] = {"January", "February", "March",     "April",   "May",      "June",
                               "July",    "August",   "September", "October", "November", "December"};

} // namespace

TMyCalendar::TMyCalendar(QWidget* parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("MyCalendar"));
    setWindowTitle(QStringLiteral("Select a Date"));
    setWindowFlags(Qt::Dialog | Qt::FramelessWindowHint);
    setFixedSize(183, 157);
    QFont f(QStringLiteral("Arial"));
    f.setPixelSize(11);
    setFont(f);

    OkButton = new QPushButton(QStringLiteral("OK"), this);
    OkButton->setObjectName(QStringLiteral("OkButton"));
    OkButton->setGeometry(0, 0, 23, 22);
    OkButton->setIcon(checkMarkIcon());
    OkButton->setDefault(true);
    connect(OkButton, &QPushButton::clicked, this, &QDialog::accept);

    CancelButton = new QPushButton(QStringLiteral("Cancel"), this);
    CancelButton->setObjectName(QStringLiteral("CancelButton"));
    CancelButton->setGeometry(23, 0, 23, 22);
    CancelButton->setIcon(style()->standardIcon(QStyle::SP_DialogCancelButton));
    CancelButton->setAutoDefault(false);
    connect(CancelButton, &QPushButton::clicked, this, &QDialog::reject);

    MonthCombo = new QComboBox(this);
    MonthCombo->setObjectName(QStringLiteral("MonthCombo"));
    MonthCombo->setGeometry(46, 0, 86, 22);
    for (const char* m : kMonths)
        MonthCombo->addItem(QString::fromLatin1(m));
    // Dropped down as a list of nine (a style that opens the list as a menu over the box would
    // show all twelve).
    MonthCombo->setStyleSheet(QStringLiteral("QComboBox { combobox-popup: 0; }"));
    MonthCombo->setMaxVisibleItems(9);
    connect(MonthCombo, &QComboBox::activated, this, &TMyCalendar::MonthComboChange);

    YearCombo = new QComboBox(this);
    YearCombo->setObjectName(QStringLiteral("YearCombo"));
    YearCombo->setGeometry(130, 0, 53, 22);
    for (int y = 1994; y <= 2005; ++y)
        YearCombo->addItem(QString::number(y));
    connect(YearCombo, &QComboBox::activated, this, &TMyCalendar::YearComboChange);

    Calendar1 = new QCalendarWidget(this);
    Calendar1->setObjectName(QStringLiteral("Calendar1"));
    // Its side borders lie just outside the window; its foot ends with the window, so that the
    // last week shows whole.
    Calendar1->setGeometry(-1, 23, 185, height() - 23);
    Calendar1->setFirstDayOfWeek(Qt::Sunday);
    Calendar1->setNavigationBarVisible(false);
    Calendar1->setVerticalHeaderFormat(QCalendarWidget::NoVerticalHeader);
    Calendar1->setHorizontalHeaderFormat(QCalendarWidget::SingleLetterDayNames);
    Calendar1->setGridVisible(true);
    Calendar1->setToolTip(QStringLiteral("Click on Date to select"));
    connect(Calendar1, &QCalendarWidget::selectionChanged, this, &TMyCalendar::Calendar1Change);
    // A double click on a day (or Enter in the grid) confirms, like the OK button.
    connect(Calendar1, &QCalendarWidget::activated, this, [this](const QDate&) { accept(); });
}

void TMyCalendar::showEvent(QShowEvent* e)
{
    QDialog::showEvent(e);
    FormActivate();
}

void TMyCalendar::FormActivate()
{
    syncing_ = true;
    const QDate d = SelectedDate.isValid() ? SelectedDate : QDate::currentDate();
    Calendar1->setSelectedDate(d);
    OkButton->setText(QString());
    CancelButton->setText(QString());
    MonthCombo->setCurrentIndex(d.month() - 1);
    YearCombo->setCurrentIndex(YearCombo->findText(QString::number(d.year())));
    syncing_ = false;
    Calendar1Change();
}

void TMyCalendar::setGridDate(int year, int month, int day)
{
    QDate first(year, month, 1);
    if (!first.isValid())
        return;
    const QDate d(year, month, std::min(day, first.daysInMonth()));
    Calendar1->setCurrentPage(year, month);
    Calendar1->setSelectedDate(d);
    Calendar1Change();
}

void TMyCalendar::MonthComboChange()
{
    const QDate d = Calendar1->selectedDate();
    setGridDate(d.year(), MonthCombo->currentIndex() + 1, d.day());
}

void TMyCalendar::YearComboChange()
{
    const QDate d = Calendar1->selectedDate();
    setGridDate(YearCombo->currentText().toInt(), d.month(), d.day());
}

void TMyCalendar::Calendar1Change()
{
    if (syncing_)
        return;
    SelectedDate = Calendar1->selectedDate();
}

QPoint calendarPosition(QPoint topLeft, QPoint bottomRight, QSize window, QSize screen)
{
    int left = topLeft.x() + 1;
    if (left + window.width() > screen.width())
        left = screen.width() - window.width() - 1;
    int top = bottomRight.y() + 1;
    if (top + window.height() > screen.height())
        top = topLeft.y() - window.height();
    return QPoint(left, top);
}

bool ShowCalendarFor(const DateBox& box)
{
    QGuiApplication::setOverrideCursor(Qt::WaitCursor);
    TMyCalendar cal(box.widget ? box.widget->window() : nullptr);
    QGuiApplication::restoreOverrideCursor();

    const QString format = platform::shortDateFormat();
    const QString text = box.text ? box.text().trimmed() : QString();
    QDate initial = platform::parseShortDate(text);
    if (!initial.isValid())
        initial = QDate::currentDate();
    cal.SelectedDate = initial;

    if (box.widget) {
        const QRect r = box.widget->contentsRect();
        const QPoint tl = box.widget->mapToGlobal(r.topLeft());
        const QPoint br = box.widget->mapToGlobal(r.bottomRight());
        cal.move(calendarPosition(tl, br, cal.size(), platform::screenSize()));
    }

    if (cal.exec() != QDialog::Accepted)
        return false;
    const QString chosen = QLocale().toString(cal.SelectedDate, format);
    if (box.writeField)
        box.writeField(chosen);
    else if (box.setText)
        box.setText(chosen);
    return true;
}

bool ShowCalendarFor(QLineEdit* edit, std::function<void(const QString&)> writeField)
{
    DateBox box;
    box.widget = edit;
    box.text = [edit] { return edit->text(); };
    box.writeField = std::move(writeField);
    box.setText = [edit](const QString& t) { edit->setText(t); };
    return ShowCalendarFor(box);
}

} // namespace tv
