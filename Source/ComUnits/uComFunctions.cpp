#include "Source/ComUnits/uComFunctions.h"

#include "Core/DialogService.h"
#include "Core/IniFile.h"
#include "Core/ResourcePack.h"
#include "DataAccess/OraDataSet.h"
#include "DataAccess/OraPackage.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QRegularExpression>
#include <QWidget>

#include <memory>

// --- the program folder

namespace {

QString g_programFolderForTests;
std::unique_ptr<TIniFile> g_comSettings;

} // namespace

QString ProgramFolder()
{
    return g_programFolderForTests.isEmpty() ? QCoreApplication::applicationDirPath() : g_programFolderForTests;
}

void SetProgramFolderForTests(const QString &folder)
{
    g_programFolderForTests = folder;
    g_comSettings.reset();
}

bool DebugIniExists() { return QFileInfo(QDir(ProgramFolder()).filePath(QStringLiteral("Debug.ini"))).isFile(); }

const TIniFile &ComSettingsIni()
{
    if (!g_comSettings)
        g_comSettings = std::make_unique<TIniFile>(QDir(ProgramFolder()).filePath(QStringLiteral("Settings.ini")));
    return *g_comSettings;
}

// --- small checks

bool HasHighChar(const QString &text)
{
    for (const QChar c : text)
        if (c.unicode() > 127)
            return true;
    return false;
}

void CheckAssigned(const void *object, const QString &message)
{
    if (!object)
        throw Exception(message);
}

// --- message boxes by kind

unsigned MsgBoxFlags(int kind)
{
    switch (kind) {
    case 0:
        return MB_ICONEXCLAMATION | MB_TASKMODAL;
    case 1:
        return MB_ICONERROR | MB_TASKMODAL | MB_TOPMOST;
    case 2:
        return MB_ICONINFORMATION;
    case 3:
        return MB_ICONINFORMATION | MB_TASKMODAL | MB_TOPMOST;
    default:
        return MB_ICONERROR;
    }
}

QString MsgBoxCaption(int kind)
{
    switch (kind) {
    case 0:
    case 3:
        return TranslateAplText(QStringLiteral("rstrConfirmation"));
    case 1:
        return TranslateAplText(QStringLiteral("rstrError"));
    case 2:
        return TranslateAplText(QStringLiteral("rstrNotification"));
    default:
        return QString();
    }
}

// The dialog service places every box over the active window.
int MsgBoxCaptioned(QWidget *, const QString &text, const QString &caption, int kind)
{
    return ShowDialogMessage(text, caption, MsgBoxFlags(kind));
}

int MsgBoxKind(QWidget *window, const QString &text, int kind)
{
    return MsgBoxCaptioned(window, text, MsgBoxCaption(kind), kind);
}

int ShowMsgCaptioned(const QString &text, const QString &caption, int kind)
{
    return MsgBoxCaptioned(nullptr, text, caption, kind);
}

int ShowMsg(const QString &text, int kind) { return MsgBoxKind(nullptr, text, kind); }

ETerminated::ETerminated() : Exception(TranslateAplText(QStringLiteral("rstr_msg_ExecutionIsAbort"))) {}

ETerminated::~ETerminated() = default;

// --- check-box columns

namespace {

enum class TCheckKind { Text, Boolean, Integer, Float };

TCheckKind checkKindOf(TFieldType type)
{
    switch (type) {
    case TFieldType::ftBoolean:
        return TCheckKind::Boolean;
    case TFieldType::ftSmallint:
    case TFieldType::ftInteger:
    case TFieldType::ftWord:
    case TFieldType::ftAutoInc:
    case TFieldType::ftLargeint:
        return TCheckKind::Integer;
    case TFieldType::ftFloat:
    case TFieldType::ftCurrency:
    case TFieldType::ftBCD:
    case TFieldType::ftFMTBcd:
        return TCheckKind::Float;
    default:
        return TCheckKind::Text;
    }
}

} // namespace

