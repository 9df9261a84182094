#include "Console/uAccessGroups.h"

#include "Console/uConsoleFunctions.h"
#include "Console/uDataNavigator.h"
#include "Console/uEditorTexts.h"
#include "Core/Exceptions.h"
#include "Core/TextFormat.h"
#include "DataAccess/DAError.h"
#include "DataAccess/DataSource.h"
#include "DataAccess/Field.h"
#include "DataAccess/OraPackage.h"
#include "DataAccess/OraQuery.h"
#include "DataAccess/OraSession.h"
#include "Source/ComUnits/uDBGrid.h"

#include <QAction>
#include <QHeaderView>
#include <QLabel>
#include <QStyledItemDelegate>
#include <QToolBar>
#include <QVBoxLayout>
#include <QWheelEvent>

namespace {

constexpr int kUniqueViolation = 1;
constexpr int kChildRecordFound = 2292;

// A group's name shows as the main window's status bar shows it: through the language pack.
class TTranslatedNames : public QStyledItemDelegate {
public:
    using QStyledItemDelegate::QStyledItemDelegate;
    QString displayText(const QVariant &value, const QLocale &) const override
    {
        return TranslateAppText(value.toString());
    }
};

} // namespace

TAccessGroups::TAccessGroups(QWidget *parent, TOraPackage *pack, TAccessGroupsHooks hooks)
    : QWidget(parent), m_pack(pack), m_hooks(std::move(hooks))
{
    AccessTbl = new TSmartQuery(this);
    AccessTbl->setObjectName(QStringLiteral("AccessTbl"));
    AccessTbl->SetSQLText(QStringLiteral("SELECT *\nFROM &shema.V_ACCESS\n&ORDER &FIELD"));
    AccessTbl->MacroByName(QStringLiteral("ORDER")).SetValue(QStringLiteral("ORDER BY"));
    AccessTbl->MacroByName(QStringLiteral("FIELD")).SetValue(QStringLiteral("NAME"));
    AccessTbl->SQLRefresh = QStringList{QStringLiteral("WHERE"), QStringLiteral("ACCESSID = :ACCESSID")};
    // The grid never changes a row itself: each change runs its action and is cancelled.
    AccessTbl->BeforeInsert = [this](TDataSet *) {
        m_hooks.guarded([this] { acInsAccessExecute(); });
        throw EAbort(QString());
    };
    AccessTbl->BeforeEdit = [this](TDataSet *) {
        m_hooks.guarded([this] { acUpdAccessExecute(); });
        throw EAbort(QString());
    };
    AccessTbl->BeforeDelete = [this](TDataSet *) {
        m_hooks.guarded([this] { acDelAccessExecute(); });
        throw EAbort(QString());
    };
    // A new current group shows its menu from the root.
    AccessTbl->AfterScroll = [this](TDataSet *) {
        if (!m_reopening)
            m_hooks.showMenu({});
    };
    AccessTbl->AfterRefresh = AccessTbl->AfterScroll;
    AccessDSrc = new TDataSource(this, AccessTbl);
    TField *name = AccessTbl->AddField(QStringLiteral("NAME"), TFieldType::ftString, 100, true);
    name->SetDisplayLabel(EditorText("Допуск", "Access"));
    name->SetDisplayWidth(34);
    AccessTbl->AddField(QStringLiteral("ACCESSID"), TFieldType::ftFloat)->SetVisible(false);

    acInsAccess =
        newAction("acInsAccess", EditorText("Добавить", "Add"), QKeySequence(), &TAccessGroups::acInsAccessExecute);
    acUpdAccess =
        newAction("acUpdAccess", EditorText("Изменить", "Edit"), QKeySequence(), &TAccessGroups::acUpdAccessExecute);
    acDelAccess = newAction("acDelAccess", EditorText("Удалить", "Delete"), QKeySequence(Qt::Key_Delete),
                            &TAccessGroups::acDelAccessExecute);
    acRefreshAccess = newAction("acRefreshAccess", EditorText("Обновить", "Refresh"), QKeySequence(),
                                &TAccessGroups::acRefreshAccessExecute);
    acRightsAccess = new QAction(this);
    acRightsAccess->setObjectName(QStringLiteral("acRightsAccess"));
    connect(acRightsAccess, &QAction::triggered, this, [this] { m_hooks.guarded([this] { Reopen({}, true); }); });
    acCreateLike =
        newAction("acCreateLike", ConsoleText(ctCreateAs), QKeySequence(), &TAccessGroups::acCreateLikeExecute);
    acCreateLike->setIcon(style()->standardIcon(QStyle::SP_FileDialogToParent));

    auto *caption = new QLabel(ConsoleText(ctAccessForUser), this);
    dbgAccess = new TDBGrid(this);
    dbgAccess->SetDataSource(AccessDSrc);
    dbgAccess->setToolTip(EditorText("Группы ТО", "Groups"));
    dbgAccess->horizontalHeader()->setVisible(false);
    dbgAccess->horizontalHeader()->setStretchLastSection(true);
    dbgAccess->verticalHeader()->setVisible(false);
    dbgAccess->setEditTriggers(QAbstractItemView::NoEditTriggers);
    dbgAccess->setItemDelegate(new TTranslatedNames(dbgAccess));
    // The grid's own insert, edit and delete run the actions and are cancelled.
    const auto change = [this](void (TDataSet::*edit)()) {
        return [this, edit] {
            m_hooks.guarded([this, edit] {
                if (edit == &TDataSet::Delete && AccessTbl->IsEmpty())
                    return;
                try {
                    (AccessTbl->*edit)();
                } catch (const EAbort &) {
                }
            });
        };
    };
    dbnavAccess = NewDataNavigator(this, "dbnavAccess",
                                   {{"Prior", [this] { m_hooks.guarded([this] { AccessTbl->Prior(); }); }, {}},
                                    {"Next", [this] { m_hooks.guarded([this] { AccessTbl->Next(); }); }, {}},
                                    {"Insert", change(&TDataSet::Insert), {}},
                                    {"Delete", change(&TDataSet::Delete), {}},
                                    {"Edit", change(&TDataSet::Edit), {}},
                                    {"Refresh", [this] { acRefreshAccess->trigger(); }, {}}});
    dbnavAccess->addAction(acCreateLike);
    dbgAccess->viewport()->installEventFilter(this);
    // Del in the group list deletes the group, never a tree entry.
    dbgAccess->addActions({acDelAccess});
    connect(dbgAccess, &QAbstractItemView::doubleClicked, this, [this] { acUpdAccess->trigger(); });
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(caption);
    layout->addWidget(dbnavAccess);
    layout->addWidget(dbgAccess);
    SetObjectNames({{dbgAccess, "dbgAccess"}});
}

