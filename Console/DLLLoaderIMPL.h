#pragma once
// Registration of services from the module files in the program's folder.
//
// TLoader reads every module file (*.so) of the folder through its
// registration exports, shows every service found with a check box (except
// those the caller leaves out) and hands the checked ones back as copies.
// Each module is loaded by its full path, read, and unloaded again; whatever
// the window keeps of it (texts, rights, reports, icons) is copied first. A
// module that fails is reported in a box captioned with its file name and the
// other modules are read.
#include "Source/ComUnits/uComFormLibs.h"

#include <QDialog>
#include <QIcon>
#include <QString>

#include <functional>
#include <memory>

class QAction;
class QPushButton;
class QTableWidget;
class QToolBar;
class TBaseServiceList;
class TModuleLibrary;
class TServiceListView;

// True for an identifier the caller leaves out (typically one already in the catalogue).
using TLoaderFilter = std::function<bool(const QString &guid)>;

// Reads every module of the program's folder, lets the user tick the services
// found and appends copies of the ticked ones to list. True when confirmed;
// false also when the user stopped the reading in the progress window.
bool ShowLoader(TBaseServiceList &list, const TLoaderFilter &filter);

class TLoader : public QDialog {
    Q_OBJECT
public:
    // Identifiers and module file names longer than the catalogue keeps.
    static constexpr int kMaxIdentifierLength = 50;

    explicit TLoader(QWidget *parent = nullptr);
    ~TLoader() override;

    // The caller's test of identifiers to leave out; none: every service is offered.
    TLoaderFilter OnFilter;
    // The folder whose module files are read: the module folder unless set.
    QString Folder;
    // The form library's progress window entry; found in the form library when not set.
    TGetIProgress GetIProgress = nullptr;

    // Reads the folder; shows the window when something was found. True when confirmed.
    bool Execute();
    // Reads every module of the folder into Services and fills the list.
    // Raises ETerminated when the user stops it in the progress window.
    void LoadAll();
    // Appends copies of the checked rows' services to the list, in row order.
    void GetList(TBaseServiceList &list) const;
    TServiceListView &Services() const { return *m_services; }

    QTableWidget *ListView1;
    QPushButton *btnOk;
    QPushButton *btnCancel;
    QToolBar *ToolBar1;
    QAction *acSellAll;
    QAction *acDeSellAll;
    QAction *acInvSell;

    void done(int result) override;

protected:
    // A maximised window keeps below the main window.
    void changeEvent(QEvent *event) override;

private:
    void LoadModule(const QString &fileName);
    void ReadServices(const TModuleLibrary &library, const QString &fileName);
    void FillList();
    // Sets every row's check: 1 all, 0 none, -1 each to its opposite.
    void SetChecks(int mode);
    int CheckedCount() const;
    QStringList ModuleFiles() const;
    TGetIProgress ProgressEntry() const;

    std::unique_ptr<TServiceListView> m_services;
};
