#include "Console/uMenuTree.h"

#include <QDragMoveEvent>
#include <QDropEvent>
#include <QMouseEvent>

TMenuTree::TMenuTree(QWidget *parent) : QTreeWidget(parent)
{
    setHeaderHidden(true);
    setEditTriggers(NoEditTriggers);
    setSelectionBehavior(SelectRows);
    setDragEnabled(true);
    setAcceptDrops(true);
    setDragDropMode(DragDrop);
    setDefaultDropAction(Qt::MoveAction);
}

void TMenuTree::mousePressEvent(QMouseEvent *event)
{
    QTreeWidgetItem *item = itemAt(event->position().toPoint());
    QTreeWidget::mousePressEvent(event);
    if (OnPress)
        OnPress(item, event->button(), event->globalPosition().toPoint());
}

void TMenuTree::dragEnterEvent(QDragEnterEvent *event) { event->acceptProposedAction(); }

void TMenuTree::dragMoveEvent(QDragMoveEvent *event)
{
    QTreeWidget::dragMoveEvent(event); // scrolls near the edges
    if (OnDragOver && OnDragOver(itemAt(event->position().toPoint())))
        event->acceptProposedAction();
    else
        event->ignore();
}

// The form writes the move and rebuilds the tree; the drag reports a copy so
// that the view removes nothing itself.
void TMenuTree::dropEvent(QDropEvent *event)
{
    QTreeWidgetItem *target = itemAt(event->position().toPoint());
    event->setDropAction(Qt::CopyAction);
    event->accept();
    if (OnDrop)
        OnDrop(target);
}
