#pragma once
// Texts of the administration windows: a built-in pair in the configured
// language, passed through the language pack; a resource string by its id.
#include "Console/uConsoleCfg.h"
#include "Console/uConsoleFunctions.h"
#include "Core/DialogService.h"
#include "Core/ResourcePack.h"
#include "Core/TextFormat.h"

#include <QString>

inline QString EditorText(const char *russian, const char *english)
{
    return TranslateAppText(SelectText(QString::fromUtf8(russian), QString::fromUtf8(english)));
}

inline QString AplText(const char *id) { return TranslateAplText(QString::fromLatin1(id)); }

// A question of the editor (Yes/No unless other buttons are given), captioned "Подтверждение".
inline int AskQuestion(const QString &text, unsigned buttons = MB_YESNO)
{
    return ShowMessageBox(text, AplText("rstrConfirmation"), buttons | MB_ICONQUESTION);
}

// A name typed into an input query that is blank (once a half surrogate pair
// left by the length limit is gone) is told and refused.
inline bool NameIsBlank(QString &name, const QString &caption)
{
    if (!name.isEmpty() && name.back().isHighSurrogate())
        name.chop(1);
    if (!name.trimmed().isEmpty())
        return false;
    ShowMessageBox(Fmt(AplText("rstr_fmtmsg_EmptyDataInField"), AplText("rstrTitle")), caption, MB_ICONINFORMATION);
    return true;
}
