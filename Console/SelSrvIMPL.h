#pragma once
// Choice of catalogue services, with their rights, for new menu items.
#include "Source/ComUnits/uBaseService.h"

#include <QDialog>
#include <QString>
#include <QVector>

#include <functional>

class QAction;
class QCheckBox;
class QLabel;
class QPushButton;
class QTableView;
class QToolBar;
class QTreeWidget;
class QTreeWidgetItem;
class TDataSet;
class TDataSource;
class TOraQuery;
class TSelSrvModel;

using TSrvItemArray = QVector<TSrvItem>;
using TSrvModeArray = QVector<QString>;
// True for a catalogue service id that may still be offered.
using TSrvCheck = std::function<bool(int itemId)>;

class TSelSrv : public QDialog {
    Q_OBJECT
public:
    explicit TSelSrv(QWidget *parent = nullptr);
    ~TSelSrv() override;

    // The catalogue (V_SRVITEMS, by service name), the rights of every service
    // (V_SRVITEMS_MODE_ALL) and those of the current service (V_SRVITEMS_MODE).
    TOraQuery *SrvItemTbl;
    TOraQuery *V_SRVITEMS_MODE_ALL;
    TOraQuery *V_SRVITEMS_MODE;
    // The offered services (F_SEL, SrvName, DLLName, ITEMID, CREATEBTN, GUID)
    // and every right of every service (ITEMID, SORT_ORDER, NAME, F_CHECK).
    TDataSet *DS;
    TDataSet *cdsRights;
    TDataSource *DataSource1;

    QTableView *DBGrid1;
    QToolBar *tbServices;
    QCheckBox *chRightsAll;
    QLabel *stxtRights;
    QToolBar *tbRights;
    QTreeWidget *RightList;
    QPushButton *btnOk;
    QPushButton *btnCancel;
    QAction *acSellAll;
    QAction *acDeSellAll;
    QAction *acInvSell;
    QAction *acSinhr;
    QAction *actSelAll;
    QAction *actInvertSel;
    QAction *actUnSelect;

    TSrvCheck FCheck;
    // True while the rights list is being filled: its changes are not stored.
    bool FUpdating = true;

    // Reads the rights and the services the check accepts; false when none is offered.
    bool Prepare();
    // Chooses every service (1), none (0) or inverts the choice (-1).
    void SelectServices(int mode);
    // Chooses or un-chooses the grid's current service.
    void ToggleCurrent();
    // The rights list of the current service.
    void ShowRights();
    // "1" and one "0" or "1" per right of the service, in rights order.
    QString ModeOf(int itemId);
    // The chosen services and their rights strings, in grid order.
    void GetResults(TSrvItemArray &items, TSrvModeArray &modes);

    void accept() override;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void buildControls();
    void loadResources();
    void setTexts();
    void readRights();
    void readServices();
    int currentItemId() const;
    // With chRightsAll ticked, gives every right of the service the value.
    void syncRights(int itemId, int value, bool show);
    void storeTick(QTreeWidgetItem *row);
    void setAllTicks(int mode);
    TSelSrvModel *m_model = nullptr;
    bool m_toggledByView = false;
};

// Offers the services that check accepts; on OK fills items and modes (same
// length, same order: one rights string per chosen service) and returns true.
// With nothing to offer it says so and returns false without a window.
bool ChooseServices(TSrvItemArray &items, TSrvModeArray &modes, const TSrvCheck &check);
