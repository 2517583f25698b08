#pragma once
// Docking of child controls to the edges of their parent.
//
// Every docked child carries an align (`alTop`, `alBottom`, `alLeft`, `alRight`, `alClient`)
// kept with the widget (tv::alignOf). The layout places the children in passes: first every top
// child, then bottom, left, right and finally client; within a pass in creation order (the
// order of the parent's children). Each child keeps its own extent across its edge (its
// height for top/bottom, its width for left/right) and is stretched along it; the client
// child fills what remains. Hidden children take no room.
//
// Usage:
//     auto* bar = new QWidget(form);  bar->resize(0, 28);  tv::setAlign(bar, tv::alTop);
//     auto* pane = new QWidget(form); tv::setAlign(pane, tv::alClient);
// setAlign() puts the widget into its parent's DockLayout, creating one when the parent has
// no layout yet. Resizing a docked child (e.g. `grid->resize(300, grid->height())` for a left
// docked one) re-runs the layout with the new extent.

#include "controls/types.h"

#include <QHash>
#include <QLayout>
#include <QList>
#include <QRect>

namespace tv {

class DockLayout : public QLayout {
    Q_OBJECT
public:
    explicit DockLayout(QWidget* parent = nullptr);
    ~DockLayout() override;

    // Docks `w` (a child of the layout's parent) as `align`; alNone removes it from the layout.
    void addWidget(QWidget* w, TAlign align);
    // Changes the align of a widget already docked here (or docks it).
    void setAlign(QWidget* w, TAlign align);
    // The widgets docked here, in placing order within each pass (creation order).
    QList<QWidget*> dockedWidgets() const;

    // QLayout
    void addItem(QLayoutItem* item) override;  // docks by tv::alignOf(widget)
    QLayoutItem* itemAt(int index) const override;
    QLayoutItem* takeAt(int index) override;
    int count() const override;
    void setGeometry(const QRect& rect) override;
    QSize sizeHint() const override;
    QSize minimumSize() const override;
    Qt::Orientations expandingDirections() const override;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QList<QLayoutItem*> orderedItems() const;

    QList<QLayoutItem*> m_items;
    QHash<const QWidget*, QRect> m_assigned;  // geometry last given to each child
};

// The align stored on a widget (alNone when never docked).
TAlign alignOf(const QWidget* w);
// Stores the align on `w` and docks it in its parent's DockLayout (creating the layout when the
// parent has none). A parent with another kind of layout only gets the property stored.
void setAlign(QWidget* w, TAlign align);

} // namespace tv
