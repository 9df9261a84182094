#pragma once
// "Переместить в группу": the groups of an access group's menu as a tree,
// under the top level as its root, from which the administrator picks the
// group a menu node goes into.
#include <QDialog>

#include <functional>

class QPushButton;
class QTreeWidget;
class QTreeWidgetItem;

class TSelGroup : public QDialog {
    Q_OBJECT
public:
    explicit TSelGroup(QWidget *parent = nullptr);

    QTreeWidget *tvGroups;
    QPushButton *btnOk;
    QPushButton *btnCancel;
};

// Offers the group nodes below root (group(node) tells them; the moved node's
// own branch is not offered, nor the top level when topLevel is false) and
// returns the node of the editor's tree that was chosen, or null on Cancel.
QTreeWidgetItem *ChooseGroup(QTreeWidgetItem *root, const QTreeWidgetItem *moved, bool topLevel,
                             const std::function<bool(const QTreeWidgetItem *)> &group);
