#pragma once
// What another administrator did meanwhile to a row the menu editor relied
// on. The package refuses the editor's call when the row is gone (ORA-01403,
// or ORA-02291 for a row an insert names) or holds something else than the
// editor saw (ORA-20002); the editor tells it in the session's language, not
// with the database's code.
#include <QString>
#include <QVariant>

class EDAError;

// A row an editor's action relies on, as the editor showed it.
struct TReliedRow {
    enum TKind { AccessGroup, MenuGroup, MenuEntry, Service };
    TKind kind;
    QVariant id; // ACCESSID, ID_CFG (null for a row without one) or ITEMID
    QString name;
};

// Whether the refusal says that a row went or changed meanwhile.
bool IsConflict(const EDAError &error);
// "Группа доступа «…» удалена другим администратором; список обновлен", or "… изменена …" (deleted false).
QString ConflictText(const TReliedRow &row, bool deleted);
// The text of a refusal without the database's code in front ("ORA-20001: "); a text too long for its
// column as the console says it everywhere (rstr_fmtmsg_ValueTooLong with the column and its size).
QString RefusalText(const EDAError &error);
