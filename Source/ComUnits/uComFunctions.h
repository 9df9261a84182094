#pragma once
// Routines every form of the console and the modules shares: the help file
// and F1 (the platform's, Ui/HelpTopic.h), the program folder and its
// developer switch, message boxes by kind, the shared settings file,
// check-box values of fields and the list of a form's access functions.
#include "Core/Exceptions.h"
#include "Core/PlatformExport.h"
#include "Ui/HelpTopic.h"

#include <QString>
#include <QVariant>

#include <functional>
#include <vector>

class QWidget;
class TIniFile;
class TDataSet;
class TField;
enum class TFieldType : int;

// The help file of the console's own windows.
inline QString ConsoleHelpFile() { return QStringLiteral("KorConsole.hlp"); }

// --- the program folder

// The folder of the program file.
PLATFORM_EXPORT QString ProgramFolder();
// Tests put the program folder elsewhere (empty: back to the program's own);
// the settings file is opened again from there.
PLATFORM_EXPORT void SetProgramFolderForTests(const QString &folder);
// Whether the developer switch "Debug.ini" lies in the program folder (looked at on every call).
PLATFORM_EXPORT bool DebugIniExists();
// The shared form settings "Settings.ini" of the program folder, opened once and only read.
PLATFORM_EXPORT const TIniFile &ComSettingsIni();

// --- small checks

// Whether any character of the text has a code above 127.
PLATFORM_EXPORT bool HasHighChar(const QString &text);
// Raises an Exception with the message when the object is absent.
PLATFORM_EXPORT void CheckAssigned(const void *object, const QString &message);

// --- message boxes by kind
//
// Kind 0: a warning titled "Confirmation"; 1: an error, topmost; 2: a
// notification; 3: a confirmation with the information icon, topmost; any
// other kind: the error icon without a caption. The captions are the
// translated resource strings. Each returns the button's result code.
PLATFORM_EXPORT unsigned MsgBoxFlags(int kind);
PLATFORM_EXPORT QString MsgBoxCaption(int kind);
PLATFORM_EXPORT int MsgBoxCaptioned(QWidget *window, const QString &text, const QString &caption, int kind);
PLATFORM_EXPORT int MsgBoxKind(QWidget *window, const QString &text, int kind);
PLATFORM_EXPORT int ShowMsgCaptioned(const QString &text, const QString &caption, int kind);
PLATFORM_EXPORT int ShowMsg(const QString &text, int kind);

// A run stopped on purpose; its message is the translated rstr_msg_ExecutionIsAbort.
class PLATFORM_EXPORT ETerminated : public Exception {
public:
    ETerminated();
    ~ETerminated() override;
    QString className() const override { return QStringLiteral("ETerminated"); }
};

// --- check-box columns
//
// A check column holds "+" and "-" as text, true and false as a Boolean, 1
// and 0 as an integer, 1.0 and 0.0 as a floating-point number.
PLATFORM_EXPORT bool CheckValueOf(TFieldType type, const QVariant &value);
PLATFORM_EXPORT bool GetCheckFldValue(const TField *pFld);
// Writes the field of the current record; its data set must be editing.
PLATFORM_EXPORT void SetCheckFldValue(TField *pFld, bool checked);

// --- order-lines report marks
//
// A query whose rows can be marked for the order-lines report: it has the
// field ROWID_QUERY and the macro GUID_SERVICE.
PLATFORM_EXPORT bool IsOrderLinesQuery(TDataSet *dataSet);
// Stores the mark of the current record through <scheme>.TEMP_SELECT_PACK (the
// scheme from the query's macro Shema) when [COM_SETTINGS] StoreSelect of
// Settings.ini is on (the default). False when the store failed; the error has
// been shown.
PLATFORM_EXPORT bool Set_ORDER_LINES_REPORT(TDataSet *dataSet, bool checked);

// --- access functions of a form
//
// An access function switches one feature of a form on or off; the form's
// rights string has one character per function, in registration order.
using TAccessFunc = std::function<void(bool pEnabled)>;

class PLATFORM_EXPORT TAccessFuncList {
public:
    int Add(TAccessFunc func);
    int Count() const { return int(m_items.size()); }
    // An index outside the list is a failed assertion.
    const TAccessFunc &Items(int i) const;
    void Clear() { m_items.clear(); }

private:
    std::vector<TAccessFunc> m_items;
};
