// The console program: the application object, then the program block.
#include "KorConsoleProgram.h"
#include "SqliteBackend.h"
#include "WindowDialogService.h"

#include <QApplication>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    // Servers.ini aliases reach the embedded server; boxes and windows go to the screen.
    RegisterEmbeddedServer();
    UseWindowedDialogs();
    QStringList arguments = QCoreApplication::arguments();
    arguments.removeFirst();
    TKorConsoleProgram program;
    return program.Run(arguments);
}
