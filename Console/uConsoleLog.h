// The console's diagnostics categories: warnings are shown by default, the
// rest when QT_LOGGING_RULES asks for them ("zandrell.*=true" shows all).
//   zandrell.console           start-up, log-in, the main window and its settings
//   zandrell.console.services  service modules: loading, calls, failures, unloading
#pragma once

#include <QLoggingCategory>

Q_DECLARE_LOGGING_CATEGORY(lcConsole)
Q_DECLARE_LOGGING_CATEGORY(lcServices)
