#include "controls/status.h"

#include "controls/docklayout.h"
#include "controls/gauge.h"

#include <QEvent>
#include <QFontMetrics>
#include <QLocale>
#include <QTimer>

namespace tv {

namespace {

const QString kDateSample = QStringLiteral("  00/00/00 00:00:00 am  ");
const QString kResourceSample = QString(20, QLatin1Char(' '));
const QString kCap = QStringLiteral("  Cap  ");
const QString kNum = QStringLiteral("  Num  ");
const QString kIns = QStringLiteral("  Ins  ");

// The locale's long time format without the time zone, which the desktop's long time never
// carried.
QString longTimeFormat(const QLocale& locale)
{
    QString f = locale.timeFormat(QLocale::LongFormat);
    QString out;
    bool quoted = false;
    for (qsizetype i = 0; i < f.size(); ++i) {
        const QChar c = f.at(i);
        if (c == QLatin1Char('\''))
            quoted = !quoted;
        if (!quoted && c == QLatin1Char('t'))
            continue;
        out += c;
    }
    return out.trimmed();
}

} // namespace

TStatus::TStatus(QWidget* owner)
    : TPanel(owner)
{
    setFocusPolicy(Qt::NoFocus);
    QFont f(QStringLiteral("Arial"));
    f.setPointSize(8);
    setFont(f);
    setBevelInner(bvNone);
    setBevelOuter(bvRaised);
    resize(owner ? owner->width() : 400, 19);
    if (owner)
        tv::setAlign(this, alBottom);

    m_dateTime = makePanel(kDateSample, alRight);
    m_resource = makePanel(kResourceSample, alRight);
    m_caps = makePanel(kCap, alRight);
    m_num = makePanel(kNum, alRight);
    m_ins = makePanel(kIns, alRight);
    m_message = makePanel(QString(), alClient);
    m_message->setAlignment(taLeftJustify);

    m_gauge = new TGauge(m_resource);
    m_gauge->setMinValue(0);
    m_gauge->setMaxValue(100);
    m_gauge->setBorderStyle(bsNone);
    m_gauge->setBackColor(Color());
    m_gauge->setForeColor(QColor(0, 255, 0));
    tv::setAlign(m_gauge, alClient);

    m_timer = new QTimer(this);
    m_timer->setInterval(500);
    connect(m_timer, &QTimer::timeout, this, &TStatus::Refresh);
    m_timer->start();
}

TStatus::~TStatus()
{
    // Freed in the reverse order of creation: timer, gauge, panels.
    delete m_timer;
    delete m_gauge;
    for (TPanel* p : {m_message, m_ins, m_num, m_caps, m_resource, m_dateTime})
        delete p;
}

TPanel* TStatus::makePanel(const QString& sample, TAlign align)
{
    auto* p = new TPanel(this);
    p->setAlignment(taCenter);
    p->setCaption(QString());
    p->setBevelInner(bvLowered);
    p->setBevelOuter(bvNone);
    p->resize(textWidth(sample), height());
    tv::setAlign(p, align);
    return p;
}

int TStatus::textWidth(const QString& s) const
{
    return QFontMetrics(font()).horizontalAdvance(s);
}

void TStatus::showPart(bool& part, bool v)
{
    part = v;
    m_layoutPending = true;
}

QString TStatus::Caption() const
{
    return m_message->Caption();
}

void TStatus::setCaption(const QString& text)
{
    m_message->setCaption(QLatin1Char(' ') + text);
}

void TStatus::changeEvent(QEvent* event)
{
    if (event->type() == QEvent::FontChange)
        m_layoutPending = true;
    TPanel::changeEvent(event);
}

QColor TStatus::GaugeColor(int value)
{
    if (value >= 50)
        return QColor(0, 255, 0);
    if (value >= 20)
        return QColor(255, 255, 0);
    return QColor(255, 0, 0);
}

QString TStatus::DateTimeText(const QDateTime& now) const
{
    const QLocale locale;
    const QString date = locale.toString(now.date(), QLocale::ShortFormat);
    const QString time = locale.toString(now.time(), longTimeFormat(locale));
    if (m_showDate && m_showTime)
        return date + QLatin1Char(' ') + time;
    if (m_showDate)
        return date;
    if (m_showTime)
        return time;
    return QString();
}

void TStatus::Refresh()
{
    auto setWidth = [](TPanel* p, int w) { p->resize(w, p->height()); };

    // 1-2: date and time.
    m_dateTime->setCaption(DateTimeText(m_sources.now ? m_sources.now() : QDateTime::currentDateTime()));
    if (m_layoutPending)
        setWidth(m_dateTime, (m_showDate || m_showTime)
                                 ? textWidth(QStringLiteral("  ") + m_dateTime->Caption() + QStringLiteral("  "))
                                 : 0);

    // 3-4: free memory.
    if (m_showResources) {
        const platform::MemoryStatus ms = m_sources.memoryStatus ? m_sources.memoryStatus() : platform::MemoryStatus{};
        m_gauge->setProgress(100 - ms.memoryLoad);
        m_gauge->setForeColor(GaugeColor(m_gauge->Progress()));
    }
    if (m_layoutPending)
        setWidth(m_resource, m_showResources ? textWidth(kResourceSample) : 0);

    // 5-6: key toggles, read in the order Num Lock, Caps Lock, Insert.
    if (m_showKeys) {
        auto read = [](const std::function<bool()>& f) { return f ? f() : false; };
        m_num->setCaption(read(m_sources.numLock) ? kNum : QString());
        m_caps->setCaption(read(m_sources.capsLock) ? kCap : QString());
        m_ins->setCaption(read(m_sources.insert) ? kIns : QString());
    }
    if (m_layoutPending) {
        setWidth(m_num, m_showKeys ? textWidth(QStringLiteral(" Num ")) : 0);
        setWidth(m_ins, m_showKeys ? textWidth(QStringLiteral(" Ins ")) : 0);
        setWidth(m_caps, m_showKeys ? textWidth(QStringLiteral(" Cap ")) : 0);
    }

    // 7.
    m_layoutPending = false;
}

} // namespace tv
