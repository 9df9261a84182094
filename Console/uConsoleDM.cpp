#include "Console/uConsoleDM.h"

namespace {
IConsoleDataModule *g_dm = nullptr;
}

IConsoleDataModule::~IConsoleDataModule()
{
    if (g_dm == this)
        g_dm = nullptr;
}

IConsoleDataModule *ConsoleDataModule() { return g_dm; }
void SetConsoleDataModule(IConsoleDataModule *dm) { g_dm = dm; }
