#pragma once
// Console.ini beside the program, the language files under Res/, and the
// routines that choose the console's texts. Every other unit reads and writes
// Console.ini only through the operations here.
#include "Core/IniFile.h"

#include <QString>
#include <QStringList>

#include <functional>

// The folder of the running program (the "exe directory"); tests may point it elsewhere.
QString ExeDir();
void SetExeDirForTests(const QString &dir);
// Path of a file below the exe directory: ExePath("Res/Langs.ini").
QString ExePath(const QString &relative);

// The Console.ini file object (opened when the configuration unit initialises).
TIniFile &ConsoleIni();
void OpenConsoleIni();
void CloseConsoleIni();

// Every change of Console.ini goes through here. A change that does not reach
// the file (a full disk, a read-only installation, a file locked too long)
// leaves the file as it was and shows one warning for a run of failing writes
// (until a write succeeds again); the console goes on with what it read.
// Returns whether the change is in the file.
bool WriteConsoleIni(const std::function<void(TIniFile::TEdit &)> &edit);
// The warning of a failed write, in the language of the console.
QString ConsoleIniNotSavedText(const EIniWriteError &error);

// Settings accessors, each with the default of its key; a write returns whether it is stored.
QString ReadServer();
bool WriteServer(const QString &server);
QString ReadUser();
bool WriteUser(const QString &user);
int ReadHome();
bool WriteHome(int home);
bool ReadStoreInReg();
bool ReadUseOCI7();
bool ReadEncode();
bool ReadHideMinimized();
bool WriteHideMinimized(bool value);
bool ReadMiniTB();
bool WriteMiniTB(bool value);
bool ReadCreateSeps();
bool WriteCreateSeps(bool value);
bool ReadFormTop();
bool WriteFormTop(bool value);
bool ReadViewLogo();
bool WriteViewLogo(bool value);
QString ReadActiveIcon();
int ReadLangId(int defaultValue);

// Schemes: the keys of [SCHEMES]; the value 1 marks the active one.
// The first active scheme whose name is correct; a stored active name that is
// not correct is reported once and passed over.
QString GetActiveScheme();
// One write of the whole section: the scheme 1, every other 0. A name that is
// not correct raises the "not correct" text. Returns whether it is stored.
bool SetActiveScheme(const QString &name);
// Adds the scheme with the value; a scheme that is already there keeps its value
// unless it is added as active.
bool AddScheme(const QString &name, bool active);
void GetSchemes(QStringList *list);
bool DeleteScheme(const QString &name);

// The longest scheme name: the longest Oracle name.
constexpr int kMaxSchemeNameLength = 128;
// A name Console.ini can hold as a scheme key and read back unchanged: not
// empty, not starting with "[" or ";", without "]", "=" or control characters
// (line breaks), at most kMaxSchemeNameLength characters.
bool IsCorrectSchemeName(const QString &name);

// "%s" parameter(%s) - is not correct, in the language of the console.
QString ParamNotCorrectText(const QString &name, const QString &value);
// The caption of every command-line message box.
QString ParametersCaption();

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
