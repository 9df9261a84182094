#pragma once
// The contract between the console and its service modules and plug-ins.
//
// The console and every module include this one header. A module is a shared
// object whose entry points are the extern "C" functions typed below, found
// by their names (the k... constants). Records are plain structures with the
// fields in their fixed order; texts are UTF-8, zero-terminated, and stay
// owned by the module: the console reads them right after the call, while the
// module is loaded. The classes (IZandrell, TICallback, TServiceObject) are
// shared by console and modules, which are built with the same compiler and
// the same Qt.
#include "Core/PlatformExport.h"

#include <QObject>
#include <QString>
#include <QStringList>
#include <QtPlugin>

#include <cstdint>

class QIcon;
class TOraSession;
class TServiceForm;

// Marks a module's entry point (modules are built with hidden visibility).
#define ZANDRELL_MODULE_EXPORT extern "C" __attribute__((visibility("default")))

// ---------------------------------------------------------------------------
// Records

// What a module tells about one of its services. Icon: a QIcon the module
// creates with new; the console copies its pixmaps while the module is loaded
// and deletes it. IconName: an icon group of the module's own file, or empty.
struct TServiceAttribute {
    const char *Caption;
    const char *Description;
    QIcon *Icon;
    const char *IconName;
};

// The same with the two translate flags: caption and description are keys of
// the language pack.
struct TServiceAttribute2 {
    const char *Caption;
    const char *Description;
    QIcon *Icon;
    const char *IconName;
    bool TranslateCaption;
    bool TranslateDescription;
};

// One right of a service. ID is its position in the rights string, from 1;
// an array of rights ends at the first record whose ID is 0 or less.
struct TAccessRec {
    int32_t ID;
    const char *GUID;
    const char *Caption;
};

// The same with IsLang: Caption is a language-pack key.
struct TAccessRec2 {
    int32_t ID;
    const char *GUID;
    const char *Caption;
    bool IsLang;
};

// One report of a service; an array of reports ends at the first record whose RGuid is null.
struct TReportRec {
    const char *RGuid;
    const char *RName;
    const char *RDesc;
};

// What a plug-in's plgStart reports back; the console starts it all zero.
struct TPlgInfo {
    bool HasMenu;
    bool AdminOnly;
    const char *MenuCaption;
};

// Version-resource values of the console program (block \StringFileInfo\041904E3\).
struct TFileVerInfo {
    const char *InternalName;
    const char *FileDescription;
    const char *FileVersion;
    const char *LegalCopyright;
    const char *ProductVersion;
    const char *Comments;
};

// The console's answer to request 2025: Version is always 1, Text empty, Reserved 0.
struct TConsoleInfo {
    int32_t Version;
    const char *Text;
    int32_t Reserved;
    TFileVerInfo FileVerInfo;
};

// The answer to request 2026.
struct TConsoleSession {
    const char *SchemeName;
    TOraSession *Session;
};

// ---------------------------------------------------------------------------
// Classes shared by console and modules

// The console's callback, handed to a service when its window or object is created.
class TICallback {
public:
    // Asks the console to act on the service named by guid (or, when guid is
    // null, by altGuid); the commands and results are the TServiceCommand and
    // TServiceCommandResult values.
    virtual int32_t ExecServiceCmd(const char *guid, const char *altGuid, uint8_t command) = 0;
    // Reserved; always 0.
    virtual int32_t Reserved() = 0;

protected:
    ~TICallback() = default;
};

// Commands a service may send through ExecServiceCmd.
enum TServiceCommand : uint8_t {
    scCloseService = 0,  // close the service's window (CloseService / Close)
    scForgetObjects = 1, // the console forgets the window and object without freeing them
    scFreeOthers = 2,    // free the windows and objects of every other service
};

// Results of ExecServiceCmd.
enum TServiceCommandResult : int32_t {
    scrDone = 0,           // commands 0 and 1
    scrNoObject = 1,       // the service has no window or service object now
    scrUnknownService = 3, // no service has that identifier
    scrOther = 4,          // command 2 and unknown commands
};

// A progress window of the form library (GetIProgress): the reader reports
// each file before and after reading it; the answer after reading is false
// when the user cancelled. Released by its owner with Release().
class IProgress {
public:
    // Shows the file about to be read.
    virtual void BeforeFile(const char *fileName) = 0;
    // Counts the file read; returns false when the user asked to stop.
    virtual bool AfterFile(const char *fileName) = 0;
    // Closes the window and frees it.
    virtual void Release() = 0;

protected:
    ~IProgress() = default;
};

// The interface a form-style service's window implements.
class IZandrell {
public:
    virtual ~IZandrell() = default;
    virtual void SetSession(TOraSession *session) = 0;
    virtual void Find() = 0;
    virtual void Sort() = 0;
    virtual void Report() = 0;
    virtual void Filter() = 0;
    // The service asked the console (command 0) to close it.
    virtual void CloseService() = 0;
    virtual void SetScheme(const QString &scheme) = 0;
};