QAction *TAccessGroups::newAction(const char *name, const QString &caption, const QKeySequence &shortcut,
                                  void (TAccessGroups::*handler)())
{
    auto *action = new QAction(caption, this);
    action->setObjectName(QString::fromLatin1(name));
    action->setToolTip(caption);
    action->setShortcut(shortcut);
    action->setShortcutContext(Qt::WidgetWithChildrenShortcut);
    connect(action, &QAction::triggered, this,
            [this, handler] { m_hooks.guarded([this, handler] { (this->*handler)(); }); });
    return action;
}

void TAccessGroups::Open()
{
    m_reopening = true;
    try {
        AccessTbl->Open();
    } catch (...) {
        m_reopening = false;
        throw;
    }
    m_reopening = false;
    acCreateLike->setEnabled(!AccessTbl->IsEmpty());
}

int TAccessGroups::CurrentId() const
{
    if (!AccessTbl->Active() || AccessTbl->IsEmpty())
        return 0;
    return qRound(AccessTbl->FieldByName(QStringLiteral("ACCESSID"))->AsFloat());
}

QString TAccessGroups::CurrentName() const
{
    return !AccessTbl->Active() || AccessTbl->IsEmpty() ? QString()
                                                        : AccessTbl->FieldByName(QStringLiteral("NAME"))->AsString();
}

bool TAccessGroups::Has(const QVariant &accessId) const
{
    const int id = AccessTbl->FieldByName(QStringLiteral("ACCESSID"))->Index();
    for (int r = 0; r < AccessTbl->RecordCount(); ++r)
        if (AccessTbl->ValueAt(r, id).toInt() == accessId.toInt())
            return true;
    return false;
}

void TAccessGroups::Reopen(const QVariant &accessId, bool lastRow, const QList<QVariant> &nearest)
{
    m_reopening = true;
    try {
        AccessTbl->Close();
        AccessTbl->Open();
        if (lastRow)
            AccessTbl->Last();
        if (!accessId.isNull())
            AccessTbl->Locate(QStringLiteral("ACCESSID"), accessId);
    } catch (...) {
        m_reopening = false;
        throw;
    }
    m_reopening = false;
    m_hooks.showMenu(nearest);
    acCreateLike->setEnabled(!AccessTbl->IsEmpty());
}

// Another group's name that equals the name trimmed and without regard to case; empty when none.
QString TAccessGroups::groupNamed(const QString &name, int except) const
{
    const int id = AccessTbl->FieldByName(QStringLiteral("ACCESSID"))->Index();
    const int text = AccessTbl->FieldByName(QStringLiteral("NAME"))->Index();
    for (int r = 0; r < AccessTbl->RecordCount(); ++r)
        if (AccessTbl->ValueAt(r, id).toInt() != except &&
            AccessTbl->ValueAt(r, text).toString().trimmed().compare(name.trimmed(), Qt::CaseInsensitive) == 0)
            return AccessTbl->ValueAt(r, text).toString();
    return QString();
}

