#include "Console/uConsoleCfg.h"

#include "Console/uConsoleDM.h"
#include "Core/DialogService.h"
#include "Core/Exceptions.h"
#include "Core/IniFile.h"
#include "Core/ResourcePack.h"
#include "Core/TextFormat.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QRegularExpression>
#include <QSet>

#include <algorithm>
#include <memory>

namespace {

const QString kStart = QStringLiteral("START");
const QString kConnection = QStringLiteral("CONNECTION");
const QString kForm = QStringLiteral("FORM");
const QString kSchemes = QStringLiteral("SCHEMES");
const QString kDefaultScheme = QStringLiteral("ZANDRELL5");

QString g_exeDirOverride;
std::unique_ptr<TIniFile> g_consoleIni;
std::unique_ptr<TIniFile> g_languageFile;
// A write has failed and no write has reached the file since: the warning is shown.
bool g_writesFailing = false;
// Stored active schemes whose names are not correct, each reported once.
QSet<QString> g_reportedSchemeNames;

QString sectionOf(TTextKind kind)
{
    switch (kind) {
    case tkHelp:
        return QStringLiteral("WRD_HELP");
    case tkMessage:
        return QStringLiteral("WRD_MESSAGE");
    default:
        return QStringLiteral("WRD_WORDS");
    }
}

// The items of a comma text: separated by commas, each may be double-quoted
// (a doubled quote inside stands for one); blanks around an item are dropped.
QStringList splitCommaText(const QString &text)
{
    QStringList items;
    qsizetype i = 0;
    const qsizetype n = text.size();
    while (i <= n) {
        while (i < n && text.at(i).isSpace())
            ++i;
        QString item;
        if (i < n && text.at(i) == QLatin1Char('"')) {
            ++i;
            while (i < n) {
                if (text.at(i) == QLatin1Char('"')) {
                    if (i + 1 < n && text.at(i + 1) == QLatin1Char('"')) {
                        item.append(QLatin1Char('"'));
                        i += 2;
                        continue;
                    }
                    ++i;
                    break;
                }
                item.append(text.at(i++));
            }
            while (i < n && text.at(i) != QLatin1Char(','))
                ++i;
        } else {
            const qsizetype start = i;
            while (i < n && text.at(i) != QLatin1Char(','))
                ++i;
            item = text.mid(start, i - start).trimmed();
        }
        items.append(item);
        if (i >= n)
            break;
        ++i; // the comma
        if (i == n) {
            items.append(QString());
            break;
        }
    }
    return items;
}

// A language name from Langs.ini names a file under Res/: letters, digits,
// "_", "-", "." and blanks, never a path or a hidden file.
bool isLanguageName(const QString &name)
{
    static const QRegularExpression form(QStringLiteral("^[\\p{L}\\p{N}_][\\p{L}\\p{N}_. -]{0,63}$"));
    return form.match(name).hasMatch();
}

void warnLanguageNameNotCorrect(int id, const QString &langsPath)
{
    const QString text = LangText(QStringLiteral("rstr_fmtmsg_LangNameNotCorrect"),
                                  SelectText(QStringLiteral("Язык %s: в \"%s\" нет корректного имени языкового файла"),
                                             QStringLiteral("Language %s: \"%s\" names no valid language file")),
                                  tkMessage);
    ShowMessageBox(Fmt(text, id, langsPath), QString(), MB_ICONWARNING);
}

void warnFileNotFound(const QString &path)
{
    const QString text = LangText(
        QStringLiteral("rstr_fmtmsg_FileIsNotFound"),
        SelectText(ResStrRu(QStringLiteral("rstr_fmtmsg_FileIsNotFound")), QStringLiteral("\"%s\" file is not found")),
        tkMessage);
    ShowMessageBox(Fmt(text, path), QString(), MB_ICONWARNING);
}

bool writeValue(const QString &section, const QString &key, const QString &value)
{
    return WriteConsoleIni([&](TIniFile::TEdit &edit) { edit.WriteString(section, key, value); });
}

QString boolText(bool value) { return value ? QStringLiteral("1") : QStringLiteral("0"); }

void refuseIncorrectSchemeName(const QString &name)
{
    if (!IsCorrectSchemeName(name))
        throw Exception(ParamNotCorrectText(QStringLiteral("scheme"), name));
}

void reportIncorrectStoredScheme(const QString &name)
{
    if (g_reportedSchemeNames.contains(name))
        return;
    g_reportedSchemeNames.insert(name);
    ShowMessageBox(ParamNotCorrectText(QStringLiteral("scheme"), name), ParametersCaption(), MB_ICONERROR);
}

// The first key of [SCHEMES] marked 1 whose name is correct (read from the file
// or inside an edit); the active names passed over go to the list.
template <typename Ini>
QString firstActiveScheme(const Ini &ini, QStringList &incorrect)
{
    for (const QString &name : ini.ReadSection(kSchemes)) {
        if (!ini.ReadBool(kSchemes, name, false))
            continue;
        if (IsCorrectSchemeName(name))
            return name;
        incorrect.append(name);
    }
    return QString();
}

// The scheme 1 and every other key 0, all in one write. Keys are kept
// without the blanks around them, so the name is compared so too.
void activateScheme(TIniFile::TEdit &edit, const QString &name)
{
    const QString scheme = name.trimmed();
    for (const QString &key : edit.ReadSection(kSchemes))
        if (key.compare(scheme, Qt::CaseInsensitive) != 0 &&
            edit.ReadString(kSchemes, key, QString()) != QLatin1String("0"))
            edit.WriteBool(kSchemes, key, false);
    edit.WriteBool(kSchemes, scheme, true);
}

} // namespace

