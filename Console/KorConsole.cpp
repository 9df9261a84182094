// The console program: the application object, then the program block.
#include "KorConsoleProgram.h"

#include <QApplication>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    QStringList arguments = QCoreApplication::arguments();
    arguments.removeFirst();
    TKorConsoleProgram program;
    return program.Run(arguments);
}
