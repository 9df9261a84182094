#pragma once
// A private copy of the installation folder build/dist, so that a test can run
// the real program and let it write its Console.ini without touching the build.
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>

class InstallationCopy {
public:
    InstallationCopy()
    {
        const QString source = qEnvironmentVariable("ZANDRELL_DIST_DIR");
        QDirIterator it(source, QDir::Files | QDir::NoDotAndDotDot, QDirIterator::Subdirectories);
        while (it.hasNext()) {
            const QString file = it.next();
            const QString relative = QDir(source).relativeFilePath(file);
            if (relative == QLatin1String("Console.ini"))
                continue;
            QDir().mkpath(QFileInfo(path(relative)).path());
            QFile::copy(file, path(relative));
            QFile::setPermissions(path(relative), QFileInfo(file).permissions());
        }
    }
    bool isValid() const { return m_dir.isValid() && QFileInfo(program()).isExecutable(); }
    QString path(const QString &relative = QString()) const
    {
        return relative.isEmpty() ? m_dir.path() : m_dir.filePath(relative);
    }
    QString program() const { return path(QStringLiteral("KorConsole")); }

    void write(const QString &relative, const QByteArray &bytes) const
    {
        QDir().mkpath(QFileInfo(path(relative)).path());
        QFile f(path(relative));
        if (f.open(QIODevice::WriteOnly | QIODevice::Truncate))
            f.write(bytes);
    }
    QByteArray read(const QString &relative) const
    {
        QFile f(path(relative));
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }

    struct Result {
        int exitCode = -1;
        bool finished = false;
        QStringList lines;
    };
    // Runs the program unattended with the arguments and the given input lines.
    Result run(const QStringList &arguments, const QByteArray &input = QByteArray(), int timeoutMs = 60000) const
    {
        QProcess process;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("KORCONSOLE_HEADLESS"), QStringLiteral("1"));
        env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        process.setProcessEnvironment(env);
        process.setWorkingDirectory(path());
        process.start(program(), arguments);
        Result result;
        if (!process.waitForStarted())
            return result;
        process.write(input);
        process.closeWriteChannel();
        result.finished = process.waitForFinished(timeoutMs);
        if (!result.finished)
            process.kill();
        result.exitCode = process.exitCode();
        const QString out = QString::fromUtf8(process.readAllStandardOutput());
        result.lines = out.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
        return result;
    }

private:
    QTemporaryDir m_dir;
};
