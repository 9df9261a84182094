#pragma once
// A private copy of the installation folder build/dist, so that a test can run
// the real program and let it write its Console.ini without touching the build.
#include "tests/common/TestFiles.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>

#include <sys/resource.h>

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
        WriteBytes(path(relative), bytes);
    }
    QByteArray read(const QString &relative) const { return ReadBytes(path(relative)); }

    // The switches of a login without the dialog.
    static QStringList login(const QString &user)
    {
        return {QStringLiteral("/server=ZANDRELL"), QStringLiteral("/user=") + user, QStringLiteral("/password=demo")};
    }

    // Starts the program unattended, without core dumps; extra environment entries as "NAME=value".
    void start(QProcess &process, const QStringList &arguments, const QStringList &environment = {}) const
    {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("KORCONSOLE_HEADLESS"), QStringLiteral("1"));
        env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        // Under AddressSanitizer a segmentation fault must still end the program by its signal.
        const QString asan = env.value(QStringLiteral("ASAN_OPTIONS"));
        env.insert(QStringLiteral("ASAN_OPTIONS"),
                   asan + (asan.isEmpty() ? "" : ":") + QStringLiteral("handle_segv=0"));
        for (const QString &entry : environment)
            env.insert(entry.section(QLatin1Char('='), 0, 0), entry.section(QLatin1Char('='), 1));
        process.setProcessEnvironment(env);
        process.setWorkingDirectory(path());
        process.setChildProcessModifier([] {
            const rlimit noCore{0, 0};
            setrlimit(RLIMIT_CORE, &noCore);
        });
        process.start(program(), arguments);
    }

    struct Result {
        int exitCode = -1;
        bool finished = false;
        bool hung = false; // a test module said on stderr that it stalls ("TM-HANG"): killed
        QStringList lines;
        QString errors; // what the program wrote to standard error
    };
    // Runs the program with the given input lines until it ends.
    Result run(const QStringList &arguments, const QByteArray &input = QByteArray(),
               const QStringList &environment = {}) const
    {
        QProcess process;
        start(process, arguments, environment);
        Result result;
        if (!process.waitForStarted())
            return result;
        process.write(input);
        process.closeWriteChannel();
        QByteArray errors;
        const QDeadlineTimer deadline(60000);
        while (!(result.finished = process.waitForFinished(100)) && !deadline.hasExpired() && !result.hung) {
            errors += process.readAllStandardError();
            result.hung = errors.contains("TM-HANG");
        }
        if (!result.finished) {
            process.kill();
            process.waitForFinished();
        }
        result.exitCode = process.exitCode();
        result.errors = QString::fromUtf8(errors + process.readAllStandardError());
        result.lines = QString::fromUtf8(process.readAllStandardOutput()).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
        return result;
    }

private:
    QTemporaryDir m_dir;
};
