#pragma once
// The one way the program shows a message box or a modal window.
//
// Message boxes keep the Windows MB_ flag values and return the Windows result
// codes, so that every caller reads like the system it was written for. The
// service is replaceable: tests install a recorder that answers, and the
// unattended mode (KORCONSOLE_HEADLESS=1) writes each box as one MSGBOX line
// and each modal window as one MODAL line instead of waiting for a person;
// a window that asks to be driven then reads commands (Ui/ModalDriver.h).
#include "Core/PlatformExport.h"

#include <QList>
#include <QString>
#include <QStringList>

#include <functional>
#include <initializer_list>
#include <utility>

class QDialog;
class QObject;
class QWidget;

// Windows message-box flags.
enum : unsigned {
    MB_OK = 0x0,
    MB_OKCANCEL = 0x1,
    MB_ABORTRETRYIGNORE = 0x2,
    MB_YESNOCANCEL = 0x3,
    MB_YESNO = 0x4,
    MB_RETRYCANCEL = 0x5,
    MB_ICONHAND = 0x10,
    MB_ICONERROR = 0x10,
    MB_ICONSTOP = 0x10,
    MB_ICONQUESTION = 0x20,
    MB_ICONEXCLAMATION = 0x30,
    MB_ICONWARNING = 0x30,
    MB_ICONASTERISK = 0x40,
    MB_ICONINFORMATION = 0x40,
    MB_DEFBUTTON1 = 0x0,
    MB_DEFBUTTON2 = 0x100,
    MB_DEFBUTTON3 = 0x200,
    MB_APPLMODAL = 0x0,
    MB_SYSTEMMODAL = 0x1000,
    MB_TASKMODAL = 0x2000,
    MB_TOPMOST = 0x40000,
};

// Windows message-box results.
enum : int { IDOK = 1, IDCANCEL = 2, IDABORT = 3, IDRETRY = 4, IDIGNORE = 5, IDYES = 6, IDNO = 7 };

class PLATFORM_EXPORT IDialogService {
public:
    virtual ~IDialogService();
    virtual int MessageBox(const QString &text, const QString &caption, unsigned flags) = 0;
    // The same box with its buttons named by what they do ("Delete", "Cancel"), in the order of
    // the flags' buttons; by default the box of MessageBox, whose buttons say "Yes" and "No".
    virtual int NamedButtonsBox(const QString &text, const QString &caption, unsigned flags,
                                const QStringList &buttonTexts);
    // Runs a modal window and returns its QDialog result (Accepted or Rejected).
    // acceptUnattended: the window carries all it needs (as the connect dialog
    // given its values on the command line) and is accepted without a person.
    virtual int ExecModal(QDialog *dialog, bool acceptUnattended = false) = 0;
    // Runs a window that asks for one line of text in its line edit (or a
    // QInputDialog); the unattended mode answers it with the text of the
    // command "input". By default a modal window like any other.
    virtual int ExecInputQuery(QDialog *dialog);
};

// The result codes of a box's buttons, in the order the box shows them.
PLATFORM_EXPORT QList<int> MessageBoxButtons(unsigned flags);
// The button a box answers with when nobody is asked: MB_DEFBUTTONn, else the first.
PLATFORM_EXPORT int DefaultMessageBoxResult(unsigned flags);
// A text on one protocol line: line breaks written as \n.
PLATFORM_EXPORT QString ProtocolText(const QString &text);
// "MSGBOX <flags>|<caption>|<text>" with line breaks written as \n.
PLATFORM_EXPORT QString MessageBoxLine(const QString &text, const QString &caption, unsigned flags);

// The service in use; the interactive one unless replaced.
PLATFORM_EXPORT IDialogService &DialogService();
// Installs a service (not owned); nullptr goes back to the default one.
PLATFORM_EXPORT void SetDialogService(IDialogService *service);
// The default services of a program with windows: boxes on the screen, and the
// unattended protocol. The windowed layer installs them when its library
// loads; without them every box is written to standard error and answered
// with its default button.
PLATFORM_EXPORT void SetWindowedDialogServices(IDialogService *interactive, IDialogService *unattended);

// True when the console runs without a person (KORCONSOLE_HEADLESS=1).
PLATFORM_EXPORT bool IsUnattended();

// A message as a box shows it, so that a huge value (an identifier of
// megabytes) never makes a huge box or protocol line: each line keeps its
// first kMaxBoxLineLength characters and the text its first kMaxBoxLines
// lines, what is cut off marked with an ellipsis.
constexpr int kMaxBoxLineLength = 500;
constexpr int kMaxBoxLines = 50;
PLATFORM_EXPORT QString BoxText(const QString &text);

// Shortcuts through the service in use; a message box's text and caption go through BoxText.
PLATFORM_EXPORT int ShowDialogMessage(const QString &text, const QString &caption, unsigned flags);
// A box whose buttons say what they do; the results are those of the flags' buttons (IDYES, IDNO...).
PLATFORM_EXPORT int ShowDialogMessage(const QString &text, const QString &caption, unsigned flags,
                                      const QStringList &buttonTexts);
PLATFORM_EXPORT int ExecModalDialog(QDialog *dialog, bool acceptUnattended = false);
PLATFORM_EXPORT int ExecInputQueryDialog(QDialog *dialog);
// Whether a message box or modal window run through these is open: its loop
// runs on the stack of the code that opened it, so the windows that code
// belongs to may not be freed until it has returned.
PLATFORM_EXPORT bool ModalLoopsRunning();

// A window that a script works through: in the unattended mode it is driven by
// commands from standard input instead of being cancelled at once. The window
// calls this on itself before it is run.
PLATFORM_EXPORT void SetDrivenUnattended(QObject *window);
PLATFORM_EXPORT bool IsDrivenUnattended(const QObject *window);
// Gives a window's widgets and actions the names the driver finds them by.
PLATFORM_EXPORT void SetObjectNames(std::initializer_list<std::pair<QObject *, const char *>> objects);

// Writes one line to standard output at once (the unattended mode's protocol).
PLATFORM_EXPORT void WriteProtocolLine(const QString &line);
// Sends the protocol's lines elsewhere (tests); an empty function restores standard output.
PLATFORM_EXPORT void SetProtocolSink(std::function<void(const QString &line)> sink);
