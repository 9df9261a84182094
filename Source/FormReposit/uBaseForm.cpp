#include "Source/FormReposit/uBaseForm.h"

#include "Core/DialogService.h"
#include "Core/Exceptions.h"
#include "Core/IniFile.h"
#include "Core/ResourcePack.h"
#include "DataAccess/OraQuery.h"
#include "DataAccess/OraSession.h"
#include "Source/ComUnits/uBaseService.h"
#include "Source/ComUnits/uComFormGFG.h"
#include "Source/ComUnits/uComFormLibInt.h"
#include "Source/ComUnits/uComLog.h"
#include "Source/ComUnits/uDBGrid.h"
#include "Source/ComUnits/uOraFunctions.h"
#include "Ui/DataSetModel.h"
#include "Ui/ResourceColors.h"
#include "Ui/ResourceLibrary.h"

#include <QAbstractItemView>
#include <QAbstractProxyModel>
#include <QAbstractSpinBox>
#include <QApplication>
#include <QContextMenuEvent>
#include <QHeaderView>
#include <QLineEdit>
#include <QMenu>
#include <QPlainTextEdit>
#include <QScreen>
#include <QTextEdit>
#include <QTimer>
#include <QWheelEvent>

namespace {

// One wheel notch is 120 eighths of a degree: a grid moves one record per
// 120 of turn, however the turn comes (a mouse's notch, a touchpad's many small steps).
constexpr int kWheelStep = 120;

class TGridWheelMover : public QObject {
public:
    explicit TGridWheelMover(QAbstractItemView *grid) : QObject(grid->viewport()), m_grid(grid)
    {
        grid->viewport()->installEventFilter(this);
    }

protected:
    bool eventFilter(QObject *, QEvent *event) override
    {
        if (event->type() != QEvent::Wheel)
            return false;
        auto *wheel = static_cast<QWheelEvent *>(event);
        const int turn = wheel->angleDelta().y();
        TDataSet *ds = DataSetOfView(m_grid);
        if (turn == 0 || !ds || !ds->Active())
            return false;
        if ((turn > 0) != (m_accumulated > 0))
            m_accumulated = 0;
        m_accumulated += turn;
        try {
            for (; m_accumulated >= kWheelStep; m_accumulated -= kWheelStep)
                ds->Prior();
            for (; m_accumulated <= -kWheelStep; m_accumulated += kWheelStep)
                ds->Next();
        } catch (const EAbort &) {
            m_accumulated = 0;
        } catch (const std::exception &e) {
            m_accumulated = 0;
            qCWarning(lcCom) << "wheel move refused:" << ExceptionMessage(e);
        }
        wheel->accept();
        return true;
    }

private:
    QAbstractItemView *m_grid;
    int m_accumulated = 0;
};

// A read-only edit answers typing with a beep.
class TReadOnlyBeep : public QObject {
public:
    using QObject::QObject;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        auto *edit = qobject_cast<QLineEdit *>(watched);
        if (edit && edit->isReadOnly() && event->type() == QEvent::KeyPress &&
            !static_cast<QKeyEvent *>(event)->text().isEmpty() &&
            static_cast<QKeyEvent *>(event)->text().at(0).isPrint())
            QApplication::beep();
        return false;
    }
};

// A grid of either family: a TDBGrid, or another view over a data set (not the header of one).
bool isDataGrid(const QAbstractItemView *view)
{
    return qobject_cast<const TDBGrid *>(view) || (!qobject_cast<const QHeaderView *>(view) && DataSetOfView(view));
}

// The field a view shows in a column, for either grid family.
TField *fieldOfColumn(const QAbstractItemView *view, int column)
{
    if (auto *grid = qobject_cast<const TDBGrid *>(view))
        return grid->Model() ? grid->Model()->FieldOfColumn(column) : nullptr;
    const QAbstractItemModel *model = view ? view->model() : nullptr;
    while (auto *proxy = qobject_cast<const QAbstractProxyModel *>(model))
        model = proxy->sourceModel();
    auto *dataModel = qobject_cast<const TDataSetModel *>(model);
    return dataModel ? dataModel->FieldOfColumn(column) : nullptr;
}

// The kinds of field that the form library can search, sort, filter and list.
bool taggableType(TFieldType type)
{
    switch (type) {
    case TFieldType::ftString:
    case TFieldType::ftSmallint:
    case TFieldType::ftInteger:
    case TFieldType::ftWord:
    case TFieldType::ftBoolean:
    case TFieldType::ftFloat:
    case TFieldType::ftCurrency:
    case TFieldType::ftBCD:
    case TFieldType::ftDate:
    case TFieldType::ftTime:
    case TFieldType::ftDateTime:
    case TFieldType::ftBlob:
    case TFieldType::ftMemo:
    case TFieldType::ftFmtMemo:
    case TFieldType::ftFixedChar:
    case TFieldType::ftWideString:
    case TFieldType::ftLargeint:
    case TFieldType::ftOraBlob:
    case TFieldType::ftVariant:
    case TFieldType::ftTimeStamp:
    case TFieldType::ftFMTBcd:
        return true;
    default:
        return false;
    }
}

// The capability tags of the form library: 255 = 0xF9 | 0xFA | 0xFC, 252 = 0xFC alone.
constexpr int kAllCapabilities = 255;
constexpr int kListCapability = 252;

