// The console program: the application object, then the program block.
#include "Console/KorConsoleProgram.h"
#include "Console/uCommandLine.h"
#include "EmbeddedServer/SqliteBackend.h"
#include "Ui/WindowDialogService.h"

#include <QApplication>

int main(int argc, char *argv[])
{
    // A password leaves the visible command line before anything else runs;
    // the program reads its switches from its own copy.
    TArgumentCopy arguments(argc, argv);
    TProcessCommandLine(argc, argv).HidePasswords(argc, argv);
    QApplication app(arguments.Count(), arguments.Values());
    // Servers.ini aliases reach the embedded server; boxes and windows go to the screen.
    RegisterEmbeddedServer();
    UseWindowedDialogs();
    QStringList switches = QCoreApplication::arguments();
    switches.removeFirst();
    TKorConsoleProgram program;
    return program.Run(switches);
}
