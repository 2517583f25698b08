#pragma once
// TStatus: a self-updating status bar docked at the bottom of its owner. A message on the left;
// at the right end the date and time, a gauge of free physical memory and the states of the
// Caps Lock, Num Lock and Insert keys. An inner timer refreshes everything twice a second; the
// owner only sets Caption.
//
// Insert has no system toggle on every platform: the owner reports every Insert key press to
// tv::platform::noteInsertKeyPress().

#include "controls/panel.h"
#include "platform/platform.h"

#include <QDateTime>

#include <functional>

class QTimer;

namespace tv {

class TGauge;

class TStatus : public TPanel {
    Q_OBJECT
    Q_PROPERTY(bool ShowDate READ ShowDate WRITE setShowDate)
    Q_PROPERTY(bool ShowKeys READ ShowKeys WRITE setShowKeys)
    Q_PROPERTY(bool ShowTime READ ShowTime WRITE setShowTime)
    Q_PROPERTY(bool ShowResources READ ShowResources WRITE setShowResources)
    Q_PROPERTY(QString Caption READ Caption WRITE setCaption)

public:
    // Docks itself at the bottom of `owner` (height 19, raised outer bevel, "Arial" 8 point).
    // The owner needs a DockLayout or no layout at all (one is created); for a QMainWindow give
    // the central widget as owner.
    explicit TStatus(QWidget* owner);
    ~TStatus() override;

    bool ShowDate() const { return m_showDate; }
    void setShowDate(bool v) { showPart(m_showDate, v); }
    bool ShowKeys() const { return m_showKeys; }
    void setShowKeys(bool v) { showPart(m_showKeys, v); }
    bool ShowTime() const { return m_showTime; }
    void setShowTime(bool v) { showPart(m_showTime, v); }
    bool ShowResources() const { return m_showResources; }
    void setShowResources(bool v) { showPart(m_showResources, v); }

    // The message panel's text. Setting puts one blank before the text; reading returns the
    // panel's text as it stands (with that blank).
    QString Caption() const;
    void setCaption(const QString& text);

    // One refresh, as run by every tick of the inner timer.
    void Refresh();
    bool LayoutPending() const { return m_layoutPending; }

    // Where the refresh reads the machine's state; the platform layer unless replaced
    // (tests give fixed values).
    struct Sources {
        std::function<platform::MemoryStatus()> memoryStatus = &platform::memoryStatus;
        std::function<bool()> numLock = &platform::numLockOn;
        std::function<bool()> capsLock = &platform::capsLockOn;
        std::function<bool()> insert = &platform::insertOn;
        std::function<QDateTime()> now = &QDateTime::currentDateTime;
    };
    void setSources(Sources sources) { m_sources = std::move(sources); }

    // The inner controls, in creation order (message panel last).
    TPanel* DateTimePanel() const { return m_dateTime; }
    TPanel* ResourcePanel() const { return m_resource; }
    TPanel* CapsPanel() const { return m_caps; }
    TPanel* NumPanel() const { return m_num; }
    TPanel* InsertPanel() const { return m_ins; }
    TPanel* MessagePanel() const { return m_message; }
    TGauge* Gauge() const { return m_gauge; }
    QTimer* Timer() const { return m_timer; }

    // Colour of the memory bar for a gauge value: green from 50, yellow from 20, red below.
    static QColor GaugeColor(int value);
    // The date-time text for the current flags and the given moment.
    QString DateTimeText(const QDateTime& now) const;

protected:
    void changeEvent(QEvent* event) override;

private:
    TPanel* makePanel(const QString& sample, TAlign align);
    int textWidth(const QString& s) const;
    // Shows or hides one of the panels; their widths are set again by the next Refresh().
    void showPart(bool& part, bool v);

    bool m_showDate = true;
    bool m_showKeys = true;
    bool m_showTime = true;
    bool m_showResources = true;
    bool m_layoutPending = true;
    TPanel* m_dateTime = nullptr;
    TPanel* m_resource = nullptr;
    TPanel* m_caps = nullptr;
    TPanel* m_num = nullptr;
    TPanel* m_ins = nullptr;
    TPanel* m_message = nullptr;
    TGauge* m_gauge = nullptr;
    QTimer* m_timer = nullptr;
    Sources m_sources;
};

} // namespace tv
