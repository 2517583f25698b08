#pragma once
// TWinSplit: a thin bar that resizes one neighbouring control, its target, by dragging. The bar
// docks to the same edge as the target (so it sits right beside it when created after it); an
// inverted line follows the mouse while dragging, and on release the target's width (left or
// right docking) or height (top or bottom) changes by the distance dragged, kept within
// MinTargetSize and MaxTargetSize (0 = no maximum).

#include "controls/panel.h"

#include <QMetaObject>
#include <QPoint>
#include <QPointer>

namespace tv {

class TWinSplit : public TPanel {
    Q_OBJECT
    Q_PROPERTY(QWidget* TargetControl READ TargetControl WRITE setTargetControl)
    Q_PROPERTY(uint MinTargetSize READ MinTargetSize WRITE setMinTargetSize)
    Q_PROPERTY(uint MaxTargetSize READ MaxTargetSize WRITE setMaxTargetSize)

public:
    explicit TWinSplit(QWidget* parent = nullptr);
    ~TWinSplit() override;

    QWidget* TargetControl() const { return m_target; }
    // A target docked left/right/top/bottom gives the bar the same docking and the matching
    // split cursor; nothing, the bar itself or a target docked otherwise leaves it without
    // target and docking.
    void setTargetControl(QWidget* target);
    uint MinTargetSize() const { return m_min; }
    void setMinTargetSize(uint v);
    uint MaxTargetSize() const { return m_max; }
    void setMaxTargetSize(uint v);

    bool Vertical() const { return m_vertical; }
    bool Dragging() const { return m_dragging; }
    QPoint Offset() const { return m_offset; }
    // The inverted line shown while dragging (null otherwise), a child of the bar's window.
    QWidget* DragLine() const { return m_line; }

    // The drag, as the mouse drives it.
    virtual void BeginSplit();
    virtual void MoveSplit(int x, int y);
    virtual void EndSplit();
    // The target's size for the current offset; *limited tells whether a limit applied.
    virtual int NewTargetSize(bool* limited) const;

signals:
    void OnBeginSplit();
    void OnMoveSplit();
    void OnEndSplit();

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;

private:
    void targetDestroyed();
    void stopDragging();
    void drawLine();
    void eraseLine();

    QPointer<QWidget> m_target;
    QMetaObject::Connection m_targetConnection;
    uint m_min = 0;
    uint m_max = 0;
    bool m_vertical = false;
    bool m_dragging = false;
    QPoint m_offset;
    QWidget* m_line = nullptr;
};

} // namespace tv