void writeCheck(TDataSet *ds, const std::function<void()> &write)
{
    ds->Edit();
    try {
        write();
        ds->Post();
    } catch (...) {
        // A refused post leaves nothing half-edited.
        ds->Cancel();
        throw;
    }
}

} // namespace

// --- construction

TBaseForm::TBaseForm(QWidget *parent, TOraSession *session, const QString &scheme, const QString &mode)
    : TComBaseForm(parent), m_mode(mode), m_session(session)
{
    m_scheme = scheme.isEmpty() && session ? session->Username().trimmed() : scheme;
    m_bindDb = session && !m_scheme.isEmpty();
    if (session)
        TOraSession::SetDefaultSession(session);
    BusyText = CaseMessageTxt(QStringLiteral("TBaseForm.Create: Приложение занято"),
                              QStringLiteral("TBaseForm.Create: The application occupied"));
    CheckField = QString::fromLatin1(kDefaultCheckField);

    // A session of the design that must never be used: a connection through it means a data set was not rebound.
    MainSession = new TOraSession(this);
    MainSession->setObjectName(QStringLiteral("MainSession"));
    MainSession->Options().NeverConnect = true;
    MainSession->SetConnectPrompt(false);
    MainSession->BeforeConnect = [this](TOraSession *s) { AnotherBeforeConnect(s); };

    OraQuery1 = new TOraQuery(this);
    OraQuery1->setObjectName(QStringLiteral("OraQuery1"));
    OraQuery1->SetSession(MainSession);
    OraQuery1->SetSQL({QStringLiteral("SELECT * FROM &shema"), QStringLiteral("&ORDER &FIELD")});
    OraQuery1->MacroByName(QStringLiteral("ORDER")).SetValue(QStringLiteral("ORDER BY"));
    OraQuery1->MacroByName(QStringLiteral("FIELD")).SetValue(QStringLiteral("ID"));
    OraQuery1->SQLRefresh = {QStringLiteral("WHERE"), QStringLiteral("  ID = :ID")};
    OraQuery1->SQLUpdate = {QStringLiteral("begin"), QStringLiteral("null;"), QStringLiteral("end;")};
    OraQuery1->Options().LocalUpdate = true;
    MainDataSet = OraQuery1;
    MainQuery = OraQuery1;

    ImageList1.resize(12);
    createActions();
}

TBaseForm::~TBaseForm()
{
    if (!m_orderingsStored)
        storeOrderings();
    // Focus moves while the controls go: nothing of this form may hear of it then.
    disconnect(m_focusFollower);
    // The watchers leave their data sets before the data sets go.
    m_checkStates.reset();
    m_grids.clear();
    // The interface objects leave their grids before the grids go.
    m_gridInterfaces.Clear();
}

void TBaseForm::createActions()
{
    PopupMenu1 = new QMenu(this);
    PopupMenu1->setObjectName(QStringLiteral("PopupMenu1"));
    const auto make = [this](const char *name, const char *caption, const QKeySequence &shortcut) {
        auto *action = new QAction(QString::fromUtf8(caption), this);
        action->setObjectName(QString::fromLatin1(name));
        action->setShortcut(shortcut);
        action->setShortcutContext(Qt::WindowShortcut);
        action->setProperty("category", QStringLiteral("popup menu на ведущий набор"));
        addAction(action);
        return action;
    };
    pFind = make("pFind", "Искать", QKeySequence(Qt::CTRL | Qt::Key_F));
    pSort = make("pSort", "Сортировать", QKeySequence(Qt::CTRL | Qt::Key_S));
    pReport = make("pReport", "Отчет", QKeySequence(Qt::CTRL | Qt::Key_R));
    pFilter = make("pFilter", "Фильтровать", QKeySequence(Qt::CTRL | Qt::Key_A));
    pFirst = make("pFirst", "На первую запись", QKeySequence(Qt::CTRL | Qt::ALT | Qt::Key_F));
    pPrev = make("pPrev", "На предыдущую запись", QKeySequence(Qt::CTRL | Qt::ALT | Qt::Key_P));
    pNext = make("pNext", "На следующую запись", QKeySequence(Qt::CTRL | Qt::ALT | Qt::Key_N));
    pLast = make("pLast", "На последнюю запись", QKeySequence(Qt::CTRL | Qt::ALT | Qt::Key_L));
    pRefresh = make("pRefresh", "Обновить данные", QKeySequence(Qt::CTRL | Qt::ALT | Qt::Key_R));
    // Swallow keys that would delete records in the grids.
    EmptyAction = make("EmptyAction", "", QKeySequence(Qt::CTRL | Qt::Key_Delete));
    EmptyAction1 = make("EmptyAction1", "", QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Delete));

    // Menu entries without a key of their own.
    const auto entry = [this](const char *name) {
        auto *action = new QAction(this);
        action->setObjectName(QString::fromLatin1(name));
        return action;
    };
    pSelectAll = entry("pSelectAll");
    pSelectNone = entry("pSelectNone");
    pInvertSelection = entry("pInvertSelection");
    pResetColumns = entry("pResetColumns");

    PopupMenu1->addActions({pFind, pSort, pReport, pFilter});
    NavigationSeparator = PopupMenu1->addSeparator();
    PopupMenu1->addActions({pFirst, pPrev, pNext, pLast, pRefresh});
    m_selectionSeparator = PopupMenu1->addSeparator();
    PopupMenu1->addActions({pSelectAll, pSelectNone, pInvertSelection});
    PopupMenu1->addSeparator();
    PopupMenu1->addAction(pResetColumns);

    const auto body = [this](void (TBaseForm::*method)(QAbstractItemView *, IDBGrid *)) {
        return [this, method] {
            runGridAction([this, method](QAbstractItemView *g, IDBGrid *i) { (this->*method)(g, i); });
        };
    };
    connect(pFind, &QAction::triggered, this, body(&TBaseForm::DoFind));
    connect(pSort, &QAction::triggered, this, body(&TBaseForm::DoSort));
    connect(pReport, &QAction::triggered, this, body(&TBaseForm::DoReport));
    connect(pFilter, &QAction::triggered, this, body(&TBaseForm::DoFilter));
    connect(pSelectAll, &QAction::triggered, this, [this] { runMassSelection(&IDBGrid::SelectAll); });
    connect(pSelectNone, &QAction::triggered, this, [this] { runMassSelection(&IDBGrid::SelectNone); });
    connect(pInvertSelection, &QAction::triggered, this, [this] { runMassSelection(&IDBGrid::InvertSelection); });
    connect(pResetColumns, &QAction::triggered, this, &TBaseForm::resetFocusedColumns);
    connect(pFirst, &QAction::triggered, this, [this] { moveFocusedDataSet([](TDataSet *ds) { ds->First(); }); });
    connect(pPrev, &QAction::triggered, this, [this] { moveFocusedDataSet([](TDataSet *ds) { ds->Prior(); }); });
    connect(pNext, &QAction::triggered, this, [this] { moveFocusedDataSet([](TDataSet *ds) { ds->Next(); }); });
    connect(pLast, &QAction::triggered, this, [this] { moveFocusedDataSet([](TDataSet *ds) { ds->Last(); }); });
    connect(pRefresh, &QAction::triggered, this, [this] { moveFocusedDataSet([](TDataSet *ds) { ds->Refresh(); }); });
}