#define IZandrell_iid "{E025F012-3FB5-11D6-B378-008048B74763}"
Q_DECLARE_INTERFACE(IZandrell, IZandrell_iid)

// The service object of an object-style module. The console deletes it when
// it frees the service.
class TServiceObject {
public:
    // The service's window, or null.
    virtual TServiceForm *GetForm() = 0;
    virtual void SetContext(TOraSession *session, const QString &scheme) = 0;
    virtual void Close() = 0;
    virtual ~TServiceObject() = default;
};

// The message the console posts to an object-style service's window for its
// tool-bar commands (the first user message, 1024): first parameter 0, second
// the command (TServiceForm::UserMessage receives it).
enum : int { WM_SERVICE_COMMAND = 1024 };
enum TServiceAction : int { saFind = 1, saSort = 2, saReport = 3, saFilter = 4 };

// Console information requests and messages.
enum : int {
    CM_CONSOLE_REQUEST = 2024,
    CM_CONSOLE_INFO = 2025,
    CM_CONSOLE_SESSION = 2026,
};
// Answers that let the console go on (-12345678) or stop (12345678).
enum : int32_t { CONSOLE_ANSWER_MORE = -12345678, CONSOLE_ANSWER_DONE = 12345678 };

// ---------------------------------------------------------------------------
// Asking the running consoles from another program
//
// Every console of a user holds, while it runs, a locked file and a local
// server in the user's runtime folder. A program of the same user finds them
// all there and sends each message 2024 with a request code: the console
// answers with 2025 (its version information) and 2026 (its scheme and
// connection), and the program answers each of those in turn.

// The version-resource values of the console program (message 2025).
struct TConsoleVersionInfo {
    QString InternalName, FileDescription, FileVersion, LegalCopyright, ProductVersion, Comments;
};

// The console's scheme and connection (message 2026).
struct TConsoleSessionInfo {
    QString SchemeName;
    QString Server;
    QString UserName;
    int Home = 0;
};

// What one request brought back.
struct TConsoleRequestResult {
    bool connected = false;
    // The console's answer to message 2024.
    int answer = 0;
    bool gotInfo = false;
    int infoVersion = 0;
    TConsoleVersionInfo info;
    bool gotSession = false;
    TConsoleSessionInfo session;
};

// The local-server names of every console of this user that runs now.
PLATFORM_EXPORT QStringList FindRunningConsoles();
// Sends message 2024 with the request code (2024, 2025 or 2026) to a console
// and answers its 2025 with infoAnswer and its 2026 with sessionAnswer.
// ownName is the asking program's own name; a console ignores a request that
// carries its own.
PLATFORM_EXPORT TConsoleRequestResult RequestConsoleInfo(const QString &consoleName, const QString &ownName,
                                                         int requestCode, int infoAnswer = 0, int sessionAnswer = 0,
                                                         int timeoutMs = 5000);

// ---------------------------------------------------------------------------
// Entry points

extern "C" {
// Run time and registration.
typedef void (*TGetServiceAttributeProc)(TServiceAttribute *attribute, const char *guid);
typedef void (*TGetServiceAttribute2Proc)(TServiceAttribute2 *attribute, const char *guid);
// guid, rights string, callback -> the service's window (form style).
typedef TServiceForm *(*TInitServiceFormProc)(const char *guid, const char *mode, TICallback *callback);
// guid, rights string, callback -> the service object (object style).
typedef TServiceObject *(*TInitServiceProc)(const char *guid, const char *mode, TICallback *callback);

// Registration only.
// The identifiers of the module's services, ended by a null pointer.
typedef const char *const *(*TGetServiceListProc)();
typedef const TAccessRec *(*TGetAccessListProc)(const char *guid);
typedef const TAccessRec2 *(*TGetAccessList2Proc)(const char *guid);
// Null when the service has no reports.
typedef const TReportRec *(*TGetReportListProc)(const char *guid);

// Plug-ins (Plugins/*.plg).
typedef void (*TPlgStartProc)(TPlgInfo *info, const char *scheme, TOraSession *session);
typedef void (*TPlgProc)();
}

inline constexpr char kGetServiceAttribute[] = "GetServiceAttribute";
inline constexpr char kGetServiceAttribute2[] = "GetServiceAttribute2";
inline constexpr char kInitServiceForm[] = "InitServiceForm";
inline constexpr char kInitService[] = "InitService";
inline constexpr char kGetServiceList[] = "GetServiceList";
inline constexpr char kGetAccessList[] = "GetAccessList";
inline constexpr char kGetAccessList2[] = "GetAccessList2";
inline constexpr char kGetReportList[] = "GetReportList";
inline constexpr char kPlgStart[] = "plgStart";
inline constexpr char kPlgStop[] = "plgStop";
inline constexpr char kPlgPause[] = "plgPause";
inline constexpr char kPlgResume[] = "plgResume";
inline constexpr char kPlgConfig[] = "plgConfig";
