#include "Console/uConsolePlugins.h"

#include <QDir>
#include <QLibrary>

namespace {
std::unique_ptr<TPlgList> g_plugins;
}

TPlgItem::TPlgItem(const QString &path) : FilePath(path), m_library(std::make_unique<QLibrary>(path))
{
    if (!m_library->load())
        return;
    plgStart = reinterpret_cast<TPlgStartProc>(m_library->resolve(kPlgStart));
    if (!plgStart)
        return;
    plgStop = reinterpret_cast<TPlgProc>(m_library->resolve(kPlgStop));
    if (!plgStop)
        return;
    plgPause = reinterpret_cast<TPlgProc>(m_library->resolve(kPlgPause));
    plgResume = reinterpret_cast<TPlgProc>(m_library->resolve(kPlgResume));
    plgConfig = reinterpret_cast<TPlgProc>(m_library->resolve(kPlgConfig));
    Valid = true;
}

TPlgItem::~TPlgItem()
{
    plgStart = nullptr;
    plgStop = nullptr;
    if (m_library->isLoaded())
        m_library->unload();
}

void TPlgItem::Start(const QString &scheme, TOraSession *session)
{
    if (!Valid)
        return;
    const QByteArray name = scheme.toUtf8();
    TPlgInfo info{};
    plgStart(&info, name.constData(), session);
    Info = info;
    MenuCaption = info.MenuCaption ? QString::fromUtf8(info.MenuCaption) : QString();
}

void TPlgItem::Stop()
{
    if (Valid && plgStop)
        plgStop();
}

void TPlgItem::Config()
{
    if (plgConfig)
        plgConfig();
}

TPlgList *PlgList() { return g_plugins.get(); }

void LoadPlugins(const QString &folder)
{
    UnloadPlugins();
    g_plugins = std::make_unique<TPlgList>();
    const QDir dir(folder);
    for (const QString &name :
         dir.entryList({QStringLiteral("*.plg")}, QDir::Files | QDir::Hidden | QDir::System, QDir::Name))
        g_plugins->push_back(std::make_unique<TPlgItem>(dir.filePath(name)));
}

void UnloadPlugins()
{
    if (!g_plugins)
        return;
    for (auto &item : *g_plugins)
        item->Stop();
    g_plugins.reset();
}