// Before the create event: rights, the main data set, the session and scheme.
void TBaseForm::BeforeCreateEvent()
{
    m_checkStates = std::make_unique<TChkStateList>([this](TDataSet *ds) { return gridOfDataSet(ds); }, this);
    m_focusFollower =
        connect(qApp, &QApplication::focusChanged, this, [this](QWidget *, QWidget *now) { followFocus(now); });
    FillAccess();
    AssignMainDataSet();
    bindComponents();
}

// After the create event: what it added is bound too, then every component is set up.
void TBaseForm::AfterCreateEvent()
{
    m_settingsModule = FormModuleName(this);
    bindComponents();
    setupComponents();
    warnGridsWithoutHint();
    m_built = true;
    CanClose = true;
}

void TBaseForm::FillAccess()
{
    m_accessFuncs.Clear();
    AddAccessFuncs();
    const int count = m_accessFuncs.Count();
    if (count == 0)
        return;
    const auto denyAll = [this, count] {
        for (int i = 0; i < count; ++i)
            if (const TAccessFunc &func = m_accessFuncs.Items(i))
                func(false);
    };
    // Without a valid rights string nothing guarded is granted.
    if (m_mode.isEmpty()) {
        denyAll();
        return;
    }
    if (!IsRightsString(m_mode)) {
        MsgBoxCaptioned(this,
                        TranslateAplText(QStringLiteral("rstr_msg_IncorrectAccessMode")) +
                            QStringLiteral(": FMode = \"%1\"").arg(m_mode),
                        TranslateAplText(QStringLiteral("rstrReports")), 1);
        denyAll();
        return;
    }
    if (m_mode.size() != count + 1)
        throw Exception(TranslateAplText(QStringLiteral("rstr_msg_IncorrectAccessRights")) + QLatin1Char('\n') +
                        TranslateAplText(QStringLiteral("rstr_msg_FulfilServiceRewrite")));
    for (int i = 0; i < count; ++i) {
        const TAccessFunc &func = m_accessFuncs.Items(i);
        Z_ASSERT(func, QStringLiteral("TBaseForm.FillAccess: FuncAccessList.Items[%1]=nil").arg(i));
        func(RightGranted(m_mode, i + 1));
    }
}

void TBaseForm::bindComponents()
{
    if (!m_bindDb)
        return;
    SetComponentsSession(this, m_session);
    fSetShema(this, m_scheme);
}

void TBaseForm::SetSession(TOraSession *session)
{
    if (!AllowRebind)
        return;
    m_session = session;
    m_bindDb = m_session && !m_scheme.isEmpty();
    if (m_session) {
        TOraSession::SetDefaultSession(m_session);
        SetComponentsSession(this, m_session);
    }
    restoreOrderings();
}

void TBaseForm::SetScheme(const QString &scheme)
{
    if (!AllowRebind)
        return;
    m_scheme = scheme;
    m_bindDb = m_session && !m_scheme.isEmpty();
    if (!m_scheme.isEmpty())
        fSetShema(this, m_scheme);
    restoreOrderings();
}

QString TBaseForm::GetShema()
{
    if (m_scheme.isEmpty())
        showFormError(QStringLiteral("TBaseForm.GetShema: Схема не определена!"),
                      QStringLiteral("TBaseForm.GetShema: Scheme is not defined!"));
    return m_scheme;
}

void TBaseForm::showFormError(const QString &russian, const QString &english)
{
    MsgBoxCaptioned(this, CaseMessageTxt(russian, english), TranslateAplText(QStringLiteral("rstrReports")), 1);
}

