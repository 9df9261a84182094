#pragma once
// TBaseForm: the ancestor of the data forms, forms that show queries in grids.
//
// - Every data set of the form works on the session and scheme it is given
//   (with a session but no scheme, the session's user name is the scheme).
// - The rights string ("mode") switches the form's features: a derived form
//   registers one access function per right in AddAccessFuncs, and each is
//   called with its right's character.
// - One set of grid actions works on whichever grid has the focus: find,
//   sort, report and filter through the form library, and the record moves.
// - The check column (RCHECK) of a grid is drawn as check boxes and toggled
//   with the space bar or a click (SetRCheck).
// - The form cannot be closed while it is being built; queries that do not
//   prepare are reported with a diagnostic.
// - The ordering a user chose for a query (its macro FIELD) is remembered in
//   ComFormGFG.INI when the user sorts (and when the form closes) and applied
//   when the form next gets its session and scheme, before its queries open:
//   at construction, or later through SetSession and SetScheme, as the console
//   hands them to a service's window. Opening and closing a form without a
//   change writes no file.
// - The columns of a grid as the user arranged them (order and widths) are
//   remembered per form and grid in the same file, and the pop-up menu's
//   "reset columns" gives back the design.
// - The status text (StatusText) counts the records of the focused grid's
//   data set, and of its master for a detail.
// - Components added by the create event or later are set up as well: a
//   registry (ScrollList) finds them.
//
// A data form declares its components in its constructor (queries, data
// sources, TDBGrids with their Hint, the settings name) and is made with
// TBaseForm::Create<TMyForm>(parent, session, scheme, mode); see uDlgBaseForm
// for the dialog variant.
#include "Core/PlatformExport.h"
#include "Source/ComUnits/uBaseFormSettings.h"
#include "Source/ComUnits/uChkCount.h"
#include "Source/ComUnits/uComFunctions.h"
#include "Source/ComUnits/uScrollComponents.h"
#include "Source/ComUnits/uTDBGridInterface_IMPL.h"
#include "Source/FormReposit/uComBaseForm.h"

#include <QHash>
#include <QIcon>
#include <QList>
#include <QPointer>
#include <QRect>
#include <QString>
#include <QVector>

#include <functional>
#include <memory>

class QAbstractItemView;
class QMenu;
class TDataSet;
class TField;
class TMacro;
class TOraDataSet;
class TOraQuery;
class TOraSession;

class PLATFORM_EXPORT TBaseForm : public TComBaseForm {
    Q_OBJECT
public:
    TBaseForm(QWidget *parent = nullptr, TOraSession *session = nullptr, const QString &scheme = QString(),
              const QString &mode = QString());
    ~TBaseForm() override;

    // --- state
    bool Closing() const { return m_closing; }
    bool Built() const { return m_built; }
    const QString &FMode() const { return m_mode; }
    TOraSession *Session() const { return m_session; }
    // The scheme; when it is empty an error box says so (and the empty scheme is returned).
    QString GetShema();
    QString Scheme() const { return m_scheme; }
    bool BindDb() const { return m_bindDb; }
    const TAccessFuncList &AccessFuncs() const { return m_accessFuncs; }
    const TDBIntList &GridInterfaces() const { return m_gridInterfaces; }
    const QList<TField *> &SortFields() const { return m_sortFields; }
    // The registry of the form's components: what the create event or later
    // code adds is set up when the form next scans (on showing, on a new child
    // of the form, when focus enters an unknown control, before a grid action).
    TScrollComponentList &ScrollList() { return m_scrollList; }
    // The settings records of the grids whose data set is a prepared query.
    const std::vector<std::unique_ptr<TDBGridOfQuery>> &Grids() const { return m_grids; }
    void ScanComponents();
    // The record counts of the data set of the focused grid (and its master).
    TChkStateList *CheckStates() const { return m_checkStates.get(); }
    QString StatusText() const { return m_checkStates ? m_checkStates->Text() : QString(); }
    QString StatusHint() const { return m_checkStates ? m_checkStates->Hint() : QString(); }

    // Points every data set of the form at another session or scheme (only while AllowRebind).
    virtual void SetSession(TOraSession *session);
    virtual void SetScheme(const QString &scheme);

    // Toggles the check column of the current record: the data set must be
    // given, have records and be writable; the value is inverted and posted
    // (a refused post is cancelled), and stored for the order-lines report
    // (a failed store puts the old value back).
    void SetRCheck(TDataSet *DS);
    // The grid that has the focus, or null after asking the user to select a table.
    virtual QAbstractItemView *GetFocusedGrid();
    // The interface object of a grid of the form, or null.
    IDBGrid *GridInterface(const QAbstractItemView *grid) const;
    // The grids of the form that were set up, in set-up order.
    QList<QAbstractItemView *> SetUpGrids() const;

    // Where a maximised form goes: from the bottom edge of the main form (the
    // visible top-level widget "fmMain") to the bottom of the work area;
    // without a main form 600 pixels high at 500 from the top; always inside the work area.
    static QRect MaximizedRect(const QRect &workArea, const QWidget *mainForm);
    static QWidget *MainForm();

    // --- fields a derived form sets
    bool CanClose = false;
    QString BusyText;
    bool AllowRebind = true;
    bool FilterState = false;
    QString CheckField;
    TDataSet *MainDataSet = nullptr;
    TOraQuery *MainQuery = nullptr;

