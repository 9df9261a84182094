#include "uConsoleCfg.h"

#include "DialogService.h"
#include "Exceptions.h"
#include "IniFile.h"
#include "ResourcePack.h"
#include "TextFormat.h"
#include "uConsoleDM.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QRegularExpression>

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
    const QString text = LangText(QStringLiteral("rstr_fmtmsg_FileIsNotFound"),
                                  SelectText(ResStrRu(QStringLiteral("rstr_fmtmsg_FileIsNotFound")),
                                             QStringLiteral("\"%s\" file is not found")),
                                  tkMessage);
    ShowMessageBox(Fmt(text, path), QString(), MB_ICONWARNING);
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

void OpenConsoleIni() { g_consoleIni = std::make_unique<TIniFile>(ExePath(QStringLiteral("Console.ini"))); }
void CloseConsoleIni() { g_consoleIni.reset(); }

QString ReadServer() { return ConsoleIni().ReadString(kConnection, QStringLiteral("server"), QStringLiteral("ZANDRELL")); }
void WriteServer(const QString &server) { ConsoleIni().WriteString(kConnection, QStringLiteral("server"), server); }
QString ReadUser() { return ConsoleIni().ReadString(kConnection, QStringLiteral("user"), QStringLiteral("ZL_USER")); }
void WriteUser(const QString &user) { ConsoleIni().WriteString(kConnection, QStringLiteral("user"), user); }
int ReadHome() { return ConsoleIni().ReadInteger(kConnection, QStringLiteral("home"), 0); }
void WriteHome(int home) { ConsoleIni().WriteInteger(kConnection, QStringLiteral("home"), home); }
bool ReadStoreInReg() { return ConsoleIni().ReadBool(kConnection, QStringLiteral("StoreInReg"), false); }
bool ReadUseOCI7() { return ConsoleIni().ReadBool(kConnection, QStringLiteral("useoci7"), false); }
bool ReadEncode() { return ConsoleIni().ReadBool(kConnection, QStringLiteral("encode"), false); }
bool ReadHideMinimized() { return ConsoleIni().ReadBool(kForm, QStringLiteral("HideMinimized"), true); }
void WriteHideMinimized(bool value) { ConsoleIni().WriteBool(kForm, QStringLiteral("HideMinimized"), value); }
bool ReadMiniTB() { return ConsoleIni().ReadBool(kForm, QStringLiteral("MiniTB"), true); }
void WriteMiniTB(bool value) { ConsoleIni().WriteBool(kForm, QStringLiteral("MiniTB"), value); }
bool ReadCreateSeps() { return ConsoleIni().ReadBool(kForm, QStringLiteral("CreateSeps"), true); }
void WriteCreateSeps(bool value) { ConsoleIni().WriteBool(kForm, QStringLiteral("CreateSeps"), value); }
bool ReadFormTop() { return ConsoleIni().ReadBool(kForm, QStringLiteral("FormTop"), false); }
void WriteFormTop(bool value) { ConsoleIni().WriteBool(kForm, QStringLiteral("FormTop"), value); }
bool ReadViewLogo() { return ConsoleIni().ReadBool(kForm, QStringLiteral("ViewLogo"), false); }
void WriteViewLogo(bool value) { ConsoleIni().WriteBool(kForm, QStringLiteral("ViewLogo"), value); }
QString ReadActiveIcon() { return ConsoleIni().ReadString(kForm, QStringLiteral("ActiveIcon"), QStringLiteral("ConsoleIcon.ico")); }
int ReadLangId(int defaultValue) { return ConsoleIni().ReadInteger(kStart, QStringLiteral("LangID"), defaultValue); }

QString GetActiveScheme()
{
    TIniFile &ini = ConsoleIni();
    if (ini.SectionExists(kSchemes)) {
        for (const QString &name : ini.ReadSection(kSchemes))
            if (ini.ReadBool(kSchemes, name, false))
                return name;
    }
    SetActiveScheme(kDefaultScheme);
    return kDefaultScheme;
}

void SetActiveScheme(const QString &name)
{
    TIniFile &ini = ConsoleIni();
    if (ini.SectionExists(kSchemes))
        for (const QString &key : ini.ReadSection(kSchemes))
            if (key.compare(name, Qt::CaseInsensitive) != 0 && ini.ReadString(kSchemes, key, QString()) != QLatin1String("0"))
                ini.WriteBool(kSchemes, key, false);
    ini.WriteBool(kSchemes, name, true);
}

void AddScheme(const QString &name, bool active)
{
    Z_ASSERT(!name.trimmed().isEmpty(), QStringLiteral("AddScheme: Scheme(sname) = ' '"));
    ConsoleIni().WriteBool(kSchemes, name, active);
}

void GetSchemes(QStringList *list)
{
    Z_ASSERT(list != nullptr, QStringLiteral("GetSchemes: SchemesList(sList) = nil"));
    *list = ConsoleIni().ReadSection(kSchemes);
}

void DeleteScheme(const QString &name) { ConsoleIni().DeleteKey(kSchemes, name); }

QString SelectText(const QString &russian, const QString &english)
{
    return ReadLangId(kRussianLangId) == kRussianLangId ? russian : english;
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
    QString text = kind == tkHelp ? file->ReadRawString(section, id, defaultText) : file->ReadString(section, id, defaultText);
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
    if (id != kRussianLangId)
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
    if (id < 1)
        ConsoleIni().DeleteKey(kStart, QStringLiteral("LangID"));
    else
        ConsoleIni().WriteInteger(kStart, QStringLiteral("LangID"), id);
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
