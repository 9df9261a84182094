#pragma once
// The menu editor's tree of one access group's menu: its own mouse press,
// drag-over and drop go to the editor.
#include <QTreeWidget>

#include <functional>

class TMenuTree : public QTreeWidget {
    Q_OBJECT
public:
    explicit TMenuTree(QWidget *parent = nullptr);

    std::function<void(QTreeWidgetItem *item, Qt::MouseButton button, QPoint globalPos)> OnPress;
    std::function<bool(QTreeWidgetItem *target)> OnDragOver;
    std::function<void(QTreeWidgetItem *target)> OnDrop;

protected:
    void mousePressEvent(QMouseEvent *event) override;
    void dragEnterEvent(QDragEnterEvent *event) override;
    void dragMoveEvent(QDragMoveEvent *event) override;
    void dropEvent(QDropEvent *event) override;
};