QString ExeDir()
{
    if (!g_exeDirOverride.isEmpty())
        return g_exeDirOverride;
    return QCoreApplication::applicationDirPath();
}

void SetExeDirForTests(const QString &dir)
{
    g_exeDirOverride = dir;
    CloseConsoleIni();
    FreeLanguageFile();
}

QString ExePath(const QString &relative) { return ExeDir() + QLatin1Char('/') + relative; }

TIniFile &ConsoleIni()
{
    if (!g_consoleIni)
        OpenConsoleIni();
    return *g_consoleIni;
}

void OpenConsoleIni()
{
    g_consoleIni = std::make_unique<TIniFile>(ExePath(QStringLiteral("Console.ini")));
    g_writesFailing = false;
}

void CloseConsoleIni()
{
    g_consoleIni.reset();
    g_writesFailing = false;
    g_reportedSchemeNames.clear();
}

QString ConsoleIniNotSavedText(const EIniWriteError &error)
{
    QString reason;
    switch (error.Reason()) {
    case EIniWriteError::NoSpace:
        reason = SelectText(QStringLiteral("на диске нет места"), QStringLiteral("the disk is full"));
        break;
    case EIniWriteError::NoPermission:
        reason = SelectText(QStringLiteral("нет права на запись"), QStringLiteral("there is no permission to write"));
        break;
    case EIniWriteError::Locked:
        reason = SelectText(QStringLiteral("файл занят другой программой"),
                            QStringLiteral("the file is held by another program"));
        break;
    case EIniWriteError::LockNotAFile:
        reason = SelectText(QStringLiteral("его файл блокировки \"%1\" - не обычный файл"),
                            QStringLiteral("its lock file \"%1\" is not a regular file"))
                     .arg(QDir::toNativeSeparators(error.OtherFile()));
        break;
    case EIniWriteError::NotText:
        reason =
            error.OtherFile().isEmpty()
                ? SelectText(QStringLiteral("это не текстовый файл, он оставлен как есть"),
                             QStringLiteral("it is not a text file and is left as it is"))
                : SelectText(QStringLiteral("это не текстовый файл, он оставлен как есть (копия: \"%1\")"),
                             QStringLiteral("it is not a text file and is left as it is (a copy is kept in \"%1\")"))
                      .arg(QDir::toNativeSeparators(error.OtherFile()));
        break;
    case EIniWriteError::Failed:
        reason = SelectText(QStringLiteral("ошибка записи (%1)"), QStringLiteral("write error (%1)"))
                     .arg(error.SystemText());
        break;
    }
    const QString text = LangText(QStringLiteral("rstr_fmtmsg_IniNotSaved"),
                                  SelectText(QStringLiteral("Настройки не сохранены в файле \"%s\": %s. "
                                                            "Консоль продолжает работу с прочитанными настройками."),
                                             QStringLiteral("The settings are not saved in the file \"%s\": %s. "
                                                            "The console goes on with the settings it has read.")),
                                  tkMessage);
    return Fmt(text, QDir::toNativeSeparators(error.FileName()), reason);
}

