#pragma once
// The connect dialog's window: user name, password and server. Loading this
// library installs it as the window of every TConnectDialog.
#include "Core/PlatformExport.h"

class TConnectDialog;
class TOraSession;

PLATFORM_EXPORT bool ShowConnectForm(TConnectDialog &dialog, TOraSession *session);
