// The console program: the application object, then the program block.
#include "Console/KorConsoleProgram.h"
#include "Console/uCommandLine.h"
#include "EmbeddedServer/SqliteBackend.h"
#include "Ui/WindowDialogService.h"

#include <QApplication>

int main(int argc, char *argv[])
{
    const TProcessCommandLine commandLine(argc, argv);
    QApplication app(argc, argv);
    // Servers.ini aliases reach the embedded server; boxes and windows go to the screen.
    RegisterEmbeddedServer();
    UseWindowedDialogs();
    QStringList arguments = QCoreApplication::arguments();
    arguments.removeFirst();
    // The switches are read: a password given among them leaves the visible command line.
    commandLine.HidePasswords(argc, argv);
    TKorConsoleProgram program;
    return program.Run(arguments);
}
