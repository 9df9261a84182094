#pragma once
// The console's plug-ins: shared objects with the extension ".plg" in the
// folder Plugins/ under the program's folder. A plug-in is started with the
// scheme and the session, may ask for a menu item, and is stopped when the
// menu is rebuilt or the console ends.
#include "Source/ComUnits/ZandrellInterface.h"

#include <QString>

#include <memory>
#include <vector>

class QLibrary;
class TOraSession;

class TPlgItem {
public:
    explicit TPlgItem(const QString &path);
    ~TPlgItem();
    TPlgItem(const TPlgItem &) = delete;
    TPlgItem &operator=(const TPlgItem &) = delete;

    QString FilePath;
    TPlgStartProc plgStart = nullptr;
    TPlgProc plgPause = nullptr;
    TPlgProc plgResume = nullptr;
    TPlgProc plgStop = nullptr;
    TPlgProc plgConfig = nullptr;
    // The library loaded and exports both plgStart and plgStop.
    bool Valid = false;
    // What plgStart last reported; all zero until then.
    TPlgInfo Info{};
    // The menu caption reported, copied while the plug-in is loaded.
    QString MenuCaption;

    void Start(const QString &scheme, TOraSession *session);
    void Stop();
    void Config();

private:
    std::unique_ptr<QLibrary> m_library;
};

using TPlgList = std::vector<std::unique_ptr<TPlgItem>>;

// The plug-ins in use, or null before LoadPlugins.
TPlgList *PlgList();
// Creates the list with one item per "*.plg" file of the folder (file-name order).
void LoadPlugins(const QString &folder);
// Stops every plug-in in list order, then frees the list (and unloads the libraries).
void UnloadPlugins();