bool WriteConsoleIni(const std::function<void(TIniFile::TEdit &)> &edit)
{
    try {
        if (ConsoleIni().Update(edit))
            g_writesFailing = false;
        return true;
    } catch (const EIniWriteError &e) {
        if (!g_writesFailing)
            ShowMessageBox(ConsoleIniNotSavedText(e), QString(), MB_ICONWARNING);
        g_writesFailing = true;
        return false;
    }
}

QString ReadServer()
{
    return ConsoleIni().ReadString(kConnection, QStringLiteral("server"), QStringLiteral("ZANDRELL"));
}
bool WriteServer(const QString &server) { return writeValue(kConnection, QStringLiteral("server"), server); }
QString ReadUser() { return ConsoleIni().ReadString(kConnection, QStringLiteral("user"), QStringLiteral("ZL_USER")); }
bool WriteUser(const QString &user) { return writeValue(kConnection, QStringLiteral("user"), user); }
int ReadHome() { return ConsoleIni().ReadInteger(kConnection, QStringLiteral("home"), 0); }
bool WriteHome(int home) { return writeValue(kConnection, QStringLiteral("home"), QString::number(home)); }
bool ReadStoreInReg() { return ConsoleIni().ReadBool(kConnection, QStringLiteral("StoreInReg"), false); }
bool ReadUseOCI7() { return ConsoleIni().ReadBool(kConnection, QStringLiteral("useoci7"), false); }
bool ReadEncode() { return ConsoleIni().ReadBool(kConnection, QStringLiteral("encode"), false); }
bool ReadHideMinimized() { return ConsoleIni().ReadBool(kForm, QStringLiteral("HideMinimized"), true); }
bool WriteHideMinimized(bool value) { return writeValue(kForm, QStringLiteral("HideMinimized"), boolText(value)); }
bool ReadMiniTB() { return ConsoleIni().ReadBool(kForm, QStringLiteral("MiniTB"), true); }
bool WriteMiniTB(bool value) { return writeValue(kForm, QStringLiteral("MiniTB"), boolText(value)); }
bool ReadCreateSeps() { return ConsoleIni().ReadBool(kForm, QStringLiteral("CreateSeps"), true); }
bool WriteCreateSeps(bool value) { return writeValue(kForm, QStringLiteral("CreateSeps"), boolText(value)); }
bool ReadFormTop() { return ConsoleIni().ReadBool(kForm, QStringLiteral("FormTop"), false); }
bool WriteFormTop(bool value) { return writeValue(kForm, QStringLiteral("FormTop"), boolText(value)); }
bool ReadViewLogo() { return ConsoleIni().ReadBool(kForm, QStringLiteral("ViewLogo"), false); }
bool WriteViewLogo(bool value) { return writeValue(kForm, QStringLiteral("ViewLogo"), boolText(value)); }
QString ReadActiveIcon()
{
    return ConsoleIni().ReadString(kForm, QStringLiteral("ActiveIcon"), QStringLiteral("ConsoleIcon.ico"));
}
int ReadLangId(int defaultValue) { return ConsoleIni().ReadInteger(kStart, QStringLiteral("LangID"), defaultValue); }

QString ParamNotCorrectText(const QString &name, const QString &value)
{
    return Fmt(LangText(QStringLiteral("rstr_fmt_Param_Not_Correct"),
                        SelectText(QStringLiteral("Параметр \"%s\"(%s) - не корректен"),
                                   QStringLiteral("\"%s\" parameter(%s) - is not correct")),
                        tkMessage),
               name, value);
}

