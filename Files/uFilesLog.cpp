#include "Files/uFilesLog.h"

Q_LOGGING_CATEGORY(lcFiles, "zandrell.files", QtWarningMsg)
