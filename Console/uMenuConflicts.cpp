#include "Console/uMenuConflicts.h"

#include "Console/uEditorTexts.h"
#include "Core/TextFormat.h"
#include "DataAccess/DAError.h"

#include <QRegularExpression>

bool IsConflict(const EDAError &error)
{
    switch (error.ErrorCode()) {
    case OraErr::NoDataFound:
    case 2291: // parent key not found: the group or service an insert names is gone
    case OraErr::ChangedMeanwhile:
        return true;
    default:
        return false;
    }
}

QString ConflictText(const TReliedRow &row, bool deleted)
{
    switch (row.kind) {
    case TReliedRow::AccessGroup:
        return Fmt(deleted ? EditorText("Группа доступа «%s» удалена другим администратором; список обновлен",
                                        "The access group \"%s\" was deleted by another administrator; the list is "
                                        "refreshed")
                           : EditorText("Группа доступа «%s» изменена другим администратором; список обновлен",
                                        "The access group \"%s\" was changed by another administrator; the list is "
                                        "refreshed"),
                   row.name);
    case TReliedRow::MenuGroup:
        return Fmt(deleted ? EditorText("Группа меню «%s» удалена другим администратором; меню обновлено",
                                        "The menu group \"%s\" was deleted by another administrator; the menu is "
                                        "refreshed")
                           : EditorText("Группа меню «%s» изменена другим администратором; меню обновлено",
                                        "The menu group \"%s\" was changed by another administrator; the menu is "
                                        "refreshed"),
                   row.name);
    case TReliedRow::MenuEntry:
        return Fmt(deleted ? EditorText("Пункт меню «%s» удален другим администратором; меню обновлено",
                                        "The menu item \"%s\" was deleted by another administrator; the menu is "
                                        "refreshed")
                           : EditorText("Пункт меню «%s» изменен другим администратором; меню обновлено",
                                        "The menu item \"%s\" was changed by another administrator; the menu is "
                                        "refreshed"),
                   row.name);
    case TReliedRow::Service:
        return Fmt(deleted ? EditorText("Сервис «%s» удален другим администратором; список обновлен",
                                        "The service \"%s\" was deleted by another administrator; the list is "
                                        "refreshed")
                           : EditorText("Сервис «%s» изменен другим администратором; список обновлен",
                                        "The service \"%s\" was changed by another administrator; the list is "
                                        "refreshed"),
                   row.name);
    }
    return QString();
}

QString RefusalText(const EDAError &error)
{
    // A text longer than its column: the column and its size, in the session's language.
    static const QRegularExpression tooLong(
        QStringLiteral("column (?:\"[^\"]*\"\\.)*\"([^\"]+)\" \\(actual: \\d+, maximum: (\\d+)\\)"));
    const QRegularExpressionMatch column = tooLong.match(error.message());
    if (error.ErrorCode() == OraErr::ValueTooLarge && column.hasMatch())
        return Fmt(AplText("rstr_fmtmsg_ValueTooLong"), column.captured(1), column.captured(2));
    static const QRegularExpression code(QStringLiteral("^ORA-\\d{5}:\\s*"));
    return QString(error.message()).remove(code).trimmed();
}