    // --- design components
    TOraSession *MainSession;
    TOraQuery *OraQuery1;
    QMenu *PopupMenu1;
    QAction *pFind;
    QAction *pSort;
    QAction *pReport;
    QAction *pFilter;
    QAction *pFirst;
    QAction *pPrev;
    QAction *pNext;
    QAction *pLast;
    QAction *pRefresh;
    QAction *EmptyAction;
    QAction *EmptyAction1;
    // The separator before the record moves in PopupMenu1.
    QAction *NavigationSeparator;
    // Mass selection of a grid's check column, offered in the pop-up menu of a grid that has one.
    QAction *pSelectAll;
    QAction *pSelectNone;
    QAction *pInvertSelection;
    // The focused grid's columns back to the design.
    QAction *pResetColumns;
    // The action pictures 0 to 11 (empty until the resource library gives them).
    QVector<QIcon> ImageList1;

protected:
    // --- what a derived form overrides, in the order the form calls it
    // Registers one access function per right (AccessFuncsList().Add).
    virtual void AddAccessFuncs() {}
    // Sets MainDataSet and MainQuery when they are not OraQuery1.
    virtual void AssignMainDataSet() {}
    virtual bool GetCheckValue(const TField *field) { return GetCheckFldValue(field); }
    virtual void SetCheckValue(TField *field, bool checked) { SetCheckFldValue(field, checked); }
    virtual void DoFind(QAbstractItemView *grid, IDBGrid *intf);
    virtual void DoSort(QAbstractItemView *grid, IDBGrid *intf);
    virtual void DoReport(QAbstractItemView *grid, IDBGrid *intf);
    virtual void DoFilter(QAbstractItemView *grid, IDBGrid *intf);
    // The interface object of a data grid that is no TDBGrid; null: none known.
    virtual std::unique_ptr<TGridInterfaced> DynamicAssignGridIntClass(QAbstractItemView *grid);
    // Lets a form give a macro of a query its value before the grids are set up.
    virtual void PrepareQueryMacros(TOraDataSet *query, TMacro &macro);
    // Sets up one data grid (derived forms call the base first).
    virtual void SettDBGrid(QAbstractItemView *grid);
    // The data-set half of the grid setup (check column width, prepare, the
    // fields' capability tags); a form whose queries open only when it gets
    // its session and scheme runs it again then.
    void SetUpGridDataSet(QAbstractItemView *grid);
    // Whether a grid of a prepared query gets its settings record (and filter button).
    virtual bool AllowGridOfQuery(QAbstractItemView *) { return true; }
    virtual void BeforeSetupComponents() {}
    virtual void AfterSetupComponents() {}

    TAccessFuncList &AccessFuncsList() { return m_accessFuncs; }

    // --- the building steps
    bool OldCreateOrder() const override { return true; }
    void BeforeCreateEvent() override;
    void AfterCreateEvent() override;
    void BeforeCloseEvent() override;
    void SetSources() override;
    void LoadGlyphs() override;
    bool CloseQuery() override;

    void showEvent(QShowEvent *event) override;
    void changeEvent(QEvent *event) override;
    void contextMenuEvent(QContextMenuEvent *event) override;
    void childEvent(QChildEvent *event) override;

private:
    void FillAccess();
    void bindComponents();
    void setupComponents();
    void registerSetupHandlers();
    void setupQuery(TOraDataSet *query);
    void setupEdit(QWidget *widget);
    void followFocus(QWidget *now);
    void setupGrid(QAbstractItemView *grid);
    bool prepareGridQuery(TOraDataSet *query);
    void addGridOfQuery(QAbstractItemView *grid, TOraDataSet *query);
    void tagFields(TDataSet *dataSet);
    void warnGridsWithoutHint();
    // The orderings of the form's queries and the arrangements of its grids in the grid settings file.
    bool remembersOrderings() const;
    void restoreOrdering(TOraDataSet *query);
    void restoreOrderings();
    void storeOrdering(TOraDataSet *query);
    void storeOrderings();
    QString columnsKey(const QAbstractItemView *grid) const;
    void restoreColumns(QAbstractItemView *grid);
    void storeColumns();
    void runMassSelection(void (IDBGrid::*select)());
    void resetFocusedColumns();
    void createActions();
    void runGridAction(const std::function<void(QAbstractItemView *, IDBGrid *)> &body);
    void moveFocusedDataSet(void (*step)(TDataSet *));
    void focusMainGrid();
    void applyMaximize();
    QAbstractItemView *focusedDataGrid() const;
    QAbstractItemView *gridOfDataSet(const TDataSet *dataSet) const;
    void showFormError(const QString &russian, const QString &english);
    void AnotherBeforeConnect(TOraSession *session);

    bool m_closing = false;
    bool m_built = false;
    QString m_mode;
    TOraSession *m_session = nullptr;
    QString m_scheme;
    bool m_bindDb = false;
    TAccessFuncList m_accessFuncs;
    TDBIntList m_gridInterfaces;
    QList<TField *> m_sortFields;
    QList<QPointer<QAbstractItemView>> m_setUpGrids;
    QRect m_geometryBeforeMaximize;
    // The module file of the form's class, named while the form is whole.
    QString m_settingsModule;
    bool m_orderingsStored = false;
    // The design ordering of each query whose stored ordering was looked for.
    QHash<const TOraDataSet *, QString> m_designOrderings;
    QAction *m_selectionSeparator = nullptr;
    TScrollComponentList m_scrollList;
    std::vector<std::unique_ptr<TDBGridOfQuery>> m_grids;
    std::unique_ptr<TChkStateList> m_checkStates;
    bool m_scanQueued = false;
    QMetaObject::Connection m_focusFollower;
};

// The diagnostic of a query that does not prepare: the error and its likely
// reasons; with [DBG_SETTINGS] CAN of Settings.ini also the further reasons,
// the query's SQL and its macros.
PLATFORM_EXPORT QString PrepareDiagnostic(const QString &formName, TOraDataSet *query, const QString &errorText,
                                          bool debugDetails);