void TBaseForm::SetSources()
{
    TComBaseForm::SetSources();
    const std::pair<QAction *, const char *> texts[] = {
        {pFind, "rstr_to_Search"},   {pSort, "rstr_to_Sort"},      {pReport, "rstrReport"},
        {pFilter, "rstr_to_Filter"}, {pFirst, "rstr_to_FirstRec"}, {pPrev, "rstr_to_PriorRec"},
        {pNext, "rstr_to_NextRec"},  {pLast, "rstr_to_LastRec"},   {pRefresh, "rstr_to_RefreshData"},
    };
    for (const auto &[action, id] : texts) {
        const QString text = TranslateAplText(QString::fromLatin1(id));
        action->setText(text);
        action->setToolTip(text);
        AddNoTranslate(action);
    }
    const std::pair<QAction *, const char *> entries[] = {{pSelectAll, "rstr_to_SelectAll"},
                                                          {pSelectNone, "rstr_to_Unselect"},
                                                          {pInvertSelection, "rstr_to_InvertSelect"},
                                                          {pResetColumns, "rstr_to_ResetColumns"}};
    for (const auto &[action, id] : entries) {
        action->setText(TranslateAplText(QString::fromLatin1(id)));
        AddNoTranslate(action);
    }
    for (QObject *component :
         std::initializer_list<QObject *>{EmptyAction, EmptyAction1, PopupMenu1, MainSession, OraQuery1, acDBGExist})
        AddNoTranslate(component);
}

void TBaseForm::LoadGlyphs()
{
    static const int bitmaps[] = {1, 2, 3, 5, 6, 7, 8, 9, 4, 10, 11, 12};
    for (int i = 0; i < int(std::size(bitmaps)); ++i) {
        const QIcon glyph = ResourceGlyph(bitmaps[i]);
        if (!glyph.isNull())
            ImageList1[i] = glyph;
    }
    const std::pair<QAction *, int> images[] = {{pFind, 0}, {pSort, 1}, {pReport, 2},  {pFirst, 3}, {pPrev, 4},
                                                {pNext, 5}, {pLast, 6}, {pRefresh, 7}, {pFilter, 8}};
    for (const auto &[action, image] : images)
        if (!ImageList1[image].isNull())
            action->setIcon(ImageList1[image]);
}

// --- setting up the components

void TBaseForm::setupComponents()
{
    BeforeSetupComponents();
    registerSetupHandlers();
    m_scrollList.AddRoot(this);
    m_scrollList.Scan();
    if (m_checkStates) {
        m_checkStates->SetActive(MainDataSet);
        m_checkStates->UpdateState();
    }
    AfterSetupComponents();
}

// The set-up of each kind of component; they stay registered, so that
// components made after the form was built are set up by a later scan.
void TBaseForm::registerSetupHandlers()
{
    m_scrollList.AddHandler(&TOraDataSet::staticMetaObject, this, QStringLiteral("setupQuery"),
                            [this](QObject *c) { setupQuery(static_cast<TOraDataSet *>(c)); });
    m_scrollList.AddHandler(&QAbstractItemView::staticMetaObject, this, QStringLiteral("setupGrid"),
                            [this](QObject *c) {
                                auto *view = static_cast<QAbstractItemView *>(c);
                                if (isDataGrid(view))
                                    setupGrid(view);
                            });
    for (const QMetaObject *editClass : {&QLineEdit::staticMetaObject, &QAbstractSpinBox::staticMetaObject,
                                         &QTextEdit::staticMetaObject, &QPlainTextEdit::staticMetaObject})
        m_scrollList.AddHandler(editClass, this, QStringLiteral("setupEdit"),
                                [this](QObject *c) { setupEdit(static_cast<QWidget *>(c)); });
}

void TBaseForm::ScanComponents()
{
    m_scanQueued = false;
    if (m_built)
        m_scrollList.Scan();
}

void TBaseForm::childEvent(QChildEvent *event)
{
    TComBaseForm::childEvent(event);
    // A child is not whole when it is added: look at it once the event loop comes back.
    if (event->added() && m_built && !m_scanQueued) {
        m_scanQueued = true;
        QTimer::singleShot(0, this, &TBaseForm::ScanComponents);
    }
}

void TBaseForm::setupQuery(TOraDataSet *query)
{
    for (int i = 0; i < query->MacroCount(); ++i)
        PrepareQueryMacros(query, query->Macros().Items(i));
    // Deleting is refused silently unless the form says how its query deletes.
    if (!query->BeforeDelete)
        query->BeforeDelete = [](TDataSet *) { throw EAbort(QString()); };
    if (!m_built)
        restoreOrdering(query);
}

void TBaseForm::setupEdit(QWidget *widget)
{
    if (!widget->isEnabled()) {
        QPalette palette = widget->palette();
        palette.setColor(QPalette::Base, clDisabled);
        widget->setPalette(palette);
    }
    if (auto *line = qobject_cast<QLineEdit *>(widget); line && line->isReadOnly() && line->isEnabled())
        line->installEventFilter(new TReadOnlyBeep(line));
}

void TBaseForm::followFocus(QWidget *now)
{
    if (!now || !isAncestorOf(now))
        return;
    if (!m_scrollList.Known(now))
        ScanComponents();
    if (!m_checkStates)
        return;
    for (QWidget *w = now; w && w != this; w = w->parentWidget())
        if (auto *view = qobject_cast<QAbstractItemView *>(w); view && m_checkStates->Find(DataSetOfView(view))) {
            m_checkStates->SetActive(DataSetOfView(view));
            return;
        }
}

