#pragma once
// Console.ini beside the program, the language files under Res/, and the
// routines that choose the console's texts. Every other unit reads and writes
// Console.ini only through the operations here.
#include <QString>
#include <QStringList>

class TIniFile;

// The folder of the running program (the "exe directory"); tests may point it elsewhere.
QString ExeDir();
void SetExeDirForTests(const QString &dir);
// Path of a file below the exe directory: ExePath("Res/Langs.ini").
QString ExePath(const QString &relative);

// The Console.ini file object (opened when the configuration unit initialises).
TIniFile &ConsoleIni();
void OpenConsoleIni();
void CloseConsoleIni();

// Settings accessors, each with the default of its key.
QString ReadServer();
void WriteServer(const QString &server);
QString ReadUser();
void WriteUser(const QString &user);
int ReadHome();
void WriteHome(int home);
bool ReadStoreInReg();
bool ReadUseOCI7();
bool ReadEncode();
bool ReadHideMinimized();
void WriteHideMinimized(bool value);
bool ReadMiniTB();
void WriteMiniTB(bool value);
bool ReadCreateSeps();
void WriteCreateSeps(bool value);
bool ReadFormTop();
void WriteFormTop(bool value);
bool ReadViewLogo();
void WriteViewLogo(bool value);
QString ReadActiveIcon();
int ReadLangId(int defaultValue);

// Schemes: the keys of [SCHEMES]; the value 1 marks the active one.
QString GetActiveScheme();
void SetActiveScheme(const QString &name);
void AddScheme(const QString &name, bool active);
void GetSchemes(QStringList *list);
void DeleteScheme(const QString &name);

// Kinds of console texts, and the language-file section of each.
enum TTextKind { tkWord = 0, tkHelp = 1, tkMessage = 2 };

// Russian when Console.ini [START] LangID (default 25) is 25, English otherwise.
QString SelectText(const QString &russian, const QString &english);
// The language of this run's texts: the one the session chose (the /langid
// switch, then the language pack's user language after the log-in), else
// Console.ini [START] LangID.
int ConsoleLangId();
// 0 forgets the session's choice.
void SetConsoleLangId(int langId);
// The language file's text for the identifier, or the default.
QString LangText(const QString &id, const QString &defaultText, TTextKind kind);
// Decides the language name, loads its language file and returns the id text to keep.
QString ResolveLanguage(const QString &previous, const QString &idText, QString &name);
// The language file in use, or null.
TIniFile *LanguageFile();
void FreeLanguageFile();

QString GetConsoleCaption();
void SaveLanguageId();

// The console's message box (Windows MB_ flags, Windows result codes).
int ShowMessageBox(const QString &text, const QString &caption, unsigned flags);
// A message box captioned with the translation of rstrNotification.
int ShowNotification(const QString &text, unsigned flags);

// The built-in language: Russian has id 25 and the name "Ru".
constexpr int kRussianLangId = 25;

// A word of the console: LangText (id, SelectText (the resource string's Russian text, english), word).
QString WordText(const QString &id, const QString &english);
// The same for a message text.
QString MessageText(const QString &id, const QString &english);

// The application's title ("*****" until the login names it).
QString ApplicationTitle();
void SetApplicationTitle(const QString &title);