// Tells that another group has the name, naming that group; true when it has.
bool TAccessGroups::nameIsTaken(const QString &name, int except, const QString &caption)
{
    const QString taken = groupNamed(name, except);
    if (taken.isEmpty())
        return false;
    ShowMessageBox(Fmt(EditorText("Группа доступа «%s» уже есть", "The access group \"%s\" already exists"),
                       TranslateAppText(taken)),
                   caption, MB_ICONEXCLAMATION);
    return true;
}

// Asks for a group's name: not blank, and no other group's (except: the group renamed).
bool TAccessGroups::inputName(const QString &caption, QString &name, int except)
{
    return lumInputQuery(caption, AplText("rstrTitle"), AplText("rstr_to_Apply"), AplText("rstr_to_Cancel"), name,
                         100) &&
           !NameIsBlank(name, caption) && !nameIsTaken(name, except, caption);
}

// Runs a group's write and commits it; a name another administrator gave a
// group meanwhile is refused by the package and told as the list tells it.
bool TAccessGroups::writeName(const std::function<void()> &write, const QString &name, int except,
                              const QString &caption)
{
    try {
        write();
        m_session->Commit();
        return true;
    } catch (const EDAError &e) {
        if (e.ErrorCode() != kUniqueViolation)
            throw;
        m_session->Rollback();
        Reopen(CurrentId(), false, m_hooks.selection());
        if (!nameIsTaken(name, except, caption))
            throw;
        return false;
    }
}

void TAccessGroups::acInsAccessExecute()
{
    QString name;
    const QString caption = ConsoleText(ctAddAccess);
    if (!inputName(caption, name, -1) || !writeName(
                                             [&] {
                                                 m_pack->ExecProc(QStringLiteral("INS_ACCESS"), {0, name});
                                             },
                                             name, -1, caption))
        return;
    m_hooks.changed();
    Reopen(m_pack->ParamByName(QStringLiteral("PID")).AsInteger(), true);
}

void TAccessGroups::acUpdAccessExecute()
{
    if (AccessTbl->IsEmpty())
        return;
    const int accessId = CurrentId();
    const QString seen = CurrentName(), caption = ConsoleText(ctEditAccess);
    QString name = seen;
    if (!inputName(caption, name, accessId) ||
        !writeName(
            [&] {
                m_pack->ExecProc(QStringLiteral("UPD_ACCESS"), {accessId, name, seen});
            },
            name, accessId, caption))
        return;
    m_hooks.changed();
    Reopen(accessId, false, m_hooks.selection());
}

void TAccessGroups::acDelAccessExecute()
{
    if (AccessTbl->IsEmpty())
        return;
    if (AskQuestion(Fmt(AplText("rstr_fmtcnf_DelRecord"), CurrentName())) != IDYES)
        return;
    try {
        m_pack->ExecProc(QStringLiteral("DEL_ACCESS_RECURCIVE"), {CurrentId(), CurrentName()});
        m_session->Commit();
    } catch (const EDAError &e) {
        if (IsConflict(e))
            throw; // another administrator's change: told as such
        m_session->Rollback();
        // Attached users are the refusal the fixed text names; any other is told by its own text.
        ShowMessageBox(e.ErrorCode() == kChildRecordFound ? ConsoleText(ctCannotDeleteUsersAttached) : RefusalText(e),
                       AplText("rstr_ErrorOFDeleting"), MB_ICONEXCLAMATION);
        Reopen(CurrentId(), false, m_hooks.selection());
        return;
    }
    m_hooks.changed();
    acRefreshAccessExecute();
}

void TAccessGroups::acRefreshAccessExecute()
{
    Reopen(AccessTbl->Active() && !AccessTbl->IsEmpty() ? QVariant(CurrentId()) : QVariant(), false,
           m_hooks.selection());
}

void TAccessGroups::acCreateLikeExecute()
{
    if (AccessTbl->IsEmpty())
        return;
    const QString caption =
        AplText("rstrAccess") + QStringLiteral(" (") + Fmt(ConsoleText(ctCreateAsQ), CurrentName()) + QLatin1Char(')');
    QString name;
    const int source = CurrentId();
    const QString seen = CurrentName();
    if (!inputName(caption, name, -1) ||
        !writeName(
            [&] {
                m_pack->ExecProc(QStringLiteral("DUBLICATE_ACCESS"), {source, name, QVariant(), seen});
            },
            name, -1, caption))
        return;
    m_hooks.changed();
    Reopen(m_pack->ParamByName(QStringLiteral("PID")).AsInteger(), true);
}

bool TAccessGroups::eventFilter(QObject *watched, QEvent *event)
{
    // The wheel moves the list one row per notch.
    if (event->type() == QEvent::Wheel && watched == dbgAccess->viewport()) {
        const int delta = static_cast<QWheelEvent *>(event)->angleDelta().y();
        if (delta != 0 && AccessTbl->Active())
            m_hooks.guarded([this, delta] { delta > 0 ? AccessTbl->Prior() : AccessTbl->Next(); });
        return true;
    }
    return QWidget::eventFilter(watched, event);
}