void TBaseForm::PrepareQueryMacros(TOraDataSet *, TMacro &) {}

std::unique_ptr<TGridInterfaced> TBaseForm::DynamicAssignGridIntClass(QAbstractItemView *) { return nullptr; }

void TBaseForm::setupGrid(QAbstractItemView *grid)
{
    if (m_gridInterfaces.Find(grid))
        return;
    SettDBGrid(grid);
}

void TBaseForm::SettDBGrid(QAbstractItemView *grid)
{
    std::unique_ptr<TGridInterfaced> made;
    if (auto *dbGrid = qobject_cast<TDBGrid *>(grid))
        made = std::make_unique<TDBGridIntObj>(dbGrid);
    else
        made = DynamicAssignGridIntClass(grid);
    if (!made) {
        const QString className = QString::fromLatin1(grid->metaObject()->className());
        showFormError(
            QStringLiteral("TBaseForm.AssignInterfacedClass: Класс интерфейса для компонента \"") + className +
                QStringLiteral("\" не определен.\nПереопределите процедуру "
                               "TBaseForm.DynamicAssignGridIntClass"),
            QStringLiteral("TBaseForm.AssignInterfacedClass: The class of the interface for the component \"") +
                className +
                QStringLiteral("\" is not defined.\nReassign "
                               "TBaseForm.DynamicAssignGridIntClass procedure!"));
        made = std::make_unique<TGridInterfaced>(grid);
    }
    TGridInterfaced *intf = made.get();
    m_gridInterfaces.Add(std::move(made));
    m_setUpGrids.append(grid);

    // Editing and tab moves off, the selection always shown.
    intf->SetOptions((intf->GetOptions() & ~(DBGridOption(dgEditing) | DBGridOption(dgTabs))) |
                     DBGridOption(dgAlwaysShowSelection));
    intf->SetCheckFieldName(CheckField);
    intf->SetCheckColumnOwnerDrawn(true);
    QFont titleFont = intf->TitleFont();
    titleFont.setBold(false);
    titleFont.setItalic(false);
    titleFont.setUnderline(false);
    titleFont.setStrikeOut(false);
    intf->SetTitleFont(titleFont);
    intf->OnToggleCheck = [this, grid] { SetRCheck(DataSetOfView(grid)); };
    new TGridWheelMover(grid);
    SetUpGridDataSet(grid);
    restoreColumns(grid);
}

void TBaseForm::SetUpGridDataSet(QAbstractItemView *grid)
{
    TDataSet *ds = DataSetOfView(grid);
    if (!ds)
        return;
    if (TField *check = ds->FindField(CheckField);
        check && check->DisplayName() == TranslateAplText(QStringLiteral("rstrIntoReport")))
        check->SetDisplayWidth(7);
    if (auto *query = qobject_cast<TOraDataSet *>(ds)) {
        m_checkStates->Add(query);
        // A form that has no session and scheme yet has nothing to prepare against.
        if (m_bindDb && prepareGridQuery(query) && !query->IsPLSQL() && AllowGridOfQuery(grid))
            addGridOfQuery(grid, query);
    }
    tagFields(ds);
}

bool TBaseForm::prepareGridQuery(TOraDataSet *query)
{
    const bool wasPrepared = query->Prepared();
    try {
        query->Prepare();
        if (!wasPrepared)
            query->UnPrepare();
        return true;
    } catch (const std::exception &e) {
        const bool details = ComSettingsIni().ReadBool(QStringLiteral("DBG_SETTINGS"), QStringLiteral("CAN"), false);
        MsgBoxKind(this, PrepareDiagnostic(objectName(), query, ExceptionMessage(e), details), 1);
        return false;
    }
}

void TBaseForm::addGridOfQuery(QAbstractItemView *grid, TOraDataSet *query)
{
    // A grid set up again when its queries open keeps its one record.
    for (const auto &record : m_grids)
        if (record->Grid() == grid)
            return;
    m_grids.push_back(std::make_unique<TDBGridOfQuery>(this, grid, query));
    // A grid freed at run time takes its record along.
    connect(grid, &QObject::destroyed, this, [this](QObject *gone) {
        std::erase_if(m_grids,
                      [gone](const auto &record) { return record->Grid() == nullptr || record->Grid() == gone; });
    });
}

void TBaseForm::tagFields(TDataSet *dataSet)
{
    for (int i = 0; i < dataSet->FieldCount(); ++i) {
        TField *field = dataSet->Fields(i);
        const QString label = field->DisplayLabel();
        if (field->Tag() != 0 || label.trimmed().isEmpty() || !taggableType(field->DataType()))
            continue;
        if (!field->Visible() && !RusCharExists(label))
            continue;
        const bool limited = field->FieldKind() != TFieldKind::fkData ||
                             field->FieldName().compare(CheckField, Qt::CaseInsensitive) == 0;
        field->SetTag(limited ? kListCapability : kAllCapabilities);
    }
}

void TBaseForm::warnGridsWithoutHint()
{
    if (!DebugIniExists())
        return;
    QStringList names;
    for (const QPointer<QAbstractItemView> &grid : std::as_const(m_setUpGrids)) {
        const IDBGrid *intf = grid ? GridInterface(grid) : nullptr;
        if (intf && intf->Hint().isEmpty())
            names << grid->objectName();
    }
    if (names.isEmpty())
        return;
    MsgBoxCaptioned(this, names.join(QLatin1Char('\n')),
                    objectName() + QLatin1Char(':') +
                        CaseMessageTxt(QStringLiteral("У компонента TGrid не назначено свойство \"Hint\""),
                                       QStringLiteral("For grid is not assigned property \"Hint\"")),
                    2);
}

