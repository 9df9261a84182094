#pragma once
// What every benchmark run sets up before it measures: the offscreen platform
// where there is no display, and a folder of its own. Code under measure
// writes files beside "its program" (Console.ini, ComFormGFG.INI); pointed at
// this folder (SetProgramFolderForTests, SetExeDirForTests) it writes them
// into a temporary folder that goes away with the run, never beside the
// benchmark or into the installation. The run's current folder is there too.
#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QStringList>
#include <QTemporaryDir>

#include <cstdio>

// Without a display, windows go to the offscreen platform (call before the application is made).
inline void UseOffscreenWithoutDisplay()
{
    if (qEnvironmentVariableIsEmpty("DISPLAY") && qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
}

class TBenchFolder {
public:
    TBenchFolder() : m_previous(QDir::currentPath()) { QDir::setCurrent(m_dir.path()); }
    ~TBenchFolder() { QDir::setCurrent(m_previous); }
    TBenchFolder(const TBenchFolder &) = delete;
    TBenchFolder &operator=(const TBenchFolder &) = delete;

    QString Path() const { return m_dir.path(); }
    // Copies files the run needs (the form library of the installation, say)
    // from a folder; false, and a line on standard error, when one is missing.
    bool Copy(const QString &from, const QStringList &names) const
    {
        for (const QString &name : names)
            if (!QFile::copy(QDir(from).filePath(name), m_dir.filePath(name))) {
                std::fprintf(stderr, "cannot copy %s from %s\n", qPrintable(name), qPrintable(from));
                return false;
            }
        return true;
    }

private:
    QString m_previous;
    QTemporaryDir m_dir;
};
