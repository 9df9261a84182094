#pragma once
// The menu editor's list of access groups ("Допуск для пользователя"): each
// user is attached to one group, and each group has its own menu. Here the
// administrator adds, renames, deletes and copies groups; no two groups have
// one name (compared trimmed and without regard to case). The grid never
// changes a row by itself: each insert, edit and delete runs its action.
#include "Console/uMenuConflicts.h"

#include <QWidget>

#include <functional>

class QAction;
class QToolBar;
class TDBGrid;
class TDataSource;
class TOraPackage;
class TOraSession;
class TSmartQuery;

// What the list asks of the editor that holds it.
struct TAccessGroupsHooks {
    // Runs a user action: a failure is rolled back and shown, the data read again.
    std::function<void(const std::function<void()> &)> guarded;
    // Shows the current group's menu; nearest: the nodes to stand on (none: the root).
    std::function<void(const QList<QVariant> &nearest)> showMenu;
    // The tree's current node and the groups above it, nearest first.
    std::function<QList<QVariant>()> selection;
    // Something was written.
    std::function<void()> changed;
};

class TAccessGroups : public QWidget {
    Q_OBJECT
public:
    TAccessGroups(QWidget *parent, TOraPackage *pack, TAccessGroupsHooks hooks);

    TSmartQuery *AccessTbl;
    TDataSource *AccessDSrc;
    TDBGrid *dbgAccess;
    QToolBar *dbnavAccess;
    QAction *acInsAccess;
    QAction *acUpdAccess;
    QAction *acDelAccess;
    QAction *acRefreshAccess;
    QAction *acRightsAccess;
    QAction *acCreateLike;

    void SetSession(TOraSession *session) { m_session = session; }
    // Opens the list without showing a menu yet.
    void Open();
    int CurrentId() const;
    QString CurrentName() const;
    bool Has(const QVariant &accessId) const;
    // Reopens the list and stands on the group with the id, else on its last
    // row (lastRow) or where it was; the menu follows once, at the node nearest.
    void Reopen(const QVariant &accessId, bool lastRow, const QList<QVariant> &nearest = {});

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    QAction *newAction(const char *name, const QString &caption, const QKeySequence &shortcut,
                       void (TAccessGroups::*handler)());
    QString groupNamed(const QString &name, int except) const;
    bool nameIsTaken(const QString &name, int except, const QString &caption);
    bool inputName(const QString &caption, QString &name, int except);
    bool writeName(const std::function<void()> &write, const QString &name, int except, const QString &caption);
    void acInsAccessExecute();
    void acUpdAccessExecute();
    void acDelAccessExecute();
    void acRefreshAccessExecute();
    void acCreateLikeExecute();

    TOraPackage *m_pack;
    TOraSession *m_session = nullptr;
    TAccessGroupsHooks m_hooks;
    bool m_reopening = false;
};