// --- grids and their actions

IDBGrid *TBaseForm::GridInterface(const QAbstractItemView *grid) const
{
    return qobject_cast<IDBGrid *>(m_gridInterfaces.Find(grid));
}

QList<QAbstractItemView *> TBaseForm::SetUpGrids() const
{
    QList<QAbstractItemView *> grids;
    for (const QPointer<QAbstractItemView> &grid : m_setUpGrids)
        if (grid)
            grids << grid;
    return grids;
}

QAbstractItemView *TBaseForm::focusedDataGrid() const
{
    for (QWidget *w = focusWidget(); w && w != this; w = w->parentWidget())
        if (auto *view = qobject_cast<QAbstractItemView *>(w); view && isDataGrid(view))
            return view;
    return nullptr;
}

QAbstractItemView *TBaseForm::GetFocusedGrid()
{
    QAbstractItemView *grid = focusedDataGrid();
    if (!grid)
        MsgBoxKind(this, TranslateAplText(QStringLiteral("rstr_SelectTable")), 0);
    return grid;
}

QAbstractItemView *TBaseForm::gridOfDataSet(const TDataSet *dataSet) const
{
    if (!dataSet)
        return nullptr;
    for (const QPointer<QAbstractItemView> &grid : m_setUpGrids)
        if (grid && DataSetOfView(grid) == dataSet)
            return grid;
    return nullptr;
}

void TBaseForm::runGridAction(const std::function<void(QAbstractItemView *, IDBGrid *)> &body)
{
    try {
        QAbstractItemView *grid = GetFocusedGrid();
        if (!grid)
            return;
        ScanComponents(); // a grid made after the form was built
        setupGrid(grid);
        body(grid, GridInterface(grid));
    } catch (const EAbort &) {
    } catch (const std::exception &e) {
        MsgBoxKind(this, ExceptionMessage(e).trimmed(), 1);
    }
}

void TBaseForm::moveFocusedDataSet(void (*step)(TDataSet *))
{
    try {
        QAbstractItemView *grid = GetFocusedGrid();
        TDataSet *ds = DataSetOfView(grid);
        if (ds && ds->Active())
            step(ds);
    } catch (const EAbort &) {
    } catch (const std::exception &e) {
        MsgBoxKind(this, ExceptionMessage(e).trimmed(), 1);
    }
}

void TBaseForm::DoFind(QAbstractItemView *grid, IDBGrid *intf)
{
    TDataSet *ds = DataSetOfView(grid);
    if (!ds || !ds->Active() || ds->IsEmpty())
        return;
    // The library counts the columns in display order, as the interface does.
    int index = intf->SelectedColumn();
    if (index < 0 && grid->currentIndex().isValid())
        index = grid->currentIndex().column();
    ComFormLibs::FindByDBGridExB(intf, intf->Hint(), index);
    TField *found = intf->ColumnField(index);
    if (!found)
        found = fieldOfColumn(grid, index);
    if (!found || m_sortFields.contains(found))
        return;
    // One searched field per data set: the newest replaces the one listed first.
    for (TField *&listed : m_sortFields)
        if (listed->DataSet() == found->DataSet()) {
            listed = found;
            return;
        }
    m_sortFields.append(found);
}

void TBaseForm::DoSort(QAbstractItemView *grid, IDBGrid *intf)
{
    if (!qobject_cast<TOraQuery *>(DataSetOfView(grid))) {
        MsgBoxKind(this, TranslateAplText(QStringLiteral("rstr_msg_ImpossibleDatasForSorting")), 0);
        return;
    }
    // The new ordering is remembered at once: a console that ends without closing the form keeps it.
    if (ComFormLibs::SortDBGridB(intf, intf->Hint()))
        storeOrdering(qobject_cast<TOraDataSet *>(DataSetOfView(grid)));
}

void TBaseForm::runMassSelection(void (IDBGrid::*select)())
{
    runGridAction([select](QAbstractItemView *, IDBGrid *intf) {
        if (intf && intf->HasCheckField())
            (intf->*select)();
    });
}

void TBaseForm::resetFocusedColumns()
{
    if (auto *grid = qobject_cast<TDBGrid *>(GetFocusedGrid()))
        grid->ResetColumns();
}

void TBaseForm::DoReport(QAbstractItemView *grid, IDBGrid *intf)
{
    Z_ASSERT(grid, QStringLiteral("grid1 = nil"));
    TDataSet *ds = DataSetOfView(grid);
    if (!ds || !ds->Active() || ds->IsEmpty())
        return;
    QAbstractItemView *masterGrid = gridOfDataSet(ds->MasterDataSet());
    IDBGrid *masterIntf = masterGrid ? GridInterface(masterGrid) : nullptr;
    ComFormLibs::GridReport(intf, masterIntf, intf->Hint(), masterIntf ? masterIntf->Hint() : QString(), windowTitle());
}

void TBaseForm::DoFilter(QAbstractItemView *grid, IDBGrid *intf)
{
    const bool mainQuery = DataSetOfView(grid) == MainQuery;
    int mode = mainQuery ? (FilterState ? 1 : 0) : 2;
    ComFormLibs::FilterByDBGridD(mode, intf, intf->Hint());
    if (mainQuery)
        FilterState = mode == 1;
}

