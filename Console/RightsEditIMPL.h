#pragma once
// The rights editor of one menu item: a small window with one check box per
// right of the item's access list, in the list's order.
#include <QDialog>

class QAction;
class QLabel;
class QPushButton;
class QToolBar;
class QTreeWidget;
class QTreeWidgetItem;
class TMnuItem;

class TRightsEdit : public QDialog {
    Q_OBJECT
public:
    explicit TRightsEdit(QWidget *parent = nullptr);

    QLabel *stxtServiceName;
    QToolBar *tbRights;
    QTreeWidget *lvRightList;
    QPushButton *btnOk;
    QPushButton *btnCancel;
    QAction *acSelAll;
    QAction *acInvertSel;
    QAction *acUnSelect;
    // The edited item; not owned.
    TMnuItem *FItem = nullptr;

    // The smallest size the window takes.
    static constexpr int kMinWidth = 301;
    static constexpr int kMinHeight = 254;

    // Shows the item's rights (PrepareRightTo) and the header; the first row gets the focus.
    void PrepareRights();
    void accept() override;

protected:
    void changeEvent(QEvent *event) override;

private:
    void loadResources();
    // Ticks (1), clears (0) or inverts (-1) every row.
    void setAllChecks(int mode);
    // A row whose caption would not fit widens the window and its column.
    void fitRow(const QTreeWidgetItem *row);
    void keepBelowMainWindow();
};

// Shows the item's rights with check boxes; on OK copies the ticks into the
// item's access list and returns true. Writes nothing to the database.
bool EditRights(TMnuItem *item);
