#pragma once
// A private program folder for a test: Console.ini, Res/ and the other files
// that the console looks for beside itself are read and written here.
#include "Console/uConsoleCfg.h"
#include "tests/common/TestFiles.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

class TempExeDir {
public:
    TempExeDir() { SetExeDirForTests(m_dir.path()); }
    ~TempExeDir() { SetExeDirForTests(QString()); }
    TempExeDir(const TempExeDir &) = delete;
    TempExeDir &operator=(const TempExeDir &) = delete;

    QString path() const { return m_dir.path(); }
    QString filePath(const QString &relative) const { return m_dir.filePath(relative); }
    // Writes a file below the folder, creating its folders.
    bool write(const QString &relative, const QByteArray &bytes) const
    {
        QDir().mkpath(QFileInfo(filePath(relative)).path());
        return WriteBytes(filePath(relative), bytes);
    }
    QByteArray read(const QString &relative) const { return ReadBytes(filePath(relative)); }

private:
    QTemporaryDir m_dir;
};