void TBaseForm::contextMenuEvent(QContextMenuEvent *event)
{
    event->accept();
    // Outside a grid the popup menu does not open.
    QAbstractItemView *grid = focusedDataGrid();
    if (!grid)
        return;
    const TDataSet *ds = DataSetOfView(grid);
    const bool hasRecords = ds && ds->Active() && !ds->IsEmpty();
    pFind->setVisible(hasRecords);
    pReport->setVisible(hasRecords);
    const IDBGrid *intf = GridInterface(grid);
    const bool checks = hasRecords && intf && intf->HasCheckField() && !ds->ReadOnly();
    for (QAction *action : {m_selectionSeparator, pSelectAll, pSelectNone, pInvertSelection})
        action->setVisible(checks);
    pResetColumns->setVisible(qobject_cast<TDBGrid *>(grid) != nullptr);
    PopupMenu1->exec(event->globalPos());
    // Hidden actions take no short cuts: the keys stay with them outside the menu.
    pFind->setVisible(true);
    pReport->setVisible(true);
}

// --- the check column

void TBaseForm::SetRCheck(TDataSet *DS)
{
    CheckAssigned(DS, QStringLiteral("TBaseForm.SetRCheck: \nDS = nil"));
    if (!DS->Active() || DS->IsEmpty() || DS->ReadOnly())
        return;
    TField *field = DS->FindField(CheckField);
    if (!field || field->ReadOnly())
        return;
    const bool checked = !GetCheckValue(field);
    writeCheck(DS, [&] { SetCheckValue(field, checked); });
    // A mark that could not be stored is not shown either.
    if (!Set_ORDER_LINES_REPORT(DS, checked))
        writeCheck(DS, [&] { SetCheckValue(field, !checked); });
}

// --- closing, showing, maximising

bool TBaseForm::remembersOrderings() const { return m_bindDb && !m_settingsModule.isEmpty(); }

void TBaseForm::restoreOrdering(TOraDataSet *query)
{
    if (!remembersOrderings() || m_designOrderings.contains(query) || !HasOrderMacros(query))
        return;
    m_designOrderings.insert(query, QueryOrdering(query));
    RestoreQueryOrdering(this, m_settingsModule, m_scheme, query);
}

// A form that gets its session and scheme after it was built (as the console
// builds a service's window) looks for its orderings then, before its queries open.
void TBaseForm::restoreOrderings()
{
    if (!m_built)
        return;
    const QList<TOraDataSet *> queries = findChildren<TOraDataSet *>();
    for (TOraDataSet *query : queries)
        restoreOrdering(query);
}

void TBaseForm::storeOrdering(TOraDataSet *query)
{
    const auto design = m_designOrderings.constFind(query);
    if (query && remembersOrderings() && design != m_designOrderings.constEnd())
        StoreQueryOrdering(m_settingsModule, m_scheme, query, *design);
}

void TBaseForm::storeOrderings()
{
    m_orderingsStored = true;
    storeColumns();
    const QList<TOraDataSet *> queries = findChildren<TOraDataSet *>();
    for (TOraDataSet *query : queries)
        storeOrdering(query);
}

QString TBaseForm::columnsKey(const QAbstractItemView *grid) const
{
    const QString gridName = grid->objectName().isEmpty()
                                 ? GridInterface(grid) ? GridInterface(grid)->Hint() : QString()
                                 : grid->objectName();
    if (m_settingsModule.isEmpty() || objectName().isEmpty() || gridName.isEmpty())
        return QString();
    return objectName() + QLatin1Char('.') + gridName;
}

void TBaseForm::restoreColumns(QAbstractItemView *grid)
{
    auto *dbGrid = qobject_cast<TDBGrid *>(grid);
    const QString key = dbGrid ? columnsKey(grid) : QString();
    if (key.isEmpty())
        return;
    const QString layout = StoredColumns(m_settingsModule, key);
    if (!layout.isEmpty())
        dbGrid->SetColumnLayout(layout);
}

// Only what the user changed is written: the arrangement, or its absence after a reset.
void TBaseForm::storeColumns()
{
    for (QAbstractItemView *grid : SetUpGrids()) {
        auto *dbGrid = qobject_cast<TDBGrid *>(grid);
        const QString key = dbGrid ? columnsKey(grid) : QString();
        if (!key.isEmpty() && dbGrid->ColumnLayoutChanged())
            StoreColumns(m_settingsModule, key, dbGrid->ColumnsArranged() ? dbGrid->ColumnLayout() : QString());
    }
}

void TBaseForm::BeforeCloseEvent() { storeOrderings(); }

bool TBaseForm::CloseQuery()
{
    if (!CanClose) {
        MsgBoxCaptioned(this, BusyText,
                        CaseMessageTxt(QStringLiteral("Закрытие окна"), QStringLiteral("Closing of the window")), 0);
        return false;
    }
    m_closing = true;
    return true;
}

void TBaseForm::showEvent(QShowEvent *event)
{
    TComBaseForm::showEvent(event);
    ScanComponents();
    focusMainGrid();
}

void TBaseForm::focusMainGrid()
{
    QAbstractItemView *grid = gridOfDataSet(MainDataSet);
    if (grid && grid->isEnabled() && grid->isVisibleTo(this) && grid->focusPolicy() != Qt::NoFocus)
        grid->setFocus();
}

