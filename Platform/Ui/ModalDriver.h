#pragma once
// Driven modal windows of the unattended mode. A window marked with
// SetDrivenUnattended (Core/DialogService.h) is not cancelled after its MODAL
// line: it reads command lines (Core/ProtocolInput.h) until it closes, then
// writes "CLOSED <class name> <result>" (1 OK, 2 Cancel). The end of the input
// cancels it. Widgets and actions are found by their object names:
//   dump                        W <name> <kind> <0/1 enabled> <text or value> per visible named
//                               widget in tab order (NODE lines after a tree, ROW lines after a
//                               list or grid, after a COLS line of its column titles), then
//                               ACTION <name> <0/1 enabled> <0/1 checked> <caption>
//   action <name>               triggers the action (DISABLED <name> when it is disabled)
//   set <name> <text>           types into an edit, a spin box or a combo box
//   select <name> <path>        current item of a tree (captions joined by "/"), a list or a grid
//                               ("#n" from 1, or the first cell's text), a tab widget (its caption)
//   check <name> [#n]           toggles row n's check (a data grid's with the space bar), or a check box
//   drop <name> <path> => <path> drags a tree item onto another
//   click <name>                clicks a button
//   ok, cancel                  closes the window with that result (a dialog)
//   close                       closes the window as its close button does
//   reply <code>, input [text]  the answer of the next message box, of the next input query
//   echo <text>                 writes "ECHO <text>": a mark that every line before it has taken effect
// A window may add commands of its own (IDrivenWindowCommands), which it answers first.
// A tree view without root decoration and without child rows is a list here
// (ROW lines, rows by "#n").
// A command that finds nothing writes NOTFOUND and the command line; one on a
// disabled widget writes DISABLED <name>.
#include "Core/PlatformExport.h"

#include <QStringList>

class QDialog;
class QWidget;

// A driven window with commands of its own, which it is asked first.
class PLATFORM_EXPORT IDrivenWindowCommands {
public:
    virtual ~IDrivenWindowCommands();
    // True when the line was one of the window's own commands (it has written its answer).
    virtual bool ExecuteDrivenCommand(const QString &line) = 0;
};

// Runs a window driven by the command lines until it closes; returns its QDialog result.
PLATFORM_EXPORT int DriveModalWindow(QDialog *dialog);
// The lines of "dump" for a window (a modal one, or a service window read back from the main window).
PLATFORM_EXPORT QStringList DumpWindow(QWidget *window);
// Runs one command line on a window; false for a line that is no window command.
PLATFORM_EXPORT bool ExecuteWindowCommand(QWidget *window, const QString &line);

// "reply <code>", "input [<text>]" and "echo <text>", which the main window's
// command loop takes too; false for any other line.
PLATFORM_EXPORT bool ExecuteAnswerCommand(const QString &line);
// The unattended answers: the prepared reply when the box has that button,
// else its default button; the prepared text typed into the query's edit and
// accepted, else the query cancelled. Each prepared answer is used once.
PLATFORM_EXPORT int AnswerMessageBox(unsigned flags);
PLATFORM_EXPORT int AnswerInputQuery(QDialog *dialog);
