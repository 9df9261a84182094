#pragma once
// The menu editor's second tab, the service catalogue: every service that may
// be put into a menu, with its module file and button flag. The administrator
// registers services from module files, sets or clears button flags, deletes
// services and takes a service out of every menu. Every change is one or more
// MENUPACK calls, committed at once.
#include "Console/uMenuConflicts.h"

#include <QWidget>

#include <functional>

class QAction;
class QMenu;
class QToolBar;
class TBaseServiceList;
class TDBGrid;
class TDataSource;
class TOraPackage;
class TOraSession;
class TQRByDataSet;
class TSmartQuery;

// What the catalogue asks of the editor that holds it.
struct TCatalogueHooks {
    // Runs a user action: a failure is rolled back and shown, the data read again.
    std::function<void(const std::function<void()> &)> guarded;
    // The rows the running action relies on, for telling another administrator's change.
    std::function<void(const QList<TReliedRow> &)> relyOn;
    // Something was written; menuRowsChanged: the menus' rows too (the tree is read again).
    std::function<void(bool menuRowsChanged)> changed;
};

class TServiceCatalogue : public QWidget {
    Q_OBJECT
public:
    TServiceCatalogue(QWidget *parent, TOraPackage *pack, TCatalogueHooks hooks);

    TSmartQuery *SrvItemTbl;
    TDataSource *SrvItemDSrc;
    // The printable listing of the catalogue (Ctrl+V in its grid).
    TQRByDataSet *ViewDS;
    TDBGrid *dbgServices;
    QToolBar *dbnavServices;
    QToolBar *tlbrServices;
    QMenu *pmServiceMnu;
    QAction *acAddSrv;
    QAction *acDelSrv;
    QAction *acRefreshSrv;
    QAction *acDelEntires;
    QAction *acSellAll;
    QAction *acDeSellAll;
    QAction *acInvSellAll;

    // The session of every query and commit; without a language pack the names are the stored ones.
    void SetSession(TOraSession *session, bool languagePack);
    // The grid's columns once it shows rows.
    void FitColumns();
    void LoadGlyphs();
    // The catalogue's actions are available on its tab with rows (onTab false: none).
    void UpdateActions(bool onTab);

    // Reloads the catalogue and stands on the service it stood on.
    void Refresh();
    // Whether the catalogue holds the identifier, whatever its case.
    bool GUIDExists(const QString &guid);
    // Writes CREATEBTN for every row: 1, 0, or -1 for the opposite; one commit.
    void tbSelectType(int mode);
    // Flips CREATEBTN of the current row.
    void ToggleCreateBtn();
    // Deletes the current service after its questions (and from every menu when it is in one).
    void DeleteService();

    // The registration window; tests put their own in place.
    static std::function<bool(TBaseServiceList &, const std::function<bool(const QString &)> &)> ShowLoaderProc;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void createActions();
    void setupFields();
    TReliedRow currentService() const;
    bool ConfirmDeleteService();
    void acAddSrvExecute();
    void acDelEntiresExecute();
    void acViewDSExecute();
    void commit();

    TOraPackage *m_pack;
    TOraSession *m_session = nullptr;
    TCatalogueHooks m_hooks;
    // Set only while the delete has already confirmed the removal of the menu entries.
    bool FConfirmed = false;
};