void TBaseForm::changeEvent(QEvent *event)
{
    TComBaseForm::changeEvent(event);
    if (event->type() == QEvent::WindowStateChange && (windowState() & Qt::WindowMaximized))
        QTimer::singleShot(0, this, &TBaseForm::applyMaximize);
}

// A maximised data form fills the band below the main form; maximising it
// again while it fills that band gives back its former place.
void TBaseForm::applyMaximize()
{
    if (!(windowState() & Qt::WindowMaximized))
        return;
    const QRect workArea = screen() ? screen()->availableGeometry() : QRect();
    if (workArea.isEmpty())
        return;
    const QRect before = normalGeometry();
    setWindowState(windowState() & ~Qt::WindowMaximized);
    // The band holds the whole window, its frame and title bar too.
    const QRect outer = frameGeometry(), inner = geometry();
    const QMargins frame(inner.left() - outer.left(), inner.top() - outer.top(), outer.right() - inner.right(),
                         outer.bottom() - inner.bottom());
    const QRect band = MaximizedRect(workArea, MainForm()) - frame;
    if (before == band && m_geometryBeforeMaximize.isValid()) {
        setGeometry(m_geometryBeforeMaximize);
        return;
    }
    m_geometryBeforeMaximize = before;
    setGeometry(band);
}

QRect TBaseForm::MaximizedRect(const QRect &workArea, const QWidget *mainForm)
{
    const int height = qMin(600, workArea.height());
    const int lowestTop = workArea.bottom() + 1 - height;
    if (mainForm) {
        // Below the main form's frame, its status bar included, whatever room is left.
        const int top = qBound(workArea.top(), mainForm->frameGeometry().bottom() + 1, workArea.bottom());
        return QRect(workArea.left(), top, workArea.width(), workArea.bottom() + 1 - top);
    }
    return QRect(workArea.left(), qMin(workArea.top() + 500, lowestTop), workArea.width(), height);
}

QWidget *TBaseForm::MainForm()
{
    const QWidgetList windows = QApplication::topLevelWidgets();
    for (QWidget *window : windows)
        if (window->objectName() == QLatin1String("fmMain") && window->isVisible())
            return window;
    return nullptr;
}

// --- the main session's guard

void TBaseForm::AnotherBeforeConnect(TOraSession *session)
{
    QString text = CaseMessageTxt(QStringLiteral("ВНИМАНИЕ: "), QStringLiteral("ATTENTION: ")) + objectName() +
                   CaseMessageTxt(QStringLiteral(". Прошел лишний коннект (TOraSession = "),
                                  QStringLiteral(". Superfluous connection (TOraSession = ")) +
                   session->Name() + QStringLiteral(", Server = ") + session->Server() + QStringLiteral("),\n") +
                   CaseMessageTxt(QStringLiteral("для наборов данных: "), QStringLiteral("for data sets: "));
    const QList<TOraDataSet *> dataSets = session->DataSets();
    for (const TOraDataSet *ds : dataSets)
        text += QLatin1Char('\n') + ds->Name();
    MsgBoxKind(this, text, 0);
}

// --- the prepare diagnostic

QString PrepareDiagnostic(const QString &formName, TOraDataSet *query, const QString &errorText, bool debugDetails)
{
    const auto say = [](const char *russian, const char *english) {
        return CaseMessageTxt(QString::fromUtf8(russian), QString::fromUtf8(english));
    };
    QString text = QLatin1Char('"') + query->Name().toUpper() + QStringLiteral("\"\n\n") +
                   say("TBaseForm.SettDBGrid: Ошибка исполнения: ", "TBaseForm.SettDBGrid: Error of  executing: ") +
                   formName + QLatin1Char('.') + query->Name() + QStringLiteral(".Prepare:\n\n") + errorText.trimmed() +
                   QStringLiteral("\n\n") + say("Возможные причины ошибки:", "Possible reasons of error:") +
                   QStringLiteral("\n1 - ") +
                   say("Таблица или просмотр не существует;", "Table or view does not exist; ") +
                   say("Неверно выбрана база данных;", "Data base is not correctly selected; ");
    if (!debugDetails)
        return text;
    text +=
        QLatin1Char('\n') + say("2 - Права пользователя на соответствующие таблицы или просмотры БД не определены;\n"
                                "3 - Неверный текст SQL:\n"
                                "   а) Схема для таблицы или просмотра не определена;\n"
                                "   б) Макросы не определены (пререкройте процедуру \"PrepareQueryMacros\" );",
                                "2 - The user rights for DB tables or views is not defined;\n"
                                "3 - The incorrect SQL text:\n"
                                "   a) The scheme for table or view is not defined;\n"
                                "   b) The macro is not defined (Reassign \"PrepareQueryMacros\" procedure);");
    text += QStringLiteral("\n\n---debug") + QString(100, QLatin1Char('-')) + QStringLiteral("\n\n") +
            say("компонент: \"", "component: \"") + query->Name() + QStringLiteral("\"\n\nSQL:\n\n") +
            query->SQLText() + QLatin1Char('\n');
    if (query->MacroCount() > 0) {
        text += say("макросы:", "macros:") + QStringLiteral("\n\n");
        QStringList lines;
        for (int i = 0; i < query->MacroCount(); ++i)
            lines << query->Macros().Items(i).Name() + QStringLiteral(" = ") + query->Macros().Items(i).Value();
        text += lines.join(QLatin1Char('\n'));
    }
    return text;
}
