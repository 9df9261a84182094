#pragma once
// Registration of services from the module files in the program's folder.
//
// TLoader reads every module file (*.so) of the folder through its
// registration exports, shows every service found with a check box (except
// those the caller leaves out) and hands the checked ones back as copies.
// The modules are read by the module reader, in a process of its own, or
// known from the module cache (uModuleCache): a module that crashes, hangs or
// returns garbage cannot take the console down. The files that could not be
// read are listed in one message, each with its reason, and the others are
// offered. A module whose rights do not fit the rights string or the
// catalogue is refused, never cut.
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
struct TModuleRecord;
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
    // A right's caption longer than the catalogue keeps.
    static constexpr int kMaxRightCaptionLength = 60;

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
    // Takes the services of one file as the module reader read it; fails with the file's reason.
    void ReadServices(const TModuleRecord &record, const QString &fileName);
    void FillList();
    // Sets every row's check: 1 all, 0 none, -1 each to its opposite.
    void SetChecks(int mode);
    int CheckedCount() const;
    QString ModuleFolderPath() const;
    TGetIProgress ProgressEntry() const;

    std::unique_ptr<TServiceListView> m_services;
};