QString ParametersCaption()
{
    return LangText(QStringLiteral("rstrParameters"),
                    SelectText(ResStrRu(QStringLiteral("rstrParams")), QStringLiteral("Parameters")), tkWord);
}

bool IsCorrectSchemeName(const QString &name)
{
    const QString trimmed = name.trimmed();
    if (trimmed.isEmpty() || name.size() > kMaxSchemeNameLength || trimmed.startsWith(QLatin1Char('[')) ||
        trimmed.startsWith(QLatin1Char(';')))
        return false;
    return std::none_of(name.cbegin(), name.cend(), [](QChar c) {
        return c == QLatin1Char(']') || c == QLatin1Char('=') || c.category() == QChar::Other_Control;
    });
}

QString GetActiveScheme()
{
    QStringList incorrect;
    QString active = firstActiveScheme(ConsoleIni(), incorrect);
    if (active.isEmpty()) {
        // No active scheme: the default one becomes active, unless another console has just chosen one.
        WriteConsoleIni([&](TIniFile::TEdit &edit) {
            QStringList passedOver;
            active = firstActiveScheme(edit, passedOver);
            if (active.isEmpty()) {
                active = kDefaultScheme;
                activateScheme(edit, active);
            }
        });
    }
    // Reported after the write, never while the file is locked.
    for (const QString &name : incorrect)
        reportIncorrectStoredScheme(name);
    return active;
}

bool SetActiveScheme(const QString &name)
{
    refuseIncorrectSchemeName(name);
    return WriteConsoleIni([&](TIniFile::TEdit &edit) { activateScheme(edit, name); });
}

bool AddScheme(const QString &name, bool active)
{
    Z_ASSERT(!name.trimmed().isEmpty(), QStringLiteral("AddScheme: Scheme(sname) = ' '"));
    refuseIncorrectSchemeName(name);
    return WriteConsoleIni([&](TIniFile::TEdit &edit) {
        if (active || !edit.ValueExists(kSchemes, name))
            edit.WriteBool(kSchemes, name, active);
    });
}

void GetSchemes(QStringList *list)
{
    Z_ASSERT(list != nullptr, QStringLiteral("GetSchemes: SchemesList(sList) = nil"));
    *list = ConsoleIni().ReadSection(kSchemes);
}

bool DeleteScheme(const QString &name)
{
    return WriteConsoleIni([&](TIniFile::TEdit &edit) { edit.DeleteKey(kSchemes, name); });
}

namespace {
int g_sessionLangId = 0;
} // namespace

int ConsoleLangId() { return g_sessionLangId > 0 ? g_sessionLangId : ReadLangId(kRussianLangId); }

void SetConsoleLangId(int langId) { g_sessionLangId = qMax(langId, 0); }

QString SelectText(const QString &russian, const QString &english)
{
    return ConsoleLangId() == kRussianLangId ? russian : english;
}

TIniFile *LanguageFile() { return g_languageFile.get(); }
void FreeLanguageFile() { g_languageFile.reset(); }

QString LangText(const QString &id, const QString &defaultText, TTextKind kind)
{
    TIniFile *file = LanguageFile();
    if (!file)
        return defaultText;
    const QString section = sectionOf(kind);
    // Only a text taken from the file is comma text: the default stays as the caller gave it.
    if (!file->ValueExists(section, id))
        return defaultText;
    // A help text is comma text: its quotes belong to the items, so the raw value is read.
    QString text =
        kind == tkHelp ? file->ReadRawString(section, id, defaultText) : file->ReadString(section, id, defaultText);
    if (kind == tkHelp && !text.trimmed().isEmpty()) {
        QString lines;
        for (const QString &item : splitCommaText(text))
            lines += item + QStringLiteral("\r\n");
        text = lines;
    }
    return text.isEmpty() ? defaultText : text;
}