bool CheckValueOf(TFieldType type, const QVariant &value)
{
    if (value.isNull() || !value.isValid())
        return false;
    switch (checkKindOf(type)) {
    case TCheckKind::Boolean:
        return value.toBool();
    case TCheckKind::Integer:
        return value.toLongLong() == 1;
    case TCheckKind::Float:
        return value.toDouble() == 1.0;
    case TCheckKind::Text:
        break;
    }
    return value.toString() == QLatin1String("+");
}

bool GetCheckFldValue(const TField *pFld)
{
    Z_ASSERT(pFld, QStringLiteral("TBaseForm.GetCheckFldValue: pFld=nil"));
    return CheckValueOf(pFld->DataType(), pFld->Value());
}

void SetCheckFldValue(TField *pFld, bool checked)
{
    Z_ASSERT(pFld, QStringLiteral("TBaseForm.SetCheckFldValue: pFld=nil"));
    switch (checkKindOf(pFld->DataType())) {
    case TCheckKind::Boolean:
        pFld->SetAsBoolean(checked);
        break;
    case TCheckKind::Integer:
        pFld->SetAsInteger(checked ? 1 : 0);
        break;
    case TCheckKind::Float:
        pFld->SetAsFloat(checked ? 1.0 : 0.0);
        break;
    case TCheckKind::Text:
        pFld->SetAsString(checked ? QStringLiteral("+") : QStringLiteral("-"));
        break;
    }
}

// --- order-lines report marks

bool IsOrderLinesQuery(TDataSet *dataSet)
{
    auto *query = qobject_cast<TOraDataSet *>(dataSet);
    return query && query->FindField(QStringLiteral("ROWID_QUERY")) && query->FindMacro(QStringLiteral("GUID_SERVICE"));
}

namespace {

// The package is named with the scheme as it stands: only a plain name may go into the call.
bool isPlainIdentifier(const QString &name)
{
    static const QRegularExpression plain(QStringLiteral("^[A-Za-z][A-Za-z0-9_$#]*$"));
    return plain.match(name).hasMatch();
}

} // namespace

bool Set_ORDER_LINES_REPORT(TDataSet *dataSet, bool checked)
{
    if (!IsOrderLinesQuery(dataSet) ||
        !ComSettingsIni().ReadBool(QStringLiteral("COM_SETTINGS"), QStringLiteral("StoreSelect"), true))
        return true;
    auto *query = qobject_cast<TOraDataSet *>(dataSet);
    try {
        const TMacro *shema = query->FindMacro(QStringLiteral("Shema"));
        const QString scheme = shema ? shema->Value().trimmed() : QString();
        if (!isPlainIdentifier(scheme))
            throw Exception(QStringLiteral("The scheme \"%1\" is no plain name").arg(scheme));
        TOraPackage pack;
        pack.SetSession(query->Session() ? query->Session() : TOraSession::DefaultSession());
        pack.SetPackageName(scheme + QStringLiteral(".TEMP_SELECT_PACK"));
        pack.ExecProc(checked ? QStringLiteral("INS_ORDER_LINES_REPORT") : QStringLiteral("DEL_ORDER_LINES_REPORT"),
                      {query->FindMacro(QStringLiteral("GUID_SERVICE"))->Value(), query->Name(),
                       query->FieldByName(QStringLiteral("ROWID_QUERY"))->AsString()});
        return true;
    } catch (const std::exception &e) {
        ShowDialogMessage(QStringLiteral("uComFunctions.Set_ORDER_LINES_REPORT: Error execution TEMP_SELECT_PACK.:\n") +
                              ExceptionMessage(e).trimmed() +
                              QStringLiteral("\n\"Settings.ini\": [COM_SETTINGS] StoreSelect=1"),
                          QStringLiteral("Error"), MB_ICONERROR);
        return false;
    }
}

// --- access functions of a form

int TAccessFuncList::Add(TAccessFunc func)
{
    m_items.push_back(std::move(func));
    return Count() - 1;
}

const TAccessFunc &TAccessFuncList::Items(int i) const
{
    Z_ASSERT(i >= 0 && i < Count(),
             QStringLiteral("uComFunctions;TAccessList.GetItems: Incorrect index: i = ") + QString::number(i));
    return m_items[std::size_t(i)];
}