QString ResolveLanguage(const QString &previous, const QString &idText, QString &name)
{
    int id = 0;
    QString candidate;
    if (idText == QLatin1String("-1")) {
        id = ReadLangId(kRussianLangId);
        candidate = QStringLiteral("Ru");
    } else {
        id = idText.toInt();
        candidate = name;
    }
    const QString langsPath = ExePath(QStringLiteral("Res/Langs.ini"));
    if (QFileInfo::exists(langsPath)) {
        candidate = TIniFile(langsPath).ReadString(QStringLiteral("LANGS"), QString::number(id), candidate).trimmed();
        // An empty or garbled entry is reported by its language id, not as a file "Res/.ini".
        if (!isLanguageName(candidate)) {
            warnLanguageNameNotCorrect(id, langsPath);
            if (previous != QLatin1String("-1"))
                return previous;
            name = QStringLiteral("Ru");
            return QString::number(kRussianLangId);
        }
    } else {
        warnFileNotFound(langsPath);
        if (previous != QLatin1String("-1"))
            return previous;
        candidate = QStringLiteral("Ru");
    }
    const QString langPath = ExePath(QStringLiteral("Res/") + candidate + QStringLiteral(".ini"));
    if (!candidate.isEmpty() && QFileInfo(langPath).isFile()) {
        g_languageFile = std::make_unique<TIniFile>(langPath);
        name = candidate;
        return candidate == QLatin1String("Ru") ? QString::number(kRussianLangId) : QString::number(id);
    }
    // Russian is built in and needs no file: choosing it drops another language's file.
    if (id == kRussianLangId) {
        g_languageFile.reset();
        name = QStringLiteral("Ru");
        return QString::number(kRussianLangId);
    }
    warnFileNotFound(langPath);
    if (previous != QLatin1String("-1"))
        return previous;
    name = QStringLiteral("Ru");
    return QString::number(kRussianLangId);
}

QString GetConsoleCaption()
{
    QString caption;
    const QString ref = ConsoleIni().ReadString(QStringLiteral("LANG_REFERENCE"), QStringLiteral("CAPTION"), QString());
    if (!ref.isEmpty())
        caption = LangText(ref, QString(), tkWord);
    if (caption.isEmpty())
        caption = ConsoleIni().ReadString(kForm, QStringLiteral("CAPTION"), QString());
    if (caption.isEmpty()) {
        const IConsoleDataModule *dm = ConsoleDataModule();
        if (dm && dm->LoggedIn())
            caption = TranslateAplText(QStringLiteral("rstrReports"));
        else
            caption = LangText(QStringLiteral("rstrReports"),
                               SelectText(ResStrRu(QStringLiteral("rstrReports")), QStringLiteral("Reports")), tkWord);
    }
    return caption;
}

void SaveLanguageId()
{
    const IConsoleDataModule *dm = ConsoleDataModule();
    if (!dm || !dm->LoggedIn())
        return;
    TLanguagesDM *languages = GetComLanguages();
    const int id = languages ? languages->GET_USER_APL_LANG_ID() : 0;
    WriteConsoleIni([id](TIniFile::TEdit &edit) {
        if (id < 1)
            edit.DeleteKey(kStart, QStringLiteral("LangID"));
        else
            edit.WriteString(kStart, QStringLiteral("LangID"), QString::number(id));
    });
}

int ShowMessageBox(const QString &text, const QString &caption, unsigned flags)
{
    return ShowDialogMessage(text, caption, flags);
}

int ShowNotification(const QString &text, unsigned flags)
{
    return ShowMessageBox(text, TranslateAplText(QStringLiteral("rstrNotification")), flags);
}

QString WordText(const QString &id, const QString &english)
{
    return LangText(id, SelectText(ResStrRu(id), english), tkWord);
}

QString MessageText(const QString &id, const QString &english)
{
    return LangText(id, SelectText(ResStrRu(id), english), tkMessage);
}

namespace {
QString g_applicationTitle;
}

QString ApplicationTitle() { return g_applicationTitle; }
void SetApplicationTitle(const QString &title) { g_applicationTitle = title; }
